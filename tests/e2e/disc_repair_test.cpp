// The disc installer working on a copy installed earlier, as a whole program on a private X
// server clicked through as a person would, with two real discs: a repair of a damaged copy
// across both discs, adding and removing scenery tiles on the world map, and a repair killed in
// the middle and run again. Each ends with the copy's tree checked file by file against the set.
// Mounting needs root: elsewhere the tests say so and skip. VENTARO_TEST_SHOTS names a folder
// that keeps a picture of every screen.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "support/disc_images.h"
#include "support/disc_run.h"
#include "support/install_set.h"
#include "support/log_wait.h"
#include "support/temp_dir.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

// Simulator files: two ordinary ones and a large one that compresses well (its scan and its
// unpacking take long enough to be seen) on disc one; one more on disc two.
const char* const kAircraft[] = {"All/Aircraft/Cessna/c1.acf", "All/Aircraft/Cessna/c2.acf"};
const char* const kLarge = "All/Aircraft/Cessna/cockpit.obj";
const char* const kResources = "All/Resources/big.dat";
const char* const kOnDiscTwo = "All/Resources/sounds.dat";

// Scenery tiles by their files and their place on the map (column, row); all on disc two.
struct tile {
    std::vector<const char*> paths;
    int j, i;
};
const tile kKept{{"All/Global Scenery/+10+020/+14+024.dsf"}, 20, 10};
const tile kRemoved{{"All/Global Scenery/+40-130/+43-125.dsf", "All/Global Scenery/+40-130/+44-122.dsf"}, 5, 13};
const tile kAddedSmall{{"All/Global Scenery/+30+140/+36+143.dsf"}, 32, 12};
const tile kAddedLarge{{"All/Global Scenery/+50+000/+51+000.dsf"}, 18, 14};
const tile kLeftOut{{"All/Global Scenery/-40+010/-34+018.dsf"}, 19, 5};

// n bytes of one random kilobyte over and over: large on disk, small in an archive.
std::string repeated_bytes(size_t n, unsigned seed) {
    const std::string block = random_bytes(1000, seed);
    std::string out;
    out.reserve(n);
    while (out.size() < n) out += block.substr(0, std::min(block.size(), n - out.size()));
    return out;
}

// The path below a copy of a master path: without its platform folder.
std::string in_copy(const std::string& master_path) { return master_path.substr(master_path.find('/') + 1); }

class DiscRepair : public disc_run {
protected:
    void SetUp() override {
        disc_run::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        install_set s{"Set 9", {}};
        unsigned seed = 1;
        for (const char* p : kAircraft) s.files.push_back({p, random_bytes(100000, seed++), false, {}});
        s.files.push_back({kLarge, repeated_bytes(32 << 20, seed++), false, {}});
        s.files.push_back({kResources, random_bytes(100000, seed++), false, {}});
        s.files.push_back({kOnDiscTwo, random_bytes(100000, seed++), false, {}});
        for (const tile* tl : {&kKept, &kRemoved, &kAddedSmall, &kLeftOut})
            for (const char* p : tl->paths) s.files.push_back({p, random_bytes(40000, seed++), false, {}});
        s.files.push_back({kAddedLarge.paths[0], repeated_bytes(32 << 20, seed++), false, {}});
        build_two_discs(s, 400);
        if (HasFatalFailure()) return;
        ASSERT_TRUE(disc_holds(0, kLarge) && disc_holds(0, kAircraft[0]));
        ASSERT_TRUE(disc_holds(1, kOnDiscTwo));
        for (const tile* tl : {&kKept, &kRemoved, &kAddedSmall, &kAddedLarge, &kLeftOut})
            for (const char* p : tl->paths) ASSERT_TRUE(disc_holds(1, p)) << p;
        copy = t / "copies/Ventaro 9/";
    }

    // The copy as an install of the simulator and the tiles given left it, registered.
    void install_copy(const std::vector<const tile*>& tiles) {
        std::vector<std::string> skip;
        for (const tile* tl : {&kKept, &kRemoved, &kAddedSmall, &kAddedLarge, &kLeftOut})
            if (std::find(tiles.begin(), tiles.end(), tl) == tiles.end()) skip.insert(skip.end(), tl->paths.begin(), tl->paths.end());
        write_mac_copy(copy, set, skip);
        register_copy(copy);
    }

    // What the copy should hold afterwards: the simulator and these tiles, by path and MD5.
    std::map<std::string, std::string> copy_with(const std::vector<const tile*>& tiles) const {
        std::map<std::string, std::string> want = mac_copy_of(set);
        for (const tile* tl : {&kKept, &kRemoved, &kAddedSmall, &kAddedLarge, &kLeftOut})
            if (std::find(tiles.begin(), tiles.end(), tl) == tiles.end()) {
                for (const char* p : tl->paths) EXPECT_EQ(want.erase(in_copy(p)), 1u) << p;
            }
        return want;
    }

    // From the main menu through the copy-picking screen to the end of the scan: Confirm Repairs
    // (choice 2) or Select New Scenery (choice 1).
    void pick_and_scan(int menu_choice, const std::string& pick_title, const std::string& scan_title,
                       const std::string& shot_prefix) {
        ASSERT_TRUE(driver->wait_line(kMenuTitle)) << run->err();
        shot(shot_prefix + " 0 menu");
        ASSERT_TRUE(driver->click(choice(menu_choice).x, choice(menu_choice).y));
        ASSERT_TRUE(driver->wait_line("screen: " + pick_title)) << driver->log() << run->err();
        shot(shot_prefix + " 1 pick");
        ASSERT_TRUE(driver->click(kNext.x, kNext.y));
        if (!frozen_shot(shot_prefix + " 2 scan", "screen: " + scan_title))
            std::cout << "note: the scan was over before it could be pictured\n";
        ASSERT_TRUE(driver->wait_line("screen: " + scan_title)) << driver->log();
        EXPECT_EQ(screen_text(scan_title).rfind("I am scanning " + copy + " ", 0), 0u) << screen_text(scan_title);
    }

    // Modification times of every file below root.
    static std::map<std::string, fs::file_time_type> times(const std::string& root) {
        std::map<std::string, fs::file_time_type> out;
        for (const auto& e : fs::recursive_directory_iterator(root))
            if (e.is_regular_file()) out[e.path().string().substr(root.size())] = e.last_write_time();
        return out;
    }

    std::string copy;
};

TEST_F(DiscRepair, AFlippedByteAndAMissingFileAreRepairedAcrossBothDiscsAndNothingElseIsWritten) {
    install_copy({&kKept});
    // One byte of the large file flipped, the file of disc two gone; every file dated a day that
    // neither a write now nor an archive's date (the set's are 2020) gives, so that any write shows.
    std::string damaged = read_file(copy + in_copy(kLarge));
    damaged[damaged.size() / 2] = char(damaged[damaged.size() / 2] ^ 0x01);
    write_file(copy + in_copy(kLarge), damaged);
    ASSERT_TRUE(fs::remove(copy + in_copy(kOnDiscTwo)));
    const auto long_ago = std::chrono::file_clock::from_sys(std::chrono::sys_seconds(std::chrono::seconds(1299283200)));
    for (const auto& e : fs::recursive_directory_iterator(copy))
        if (e.is_regular_file()) fs::last_write_time(e.path(), long_ago);
    std::map<std::string, fs::file_time_type> before = times(copy);

    mount_disc(disc_image(0), drive);
    start();
    pick_and_scan(2, "Repair Ventaro 9", "Scanning Ventaro for Problems", "repair");
    if (HasFatalFailure()) return;

    ASSERT_TRUE(driver->wait_line("screen: Confirm Repairs")) << driver->log();
    EXPECT_EQ(screen_text("Confirm Repairs"), "I need to install approximately 2 files to repair " + copy +
                                                  ".\\n\\nClick continue to begin repairing Ventaro.");
    shot("repair 3 confirm");
    ASSERT_TRUE(driver->click(kNext.x, kNext.y));

    // The damaged file is one the set never had: the person is asked, and has it replaced.
    ASSERT_TRUE(driver->wait_line("question: I am about to install: " + copy + in_copy(kLarge))) << driver->log();
    shot("repair 4 question");
    ASSERT_TRUE(driver->click(kOverwriteOldFile.x, kOverwriteOldFile.y));
    if (!frozen_shot("repair 5 repairing", "screen: Repairing Ventaro"))
        std::cout << "note: disc one's part of the repair was over before it could be pictured\n";
    ASSERT_TRUE(driver->wait_line("screen: Repairing Ventaro")) << driver->log();
    EXPECT_EQ(screen_text("Repairing Ventaro"), "I am repairing " + copy + ".");

    // Disc two when asked.
    ASSERT_TRUE(driver->wait_line("screen: Repairing Ventaro - Please Change DVDs", 300)) << driver->log() << run->err();
    EXPECT_EQ(screen_text("Repairing Ventaro - Please Change DVDs"), "Please insert DVD number 2 and click continue.");
    shot("repair 6 change discs");
    swap_to_disc(1);
    ASSERT_TRUE(driver->click(kNext.x, kNext.y));
    ASSERT_TRUE(driver->wait_line("screen: Finished Repairing Ventaro.", 300)) << driver->log() << run->err();
    EXPECT_EQ(screen_text("Finished Repairing Ventaro."),
              "I have finished repairing " + copy + " - click Go Back to return to the main menu.");
    shot("repair 7 finished");
    EXPECT_EQ(count_in_log("question: "), 1) << driver->log();
    EXPECT_EQ(count_in_log("screen: Repairing Ventaro - Please Change DVDs\n"), 1) << driver->log();

    // Both files back with the set's bytes, every other file as it was, and nothing more.
    EXPECT_EQ(tree(copy), copy_with({&kKept}));
    std::map<std::string, fs::file_time_type> after = times(copy);
    for (const char* p : {kLarge, kOnDiscTwo}) {
        EXPECT_EQ(after.erase(in_copy(p)), 1u) << p;
        before.erase(in_copy(p));
    }
    EXPECT_EQ(after, before) << "a file the repair had no need to touch was written";
}

TEST_F(DiscRepair, TwoTilesAddedAndOneRemovedOnTheMapLeaveExactlyTheChosenTiles) {
    install_copy({&kKept, &kRemoved});
    // Scenery of the removed tile that the set does not list: the person's own, which stays.
    const std::string own = in_copy("All/Global Scenery/+40-130/+45-121.dsf");
    write_file(copy + own, "made by hand");

    mount_disc(disc_image(0), drive);
    start();
    pick_and_scan(1, "Select Ventaro 9 to Add or Remove Scenery", "Scanning Ventaro 9 for Installed Scenery", "scenery");
    if (HasFatalFailure()) return;

    ASSERT_TRUE(driver->wait_line("screen: Select Scenery")) << driver->log();
    const screen_pixels before = shot("scenery 3 map");
    for (const tile* tl : {&kRemoved, &kAddedSmall, &kAddedLarge}) {
        const point p = tile_middle(tl->j, tl->i);
        ASSERT_TRUE(driver->click(p.x, p.y)) << tl->paths[0];
    }
    const screen_pixels after = shot("scenery 4 map changed");
    // The installed tiles were shown chosen: the removed one changes look like the two added,
    // the kept one and the one left out look as they did.
    const auto at = [](const screen_pixels& p, const tile& tl) {
        const point m = tile_middle(tl.j, tl.i);
        return pixel(p, int(m.x), int(m.y));
    };
    for (const tile* tl : {&kRemoved, &kAddedSmall, &kAddedLarge})
        EXPECT_GT(apart(at(before, *tl), at(after, *tl)), 40) << tl->paths[0];
    for (const tile* tl : {&kKept, &kLeftOut}) EXPECT_LE(apart(at(before, *tl), at(after, *tl)), 3) << tl->paths[0];

    ASSERT_TRUE(driver->click(kNext.x, kNext.y));
    ASSERT_TRUE(driver->wait_line("screen: Installing New Scenery")) << driver->log();
    ASSERT_TRUE(driver->wait_line("screen: Installing Scenery - Please change DVDs", 300)) << driver->log();
    EXPECT_EQ(screen_text("Installing Scenery - Please change DVDs"), "Please insert DVD number 2 and click continue.");
    shot("scenery 5 change discs");
    swap_to_disc(1);
    ASSERT_TRUE(driver->click(kNext.x, kNext.y));
    if (!frozen_shot("scenery 6 installing", "screen: Installing New Scenery", 2))
        std::cout << "note: the scenery install was over before it could be pictured\n";
    ASSERT_TRUE(driver->wait_line("screen: Finished With Add/Remove Scenery", 300)) << driver->log() << run->err();
    EXPECT_EQ(screen_text("Finished With Add/Remove Scenery"),
              "I have successfully added and removed scenery to match your choices on the map.");
    shot("scenery 7 finished");
    EXPECT_EQ(count_in_log("question: "), 0) << driver->log();

    std::map<std::string, std::string> want = copy_with({&kKept, &kAddedSmall, &kAddedLarge});
    want[own] = md5_hex("made by hand");
    EXPECT_EQ(tree(copy), want);
}

TEST_F(DiscRepair, ARepairKilledInTheMiddleAndRunAgainLeavesTheExactTree) {
    install_copy({&kKept});
    for (const char* p : {kAircraft[0], kAircraft[1], kLarge, kOnDiscTwo}) ASSERT_TRUE(fs::remove(copy + in_copy(p)));

    mount_disc(disc_image(0), drive);
    start();
    pick_and_scan(2, "Repair Ventaro 9", "Scanning Ventaro for Problems", "killed repair");
    if (HasFatalFailure()) return;
    ASSERT_TRUE(driver->wait_line("screen: Confirm Repairs")) << driver->log();
    EXPECT_EQ(screen_text("Confirm Repairs").rfind("I need to install approximately 4 files to repair ", 0), 0u)
        << screen_text("Confirm Repairs");
    ASSERT_TRUE(driver->click(kNext.x, kNext.y));

    // Killed once the repair has put its first file back, while it unpacks the others.
    ASSERT_TRUE(wait_for_file(copy + in_copy(kAircraft[0]), [](const std::string& s) { return !s.empty(); }, 180,
                              [&] { return run->alive(); }))
        << driver->log() << run->err();
    ::kill(run->pid(), SIGKILL);
    ASSERT_EQ(run->wait_exit(60), 128 + SIGKILL);
    ASSERT_FALSE(fs::exists(copy + in_copy(kOnDiscTwo))) << "the repair was over, not in the middle";
    int staged = 0;
    for (const auto& e : fs::recursive_directory_iterator(copy)) staged += e.path().filename().string().rfind(".vtz", 0) == 0;
    std::cout << "note: killed with " << staged << " half-unpacked file(s) in the copy; "
              << (fs::exists(copy + in_copy(kLarge)) ? "the large file was back" : "the large file was not back") << "\n";
    stop();

    // A fresh start repairs what is left, leaving nothing of the killed run behind.
    start();
    pick_and_scan(2, "Repair Ventaro 9", "Scanning Ventaro for Problems", "killed repair again");
    if (HasFatalFailure()) return;
    ASSERT_TRUE(driver->wait_line("screen: Confirm Repairs")) << driver->log();
    ASSERT_TRUE(driver->click(kNext.x, kNext.y));
    ASSERT_TRUE(driver->wait_line("screen: Repairing Ventaro - Please Change DVDs", 300)) << driver->log() << run->err();
    swap_to_disc(1);
    ASSERT_TRUE(driver->click(kNext.x, kNext.y));
    ASSERT_TRUE(driver->wait_line("screen: Finished Repairing Ventaro.", 300)) << driver->log() << run->err();
    EXPECT_EQ(screen_text("Finished Repairing Ventaro."),
              "I have finished repairing " + copy + " - click Go Back to return to the main menu.");
    EXPECT_EQ(count_in_log("question: "), 0) << driver->log();
    EXPECT_EQ(tree(copy), copy_with({&kKept}));
}

}  // namespace
