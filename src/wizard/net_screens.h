#pragma once
// The web update road: Welcome, Pick Destination (without -path), Search for Updates, Check Disk
// Space, Install Updates and Finish, bringing an installed copy up to date from the mirrors.
#include "wizard/wizard_frame.h"

int net_start(int first_frame, wizard_screen& screen);
int net_pick_dest(int first_frame, wizard_screen& screen);
int net_get_updates(int first_frame, wizard_screen& screen);
int net_check_disk(int first_frame, wizard_screen& screen);
int net_run_patch(int first_frame, wizard_screen& screen);
int net_done(int first_frame, wizard_screen& screen);
// Quit on Install Updates: false keeps updating; true ends the program, leaving the copy as far as
// the update got.
bool net_run_quit_func();

// Forgets the screens' remembered state (tests start each case from nothing).
void net_screens_reset_for_test();
