#pragma once
// Display modes: counting and reading the displays, switching a display to the best mode for a
// wanted size while remembering the mode it had before the program first switched it, restoring
// that mode, and the list of full-screen modes a settings screen offers.
#include <map>
#include <string>
#include <vector>

#include "platform/display_modes.h"

struct monitor_res_struct {
    int width = 0;
    int height = 0;
    int bpp = 0;
    int refresh = 0;   // hertz; below 2 the name leaves it out
    std::string name;
};

extern std::vector<monitor_res_struct> g_res_vec;
// The mode each display had before this program first switched it.
extern std::map<int, platform::display_mode> s_orig_modes;

void MACIBM_get_res_now(int& width, int& height, int& bpp, int& refresh);
int MACIBM_set_monitor_res(int width, int height, int bpp, int refresh);
void MACIBM_find_monitor_modes();
void add_mode_if_needed(int width, int height, int bpp, int refresh);
int MACIBM_get_picked_mode();
int MACIBM_set_picked_mode(int index);
int UTL_count_monitors();
// Display identifier of display n; -1 when n is not an active display.
int get_nth_display(int n);
void UTL_get_monitor_res(int n, int* x, int* y, int* width, int* height, int* bpp, int* refresh);
int UTL_set_monitor_res(int n, int width, int height, int bpp, int refresh);
void UTL_restore_monitor_res(int n);
void UTL_get_all_monitor_modes(int n, void (*callback)(int width, int height, int bpp, int refresh));
