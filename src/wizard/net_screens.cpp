#include "wizard/net_screens.h"

#include <algorithm>
#include <utility>

#include "core/frame_clock.h"
#include "core/localisation.h"
#include "install/checksum.h"
#include "install/install_filter.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/prompts.h"
#include "install/registration.h"
#include "install/scheduler.h"
#include "install/server_list.h"
#include "ui/buttons.h"
#include "ui/tt_font.h"
#include "wizard/app_start.h"
#include "wizard/demo_screens.h"
#include "wizard/install_texts.h"
#include "wizard/pick_install.h"
#include "wizard/text_helpers.h"

namespace {

std::string tr(const std::string& s) { return UTL_translate_string(s, 0); }

float totl_inst_rat = 0.0f;   // smoothed share of the update done, kept across visits
int ctr = 0;                  // files the MD5 scan has handed out
// The update changed the copy: it had files to get or to delete. Finish reads it.
bool update_had_work = false;

void set_net_steps() {
    step_names.clear();
    step_funcs.clear();
    const std::pair<const char*, screen_func> steps[] = {
        {"Welcome", net_start},
        {"Pick Destination", net_pick_dest},
        {"Search for Updates", net_get_updates},
        {"Check Disk Space", net_check_disk},
        {"Install Updates", net_run_patch},
        {"Finish", net_done},
    };
    for (const auto& [name, func] : steps) {
        if (func == net_pick_dest && !cmd_line_path.empty()) continue;
        step_names.push_back(tr(name));
        step_funcs.push_back(func);
    }
}

// The scan reads the copy on the worker pool; it is stopped before anything may change the copy,
// the manifest or dest_dir_path under it.
void stop_scan() {
    checksum_directory_kill();
    ctr = 0;
}

std::string fly_now() { return tr("Fly Ventaro Now"); }

}  // namespace

int net_start(int first_frame, wizard_screen& w) {
    if (first_frame) {
        stop_scan();
        locate_all_ventaros();
        set_net_steps();
        next.reset_all_streams();
    }
    if (!cmd_line_path.empty()) dest_dir_path = cmd_line_path;
    else if (all_vsystems.size() == 1) dest_dir_path = all_vsystems[0];
    else dest_dir_path.clear();

    wizard_title(w, "Ventaro 9 Web Updater");
    w.show_prefs = 1;
    w.text = tr("I will guide you through the process of updating your copy of Ventaro 9 to the latest version.");
    w.next_screen = cmd_line_path.empty() ? net_pick_dest : net_get_updates;
    BTN_bool(250, 400, &stg.get_beta,
             tr("|Check for new betas as well as updates. Leave this off unless you want to participate in the "
                "Ventaro beta program!"),
             0);
    return 0;
}

int net_pick_dest(int first_frame, wizard_screen& w) {
    if (first_frame) {
        stop_scan();
        next.reset_all_streams();
    }
    wizard_title(w, "Pick Destination");
    w.show_prefs = 1;
    if (all_vsystems.size() >= 2) w.text = tr("You have more than one copy of Ventaro 9 installed on this computer.  ");
    w.text += tr("Please select which copy of Ventaro 9 you would like to update.");
    UTIL_pick_install();
    w.back_screen = net_start;
    w.next_screen = pick_install_dest_is_a_copy() ? net_get_updates : nullptr;
    return 0;
}

int net_get_updates(int first_frame, wizard_screen& w) {
    if (first_frame) {
        // A scan left half way (by Quit's question, or a visit cut short) never runs on.
        stop_scan();
        if (stg.stage == 3) stg.stage = 1;
    }
    wizard_title(w, "Search for Updates");
    w.back_screen = net_pick_dest;
    w.next_screen = nullptr;
    UTL_download_directory();
    // A failed fetch is shown, with the server and the countdown, until a later one succeeds.
    const directory_failure& failed = UTL_directory_failure();
    if (!failed.host.empty() && stg.stage == 0) {
        w.text = tr("There was a problem reading information from the servers.") +
                 install_retry_line(failed.host, failed.error, failed.retry_time);
        return 0;
    }
    if (servers.empty()) {
        w.text = tr("I am contacting ") + server_list_host + tr(" to find an update server.");
        return 0;
    }
    switch (stg.stage) {
        case 0: {
            const int i =
                stg.manifest_server >= 0 && stg.manifest_server < (int)servers.size() ? stg.manifest_server : 0;
            w.text = UTL_string_sub(tr("I am downloading patch info from %1:server name%."), servers[i].host);
            float fraction = 0;
            const int percent = manifest_percent(fraction);
            if (percent == -1) {
                w.progress_text = tr("I am checking the net for the latest version of Ventaro 9 right now, and I am "
                                     "connecting to the server...");
                w.progress = -0.01f;
            } else {
                w.progress_text = UTL_string_sub(tr("I am checking the net for the latest version of Ventaro 9 "
                                                    "right now, and I am %1:progress%% done checking."),
                                                 int_str(percent));
                w.progress = fraction;
            }
            return 0;
        }
        case 1: w.text = tr("I am processing information about the available patches."); return 0;
        case 2: w.text = tr("There was a problem reading information from the servers."); return 0;
        default: break;
    }
    // Quit during the scan stops it, then the program ends.
    w.quit_func = [] { return checksum_directory_kill() != 0; };
    float progress = 0;
    if (checksum_directory(ctr, 0, progress)) {
        // The copy's global scenery is what it has installed: an update keeps those tiles and
        // never deletes them for not being chosen.
        scenery_from_install();
        recalc_disk_sizes();
        w.back_screen = nullptr;
        w.next_screen = net_check_disk;
        return 1;
    }
    w.text = UTL_string_sub(tr("I am scanning %1:folder path% to see what files need updating."), dest_dir_path);
    w.progress_text = UTL_string_sub(tr("Scanning %1:number% of %2:total% files."), int_str(ctr),
                                     int_str((int)sim_info.size()));
    w.progress = std::clamp(progress, 0.0f, 1.0f);
    return 0;
}

int net_check_disk(int first_frame, wizard_screen& w) {
    if (first_frame) next.reset_all_streams();
    wizard_title(w, "Check Disk Space");
    w.back_screen = net_get_updates;
    w.next_screen = net_run_patch;
    // Nothing to fetch may still leave files to delete: only an update with neither is done.
    update_had_work = stg.files_to_get > 0 || stg.files_to_delete > 0;
    if (!update_had_work) {
        w.next_screen = net_done;
        return 1;
    }
    const int enough = UTIL_disk_space(tr("You have enough free disk space to update Ventaro 9"),
                                       tr("You do not have enough free disk space to update Ventaro 9."));
    OGL_string(50, 220, 130, UTIL_disk_space_text(), 560, cs_regular, just_left);
    if (enough) {
        w.text = UTL_string_sub(tr("You are about to download %1:download size% of compressed data to update to "
                                   "%2:install name%."),
                                size_string(stg.download_size), install_name);
    } else {
        w.next_screen = nullptr;
        w.text = tr("There is a newer version of Ventaro 9 available, but you do not have enough free disk space to "
                    "download and install the update.\n\nPlease free some space on your hard drive.");
    }
    return 0;
}

bool net_run_quit_func() {
    const int answer = abort_alert(tr("Are you sure you want to stop the update? Ventaro 9 will not be usable until "
                                      "the update is finished.  You can resume the update later."),
                                   tr("Stop"), tr("the update."), tr("Continue"), tr("the update process."));
    if (answer != 1) return false;
    next.reset_all_streams();   // the downloads and extractions stop before the program ends
    return true;
}

int net_run_patch(int first_frame, wizard_screen& w) {
    if (first_frame) {
        if (!choose_files() || make_dirs() != 0) {
            w.next_screen = net_check_disk;
            return 1;
        }
        next.reset_all_streams();
    }
    wizard_title(w, "Installing");
    const double t0 = (double)xtim_class::microsecs() / 1e6;
    for (;;) {
        if (grab_files()) {
            next.reset_all_streams();
            w.back_screen = nullptr;
            w.next_screen = net_done;
            return 1;
        }
        const float dt = xtim.frame_period;
        const float target = install_fraction(next.uncomp_done, stg.needed_space);
        totl_inst_rat = std::clamp((1 - 5 * dt) * totl_inst_rat + 5 * dt * target, 0.0f, 1.0f);
        w.progress_text = install_status_line();
        w.text = install_body_text(totl_inst_rat, true);
        w.progress = totl_inst_rat;
        w.back_screen = net_check_disk;
        w.next_screen = nullptr;
        w.quit_func = net_run_quit_func;
        if ((double)xtim_class::microsecs() / 1e6 >= t0 + 0.02) return 0;
    }
}

int net_done(int, wizard_screen& w) {
    w.back_screen = nullptr;
    w.next_screen = wizard_quit;
    wizard_title(w, "Finshed Web Update");
    if (!update_had_work) {
        w.text = UTL_string_sub(tr("This copy of Ventaro (%1:install path%) is already up to date."), dest_dir_path);
    } else if (stg.error_flag) {
        w.text = tr("There were problems updating Ventaro.  You can try this updater again using a different server.");
        return 0;
    } else {
        w.text = UTL_string_sub(tr("I have finished updating %1:install path%."), dest_dir_path);
    }
    w.choice_labels.push_back(fly_now());
    w.choice_screens.push_back(dvd_do_run_sim);
    return 0;
}

void net_screens_reset_for_test() {
    checksum_directory_kill();
    totl_inst_rat = 0;
    ctr = 0;
    update_had_work = false;
}
