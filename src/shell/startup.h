#pragma once
// Start-up and shutdown of the framework.
#include <string>

// Brings the framework up in its fixed order: log and its header, command line, thread layer,
// display mode, window and OpenGL context, capabilities, tables, language, key bindings.
void MACIBM_init(int argc, char** argv);
// enter 1: full screen on a display under 1024x768; 0: back to the display's own mode.
void MACIBM_setres(int enter);
// One splash frame, only while plot_init_lights is set; fraction < 0: advance 1% per call.
void MACIBM_show_init(const std::string& message, float fraction = -1.0f);
void MACIBM_setupforlang();
void IBM_turnoff();

extern float randrat[100000];

// The places of start-up that later layers fill in; empty ones are skipped.
struct startup_hooks_t {
    // Loads map.png (363) and background.png (364), decodes interface.png into the staging buffer,
    // uploads it (359) and takes the theme colours from it. The texture layer fills this in.
    void (*load_interface_art)() = nullptr;
    void (*texture_manager_init)() = nullptr;      // the texture manager's start-up
    void (*menus_reset)() = nullptr;               // the menu table's 1520 empty slots
    // Draws the splash (frame, web address, progress bar, message) before the swap.
    void (*splash_draw)(const std::string& message, float fraction) = nullptr;
};
extern startup_hooks_t startup_hooks;

// MACIBM_finishup, which takes it down again, is in core/shell_services.h.
#include "core/shell_services.h"
