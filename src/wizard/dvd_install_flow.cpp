#include "wizard/dvd_install_flow.h"

#include <vector>

#include "core/alert.h"
#include "core/frame_clock.h"
#include "core/localisation.h"
#include "core/log.h"
#include "files/error_codes.h"
#include "files/file_ops.h"
#include "files/paths.h"
#include "install/checksum.h"
#include "install/dvd_install.h"
#include "install/install_filter.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/prompts.h"
#include "install/registration.h"
#include "install/scheduler.h"
#include "shell/native_ui.h"
#include "ui/buttons.h"
#include "ui/text_fields.h"
#include "ui/tt_font.h"
#include "wizard/app_start.h"
#include "wizard/demo_screens.h"
#include "wizard/dvd_copy_flows.h"
#include "wizard/dvd_menu.h"
#include "wizard/text_helpers.h"
#include "wizard/world_map.h"

int dvd_install_is_running = 0;
int repair_is_running = 0;
int scenery_install_is_running = 0;
int num_install_errors = 0;
int want_file_disk = 0;
int current_disk = 0;

namespace {

std::string tr(const std::string& s) { return UTL_translate_string(s, 0); }

// Kept for the whole run: coming back to Pick Destination shows the last choices.
std::string parent_dir;
std::string install_folder;
std::string desktop_f;

// One flow's install screen and what surrounds it.
struct install_row {
    int* running;
    screen_func install_screen;
    screen_func step_back;          // a cancelled choose_files, Back while busy
    screen_func make_dirs_failed;
    bool registers;
    const char* title;
    const char* busy_text;          // %1 the copy
    const char* file_text;          // %1 the file
    const char* finishing_text;
    screen_func finish;
    screen_func disk_check;
    // The error question.
    const char* error_header;
    const char* error_advice;
    const char* stop_label;
    const char* stop_text;
    const char* go_on_label;
    const char* go_on_text;
    // Stopping after an error: the install keeps its running flag and goes back, so that screen
    // asks the cancel question; otherwise the pipeline stops and Finish follows.
    bool stop_asks_to_cancel;
};

struct disk_row {
    const char* check_title;
    const char* switch_title;
    screen_func switch_back;
    screen_func switch_screen;
    screen_func check_screen;
};

struct cancel_row {
    const char* question;
    const char* stop_label;
    const char* stop_text;
    const char* go_on_label;
    const char* go_on_text;
    bool deletes_copy;   // the partial copy goes with the install
};

const char* const redo_advice =
    "\n\nYou can click Go Back and use the repair and add-remove scenery functions to try to reinstall any missing or "
    "damaged files.";

const install_row install_rows[disc_flow_count] = {
    {&dvd_install_is_running, dvd_run_install, dvd_scenery_install, dvd_pick_install, true, "Installing Ventaro",
     "I am installing Ventaro in %1:file path%.", "Installing: %1:file%", "Finishing up...", dvd_done_install,
     dvd_verify_disk_install, "An error occurred during installation:",
     "You can continue with the installation and attempt to repair the damaged files later, or you can cancel the "
     "installation.",
     "Cancel", "the install.", "Continue", "the install.", true},
    {&repair_is_running, dvd_install_repair, dvd_confirm_repair, dvd_confirm_repair, false, "Repairing Ventaro",
     "I am repairing %1:file path%.", "Repairing: %1:file path%", "Finishing up...", dvd_done_repair,
     dvd_verify_disk_repair, "An error occurred during the repair:",
     "Ventaro may not be usable until you are able to repair the sim without errors.", "Stop", "the repair.",
     "Continue", "the repair.", false},
    {&scenery_install_is_running, dvd_install_scenery, dvd_edit_scenery, dvd_edit_scenery, false,
     "Installing New Scenery", "I am installing new scenery for %1:install path%,", "Installing: %1:file%",
     "Finishing Up...", dvd_done_scenery, dvd_verify_disk_scenery, "An error occurred during scenery installation:",
     "You can continue with the installation and attempt to reinstall the damaged files later, or you can stop the "
     "installation",
     "Stop", "the scenery install.", "Continue", "the scenery install.", false},
};

const disk_row disk_rows[disc_flow_count] = {
    {"Installing Ventaro - Checking DVD...", "Installing Ventaro - Please Change DVDs", dvd_scenery_install,
     dvd_switch_disk_install, dvd_verify_disk_install},
    {"Repairing Ventaro - Checking DVD", "Repairing Ventaro - Please Change DVDs", dvd_confirm_repair,
     dvd_switch_disk_repair, dvd_verify_disk_repair},
    {"Installing Scenery - Verifying DVD", "Installing Scenery - Please change DVDs", dvd_edit_scenery,
     dvd_switch_disk_scenery, dvd_verify_disk_scenery},
};

const cancel_row cancel_rows[disc_flow_count] = {
    {"Are you sure you want to cancel the installation?  This will delete the partially installed copy of Ventaro 9.",
     "Cancel", "the installation and delete partial installation.", "Continue", "the installation process.", true},
    {"Are you sure you want to stop the repair operation?  Ventaro may not be usable until repairs are complete.  You "
     "can run the repair operation on Ventaro again later to complete repairs.",
     "Stop", "the repair operation.", "Continue", "the repair operation.", false},
    {"Are you sure you want to stop scenery installation?  You can add or remove more scenery later.", "Stop",
     "the scenery install.", "Continue", "the scenery install.", false},
};

// The scenery row's texts follow what the map's choice added and removed: [something to get]
// [something to delete].
const char* const scenery_success[2][2] = {
    {"I have successfully updated scenery to match your choices on the map.",
     "I have successfully removed scenery to match your choices on the map."},
    {"I have successfully installed more scenery to match your choices on the map.",
     "I have successfully added and removed scenery to match your choices on the map."},
};
const char* const scenery_failure[2][2] = {
    {"There were errors while updating your scenery.", "There were errors while removing your scenery."},
    {"There were errors while installing your scenery.", "There were errors while adding and removing your scenery."},
};

struct done_row {
    const char* title;
    const char* success;   // %1 the copy; none: the scenery table
    const char* failure;   // none: the scenery table
};

const done_row done_rows[disc_flow_count] = {
    {"Finished Installing Ventaro", "Installation was successful.",
     "There were errors during the install; your copy of Ventaro may not be usable."},
    {"Finished Repairing Ventaro.", "I have finished repairing %1:install path% - click Go Back to return to the main "
                                    "menu.",
     "There were errors during the repair; your copy of Ventaro may not be usable."},
    {"Finished With Add/Remove Scenery", nullptr, nullptr},
};

// Per flow: the next manifest index handed to the pipeline, and the folder the running install
// writes (the one a cancel may delete).
struct install_progress {
    int f = 0;
    std::string copy;
};
install_progress progress_of[disc_flow_count];

bool kill_pipeline() { return install_files_kill() != 0; }

void scan_destination() {
    int counter = 0;
    float fraction = 0;
    while (!checksum_directory(counter, 0, fraction)) {
    }
}

}  // namespace

int disk_space_drawn(const std::string& enough, const std::string& too_small) {
    const int ok = UTIL_disk_space(enough, too_small);
    OGL_string(50, 220, 130, UTIL_disk_space_text(), 560, cs_regular, just_left);
    return ok;
}

int disc_install_screen(disc_flow flow, int, wizard_screen& w) {
    const install_row& row = install_rows[flow];
    install_progress& p = progress_of[flow];
    if (!*row.running) {
        p.f = 0;
        xer << "Starting install at " << (double)xtim_class::microsecs() / 1e6 << "\n";
        if (!choose_files()) {
            w.next_screen = row.step_back;
            return 1;
        }
        if (make_dirs() != 0) {
            w.next_screen = row.make_dirs_failed;
            return 1;
        }
        if (row.registers) register_new_ventaro();
        delete_files();
        p.copy = dest_dir_path;
        *row.running = 1;
        num_install_errors = 0;
    }
    wizard_title(w, row.title);
    w.quit_func = kill_pipeline;
    const int r = install_files(p.f, current_disk);
    const int n = (int)sim_info.size();
    switch (r) {
        case 0:
            w.back_screen = row.step_back;
            w.next_screen = nullptr;
            w.text = UTL_string_sub(tr(row.busy_text), dest_dir_path);
            if (p.f < 0) w.progress = 0;
            else if (p.f >= n) w.progress = 1;
            else w.progress = sim_info[p.f].current().progress_weight;
            w.progress_text = p.f >= 0 && p.f < n ? UTL_string_sub(tr(row.file_text), sim_info[p.f].current().path)
                                                  : tr(row.finishing_text);
            return 0;
        case 1:
            w.back_screen = nullptr;
            w.next_screen = row.finish;
            *row.running = 0;
            return 1;
        case 2:
            want_file_disk = p.f;
            w.next_screen = row.disk_check;
            return 1;
        case 3: {
            ++num_install_errors;
            const int answer = UTIL_cancel_install(tr(row.error_header), tr(row.error_advice), tr(row.stop_label),
                                                   tr(row.stop_text), tr(row.go_on_label), tr(row.go_on_text));
            if (answer == 0) return 0;
            if (row.stop_asks_to_cancel) {
                w.next_screen = row.step_back;
                return 1;
            }
            install_files_kill();
            *row.running = 0;
            w.next_screen = row.finish;
            return 1;
        }
        default: return 0;
    }
}

int disc_verify_screen(disc_flow flow, int, wizard_screen& w) {
    wizard_title(w, disk_rows[flow].check_title);
    w.next_screen = UTIL_verify_disk() ? install_rows[flow].install_screen : disk_rows[flow].switch_screen;
    return 1;
}

int disc_switch_screen(disc_flow flow, int first_frame, wizard_screen& w) {
    const int d = UTIL_switch_disk(first_frame);
    wizard_title(w, disk_rows[flow].switch_title);
    w.text = UTL_string_sub(tr("Please insert DVD number %1:disk number% and click continue."), int_str(d + 1));
    w.back_screen = disk_rows[flow].switch_back;
    w.next_screen = disk_rows[flow].check_screen;
    return 0;
}

bool disc_cancel_question(disc_flow flow, wizard_screen& w) {
    const install_row& row = install_rows[flow];
    if (!*row.running) return false;
    const cancel_row& c = cancel_rows[flow];
    if (abort_alert(tr(c.question), tr(c.stop_label), tr(c.stop_text), tr(c.go_on_label), tr(c.go_on_text)) == 0) {
        w.next_screen = row.install_screen;
        return true;
    }
    install_files_kill();
    install_progress& p = progress_of[flow];
    // Only the folder this install created goes, whatever dest_dir_path says by now; the user is
    // told when it cannot be deleted.
    if (c.deletes_copy && !p.copy.empty()) {
        if (const int err = delete_folder_tree(p.copy))
            MACIBM_alert(0,
                         UTL_string_sub(tr("I could not delete the partially installed copy of Ventaro 9 at %1:file "
                                           "path%."),
                                        p.copy),
                         tr("Error: ") + error_sentence(err), "", "", t_warn);
    }
    p.copy.clear();
    *row.running = 0;
    return false;
}

int disc_done_screen(disc_flow flow, int, wizard_screen& w) {
    const done_row& row = done_rows[flow];
    wizard_title(w, row.title);
    const int got = stg.files_to_get > 0 ? 1 : 0;
    const int deleted = stg.files_to_delete > 0 ? 1 : 0;
    if (num_install_errors <= 0) {
        w.text = row.success ? UTL_string_sub(tr(row.success), dest_dir_path) : tr(scenery_success[got][deleted]);
        w.choice_labels.push_back(tr("Run Ventaro Now"));
        w.choice_screens.push_back(dvd_do_run_sim);
    } else if (row.failure) {
        w.text = tr(std::string(row.failure) + redo_advice);
    } else {
        w.text = tr(scenery_failure[got][deleted]) + tr(std::string("  Your copy of Ventaro may not be usable.") + redo_advice);
    }
    w.back_screen = dvd_start;
    w.next_screen = wizard_quit;
    return 0;
}

int UTIL_switch_disk(int first_frame) {
    if (first_frame && !dvd_path.empty()) {
        eject_dvd(dvd_path);
        dvd_path.clear();
    }
    if (want_file_disk < 0 || want_file_disk >= (int)sim_info.size()) return 0;
    return sim_info[want_file_disk].current().disk;
}

bool UTIL_verify_disk() {
    if (dvd_path.empty()) locate_install_dvd();
    // No disc: nothing to test, and never a path relative to wherever the program runs.
    if (dvd_path.empty()) return false;
    if (want_file_disk < 0 || want_file_disk >= (int)sim_info.size()) return false;
    const file_version_struct& c = sim_info[want_file_disk].current();
    if (!file_exists(dvd_path + install_name + "/" + c.path + suffix_for_file(want_file_disk))) return false;
    current_disk = c.disk;
    return true;
}

int UTIL_cancel_install(const std::string& header, const std::string& advice, const std::string& label1,
                        const std::string& text1, const std::string& label2, const std::string& text2) {
    std::string message;
    const int code = install_files_get_error(message);
    const std::string question =
        header + "\n\n" + message + " (" + error_str(code) + ")" + "\n\n" + advice;
    return abort_alert(question, label1, text1, label2, text2);
}

int dvd_pick_install(int first_frame, wizard_screen& w) {
    int changed = 0;
    if (first_frame) {
        get_OS_abs_path(os_dir_desktop, desktop_f);
        accept_eula = 0;
        set_dvd_install_steps();
        changed = 1;
    }
    if (parent_dir.empty()) {
        get_OS_abs_path(os_dir_default_apps, parent_dir);
        install_folder = install_name;
        changed = 1;
    }
    wizard_title(w, "Pick Install Destination for %1:install%.", &install_name);
    w.back_screen = dvd_start;
    w.next_screen = see_eula;

    const std::string change_label = tr("Change Destination");
    const int bw = (int)(OGL_measure_string(change_label) + 21.0f);
    const std::string name_label = tr("Install Name:");
    const int lw = (int)OGL_measure_string(name_label);
    if (BTN_action(290, 203, (float)bw, 0, 1, change_label, "-")) {
        if (GetFilePathFromUser(2, tr("Pick a folder to install Ventaro 9 into."), tr("Select"), 1, parent_dir,
                                parent_dir)) {
            changed = 1;
            if (parent_dir != "/") parent_dir += "/";
        }
    }
    const int tx = (int)(bw * 0.5 + 300 + 10 + lw);
    if (BTN_enterstring((float)tx, 200, &install_folder, 256, "-" + name_label, (float)(760 - tx), 0)) changed = 1;

    if (!new_destination_text(w, parent_dir, install_folder, desktop_f,
                              tr("Please use Change Destination to pick a folder for Ventaro 9.")))
        return 0;
    if (changed) {
        scan_destination();
        set_install_filter(1, 1);
        scenery_take_none();
        recalc_disk_sizes();
    }
    disk_space_drawn(tr("You have enough free disk space to install Ventaro 9 at this location."),
                     tr("You do not have enough free disk space to install Ventaro 9 at this location.  You can "
                        "install to a different location, or save disk space by installing only some of the global "
                        "scenery."));
    return 0;
}

int dvd_scenery_install(int first_frame, wizard_screen& w) {
    if (first_frame) {
        if (disc_cancel_question(flow_install, w)) return 1;
        scan_destination();
        recalc_disk_sizes();
    }
    UTIL_world_map();
    w.text = tr("Please pick the scenery you would like to install now.  You can use this installer to add more "
                "scenery or remove scenery later.  If you fly into an area with no scenery installed, you will see "
                "only ocean.\n\nClick on the world map to pick select regions to install.");
    wizard_title(w, "Select Scenery");
    w.back_screen = see_eula;
    w.next_screen = dvd_run_install;
    if (!disk_space_drawn(tr("You have enough free disk space to install Ventaro 9 with the selected scenery."),
                          tr("You do not have enough free disk space to install Ventaro 9 with the selected scenery; "
                             "change the install location to another hard driver or select less scenery.")))
        w.next_screen = nullptr;
    return 0;
}

int dvd_run_install(int first_frame, wizard_screen& w) { return disc_install_screen(flow_install, first_frame, w); }
int dvd_verify_disk_install(int first_frame, wizard_screen& w) {
    return disc_verify_screen(flow_install, first_frame, w);
}
int dvd_switch_disk_install(int first_frame, wizard_screen& w) {
    return disc_switch_screen(flow_install, first_frame, w);
}
int dvd_done_install(int first_frame, wizard_screen& w) { return disc_done_screen(flow_install, first_frame, w); }

void dvd_install_reset_for_test() {
    parent_dir.clear();
    install_folder.clear();
    desktop_f.clear();
    dvd_install_is_running = 0;
    repair_is_running = 0;
    scenery_install_is_running = 0;
    num_install_errors = 0;
    want_file_disk = 0;
    current_disk = 0;
    for (auto& p : progress_of) p = install_progress{};
}

void dvd_set_install_folder_for_test(const std::string& name) { install_folder = name; }
