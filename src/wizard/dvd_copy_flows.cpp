#include "wizard/dvd_copy_flows.h"

#include <algorithm>
#include <string>

#include "core/localisation.h"
#include "install/checksum.h"
#include "install/dvd_install.h"
#include "install/install_filter.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "wizard/dvd_install_flow.h"
#include "wizard/dvd_menu.h"
#include "wizard/text_helpers.h"
#include "wizard/world_map.h"

namespace {

std::string tr(const std::string& s) { return UTL_translate_string(s, 0); }

// The scan's counter: how far the scan has queued the manifest. A new scan starts from 0.
int ctr = 0;
int num_file_install = 0;

const copy_pick_row repair_pick = {"Repair Ventaro 9", dvd_scan_repair,
                                   "Please pick which copy of Ventaro 9 you would like to repair.", false,
                                   set_repair_steps};
const copy_pick_row scenery_pick = {"Select Ventaro 9 to Add or Remove Scenery", dvd_scan_scenery,
                                    "Please pick which copy of Ventaro 9 you would like to add scenery to.", false,
                                    set_scenery_steps};

// One scan of the copy: which files, how closely, and where the screen leads.
struct scan_row {
    int want_sim;
    int want_global;
    int quick;   // only test that each file exists
    const char* title;
    const char* text;   // %1 the copy
    screen_func next;
    screen_func back;
};

const scan_row repair_scan = {
    1, 0, 0, "Scanning Ventaro for Problems",
    "I am scanning %1:folder% for missing or damaged files.\n\nNote: if you have updated this copy of Ventaro from "
    "the Internet, the repair operation will remove the updates.  Once the repair has finished, you should reapply "
    "the updates from the web.",
    dvd_confirm_repair, dvd_pick_repair};
const scan_row scenery_scan = {
    0, 1, 1, "Scanning Ventaro 9 for Installed Scenery",
    "I am scanning %1:install folder% to see what scenery you already have installed.\n\nNote: I am only checking "
    "for the scenery already installed from your DVDs.  This scan will not show any custom scenery downloaded from "
    "the internet.",
    dvd_edit_scenery, dvd_pick_scenery};

int scan_screen(const scan_row& row, int first_frame, wizard_screen& w) {
    if (first_frame) {
        ctr = 0;
        set_install_filter(row.want_sim, row.want_global);
    }
    wizard_title(w, row.title);
    w.text = UTL_string_sub(tr(row.text), dest_dir_path);
    // Quit waits for the scan's tasks, then the program ends.
    w.quit_func = [] { return checksum_directory_kill() != 0; };
    float fraction = 0;
    if (checksum_directory(ctr, row.quick, fraction)) {
        w.back_screen = nullptr;
        w.next_screen = row.next;
        return 1;
    }
    w.progress = std::clamp(fraction, 0.0f, 1.0f);
    w.progress_text = UTL_string_sub(tr("Scanning %1:number% of %2:total% files."), int_str(ctr),
                                     int_str((int)sim_info.size()));
    w.back_screen = row.back;
    w.next_screen = nullptr;
    return 0;
}

// Files the repair will put in place: wanted, not as the manifest has them, and not one the
// release no longer ships (that one is deleted, or already absent, never installed).
int count_repairs() {
    int n = 0;
    for (int i = 0; i < (int)sim_info.size(); ++i) {
        const file_version_struct& c = sim_info[i].current();
        if (c.match || c.sig_want == "GONE") continue;
        if (want_this_f(i, (int)sim_info[i].versions.size() - 1)) ++n;
    }
    return n;
}

}  // namespace

void set_repair_steps() {
    set_disc_steps({{"Welcome", dvd_start},
                    {"Select Ventaro", dvd_pick_repair},
                    {"Scan For Problems", dvd_scan_repair},
                    {"Confirm Repairs", dvd_confirm_repair},
                    {"Repair Ventaro", dvd_install_repair},
                    {"Finish", dvd_done_repair}});
}

void set_scenery_steps() {
    set_disc_steps({{"Welcome", dvd_start},
                    {"Select Ventaro", dvd_pick_scenery},
                    {"Scan Existing Scenery", dvd_scan_scenery},
                    {"Select New Scenery", dvd_edit_scenery},
                    {"Install Scenery", dvd_install_scenery},
                    {"Finish", dvd_done_scenery}});
}

int dvd_pick_repair(int first_frame, wizard_screen& w) { return copy_pick_screen(repair_pick, first_frame, w); }
int dvd_scan_repair(int first_frame, wizard_screen& w) { return scan_screen(repair_scan, first_frame, w); }

int dvd_confirm_repair(int first_frame, wizard_screen& w) {
    if (first_frame) {
        if (disc_cancel_question(flow_repair, w)) return 1;
        recalc_disk_sizes();
        num_file_install = count_repairs();
    }
    wizard_title(w, "Confirm Repairs");
    w.text = UTL_string_sub(UTL_translate_plural(num_file_install,
                                                 "I need to install approximately %1:count% file to repair %2:path%.",
                                                 "I need to install approximately %1:count% files to repair %2:path%."),
                            int_str(num_file_install), dest_dir_path);
    w.back_screen = dvd_pick_repair;
    w.next_screen = dvd_install_repair;
    if (!disk_space_drawn(tr("You have enough free disk space to repair this copy of Ventaro."),
                          tr("You do not have enough free disk space to repair this copy of Ventaro.")))
        w.next_screen = nullptr;
    if (w.next_screen) w.text += tr("\n\nClick continue to begin repairing Ventaro.");
    return 0;
}

int dvd_install_repair(int first_frame, wizard_screen& w) { return disc_install_screen(flow_repair, first_frame, w); }
int dvd_verify_disk_repair(int first_frame, wizard_screen& w) {
    return disc_verify_screen(flow_repair, first_frame, w);
}
int dvd_switch_disk_repair(int first_frame, wizard_screen& w) {
    return disc_switch_screen(flow_repair, first_frame, w);
}
int dvd_done_repair(int first_frame, wizard_screen& w) { return disc_done_screen(flow_repair, first_frame, w); }

int dvd_pick_scenery(int first_frame, wizard_screen& w) { return copy_pick_screen(scenery_pick, first_frame, w); }
int dvd_scan_scenery(int first_frame, wizard_screen& w) { return scan_screen(scenery_scan, first_frame, w); }

int dvd_edit_scenery(int first_frame, wizard_screen& w) {
    if (first_frame) {
        if (disc_cancel_question(flow_scenery, w)) return 1;
        // Each visit starts from what the copy has: changes left behind are forgotten.
        scenery_from_install();
        recalc_disk_sizes();
    }
    UTIL_world_map();
    w.text = tr("Click on the world map to select what scenery you would like to install.  Scenery that you deselect "
                "will be removed; scenery that you select will be installed.  If you fly into an area with no "
                "scenery installed, you will see only ocean.");
    wizard_title(w, "Select Scenery");
    w.back_screen = dvd_pick_scenery;
    w.next_screen = dvd_install_scenery;
    if (!disk_space_drawn(tr("You have enough free disk space to install this scenery."),
                          tr("You do not have enough free disk space to install this scenery.")))
        w.next_screen = nullptr;
    return 0;
}

int dvd_install_scenery(int first_frame, wizard_screen& w) {
    return disc_install_screen(flow_scenery, first_frame, w);
}
int dvd_verify_disk_scenery(int first_frame, wizard_screen& w) {
    return disc_verify_screen(flow_scenery, first_frame, w);
}
int dvd_switch_disk_scenery(int first_frame, wizard_screen& w) {
    return disc_switch_screen(flow_scenery, first_frame, w);
}
int dvd_done_scenery(int first_frame, wizard_screen& w) { return disc_done_screen(flow_scenery, first_frame, w); }

int repair_file_count() { return num_file_install; }

void dvd_copy_flows_reset_for_test() {
    checksum_directory_kill();
    ctr = 0;
    num_file_install = 0;
}
