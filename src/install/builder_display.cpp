#include "install/builder_display.h"

builder_display g_builder_display;

void builder_show_progress(const std::string& line1, const std::string& line2) {
    if (g_builder_display.show_strip) g_builder_display.show_strip(line1, line2);
    if (g_builder_display.quit_key_hit && g_builder_display.quit_key_hit())
        BUILDER_CRASH("You hit Q dumbass!", "", "", "");
}
