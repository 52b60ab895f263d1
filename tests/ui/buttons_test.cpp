// Buttons, check boxes, radio buttons, tabs and the heading dial, each driven through whole frames
// of the pump: what they draw from the atlas, where they take a press, what they do to the value
// they control, the click flash, the help text, and the open menu that silences them.
#include "ui/buttons.h"

#include <gtest/gtest.h>

#include "render/ogl_draw.h"
#include "ui/tt_font.h"
#include "widget_frames.h"

namespace {

using namespace widgettest;

constexpr double kPushS = 304, kPushT = 486, kLitT = 459;   // push button art, normal and lit

class Buttons : public WidgetFrames {};

TEST_F(Buttons, APressReturnsOneFlashesThePressedLookOnceAndTheReleaseReturnsNothing) {
    const auto button = [] { return BTN_action(500, 350, 250, 0, 1, "Go{Starts it.", "-"); };
    point(500, 350);
    int r = -1;
    frame([&] { r = button(); });
    EXPECT_EQ(r, 0);
    EXPECT_TRUE(with_art(quads, kPushS, kLitT).empty()) << "not pressed, not lit";

    const int swaps = platform::window_swaps_for_test();
    press();
    frame([&] { r = button(); });
    EXPECT_EQ(r, 1);
    EXPECT_EQ(platform::window_swaps_for_test(), swaps + 1) << "the pressed look is shown at once";
    // The pressed bar goes over the normal one, with the label again on top.
    const auto normal = with_art(quads, kPushS, kPushT), lit = with_art(quads, kPushS, kLitT);
    ASSERT_FALSE(normal.empty());
    ASSERT_FALSE(lit.empty());
    EXPECT_DOUBLE_EQ(lit.front().x0, normal.front().x0);
    EXPECT_DOUBLE_EQ(lit.back().x1, normal.back().x1);

    // Held, then released: no more clicks, no more flashes.
    frame([&] { r = button(); });
    EXPECT_EQ(r, 0);
    release();
    frame([&] { r = button(); });
    EXPECT_EQ(r, 0);
    EXPECT_EQ(platform::window_swaps_for_test(), swaps + 1);
}

TEST_F(Buttons, FlashModesAndTheLitButton) {
    // Colour calls of the two label colours, as the palette gives them.
    rec.take();
    OGL_set_palette_color(48, 1);
    const std::string unlit_text = rec.take().back();
    const struct {
        int lit, flash;
        int flashes;
        bool lit_text;   // the label in the lit colour rather than 48
    } cases[] = {
        {0, 0, 0, false}, {0, 1, 1, false}, {0, 2, 1, false}, {1, 0, 0, false}, {1, 1, 0, false}, {1, 2, 0, true},
    };
    for (const auto& c : cases) {
        const std::string what = "lit " + std::to_string(c.lit) + " flash " + std::to_string(c.flash);
        const auto button = [&] { return BTN_action(200, 100, 120, c.lit, c.flash, "Next", "-"); };
        point(200, 100);
        const int swaps = platform::window_swaps_for_test();
        press();
        int r = -1;
        frame([&] { r = button(); });
        EXPECT_EQ(r, 1) << what;
        EXPECT_EQ(platform::window_swaps_for_test() - swaps, c.flashes) << what;
        EXPECT_EQ(with_art(quads, kPushS, kLitT).size() > 0, c.lit || c.flashes) << what;
        const auto text = glyphs(quads);
        ASSERT_FALSE(text.empty()) << what;
        EXPECT_EQ(text.front().colour != unlit_text, c.lit_text) << what << ": " << text.front().colour;
        release();
        frame([&] { button(); });
    }
}

TEST_F(Buttons, TheHitBoxIsTheGivenWidthByTwentyUnitsEdgesIncluded) {
    const struct {
        float x, y, w;    // the button
        float px, py;     // the press
        int hit;
    } cases[] = {
        {500, 350, 250, 375, 360, 1}, {500, 350, 250, 625, 340, 1}, {500, 350, 250, 500, 361, 0},
        {500, 350, 250, 374, 350, 0}, {500, 350, 250, 626, 350, 0}, {500, 350, 250, 500, 339, 0},
        // Width 63: drawn 64 wide and 26 high, but taking presses only 63 by 20.
        {100, 100, 63, 100, 111, 0},  {100, 100, 63, 69, 100, 1},   {100, 100, 63, 68, 100, 0},
        {100, 100, 63, 131, 90, 1},   {100, 100, 63, 132, 90, 0},
    };
    for (const auto& c : cases) {
        const int r = click_at(c.px, c.py, [&] { return BTN_action(c.x, c.y, c.w, 0, 0, "OK", "-"); });
        EXPECT_EQ(r, c.hit) << c.x << "," << c.y << " w " << c.w << " pressed at " << c.px << "," << c.py;
    }
    // The drawn bar of width 63: 64 wide, 26 high.
    frame([] { BTN_action(100, 100, 63, 0, 0, "OK", "-"); });
    const auto bar = with_art(quads, kPushS, kPushT);
    ASSERT_FALSE(bar.empty());
    EXPECT_DOUBLE_EQ(bar.front().x0, 68);
    EXPECT_DOUBLE_EQ(bar.front().y0, 87);
    EXPECT_DOUBLE_EQ(bar.front().y1, 113);
    double right = 0;
    for (const seen_quad& q : quads)
        if (q.tex == 359) right = std::max(right, q.x1);
    EXPECT_DOUBLE_EQ(right, 132);
}

TEST_F(Buttons, AnAutomaticWidthFitsTheLeftTextAndTheSideTextStandsBesideIt) {
    const float w = OGL_measure_string("Understood") + 21;
    const float half = std::round(w / 2);
    frame([] { BTN_action(300, 200, 0, 0, 0, "Understood", "-"); });
    double left = 1e9, right = -1e9;
    for (const seen_quad& q : quads)
        if (q.tex == 359) left = std::min(left, q.x0), right = std::max(right, q.x1);
    EXPECT_DOUBLE_EQ(left, 300 - half);
    EXPECT_DOUBLE_EQ(right, 300 + half);
    const auto label = glyphs(quads);
    ASSERT_FALSE(label.empty());
    EXPECT_LT(label.back().x1, 300 + half) << "no side text: only the label";

    // A side text that is not exactly "-" is drawn, starting 10 beyond the button's half width.
    for (const std::string side : {" -", "Installs the demo."}) {
        frame([&] { BTN_action(300, 200, 0, 0, 0, "Understood", side); });
        const auto text = glyphs(quads);
        double beyond = 1e9;
        for (const seen_quad& q : text)
            if (q.x0 > 300 + half) beyond = std::min(beyond, q.x0);
        EXPECT_GE(beyond, 300 + w / 2 + 10 - 1) << side;
        EXPECT_LE(beyond, 300 + w / 2 + 10 + 5) << side;
    }
}

TEST_F(Buttons, OnlyTheLeftTextIsShownAndTheHelpTextIsOfferedUnderThePointer) {
    std::string seen;
    point(50, 50);
    frame([&] {
        BTN_action(300, 200, 0, 0, 0, "Fly{Starts the simulator.", "-");
        seen = help.help_text;
    });
    EXPECT_EQ(seen, "") << "the pointer is elsewhere";
    const float fly = OGL_measure_string("Fly") + 21;
    point(300, 205);
    frame([&] {
        BTN_action(300, 200, 0, 0, 0, "Fly{Starts the simulator.", "-");
        seen = help.help_text;
    });
    EXPECT_EQ(seen, "Starts the simulator.");
    double left = 1e9, right = -1e9;
    for (const seen_quad& q : glyphs(quads)) left = std::min(left, q.x0), right = std::max(right, q.x1);
    EXPECT_LT(right - left, fly - 21 + 2) << "the label is the left text alone";
    EXPECT_TRUE(help.help_text.empty()) << "the frame's help pass empties it";
}

TEST_F(Buttons, AnOpenMenuSilencesButtonsAndCheckBoxesButNotTabs) {
    mbar.open_menu = 4;
    int value = 0, selected = 0;
    std::string seen = "unset";
    wins.start_win(2);
    point(141 + 10, 380 - 38);
    press();
    int tab = -1;
    frame([&] { tab = BTN_tab(1, 0, &selected, 7, "Second"); });
    EXPECT_EQ(tab, 1);
    EXPECT_EQ(selected, 7);
    release();
    frame([] {});

    mbar.open_menu = 4;   // opening the panel closed it
    point(300, 200);
    press();
    int r = -1;
    frame([&] {
        r = BTN_action(300, 200, 100, 0, 1, "Go{tip", "-") + BTN_bool(300, 196, &value, "|box{box tip", 0);
        seen = help.help_text;
    });
    EXPECT_EQ(r, 0);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(seen, "");
    release();
    frame([] {});
    mbar.open_menu = -1;
}

TEST_F(Buttons, ACheckBoxTogglesOnItsBoxOnlyAndShowsTheChangeNextFrame) {
    int value = 5;
    const auto box = [&] { return BTN_bool(200, 100, &value, "Log|every file{Writes the log.", 0); };
    frame([&] { box(); });
    // Box and mark from the check-box art, over x 191..209, y 94..112.
    const auto frame_art = with_art(quads, 139, 178), mark = with_art(quads, 139, 197);
    ASSERT_EQ(frame_art.size(), 1u);
    ASSERT_EQ(mark.size(), 1u);
    EXPECT_DOUBLE_EQ(frame_art[0].x0, 191);
    EXPECT_DOUBLE_EQ(frame_art[0].y0, 94);
    EXPECT_DOUBLE_EQ(frame_art[0].x1, 209);
    EXPECT_DOUBLE_EQ(frame_art[0].y1, 112);
    EXPECT_NEAR(mark[0].s1, 157, 1e-3);
    EXPECT_NEAR(mark[0].t1, 215, 1e-3);

    // A nonzero value is on: a click turns it off, the next one on.
    point(200, 100);
    press();
    int r = -1;
    frame([&] { r = box(); });
    EXPECT_EQ(r, 1);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(with_art(quads, 139, 197).size(), 1u) << "the mark drawn before the click is handled";
    release();
    frame([&] { box(); });
    EXPECT_TRUE(with_art(quads, 139, 197).empty());
    EXPECT_EQ(click_at(200, 100, box), 1);
    EXPECT_EQ(value, 1);

    // Only the box takes the press, edges included.
    const struct {
        float x, y;
        int hit;
    } points[] = {{192, 96, 1}, {208, 112, 1}, {209, 100, 0}, {200, 95, 0}, {200, 113, 0}, {170, 100, 0}, {230, 100, 0}};
    for (const auto& p : points) {
        const int before = value;
        EXPECT_EQ(click_at(p.x, p.y, box), p.hit) << p.x << "," << p.y;
        EXPECT_EQ(value != before, p.hit == 1) << p.x << "," << p.y;
    }
}

TEST_F(Buttons, WrappersKeepAnUntouchedValueAndWriteZeroOrOneWhenClicked) {
    char c = -3;
    unsigned char b = 200;
    bool flag = false;
    frame([&] { BTN_xchr(100, 100, &c, "c"); });
    EXPECT_EQ(c, -3);
    EXPECT_EQ(with_art(quads, 139, 197).size(), 1u) << "-3 is on";
    EXPECT_EQ(click_at(100, 100, [&] { return BTN_xchr(100, 100, &c, "c"); }), 1);
    EXPECT_EQ(c, 0);
    EXPECT_EQ(click_at(100, 100, [&] { return BTN_xchr(100, 100, &c, "c"); }), 1);
    EXPECT_EQ(c, 1);

    frame([&] { BTN_xbyt(100, 100, &b, "b"); });
    EXPECT_EQ(b, 200);
    EXPECT_EQ(click_at(100, 100, [&] { return BTN_xbyt(100, 100, &b, "b"); }), 1);
    EXPECT_EQ(b, 0);

    for (const bool want : {true, false, true}) {
        EXPECT_EQ(click_at(100, 100, [&] { return BTN_xbol(100, 100, &flag, "f"); }), 1);
        EXPECT_EQ(flag, want);
    }
    // A wrapper draws a check box, not a radio button.
    frame([&] { BTN_xbol(100, 100, &flag, "f"); });
    EXPECT_EQ(with_art(quads, 139, 178).size(), 1u);
    EXPECT_TRUE(with_art(quads, 83, 123).empty());
}

TEST_F(Buttons, RadioButtonsSelectTheirOwnValueAndStaySelected) {
    int value = 2;
    const auto radio = [&](int own) { return [&value, own] { return BTN_is_int(100, 100, &value, own, "|choice"); }; };
    frame([&] { radio(2)(); });
    EXPECT_EQ(with_art(quads, 83, 123).size(), 1u);
    EXPECT_EQ(with_art(quads, 83, 142).size(), 1u) << "selected: the radio mark";
    frame([&] { radio(3)(); });
    EXPECT_TRUE(with_art(quads, 83, 142).empty());

    EXPECT_EQ(click_at(100, 100, radio(2)), 1);
    EXPECT_EQ(value, 2) << "a selected radio button stays selected";
    EXPECT_EQ(click_at(100, 100, radio(3)), 1);
    EXPECT_EQ(value, 3);

    // A column of them bound to one value: a click on the third selects it alone.
    int lang = 0;
    const auto column = [&] {
        int any = 0;
        for (int i = 0; i < 3; ++i) any |= BTN_is_int(200, 180 - 20.0f * i, &lang, i, "|language " + std::to_string(i));
        return any;
    };
    EXPECT_EQ(click_at(200, 140, column), 1);
    EXPECT_EQ(lang, 2);
    frame([&] { column(); });
    EXPECT_EQ(with_art(quads, 83, 142).size(), 1u);
    EXPECT_DOUBLE_EQ(with_art(quads, 83, 142)[0].y0, 140 - 6);
}

TEST_F(Buttons, TabsSitInTheTopRowsAndTakePressesOnlyInsideTheirHitBox) {
    wins.start_win(2);   // 700 x 380 at (50, 110)
    int selected = 0;
    const auto tab = [&] { return BTN_tab(1, 1, &selected, 4, "Network"); };
    // Column 1, row 1: centred at (141, 380 - 38 - 32 = 310).
    frame([&] { tab(); });
    const auto off = with_art(quads, 204, 459);
    ASSERT_EQ(off.size(), 1u);
    EXPECT_DOUBLE_EQ(off[0].x0, 50 + 141 - 49);
    EXPECT_DOUBLE_EQ(off[0].x1, 50 + 141 + 49);
    EXPECT_DOUBLE_EQ(off[0].y0, 110 + 310 - 13);
    EXPECT_DOUBLE_EQ(off[0].y1, 110 + 310 + 13);

    const struct {
        float x, y;
        int hit;
    } points[] = {{141 + 45, 310, 0}, {141 + 40, 310, 1}, {141 - 50, 310, 1}, {141 - 51, 310, 0},
                  {141, 310 + 13, 1}, {141, 310 - 14, 0}};
    for (const auto& p : points) {
        selected = 0;
        EXPECT_EQ(click_at(p.x, p.y, tab), p.hit) << p.x << "," << p.y;
        EXPECT_EQ(selected, p.hit ? 4 : 0) << p.x << "," << p.y;
    }
    // Selected: the raised art, and the label in the selected colour.
    selected = 4;
    frame([&] { tab(); });
    EXPECT_EQ(with_art(quads, 204, 486).size(), 1u);
    EXPECT_FALSE(glyphs(quads).empty());
    wins.start_win(0);
}

TEST_F(Buttons, TheHeadingDialFollowsTheHeldPointer) {
    const struct {
        float px, py;
        float heading;
    } cases[] = {{330, 200, 90}, {300, 170, 180}, {270, 200, 270}, {300, 230, 0}, {320, 220, 45}};
    for (const auto& c : cases) {
        float heading = 123;
        point(c.px, c.py);
        press();
        frame([&] { plot_dir(300, 200, &heading, 0); });
        EXPECT_NEAR(heading, c.heading, 1e-3) << c.px << "," << c.py;
        release();
        frame([] {});
    }
    // Not held, or held outside the dial: the heading stays.
    float heading = 123;
    point(330, 200);
    frame([&] { plot_dir(300, 200, &heading, 0); });
    EXPECT_EQ(heading, 123);
    point(331, 200);
    press();
    frame([&] { plot_dir(300, 200, &heading, 0); });
    EXPECT_EQ(heading, 123);
    release();

    // The needle turns clockwise about the centre; its art follows the look.
    for (const int look : {0, 1}) {
        frame([&] { plot_dir(300, 200, &heading, look); });
        EXPECT_EQ(rec.matching({"glRotatef"}), (drawtest::calls{"glRotatef(-123, 0, 0, 1)"}));
        EXPECT_EQ(rec.matching({"glTranslatef"}), (drawtest::calls{"glTranslatef(300, 200, 0)"}));
        const auto needle = with_art(quads, 156, look ? 272 : 315);
        ASSERT_EQ(needle.size(), 1u) << look;
        EXPECT_DOUBLE_EQ(needle[0].x0, -5);
        EXPECT_DOUBLE_EQ(needle[0].y1, 21);
        EXPECT_EQ(with_art(quads, 178, 160).size(), 1u) << "the dial face";
    }
}

}  // namespace
