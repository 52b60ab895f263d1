#include "wizard/wizard_frame.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "core/app_globals.h"
#include "core/frame_clock.h"
#include "core/localisation.h"
#include "core/mouse_record.h"
#include "platform/test_switches.h"
#include "render/gl_api.h"
#include "render/ogl_draw.h"
#include "render/palette.h"
#include "render/tex_flags.h"
#include "shell/event_pump.h"
#include "shell/native_ui.h"
#include "ui/buttons.h"
#include "ui/frames.h"
#include "render/panel_record.h"
#include "ui/tt_font.h"
#include "wizard/demo_screens.h"
#include "wizard/prefs_panel.h"

screen_func g_wizard = demo_start;
std::vector<std::string> step_names;
std::vector<screen_func> step_funcs;

const char* const order_page_url = "http://" VENTARO_SERVER_HOST "/order.html";

namespace {

screen_func last = nullptr;
std::string title_english;

enum bar_label { label_quit = 0, label_back = 1, label_next = 2, label_order = 5, label_prefs = 6 };

// Rows of the art, t at the bottom and top edge: hovered, held, normal or disabled.
constexpr float look_t[3][2] = {{0.0f, 0.171875f}, {0.1796875f, 0.3515625f}, {0.359375f, 0.53125f}};

// The screen log's line for this frame, written once the frame is swapped.
std::string pending_log;

// How the current screen's frames spent their time, for the frame log.
struct screen_timing {
    int frames = 0;
    uint64_t work_us = 0, other_us = 0, longest_other_us = 0;
    uint64_t last_end = 0;   // when the screen's last call returned
};
screen_timing timing;

void log_frames(const std::string& title) {
    std::printf("frames: %s frames=%d work_ms=%.1f other_ms=%.1f longest_other_ms=%.1f\n", title.c_str(),
                timing.frames, timing.work_us / 1000.0, timing.other_us / 1000.0, timing.longest_other_us / 1000.0);
    std::fflush(stdout);
}

// The window's close button was pressed; the next wizard frame acts on it as on Quit.
bool close_pending = false;

// Quit, or the close button: ends the program unless the screen's quit_func keeps it running.
// A last screen has no Quit and asks nothing.
void quit_pressed(const wizard_screen& w) {
    close_pending = false;   // one question for a press and a close of the same moment
    if (w.next_screen == wizard_quit || !w.quit_func || w.quit_func()) app_done = 1;
}

void log_screen(const wizard_screen& w) {
    pending_log = "screen: " + title_english;
    if (w.title != title_english) pending_log += " = " + w.title;
    pending_log += "\n";
    if (w.text.empty()) return;
    // One line, whatever the text: its line ends are written as "\n".
    pending_log += "text: ";
    for (const char ch : w.text) {
        if (ch == '\n') pending_log += "\\n";
        else pending_log += ch;
    }
    pending_log += "\n";
}

void draw_background() {
    const float W = (float)wins.win_px_w, H = (float)wins.win_px_h;
    OGL_2dquad(tex_ref_background, 113, 1.0f, 0, H, 0, H / 1024, W, H, W / 1024, H / 1024, W, 0, W / 1024, 0, 0, 0,
               0, 0, 1, ogl_al_none, 0);
}

void draw_step_list() {
    for (size_t i = 0; i < step_names.size(); ++i) {
        const bool here = i < step_funcs.size() && step_funcs[i] == g_wizard;
        OGL_string(here ? 73 : 50, 30, 480 - 20.0f * (float)i, step_names[i], 170, here ? cs_bold : cs_regular,
                   just_left);
    }
}

void draw_progress(const wizard_screen& w) {
    if (!(w.progress >= 0) || !std::isfinite(w.progress)) return;   // no bar, and no NaN or endless fill
    float fill = 520 * (0.96f * w.progress + 0.04f);
    if (fill > 520) fill = 520;
    BTN_frame1(4, 500 - wins.off_x, 155 - wins.off_y, 520, 0);
    BTN_frame1(5, 240 + fill / 2 - wins.off_x, 155 - wins.off_y, fill, 0);
    OGL_string(12, 242, 120, w.progress_text, 520, cs_regular, just_left);
}

// The bottom bar; writes g_wizard for Next and Back. True when the Preferences panel was open.
bool draw_bottom_bar(const wizard_screen& w) {
    bool prefs_shown = false;
    const bool last_screen = w.next_screen == wizard_quit;
    if (!last_screen) {
        int q = 0;
        if (interface_rect(30, 12, label_quit, 1, &q, 1, 0)) quit_pressed(w);
        int p = 0;
        if (interface_rect((float)(q + 40), 12, label_prefs, 1, &p, w.show_prefs, w.show_prefs ? 0 : 2) &&
            w.show_prefs) {
            handle_prefs();
            prefs_shown = true;
        }
    }
    if (interface_rect(400, 12, label_order, 0, nullptr, 1, 0)) go_to_URL(order_page_url);
    int n = 0;
    const int has_next = w.next_screen != nullptr;
    if (interface_rect(770, 12, last_screen ? label_quit : label_next, -1, &n, has_next, has_next ? 0 : 2) &&
        has_next)
        g_wizard = w.next_screen;
    const int has_back = w.back_screen != nullptr;
    if (interface_rect((float)(760 - n), 12, label_back, -1, nullptr, has_back, has_back ? 0 : 2) && has_back)
        g_wizard = w.back_screen;
    return prefs_shown;
}

// Everything behind the screen's own content.
void draw_backdrop() {
    colr.col_assign(113, 1, 1, 1);
    draw_background();
    BTN_frame2(23, 10, 50, 190, 453, "", 1);
    BTN_frame2(23, 210, 50, 580, 453, "", 1);
    draw_step_list();
}

// The screen's title, text, choices, progress and the bottom bar. True when the Preferences
// panel was open in between.
bool draw_screen(const wizard_screen& w) {
    OGL_string(12, 500, 480, w.title, 540, cs_bold, just_centre);
    OGL_string(12, 230, 440, w.text, 540, cs_regular, just_left);
    for (size_t j = 0; j < w.choice_labels.size(); ++j) {
        if (BTN_action(500, 350 - 25.0f * (float)j, 250, 0, 1, w.choice_labels[j], "-") && j < w.choice_screens.size())
            g_wizard = w.choice_screens[j];
    }
    draw_progress(w);
    return draw_bottom_bar(w);
}

}  // namespace

void wizard_title(wizard_screen& screen, const std::string& english, const std::string* value) {
    title_english = value ? UTL_string_sub(english, *value) : english;
    screen.title = UTL_translate_string(english, 0);
    if (value) screen.title = UTL_string_sub(screen.title, *value);
}

void APP_update() {
    draw_backdrop();
    // The backdrop goes to the renderer now, so a software renderer paints it while the screen does
    // its work (the install screen's downloads) instead of in the buffer swap after it.
    if (gl.glFlush) gl.glFlush();
    if (!g_wizard) {
        app_done = 1;
        return;
    }

    wizard_screen w;
    const int first = g_wizard != last;
    title_english.clear();
    const screen_func called = g_wizard;
    const uint64_t call_start = xtim_class::microsecs();
    if (first) {
        timing = screen_timing{};
    } else if (timing.last_end) {
        timing.other_us += call_start - timing.last_end;
        timing.longest_other_us = std::max(timing.longest_other_us, call_start - timing.last_end);
    }
    const int result = called(first, w);
    timing.last_end = xtim_class::microsecs();
    timing.work_us += timing.last_end - call_start;
    ++timing.frames;
    last = called;
    const std::string title_called = title_english;
    if (first && platform::test_switches_now().screen_log) log_screen(w);

    if (draw_screen(w)) {
        // The panel drew over this frame: it is drawn again from what the screen gave, without
        // asking the screen a second time. Closing the panel cleared the press and the keys.
        draw_backdrop();
        draw_screen(w);
    }
    if (close_pending && !app_done) quit_pressed(w);
    if (result && w.next_screen) g_wizard = w.next_screen;
    // A new screen starts its work in the next frame (the install its downloads): no wait for
    // events in between.
    if (g_wizard != called) {
        shell_next_frame_at_once();
        if (platform::test_switches_now().frame_log) log_frames(title_called);
    }
}

void wizard_close_request() {
    if (wins.panel_id >= 994 && wins.panel_id <= 999) return;
    close_pending = true;
}

int interface_rect(float x, float y, int label, int align, int* width, int enabled, int style) {
    const int lang = mnw.lang >= 0 && mnw.lang < 6 ? mnw.lang : 0;
    const float c0 = btn_cuts[label][lang], c1 = btn_cuts[label + 1][lang];
    const float w = c1 - c0;
    if (width) *width = (int)(w + 20);
    float left = x;
    if (align == 0) left = x - w / 2;
    if (align == -1) left = x - w;
    const float right = left + w, top = y + 22;
    colr.col_assign(113, 1, 1, 1);

    const bool inside = mnw.mouse_x >= left && mnw.mouse_x <= right && mnw.mouse_y >= y && mnw.mouse_y <= top;
    int frame_style = 11, look = 2;
    if (enabled && inside) {
        frame_style = mnw.mouse_held ? 12 : 11;
        look = mnw.mouse_held ? 1 : 0;
    } else if (style == 2) {
        frame_style = 13;
    }
    BTN_frame1(frame_style, (left + right) / 2, y + 10.5f, w + 20, 0);
    const float alpha = (look == 2 && style == 2) ? 0.5f : 1.0f;
    const float s0 = c0 / 1024, s1 = c1 / 1024, tb = look_t[look][0], tt = look_t[look][1];
    OGL_2dquad(tex_ref_elements, 113, alpha, left, y, s0, tb, left, top, s0, tt, right, top, s1, tt, right, y, s1, tb, 1,
               ogl_al_blend, 0);
    // Mesa's immediate mode can keep this alpha through the next three-component colour, which
    // would draw the following button's frame half transparent.
    if (alpha < 1) gl.glColor4f(1, 1, 1, 1);
    return mnw.click_hit && inside ? 1 : 0;
}

int wizard_quit(int, wizard_screen&) {
    app_done = 1;
    return 1;
}

void wizard_screen_log_flush() {
    if (pending_log.empty()) return;
    std::fputs(pending_log.c_str(), stdout);
    std::fflush(stdout);
    pending_log.clear();
}

void function_key(int) {}

void APP_handlemenu(int) {}

void wizard_frame_reset_for_test() {
    last = nullptr;
    timing = screen_timing{};
    close_pending = false;
    title_english.clear();
    pending_log.clear();
}
