// The panels that put the installer engine's questions to the user. The engine asks through
// question_panels; the wizard offers these at start-up.
#include "wizard/question_panels.h"

#include <cstdio>

#include "core/localisation.h"
#include "core/shell_services.h"
#include "install/prompts.h"
#include "platform/test_switches.h"
#include "render/background.h"
#include "render/panel_record.h"
#include "ui/buttons.h"
#include "ui/frames.h"
#include "ui/tt_font.h"

namespace {
std::string tr(const std::string& s) { return UTL_translate_string(s, 0); }

// For the screen log: once the question's first frame is swapped, a line naming it.
void log_question(bool& logged, const std::string& text) {
    if (logged || !platform::test_switches_now().screen_log) return;
    logged = true;
    std::printf("question: %s\n", text.c_str());
    std::fflush(stdout);
}

// The window's background and the question panel's own, with no inner frame.
void draw_question_panel() {
    OGL_plot_back_col();
    BTN_fillwin(1, 24);
}

int select_panel(const std::string& path, int delete_flag) {
    wins.start_win(996);
    if (wins.panel_id != 996) return 3;

    const bool del = delete_flag != 0;
    const std::string first = tr(del ? "I am about to DELETE:" : "I am about to install:");
    const std::string second =
        tr(del ? "because we no longer use this file, but it appears you have modified it. What to do?"
               : "but it appears you have modified this file. What to do?");
    const struct {
        float x, y, w;
        std::string caption;
        int answer;
    } buttons[] = {
        {96, 53, 160, tr(del ? "DELETE THE OLD FILE" : "OVERWRITE THE OLD FILE"), 1},
        {96, 28, 160, tr("KEEP THE OLD FILE"), 2},
        {308, 53, 260,
         tr(del ? "DELETE EVERY OLD FILE IN THIS DIRECTORY" : "OVERWRITE EVERY OLD FILE IN THIS DIRECTORY"), 4},
        {308, 28, 260, tr("KEEP EVERY OLD FILE IN THIS DIRECTORY"), 5},
        {584, 28, 200, tr("CANCEL THE WHOLE INSTALLATION!"), 3},
    };

    bool logged = false;
    while (true) {
        draw_question_panel();
        const float wrap = wins.panel_w - 40;
        OGL_string(48, 20, 100, first, wrap, cs_regular, just_left);
        OGL_string(48, 20, 90, path, wrap, cs_regular, just_left);
        OGL_string(48, 20, 80, second, wrap, cs_regular, just_left);
        for (const auto& b : buttons) {
            if (BTN_action(b.x, b.y, b.w, 0, 1, b.caption, "-")) {
                wins.start_win(0);
                return b.answer;
            }
        }
        shell_event_proc();
        log_question(logged, first + " " + path);
        if (wins.panel_id != 996) return 3;
    }
}

int abort_panel(const std::string& message, const std::string& caption1, const std::string& text1,
                const std::string& caption2, const std::string& text2) {
    wins.start_win(997);
    if (wins.panel_id != 997) return 3;

    bool logged = false;
    while (true) {
        draw_question_panel();
        const float w = wins.panel_w;
        OGL_string(48, 20, 160, message, w - 40, cs_regular, just_left);
        OGL_string(48, 150, 53, text1, w - 210, cs_regular, just_left);
        OGL_string(48, 150, 28, text2, w - 210, cs_regular, just_left);
        if (BTN_action(96, 56, 100, 0, 1, caption1, "-")) {
            wins.start_win(0);
            return 1;
        }
        if (BTN_action(96, 31, 100, 0, 1, caption2, "-")) {
            wins.start_win(0);
            return 0;
        }
        shell_event_proc();
        log_question(logged, message);
        if (wins.panel_id != 997) return 3;
    }
}
}  // namespace

void offer_question_panels() {
    question_panels.select = &select_panel;
    question_panels.abort = &abort_panel;
}
