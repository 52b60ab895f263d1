#pragma once
// What the install-set builder shows while it works, and how it stops. The builder runs on the
// main thread from start to end without frames; the program that runs it draws its progress
// strip and looks for the quit key through these hooks. Without them (tools, tests) nothing is
// drawn and nothing is polled.
#include <string>

#include "core/alert.h"

struct builder_display {
    // Draws the strip with its two lines along the window's bottom and swaps the buffers.
    void (*show_strip)(const std::string& line1, const std::string& line2) = nullptr;
    // Takes one event from the queue; 1 when it was the Q key going down.
    int (*quit_key_hit)() = nullptr;
};

extern builder_display g_builder_display;

// The strip, then one look for the quit key (which ends the build with a crash alert).
void builder_show_progress(const std::string& line1, const std::string& line2);

// Every inconsistency ends the build; the alerts name the builder's own source.
#define BUILDER_CRASH(l1, l2, l3, l4) \
    __MACIBM_alert(0, (l1), (l2), (l3), (l4), t_crash, "Installer-f/make_installer", __LINE__)
#define BUILDER_WARN(l1, l2, l3, l4) \
    __MACIBM_alert(0, (l1), (l2), (l3), (l4), t_warn, "Installer-f/make_installer", __LINE__)
