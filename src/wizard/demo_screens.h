#pragma once
// The web demo flow, the road the installer starts on: Welcome, License, Check Servers, Pick
// Destination, Install, Finish; and the launch of an installed copy, shared with the other flows.
#include <string>

#include "wizard/wizard_frame.h"

extern int accept_eula;               // the licence check box
extern int demo_install_is_running;   // from the start of the install work until it ends or is cancelled

int demo_start(int first_frame, wizard_screen& screen);
int see_eula(int first_frame, wizard_screen& screen);
int demo_get_updates(int first_frame, wizard_screen& screen);
int demo_pick_dest(int first_frame, wizard_screen& screen);
int demo_run_patch(int first_frame, wizard_screen& screen);
int demo_done(int first_frame, wizard_screen& screen);
int dvd_do_run_sim(int first_frame, wizard_screen& screen);
// Where Back leads from a launch that failed: the screen that offered it (the demo's Finish unless
// another road's screen says otherwise).
extern screen_func launch_back_screen;
// Quit on the Install screen: false keeps installing; true deletes the partial copy and lets the
// program end.
bool demo_run_quit_func();

// A name for a new copy's folder that would leave its parent folder or hold bytes no file name
// should.
bool bad_install_name(const std::string& name);

// Checks install_folder inside parent_dir as a new copy's folder, sets dest_dir_path and the
// screen's text; false (and Next off) when no new folder can be made there. no_parent_text is
// shown when no parent folder is known.
bool new_destination_text(wizard_screen& w, const std::string& parent_dir, const std::string& install_folder,
                          const std::string& desktop_f, const std::string& no_parent_text);

// The licence the License screen shows, filled with the maker's web host.
std::string eula_text();
// Forgets the screens' remembered choices (tests start each case from nothing).
// Test seam: the install name as if typed into its field.
void demo_set_install_name_for_test(const std::string& name);
void demo_screens_reset_for_test();
