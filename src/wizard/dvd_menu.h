#pragma once
// The install disc's main menu and the Run screen. The menu waits for the first disc, reads it
// once and offers what the disc and this computer allow; the screens that pick a copy share one
// pattern, told by a row each.
#include <initializer_list>
#include <string>
#include <utility>

#include "wizard/wizard_frame.h"

int dvd_start(int first_frame, wizard_screen& screen);
int dvd_pick_run_sim(int first_frame, wizard_screen& screen);

// A disc flow's step list: its names (stored translated) and screens, in order.
void set_disc_steps(std::initializer_list<std::pair<const char*, screen_func>> steps);
// The disc install's step list, written by its first screens.
void set_dvd_install_steps();

// One screen that picks an installed copy: its title, where Next leads and the sentence that asks.
// Run moves on by itself when there is exactly one copy.
struct copy_pick_row {
    const char* title;
    screen_func next;
    const char* last_sentence;
    bool run;   // the Run screen: one copy goes straight on
    // The flow's step list, written on the first frame after any scan of the copy is stopped;
    // none for the Run screen.
    void (*set_steps)();
};
int copy_pick_screen(const copy_pick_row& row, int first_frame, wizard_screen& screen);

