// The web demo screens called as the wizard frame calls them: the step list and the installed-copy
// warning, the licence tick that enables Next from the next frame, the destination's texts for a
// new folder, an existing one and the root folder, and Finish with and without an install error.
#include "wizard/demo_screens.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "../render/recorded_draw.h"
#include "core/log.h"
#include "install/install_state.h"
#include "install/prompts.h"
#include "install/manifest.h"
#include "install/registration.h"
#include "support/temp_dir.h"

namespace {

using namespace drawtest;
using testsupport::temp_dir;
using testsupport::write_file;

class DemoScreens : public RecordedText {
protected:
    void SetUp() override {
        RecordedText::SetUp();
        old_path_ = std::getenv("PATH") ? std::getenv("PATH") : "";
        old_desktop_ = std::getenv("XDG_DESKTOP_DIR") ? std::getenv("XDG_DESKTOP_DIR") : "";
        old_config_ = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
        ::mkdir((t.path() + "/desk").c_str(), 0755);
        ::mkdir((t.path() + "/config").c_str(), 0755);
        setenv("XDG_DESKTOP_DIR", (t.path() + "/desk").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (t.path() + "/config").c_str(), 1);
        demo_screens_reset_for_test();
        sim_info.clear();
        stg_set_initial();
        install_name = "Ventaro 9 Web Demo";
    }
    void TearDown() override {
        setenv("PATH", old_path_.c_str(), 1);
        setenv("XDG_DESKTOP_DIR", old_desktop_.c_str(), 1);
        setenv("XDG_CONFIG_HOME", old_config_.c_str(), 1);
        demo_screens_reset_for_test();
        RecordedText::TearDown();
    }
    // The folder chooser answers with this folder.
    void chooser_answers(const std::string& folder) {
        write_file(t.path() + "/bin/zenity", "#!/bin/sh\necho '" + folder + "'\n");
        ::chmod((t.path() + "/bin/zenity").c_str(), 0755);
        setenv("PATH", (t.path() + "/bin:" + old_path_).c_str(), 1);
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
    temp_dir t;
    std::string old_path_, old_desktop_, old_config_;
};

TEST_F(DemoScreens, WelcomeFillsTheStepsAndWarnsOnlyWhenACopyIsInstalled) {
    accept_eula = 1;
    wizard_screen w = call(demo_start, 1);
    EXPECT_EQ(accept_eula, 0);
    const std::vector<std::string> names{"Welcome", "License", "Check Servers", "Pick Destination", "Install", "Finish"};
    EXPECT_EQ(step_names, names);
    const std::vector<screen_func> funcs{demo_start, see_eula, demo_get_updates, demo_pick_dest, demo_run_patch, demo_done};
    EXPECT_EQ(step_funcs, funcs);
    EXPECT_EQ(w.text, "I will guide you through the process of installing the web demo of Ventaro 9.");
    EXPECT_EQ(w.next_screen, see_eula);
    EXPECT_EQ(w.back_screen, nullptr);
    EXPECT_EQ(w.show_prefs, 1);

    write_file(t.path() + "/config/ventaro_install.txt", t.path() + "/desk/\n");
    w = call(demo_start, 1);
    EXPECT_EQ(w.text, "I will guide you through the process of installing the web demo of Ventaro 9.\n\nWarning: you "
                      "already have Ventaro 9 installed on this computer.  Are you sure you want to install a new "
                      "demo copy of Ventaro 9?");
}

TEST_F(DemoScreens, TheLicenceTickEnablesNextFromTheFollowingFrame) {
    wizard_screen w = call(see_eula, 1);
    EXPECT_EQ(w.next_screen, nullptr);
    EXPECT_EQ(w.back_screen, demo_start);
    EXPECT_NE(w.text.find("http://" VENTARO_SERVER_HOST "/RUD.html"), std::string::npos);
    w = call(see_eula, 0, 250, 303);   // the tick
    EXPECT_EQ(accept_eula, 1);
    EXPECT_EQ(w.next_screen, nullptr);
    w = call(see_eula, 0);
    EXPECT_EQ(w.next_screen, demo_get_updates);
    call(see_eula, 0, 250, 303);
    EXPECT_EQ(call(see_eula, 0).next_screen, nullptr);
}

TEST_F(DemoScreens, DestinationTextsForANewFolderAnExistingOneAndTheRootFolder) {
    const std::string desk = t.path() + "/desk/";
    wizard_screen w = call(demo_pick_dest, 1);
    EXPECT_EQ(w.title, "Pick Install Destination for Ventaro 9 Web Demo.");
    EXPECT_EQ(dest_dir_path, desk + "Ventaro 9 Demo/");
    EXPECT_EQ(w.next_screen, demo_run_patch);
    EXPECT_EQ(w.text, "I will create the folder 'Ventaro 9 Demo' inside the folder '" + desk +
                          "'.\n\n(The folder Ventaro 9 Demo will appear on your desktop.)");

    // Another parent that already holds the folder: no Next, and the reason.
    const std::string other = t.path() + "/other";
    ::mkdir(other.c_str(), 0755);
    ::mkdir((other + "/Ventaro 9 Demo").c_str(), 0755);
    chooser_answers(other);
    w = call(demo_pick_dest, 0, 290, 203);
    EXPECT_EQ(dest_dir_path, other + "/Ventaro 9 Demo/");
    EXPECT_EQ(w.next_screen, nullptr);
    EXPECT_EQ(w.text, "The folder 'Ventaro 9 Demo' already exists inside the folder '" + other +
                          "/'.\n\nPlease change the install name or destination.");

    // The root folder gets no doubled slash, and no desktop note.
    chooser_answers("/");
    w = call(demo_pick_dest, 0, 290, 203);
    EXPECT_EQ(dest_dir_path, "/Ventaro 9 Demo/");
    EXPECT_EQ(w.text, "I will create the folder 'Ventaro 9 Demo' inside the folder '/'.");

    // The choice is kept across a later visit.
    w = call(demo_pick_dest, 1);
    EXPECT_EQ(dest_dir_path, "/Ventaro 9 Demo/");
}

TEST_F(DemoScreens, AVolumeThatCannotBeQueriedShowsNoDiskNumbers) {
    call(demo_pick_dest, 1);
    EXPECT_EQ(UTIL_disk_space_text().rfind("Disk size: ", 0), 0u) << UTIL_disk_space_text();
    chooser_answers(t.path() + "/not made/inner");
    const wizard_screen w = call(demo_pick_dest, 0, 290, 203);
    EXPECT_EQ(dest_dir_path, t.path() + "/not made/inner/Ventaro 9 Demo/");
    EXPECT_EQ(UTIL_disk_space_text(), "");
    EXPECT_EQ(w.next_screen, demo_run_patch);   // a failed query does not block the install
}

// Cancel after Back: the whole partial copy goes, hidden staging files of extractions included, so
// the same destination can be used again at once; a copy that cannot go is reported.
TEST_F(DemoScreens, CancelDeletesTheWholePartialCopyOrSaysItCannot) {
    ASSERT_TRUE(xer.open(t.path() + "/log.txt"));
    set_abort_alert_answerer([](const std::string&) { return 1; });   // Cancel
    call(demo_pick_dest, 1);
    const std::string dest = dest_dir_path;
    write_file(dest + "Resources/a.dat", "a");
    write_file(dest + "Resources/.vtz4242_0", "half a file");
    write_file(dest + ".hidden", "h");

    demo_install_is_running = 1;
    wizard_screen w = call(demo_pick_dest, 1);
    EXPECT_FALSE(testsupport::exists(dest)) << "the partial copy is still there";
    EXPECT_EQ(demo_install_is_running, 0);
    EXPECT_EQ(w.next_screen, demo_run_patch);
    EXPECT_EQ(w.text.rfind("I will create the folder", 0), 0u) << w.text;

    // A folder in the copy that cannot be removed: a mount point as root, else one without write
    // permission.
    write_file(dest + "Resources/locked/inner", "x");
    const std::string locked = dest + "Resources/locked";
    const bool mounted = ::geteuid() == 0 && ::mount("tmpfs", locked.c_str(), "tmpfs", 0, "size=64k") == 0;
    if (!mounted) ::chmod(locked.c_str(), 0555);
    demo_install_is_running = 1;
    w = call(demo_pick_dest, 1);
    if (mounted) ::umount2(locked.c_str(), MNT_DETACH);
    ::chmod(locked.c_str(), 0755);
    set_abort_alert_answerer(nullptr);
    const std::string log = testsupport::read_file(t.path() + "/log.txt");
    xer.close();
    if (!mounted && ::geteuid() == 0) GTEST_SKIP() << "nothing here can refuse a deletion";
    EXPECT_NE(log.find("I could not delete the partially installed copy of the Ventaro 9 demo at " + dest +
                       ".\nError: "),
              std::string::npos)
        << log;
    EXPECT_EQ(w.text.rfind("The folder 'Ventaro 9 Demo' already exists", 0), 0u) << w.text;
}

// No desktop folder can be made: the home folder is proposed; with no home folder either nothing
// is, never a folder relative to where the program runs, and the name the user types stays.
TEST_F(DemoScreens, WithoutADesktopTheHomeFolderAndNeverARelativePath) {
    const std::string old_home = std::getenv("HOME") ? std::getenv("HOME") : "";
    write_file(t.path() + "/a file", "not a folder");
    setenv("XDG_DESKTOP_DIR", (t.path() + "/a file/Desktop").c_str(), 1);
    ::mkdir((t.path() + "/home").c_str(), 0755);
    setenv("HOME", (t.path() + "/home").c_str(), 1);
    wizard_screen w = call(demo_pick_dest, 1);
    EXPECT_EQ(dest_dir_path, t.path() + "/home/Ventaro 9 Demo/");
    EXPECT_EQ(w.next_screen, demo_run_patch);

    demo_screens_reset_for_test();
    setenv("HOME", (t.path() + "/no home").c_str(), 1);
    w = call(demo_pick_dest, 1);
    EXPECT_EQ(dest_dir_path, "");
    EXPECT_EQ(w.next_screen, nullptr);
    EXPECT_EQ(w.text, "Please use Change Destination to pick a folder for the Ventaro 9 demo.");
    demo_set_install_name_for_test("Mine");
    for (int frame = 0; frame < 3; ++frame) call(demo_pick_dest, 0);
    chooser_answers(t.path() + "/chosen");
    ::mkdir((t.path() + "/chosen").c_str(), 0755);
    w = call(demo_pick_dest, 0, 290, 203);
    EXPECT_EQ(dest_dir_path, t.path() + "/chosen/Mine/");
    EXPECT_EQ(w.next_screen, demo_run_patch);
    setenv("HOME", old_home.c_str(), 1);
}

TEST_F(DemoScreens, FinishOffersTheLaunchOnlyAfterAnInstallWithoutError) {
    dest_dir_path = "/somewhere/Ventaro 9 Demo/";
    wizard_screen w = call(demo_done, 1);
    EXPECT_EQ(w.title, "Finshed Web Demo Install");
    EXPECT_EQ(w.next_screen, wizard_quit);
    EXPECT_EQ(w.back_screen, nullptr);
    EXPECT_EQ(w.text, "I have finished installing the Ventaro 9 web demo at: /somewhere/Ventaro 9 Demo/.");
    ASSERT_EQ(w.choice_labels, std::vector<std::string>{"Fly Ventaro 9 Now"});
    EXPECT_EQ(w.choice_screens, std::vector<screen_func>{dvd_do_run_sim});

    stg.error_flag = 1;
    w = call(demo_done, 1);
    EXPECT_EQ(w.text, "There were problem installing the Ventaro 9 web demo - it may not be usable.");
    EXPECT_TRUE(w.choice_labels.empty());
    stg.error_flag = 0;
}

TEST_F(DemoScreens, AnInstallNameThatWouldLeaveItsFolderIsRefused) {
    const std::string refusal = "Please pick another install name: it may not contain '/', '..' or control characters.";
    const struct {
        std::string name;
        bool refused;
    } rows[] = {
        {"Ventaro 9 Demo", false}, {"a/b", true}, {"..", true}, {"x..y", true}, {"../up", true},
        {"tab\there", true}, {std::string("nul\0", 4), true}, {"del\x7f", true}, {"Démo ünd Привет", false},
    };
    call(demo_pick_dest, 1);
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        demo_set_install_name_for_test(r.name);
        const wizard_screen w = call(demo_pick_dest, 0);
        EXPECT_EQ(w.text == refusal, r.refused);
        EXPECT_EQ(w.next_screen == nullptr, r.refused);
        if (!r.refused) {
            EXPECT_EQ(dest_dir_path, t.path() + "/desk/" + r.name + "/");
        }
    }
}

TEST_F(DemoScreens, AFailedLaunchSaysWhyAndOffersBack) {
    dest_dir_path = t.path() + "/missing/";
    wizard_screen w = call(dvd_do_run_sim, 1);
    EXPECT_EQ(w.text.rfind("I could not start the Ventaro 9 demo: ", 0), 0u) << w.text;
    EXPECT_EQ(w.back_screen, demo_done);
    w = call(dvd_do_run_sim, 0);   // not tried again, still explained
    EXPECT_EQ(w.back_screen, demo_done);
    EXPECT_FALSE(w.text.empty());
}

}  // namespace
