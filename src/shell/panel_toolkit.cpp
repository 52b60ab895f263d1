// The shell's modal panels drawn with the widget toolkit.
#include "shell/panel_toolkit.h"

#include "render/background.h"
#include "ui/buttons.h"
#include "ui/frames.h"
#include "ui/tt_font.h"

void panel_draw_background(bool inner_frame) {
    OGL_plot_back_col();
    BTN_fillwin(1, 24);
    if (!inner_frame) return;
    // From (10, 35) to 10 units short of the right edge and 28 below the top.
    float next_x = 0, next_y = 0;
    BTN_subwin(0, 16, 10, 35, -1, -1, "", &next_x, &next_y);
}

void panel_text(int colour, float x, float y, const std::string& text, float wrap_width, int just) {
    OGL_string(colour, x, y, text, wrap_width, cs_regular, static_cast<just_t>(just));
}

float panel_measure(const std::string& text) { return OGL_measure_string(text); }

int panel_button(float x, float y, const std::string& label) { return BTN_action(x, y, 0, 0, 1, label, "-"); }

void panel_radio(float x, float y, int* target, int value, const std::string& label) {
    BTN_is_int(x, y, target, value, label);
}
