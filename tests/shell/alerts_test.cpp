// Alerts: which presenter shows them (native box, panel 994, nothing), what reaches the log and how
// the program goes on or ends, over type x before/after the context x unattended x nested.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <thread>
#include <vector>

#include "../render/recorded_draw.h"
#include "core/alert.h"
#include "core/app_globals.h"
#include "core/cmdline.h"
#include "core/localisation.h"
#include "core/log.h"
#include "core/mouse_record.h"
#include "core/shell_services.h"
#include "core/thread_layer.h"
#include "platform/events.h"
#include "platform/test_switches.h"
#include "shell/alert_panel.h"
#include "shell/event_pump.h"
#include "support/temp_dir.h"
#include "render/panel_record.h"
#include "ui/tt_font.h"

namespace {

using testsupport::read_file;

int g_nested_type = -1;   // the panel raises this alert while it shows; -1: none
std::string g_shown;

void fake_box(const std::string& a, const std::string& b) {
    g_shown += "BOX[" + a + "|" + b + "]";
    std::fprintf(stderr, "BOX[%zu|%zu]\n", a.size(), b.size());
}

void fake_panel(int, const std::string& l1, const std::string&, const std::string&, const std::string&, int type,
                const std::string&) {
    g_shown += "PANEL[" + std::to_string(type) + ":" + l1 + "]";
    std::fprintf(stderr, "PANEL[%d]\n", type);
    if (g_nested_type >= 0) __MACIBM_alert(0, "inner", "", "", "", g_nested_type, "src/inner.cpp", 7);
}

void stopper() { std::fprintf(stderr, "POOLS STOPPED\n"); }

const char* const kMemoryReport = "I am dumping information about memory to MemoryLog.txt.";

class Alerts : public ::testing::Test {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "fast");
        ASSERT_TRUE(xer.open(tmp / "log.txt"));
        g_shell.native_box = &fake_box;
        g_shell.alert_panel = &fake_panel;
        g_nested_type = -1;
        g_shown.clear();
        ogl_inited = 0;
        cmdline = UTL_cmdline();
    }
    void TearDown() override {
        g_shell.native_box = nullptr;
        g_shell.alert_panel = nullptr;
        ogl_inited = 0;
        cmdline = UTL_cmdline();
        xer.close();
    }
    void unattended() {
        const char* argv[] = {"program", "--qa_script"};
        cmdline.init_unix(2, argv);
    }
    void raise(int type) {
        if (chdir(tmp.path().c_str()) != 0) std::abort();
        __MACIBM_alert(0, "one", "two", "three", "four", type, "src/x.cpp", 12);
    }
    std::string log() { return read_file(tmp / "log.txt"); }

    testsupport::temp_dir tmp;
};

TEST_F(Alerts, TypeByStartUpByUnattendedByNested) {
    enum ending { returns, exit0, exit1, aborts };
    const struct {
        int type;
        int inited;
        bool unattended;
        int nested;   // type of an alert raised while this one shows; -1 none
        const char* shown;    // regex of what the presenters wrote to stderr
        ending end;
        bool logged;
    } cases[] = {
        // Before the context: the native box.
        {t_lang, 0, false, -1, "BOX\\[7\\|10\\]", returns, false},
        {t_warn, 0, false, -1, "BOX\\[7\\|10\\]", returns, true},
        {t_quit, 0, false, -1, "BOX\\[7\\|10\\]", exit0, true},
        {t_crash, 0, false, -1, "BOX\\[7\\|10\\]", aborts, true},
        // After it: panel 994.
        {t_lang, 1, false, -1, "PANEL\\[0\\]", returns, false},
        {t_warn, 1, false, -1, "PANEL\\[1\\]", returns, true},
        {t_quit, 1, false, -1, "PANEL\\[2\\]", exit0, true},
        {t_crash, 1, false, -1, "PANEL\\[3\\]", aborts, true},
        // Unattended: only the log, whatever the state.
        {t_lang, 1, true, -1, "^$", returns, true},
        {t_warn, 0, true, -1, "^$", returns, true},
        {t_quit, 1, true, -1, "^$", exit1, true},
        {t_crash, 0, true, -1, "^$", exit1, true},
        // An alert raised while another shows takes the box and ends the program, even a warning;
        // the log closes with the inner alert, the outer one never finishes.
        {t_warn, 1, false, t_warn, "PANEL\\[1\\]\nBOX\\[6\\|1\\]", aborts, false},
        {t_warn, 1, false, t_lang, "PANEL\\[1\\]\nBOX\\[6\\|1\\]", aborts, false},
        {t_quit, 1, false, t_quit, "PANEL\\[2\\]\nBOX\\[6\\|1\\]", aborts, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " inited " << c.inited << " unattended "
                                        << c.unattended << " nested " << c.nested);
        ASSERT_TRUE(xer.open(tmp / "log.txt"));
        cmdline = UTL_cmdline();
        if (c.unattended) unattended();
        ogl_inited = c.inited;
        g_nested_type = c.nested;
        switch (c.end) {
        case returns: {
            testing::internal::CaptureStderr();
            raise(c.type);
            const std::string err = testing::internal::GetCapturedStderr();
            EXPECT_TRUE(testing::internal::RE::PartialMatch(err, testing::internal::RE(c.shown))) << err;
            EXPECT_EQ(MACIBM_in_alert(), 0);
            break;
        }
        case exit0: EXPECT_EXIT(raise(c.type), ::testing::ExitedWithCode(0), c.shown); break;
        case exit1: EXPECT_EXIT(raise(c.type), ::testing::ExitedWithCode(1), c.shown); break;
        case aborts: EXPECT_EXIT(raise(c.type), ::testing::KilledBySignal(SIGABRT), c.shown); break;
        }
        const std::string text = log();
        const std::string lines = std::string(c.unattended ? "" : "\n") + "one\ntwo\nthree\nfour\n(src/x.cpp line 12)\n";
        EXPECT_EQ(text.find(lines) != std::string::npos, c.logged) << text;
        if (c.nested >= 0) {
            EXPECT_NE(text.find("\ninner\n\n\n\n(src/inner.cpp line 7)\n"), std::string::npos) << text;
        }
        const bool ends_with_report = !c.unattended && (c.end != returns);
        EXPECT_EQ(text.find(kMemoryReport) != std::string::npos, ends_with_report) << text;
    }
}

TEST_F(Alerts, AllEmptyLinesShowNoPanelButAreLoggedAndStillEnd) {
    ogl_inited = 1;
    testing::internal::CaptureStderr();
    __MACIBM_alert(0, "", "", "", "", t_warn, "src/x.cpp", 3);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_NE(log().find("\n\n\n\n\n(src/x.cpp line 3)\n"), std::string::npos);
    EXPECT_EXIT(__MACIBM_alert(0, "", "", "", "", t_quit, "src/x.cpp", 3), ::testing::ExitedWithCode(0), "^$");
}

TEST_F(Alerts, LongTextsReachTheBoxWholeAndOverlongOnesEndTheProgram) {
    const std::string longer(300, 'x');
    testing::internal::CaptureStderr();
    __MACIBM_alert(0, longer, "", "", "", t_warn, "src/x.cpp", 3);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "BOX[301|1]\n");

    // Five hundred or more is the crash alert, whose own over-long line is cut, not refused again.
    const std::string overlong(600, 'y');
    EXPECT_EXIT(__MACIBM_alert(0, overlong, "", "", "", t_warn, "src/x.cpp", 3),
                ::testing::KilledBySignal(SIGABRT), "BOX\\[499\\|1\\]");
    const std::string text = log();
    EXPECT_NE(text.find("\nString too long!\ny"), std::string::npos);
    EXPECT_NE(text.find("(QFutils/GenH/qf_string line 129)\n"), std::string::npos);
}

TEST_F(Alerts, AQuitStopsThePoolsAndTheThreadLayerBeforeTheEnd) {
    EXPECT_EXIT(
        {
            THREAD_init();
            shell_at_quit(&stopper);
            raise(t_quit);
        },
        ::testing::ExitedWithCode(0), "POOLS STOPPED");
    EXPECT_NE(log().find("(src/x.cpp line 12)\nClean exit from threads.\n"), std::string::npos) << log();
}

TEST_F(Alerts, WorkerWarningsWaitForTheApplicationScreen) {
    ogl_inited = 1;
    THREAD_init();
    std::thread worker([] { __MACIBM_alert(0, "from a worker", "", "", "", t_warn, "src/w.cpp", 9); });
    worker.join();
    EXPECT_EQ(g_shown, "");
    wins.panel_id = 2;
    standard_gui();
    EXPECT_EQ(g_shown, "");
    wins.panel_id = 0;
    testing::internal::CaptureStderr();
    standard_gui();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(g_shown, "PANEL[1:from a worker]");
    THREAD_shutdown();
}

// The real panel: its loop, its keys and its button, driven by made-up events, drawn into a
// recorded GL.
class AlertPanel : public drawtest::RecordedText {
protected:
    void SetUp() override {
        RecordedText::SetUp();
        unsetenv("VENTARO_TEST_UNATTENDED");
        platform::test_switches_reload();
        platform::clear_test_input();
        event_pump_reset_for_test();
        wins = wins_class{};
        wins.win_px_w = 800;
        wins.win_px_h = 600;
        wins.start_win(0);
        mnw = mnw_record{};
        return_hit = escape_hit = 0;
    }
    void TearDown() override {
        setenv("VENTARO_TEST_UNATTENDED", "1", 1);
        platform::test_switches_reload();
        platform::clear_test_input();
        RecordedText::TearDown();
    }
    static platform::input_event key(int code, uint32_t ch) {
        platform::input_event e;
        e.kind = platform::ev_key_down;
        e.key_code = code;
        e.ch = e.lower = e.upper = ch;
        return e;
    }
    static platform::input_event click() {
        platform::input_event e;
        e.kind = platform::ev_mouse_down;
        platform::mouse_position(nullptr, e.x, e.y);   // at the made-up pointer
        return e;
    }
};

TEST_F(AlertPanel, ReturnClosesBothEscapeOnlyTheWarningAndTheButtonClicks) {
    // Escape first: it closes the warning in the next frame...
    platform::push_test_event(key(53, 27));
    MACIBM_alert_panel(0, "a", "b", "c", "d", t_warn, "(x line 1)");
    EXPECT_EQ(wins.panel_id, 0);


    // The button, centred at (210, 18) of the 420 x 260 panel, which sits at (190, 170).
    wins.start_win(0);
    platform::set_test_mouse(nullptr, 190 + 210, 600 - (170 + 18));
    platform::push_test_event(click());
    mnw.mouse_x = 77;
    MACIBM_alert_panel(0, "a", "b", "c", "d", t_warn, "(x line 1)");
    EXPECT_EQ(wins.panel_id, 0);
    EXPECT_FLOAT_EQ(mnw.mouse_x, 77);   // the mouse the alert found is put back
}

// The baseline of each text line the first frame drew, in drawing order: the most common bottom
// edge of its glyphs (letters without descenders sit on the baseline). The panel's title is the
// first and the highest, so meeting it again starts the next frame.
std::vector<double> text_baselines(const drawtest::calls& made, unsigned font_name) {
    std::vector<double> out;
    const std::string bind = "glBindTexture(GL_TEXTURE_2D, " + std::to_string(font_name) + ")";
    bool font_bound = false;
    for (std::size_t i = 0; i < made.size(); ++i) {
        if (made[i].rfind("glBindTexture(", 0) == 0) font_bound = made[i] == bind;
        if (made[i] != "glBegin(GL_QUADS)" || !font_bound) continue;
        drawtest::calls inside;
        for (++i; i < made.size() && made[i] != "glEnd()"; ++i) inside.push_back(made[i]);
        const auto cs = drawtest::corners(drawtest::parse_all(inside));
        std::map<double, int> bottoms;
        for (std::size_t q = 0; q + 4 <= cs.size(); q += 4) ++bottoms[cs[q].y];
        if (bottoms.empty()) continue;
        const double y = std::max_element(bottoms.begin(), bottoms.end(), [](const auto& a, const auto& b) {
                             return a.second < b.second;
                         })->first;
        if (!out.empty() && y == out.front()) break;   // the next frame's title
        out.push_back(y);
    }
    return out;
}

TEST_F(AlertPanel, ParagraphsThatWrapFarStayApartAndTheButtonBelowThem) {
    std::string deep = "/home/someone";
    for (int i = 0; i < 40; ++i) deep += " /folder" + std::to_string(i);
    struct layout_case {
        const char* what;
        std::string l1, l2, l3, l4;
        int type;
    };
    const layout_case cases[] = {
        {"short lines", "Could not write the file", "/tmp/x", "Check the folder", "and try again", t_warn},
        {"a deep path", "Could not write the file", deep, "Check the folder", "and try again", t_warn},
        {"a deep path and a suffix", deep, deep, "Check the folder", "and try again", t_quit},
    };
    for (const layout_case& c : cases) {
        SCOPED_TRACE(c.what);
        wins.start_win(0);
        rec.take();
        if (c.type == t_warn) platform::push_test_event(key(53, 27));
        else setenv("VENTARO_TEST_UNATTENDED", "1", 1), platform::test_switches_reload();
        MACIBM_alert_panel(0, c.l1, c.l2, c.l3, c.l4, c.type, "(x line 1)");
        unsetenv("VENTARO_TEST_UNATTENDED");
        platform::test_switches_reload();
        const std::vector<double> ys = text_baselines(rec.take(), gl_name(tex_ref_fonts));
        // The title first, the button's label last, the alert's lines between.
        ASSERT_GE(ys.size(), 6u);
        const double title = ys.front(), button = ys.back();
        std::vector<double> lines(ys.begin() + 1, ys.end() - 1);
        for (std::size_t i = 0; i + 1 < lines.size(); ++i)
            EXPECT_GE(lines[i] - lines[i + 1], 10) << "line " << i + 1 << " runs into the next";
        EXPECT_GE(lines.back() - button, 30) << "the text runs into the button";
        EXPECT_GE(title - lines.front(), 20) << "the text runs into the title";
        EXPECT_LE(title - button, 600) << "the panel outgrew the window";
    }
}

TEST_F(AlertPanel, TheSaveQuestionAnswersByButtonAndEscape) {
    platform::push_test_event(key(53, 27));
    EXPECT_EQ(MACIBM_nuke_alert("file", 1), 3);
    // Without Cancel, Escape does nothing; "Don't Save" at (20 + its half width, 25) answers 2.
    platform::push_test_event(key(53, 27));
    wins.start_win(995);
    const int x = static_cast<int>(wins.off_x + 20 + OGL_measure_string("Don't Save") / 2.0f);
    platform::set_test_mouse(nullptr, x, 600 - static_cast<int>(wins.off_y + 25));
    wins.start_win(0);
    platform::push_test_event(click());
    EXPECT_EQ(MACIBM_nuke_alert("file", 0), 2);
    EXPECT_EQ(wins.panel_id, 0);
}

// The language chooser, frame by frame: Escape leaves it open, a radio button picks the language,
// Return accepts it, and text is then laid out as a run started in that language lays it out.
std::function<void(int)> g_chooser_script;
int g_chooser_frames = 0;
void chooser_frame() {
    ++g_chooser_frames;
    if (g_chooser_script) g_chooser_script(g_chooser_frames);
}

TEST_F(AlertPanel, TheLanguageChooserWaitsForReturnAndItsRadioButtonsSetTheLanguage) {
    const std::string russian_text = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 Welcome";
    mnw.lang = 3;
    TT_reset_font(tt_both);
    const float russian_width = OGL_measure_string(russian_text);
    mnw.lang = 0;
    TT_reset_font(tt_both);
    ASSERT_NE(OGL_measure_string(russian_text), russian_width);

    std::vector<int> langs;
    UTL_lang_get_languages(langs);
    const auto at = std::find(langs.begin(), langs.end(), 3);
    ASSERT_NE(at, langs.end());
    const float radio_y = 180 - 20.0f * static_cast<float>(at - langs.begin());

    const auto saved = frame_hooks;
    frame_hooks.movie_per_frame = &chooser_frame;
    int open_after_escape = -1, lang_after_click = -1;
    g_chooser_script = [&](int n) {
        if (n == 1) platform::push_test_event(key(53, 27));
        if (n == 2) {
            open_after_escape = wins.panel_id;
            // The Russian radio button of the 420 x 260 panel at (190, 170).
            platform::set_test_mouse(nullptr, static_cast<int>(190 + 210 - 25),
                                     600 - static_cast<int>(170 + radio_y + 4));
            platform::push_test_event(click());
        }
        if (n == 4) {
            lang_after_click = mnw.lang;
            platform::push_test_event(key(36, 13));
        }
        if (n > 50) wins.start_win(-1);
    };
    g_chooser_frames = 0;
    MACIBM_alert_panel(-1, "-", "-", "-", "-", t_lang, "(x line 1)");
    frame_hooks = saved;
    g_chooser_script = nullptr;

    EXPECT_EQ(open_after_escape, 994);
    EXPECT_EQ(lang_after_click, 3);
    EXPECT_EQ(g_chooser_frames, 5);   // closed by Return, read in the fifth frame
    EXPECT_EQ(wins.panel_id, -1);     // back to the panel it came from
    EXPECT_EQ(stls[4], "Language/");
    EXPECT_EQ(mnw.lang, 3);
    EXPECT_FLOAT_EQ(OGL_measure_string(russian_text), russian_width);
}

}  // namespace
