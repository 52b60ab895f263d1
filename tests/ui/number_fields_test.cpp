// Number fields and the character editor driven by whole frames: made-up clicks and keys go
// through the frame pump, the keyboard layer and the focus ring to the fields drawn each frame.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "shell/keys.h"
#include "ui/focus.h"
#include "ui/number_fields.h"
#include "widget_frames.h"

namespace {

using widgettest::WidgetFrames;

// Mac key codes the keyboard layer knows.
constexpr int kCodeAny = 10, kCodeLeft = 123, kCodeRight = 124, kCodeDown = 125, kCodeUp = 126;

platform::input_event key_event(int kind, int code, uint32_t ch) {
    platform::input_event e;
    e.kind = kind;
    e.key_code = code;
    e.ch = ch;
    e.lower = e.upper = ch;
    return e;
}

class NumberFields : public WidgetFrames {
protected:
    void SetUp() override {
        WidgetFrames::SetUp();
        keys = keys_class();
        focus_ring.clear();
        focus_id = wind_focus = 0;
        BTN_number_fields_reset_for_test();
    }
    void TearDown() override {
        BTN_number_fields_reset_for_test();
        focus_id = 0;
        WidgetFrames::TearDown();
    }
    // A click at (x, y) with the widget drawn in both frames; the first frame's result.
    int click(float x, float y, const std::function<int()>& widget) { return click_at(x, y, widget); }
    void key(int code, uint32_t ch, const std::function<void()>& widget, bool release = true) {
        platform::push_test_event(key_event(platform::ev_key_down, code, ch));
        if (release) platform::push_test_event(key_event(platform::ev_key_up, code, ch));
        frame(widget);
    }
    void type(const std::string& text, const std::function<void()>& widget) {
        for (const char c : text) key(kCodeAny, static_cast<unsigned char>(c), widget);
    }
};

// The 3-digit, 1-decimal field at (100, 300): cells at x 100..130, the digit row y 298..308.
TEST_F(NumberFields, ArrowClicksStepTheirCell) {
    const struct {
        const char* what;
        float start, x, y, after;
    } cases[] = {
        {"arrow above cell 0", 0, 105, 315, 10.0f},
        {"arrow above cell 1", 0, 115, 315, 1.0f},
        {"arrow above cell 2", 0, 125, 315, 0.1f},
        {"arrow below cell 1", 5, 115, 290, 4.0f},
        {"shared edge", 0, 110, 315, 11.0f},   // a pointer between cells 0 and 1 steps both
        {"below min", 0.5f, 105, 290, 0.0f},
        {"the digit row", 5, 115, 303, 5.0f},  // a click there only places the caret
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        float v = c.start;
        click(c.x, c.y, [&] { return BTN_flt(100, 300, &v, 3, 1, 0, ""); });
        EXPECT_FLOAT_EQ(v, c.after);
    }
}

TEST_F(NumberFields, TypedDigitsReplaceCellsAndKeepTheSign) {
    const struct {
        float start;
        float min, max;
        const char* typed;
        float after;
    } cases[] = {
        {0, -99.9f, 99.9f, "123", 12.3f},     // the caret wraps back to cell 0
        {-12.3f, -99.9f, 99.9f, "4", -42.3f},  // the sign stays
        {50, 0, 100, "-", 0},                  // negated, then clamped to min
        {50, 0, 100, "+", 50},                 // '+' needs a range below zero
        {-7, -99.9f, 99.9f, "+", 7},
        {7, -99.9f, 99.9f, "-", -7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        float v = c.start;
        int changed = 0;
        auto draw = [&] { changed |= BTN_flt_range(100, 300, &v, 3, 1, c.min, c.max, "", ""); };
        click(103, 303, [&] { draw(); return 0; });
        changed = 0;
        type(c.typed, draw);
        EXPECT_FLOAT_EQ(v, c.after);
        EXPECT_EQ(changed, 1);
    }
    // After three digits the caret is back on cell 0: a fourth replaces the tens.
    float v = 0;
    auto draw = [&] { BTN_flt_range(100, 300, &v, 3, 1, -99.9f, 99.9f, "", ""); };
    click(103, 303, [&] { draw(); return 0; });
    type("1239", draw);
    EXPECT_FLOAT_EQ(v, 92.3f);
}

TEST_F(NumberFields, ArrowKeysMoveTheCaretAndStepOnPressAndRepeatOnly) {
    float v = 950;
    auto draw = [&] { BTN_flt(100, 300, &v, 3, 0, 0, ""); };
    click(103, 303, [&] { draw(); return 0; });
    key(kCodeUp, 0, draw);
    EXPECT_FLOAT_EQ(v, 999);   // held to what three cells show, not 1050

    v = 500;
    key(kCodeRight, 0, draw);   // cell 1
    platform::push_test_event(key_event(platform::ev_key_down, kCodeDown, 0));
    frame(draw);
    EXPECT_FLOAT_EQ(v, 490);
    platform::push_test_event(key_event(platform::ev_key_repeat, kCodeDown, 0));
    frame(draw);
    EXPECT_FLOAT_EQ(v, 480);
    platform::push_test_event(key_event(platform::ev_key_up, kCodeDown, 0));
    frame(draw);
    EXPECT_FLOAT_EQ(v, 480);   // the release does nothing

    key(kCodeLeft, 0, draw);
    key(kCodeLeft, 0, draw);   // wraps from cell 0 to cell 2
    key(kCodeUp, 0, draw);
    EXPECT_FLOAT_EQ(v, 481);
}

TEST_F(NumberFields, EveryFrameClampsAndRoundsWithoutInput) {
    int i = 9;
    frame([&] { BTN_int_range(100, 300, &i, 1, 1, 5, ""); });
    EXPECT_EQ(i, 5);

    double d = 1.1;   // not a float
    double r = 1.1;
    frame([&] {
        BTN_dob(100, 300, &d, 3, 2, 0, "");
        BTN_dob_range(100, 200, &r, 3, 2, 0, 9, "");
    });
    EXPECT_EQ(d, static_cast<double>(1.1f));
    EXPECT_EQ(r, 1.1);

    float f = 2.346f, g = -2.345f;
    frame([&] {
        BTN_flt(100, 300, &f, 3, 2, 1, "");
        BTN_flt(100, 200, &g, 3, 2, 1, "");
    });
    EXPECT_FLOAT_EQ(f, 2.35f);
    EXPECT_FLOAT_EQ(g, -2.35f);   // halves away from zero

    // Ten cells hold more than an int: typing there must neither overflow nor lose the digit.
    float big = 4294967296.0f;   // 2^32, exact in a float
    auto draw = [&] { BTN_flt(100, 300, &big, 10, 0, 0, ""); };
    click(103, 303, [&] { draw(); return 0; });
    type("1", draw);
    EXPECT_FLOAT_EQ(big, 1294967296.0f);
}

TEST_F(NumberFields, KeysForAFieldNoLongerDrawnDoNotBlockTheQueue) {
    float a = 0, b = 0;
    bool draw_a = true;
    auto draw = [&] {
        if (draw_a) BTN_flt(100, 300, &a, 3, 0, 0, "");
        BTN_flt(100, 200, &b, 3, 0, 0, "");
    };
    click(103, 303, [&] { draw(); return 0; });
    // A key is queued for the first field in the frame it disappears.
    platform::push_test_event(key_event(platform::ev_key_down, kCodeAny, '5'));
    draw_a = false;
    frame(draw);
    click(103, 203, [&] { draw(); return 0; });
    // Far more keys than the queue holds still reach the second field.
    for (int k = 0; k < 100; ++k) type(k % 2 ? "1" : "2", draw);
    EXPECT_FLOAT_EQ(b, 112);   // the last key on each cell: 1, 1, 2
}

TEST_F(NumberFields, TheCharacterEditorStepsThroughItsAlphabet) {
    const struct {
        const char* start;
        int code;
        uint32_t ch;
        const char* after;
    } cases[] = {
        {"A", kCodeUp, 0, "9"},      {" ", kCodeUp, 0, "-"},  {"-", kCodeDown, 0, " "},
        {"Z", kCodeDown, 0, "-"},    {"*", kCodeDown, 0, "1"},   // outside the alphabet counts as '0'
        {"A", kCodeAny, 'q', "Q"},   {"A", kCodeAny, '%', "A"},  // not in the alphabet: ignored
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.start);
        char text[8] = {};
        std::strcpy(text, c.start);
        auto draw = [&] { BTN_chars(100, 300, text, 3, "code"); };
        click(101, 303, [&] { draw(); return 0; });
        key(c.code, c.ch, draw);
        EXPECT_STREQ(text, c.after);
    }
    // The arrows step their own cell; typing past the text's end fills the gap with blanks.
    char text[8] = "AB";
    auto draw = [&] { BTN_chars(100, 300, text, 4, "code"); };
    click(115, 315, [&] { draw(); return 0; });
    EXPECT_STREQ(text, "AA");
    click(135, 290, [&] { draw(); return 0; });
    EXPECT_STREQ(text, "AA 0");
}

TEST_F(NumberFields, LatitudeAndLongitudeSplitIntoDegreesAndMinutes) {
    const struct {
        float lon, lat;
    } cases[] = {{-0.5f, 10.25f}, {-12.5f, -0.75f}, {179.5f, 45}};
    for (const auto& c : cases) {
        float lon = c.lon, lat = c.lat;
        float x = 200, y = 400;
        int changed = -1;
        frame([&] { changed = enter_lat_lon(&x, &y, &lon, &lat); });
        EXPECT_EQ(changed, 0);
        EXPECT_FLOAT_EQ(y, 300);
        EXPECT_FLOAT_EQ(x, 200);
        EXPECT_NEAR(lon, c.lon, 1e-4);
        EXPECT_NEAR(lat, c.lat, 1e-4);
    }
    // -0.5 shows 0 degrees and -30 minutes: one step up on the minutes' tens makes it -20.
    float lon = -0.5f, lat = 0, x = 200, y = 400;
    auto draw = [&] {
        x = 200;
        y = 400;
        enter_lat_lon(&x, &y, &lon, &lat);
    };
    click(255, 365, [&] { draw(); return 0; });   // above cell 0 of the longitude's minutes
    EXPECT_NEAR(lon, -20.0f / 60, 1e-4);
}

}  // namespace
