// The wizard's frame against a recorded GL: how screens are called and how Back, Next, choices,
// Quit and a screen's own result move the wizard, and the bottom-bar buttons' spans, widths, art
// rows and presses.
#include "wizard/wizard_frame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../render/recorded_draw.h"
#include "core/app_globals.h"
#include "core/mouse_record.h"
#include "render/tex_flags.h"

namespace {

using namespace drawtest;

// What the fake screens saw and will answer; reset by the fixture.
struct script {
    std::vector<std::pair<char, int>> calls;   // screen letter and its first-frame flag
    int result = 0;
    screen_func next = nullptr, back = nullptr;
    std::vector<std::string> labels;
    std::vector<screen_func> choices;
    bool (*quit)() = nullptr;
} g;

int quit_asked = 0;
bool quit_no() { ++quit_asked; return false; }
bool quit_yes() { ++quit_asked; return true; }

int fill(char who, int first, wizard_screen& w) {
    g.calls.push_back({who, first});
    w.next_screen = g.next;
    w.back_screen = g.back;
    w.choice_labels = g.labels;
    w.choice_screens = g.choices;
    w.quit_func = g.quit;
    return g.result;
}
int screen_a(int first, wizard_screen& w) { return fill('a', first, w); }
int screen_b(int first, wizard_screen& w) { return fill('b', first, w); }
int screen_c(int first, wizard_screen& w) { return fill('c', first, w); }

// Bottom-bar points in English: Quit from 30, Next ends at 770, Back ends at 760 - Next's 121.
constexpr float kBarY = 23;
constexpr float kQuitX = 50, kNextX = 725, kBackX = 600, kOrderX = 400;

class WizardFrame : public RecordedText {
protected:
    void SetUp() override {
        RecordedText::SetUp();
        load_art(tex_ref_background, 1024, 1024);
        g = script{};
        quit_asked = 0;
        app_done = 0;
        step_names.clear();
        step_funcs.clear();
        wizard_frame_reset_for_test();
    }
    void TearDown() override {
        app_done = 0;
        g_wizard = nullptr;
        RecordedText::TearDown();
    }
    // One frame; with a point, the mouse button goes down there in this frame.
    void frame(float x = -100, float y = -100) {
        mnw.mouse_x = x;
        mnw.mouse_y = y;
        mnw.click_hit = x >= 0 ? 1 : 0;
        APP_update();
        mnw.click_hit = 0;
        rec.take();
    }
};

TEST_F(WizardFrame, FirstFrameFlagIsSetOnEveryArrivalAndNotOnAStayOrAMoveToItself) {
    g_wizard = screen_a;
    frame();
    frame();
    g.labels = {"again"};
    g.choices = {screen_a};
    frame(500, 350);   // a choice leading to the screen itself
    frame();
    g.labels.clear();
    g.choices.clear();
    g.next = screen_b;
    g.result = 1;
    frame();   // moves by its own result
    g.result = 0;
    g.next = nullptr;
    g.back = screen_a;
    frame();
    frame(kBackX, kBarY);
    g.back = nullptr;
    frame();
    const std::vector<std::pair<char, int>> want{{'a', 1}, {'a', 0}, {'a', 0}, {'a', 0}, {'a', 0},
                                                 {'b', 1}, {'b', 0}, {'a', 1}};
    EXPECT_EQ(g.calls, want);
}

// Each row: what the screen offers, where the mouse goes down (none: no press), and where the
// wizard is after the frame.
struct move_case {
    const char* what;
    screen_func next, back;
    int result;
    bool with_choice;   // one choice leading to c
    float x, y;
    screen_func after;
};

TEST_F(WizardFrame, BackNextChoicesAndTheScreensResultMoveTheWizardInThatOrder) {
    const move_case cases[] = {
        {"nothing pressed", screen_b, screen_c, 0, false, -100, -100, screen_a},
        {"next pressed", screen_b, nullptr, 0, false, kNextX, kBarY, screen_b},
        {"next pressed while disabled", nullptr, screen_c, 0, false, kNextX, kBarY, screen_a},
        {"back pressed", screen_b, screen_c, 0, false, kBackX, kBarY, screen_c},
        {"back pressed while disabled", screen_b, nullptr, 0, false, kBackX, kBarY, screen_a},
        {"choice pressed", nullptr, nullptr, 0, true, 500, 350, screen_c},
        {"result without next stays", nullptr, screen_c, 1, false, -100, -100, screen_a},
        {"result moves to next", screen_b, nullptr, 1, false, -100, -100, screen_b},
        {"result beats a choice in the same frame", screen_b, nullptr, 1, true, 500, 350, screen_b},
        {"result beats back in the same frame", screen_b, screen_c, 1, false, kBackX, kBarY, screen_b},
        {"order moves nothing", screen_b, screen_c, 0, false, kOrderX, kBarY, screen_a},
        {"a press on the edge of next counts", screen_b, nullptr, 0, false, 770, 12, screen_b},
        {"a press just past next's edge does not", screen_b, nullptr, 0, false, 770.5f, 12, screen_a},
    };
    for (const move_case& c : cases) {
        SCOPED_TRACE(c.what);
        g = script{};
        g.next = c.next;
        g.back = c.back;
        g.result = c.result;
        if (c.with_choice) {
            g.labels = {"go"};
            g.choices = {screen_c};
        }
        g_wizard = screen_a;
        frame(c.x, c.y);
        EXPECT_EQ(g_wizard, c.after);
        EXPECT_EQ(app_done, 0);
    }
}

TEST_F(WizardFrame, QuitAsksTheScreensQuitFunctionAndALastScreenHidesQuit) {
    g_wizard = screen_a;
    frame(kQuitX, kBarY);
    EXPECT_EQ(app_done, 1) << "no quit function: Quit ends at once";

    app_done = 0;
    g.quit = quit_no;
    frame(kQuitX, kBarY);
    EXPECT_EQ(quit_asked, 1);
    EXPECT_EQ(app_done, 0);
    g.quit = quit_yes;
    frame(kQuitX, kBarY);
    EXPECT_EQ(quit_asked, 2);
    EXPECT_EQ(app_done, 1);

    // A last screen: no Quit (its place does nothing), Next shows the Quit picture and leads to
    // wizard_quit, which ends the program in the following frame.
    app_done = 0;
    g = script{};
    g.next = wizard_quit;
    g.quit = quit_no;
    quit_asked = 0;
    frame(kQuitX, kBarY);
    EXPECT_EQ(quit_asked, 0);
    EXPECT_EQ(app_done, 0);
    frame(770 - 56 / 2.0f, kBarY);   // the Quit picture is 56 wide
    EXPECT_EQ(g_wizard, wizard_quit);
    EXPECT_EQ(app_done, 0);
    frame();
    EXPECT_EQ(app_done, 1);
}

TEST_F(WizardFrame, NoScreenEndsTheProgramWithoutCallingOne) {
    g_wizard = nullptr;
    frame();
    EXPECT_EQ(app_done, 1);
    EXPECT_TRUE(g.calls.empty());
}

// The art quad of the last interface_rect call: its four corners and the alpha it was drawn with.
struct art_seen {
    std::vector<corner> quad;
    double alpha = -1;
};
art_seen last_art(const calls& made) {
    art_seen out;
    const auto all = parse_all(made);
    const auto cs = corners(all);
    if (cs.size() >= 4) out.quad.assign(cs.end() - 4, cs.end());
    double current = -1;
    for (const gl_call& c : all) {
        if (c.name == "glColor4f") current = c.num[3];
        else if (c.name == "glColor3f") current = 1;
        else if (c.name == "glBegin") out.alpha = current;
    }
    return out;
}

TEST_F(WizardFrame, BottomBarButtonsSpanTheirCutsWithTheirWidthAndLook) {
    struct rect_case {
        const char* what;
        int lang, label, align;
        float x;
        int enabled, style;
        bool inside, held;
        double left, right, t_bottom, t_top, alpha;
        int width;
    };
    const rect_case cases[] = {
        {"English Quit, left edge at x", 0, 0, 1, 30, 1, 0, false, false, 30, 86, 0.359375, 0.53125, 1, 76},
        {"Spanish Quit", 5, 0, 1, 30, 1, 0, false, false, 30, 90, 0.359375, 0.53125, 1, 80},
        {"English Next, right edge at x", 0, 2, -1, 770, 1, 0, false, false, 669, 770, 0.359375, 0.53125, 1, 121},
        {"French Order, centred", 1, 5, 0, 400, 1, 0, false, false, 310.5, 400 + 89.5, 0.359375, 0.53125, 1, 199},
        {"hovered", 0, 2, -1, 770, 1, 0, true, false, 669, 770, 0, 0.171875, 1, 121},
        {"held", 0, 2, -1, 770, 1, 0, true, true, 669, 770, 0.1796875, 0.3515625, 1, 121},
        {"disabled, even under the mouse", 0, 1, -1, 639, 0, 2, true, false, 550, 639, 0.359375, 0.53125, 0.5, 109},
    };
    for (const rect_case& c : cases) {
        SCOPED_TRACE(c.what);
        mnw.lang = c.lang;
        mnw.mouse_x = c.inside ? float((c.left + c.right) / 2) : -50;
        mnw.mouse_y = 20;
        mnw.mouse_held = c.held ? 1 : 0;
        rec.take();
        int width = 0;
        interface_rect(c.x, 12, c.label, c.align, &width, c.enabled, c.style);
        const art_seen a = last_art(rec.take());
        EXPECT_EQ(width, c.width);
        ASSERT_EQ(a.quad.size(), 4u);
        EXPECT_NEAR(a.quad[0].x, c.left, 1e-3);
        EXPECT_NEAR(a.quad[2].x, c.right, 1e-3);
        EXPECT_NEAR(a.quad[0].y, 12, 1e-3);
        EXPECT_NEAR(a.quad[2].y, 34, 1e-3);
        EXPECT_NEAR(a.quad[0].s * 1024, btn_cuts[c.label][c.lang], 1e-2);
        EXPECT_NEAR(a.quad[2].s * 1024, btn_cuts[c.label + 1][c.lang], 1e-2);
        EXPECT_NEAR(a.quad[0].t, c.t_bottom, 1e-5);
        EXPECT_NEAR(a.quad[2].t, c.t_top, 1e-5);
        EXPECT_NEAR(a.alpha, c.alpha, 1e-3);
    }
    mnw.mouse_held = 0;
}

TEST_F(WizardFrame, APressCountsOnTheSpansEdgesWhetherOrNotTheButtonIsEnabled) {
    struct press_case {
        float x, y;
        int enabled;
        int want;
    };
    // English Next with its right edge at 770: x 669..770, y 12..34.
    const press_case cases[] = {
        {669, 12, 1, 1}, {770, 34, 1, 1}, {668.9f, 20, 1, 0}, {700, 34.1f, 1, 0}, {700, 20, 0, 1},
    };
    for (const press_case& c : cases) {
        mnw.mouse_x = c.x;
        mnw.mouse_y = c.y;
        mnw.click_hit = 1;
        EXPECT_EQ(interface_rect(770, 12, 2, -1, nullptr, c.enabled, 0), c.want) << c.x << "," << c.y;
        mnw.click_hit = 0;
        EXPECT_EQ(interface_rect(770, 12, 2, -1, nullptr, c.enabled, 0), 0);
    }
}

}  // namespace

// The press spans of the bottom bar's buttons as one frame draws them (the art quads, in the
// normal look, sorted from the left): a button's frame reaches 10 units beyond its span.
std::vector<std::pair<double, double>> bar_spans(const calls& made) {
    std::vector<std::pair<double, double>> spans;
    for (const auto& batch : quad_batches(made)) {
        for (std::size_t q = 0; q + 4 <= batch.size(); q += 4) {
            const corner& lo = batch[q];
            const corner& hi = batch[q + 2];
            if (lo.y == 12 && hi.y == 34 && std::abs(lo.t - 0.359375) < 1e-6 && std::abs(hi.t - 0.53125) < 1e-6)
                spans.push_back({lo.x, hi.x});
        }
    }
    std::sort(spans.begin(), spans.end());
    return spans;
}

TEST_F(WizardFrame, BottomBarButtonsNeitherOverlapNorSharePressesInAnyLanguage) {
    g_wizard = screen_a;
    g.next = screen_b;
    g.back = screen_c;
    const char* const names[] = {"English", "French", "German", "Russian", "Italian", "Spanish"};
    for (const bool last : {false, true}) {
        g.next = last ? wizard_quit : screen_b;
        for (int lang = 0; lang < 6; ++lang) {
            SCOPED_TRACE(std::string(names[lang]) + (last ? ", last screen" : ""));
            mnw.lang = lang;
            mnw.mouse_x = mnw.mouse_y = -100;
            rec.take();
            APP_update();
            const auto spans = bar_spans(rec.take());
            ASSERT_EQ(spans.size(), last ? 3u : 5u);
            for (std::size_t i = 0; i + 1 < spans.size(); ++i) {
                // Spans include their edges, so touching spans would share a press.
                EXPECT_LT(spans[i].second, spans[i + 1].first) << "buttons " << i << " and " << i + 1 << " share presses";
                EXPECT_GE(spans[i + 1].first - spans[i].second, 20) << "frames " << i << " and " << i + 1 << " overlap";
            }
            EXPECT_GE(spans.front().first - 10, 0);
            EXPECT_LE(spans.back().second + 10, 800);
        }
    }
    mnw.lang = 0;
}
