// The repair and scenery flows from the install discs, called as the wizard frame calls them, on
// an installed copy and a two-disc set made as folders: the copy-picking screens, the two scans
// (every byte for a repair, existence only for scenery), Confirm Repairs, Select New Scenery, the
// questions on stepping back from a running repair or scenery install, the install, disc and
// Finish screens of both flows, and the copy each flow leaves behind.
#include "wizard/dvd_copy_flows.h"

#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "../render/recorded_draw.h"
#include "core/log.h"
#include "core/shared_constants.h"
#include "core/threads.h"
#include "install/checksum.h"
#include "install/dvd_install.h"
#include "install/install_filter.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/prompts.h"
#include "install/registration.h"
#include "platform/install_media.h"
#include "platform/spawn.h"
#include "support/disc_surroundings.h"
#include "support/install_set.h"
#include "support/temp_dir.h"
#include "wizard/demo_screens.h"
#include "wizard/dvd_install_flow.h"
#include "wizard/dvd_menu.h"
#include "wizard/world_map.h"

namespace {

using namespace drawtest;
using namespace testsupport;
namespace fs = std::filesystem;

// Scenery in three tiles: A (two files, lon 5, lat 13), B (20, 10) and C (32, 12).
const std::string kA1 = "All/Global Scenery/+40-130/+43-125.dsf";
const std::string kA2 = "All/Global Scenery/+40-130/+44-126.dsf";
const std::string kB = "All/Global Scenery/+10+020/+14+024.dsf";
const std::string kC = "All/Global Scenery/+30+140/+36+143.dsf";
// Simulator files; the read-me lies among tile A's scenery but is no scenery.
const std::string kA = "All/Resources/a.txt";
const std::string kBsim = "All/Resources/b.txt";
const std::string kCsim = "All/Resources/plugins/c.txt";
const std::string kReadme = "All/Global Scenery/+40-130/readme.txt";
const std::string kOld = "All/Resources/old.txt";   // no longer shipped

struct set_entry {
    std::string path;
    int disk;
    std::string bytes;   // on the disc; none for a file no longer shipped
    bool in_copy;        // the copy starts with the disc's bytes
    std::string md5;
};

std::string below_copy(const std::string& manifest_path) { return manifest_path.substr(manifest_path.find('/') + 1); }
std::string leaf(const std::string& path) { return path.substr(path.rfind('/') + 1); }
std::string folder(const std::string& path) { return path.substr(0, path.rfind('/') + 1); }

// The regular files below root (links are not followed), with the MD5 of their bytes.
std::map<std::string, std::string> tree_of(const std::string& root) {
    std::vector<std::string> paths, rels;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (e.is_symlink() || !e.is_regular_file()) continue;
        paths.push_back(e.path().string());
        rels.push_back(e.path().string().substr(root.size()));
    }
    const std::vector<std::string> sums = md5_hex_of_files(paths);
    std::map<std::string, std::string> out;
    for (size_t i = 0; i < paths.size(); ++i) out[rels[i]] = sums[i];
    return out;
}

// The same bytes with the first one changed.
std::string flipped(std::string bytes) {
    bytes[0] = static_cast<char>(bytes[0] ^ 0x5a);
    return bytes;
}

class DvdCopyFlows : public RecordedText {
protected:
    void SetUp() override {
        RecordedText::SetUp();
        load_art(tex_ref_map, 512, 1024);
        ASSERT_TRUE(xer.open(t / "log.txt"));
        dvd_install_reset_for_test();
        dvd_copy_flows_reset_for_test();
        demo_screens_reset_for_test();
        world_map_reset_for_test();
        sim_info.clear();
        stg_set_initial();
        stg.log_actions = 1;
        install_name = "Set 9";
        dvd_path.clear();
        dest_dir_path.clear();
        temp_path = t / "tmp/";
        write_file(temp_path + ".keep", "");
        copy_ = t / "copy/";
        // As a release lists them: the first disc's files, then the second's.
        entries_ = {{kA, 0, random_bytes(3000, 1), true, ""},   {kBsim, 0, random_bytes(2000, 2), true, ""},
                    {kReadme, 0, "read me\n", true, ""},         {kOld, 0, "", false, ""},
                    {kA1, 0, random_bytes(4000, 4), true, ""},  {kA2, 0, random_bytes(3500, 5), true, ""},
                    {kC, 0, random_bytes(2000, 7), true, ""},   {kCsim, 1, random_bytes(2500, 3), true, ""},
                    {kB, 1, random_bytes(3000, 6), false, ""}};
        for (set_entry& e : entries_) e.md5 = e.bytes.empty() ? "GONE" : md5_hex(e.bytes);
    }
    void TearDown() override {
        set_abort_alert_answerer(nullptr);
        set_select_alert_answerer(nullptr);
        install_files_kill();
        std::string ignored;
        install_files_get_error(ignored);
        checksum_directory_kill();
        platform_set_test_disc_folder("");
        dvd_install_reset_for_test();
        dvd_copy_flows_reset_for_test();
        sim_info.clear();
        xer.close();
        RecordedText::TearDown();
    }

    // The discs, the manifest (read as the menu reads it) and the copy as the entries give them,
    // with `fillers` more manifest files for another platform, which no flow here wants.
    void make_set(int fillers = 0) {
        std::string manifest = "I\n900 version\nINSTALLER\n\n";
        for (const set_entry& e : entries_) {
            manifest += "DISK " + std::to_string(e.disk) + "\nDIR " + folder(e.path) + "\nFILE 0 0 1 1 " +
                        std::to_string(std::max<size_t>(1, e.bytes.size() / 1000)) + " " + e.md5 + " " + leaf(e.path) +
                        "\n";
            if (e.bytes.empty()) continue;
            const std::string disc = t / ("disc" + std::to_string(e.disk) + "/");
            write_file(disc + "dvd_version.txt", "I\n900 version\nDVD\n\nVERSION Set 9\n");
            write_archive(disc + "Set 9/" + e.path, e.bytes);
        }
        manifest += "DIR Windows/filler/\n";
        for (int i = 0; i < fillers; ++i) manifest += "FILE 0 2 1 1 1 " + std::string(32, 'f') + " f" + std::to_string(i) + "\n";
        write_file(t / "directory.txt", manifest);
        ASSERT_EQ(read_directory(t / "directory.txt"), 3);

        fs::remove_all(copy_);
        for (const char* sub : {"Airfoils", "Instructions", "Output", "Resources"}) fs::create_directories(copy_ + sub);
        for (const set_entry& e : entries_)
            if (e.in_copy) write_file(copy_ + below_copy(e.path), e.bytes);
        write_file(t / "config/ventaro_install.txt", copy_ + "\n");
        locate_all_ventaros();
        insert_disc(0);
    }
    // A file's archive on the disc: zip for the simulator, 7z for scenery.
    void write_archive(const std::string& file, const std::string& bytes) {
        if (file.find("Global Scenery") == std::string::npos) {
            write_zip(file + ".zip", {{leaf(file), bytes}});
            return;
        }
        temp_dir scratch;
        write_file(scratch / leaf(file), bytes);
        fs::create_directories(folder(file));
        fs::remove(file + ".7z");
        ASSERT_EQ(platform::run_and_wait("bsdtar", {"bsdtar", "--format", "7zip", "-cf", file + ".7z", "-C",
                                                    scratch.path(), leaf(file)}),
                  0);
    }
    void insert_disc(int n) { platform_set_test_disc_folder(t / ("disc" + std::to_string(n))); }
    const set_entry& entry(const std::string& path) const {
        return *std::find_if(entries_.begin(), entries_.end(), [&](const set_entry& e) { return e.path == path; });
    }
    file_version_struct& manifest_file(const std::string& path) {
        return std::find_if(sim_info.begin(), sim_info.end(), [&](file_history_struct& h) {
                   return h.current().path == path;
               })->current();
    }
    // The copy as it should be: each listed file with the disc's bytes.
    std::map<std::string, std::string> copy_with(const std::vector<std::string>& paths) const {
        std::map<std::string, std::string> out;
        for (const std::string& p : paths) out[below_copy(p)] = entry(p).md5;
        return out;
    }
    std::map<std::string, std::string> copy_as_installed() const {
        std::map<std::string, std::string> out;
        for (const set_entry& e : entries_)
            if (e.in_copy) out[below_copy(e.path)] = e.md5;
        return out;
    }

    // One frame of a screen; a click is a press and the button held in that frame.
    wizard_screen call(screen_func f, int first, float click_x = -100, float click_y = -100) {
        wizard_screen w;
        mnw.mouse_x = click_x;
        mnw.mouse_y = click_y;
        mnw.click_hit = click_x >= 0 ? 1 : 0;
        mnw.mouse_held = mnw.click_hit;
        last_result = f(first, w);
        mnw.click_hit = 0;
        mnw.mouse_held = 0;
        rec.take();
        return w;
    }
    // Frames of one screen, as the wizard calls it, until it moves on; its last frame.
    wizard_screen until_it_moves_on(screen_func f) {
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        wizard_screen w = call(f, 1);
        while (last_result == 0 && std::chrono::steady_clock::now() < give_up) {
            std::this_thread::yield();
            w = call(f, 0);
        }
        EXPECT_EQ(last_result, 1) << "the screen never moved on";
        return w;
    }
    // The wizard frame from a screen until one of the stops is shown: a screen that returns 1
    // hands over to its Next, and a disc-change screen is answered by inserting the disc it asks
    // for and pressing Next. The first frame of every screen shown is kept.
    screen_func run_flow(screen_func from, std::vector<screen_func> stops) {
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        screen_func cur = from;
        int first = 1;
        while (std::find(stops.begin(), stops.end(), cur) == stops.end()) {
            if (std::chrono::steady_clock::now() > give_up) {
                ADD_FAILURE() << "the flow never reached its end";
                return cur;
            }
            wizard_screen w = call(cur, first);
            if (first) shown.push_back(w);
            if (cur == dvd_switch_disk_repair || cur == dvd_switch_disk_scenery) {
                EXPECT_EQ(platform_find_install_media(), "") << "the disc asked to be changed is still there";
                insert_disc(sim_info[want_file_disk].current().disk);
                cur = w.next_screen;
                first = 1;
            } else if (last_result) {
                cur = w.next_screen;
                first = 1;
            } else {
                first = 0;
                std::this_thread::yield();
            }
        }
        return cur;
    }
    std::vector<std::string> titles_shown() const {
        std::vector<std::string> out;
        for (const auto& w : shown) out.push_back(w.title);
        return out;
    }
    // Kilobytes more than the copy's volume has free.
    double more_than_free() const {
        struct statvfs sv;
        EXPECT_EQ(::statvfs(t.path().c_str(), &sv), 0);
        return (double)sv.f_bavail * (double)sv.f_frsize / 1000.0 * 4 + 1e6;
    }
    // How many manifest files the scan queues in one call: ten for each of its four tasks per
    // processor.
    static int queued_at_once() { return 40 * std::max(1, UTL_count_processors()); }
    static float tile_x(int j) { return world_map_left + 14.0f * j + 7; }
    static float tile_y(int i) { return world_map_bottom + 14.0f * i + 7; }
    static std::vector<std::pair<int, int>> chosen() {
        std::vector<std::pair<int, int>> out;
        for (int j = 0; j < 36; ++j)
            for (int i = 0; i < 18; ++i)
                if (stg.chosen_tiles[j][i]) out.emplace_back(j, i);
        return out;
    }

    temp_dir t;
    testsupport::disc_surroundings around{t};
    std::string copy_;
    std::vector<set_entry> entries_;
    std::vector<wizard_screen> shown;
    int last_result = 0;
};

const std::string kRepairScanText =
    "I am scanning %1:folder% for missing or damaged files.\n\nNote: if you have updated this copy of Ventaro from the "
    "Internet, the repair operation will remove the updates.  Once the repair has finished, you should reapply the "
    "updates from the web.";
const std::string kSceneryScanText =
    "I am scanning %1:install folder% to see what scenery you already have installed.\n\nNote: I am only checking for "
    "the scenery already installed from your DVDs.  This scan will not show any custom scenery downloaded from the "
    "internet.";
const std::string kRepairStop =
    "Are you sure you want to stop the repair operation?  Ventaro may not be usable until repairs are complete.  You "
    "can run the repair operation on Ventaro again later to complete repairs.";
const std::string kSceneryStop =
    "Are you sure you want to stop scenery installation?  You can add or remove more scenery later.";

// The text with its placeholder ("%1" or "%1:name%") filled with the copy's folder.
std::string with_copy(const std::string& text, const std::string& copy) {
    const size_t at = text.find("%1");
    const size_t end = text[at + 2] == ':' ? text.find('%', at + 2) + 1 : at + 2;
    return text.substr(0, at) + copy + text.substr(end);
}

TEST_F(DvdCopyFlows, EachPickScreenStopsARunningScanWritesItsStepsAndWaitsForNext) {
    struct pick_row {
        screen_func pick;
        std::string title;
        screen_func next;
        std::string sentence;
        std::vector<std::string> steps;
        std::vector<screen_func> step_screens;
    };
    const pick_row rows[] = {
        {dvd_pick_repair, "Repair Ventaro 9", dvd_scan_repair,
         "Please pick which copy of Ventaro 9 you would like to repair.",
         {"Welcome", "Select Ventaro", "Scan For Problems", "Confirm Repairs", "Repair Ventaro", "Finish"},
         {dvd_start, dvd_pick_repair, dvd_scan_repair, dvd_confirm_repair, dvd_install_repair, dvd_done_repair}},
        {dvd_pick_scenery, "Select Ventaro 9 to Add or Remove Scenery", dvd_scan_scenery,
         "Please pick which copy of Ventaro 9 you would like to add scenery to.",
         {"Welcome", "Select Ventaro", "Scan Existing Scenery", "Select New Scenery", "Install Scenery", "Finish"},
         {dvd_start, dvd_pick_scenery, dvd_scan_scenery, dvd_edit_scenery, dvd_install_scenery, dvd_done_scenery}},
    };
    make_set(queued_at_once() + 10);
    for (const pick_row& row : rows) {
        SCOPED_TRACE(row.title);
        // A scan of the copy still running, as Back leaves it.
        dest_dir_path = copy_;
        int counter = 0;
        float fraction = 0;
        ASSERT_EQ(checksum_directory(counter, 0, fraction), 0);
        ASSERT_NE(checksum_workers, nullptr);
        dest_dir_path.clear();

        wizard_screen w = call(row.pick, 1);
        EXPECT_EQ(checksum_workers, nullptr) << "the scan still runs";
        EXPECT_EQ(last_result, 0);
        EXPECT_EQ(step_names, row.steps);
        EXPECT_EQ(step_funcs, row.step_screens);
        EXPECT_EQ(w.title, row.title);
        EXPECT_EQ(w.text, row.sentence);
        EXPECT_EQ(w.back_screen, dvd_start);
        // The only copy is chosen, and the screen waits for Next.
        EXPECT_EQ(dest_dir_path, copy_);
        EXPECT_EQ(w.next_screen, row.next);
        w = call(row.pick, 0);
        EXPECT_EQ(last_result, 0);
        EXPECT_EQ(w.next_screen, row.next);
    }

    // Two copies and none chosen: the longer text, and no Next until one is.
    const std::string other = t / "other/";
    for (const char* sub : {"Airfoils", "Instructions", "Output", "Resources"}) fs::create_directories(other + sub);
    write_file(t / "config/ventaro_install.txt", copy_ + "\n" + other + "\n");
    locate_all_ventaros();
    dest_dir_path.clear();
    wizard_screen w = call(dvd_pick_repair, 1);
    EXPECT_EQ(w.text, "You have more than one copy of Ventaro 9 installed on this computer.  Please pick which copy of "
                      "Ventaro 9 you would like to repair.");
    EXPECT_EQ(w.next_screen, nullptr);
    call(dvd_pick_repair, 0, 250, 378);
    EXPECT_EQ(dest_dir_path, other);
    EXPECT_EQ(call(dvd_pick_repair, 0).next_screen, dvd_scan_repair);
}

// A repair reads every byte of each simulator file; the scenery scan only asks whether each
// scenery file is there, so a scenery file with other bytes still counts as installed. Neither
// looks at the other's files.
TEST_F(DvdCopyFlows, EachScanLooksAtItsOwnFilesAsCloselyAsItsRowSays) {
    struct scan_row {
        screen_func pick, scan;
        int want_sim, want_global;
        std::string title, text;
        screen_func next;
        std::map<std::string, std::string> have;   // per file, what the scan leaves; "want": the manifest's
    };
    const scan_row rows[] = {
        {dvd_pick_repair, dvd_scan_repair, 1, 0, "Scanning Ventaro for Problems", kRepairScanText, dvd_confirm_repair,
         {{kA, "flipped"}, {kBsim, "want"}, {kCsim, "NONE"}, {kReadme, "want"}, {kA1, "not looked at"}, {kB, "not looked at"}}},
        {dvd_pick_scenery, dvd_scan_scenery, 0, 1, "Scanning Ventaro 9 for Installed Scenery", kSceneryScanText,
         dvd_edit_scenery,
         {{kA, "not looked at"}, {kBsim, "not looked at"}, {kA1, "want"}, {kA2, "want"}, {kB, "NONE"}, {kC, "want"}}},
    };
    const int n = queued_at_once() + 25;
    for (const scan_row& row : rows) {
        SCOPED_TRACE(row.title);
        make_set(n - (int)entries_.size());
        ASSERT_EQ((int)sim_info.size(), n);
        write_file(copy_ + below_copy(kA), flipped(entry(kA).bytes));
        write_file(copy_ + below_copy(kA1), flipped(entry(kA1).bytes));
        fs::remove(copy_ + below_copy(kCsim));
        for (auto& h : sim_info) h.current().sig_have = "not looked at";
        call(row.pick, 1);

        wizard_screen w = call(row.scan, 1);
        EXPECT_EQ(last_result, 0);
        EXPECT_EQ(g_want_sim, row.want_sim);
        EXPECT_EQ(g_want_global, row.want_global);
        EXPECT_EQ(w.title, row.title);
        EXPECT_EQ(w.text, with_copy(row.text, copy_));
        const int queued = queued_at_once();
        EXPECT_EQ(w.progress_text, "Scanning " + std::to_string(queued) + " of " + std::to_string(n) + " files.");
        EXPECT_FLOAT_EQ(w.progress, (float)queued / (float)n);
        EXPECT_EQ(w.back_screen, row.pick);
        EXPECT_EQ(w.next_screen, nullptr);
        ASSERT_NE(w.quit_func, nullptr);

        w = until_it_moves_on(row.scan);
        EXPECT_EQ(w.back_screen, nullptr);
        EXPECT_EQ(w.next_screen, row.next);
        EXPECT_EQ(checksum_workers, nullptr);
        for (const auto& [path, have] : row.have) {
            const file_version_struct& c = manifest_file(path);
            const std::string want = have == "want"      ? c.sig_want
                                     : have == "flipped" ? md5_hex(flipped(entry(path).bytes))
                                                         : have;
            EXPECT_EQ(c.sig_have, want) << path;
            EXPECT_EQ(c.match, have == "want" ? 1 : 0) << path;
        }
    }
}

// Back leaves the scan running; the pick screen stops it, and the next visit counts from 0
// again rather than going on where the old scan stood. Quit stops it too.
TEST_F(DvdCopyFlows, BackDuringAScanThenNextStartsANewScanFromZero) {
    const int queued = queued_at_once();
    const int n = 2 * queued + 25;
    make_set(n - (int)entries_.size());
    const std::string first_text = "Scanning " + std::to_string(queued) + " of " + std::to_string(n) + " files.";
    using flow = std::pair<screen_func, screen_func>;
    for (auto [pick, scan] : {flow{dvd_pick_repair, dvd_scan_repair}, flow{dvd_pick_scenery, dvd_scan_scenery}}) {
        call(pick, 1);
        wizard_screen w = call(scan, 1);
        ASSERT_EQ(w.progress_text, first_text);
        ASSERT_NE(checksum_workers, nullptr);
        EXPECT_EQ(w.back_screen, pick);
        call(w.back_screen, 1);
        EXPECT_EQ(checksum_workers, nullptr);

        w = call(scan, 1);
        EXPECT_EQ(w.progress_text, first_text);
        ASSERT_NE(w.quit_func, nullptr);
        EXPECT_TRUE(w.quit_func());
        EXPECT_EQ(checksum_workers, nullptr);
    }
}

// The count of Confirm Repairs is what the repair will put in place: damaged and missing
// simulator files, never scenery and never a file the release no longer ships.
TEST_F(DvdCopyFlows, ConfirmRepairsCountsTheFilesTheRepairWillInstall) {
    struct confirm_case {
        const char* what;
        std::function<void(const std::string& copy)> damage;
        bool small_disk;
        int count;
        std::string sentence;   // %1 the copy
    };
    const confirm_case cases[] = {
        {"nothing damaged", [](const std::string&) {}, false, 0,
         "I need to install approximately 0 files to repair %1.\n\nClick continue to begin repairing Ventaro."},
        {"one byte changed, a gone file absent",
         [&](const std::string& copy) { write_file(copy + below_copy(kA), flipped(entry(kA).bytes)); }, false, 1,
         "I need to install approximately 1 file to repair %1.\n\nClick continue to begin repairing Ventaro."},
        {"several damaged, a gone file present",
         [&](const std::string& copy) {
             write_file(copy + below_copy(kA), flipped(entry(kA).bytes));
             fs::remove(copy + below_copy(kBsim));
             fs::remove(copy + below_copy(kCsim));
             write_file(copy + below_copy(kOld), "old");
             fs::remove(copy + below_copy(kA1));
         },
         false, 3, "I need to install approximately 3 files to repair %1.\n\nClick continue to begin repairing Ventaro."},
        {"one missing on a disk too small",
         [&](const std::string& copy) { fs::remove(copy + below_copy(kBsim)); }, true, 1,
         "I need to install approximately 1 file to repair %1."},
    };
    for (const confirm_case& c : cases) {
        SCOPED_TRACE(c.what);
        make_set();
        c.damage(copy_);
        call(dvd_pick_repair, 1);
        EXPECT_EQ(until_it_moves_on(dvd_scan_repair).next_screen, dvd_confirm_repair);
        if (c.small_disk) manifest_file(kBsim).uncomp_size = (float)more_than_free();
        wizard_screen w = call(dvd_confirm_repair, 1);
        EXPECT_EQ(last_result, 0);
        EXPECT_EQ(repair_file_count(), c.count);
        EXPECT_EQ(w.title, "Confirm Repairs");
        std::string text = c.sentence;
        text.replace(text.find("%1"), 2, copy_);
        EXPECT_EQ(w.text, text);
        EXPECT_EQ(w.back_screen, dvd_pick_repair);
        EXPECT_EQ(w.next_screen, c.small_disk ? nullptr : dvd_install_repair);
    }
}

// The install screen of each row while it works, and the question its step-back screen asks
// while it runs: Continue goes back to the same install, Stop ends it and the screen starts
// afresh.
TEST_F(DvdCopyFlows, BackFromARunningRepairOrSceneryInstallAsksToStop) {
    struct row {
        screen_func pick, scan, middle, install;
        std::string title, busy, file_text, question;
        int* running;
    };
    const row rows[] = {
        {dvd_pick_repair, dvd_scan_repair, dvd_confirm_repair, dvd_install_repair, "Repairing Ventaro",
         "I am repairing %1.", "Repairing: ", kRepairStop, &repair_is_running},
        {dvd_pick_scenery, dvd_scan_scenery, dvd_edit_scenery, dvd_install_scenery, "Installing New Scenery",
         "I am installing new scenery for %1,", "Installing: ", kSceneryStop, &scenery_install_is_running},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.title);
        // A file of each flow is missing, one the first disc holds: the install is busy after
        // its first frame.
        make_set();
        fs::remove(copy_ + below_copy(kBsim));
        fs::remove(copy_ + below_copy(kA2));
        call(r.pick, 1);
        until_it_moves_on(r.scan);
        call(r.middle, 1);

        wizard_screen w = call(r.install, 1);
        ASSERT_EQ(last_result, 0);
        EXPECT_EQ(*r.running, 1);
        EXPECT_EQ(w.title, r.title);
        EXPECT_EQ(w.text, with_copy(r.busy, copy_));
        EXPECT_EQ(w.back_screen, r.middle);
        EXPECT_EQ(w.next_screen, nullptr);
        EXPECT_TRUE(w.progress_text.rfind(r.file_text, 0) == 0 || w.progress_text == "Finishing up..." ||
                    w.progress_text == "Finishing Up...")
            << w.progress_text;
        EXPECT_NE(w.quit_func, nullptr);

        std::vector<std::string> questions;
        int answer = 0;
        set_abort_alert_answerer([&](const std::string& q) {
            questions.push_back(q);
            return answer;
        });
        // Continue: straight back to the install, which goes on.
        w = call(r.middle, 1);
        EXPECT_EQ(last_result, 1);
        EXPECT_EQ(w.next_screen, r.install);
        EXPECT_EQ(questions, std::vector<std::string>{r.question});
        EXPECT_EQ(*r.running, 1);
        EXPECT_NE(copy_pool, nullptr);

        // Stop: the pipeline ends and the screen is shown afresh.
        answer = 1;
        w = call(r.middle, 1);
        EXPECT_EQ(last_result, 0);
        EXPECT_EQ(questions.size(), 2u);
        EXPECT_EQ(*r.running, 0);
        EXPECT_EQ(copy_pool, nullptr);
        EXPECT_EQ(w.next_screen, r.install);
        set_abort_alert_answerer(nullptr);
        install_files_kill();
    }
}

// A repair stopped half way (the second disc's files not yet in place) counts again what is
// left, and started again ends with the copy exactly as the discs have it.
TEST_F(DvdCopyFlows, AStoppedRepairStartedAgainEndsWithTheExactCopy) {
    make_set();
    write_file(copy_ + below_copy(kA), flipped(entry(kA).bytes));
    fs::remove(copy_ + below_copy(kReadme));
    fs::remove(copy_ + below_copy(kCsim));
    // The sound files carry an old time: a repair that rewrote one would give it a new one.
    const auto long_ago = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    const std::vector<std::string> sound{kBsim, kA1, kA2, kC};
    for (const std::string& p : sound) fs::last_write_time(copy_ + below_copy(p), long_ago);
    // The changed file asks its question; the first time the person cancels.
    std::vector<std::string> asked;
    int select_answer = 3;
    set_select_alert_answerer([&](const std::string& path, int) {
        asked.push_back(path);
        return select_answer;
    });
    call(dvd_pick_repair, 1);
    until_it_moves_on(dvd_scan_repair);
    call(dvd_confirm_repair, 1);
    EXPECT_EQ(repair_file_count(), 3);

    wizard_screen w = call(dvd_install_repair, 1);
    EXPECT_EQ(last_result, 1);
    EXPECT_EQ(w.next_screen, dvd_confirm_repair);
    EXPECT_EQ(asked, std::vector<std::string>{copy_ + below_copy(kA)});
    EXPECT_EQ(repair_is_running, 0);
    EXPECT_EQ(read_file(copy_ + below_copy(kA)), flipped(entry(kA).bytes));
    EXPECT_FALSE(fs::exists(copy_ + below_copy(kReadme)));

    select_answer = 1;
    call(dvd_confirm_repair, 1);
    w = call(dvd_install_repair, 1);
    ASSERT_EQ(last_result, 0);
    EXPECT_EQ(asked.size(), 2u);
    set_abort_alert_answerer([](const std::string&) { return 1; });
    w = call(dvd_confirm_repair, 1);
    set_abort_alert_answerer(nullptr);
    EXPECT_EQ(repair_is_running, 0);
    // The first disc's files were in flight and are in place; the second disc's one is left.
    EXPECT_EQ(repair_file_count(), 1);
    EXPECT_EQ(w.text, "I need to install approximately 1 file to repair " + copy_ +
                          ".\n\nClick continue to begin repairing Ventaro.");
    EXPECT_EQ(read_file(copy_ + below_copy(kA)), entry(kA).bytes);

    EXPECT_EQ(run_flow(w.next_screen, {dvd_done_repair, dvd_confirm_repair}), dvd_done_repair);
    EXPECT_EQ(asked.size(), 2u) << "a file now right was asked about";
    EXPECT_EQ(tree_of(copy_), copy_as_installed());
    for (const std::string& p : sound) EXPECT_EQ(fs::last_write_time(copy_ + below_copy(p)), long_ago) << p;
    EXPECT_EQ(num_install_errors, 0);
    EXPECT_EQ(repair_is_running, 0);
}

// A disc archive with other bytes fails its file with a message that names it, whether the
// person then stops or goes on; the copy's file is left as it was (damaged, or missing), and
// nothing is left beside it.
TEST_F(DvdCopyFlows, AWrongArchiveFailsItsFileAndLeavesTheCopysFileAsItWas) {
    const std::string redo = "\n\nYou can click Go Back and use the repair and add-remove scenery functions to try to "
                             "reinstall any missing or damaged files.";
    struct fail_case {
        const char* what;
        bool repair;
        int answer;   // 1 Stop, 0 Continue
    };
    const fail_case cases[] = {{"repair, stop", true, 1}, {"repair, continue", true, 0},
                               {"scenery, stop", false, 1}, {"scenery, continue", false, 0}};
    for (const fail_case& c : cases) {
        SCOPED_TRACE(c.what);
        make_set();
        std::map<std::string, std::string> want = copy_as_installed();
        const std::string& path = c.repair ? kA : kA2;
        if (c.repair) {
            const std::string damaged = flipped(entry(kA).bytes);
            write_file(copy_ + below_copy(kA), damaged);
            want[below_copy(kA)] = md5_hex(damaged);
        } else {
            fs::remove(copy_ + below_copy(kA2));
            want.erase(below_copy(kA2));
        }
        write_archive(t / ("disc0/Set 9/" + path), random_bytes(entry(path).bytes.size(), 99));
        set_select_alert_answerer([](const std::string&, int) { return 1; });
        std::vector<std::string> questions;
        set_abort_alert_answerer([&](const std::string& q) {
            questions.push_back(q);
            return c.answer;
        });
        call(c.repair ? dvd_pick_repair : dvd_pick_scenery, 1);
        until_it_moves_on(c.repair ? dvd_scan_repair : dvd_scan_scenery);
        call(c.repair ? dvd_confirm_repair : dvd_edit_scenery, 1);
        const screen_func done = c.repair ? dvd_done_repair : dvd_done_scenery;
        EXPECT_EQ(run_flow(c.repair ? dvd_install_repair : dvd_install_scenery,
                           {done, dvd_confirm_repair, dvd_edit_scenery}),
                  done);
        set_abort_alert_answerer(nullptr);
        set_select_alert_answerer(nullptr);

        ASSERT_EQ(questions.size(), 1u);
        const std::string& q = questions[0];
        const std::string header =
            c.repair ? "An error occurred during the repair:\n\n" : "An error occurred during scenery installation:\n\n";
        const std::string advice =
            c.repair ? "\n\nVentaro may not be usable until you are able to repair the sim without errors."
                     : "\n\nYou can continue with the installation and attempt to reinstall the damaged files later, or "
                       "you can stop the installation";
        EXPECT_EQ(q.substr(0, header.size()), header) << q;
        EXPECT_NE(q.find(copy_ + below_copy(path)), std::string::npos) << q;
        EXPECT_EQ(q.substr(q.size() - std::min(q.size(), advice.size())), advice) << q;
        EXPECT_EQ(num_install_errors, 1);
        EXPECT_EQ(repair_is_running + scenery_install_is_running, 0);
        EXPECT_EQ(copy_pool, nullptr);
        EXPECT_EQ(tree_of(copy_), want);

        wizard_screen w = call(done, 1);
        EXPECT_EQ(w.text, c.repair ? "There were errors during the repair; your copy of Ventaro may not be usable." + redo
                                   : "There were errors while installing your scenery.  Your copy of Ventaro may not "
                                     "be usable." + redo);
        EXPECT_TRUE(w.choice_labels.empty());
    }
}

// Each visit to Select New Scenery starts from the tiles the copy has; what was changed and left
// is forgotten. A choice that does not fit takes Next away.
TEST_F(DvdCopyFlows, SelectNewSceneryStartsFromTheInstalledTilesOnEveryVisit) {
    make_set();
    call(dvd_pick_scenery, 1);
    until_it_moves_on(dvd_scan_scenery);
    const std::vector<std::pair<int, int>> installed{{5, 13}, {32, 12}};
    wizard_screen w = call(dvd_edit_scenery, 1);
    EXPECT_EQ(last_result, 0);
    EXPECT_EQ(chosen(), installed);
    EXPECT_EQ(w.title, "Select Scenery");
    EXPECT_EQ(w.text, "Click on the world map to select what scenery you would like to install.  Scenery that you "
                      "deselect will be removed; scenery that you select will be installed.  If you fly into an area "
                      "with no scenery installed, you will see only ocean.");
    EXPECT_EQ(w.back_screen, dvd_pick_scenery);
    EXPECT_EQ(w.next_screen, dvd_install_scenery);
    EXPECT_EQ(stg.files_to_get, 0);
    EXPECT_EQ(stg.files_to_delete, 0);

    call(dvd_edit_scenery, 0, tile_x(5), tile_y(13));
    w = call(dvd_edit_scenery, 0, tile_x(20), tile_y(10));
    EXPECT_EQ(chosen(), (std::vector<std::pair<int, int>>{{20, 10}, {32, 12}}));
    EXPECT_EQ(stg.files_to_get, 1);
    EXPECT_EQ(stg.files_to_delete, 2);
    EXPECT_EQ(w.next_screen, dvd_install_scenery);

    call(dvd_pick_scenery, 1);
    call(dvd_edit_scenery, 1);
    EXPECT_EQ(chosen(), installed);
    EXPECT_EQ(stg.files_to_get, 0);
    EXPECT_EQ(stg.files_to_delete, 0);

    manifest_file(kB).uncomp_size = (float)more_than_free();
    w = call(dvd_edit_scenery, 0, tile_x(20), tile_y(10));
    EXPECT_EQ(w.next_screen, nullptr);
    w = call(dvd_edit_scenery, 0, tile_x(20), tile_y(10));
    EXPECT_EQ(w.next_screen, dvd_install_scenery);
}

// Adding tile B and clearing tiles A and C: B's scenery comes from the second disc, A's two
// files go, and nothing else is touched: not the read-me the manifest lists among A's files, not
// a file of the person's own there, not a damaged simulator file, and not the file a link that
// has taken C's folder's place leads to outside the copy.
TEST_F(DvdCopyFlows, AddingAndRemovingTilesTouchesOnlyThoseTilesSceneryInsideTheCopy) {
    make_set();
    const std::string damaged = flipped(entry(kA).bytes);
    write_file(copy_ + below_copy(kA), damaged);
    write_file(copy_ + "Global Scenery/+40-130/my notes.txt", "mine");
    call(dvd_pick_scenery, 1);
    until_it_moves_on(dvd_scan_scenery);
    call(dvd_edit_scenery, 1);
    for (auto [j, i] : {std::pair{5, 13}, std::pair{32, 12}, std::pair{20, 10}})
        call(dvd_edit_scenery, 0, tile_x(j), tile_y(i));
    ASSERT_EQ(chosen(), (std::vector<std::pair<int, int>>{{20, 10}}));
    EXPECT_EQ(stg.files_to_get, 1);
    EXPECT_EQ(stg.files_to_delete, 3);

    // After the scan, C's folder has become a link to a folder outside with a file of that name.
    write_file(t / ("outside/" + leaf(kC)), "not the copy's");
    fs::remove_all(copy_ + "Global Scenery/+30+140");
    fs::create_directory_symlink(t / "outside", copy_ + "Global Scenery/+30+140");

    std::vector<std::string> questions;
    set_abort_alert_answerer([&](const std::string& q) {
        questions.push_back(q);
        return 0;
    });
    EXPECT_EQ(run_flow(dvd_install_scenery, {dvd_done_scenery, dvd_edit_scenery}), dvd_done_scenery);
    set_abort_alert_answerer(nullptr);
    EXPECT_EQ(questions, std::vector<std::string>{});
    EXPECT_EQ(titles_shown(),
              (std::vector<std::string>{"Installing New Scenery", "Installing Scenery - Verifying DVD",
                                        "Installing Scenery - Please change DVDs", "Installing Scenery - Verifying DVD",
                                        "Installing New Scenery"}));

    std::map<std::string, std::string> want = copy_with({kBsim, kCsim, kReadme, kB});
    want[below_copy(kA)] = md5_hex(damaged);
    want["Global Scenery/+40-130/my notes.txt"] = md5_hex("mine");
    EXPECT_EQ(tree_of(copy_), want);
    EXPECT_EQ(read_file(t / ("outside/" + leaf(kC))), "not the copy's");
    EXPECT_TRUE(fs::is_symlink(copy_ + "Global Scenery/+30+140"));

    wizard_screen w = call(dvd_done_scenery, 1);
    EXPECT_EQ(w.title, "Finished With Add/Remove Scenery");
    EXPECT_EQ(w.text, "I have successfully added and removed scenery to match your choices on the map.");
    EXPECT_EQ(w.choice_labels, std::vector<std::string>{"Run Ventaro Now"});
    EXPECT_EQ(w.choice_screens, std::vector<screen_func>{dvd_do_run_sim});
}

TEST_F(DvdCopyFlows, TheDiscScreensOfEachRow) {
    struct disc_row {
        screen_func verify, change, install, back;
        std::string check_title, change_title;
    };
    const disc_row rows[] = {
        {dvd_verify_disk_repair, dvd_switch_disk_repair, dvd_install_repair, dvd_confirm_repair,
         "Repairing Ventaro - Checking DVD", "Repairing Ventaro - Please Change DVDs"},
        {dvd_verify_disk_scenery, dvd_switch_disk_scenery, dvd_install_scenery, dvd_edit_scenery,
         "Installing Scenery - Verifying DVD", "Installing Scenery - Please change DVDs"},
    };
    make_set();
    for (const disc_row& r : rows) {
        SCOPED_TRACE(r.check_title);
        want_file_disk = (int)(std::find_if(sim_info.begin(), sim_info.end(),
                                            [](const file_history_struct& h) { return h.current().path == kB; }) -
                               sim_info.begin());
        current_disk = 0;
        insert_disc(0);
        dvd_path.clear();
        wizard_screen w = call(r.verify, 1);
        EXPECT_EQ(last_result, 1);
        EXPECT_EQ(w.title, r.check_title);
        EXPECT_EQ(w.back_screen, nullptr);
        EXPECT_EQ(w.next_screen, r.change);

        w = call(r.change, 1);
        EXPECT_EQ(last_result, 0);
        EXPECT_EQ(dvd_path, "");
        EXPECT_EQ(platform_find_install_media(), "");
        EXPECT_EQ(w.title, r.change_title);
        EXPECT_EQ(w.text, "Please insert DVD number 2 and click continue.");
        EXPECT_EQ(w.back_screen, r.back);
        EXPECT_EQ(w.next_screen, r.verify);

        insert_disc(1);
        w = call(r.verify, 1);
        EXPECT_EQ(w.next_screen, r.install);
        EXPECT_EQ(current_disk, 1);
    }
}

TEST_F(DvdCopyFlows, TheFinishTextOfEachRowAndOutcome) {
    const std::string redo = "\n\nYou can click Go Back and use the repair and add-remove scenery functions to try to "
                             "reinstall any missing or damaged files.";
    const std::string unusable = "  Your copy of Ventaro may not be usable." + redo;
    struct done_case {
        screen_func screen;
        int to_get, to_delete, errors;
        std::string text;
    };
    const std::string copy = "/Volumes/Data/Ventaro 9/";
    const done_case cases[] = {
        {dvd_done_repair, 0, 0, 0,
         "I have finished repairing /Volumes/Data/Ventaro 9/ - click Go Back to return to the main menu."},
        {dvd_done_repair, 0, 0, 2, "There were errors during the repair; your copy of Ventaro may not be usable." + redo},
        {dvd_done_scenery, 3, 2, 0, "I have successfully added and removed scenery to match your choices on the map."},
        {dvd_done_scenery, 3, 0, 0, "I have successfully installed more scenery to match your choices on the map."},
        {dvd_done_scenery, 0, 2, 0, "I have successfully removed scenery to match your choices on the map."},
        {dvd_done_scenery, 0, 0, 0, "I have successfully updated scenery to match your choices on the map."},
        {dvd_done_scenery, 3, 2, 1, "There were errors while adding and removing your scenery." + unusable},
        {dvd_done_scenery, 3, -1, 1, "There were errors while installing your scenery." + unusable},
        {dvd_done_scenery, -1, 2, 1, "There were errors while removing your scenery." + unusable},
        {dvd_done_scenery, 0, 0, 1, "There were errors while updating your scenery." + unusable},
    };
    for (const done_case& c : cases) {
        SCOPED_TRACE(c.text);
        dest_dir_path = copy;
        stg.files_to_get = c.to_get;
        stg.files_to_delete = c.to_delete;
        num_install_errors = c.errors;
        wizard_screen w = call(c.screen, 1);
        EXPECT_EQ(last_result, 0);
        EXPECT_EQ(w.title, c.screen == dvd_done_repair ? "Finished Repairing Ventaro." : "Finished With Add/Remove Scenery");
        EXPECT_EQ(w.text, c.text);
        EXPECT_EQ(w.choice_labels, c.errors ? std::vector<std::string>{} : std::vector<std::string>{"Run Ventaro Now"});
        EXPECT_EQ(w.choice_screens, c.errors ? std::vector<screen_func>{} : std::vector<screen_func>{dvd_do_run_sim});
        EXPECT_EQ(w.back_screen, dvd_start);
        EXPECT_EQ(w.next_screen, wizard_quit);
    }
}

}  // namespace
