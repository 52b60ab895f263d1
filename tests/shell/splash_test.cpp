// The start-up splash against a recorded GL: its panel, the maker's address, the progress bar
// with its fill, the message, and the swap that shows them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../render/recorded_draw.h"
#include "core/app_globals.h"
#include "platform/gl_window.h"
#include "render/view.h"
#include "shell/startup.h"

namespace {

using namespace drawtest;

struct extent {
    double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
};
std::vector<extent> batch_extents(const calls& made) {
    std::vector<extent> out;
    for (const auto& batch : quad_batches(made)) {
        extent e;
        for (const corner& c : batch) {
            e.x0 = std::min(e.x0, c.x);
            e.y0 = std::min(e.y0, c.y);
            e.x1 = std::max(e.x1, c.x);
            e.y1 = std::max(e.y1, c.y);
        }
        out.push_back(e);
    }
    return out;
}
// A batch spanning x0..x1 whose vertical middle is y: a bar as BTN_frame1 draws it.
bool has_bar(const std::vector<extent>& es, double x0, double x1, double y) {
    for (const extent& e : es)
        if (std::abs(e.x0 - x0) < 0.5 && std::abs(e.x1 - x1) < 0.5 && std::abs((e.y0 + e.y1) / 2 - y) < 2) return true;
    return false;
}

class Splash : public RecordedText {
protected:
    void SetUp() override {
        RecordedText::SetUp();
        plot_init_lights = 1;
    }
    void TearDown() override {
        plot_init_lights = 0;
        RecordedText::TearDown();
    }
    calls show(const std::string& message, float fraction = -1) {
        rec.take();
        MACIBM_show_init(message, fraction);
        return rec.take();
    }
    // The text as OGL_string draws it on its own, sought in the splash's calls.
    bool drew_text(const calls& made, int colour, float x, float y, const std::string& text) {
        show("warm-up: every glyph in the atlas", 0.5f);
        OGL_string(colour, x, y, text, 440, cs_regular, just_left);
        return holds_batches(made, rec.take());
    }
};

TEST_F(Splash, APanelTheAddressTheBarAndTheMessageThenOneSwap) {
    show("Loading bitmap RESOURCE:map.png.", 0.25f);   // the glyphs reach the atlas
    const int swaps = platform::window_swaps_for_test();
    const calls made = show("Loading bitmap RESOURCE:map.png.", 0.25f);
    EXPECT_EQ(platform::window_swaps_for_test(), swaps + 1);

    const std::vector<extent> es = batch_extents(made);
    // The dialog frame around 10, 31, 460 x 200, reaching out by its margins only.
    bool frame = false;
    for (const extent& e : es)
        frame = frame || (e.x0 <= 10 && e.x0 > -20 && e.x1 >= 470 && e.x1 < 500 && e.y0 <= 31 && e.y0 > 0 &&
                          e.y1 >= 231 && e.y1 < 260);
    EXPECT_TRUE(frame);
    // In 800 units the bar keeps 8 free at each end: 784 long, a quarter of it filled.
    EXPECT_TRUE(has_bar(es, 8, 792, 15));
    EXPECT_TRUE(has_bar(es, 8, 8 + 196, 15));
    EXPECT_TRUE(drew_text(made, 57, 22, 210, VENTARO_SERVER_HOST));
    EXPECT_TRUE(drew_text(made, 69, 22, 60, "Loading bitmap RESOURCE:map.png."));
}

TEST_F(Splash, TheFillAdvancesOnePercentPerCallWithoutAFractionAndStaysWithinTwoAndAHundred) {
    // Without a fraction: 0, 1, 2, 3 % shown as at least 2 %; then given fractions, clamped.
    const struct {
        float fraction;
        double fill;   // bar units, BTN_frame1 widths being even
    } cases[] = {{-1, 16}, {-1, 16}, {-1, 16}, {-1, 24}, {0.0f, 16}, {1.5f, 784}, {0.5f, 392}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fraction);
        EXPECT_TRUE(has_bar(batch_extents(show("Will init plugins.", c.fraction)), 8, 8 + c.fill, 15));
    }
}

TEST_F(Splash, AWideWindowCentresTheThousandTwentyFourUnitLayout) {
    wins.win_px_w = 1280;
    wins.win_px_h = 800;
    wins.panel_id = 0;
    OGL_pix_specs(0);
    const std::vector<extent> es = batch_extents(show("Starting application.", 1.0f));
    EXPECT_TRUE(has_bar(es, 128 + 8, 128 + 1016, 15));
    EXPECT_TRUE(drew_text(show("Starting application.", 1.0f), 69, 128 + 22, 60, "Starting application."));
}

TEST_F(Splash, NothingIsDrawnBeforeThePanelsExist) {
    plot_init_lights = 0;
    const int swaps = platform::window_swaps_for_test();
    EXPECT_TRUE(show("Loading bitmap RESOURCE:map.png.", 0.5f).empty());
    EXPECT_EQ(platform::window_swaps_for_test(), swaps);
}

}  // namespace
