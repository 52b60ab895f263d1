#include "wizard/dvd_menu.h"

#include "core/localisation.h"
#include "core/shared_constants.h"
#include "install/checksum.h"
#include "install/install_state.h"
#include "install/registration.h"
#include "install/server_list.h"
#include "wizard/demo_screens.h"
#include "wizard/dvd_copy_flows.h"
#include "wizard/dvd_install_flow.h"
#include "wizard/pick_install.h"

namespace {

std::string tr(const std::string& s) { return UTL_translate_string(s, 0); }

enum menu_need { needs_nothing, needs_scenery, needs_sim };

struct menu_choice {
    const char* label;
    screen_func screen;
    menu_need need;   // what the disc must carry for the choice to be offered
};

const menu_choice menu_choices[] = {
    {"Run Ventaro Now", dvd_pick_run_sim, needs_nothing},
    {"Add Or Remove Scenery", dvd_pick_scenery, needs_scenery},
    {"Repair Ventaro", dvd_pick_repair, needs_sim},
    {"Install A Second Copy of Ventaro", dvd_pick_install, needs_sim},
};

bool offered(menu_need need) {
    switch (need) {
        case needs_scenery: return stg.offers_global != 0;
        case needs_sim: return stg.offers_other != 0;
        default: return true;
    }
}

const copy_pick_row run_row = {"Run Ventaro", dvd_do_run_sim,
                               "Please pick which copy of Ventaro 9 you would like to run.", true, nullptr};

}  // namespace

void set_disc_steps(std::initializer_list<std::pair<const char*, screen_func>> steps) {
    step_names.clear();
    step_funcs.clear();
    for (const auto& [name, func] : steps) {
        step_names.push_back(tr(name));
        step_funcs.push_back(func);
    }
}

void set_dvd_install_steps() {
    set_disc_steps({{"Welcome", dvd_start},
                    {"Pick Destination", dvd_pick_install},
                    {"License", see_eula},
                    {"Select Scenery", dvd_scenery_install},
                    {"Install", dvd_run_install},
                    {"Finish", dvd_done_install}});
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
            if (!offered(c.need)) continue;
            w.choice_labels.push_back(tr(c.label));
            w.choice_screens.push_back(c.screen);
        }
    }
    return 0;
}

int copy_pick_screen(const copy_pick_row& row, int first_frame, wizard_screen& w) {
    if (first_frame && row.set_steps) {
        // A scan left running by the flow's scan screen reads the copy: it stops before anything
        // here may change which copy that is.
        checksum_directory_kill();
        row.set_steps();
    }
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

