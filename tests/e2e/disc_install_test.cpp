// The disc installer as a whole program on a private X server, clicked through as a person would,
// with real discs: squashfs images of a built disc set, loop-mounted read-only in a mount
// namespace of this test's own. The main menu with no disc, with discs that are not this set's,
// and with a disc and an installed copy (Run starts the copy, Install A Second Copy goes on); and
// an install across two discs that picks two scenery tiles on the world map, swapping the discs
// when asked. Mounting needs root: elsewhere the tests say so and skip.
// VENTARO_TEST_SHOTS names a folder that keeps a picture of every screen.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
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

constexpr point kAgreeBox{250, 303};

// Tiles of scenery by their folder and file, and their place on the map (column, row).
struct tile {
    const char* path;
    int j, i;
};
const tile kTiles[] = {{"All/Global Scenery/+40-130/+43-125.dsf", 5, 13},
                       {"All/Global Scenery/+10+020/+14+024.dsf", 20, 10},
                       {"All/Global Scenery/+30+140/+36+143.dsf", 32, 12}};

class DiscInstall : public disc_run {
protected:
    // The simulator's files and scenery in three tiles, built as a set of two discs, each disc
    // an image.
    void build_two_discs() {
        install_set s{"Set 9", {}};
        s.files.push_back({"All/Resources/big.dat", random_bytes(200000, 1), false, {}});
        for (size_t k = 0; k < std::size(kTiles); ++k)
            s.files.push_back({kTiles[k].path, random_bytes(150000, 10 + unsigned(k)), false, {}});
        disc_run::build_two_discs(s, 400);
    }

    // A copy installed and registered earlier, whose application leaves a note of its start.
    std::string installed_copy() {
        const std::string copy = t / "copies/Ventaro 9/";
        register_copy(copy);
        const std::string app = copy + "Ventaro.app/Contents/";
        write_file(app + "Info.plist",
                   "<plist><dict><key>CFBundleExecutable</key><string>Ventaro</string></dict></plist>\n");
        write_file(app + "MacOS/Ventaro", "#!/bin/sh\necho started \"$@\" > '" + copy + "Output/started.txt'\n");
        ::chmod((app + "MacOS/Ventaro").c_str(), 0755);
        return copy;
    }
};

// The menu's text (under the title) and where its choices would be.
constexpr int kTextBox[4] = {230, 400, 700, 450};
constexpr int kChoiceBox[4] = {380, 240, 620, 365};

TEST_F(DiscInstall, TheMainMenuWithNoDiscWithForeignDiscsAndWithADiscAndACopy) {
    build_two_discs();
    const std::string copy = installed_copy();

    // No disc: the request for disc one, no choices, and Next goes nowhere.
    start();
    ASSERT_TRUE(driver->wait_line(kMenuTitle)) << run->err();
    const screen_pixels none = shot("menu no disc");
    EXPECT_GT(ink(none, kTextBox[0], kTextBox[1], kTextBox[2], kTextBox[3]), 50) << "the insert text";
    EXPECT_EQ(ink(none, kChoiceBox[0], kChoiceBox[1], kChoiceBox[2], kChoiceBox[3]), 0) << "no choices";
    ASSERT_TRUE(driver->click(kNext.x, kNext.y));
    ASSERT_TRUE(driver->frames(3));
    EXPECT_EQ(count_in_log("screen: "), 1) << driver->log();
    stop();

    // A disc of another product: it says so, with no choices, and leads nowhere.
    mount_foreign_disc("I\n900 version\nOTHER\n");
    start();
    ASSERT_TRUE(driver->wait_line(kMenuTitle)) << run->err();
    const screen_pixels foreign = shot("menu foreign disc");
    EXPECT_GT(ink(foreign, kTextBox[0], kTextBox[1], kTextBox[2], kTextBox[3]), 50) << "the text";
    int differ = 0;
    for (int y = kTextBox[1]; y <= kTextBox[3]; ++y)
        for (int xx = kTextBox[0]; xx <= kTextBox[2]; ++xx) differ += apart(pixel(foreign, xx, y), pixel(none, xx, y)) != 0;
    EXPECT_GT(differ, 50) << "another text than the request for disc one";
    EXPECT_EQ(ink(foreign, kChoiceBox[0], kChoiceBox[1], kChoiceBox[2], kChoiceBox[3]), 0) << "no choices";
    ASSERT_TRUE(driver->click(kNext.x, kNext.y));
    ASSERT_TRUE(driver->frames(3));
    EXPECT_EQ(count_in_log("screen: "), 1) << driver->log();
    stop();

    // A disc that names a set but lacks its manifest: the scan's alert, before any screen.
    mount_foreign_disc("I\n900 version\nDVD\n\nVERSION Other Set\n");
    start();
    ASSERT_TRUE(driver->wait_line("panel 994")) << run->err() << driver->log();
    EXPECT_EQ(count_in_log("screen: "), 0) << driver->log();
    EXPECT_NE(wait_for_text(box->log_path(), "DVD scan: The installer cannot extract a file.", 60), std::string::npos);
    stop();
    unmount_disc(drive);

    // Disc one and a copy: Run, Add Or Remove Scenery, Repair and Install A Second Copy, one
    // under the other, and no fifth. Run starts the copy and ends the installer.
    mount_disc(disc_image(0), drive);
    start();
    ASSERT_TRUE(driver->wait_line(kMenuTitle)) << run->err();
    const screen_pixels menu = shot("menu disc and copy");
    for (int n = 0; n < 5; ++n) {
        const int y = int(choice(n).y);
        if (n < 4) EXPECT_GT(ink(menu, 390, y - 10, 610, y + 12), 50) << "choice " << n + 1;
        else EXPECT_EQ(ink(menu, 390, y - 10, 610, y + 12), 0) << "a fifth choice";
    }
    ASSERT_TRUE(driver->click(choice(0).x, choice(0).y));
    EXPECT_EQ(run->wait_exit(60), 1) << run->err();
    EXPECT_TRUE(wait_for_file(copy + "Output/started.txt", [](const std::string& s) { return s == "started\n"; }, 60))
        << read_file(copy + "Output/started.txt");
    stop();

    // The same menu's last choice goes on to the destination of a second copy.
    start();
    ASSERT_TRUE(driver->wait_line(kMenuTitle)) << run->err();
    ASSERT_TRUE(driver->click(choice(3).x, choice(3).y));
    ASSERT_TRUE(log_holds("screen: Pick Install Destination for ")) << driver->log() << run->err();
    shot("pick destination second copy");
    EXPECT_TRUE(run->alive());
}

TEST_F(DiscInstall, AnInstallAcrossTwoDiscsGetsTheSimulatorAndOnlyTheTwoTilesChosen) {
    build_two_discs();
    mount_disc(disc_image(0), drive);
    start();

    ASSERT_TRUE(driver->wait_line(kMenuTitle)) << run->err();
    shot("1 welcome");
    ASSERT_TRUE(driver->click(kNext.x, kNext.y));
    ASSERT_TRUE(log_holds("screen: Pick Install Destination for ")) << driver->log() << run->err();
    shot("2 pick destination");
    ASSERT_TRUE(driver->click(kNext.x, kNext.y));
    ASSERT_TRUE(driver->wait_line("screen: End User License Agreement")) << driver->log();
    ASSERT_TRUE(driver->click(kAgreeBox.x, kAgreeBox.y));
    shot("3 license");
    ASSERT_TRUE(driver->click(kNext.x, kNext.y));
    ASSERT_TRUE(driver->wait_line("screen: Select Scenery")) << driver->log();
    const screen_pixels before = shot("4 world map");

    // The first two tiles, each clicked once in its middle.
    for (int k = 0; k < 2; ++k) {
        const point p = tile_middle(kTiles[k].j, kTiles[k].i);
        ASSERT_TRUE(driver->click(p.x, p.y)) << k;
    }
    const screen_pixels chosen = shot("5 world map two tiles");
    // A chosen tile shows another band than before; the third tile, the sea and a tile with no
    // scenery look as they did.
    const auto at = [](const screen_pixels& p, int j, int i) {
        const point m = tile_middle(j, i);
        return pixel(p, int(m.x), int(m.y));
    };
    for (int k = 0; k < 2; ++k)
        EXPECT_GT(apart(at(before, kTiles[k].j, kTiles[k].i), at(chosen, kTiles[k].j, kTiles[k].i)), 40) << k;
    for (const auto& [j, i] : std::vector<std::pair<int, int>>{{32, 12}, {0, 0}, {18, 9}, {6, 13}})
        EXPECT_LE(apart(at(before, j, i), at(chosen, j, i)), 3) << j << "," << i;

    ASSERT_TRUE(driver->click(kNext.x, kNext.y));
    ASSERT_TRUE(driver->wait_line("screen: Installing Ventaro")) << driver->log();
    shot("6 installing");

    // Disc two when asked, as a person swaps discs: out with the one in the drive, in with the next.
    const std::string change = "screen: Installing Ventaro - Please Change DVDs\n";
    const std::string done = "screen: Finished Installing Ventaro\n";
    ASSERT_TRUE(log_holds(change, 300) || log_holds(done, 1)) << driver->log() << run->err();
    ASSERT_EQ(count_in_log(change), 1) << "the install never asked for disc two";
    ASSERT_TRUE(driver->frames(2));
    shot("7 change discs");
    swap_to_disc(1);
    ASSERT_TRUE(driver->click(kNext.x, kNext.y));
    ASSERT_TRUE(log_holds(done, 300)) << driver->log() << run->err();
    EXPECT_EQ(count_in_log(change), 1) << driver->log();
    EXPECT_EQ(count_in_log("question: "), 0) << driver->log();
    shot("8 finished");

    // The copy holds the simulator and the two chosen tiles, each with the set's bytes.
    const std::string registered = read_file(box->home() + "/.config/ventaro_install.txt");
    ASSERT_FALSE(registered.empty());
    const std::string copy = registered.substr(0, registered.find('\n'));
    std::map<std::string, std::string> want = mac_copy_of(set);
    ASSERT_EQ(want.erase(std::string(kTiles[2].path).substr(4)), 1u);
    EXPECT_EQ(tree(copy), want);
}

}  // namespace
