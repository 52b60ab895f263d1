// A real movie recorded from the program's window under Xvfb through FFmpeg: ffprobe finds a
// Motion-JPEG video track of the movie's size with one frame per frame sent, and a decoded frame
// shows what the window showed, top side up.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <sstream>
#include <string>

#include "core/frame_clock.h"
#include "movie_fake.h"
#include "offscreen_gl.h"
#include "platform/gl_window.h"
#include "render/movie_toolbox.h"
#include "render/movie_toolbox_counting.h"
#include "render/ogl_state.h"
#include "render/qtim.h"
#include "support/gui_window.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"

namespace {

constexpr int kW = 800, kH = 600;

// Frame k: the top half green, the bottom half red, both with 8k of blue.
void draw_frame(int k) { offscreen::top_and_bottom(kW, kH, {0, 255, 8 * k}, {255, 0, 8 * k}); }

TEST(MovieFile, ARecordingBecomesAMotionJpegMovie) {
    testsupport::xvfb server;
    ASSERT_TRUE(server.running());
    ASSERT_TRUE(testsupport::open_window_on(server, kW, kH)) << platform::window_error();
    glExt.init_extensions();
    reno.reno_init();
    scratch_array = TEX_scratch_aligned_start();
    tman.TEX_init();
    ASSERT_EQ(wins.win_px_w, kW);
    ASSERT_EQ(wins.win_px_h, kH);

    testsupport::temp_dir tmp;
    char was[PATH_MAX] = {};
    ASSERT_NE(::getcwd(was, sizeof was), nullptr);
    ASSERT_EQ(::chdir(tmp.path().c_str()), 0);
    movie_toolbox_counting toolbox(movie_toolbox_ffmpeg());
    qtim_set_toolbox_for_test(&toolbox);
    qtim_reset_frame_clock_for_test();
    qtim.mov_dx = 320;
    qtim.mov_fps = 20;

    qtim.mov_toggle(1);
    ASSERT_EQ(qtim.mov_mode, 1);
    // Every frame due: the first arms, the others are captured, and (through the pixel-pack
    // buffer) each is sent at the next capture. Each frame waits for the compressor to catch up,
    // so none is dropped.
    const int lag = glExt.pbo_avail && reno.alias_got == 0 ? 1 : 0;
    int frames = 0;
    for (; frames < 12 || qtim.frames_back <= 2; ++frames) {
        const int sent = std::max(0, frames - 1 - lag);
        ASSERT_TRUE(moviefake::wait_for([&] { return toolbox.samples >= sent; }));
        draw_frame(frames + 1);
        xtim.frame_period = 0.05f;
        qtim.mov_per_frame();
        ASSERT_LT(frames, 100);
    }
    const int sent = frames - 1 - lag;
    qtim.mov_toggle(0);
    ASSERT_EQ(qtim.mov_mode, 0);
    EXPECT_EQ(toolbox.samples, sent);
    qtim.mov_stop_thread();
    moviefake::free_frames();
    qtim_set_toolbox_for_test(nullptr);

    std::string probe;
    ASSERT_EQ(testsupport::run_with_display(server.display(),
                                            {"ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0",
                                             "-show_entries", "stream=codec_name,width,height,nb_read_frames", "-of",
                                             "csv=p=0", tmp / "Ventaro _1.mov"},
                                            &probe),
              0);
    EXPECT_EQ(probe, "mjpeg,320,240," + std::to_string(sent) + "\n");

    // The second frame of the movie, decoded: captured from window frame 3.
    std::string raw;
    ASSERT_EQ(testsupport::run_with_display(server.display(),
                                            {"ffmpeg", "-v", "error", "-i", tmp / "Ventaro _1.mov", "-vf",
                                             "select=eq(n\\,1)", "-frames:v", "1", "-f", "rawvideo", "-pix_fmt",
                                             "rgb24", "-"},
                                            &raw),
              0);
    ASSERT_EQ(raw.size(), 320u * 240u * 3u);
    auto near = [&](int x, int row, int r, int g, int b) {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(raw.data()) + (row * 320 + x) * 3;
        return std::abs(p[0] - r) <= 12 && std::abs(p[1] - g) <= 12 && std::abs(p[2] - b) <= 12;
    };
    EXPECT_TRUE(near(160, 20, 0, 255, 24)) << "top";      // rows top first: green above
    EXPECT_TRUE(near(160, 220, 255, 0, 24)) << "bottom";
    ASSERT_EQ(::chdir(was), 0);
}

}  // namespace
