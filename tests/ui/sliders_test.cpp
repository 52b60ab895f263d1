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

}  // namespace
