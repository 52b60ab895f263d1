#pragma once
// Installing a new copy from the install discs: Pick Destination, Select Scenery (the world map),
// Install with its disc check and disc change, and Finish. The install screen, the disc screens,
// the question asked when stepping back from a running install and the Finish screen are
// families: each flow that installs from the discs is one row of their tables.
#include <string>

#include "wizard/wizard_frame.h"

extern int dvd_install_is_running;   // from the install's preparation until it ends or is cancelled
extern int repair_is_running;        // the same for a repair
extern int scenery_install_is_running;   // the same for adding and removing scenery
extern int num_install_errors;       // failed files of the current install; read by Finish
extern int want_file_disk;           // manifest index of the file that needs another disc
extern int current_disk;             // the disc believed to be in the drive, from 0

int dvd_pick_install(int first_frame, wizard_screen& screen);
int dvd_scenery_install(int first_frame, wizard_screen& screen);
int dvd_run_install(int first_frame, wizard_screen& screen);
int dvd_verify_disk_install(int first_frame, wizard_screen& screen);
int dvd_switch_disk_install(int first_frame, wizard_screen& screen);
int dvd_done_install(int first_frame, wizard_screen& screen);

// On the first frame ejects the disc and forgets its volume; the disc (from 0) that holds the
// file want_file_disk.
int UTIL_switch_disk(int first_frame);
// True when the archive of the file want_file_disk is on the disc now mounted; current_disk then
// becomes that file's disc. With no disc mounted the answer is false.
bool UTIL_verify_disk();
// The pipeline's last error in the two-button question: 1 first button, 0 second, 3 when the
// question closed another way.
int UTIL_cancel_install(const std::string& header, const std::string& advice, const std::string& label1,
                        const std::string& text1, const std::string& label2, const std::string& text2);

// The flows that install from the discs.
enum disc_flow { flow_install = 0, flow_repair, flow_scenery, disc_flow_count };

// The disk figures under a screen's text, with the verdict sentence; 0 when the volume has too
// little room (what that means for Next is the screen's to say).
int disk_space_drawn(const std::string& enough, const std::string& too_small);

// The install screen of a flow: prepares the install once, then polls the pipeline every frame.
int disc_install_screen(disc_flow flow, int first_frame, wizard_screen& screen);
// The disc check and the disc change of a flow.
int disc_verify_screen(disc_flow flow, int first_frame, wizard_screen& screen);
int disc_switch_screen(disc_flow flow, int first_frame, wizard_screen& screen);
// Asked on the first frame of the screen before a running install: true when the user chose to
// go on (Next is then the install screen and the caller returns 1 at once).
bool disc_cancel_question(disc_flow flow, wizard_screen& screen);
// The Finish screen of a flow.
int disc_done_screen(disc_flow flow, int first_frame, wizard_screen& screen);

// Forgets the screens' remembered choices and the install's state (tests start from nothing).
void dvd_install_reset_for_test();
// Test seam: the install name as if typed into its field.
void dvd_set_install_folder_for_test(const std::string& name);
