#pragma once
// The disc flows that work on a copy already installed: repairing it, and adding or removing its
// global scenery. Each picks the copy, scans it, lets the person confirm or choose, and installs
// from the discs through the install, disc and Finish families of the disc install.
#include "wizard/wizard_frame.h"

int dvd_pick_repair(int first_frame, wizard_screen& screen);
int dvd_scan_repair(int first_frame, wizard_screen& screen);
int dvd_confirm_repair(int first_frame, wizard_screen& screen);
int dvd_install_repair(int first_frame, wizard_screen& screen);
int dvd_verify_disk_repair(int first_frame, wizard_screen& screen);
int dvd_switch_disk_repair(int first_frame, wizard_screen& screen);
int dvd_done_repair(int first_frame, wizard_screen& screen);

int dvd_pick_scenery(int first_frame, wizard_screen& screen);
int dvd_scan_scenery(int first_frame, wizard_screen& screen);
int dvd_edit_scenery(int first_frame, wizard_screen& screen);
int dvd_install_scenery(int first_frame, wizard_screen& screen);
int dvd_verify_disk_scenery(int first_frame, wizard_screen& screen);
int dvd_switch_disk_scenery(int first_frame, wizard_screen& screen);
int dvd_done_scenery(int first_frame, wizard_screen& screen);

// The repair's and the scenery flow's step lists, written by their copy-picking screens.
void set_repair_steps();
void set_scenery_steps();

// The number of files Confirm Repairs last counted.
int repair_file_count();

// Forgets the scan's counter and the repair's count (tests start from nothing).
void dvd_copy_flows_reset_for_test();
