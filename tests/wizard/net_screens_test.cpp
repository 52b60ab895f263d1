// The web update screens called as the wizard frame calls them: the step list with and without
// -path, the copy kept on Welcome, Next on Pick Destination only for a real copy, the scan that
// stops when the screen is left, an update that only deletes, the per-server lines and Finish.
#include "wizard/net_screens.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "../render/recorded_draw.h"
#include "core/cmdline.h"
#include "core/frame_clock.h"
#include "core/log.h"
#include "install/checksum.h"
#include "install/install_filter.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/prompts.h"
#include "install/registration.h"
#include "install/scheduler.h"
#include "install/server_list.h"
#include "support/install_set.h"
#include "support/temp_dir.h"
#include "wizard/app_start.h"
#include "wizard/demo_screens.h"
#include "wizard/install_texts.h"
#include "wizard/pick_install.h"

namespace {

using namespace drawtest;
using testsupport::md5_hex;
using testsupport::temp_dir;
using testsupport::write_file;

class NetScreens : public RecordedText {
protected:
    void SetUp() override {
        RecordedText::SetUp();
        old_path_ = std::getenv("PATH") ? std::getenv("PATH") : "";
        old_config_ = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
        ::mkdir((t.path() + "/config").c_str(), 0755);
        setenv("XDG_CONFIG_HOME", (t.path() + "/config").c_str(), 1);
        net_screens_reset_for_test();
        sim_info.clear();
        servers.clear();
        stg_set_initial();
        set_install_filter(1, 1);
        cmd_line_path.clear();
        dest_dir_path.clear();
        install_name = "Ventaro 9.10";
    }
    void TearDown() override {
        net_screens_reset_for_test();
        demo_screens_reset_for_test();
        next.reset_all_streams();
        next.streams.clear();
        servers.clear();
        sim_info.clear();
        cmd_line_path.clear();
        setenv("PATH", old_path_.c_str(), 1);
        setenv("XDG_CONFIG_HOME", old_config_.c_str(), 1);
        RecordedText::TearDown();
    }
    // A folder an installed copy is recognised by, ending in '/'.
    std::string make_copy(const std::string& name) {
        const std::string root = t.path() + "/" + name + "/";
        for (const char* f : {"Airfoils", "Instructions", "Output", "Resources"}) write_file(root + f + "/.keep", "");
        return root;
    }
    void register_copies(const std::string& lines) { write_file(t.path() + "/config/ventaro_install.txt", lines); }
    void chooser_answers(const std::string& folder) {
        write_file(t.path() + "/bin/zenity", "#!/bin/sh\necho '" + folder + "'\n");
        ::chmod((t.path() + "/bin/zenity").c_str(), 0755);
        setenv("PATH", (t.path() + "/bin:" + old_path_).c_str(), 1);
    }
    void add_file(const std::string& path, const std::string& want, const std::string& have, float kb = 1) {
        file_history_struct h;
        file_version_struct v;
        v.path = path;
        v.sig_want = want;
        v.uncomp_size = kb;
        v.comp_size = kb / 2;
        v.sig_have = have;
        v.match = have == want;
        h.versions.push_back(v);
        sim_info.push_back(h);
    }
    wizard_screen call(screen_func f, int first, float click_x = -100, float click_y = -100) {
        wizard_screen w;
        mnw.mouse_x = click_x;
        mnw.mouse_y = click_y;
        mnw.click_hit = click_x >= 0 ? 1 : 0;
        f(first, w);
        mnw.click_hit = 0;
        rec.take();
        return w;
    }
    // Search for Updates until it offers Next. Its MD5 scan runs on worker threads, which a busy
    // machine may not have run yet after any number of frames: the wait is bounded by the clock.
    wizard_screen search_until_done() {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        wizard_screen w;
        while (!(w = call(net_get_updates, 0)).next_screen && std::chrono::steady_clock::now() < until)
            std::this_thread::yield();
        return w;
    }
    temp_dir t;
    std::string old_path_, old_config_;
};

TEST_F(NetScreens, WelcomeListsTheStepsAndKeepsTheCopyToUpdate) {
    const std::string a = make_copy("a"), b = make_copy("b");
    struct row {
        std::string path_option, registered;
        std::vector<std::string> steps;
        screen_func next;
        std::string dest;
    } rows[] = {
        {"", "",
         {"Welcome", "Pick Destination", "Search for Updates", "Check Disk Space", "Install Updates", "Finish"},
         net_pick_dest, ""},
        {"", a + "\n", {"Welcome", "Pick Destination", "Search for Updates", "Check Disk Space", "Install Updates", "Finish"},
         net_pick_dest, a},
        {"", a + "\n" + b + "\n",
         {"Welcome", "Pick Destination", "Search for Updates", "Check Disk Space", "Install Updates", "Finish"},
         net_pick_dest, ""},
        {b, a + "\n", {"Welcome", "Search for Updates", "Check Disk Space", "Install Updates", "Finish"},
         net_get_updates, b},
    };
    for (const row& r : rows) {
        cmd_line_path = r.path_option;
        register_copies(r.registered);
        dest_dir_path = "/left/over/";
        wizard_screen w = call(net_start, 1);
        EXPECT_EQ(step_names, r.steps) << r.path_option << r.registered;
        EXPECT_EQ(step_funcs.size(), r.steps.size());
        EXPECT_EQ(w.title, "Ventaro 9 Web Updater");
        EXPECT_EQ(w.text, "I will guide you through the process of updating your copy of Ventaro 9 to the latest version.");
        EXPECT_EQ(w.show_prefs, 1);
        EXPECT_EQ(w.back_screen, nullptr);
        EXPECT_EQ(w.next_screen, r.next);
        // Every frame, not only the first.
        dest_dir_path = "/changed/";
        call(net_start, 0);
        EXPECT_EQ(dest_dir_path, r.dest) << r.path_option << r.registered;
    }
    // The beta box at (250, 400).
    stg.get_beta = 0;
    call(net_start, 0, 250, 403);
    EXPECT_EQ(stg.get_beta, 1);
}

TEST_F(NetScreens, PickDestinationEnablesNextOnlyForACopy) {
    const std::string a = make_copy("a"), b = make_copy("b");
    register_copies(a + "\n" + b + "\n");
    call(net_start, 1);
    dest_dir_path = t.path() + "/not a copy/";   // left from elsewhere
    wizard_screen w = call(net_pick_dest, 1);
    EXPECT_EQ(w.title, "Pick Destination");
    EXPECT_EQ(w.text, "You have more than one copy of Ventaro 9 installed on this computer.  Please select which "
                      "copy of Ventaro 9 you would like to update.");
    EXPECT_EQ(w.back_screen, net_start);
    EXPECT_EQ(w.next_screen, nullptr);

    // The second radio button, at y 375.
    call(net_pick_dest, 0, 250, 378);
    EXPECT_EQ(dest_dir_path, b);
    EXPECT_EQ(call(net_pick_dest, 0).next_screen, net_get_updates);

    // A registered copy that is gone from the disk still is the user's choice; a folder that is
    // no copy and not listed is not.
    register_copies(a + "\n");
    call(net_start, 1);
    dest_dir_path = a;
    w = call(net_pick_dest, 1);
    EXPECT_EQ(w.text, "Please select which copy of Ventaro 9 you would like to update.");
    EXPECT_EQ(w.next_screen, net_get_updates);
    dest_dir_path = t.path() + "/";
    EXPECT_EQ(call(net_pick_dest, 0).next_screen, nullptr);
}

TEST_F(NetScreens, FindItWalksUpToTheCopyOrWarnsAndKeepsTheChoice) {
    ASSERT_TRUE(xer.open(t.path() + "/log.txt"));
    const char* argv[] = {"program", "--qa_script=none.txt"};   // alerts reach the log only
    cmdline.init_unix(2, argv);
    const std::string a = make_copy("a"), c = make_copy("c");
    register_copies(a + "\n");
    call(net_start, 1);
    call(net_pick_dest, 1);
    EXPECT_EQ(dest_dir_path, a);
    // One copy listed: the question at y 375, "Find It" on its row, right of it.
    chooser_answers(c + "Resources");
    wizard_screen w;
    for (float x = 600; x <= 700 && dest_dir_path == a; x += 20) w = call(net_pick_dest, 0, x, 378);
    EXPECT_EQ(dest_dir_path, c);
    EXPECT_EQ(all_vsystems, (std::vector<std::string>{a, c}));
    EXPECT_EQ(call(net_pick_dest, 0).next_screen, net_get_updates);

    // A folder inside no copy: the warning names it, and the choice stays.
    write_file(t.path() + "/plain/x", "");
    chooser_answers(t.path() + "/plain");
    for (float x = 600; x <= 700 && testsupport::read_file(t.path() + "/log.txt").find("You selected") == std::string::npos;
         x += 20)
        call(net_pick_dest, 0, x, 353);
    const std::string log = testsupport::read_file(t.path() + "/log.txt");
    EXPECT_NE(log.find("You selected the folder path:"), std::string::npos) << log;
    EXPECT_NE(log.find(t.path() + "/plain/"), std::string::npos) << log;
    EXPECT_EQ(dest_dir_path, c);
    EXPECT_EQ(all_vsystems.size(), 2u);
    const char* plain[] = {"program"};
    cmdline.init_unix(1, plain);
    xer.close();
}

TEST_F(NetScreens, ParentFolders) {
    const std::pair<std::string, std::string> rows[] = {
        {"/a/b/", "/a/"}, {"/a/b", "/a/"}, {"/a/", "/"}, {"/", "/"}, {"", ""}};
    for (const auto& [path, parent] : rows) EXPECT_EQ(pick_install_parent(path), parent) << path;
}

TEST_F(NetScreens, SearchShowsAServerProblem) {
    dest_dir_path = make_copy("a");
    servers.push_back({"mirror1.test", "/set/", ""});
    stg.stage = 2;
    const wizard_screen w = call(net_get_updates, 1);
    EXPECT_EQ(w.title, "Search for Updates");
    EXPECT_EQ(w.text, "There was a problem reading information from the servers.");
    EXPECT_EQ(w.back_screen, net_pick_dest);
    EXPECT_EQ(w.next_screen, nullptr);
}

// Back (or another destination) while the MD5 scan runs stops it before the screen changes
// anything it reads; a finished scan moves on with the disk figures.
TEST_F(NetScreens, LeavingTheScanStopsItAndAFinishedScanMovesOn) {
    dest_dir_path = make_copy("a");
    servers.push_back({"mirror1.test", "/set/", ""});
    for (int i = 0; i < 6000; ++i) add_file("V/Resources/f" + std::to_string(i), std::string(32, 'a'), "NONE");
    stg.stage = 3;
    wizard_screen w = call(net_get_updates, 0);
    ASSERT_NE(checksum_workers, nullptr) << "the scan finished in one frame";
    EXPECT_EQ(w.text, "I am scanning " + dest_dir_path + " to see what files need updating.");
    EXPECT_EQ(w.progress_text.rfind("Scanning ", 0), 0u);
    EXPECT_NE(w.progress_text.find(" of 6000 files."), std::string::npos) << w.progress_text;
    EXPECT_GT(w.progress, 0.0f);
    EXPECT_LT(w.progress, 1.0f);
    ASSERT_NE(w.quit_func, nullptr);
    call(net_pick_dest, 1);
    EXPECT_EQ(checksum_workers, nullptr);

    call(net_get_updates, 0);
    ASSERT_NE(checksum_workers, nullptr);
    call(net_start, 1);
    EXPECT_EQ(checksum_workers, nullptr);

    dest_dir_path = t.path() + "/a/";   // Welcome chose none: no copy is registered here
    call(net_get_updates, 0);
    ASSERT_NE(checksum_workers, nullptr);
    EXPECT_TRUE(w.quit_func());   // Quit stops it too
    EXPECT_EQ(checksum_workers, nullptr);

    sim_info.resize(20);
    search_until_done();
    w = call(net_get_updates, 0);
    EXPECT_EQ(w.next_screen, net_check_disk);
    EXPECT_EQ(w.back_screen, nullptr);
    EXPECT_EQ(stg.files_to_get, 20);
}

// The copy's installed global scenery is what the update keeps: its tiles are not deleted for
// being unchosen, and tiles it never had are not fetched.
TEST_F(NetScreens, AnUpdateKeepsTheInstalledSceneryTiles) {
    const std::string dest = make_copy("a");
    dest_dir_path = dest;
    servers.push_back({"mirror1.test", "/set/", ""});
    write_file(dest + "Global Scenery/+40-120.dsf", "tile");
    const auto tile = [&](const std::string& name, const std::string& bytes, int lon) {
        add_file("V/Global Scenery/" + name, md5_hex(bytes), "NONE");
        sim_info.back().current().global_scenery = 1;
        sim_info.back().current().lon_index = lon;
    };
    tile("+40-120.dsf", "tile", 6);
    tile("+40-110.dsf", "other tile", 7);
    stg.stage = 3;
    search_until_done();
    EXPECT_EQ(stg.files_to_delete, 0);
    EXPECT_EQ(stg.files_to_get, 0);
    EXPECT_EQ(net_check_disk(1, *std::make_unique<wizard_screen>()), 1);
    rec.take();
}

TEST_F(NetScreens, CheckDiskSkipsOnlyWhenThereIsNothingToGetOrDelete) {
    dest_dir_path = make_copy("a");
    struct row {
        int get, del;
        int result;
        screen_func next;
    } rows[] = {{0, 0, 1, net_done}, {0, 2, 0, net_run_patch}, {3, 0, 0, net_run_patch}};
    for (const row& r : rows) {
        stg.files_to_get = r.get;
        stg.files_to_delete = r.del;
        stg.download_size = r.get ? 2048 : 0;
        stg.needed_space = r.get ? 4096 : 0;
        wizard_screen w;
        EXPECT_EQ(net_check_disk(1, w), r.result) << r.get << r.del;
        rec.take();
        EXPECT_EQ(w.title, "Check Disk Space");
        EXPECT_EQ(w.back_screen, net_get_updates);
        EXPECT_EQ(w.next_screen, r.next);
        if (r.result == 0) {
            EXPECT_EQ(w.text, std::string("You are about to download ") + (r.get ? "2 MB" : "0 KB") +
                                  " of compressed data to update to Ventaro 9.10.");
        }
    }
    stg.files_to_get = 1;
    stg.needed_space = 1e12f;   // more than any disk here
    const wizard_screen w = call(net_check_disk, 0);
    EXPECT_EQ(w.next_screen, nullptr);
    EXPECT_EQ(w.text, "There is a newer version of Ventaro 9 available, but you do not have enough free disk space "
                      "to download and install the update.\n\nPlease free some space on your hard drive.");
}

// An update whose only change is that files left the set deletes them and reports an update,
// not "already up to date".
TEST_F(NetScreens, AnUpdateThatOnlyDeletesDeletesAndSaysSo) {
    const std::string dest = make_copy("a");
    dest_dir_path = dest;
    write_file(dest + "Resources/old.dat", "old bytes");
    write_file(dest + "Resources/kept.dat", "kept");
    servers.push_back({"mirror1.test", "/set/", ""});
    file_history_struct gone;
    file_version_struct v;
    v.path = "V/Resources/old.dat";
    v.sig_want = md5_hex("old bytes");
    gone.versions.push_back(v);
    v.sig_want = "GONE";
    gone.versions.push_back(v);
    sim_info.push_back(gone);
    add_file("V/Resources/kept.dat", md5_hex("kept"), "NONE");
    stg.stage = 3;
    search_until_done();
    wizard_screen w;
    ASSERT_EQ(net_check_disk(1, w), 0);
    rec.take();
    ASSERT_EQ(w.next_screen, net_run_patch);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (int frames = 0; std::chrono::steady_clock::now() < until; ++frames) {
        w = wizard_screen();
        const int done = net_run_patch(frames == 0, w);
        rec.take();
        EXPECT_FALSE(std::isnan(w.progress));
        if (done) break;
    }
    EXPECT_EQ(w.next_screen, net_done);
    EXPECT_FALSE(testsupport::exists(dest + "Resources/old.dat"));
    EXPECT_TRUE(testsupport::exists(dest + "Resources/kept.dat"));
    w = call(net_done, 1);
    EXPECT_EQ(w.title, "Finshed Web Update");
    EXPECT_EQ(w.text, "I have finished updating " + dest + ".");
    EXPECT_EQ(w.choice_labels, std::vector<std::string>{"Fly Ventaro Now"});
    EXPECT_EQ(w.next_screen, wizard_quit);
}

TEST_F(NetScreens, FinishByOutcome) {
    dest_dir_path = "/copy/";
    struct row {
        int get, err;
        std::string text;
        bool fly;
    } rows[] = {
        {0, 0, "This copy of Ventaro (/copy/) is already up to date.", true},
        {1, 1, "There were problems updating Ventaro.  You can try this updater again using a different server.", false},
        {1, 0, "I have finished updating /copy/.", true},
    };
    for (const row& r : rows) {
        stg.files_to_get = r.get;
        stg.files_to_delete = 0;
        stg.needed_space = 100;
        call(net_check_disk, 1);
        stg.error_flag = r.err;
        const wizard_screen w = call(net_done, 1);
        EXPECT_EQ(w.text, r.text);
        EXPECT_EQ(w.back_screen, nullptr);
        EXPECT_EQ(w.next_screen, wizard_quit);
        EXPECT_EQ(w.choice_screens.size(), r.fly ? 1u : 0u);
        if (r.fly) {
            EXPECT_EQ(w.choice_screens[0], dvd_do_run_sim);
            EXPECT_EQ(launch_back_screen, net_done);   // a failed launch returns here, not to the demo's
        }
    }
}

// A stream out of files says its server is finished while the others still show their rates; a
// stream waiting after a failure shows its countdown.
TEST_F(NetScreens, ServerLinesWhileInstalling) {
    servers = {{"one.test", "/", ""}, {"two.test", "/", ""}, {"three.test", "/", ""}};
    for (int i = 0; i < 4; ++i) add_file("V/f" + std::to_string(i), std::string(32, 'a'), "NONE");
    next.streams.assign(3, {});
    next.start_time = xtim.real_time - 10;
    next.comp_done = 100;
    stg.download_size = 400;
    next.streams[0].file_index = 4;
    next.streams[0].done = 50;
    next.streams[1].file_index = 2;
    next.streams[1].done = 50;
    next.streams[2].file_index = 3;
    next.streams[2].retry_time = xtim.real_time + 12.5f;
    next.streams[2].status = "Connection refused";
    const std::string text = install_body_text(0.5f, true);
    EXPECT_NE(text.find("\n\none.test is finished."), std::string::npos) << text;
    EXPECT_NE(text.find("\n\nDownloading at 5 kilobytes/second from two.test."), std::string::npos) << text;
    EXPECT_NE(text.find("\n\nthree.test: Connection refused.  Will retry in 12 seconds."), std::string::npos) << text;
    EXPECT_EQ(text.rfind("About ", 0), 0u) << text;
    // The demo road keeps its own lines: no finished line there.
    EXPECT_EQ(install_body_text(0.5f, false).find("is finished"), std::string::npos);
    // Before the first percent and with no failure: nothing.
    next.streams[2].retry_time = 0;
    EXPECT_EQ(install_body_text(0.0f, true), "");
}

TEST_F(NetScreens, StopQuestionKeepsUpdatingUnlessStopped) {
    std::string asked;
    const std::pair<int, bool> rows[] = {{0, false}, {3, false}, {1, true}};
    for (const auto& [answer, stops] : rows) {
        set_abort_alert_answerer([&, answer = answer](const std::string& m) {
            asked = m;
            return answer;
        });
        EXPECT_EQ(net_run_quit_func(), stops) << answer;
    }
    set_abort_alert_answerer(nullptr);
    EXPECT_EQ(asked, "Are you sure you want to stop the update? Ventaro 9 will not be usable until the update is "
                     "finished.  You can resume the update later.");
}

}  // namespace
