#include "wizard/demo_screens.h"

#include <algorithm>

#include "core/alert.h"
#include "core/frame_clock.h"
#include "core/localisation.h"
#include "files/error_codes.h"
#include "files/file_ops.h"
#include "files/http.h"
#include "files/launch.h"
#include "files/paths.h"
#include "install/checksum.h"
#include "install/copy_state.h"
#include "install/install_filter.h"
#include "install/install_state.h"
#include "install/prompts.h"
#include "install/registration.h"
#include "install/scheduler.h"
#include "install/server_list.h"
#include "shell/native_ui.h"
#include "ui/buttons.h"
#include "ui/text_fields.h"
#include "ui/tt_font.h"
#include "wizard/install_texts.h"
#include "wizard/text_helpers.h"

int accept_eula = 0;
screen_func launch_back_screen = demo_done;
int demo_install_is_running = 0;

namespace {

std::string tr(const std::string& s) { return UTL_translate_string(s, 0); }

const char* const demo_name = "Ventaro 9";

// Kept for the whole run, across Back and Next.
std::string parent_dir;
std::string install_folder;
std::string desktop_f;
bool name_proposed = false;
float totl_inst_rat = 0.0f;

const char* const cancel_question =
    "Are you sure you want to cancel the installation? This will delete the partially installed copy of the "
    "Ventaro 9 demo.";

// 1 Cancel, 0 Continue, 3 the question was closed another way.
int ask_cancel() {
    return abort_alert(tr(cancel_question), tr("Cancel"), tr("the demo installation and delete partial installation."),
                       tr("Continue"), tr("the demo installation process."));
}

// Cancel: the downloads and the extractions on the worker pool stop first, so nothing more is
// written into the copy; then the whole copy goes, hidden staging files included. The user is told
// when it cannot be deleted.
void delete_partial_copy() {
    next.reset_all_streams();
    if (const int err = delete_folder_tree(dest_dir_path))
        MACIBM_alert(0,
                     UTL_string_sub(tr("I could not delete the partially installed copy of the Ventaro 9 demo at "
                                       "%1:file path%."),
                                    dest_dir_path),
                     tr("Error: ") + error_sentence(err), "", "", t_warn);
}

void set_demo_steps() {
    step_names.clear();
    step_funcs.clear();
    const std::pair<const char*, screen_func> steps[] = {
        {"Welcome", demo_start},           {"License", see_eula},       {"Check Servers", demo_get_updates},
        {"Pick Destination", demo_pick_dest}, {"Install", demo_run_patch}, {"Finish", demo_done},
    };
    for (const auto& [name, func] : steps) {
        step_names.push_back(tr(name));
        step_funcs.push_back(func);
    }
}

std::string launch_error;

}  // namespace

bool bad_install_name(const std::string& name) {
    if (name.find('/') != std::string::npos || name.find("..") != std::string::npos) return true;
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7F) return true;
    return false;
}

bool new_destination_text(wizard_screen& w, const std::string& parent_dir, const std::string& install_folder,
                          const std::string& desktop_f, const std::string& no_parent_text) {
    // No folder known (no desktop and no home folder): never a destination relative to wherever
    // the program happens to run.
    if (!is_path_full(parent_dir)) {
        dest_dir_path.clear();
        w.next_screen = nullptr;
        w.text = no_parent_text;
        return false;
    }
    if (install_folder.empty()) {
        dest_dir_path = parent_dir;
        w.next_screen = nullptr;
        w.text = tr("Please pick a name for your Ventaro 9 installation...");
        return false;
    }
    if (bad_install_name(install_folder)) {
        dest_dir_path = parent_dir;
        w.next_screen = nullptr;
        w.text = tr("Please pick another install name: it may not contain '/', '..' or control characters.");
        return false;
    }
    dest_dir_path = parent_dir + install_folder + "/";
    if (dir_exists(dest_dir_path)) {
        w.next_screen = nullptr;
        w.text = UTL_string_sub(tr("The folder '%1:install name%' already exists inside the folder '%2:parent "
                                   "folder%'.\n\nPlease change the install name or destination."),
                                install_folder, parent_dir);
        return false;
    }
    w.text = UTL_string_sub(tr("I will create the folder '%1:install name%' inside the folder '%2:parent folder%'."),
                            install_folder, parent_dir);
    if (parent_dir == desktop_f)
        w.text += UTL_string_sub(tr("\n\n(The folder %1:install name% will appear on your desktop.)"), install_folder);
    return true;
}

std::string eula_text() {
    return UTL_string_sub(
        tr("Quillon Research grants you a free license to use this web demo of Ventaro 9 on the following terms. "
           "Tick \"I agree!\" below to accept them.\n\nYou may install the demo on your own computers and use it for "
           "personal, non-commercial purposes. You may not sell, rent or modify it. Commercial use needs a separate "
           "license: see http://%1:web host%/RUD.html.\n\nThe demo is provided as is, without warranty of any kind. "
           "As far as the law allows, Quillon Research is not liable for any damage arising from its use. The demo "
           "is for entertainment only and must not be used for real-world navigation."),
        server_list_host);
}

int demo_start(int first_frame, wizard_screen& w) {
    if (first_frame) {
        accept_eula = 0;
        locate_all_ventaros();
        set_demo_steps();
        next.reset_all_streams();
    }
    wizard_title(w, "Welcome");
    w.show_prefs = 1;
    w.text = tr("I will guide you through the process of installing the web demo of Ventaro 9.");
    if (!all_vsystems.empty())
        w.text += tr("\n\nWarning: you already have Ventaro 9 installed on this computer.  Are you sure you want to "
                     "install a new demo copy of Ventaro 9?");
    w.next_screen = see_eula;
    BTN_bool(250, 270, &stg.get_beta,
             tr("|Get the new beta as a demo if available. Leave this off unless you want to participate in the "
                "Ventaro beta program!"),
             0);
    return 0;
}

int see_eula(int, wizard_screen& w) {
    wizard_title(w, "End User License Agreement");
    w.text = eula_text();
    // The licence sits in more than one flow: Back and Next are its neighbours in the flow's steps.
    screen_func back = demo_start, forward = demo_get_updates;
    const auto here = std::find(step_funcs.begin(), step_funcs.end(), see_eula);
    if (here != step_funcs.end() && here != step_funcs.begin() && here + 1 != step_funcs.end()) {
        back = *(here - 1);
        forward = *(here + 1);
    }
    w.back_screen = back;
    w.next_screen = accept_eula ? forward : nullptr;
    BTN_bool(250, 300, &accept_eula, tr("|-I agree!"), 0);
    return 0;
}

int demo_get_updates(int first_frame, wizard_screen& w) {
    if (first_frame && stg.stage == 3) stg.stage = 1;
    wizard_title(w, "Check Servers");
    w.back_screen = see_eula;
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
        w.text = tr("I am contacting ") + server_list_host + tr(" to find a demo server.");
        return 0;
    }
    switch (stg.stage) {
        case 1: w.text = tr("I am processing information about the available demo."); return 0;
        case 2: w.text = tr("There was a problem reading information from the servers."); return 0;
        case 0: break;
        default:
            w.back_screen = nullptr;
            w.next_screen = demo_pick_dest;
            return 1;
    }
    const int i = stg.manifest_server >= 0 && stg.manifest_server < (int)servers.size() ? stg.manifest_server : 0;
    w.text = UTL_string_sub(tr("I am downloading demo info from %1:server name%."), servers[i].host);
    float fraction = 0;
    const int percent = manifest_percent(fraction);
    if (percent == -1) {
        w.progress_text = tr(
            "I am checking the net for the latest version of Ventaro 9 right now, and I am connecting to the server...");
        w.progress = -0.01f;
    } else {
        w.progress_text = UTL_string_sub(
            tr("I am checking the net for the latest version of Ventaro 9 right now, and I am %1:progress%% done "
               "checking."),
            int_str(percent));
        w.progress = fraction;
    }
    return 0;
}

int demo_pick_dest(int first_frame, wizard_screen& w) {
    static int changed = 0;
    if (first_frame && demo_install_is_running) {
        if (ask_cancel() == 0) {
            w.next_screen = demo_run_patch;
            return 1;
        }
        delete_partial_copy();
        demo_install_is_running = 0;
    }
    if (first_frame) {
        next.reset_all_streams();
        get_OS_abs_path(os_dir_desktop, desktop_f);
        changed = 1;
    }
    // The proposal comes once; a folder that could not be found is looked for again on a later
    // visit, but the name the user typed stays.
    if (parent_dir.empty() && (first_frame || !name_proposed)) {
        get_OS_abs_path(os_dir_default_apps, parent_dir);
        if (!name_proposed) install_folder = UTL_string_sub(tr("%1:install name% Demo"), demo_name);
        name_proposed = true;
        changed = 1;
    }
    wizard_title(w, "Pick Install Destination for %1:install%.", &install_name);
    w.back_screen = see_eula;
    w.next_screen = demo_run_patch;

    const std::string change_label = tr("Change Destination");
    const int bw = (int)(OGL_measure_string(change_label) + 21);
    if (BTN_action(290, 203, (float)bw, 0, 1, change_label, "-")) {
        if (GetFilePathFromUser(2, tr("Pick a folder to install the Ventaro 9 demo into."), tr("Select"), 1, parent_dir,
                                parent_dir)) {
            changed = 1;
            if (parent_dir != "/") parent_dir += "/";
        }
    }
    const std::string name_label = tr("Install Name:");
    const int lw = (int)OGL_measure_string(name_label);
    const int x = (int)(bw * 0.5 + 300 + 10 + lw);
    if (BTN_enterstring((float)x, 200, &install_folder, 256, "-" + name_label, (float)(760 - x), 0)) changed = 1;

    if (!new_destination_text(w, parent_dir, install_folder, desktop_f,
                              tr("Please use Change Destination to pick a folder for the Ventaro 9 demo.")))
        return 0;
    if (changed) {
        changed = 0;
        int counter = 0;
        float fraction = 0;
        while (!checksum_directory(counter, 0, fraction)) {
        }
        set_install_filter(1, 1);
        scenery_take_none();
        recalc_disk_sizes();
    }
    const int enough = UTIL_disk_space(
        tr("You have enough free disk space to install the Ventaro 9 demo at this location."),
        tr("You do not have enough free disk space to install the Ventaro 9 demo at this location. You can install to "
           "a different location, or save disk space by installing only some of the global scenery."));
    OGL_string(50, 220, 130, UTIL_disk_space_text(), 560, cs_regular, just_left);
    if (!enough) w.next_screen = nullptr;
    return 0;
}

bool demo_run_quit_func() {
    if (ask_cancel() == 0) return false;
    delete_partial_copy();
    demo_install_is_running = 0;
    return true;
}

int demo_run_patch(int, wizard_screen& w) {
    if (!demo_install_is_running) {
        if (!choose_files() || make_dirs() != 0) {
            w.next_screen = demo_pick_dest;
            return 1;
        }
        next.reset_all_streams();
        demo_install_is_running = 1;
        mark_copy_incomplete();
        register_new_ventaro();
    }
    wizard_title(w, "Installing");
    const double t0 = (double)xtim_class::microsecs() / 1e6;
    for (;;) {
        if (grab_files()) {
            next.reset_all_streams();
            if (!stg.error_flag) finish_installed_copy();
            w.back_screen = nullptr;
            w.next_screen = demo_done;
            demo_install_is_running = 0;
            return 1;
        }
        const float dt = xtim.frame_period;
        const float target = install_fraction(next.uncomp_done, stg.needed_space);
        totl_inst_rat = (1 - 5 * dt) * totl_inst_rat + 5 * dt * target;
        totl_inst_rat = std::clamp(totl_inst_rat, 0.0f, 1.0f);
        w.text = install_body_text(totl_inst_rat, false);
        w.progress_text = install_status_line();
        w.progress = totl_inst_rat;
        w.back_screen = demo_pick_dest;
        w.next_screen = nullptr;
        w.quit_func = demo_run_quit_func;
        if ((double)xtim_class::microsecs() / 1e6 >= t0 + 0.02) return 0;
    }
}

int demo_done(int, wizard_screen& w) {
    w.back_screen = nullptr;
    w.next_screen = wizard_quit;
    wizard_title(w, "Finshed Web Demo Install");
    if (stg.error_flag) {
        w.text = tr("There were problem installing the Ventaro 9 web demo - it may not be usable.");
        return 0;
    }
    w.text = UTL_string_sub(tr("I have finished installing the Ventaro 9 web demo at: %1:file path%."), dest_dir_path);
    w.choice_labels.push_back(tr("Fly Ventaro 9 Now"));
    w.choice_screens.push_back(dvd_do_run_sim);
    return 0;
}

int dvd_do_run_sim(int first_frame, wizard_screen& w) {
    // A launch that failed once is not tried again every frame; the user may go back and retry.
    if (first_frame) {
        const int err = launch_app(dest_dir_path + "Ventaro" + ".app", "", 1);
        launch_error = err ? error_sentence(err) : std::string();
    }
    if (!launch_error.empty()) {
        w.text = UTL_string_sub(tr("I could not start the Ventaro 9 demo: %1:errormessage%."), launch_error);
        w.back_screen = launch_back_screen;
    }
    return 0;
}

void demo_set_install_name_for_test(const std::string& name) { install_folder = name; }

void demo_screens_reset_for_test() {
    accept_eula = 0;
    demo_install_is_running = 0;
    parent_dir.clear();
    install_folder.clear();
    desktop_f.clear();
    name_proposed = false;
    totl_inst_rat = 0;
    launch_error.clear();
    launch_back_screen = demo_done;
}
