#include "shell/alert_panel.h"

#include <algorithm>
#include <vector>

#include "core/alert.h"
#include "core/app_globals.h"
#include "core/localisation.h"
#include "core/mouse_record.h"
#include "platform/test_switches.h"
#include "render/gl_api.h"
#include "render/ogl_extensions.h"
#include "shell/event_pump.h"
#include "shell/panel_toolkit.h"
#include "render/panel_record.h"
#include "ui/tt_font.h"

int (*OGL_framebuffer_type_now)() = nullptr;

namespace {

// Whatever the interrupted code left open, the panel draws on a known state.
void reset_gl_for_panel() {
    if (!gl.glEnd) return;
    gl.glEnd();
    gl.glEndList();
    for (int i = 0; i < 30; ++i) gl.glGetError();
    const bool four_targets = OGL_framebuffer_type_now && OGL_framebuffer_type_now() == 2;
    if (four_targets && glExt.drawbuf_avail && glExt.glDrawBuffersARB) {
        const GLenum targets[4] = {GL_COLOR_ATTACHMENT0_EXT, GL_COLOR_ATTACHMENT1_EXT, GL_COLOR_ATTACHMENT2_EXT,
                                   GL_COLOR_ATTACHMENT3_EXT};
        glExt.glDrawBuffersARB(4, targets);
        gl.glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    } else {
        gl.glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    }
    if (glExt.shad_objs_avail && glExt.glUseProgramObjectARB) glExt.glUseProgramObjectARB(0);
    if (glExt.framebuf_avail && glExt.glBindFramebufferEXT) glExt.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    gl.glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    gl.glDisable(GL_SCISSOR_TEST);
    gl.glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

// Where an alert's four lines and its suffix sit: each paragraph at its usual height, or a
// blank line below the one above when that one wrapped further down.
struct alert_layout {
    float ys[5];
    float lowest;   // the last baseline drawn
};

constexpr float kAlertTops[5] = {215, 175, 135, 95, 55};
constexpr float kAlertHeight = 260;
constexpr float kLineStep = 10;

alert_layout lay_out_alert(const std::string& l1, const std::string& l2, const std::string& l3, const std::string& l4,
                           int type, const std::string& suffix) {
    const std::string* texts[5] = {&l1, &l2, &l3, &l4, &suffix};
    const int count = type == t_quit || type == t_crash ? 5 : 4;
    const float wrap = wins.panel_w * 0.9f;
    const float raise = wins.panel_h - kAlertHeight;   // a grown panel moves everything up
    alert_layout out{};
    float next = kAlertTops[0] + raise;
    for (int i = 0; i < count; ++i) {
        const float y = std::min(kAlertTops[i] + raise, next);
        out.ys[i] = y;
        const int lines = std::max(1, OGL_count_lines(*texts[i], wrap, cs_regular));
        out.lowest = y - kLineStep * static_cast<float>(lines - 1);
        next = out.lowest - 2 * kLineStep;
    }
    for (int i = count; i < 5; ++i) out.ys[i] = kAlertTops[i] + raise;
    return out;
}

// Grows the panel when wrapped paragraphs would run down into the button, as far as the window
// allows: the last line keeps the room it has in an alert of short lines.
void fit_alert_panel(const std::string& l1, const std::string& l2, const std::string& l3, const std::string& l4,
                     int type, const std::string& suffix) {
    wins.resize(wins.panel_w, kAlertHeight);
    const alert_layout layout = lay_out_alert(l1, l2, l3, l4, type, suffix);
    const float floor_y = type == t_quit || type == t_crash ? kAlertTops[4] : kAlertTops[3];
    if (layout.lowest >= floor_y) return;
    const float s = wins.scale > 0 ? wins.scale : 1.0f;
    const float room = static_cast<float>(wins.win_px_h) / s;
    wins.resize(wins.panel_w, std::min(room, kAlertHeight + floor_y - layout.lowest));
}

}  // namespace

void MACIBM_alert_panel(int return_panel, const std::string& l1, const std::string& l2, const std::string& l3,
                        const std::string& l4, int type, const std::string& suffix) {
    reset_gl_for_panel();
    const float saved_x = mnw.mouse_x, saved_y = mnw.mouse_y;
    wins.start_win(994);
    const bool unattended = platform::test_switches_now().unattended;
    int frames = 0;

    while (wins.panel_id == 994) {
        if (type != t_lang) fit_alert_panel(l1, l2, l3, l4, type, suffix);
        panel_draw_background(true);
        const float w = wins.panel_w;
        std::string label;
        if (type != t_lang) {
            const alert_layout layout = lay_out_alert(l1, l2, l3, l4, type, suffix);
            const std::string* lines[4] = {&l1, &l2, &l3, &l4};
            for (int i = 0; i < 4; ++i) panel_text(48, w * 0.5f, layout.ys[i], *lines[i], w * 0.9f, 1);
            label = UTL_translate_string("Understood", 0);
            if (type == t_quit || type == t_crash) panel_text(48, w * 0.5f, layout.ys[4], suffix, w * 0.9f, 1);
        } else {
            std::vector<int> langs;
            UTL_lang_get_languages(langs);
            float y = 180;
            for (const int lang : langs) {
                panel_radio(w * 0.5f - 25, y, &mnw.lang, lang, UTL_lang_get_button(lang));
                y -= 20;
            }
            stls[4] = "Language/";
            label = "Accept";
        }
        int pressed = panel_button(w * 0.5f, 18, label);
        // Nobody at the screen: the panel answers itself once it has been shown.
        if (unattended && frames > 0) pressed = 1;

        if (pressed || return_hit || (type != t_lang && escape_hit)) {
            escape_hit = return_hit = 0;
            if (type == t_quit || type == t_crash) break;
            // The faces were made for the language the chooser opened with; the chosen one may
            // draw them narrower (Russian), so they start over.
            if (type == t_lang) TT_reset_font(tt_both);
            wins.start_win(return_panel);
            mnw.mouse_x = saved_x;
            mnw.mouse_y = saved_y;
        }
        if (wins.panel_id == 994) MACIBM_event_proc();
        ++frames;
    }
}

int MACIBM_nuke_alert(const std::string& name, int cancel_allowed) {
    wins.start_win(995);
    if (wins.panel_id != 995) return 3;
    while (true) {
        panel_draw_background(false);
        const float w = wins.panel_w, h = wins.panel_h;
        panel_text(48, 20, h - 40,
                   UTL_translate_string("Save changes to ", 0) + name + " " + UTL_translate_string("first?", 0),
                   w - 40, 0);
        const std::string save = UTL_translate_string("Save", 0);
        const std::string dont = UTL_translate_string("Don't Save", 0);
        const std::string cancel = UTL_translate_string("Cancel", 0);
        const bool save_hit = panel_button(panel_measure(save) * 0.5f + 20, 60, save);
        const bool dont_hit = panel_button(panel_measure(dont) * 0.5f + 20, 25, dont);
        const bool cancel_hit = cancel_allowed && panel_button(w - panel_measure(cancel) * 0.5f - 20, 25, cancel);
        if (save_hit) {
            wins.start_win(0);
            return 1;
        }
        if (dont_hit) {
            wins.start_win(0);
            return 2;
        }
        if (cancel_allowed && (cancel_hit || escape_hit)) {
            wins.start_win(0);
            return 3;
        }
        MACIBM_event_proc();
        if (wins.panel_id != 995) return 3;
    }
}
