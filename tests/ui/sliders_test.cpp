// The vertical scroll bar driven by whole frames: arrows step by one, the track pages by ten
// toward the pointer, a held thumb follows the pointer anywhere, and the value stays in range.
#include <gtest/gtest.h>

#include "ui/sliders.h"
#include "widget_frames.h"

namespace {

using widgettest::WidgetFrames;

class Slider : public WidgetFrames {
protected:
    // The bar at x 100 from y 50 to 250, over 0..100.
    int draw(int& value, int* held = nullptr) {
        int r = 0;
        frame([&] { r = BTN_vert_slider(1, 100, 50, 250, 0, 100, &value); });
        if (held) *held = r;
        return value;
    }
    int click(int value, float x, float y) {
        point(x, y);
        press();
        draw(value);
        release();
        draw(value);
        return value;
    }
};

TEST_F(Slider, ArrowsStepTheTrackPagesAndTheRangeHolds) {
    // The thumb of value 50 sits half way: at y 145.
    const struct {
        int value;
        float x, y;
        int after;
    } cases[] = {
        {50, 100, 100, 60},  {50, 100, 200, 40},   // the track, below and above the thumb
        {50, 100, 255, 49},  {50, 100, 45, 51},    // the top and bottom arrows
        {0, 100, 255, 0},    {100, 100, 45, 100},  // arrows at the ends
        {95, 100, 60, 100},  {50, 130, 100, 50},   // paging stops at max; beside the bar nothing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value << " at " << c.x << "," << c.y);
        EXPECT_EQ(click(c.value, c.x, c.y), c.after);
    }
}

TEST_F(Slider, AHeldThumbFollowsThePointerBeyondTheBar) {
    int value = 50, held = 0;
    point(100, 145);
    press();
    draw(value, &held);
    EXPECT_EQ(held, 1);
    point(400, -300);   // far below and aside: still grabbed
    draw(value, &held);
    EXPECT_EQ(held, 1);
    EXPECT_EQ(value, 100);
    point(100, 900);
    draw(value);
    EXPECT_EQ(value, 0);
    release();
    draw(value, &held);
    EXPECT_EQ(held, 0);
}

TEST_F(Slider, AnEmptyRangeDrawsOnlyTheTrack) {
    int value = 7;
    point(100, 100);
    press();
    int held = -1;
    frame([&] { held = BTN_vert_slider(0, 100, 50, 250, 0, -8, &value); });
    EXPECT_EQ(held, 0);
    EXPECT_EQ(value, 7);
    EXPECT_TRUE(widgettest::with_art(quads, 83, 240).empty());   // no thumb
}

// The horizontal slider at x 100..300, y 200, dragged with the button held.
TEST_F(Slider, AHorizontalSliderFollowsTheHeldPointerNearTheBar) {
    const struct {
        const char* what;
        float lo, hi, start, px, py;
        int enabled;
        float after;
        int result;
    } cases[] = {
        {"middle", 0, 10, 1, 200, 200, 1, 5, 1},
        {"left of the bar, within reach", 0, 10, 5, 85, 215, 1, 0, 1},
        {"too far above", 0, 10, 5, 200, 221, 1, 5, 0},
        {"too far right", 0, 10, 5, 321, 200, 1, 5, 0},
        {"bounds too close widen", 0, 0.005f, 0, 200, 200, 1, 0.005f, 1},
        {"equal bounds reverse", 1, 1, 1, 200, 200, 1, 1.005f, 1},
        {"reversed maps the smaller bound left", 10, 0, 5, 100, 200, 1, 0, 1},
        {"disabled", 0, 10, 5, 200, 200, 0, 5, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        float value = c.start;
        int r = -1;
        point(c.px, c.py);
        press();
        frame([&] { r = BTN_horz_slider(100, 200, 200, 50, c.lo, c.hi, &value, c.enabled, "", "cap"); });
        release();
        frame([&] { BTN_horz_slider(100, 200, 200, 50, c.lo, c.hi, &value, c.enabled, "", "cap"); });
        EXPECT_NEAR(value, c.after, 1e-5);
        EXPECT_EQ(r, c.result);
        // The thumb is drawn only when enabled, at the value.
        const auto thumbs = widgettest::with_art(quads, 263, 267);
        ASSERT_EQ(thumbs.size(), c.enabled ? 1u : 0u);
    }
    // Released, it stays where it was left.
    float value = 5;
    point(150, 200);
    int r = -1;
    frame([&] { r = BTN_horz_slider(100, 200, 200, 50, 0, 10, &value, 1, "", ""); });
    EXPECT_EQ(r, 0);
    EXPECT_EQ(value, 5);
}

TEST_F(Slider, TheFillColour81DrawsNoFill) {
    float value = 5;
    auto atlas_quads = [&](int fill) {
        frame([&] { BTN_horz_slider(100, 200, 200, fill, 0, 10, &value, 0, "", ""); });
        int n = 0;
        for (const auto& q : quads) n += q.tex == 359;
        return n;
    };
    const int with_fill = atlas_quads(50), without = atlas_quads(81);
    EXPECT_GT(with_fill, without);
    value = 0;   // nothing to fill
    EXPECT_EQ(atlas_quads(50), without);
}

}  // namespace
