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
#include "render/ogl_state.h"
#include "render/qtim.h"
#include "support/gui_window.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"

namespace {

constexpr int kW = 800, kH = 600;

// FFmpeg's toolbox with the samples written counted, so the test knows when the compressor is done.
class counting_toolbox : public movie_toolbox {
public:
    movie_toolbox& real = movie_toolbox_ffmpeg();
    std::atomic<int> samples{0};
    int enter() override { return real.enter(); }
    void leave() override { real.leave(); }
    int check_path(const std::string& p) override { return real.check_path(p); }
    int create_file(const std::string& p) override { return real.create_file(p); }
    int begin_edits(int w, int h) override { return real.begin_edits(w, h); }
    int begin_compression(int w, int h) override { return real.begin_compression(w, h); }
    int max_compressed_size(long* b) override { return real.max_compressed_size(b); }
    int compress(const unsigned char* p, long* b) override { return real.compress(p, b); }
    int add_sample(long b, int d) override {
        const int err = real.add_sample(b, d);
        ++samples;
        return err;
    }
    void end_compression() override { real.end_compression(); }
    int end_edits() override { return real.end_edits(); }
    int insert_media() override { return real.insert_media(); }
    int add_resource() override { return real.add_resource(); }
    void close_file() override { real.close_file(); }
};

// Frame k: the top half green, the bottom half red, both with 8k of blue.
void draw_frame(int k) {
    offscreen::pixel_view(kW, kH);
    OGL_setstate(1, 0, 1, 0, 1, 1);
    gl.glClearColor(1, 0, static_cast<float>(8 * k) / 255.0f, 1);
    gl.glClear(GL_COLOR_BUFFER_BIT);
    gl.glColor3ub(0, 255, static_cast<GLubyte>(8 * k));
    gl.glBegin(GL_QUADS);
    gl.glVertex2f(0, kH / 2);
    gl.glVertex2f(0, kH);
    gl.glVertex2f(kW, kH);
    gl.glVertex2f(kW, kH / 2);
    gl.glEnd();
}

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
    counting_toolbox toolbox;
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
