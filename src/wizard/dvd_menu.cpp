#include "wizard/dvd_menu.h"

#include "core/localisation.h"
#include "core/shared_constants.h"
#include "install/install_state.h"
#include "install/registration.h"
#include "install/server_list.h"
#include "wizard/demo_screens.h"
#include "wizard/dvd_install_flow.h"
#include "wizard/pick_install.h"

namespace {

std::string tr(const std::string& s) { return UTL_translate_string(s, 0); }

struct menu_choice {
    const char* label;
    screen_func screen;
    bool needs_sim;   // offered only when the disc carries the simulator
};

const menu_choice menu_choices[] = {
    {"Run Ventaro Now", dvd_pick_run_sim, false},
    {"Install A Second Copy of Ventaro", dvd_pick_install, true},
};

const copy_pick_row run_row = {"Run Ventaro", dvd_do_run_sim,
                               "Please pick which copy of Ventaro 9 you would like to run.", true};

}  // namespace

void set_dvd_install_steps() {
    step_names.clear();
    step_funcs.clear();
    const std::pair<const char*, screen_func> steps[] = {
        {"Welcome", dvd_start},         {"Pick Destination", dvd_pick_install}, {"License", see_eula},
        {"Select Scenery", dvd_scenery_install}, {"Install", dvd_run_install},         {"Finish", dvd_done_install},
    };
    for (const auto& [name, func] : steps) {
        step_names.push_back(tr(name));
        step_funcs.push_back(func);
    }
}

int dvd_start(int first_frame, wizard_screen& w) {
    if (first_frame) {
        locate_all_ventaros();
        set_dvd_install_steps();
    }
    wizard_title(w, "Ventaro 9 Installer");
    UTIL_scan_dvd();
    const char* const foreign = "This DVD does not appear to be an Ventaro 9 DVD.";
    if (dvd_path.empty()) {
        w.text = tr("Please insert Ventaro 9 DVD number one to begin.");
    } else if (install_name == no_install_name || stg.stage == 2) {
        w.text = tr(foreign);
    } else if (stg.stage == 3 && all_vsystems.empty() && stg.offers_other) {
        w.text = UTL_string_sub(tr("Welcome to the Ventaro 9 Installer.  I will guide you through the process of "
                                   "installing %1:install name%."),
                                install_name);
        w.next_screen = dvd_pick_install;
    } else if (stg.stage == 3 && all_vsystems.empty()) {
        w.text = UTL_string_sub(tr("This DVD (%1:dvd name%) contains global scenery.  You must install the sim "
                                   "before you install the global scenery."),
                                install_name);
    } else if (stg.stage == 3) {
        w.text = tr("You already have Ventaro 9 installed on this computer.  What would you like to do?");
        for (const menu_choice& c : menu_choices) {
            if (c.needs_sim && !stg.offers_other) continue;
            w.choice_labels.push_back(tr(c.label));
            w.choice_screens.push_back(c.screen);
        }
    }
    return 0;
}

int copy_pick_screen(const copy_pick_row& row, int, wizard_screen& w) {
    wizard_title(w, row.title);
    w.back_screen = dvd_start;
    w.next_screen = row.next;
    if (all_vsystems.size() == 1) {
        dest_dir_path = all_vsystems[0];
        if (row.run) return 1;
    }
    UTIL_pick_install();
    // Only a copy the list or "Find It" vouches for: a path left from another screen may be
    // anything.
    if (!pick_install_dest_is_a_copy()) w.next_screen = nullptr;
    w.text = all_vsystems.size() >= 2
                 ? tr("You have more than one copy of Ventaro 9 installed on this computer.  ") + tr(row.last_sentence)
                 : tr(row.last_sentence);
    return 0;
}

int dvd_pick_run_sim(int first_frame, wizard_screen& w) { return copy_pick_screen(run_row, first_frame, w); }

