// The movie recorder's capture on Mesa, with a stand-in movie library that keeps what reaches
// it: frames arrive scaled to the movie size, top row first, in blue-green-red-alpha order, one
// capture late through the pixel-pack buffer and at once without it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <vector>

#include "core/frame_clock.h"
#include "core/memory.h"
#include "movie_fake.h"
#include "offscreen_gl.h"
#include "render/ogl_state.h"
#include "render/qtim.h"
#include "support/temp_dir.h"

namespace {

constexpr int kW = 200, kH = 150;
using moviefake::wait_for;

// Frame k: the top half (R = 20k, G = 255, B = 0), the bottom half (20k, 0, 255).
void draw_frame(int k) { offscreen::top_and_bottom(kW, kH, {20 * k, 255, 0}, {20 * k, 0, 255}); }

// A frame's first pixel as the recorder hands it on: bytes blue, green, red, alpha.
uint32_t bgra(int r, int g, int b) {
    return static_cast<uint32_t>(b) | static_cast<uint32_t>(g) << 8 | static_cast<uint32_t>(r) << 16 | 0xFF000000u;
}

class CaptureOnMesa : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ready = offscreen::open_gl(kW, kH); }
    void SetUp() override {
        ASSERT_TRUE(ready);
        ASSERT_EQ(glExt.pbo_avail, 1);
        ASSERT_NE(::getcwd(was, sizeof was), nullptr);
        ASSERT_EQ(::chdir(tmp.path().c_str()), 0);
        qtim_set_toolbox_for_test(&fake);
        qtim_reset_frame_clock_for_test();
        qtim.mov_dx = 100;
        qtim.mov_fps = 20;
        qtim.frames_back = 0;
    }
    void TearDown() override {
        qtim.mov_stop_thread();
        moviefake::free_frames();
        qtim_set_toolbox_for_test(nullptr);
        glExt.pbo_avail = 1;
        ASSERT_EQ(::chdir(was), 0);
    }
    // Frames 1 to n, each due: the first arms the capture, each later one is captured.
    void record(int n) {
        qtim.mov_toggle(1);
        ASSERT_EQ(qtim.mov_dy, 75);
        for (int k = 1; k <= n; ++k) {
            draw_frame(k);
            xtim.frame_period = 0.05f;
            qtim.mov_per_frame();
        }
    }

    static inline bool ready = false;
    testsupport::temp_dir tmp;
    char was[PATH_MAX] = {};
    moviefake::toolbox fake;
};

TEST_F(CaptureOnMesa, ThePixelPackBufferHandsEachCaptureOnAtTheNextOne) {
    record(5);   // captures of frames 2 to 5; frames 2, 3 and 4 sent
    ASSERT_TRUE(wait_for([&] { return fake.compressed() == 3; }));
    std::lock_guard<std::mutex> g(fake.m);
    EXPECT_EQ(fake.first_pixels, (std::vector<uint32_t>{bgra(40, 255, 0), bgra(60, 255, 0), bgra(80, 255, 0)}));
    EXPECT_EQ(fake.row_ends, fake.first_pixels);   // the whole top row, scaled to 100 pixels
}

TEST_F(CaptureOnMesa, WithoutOneEachCaptureGoesOutAtOnce) {
    glExt.pbo_avail = 0;
    record(4);
    ASSERT_TRUE(wait_for([&] { return fake.compressed() == 3; }));
    std::lock_guard<std::mutex> g(fake.m);
    EXPECT_EQ(fake.first_pixels, (std::vector<uint32_t>{bgra(40, 255, 0), bgra(60, 255, 0), bgra(80, 255, 0)}));
}

}  // namespace
