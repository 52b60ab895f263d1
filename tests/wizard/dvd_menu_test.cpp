// The install disc's main menu and the Run screen called as the wizard frame calls them: which
// text, Next and choices for which disc and installed copies; a disc that appears later; the Run
// screen's radio buttons, and its Next only for a copy that is known.
#include "wizard/dvd_menu.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "../render/recorded_draw.h"
#include "core/log.h"
#include "core/shared_constants.h"
#include "core/shell_services.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/registration.h"
#include "install/server_list.h"
#include "platform/install_media.h"
#include "support/install_set.h"
#include "support/temp_dir.h"
#include "ui/tt_font.h"
#include "wizard/demo_screens.h"
#include "wizard/dvd_copy_flows.h"
#include "wizard/dvd_install_flow.h"

namespace {

using namespace drawtest;
using testsupport::temp_dir;
using testsupport::write_file;

class DvdMenu : public RecordedText {
protected:
    void SetUp() override {
        RecordedText::SetUp();
        old_path_ = std::getenv("PATH") ? std::getenv("PATH") : "";
        old_config_ = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
        ::mkdir((t.path() + "/config").c_str(), 0755);
        setenv("XDG_CONFIG_HOME", (t.path() + "/config").c_str(), 1);
        ASSERT_TRUE(xer.open(t / "log.txt"));
        write_file(t / "mounts", "proc /proc proc rw 0 0\n");
        platform_set_mount_table(t / "mounts");
        stg_set_initial();
        sim_info.clear();
        install_name = no_install_name;
        dvd_path.clear();
        dest_dir_path.clear();
        temp_path = t / "tmp/";
        write_file(temp_path + ".keep", "");
        dvd_install_reset_for_test();
    }
    void TearDown() override {
        platform_set_mount_table("");
        setenv("PATH", old_path_.c_str(), 1);
        setenv("XDG_CONFIG_HOME", old_config_.c_str(), 1);
        xer.close();
        RecordedText::TearDown();
    }
    wizard_screen call(screen_func f, int first, float click_x = -100, float click_y = -100) {
        wizard_screen w;
        mnw.mouse_x = click_x;
        mnw.mouse_y = click_y;
        mnw.click_hit = click_x >= 0 ? 1 : 0;
        last_result = f(first, w);
        mnw.click_hit = 0;
        drawn = rec.take();
        return w;
    }
    // Installed copies: folders with the four folders of a copy, listed in the registration file.
    std::vector<std::string> make_copies(int n) {
        std::vector<std::string> out;
        std::string list;
        for (int i = 0; i < n; ++i) {
            const std::string copy = t / ("copy" + std::to_string(i) + "/");
            for (const char* sub : {"Airfoils", "Instructions", "Output", "Resources"})
                std::filesystem::create_directories(copy + sub);
            out.push_back(copy);
            list += copy + "\n";
        }
        write_file(t / "config/ventaro_install.txt", list);
        return out;
    }
    void chooser_answers(const std::string& folder) {
        write_file(t / "bin/zenity", "#!/bin/sh\necho '" + folder + "'\n");
        ::chmod((t / "bin/zenity").c_str(), 0755);
        setenv("PATH", (t.path() + "/bin:" + old_path_).c_str(), 1);
    }
    // Where "Find It" lies for n copies.
    static std::pair<float, float> find_it(int n) {
        const float w = OGL_measure_string("Is the copy of Ventaro 9 you're looking for missing from this list?");
        return {w > 400 ? 685 : w + 285, 403 - 25.0f * n};
    }
    static std::vector<std::string> labels_of(const wizard_screen& w) { return w.choice_labels; }

    temp_dir t;
    std::string old_path_, old_config_;
    calls drawn;
    int last_result = 0;
};

TEST_F(DvdMenu, EachDiscAndSetOfCopiesGivesItsRow) {
    const std::string welcome =
        "Welcome to the Ventaro 9 Installer.  I will guide you through the process of installing Set 9.";
    const std::string foreign = "This DVD does not appear to be an Ventaro 9 DVD.";
    const std::string have = "You already have Ventaro 9 installed on this computer.  What would you like to do?";
    struct menu_case {
        const char* what;
        const char* disc;     // dvd_path; "" none
        const char* name;     // install_name as the disc gave it
        int stage, sim, scenery, copies;
        std::string text;
        screen_func next;
        std::vector<std::string> choices;
        std::vector<screen_func> leads_to;
    };
    const menu_case cases[] = {
        {"no disc", "", "Set 9", 3, 1, 1, 1, "Please insert Ventaro 9 DVD number one to begin.", nullptr, {}, {}},
        {"a disc without a name", "/media/d/", no_install_name.c_str(), 0, 0, 0, 0, foreign, nullptr, {}, {}},
        {"a manifest not accepted", "/media/d/", "Set 9", 2, 1, 1, 1, foreign, nullptr, {}, {}},
        {"the simulator, no copy", "/media/d/", "Set 9", 3, 1, 1, 0, welcome, dvd_pick_install, {}, {}},
        {"scenery only, no copy", "/media/d/", "Set 9", 3, 0, 1, 0,
         "This DVD (Set 9) contains global scenery.  You must install the sim before you install the global scenery.",
         nullptr, {}, {}},
        {"scenery only, a copy", "/media/d/", "Set 9", 3, 0, 1, 2, have, nullptr,
         {"Run Ventaro Now", "Add Or Remove Scenery"}, {dvd_pick_run_sim, dvd_pick_scenery}},
        {"the simulator only, a copy", "/media/d/", "Set 9", 3, 1, 0, 1, have, nullptr,
         {"Run Ventaro Now", "Repair Ventaro", "Install A Second Copy of Ventaro"},
         {dvd_pick_run_sim, dvd_pick_repair, dvd_pick_install}},
        {"both kinds, a copy", "/media/d/", "Set 9", 3, 1, 1, 1, have, nullptr,
         {"Run Ventaro Now", "Add Or Remove Scenery", "Repair Ventaro", "Install A Second Copy of Ventaro"},
         {dvd_pick_run_sim, dvd_pick_scenery, dvd_pick_repair, dvd_pick_install}},
        {"still reading", "/media/d/", "Set 9", 1, 1, 1, 1, "", nullptr, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        make_copies(c.copies);
        dvd_path = c.disc;
        install_name = c.name;
        stg.stage = c.stage;
        stg.offers_other = c.sim;
        stg.offers_global = c.scenery;
        wizard_screen w = call(dvd_start, 1);
        EXPECT_EQ(last_result, 0);
        EXPECT_EQ(w.title, "Ventaro 9 Installer");
        EXPECT_EQ(w.text, c.text);
        EXPECT_EQ(w.next_screen, c.next);
        EXPECT_EQ(w.back_screen, nullptr);
        EXPECT_EQ(labels_of(w), c.choices);
        EXPECT_EQ(w.choice_screens, c.leads_to);
    }
    const std::vector<std::string> steps{"Welcome", "Pick Destination", "License", "Select Scenery", "Install",
                                         "Finish"};
    EXPECT_EQ(step_names, steps);
    EXPECT_EQ(step_funcs, (std::vector<screen_func>{dvd_start, dvd_pick_install, see_eula, dvd_scenery_install,
                                                    dvd_run_install, dvd_done_install}));
}

TEST_F(DvdMenu, ADiscMountedLaterIsReadWithoutAClick) {
    wizard_screen w = call(dvd_start, 1);
    EXPECT_EQ(w.text, "Please insert Ventaro 9 DVD number one to begin.");

    testsupport::install_set set{"Set 9", {}};
    set.files.push_back({"All/Resources/a.txt", "a", false, {}});
    testsupport::write_disc_set(t / "discs", set);
    write_file(t / "mounts", "proc /proc proc rw 0 0\n/dev/sr0 " + t.path() + "/discs/disk_0 squashfs ro 0 0\n");
    w = call(dvd_start, 0);
    EXPECT_EQ(dvd_path, t / "discs/disk_0/");
    EXPECT_EQ(stg.stage, 3);
    // The builder names a disc set after the product.
    EXPECT_EQ(w.text, "Welcome to the Ventaro 9 Installer.  I will guide you through the process of installing "
                      "Ventaro Meridian.");
    EXPECT_EQ(w.next_screen, dvd_pick_install);
}

TEST_F(DvdMenu, RunWithOneCopyGoesStraightOnWithoutDrawingTheChooser) {
    const auto copies = make_copies(1);
    locate_all_ventaros();
    wizard_screen w = call(dvd_pick_run_sim, 1);
    EXPECT_EQ(last_result, 1);
    EXPECT_EQ(w.next_screen, dvd_do_run_sim);
    EXPECT_EQ(dest_dir_path, copies[0]);
    EXPECT_TRUE(drawn.empty());
}

TEST_F(DvdMenu, RunWithSeveralCopiesWaitsForARadioButton) {
    const auto copies = make_copies(3);
    locate_all_ventaros();
    wizard_screen w = call(dvd_pick_run_sim, 1);
    EXPECT_EQ(last_result, 0);
    EXPECT_EQ(w.title, "Run Ventaro");
    EXPECT_EQ(w.back_screen, dvd_start);
    EXPECT_EQ(w.next_screen, nullptr);
    EXPECT_EQ(w.text, "You have more than one copy of Ventaro 9 installed on this computer.  Please pick which copy of "
                      "Ventaro 9 you would like to run.");
    // The question one row below the last radio button.
    rec.take();
    OGL_string(50, 230, 325, "Is the copy of Ventaro 9 you're looking for missing from this list?", 400, cs_regular,
               just_left);
    EXPECT_TRUE(holds_batches(drawn, rec.take()));

    // The radio buttons at 400, 375 and 350.
    for (int i : {2, 0, 1}) {
        w = call(dvd_pick_run_sim, 0, 250, 400 - 25.0f * i + 3);
        EXPECT_EQ(dest_dir_path, copies[i]);
        EXPECT_EQ(call(dvd_pick_run_sim, 0).next_screen, dvd_do_run_sim);
    }
}

TEST_F(DvdMenu, NextWaitsForACopyTheListOrFindItVouchesFor) {
    make_copies(2);
    locate_all_ventaros();
    // A destination left from another flow that is no installed copy.
    dest_dir_path = t / "somewhere/";
    wizard_screen w = call(dvd_pick_run_sim, 1);
    EXPECT_EQ(w.next_screen, nullptr);

    // A copy found but not registrable (no preferences folder) still counts once found.
    const std::string other = t / "unlisted/";
    for (const char* sub : {"Airfoils", "Instructions", "Output", "Resources"})
        std::filesystem::create_directories(other + sub);
    chooser_answers(other + "Output");
    setenv("XDG_CONFIG_HOME", (t.path() + "/no such folder/x").c_str(), 1);
    const auto [fx, fy] = find_it(2);
    call(dvd_pick_run_sim, 0, fx, fy);
    EXPECT_EQ(dest_dir_path, other);
    EXPECT_EQ(call(dvd_pick_run_sim, 0).next_screen, dvd_do_run_sim);
}

}  // namespace
