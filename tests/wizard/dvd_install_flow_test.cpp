// The disc install screens called as the wizard frame calls them: Pick Destination's texts, the
// disc check with and without a disc, the disc change, the question on stepping back from a
// running install, and Finish with and without errors.
#include "wizard/dvd_install_flow.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "../render/recorded_draw.h"
#include "core/log.h"
#include "core/shared_constants.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/prompts.h"
#include "platform/install_media.h"
#include "support/disc_surroundings.h"
#include "support/temp_dir.h"
#include "wizard/demo_screens.h"
#include "wizard/dvd_menu.h"

namespace {

using namespace drawtest;
using testsupport::temp_dir;
using testsupport::write_file;

class DvdInstallFlow : public RecordedText {
protected:
    void SetUp() override {
        RecordedText::SetUp();
        saved_path_ = env("PATH");
        ASSERT_TRUE(xer.open(t / "log.txt"));
        dvd_install_reset_for_test();
        demo_screens_reset_for_test();
        sim_info.clear();
        stg_set_initial();
        install_name = "Set 9";
        dvd_path.clear();
        temp_path = t / "tmp/";
        write_file(temp_path + ".keep", "");
    }
    void TearDown() override {
        set_abort_alert_answerer(nullptr);
        setenv("PATH", saved_path_.c_str(), 1);
        dvd_install_reset_for_test();
        sim_info.clear();
        xer.close();
        RecordedText::TearDown();
    }
    static std::string env(const char* name) { return std::getenv(name) ? std::getenv(name) : ""; }
    wizard_screen call(screen_func f, int first, float click_x = -100, float click_y = -100) {
        wizard_screen w;
        mnw.mouse_x = click_x;
        mnw.mouse_y = click_y;
        mnw.click_hit = click_x >= 0 ? 1 : 0;
        last_result = f(first, w);
        mnw.click_hit = 0;
        rec.take();
        return w;
    }
    void chooser_answers(const std::string& folder) {
        write_file(t / "bin/zenity", "#!/bin/sh\necho '" + folder + "'\n");
        ::chmod((t / "bin/zenity").c_str(), 0755);
        setenv("PATH", (t.path() + "/bin:" + saved_path_).c_str(), 1);
    }
    // A manifest of files on two discs.
    void two_disc_manifest() {
        const char* paths[] = {"All/Resources/a.txt", "All/Global Scenery/+40-130/+43-125.dsf"};
        for (int i = 0; i < 2; ++i) {
            file_history_struct h;
            file_version_struct v;
            v.path = paths[i];
            v.sig_want = std::string(32, 'a');
            v.sig_have = "NONE";
            v.disk = i;
            v.global_scenery = i;
            h.versions.push_back(v);
            sim_info.push_back(h);
        }
    }
    void mount(const std::string& folder) {
        around.mount(folder);
        write_file(folder + "/dvd_version.txt", "I\n900 version\nDVD\n\nVERSION Set 9\n");
    }

    temp_dir t;
    testsupport::disc_surroundings around{t};
    std::string saved_path_;
    int last_result = 0;
};

TEST_F(DvdInstallFlow, PickDestinationTextsForTheDefaultANameMissingAnExistingFolderAndTheRoot) {
    const std::string desk = t.path() + "/desk/";
    accept_eula = 1;
    wizard_screen w = call(dvd_pick_install, 1);
    EXPECT_EQ(accept_eula, 0);
    EXPECT_EQ(step_names.size(), 6u);
    EXPECT_EQ(w.title, "Pick Install Destination for Set 9.");
    EXPECT_EQ(w.back_screen, dvd_start);
    EXPECT_EQ(w.next_screen, see_eula);
    EXPECT_EQ(dest_dir_path, desk + "Set 9/");
    EXPECT_EQ(w.text, "I will create the folder 'Set 9' inside the folder '" + desk +
                          "'.\n\n(The folder Set 9 will appear on your desktop.)");

    dvd_set_install_folder_for_test("");
    w = call(dvd_pick_install, 0);
    EXPECT_EQ(dest_dir_path, desk);
    EXPECT_EQ(w.next_screen, nullptr);
    EXPECT_EQ(w.text, "Please pick a name for your Ventaro 9 installation...");

    dvd_set_install_folder_for_test("../elsewhere");
    EXPECT_EQ(call(dvd_pick_install, 0).next_screen, nullptr);

    dvd_set_install_folder_for_test("Copy");
    ::mkdir((desk + "Copy").c_str(), 0755);
    w = call(dvd_pick_install, 0);
    EXPECT_EQ(w.next_screen, nullptr);
    EXPECT_EQ(w.text, "The folder 'Copy' already exists inside the folder '" + desk +
                          "'.\n\nPlease change the install name or destination.");

    chooser_answers("/");
    w = call(dvd_pick_install, 0, 290, 203);
    EXPECT_EQ(dest_dir_path, "/Copy/");
    EXPECT_EQ(w.text, "I will create the folder 'Copy' inside the folder '/'.");
    EXPECT_EQ(w.next_screen, see_eula);

    // The licence between Pick Destination and Select Scenery, ticked afresh.
    accept_eula = 0;
    w = call(see_eula, 1);
    EXPECT_EQ(w.back_screen, dvd_pick_install);
    EXPECT_EQ(w.next_screen, nullptr);
    accept_eula = 1;
    EXPECT_EQ(call(see_eula, 0).next_screen, dvd_scenery_install);

    // A later visit keeps the choices.
    w = call(dvd_pick_install, 1);
    EXPECT_EQ(dest_dir_path, "/Copy/");
}

TEST_F(DvdInstallFlow, TheDiscCheckFindsTheWantedArchiveOnlyOnAMountedDisc) {
    two_disc_manifest();
    want_file_disk = 1;
    current_disk = 0;
    // The archive lies where a path relative to the current folder would find it.
    const std::string rel = "Set 9/All/Global Scenery/+40-130/+43-125.dsf.7z";
    write_file(t / rel, "7z");
    char here[4096];
    ASSERT_NE(::getcwd(here, sizeof here), nullptr);
    ASSERT_EQ(::chdir(t.path().c_str()), 0);
    wizard_screen w = call(dvd_verify_disk_install, 1);
    ASSERT_EQ(::chdir(here), 0);
    EXPECT_EQ(last_result, 1);
    EXPECT_EQ(w.title, "Installing Ventaro - Checking DVD...");
    EXPECT_EQ(w.next_screen, dvd_switch_disk_install);
    EXPECT_EQ(w.back_screen, nullptr);
    EXPECT_EQ(current_disk, 0);

    // Disc 1 is mounted but holds the other file only.
    mount(t / "disc1");
    write_file(t / "disc1/Set 9/All/Resources/a.txt.zip", "zip");
    EXPECT_EQ(call(dvd_verify_disk_install, 1).next_screen, dvd_switch_disk_install);
    EXPECT_EQ(dvd_path, t / "disc1/");
    EXPECT_EQ(current_disk, 0);

    // A disc that holds the wanted archive passes, whatever its number, and is taken as the file's.
    write_file(t / ("disc1/" + rel), "7z");
    EXPECT_EQ(call(dvd_verify_disk_install, 1).next_screen, dvd_run_install);
    EXPECT_EQ(current_disk, 1);
}

TEST_F(DvdInstallFlow, TheDiscChangeForgetsTheDiscOnceAndAsksForTheFilesDisc) {
    two_disc_manifest();
    want_file_disk = 1;
    mount(t / "disc1");
    dvd_path = t / "disc1/";
    wizard_screen w = call(dvd_switch_disk_install, 1);
    EXPECT_EQ(dvd_path, "");
    EXPECT_EQ(last_result, 0);
    EXPECT_EQ(w.title, "Installing Ventaro - Please Change DVDs");
    EXPECT_EQ(w.text, "Please insert DVD number 2 and click continue.");
    EXPECT_EQ(w.back_screen, dvd_scenery_install);
    EXPECT_EQ(w.next_screen, dvd_verify_disk_install);
    dvd_path = t / "disc1/";
    call(dvd_switch_disk_install, 0);
    EXPECT_EQ(dvd_path, t / "disc1/");
}

TEST_F(DvdInstallFlow, FinishShowsRunOnlyWithoutErrors) {
    wizard_screen w = call(dvd_done_install, 1);
    EXPECT_EQ(w.title, "Finished Installing Ventaro");
    EXPECT_EQ(w.text, "Installation was successful.");
    EXPECT_EQ(w.choice_labels, std::vector<std::string>{"Run Ventaro Now"});
    EXPECT_EQ(w.choice_screens, std::vector<screen_func>{dvd_do_run_sim});
    EXPECT_EQ(w.back_screen, dvd_start);
    EXPECT_EQ(w.next_screen, wizard_quit);
    num_install_errors = 1;
    w = call(dvd_done_install, 0);
    EXPECT_EQ(w.text, "There were errors during the install; your copy of Ventaro may not be usable.\n\nYou can click "
                      "Go Back and use the repair and add-remove scenery functions to try to reinstall any missing or "
                      "damaged files.");
    EXPECT_TRUE(w.choice_labels.empty());
}

}  // namespace
