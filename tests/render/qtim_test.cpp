// The movie recorder against a recorded GL and a stand-in movie library: the swap of every frame,
// the frame-rate clock, the calls of a capture with and without a pixel-pack buffer, durations,
// dropped frames, the stop handshake, refused starts, names, and a compressor that died.
#include "render/qtim.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>

#include "core/frame_clock.h"
#include "core/memory.h"
#include "core/log.h"
#include "core/shell_services.h"
#include "core/thread_layer.h"
#include "movie_fake.h"
#include "platform/gl_window.h"
#include "draw_fixture.h"
#include "ui/tt_font.h"   // the settings window's text
#include "recorded_gl.h"
#include "support/temp_dir.h"

namespace {

using calls = std::vector<std::string>;
using moviefake::wait_for;

class Recorder : public drawtest::RecordedDraw {
protected:
    void SetUp() override {
        RecordedDraw::SetUp();
        recgl::load_ext_slots();
        glExt.threaded_avail = 0;
        glExt.pbo_avail = 0;
        glExt.vbo_avail = 1;
        reno.alias_got = 0;
        ASSERT_TRUE(xer.open(tmp / "log.txt"));
        ASSERT_NE(::getcwd(was, sizeof was), nullptr);
        ASSERT_EQ(::chdir(tmp.path().c_str()), 0);
        qtim_set_toolbox_for_test(&fake);
        qtim_reset_frame_clock_for_test();
        qtim.mov_dx = 320;
        qtim.mov_fps = 20;
        qtim.frames_back = 0;
        THREAD_init();
    }
    void TearDown() override {
        fake.hold = 0;
        qtim.mov_stop_thread();
        moviefake::free_frames();
        gCurrentMovie = 0;
        if (tman.tex_exists(qt_capture_ref)) tman.unload_texture(qt_capture_ref);
        qtim_set_toolbox_for_test(nullptr);
        THREAD_shutdown();
        ASSERT_EQ(::chdir(was), 0);
        xer.close();
        RecordedDraw::TearDown();
    }
    void frame(float period) {
        xtim.frame_period = period;
        const std::size_t before = rec.calls.size();
        qtim.mov_per_frame();
        for (std::size_t i = before; i < rec.calls.size(); ++i) reads += rec.calls[i].rfind("glReadPixels", 0) == 0;
    }
    // Frames of 0.05 s (every one due at 20 per second) until a toggle can stop the recording;
    // each frame first waits for the compressor to have taken every frame sent so far.
    void run_until_stoppable() {
        for (int i = 0; i < 50 && qtim.frames_back <= 2; ++i) {
            const std::size_t sent = glExt.pbo_avail && reads ? reads - 1 : reads;
            ASSERT_TRUE(wait_for([&] { return fake.compressed() >= sent; }));
            frame(0.05f);
        }
        ASSERT_GT(qtim.frames_back, 2);
    }

    testsupport::temp_dir tmp;
    char was[PATH_MAX] = {};
    moviefake::toolbox fake;
    std::size_t reads = 0;   // read-backs of every frame so far
};

TEST_F(Recorder, AnIdleRecorderOnlySwapsAndKeepsTime) {
    // The swap itself is the shell's; here it is counted.
    static int swaps = 0;
    swaps = 0;
    g_shell.swap_buffers = [] { ++swaps; };
    for (int i = 0; i < 5; ++i) frame(1.0f);
    g_shell.swap_buffers = nullptr;
    EXPECT_EQ(swaps, 5);
    EXPECT_EQ(rec.take(), calls(5, "glColor3f(1, 1, 1)"));   // the swap's colour, nothing else
    EXPECT_EQ(qtim.mov_mode, 0);
    qtim.mov_toggle(0);   // nothing to stop
    EXPECT_EQ(qt_thread_made, 0);
}

TEST_F(Recorder, ARecordingCapturesAtTheFrameRateAndFinishesTheMovie) {
    qtim.mov_toggle(1);
    ASSERT_EQ(qtim.mov_mode, 1);
    EXPECT_EQ(qtim.mov_dy, 240);
    EXPECT_EQ(fake.taken_steps(), (calls{"check_path Ventaro _1.mov", "create_file Ventaro _1.mov",
                                         "begin_edits 320x240", "begin_compression 320x240", "max_compressed_size",
                                         "detach"}));
    EXPECT_EQ(usable_buffers.size(), 3u);
    rec.take();

    // 1/32 s frames at 20 per second: the first due frame arms, then every second frame captures.
    const float period = 0.03125f;
    calls made;
    std::vector<int> captured;
    for (int i = 1; i <= 8; ++i) {
        frame(period);
        const calls c = rec.take();
        if (!c.empty() && c.front().rfind("glCopyTexSubImage2D", 0) == 0) captured.push_back(i);
        if (i == 3) made = c;
    }
    EXPECT_EQ(captured, (std::vector<int>{3, 5, 7}));
    // Before the swap the window goes into the capture texture; after it, the scaled quad is read.
    const std::string tex = std::to_string(gl_name(qt_capture_ref));
    ASSERT_GE(made.size(), 12u);
    EXPECT_EQ(made[0], "glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, 800, 600)");
    EXPECT_EQ(made[1], "glColor3f(1, 1, 1)");
    EXPECT_EQ(made.back(), "glReadPixels(0, 0, 320, 240, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, ptr)");
    const auto quad = drawtest::quad_batches(made);
    ASSERT_EQ(quad.size(), 1u);
    EXPECT_EQ(quad[0].size(), 4u);
    EXPECT_NEAR(quad[0][0].t, 600.0 / 2048.0, 1e-6);   // lower-left: the capture's top
    EXPECT_NEAR(quad[0][2].s, 800.0 / 2048.0, 1e-6);
    EXPECT_EQ(quad[0][2].x, 320);
    EXPECT_EQ(quad[0][2].y, 240);

    // A stop is ignored until three frames have come back.
    qtim.mov_toggle(0);
    EXPECT_EQ(qtim.mov_mode, 1);
    run_until_stoppable();
    qtim.mov_toggle(0);
    EXPECT_EQ(qtim.mov_mode, 0);
    EXPECT_EQ(qt_array, nullptr);
    EXPECT_FALSE(tman.tex_exists(qt_capture_ref));
    EXPECT_EQ(usable_buffers.size(), 3u);   // the handshake brought every frame back
    const std::vector<int> d = fake.samples();
    ASSERT_GE(d.size(), 3u);
    EXPECT_EQ(std::vector<int>(d.begin(), d.begin() + 3), (std::vector<int>{56, 37, 37}));   // 3/32 s, then 2/32
    const calls steps = fake.taken_steps();
    EXPECT_EQ(calls(steps.end() - 6, steps.end()),
              (calls{"attach", "end_compression", "end_edits", "insert_media", "add_resource", "close_file"}));
    EXPECT_EQ(steps.front(), "attach");   // the compressor took the movie with its first frame
}

TEST_F(Recorder, DurationsAreClampedToOneToSixtyUnits) {
    const struct {
        const char* name;
        float idle_before, period, fps;
        int first, second;
    } cases[] = {
        {"a long idle time stands as a tenth of a second", 100.0f, 0.03125f, 20, 60, 37},
        {"shorter than a unit stands as one", 0, 1.0f / 2048, 1024, 1, 1},
    };
    for (const auto& c : cases) {
        qtim_reset_frame_clock_for_test();
        qtim.mov_fps = c.fps;
        if (c.idle_before > 0) frame(c.idle_before);
        const std::size_t before = fake.samples().size();
        qtim.mov_toggle(1);
        for (int i = 0; i < 5; ++i) frame(c.period);
        ASSERT_TRUE(wait_for([&] { return fake.samples().size() >= before + 2; })) << c.name;
        const std::vector<int> d = fake.samples();
        EXPECT_EQ(d[before], c.first) << c.name;
        EXPECT_EQ(d[before + 1], c.second) << c.name;
        qtim.mov_fps = 20;
        run_until_stoppable();
        qtim.mov_toggle(0);
        ASSERT_EQ(qtim.mov_mode, 0) << c.name;
    }
}

TEST_F(Recorder, ACaptureWithNoFreeBufferIsDroppedWithItsTime) {
    qtim.mov_toggle(1);
    fake.hold = 1;   // the compressor sits on the first frame
    frame(0.05f);    // arms
    for (int i = 0; i < 3; ++i) frame(0.05f);
    EXPECT_TRUE(usable_buffers.empty());
    rec.take();
    frame(0.07f);    // captured, but no buffer: nothing read back
    const calls dropped = rec.take();
    EXPECT_EQ(dropped.front(), "glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, 800, 600)");
    for (const std::string& c : dropped) EXPECT_NE(c.rfind("glReadPixels", 0), 0u) << c;
    fake.hold = 0;
    ASSERT_TRUE(wait_for([&] { return fake.samples().size() == 3; }));
    frame(0.05f);   // buffers back: this one is sent, standing for its own 0.05 s only
    ASSERT_TRUE(wait_for([&] { return fake.samples().size() == 4; }));
    // The first stands for the arming frame too.
    EXPECT_EQ(fake.samples(), (std::vector<int>{60, 30, 30, 30}));
}

TEST_F(Recorder, ThePixelPackPathSendsEachCaptureOneCaptureLate) {
    glExt.pbo_avail = 1;
    rec.next_name = 50;
    qtim.mov_toggle(1);
    EXPECT_EQ(rec.matching({"glGenBuffers", "glBindBufferARB", "glBufferDataARB"}),
              (calls{"glGenBuffers(1, ptr)", "glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, " + std::to_string(pbo_id) + ")",
                     "glBufferDataARB(GL_PIXEL_PACK_BUFFER_ARB, 307200, NULL, GL_DYNAMIC_READ_ARB)",
                     "glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, 0)"}));
    rec.take();
    const std::string bind = "glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, " + std::to_string(pbo_id) + ")";
    const std::string unbind = "glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, 0)";
    const std::string read = "glReadPixels(0, 0, 320, 240, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, NULL)";
    frame(0.05f);   // arms
    frame(0.05f);
    EXPECT_EQ(rec.matching({"glBindBuffer", "glGetBufferSubData", "glReadPixels"}), (calls{bind, read, unbind}));
    rec.take();
    EXPECT_EQ(qt_thread_made, 1);
    frame(0.08f);
    EXPECT_EQ(rec.matching({"glBindBuffer", "glGetBufferSubData", "glReadPixels"}),
              (calls{bind, "glGetBufferSubDataARB(GL_PIXEL_PACK_BUFFER_ARB, 0, 307200, ptr)", unbind, bind, read, unbind}));
    rec.take();
    // One frame went out: it holds the first capture's pixels and its own capture's duration.
    ASSERT_TRUE(wait_for([&] { return fake.samples().size() == 1; }));
    EXPECT_EQ(fake.samples(), std::vector<int>{48});
    EXPECT_EQ(usable_buffers.size(), 2u);

    // A multisampled window reads straight into the frame.
    qtim.mov_stop_thread();
    qtim_reset_frame_clock_for_test();
    reno.alias_got = 1;
    qtim.mov_toggle(1);
    rec.take();
    frame(0.05f);
    frame(0.05f);
    EXPECT_EQ(rec.matching({"glReadPixels"}),
              calls{"glReadPixels(0, 0, 320, 240, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, ptr)"});
}

TEST_F(Recorder, StartsTooLargeOrTwiceAreRefused) {
    wins.win_px_w = 2049;
    qtim.mov_toggle(1);
    EXPECT_EQ(qtim.mov_mode, 0);
    EXPECT_EQ(qt_array, nullptr);
    EXPECT_NE(xer.contents_for_test().find("Oops!\nYou can NOT record movies in Ventaro at any Ventaro resolution "
                                           "higher that 2048 x 2048!\nThis limit is to keep the VRAM requirements of "
                                           "Ventaro down.\n"),
              std::string::npos);

    wins.win_px_w = 1600;
    wins.win_px_h = 1000;
    gCurrentMovie = 1;   // a movie somehow still open
    qtim.mov_toggle(1);
    EXPECT_EQ(qtim.mov_mode, 0);
    EXPECT_EQ(qt_array, nullptr);
    EXPECT_NE(xer.contents_for_test().find("Trying to create a movie but one already exists\nVentaro _1.mov\n"),
              std::string::npos);
    EXPECT_EQ(qtim.mov_dy, 200);
    gCurrentMovie = 0;
}

TEST_F(Recorder, MoviesTakeTheNextFreeNumberInTheCurrentFolder) {
    testsupport::write_file(tmp / "Ventaro _1.mov", "taken");
    qtim.mov_toggle(1);
    EXPECT_EQ(fake.taken_steps()[1], "create_file Ventaro _2.mov");
}

TEST_F(Recorder, AStopPendingRecorderCapturesNothingAndStopsOnceFramesCameBack) {
    qtim.mov_toggle(2);
    EXPECT_EQ(qtim.mov_mode, 2);
    EXPECT_EQ(fake.taken_steps(), calls{});   // no movie
    for (int i = 0; i < 4; ++i) frame(0.05f);
    EXPECT_TRUE(rec.matching({"glCopyTexSubImage2D", "glReadPixels"}).empty());
    EXPECT_EQ(qtim.mov_mode, 2);   // no frame ever came back
    qtim.mov_stop_thread();
    EXPECT_EQ(qtim.mov_mode, 0);
    EXPECT_EQ(qt_thread_made, 0);
}

TEST_F(Recorder, TheThreadEndsEvenBeforeTheFirstFrame) {
    qtim.mov_toggle(1);
    ASSERT_EQ(qt_thread_made, 1);
    qtim.mov_stop_thread();
    EXPECT_EQ(qt_thread_made, 0);
    EXPECT_EQ(qtim.mov_mode, 0);
    const calls steps = fake.taken_steps();
    EXPECT_EQ(steps.back(), "close_file");
}

TEST_F(Recorder, AStopWithoutAMovieWarnsAndLeavesTheRecorderIdle) {
    qtim.mov_toggle(1);
    run_until_stoppable();
    gCurrentMovie = 0;
    qtim.mov_toggle(0);
    EXPECT_NE(xer.contents_for_test().find("Cannot finish record of a movie that was not started!\n"),
              std::string::npos);
    EXPECT_EQ(qtim.mov_mode, 0);
    EXPECT_EQ(qt_array, nullptr);
    // And a new recording starts.
    qtim.mov_toggle(1);
    EXPECT_EQ(qtim.mov_mode, 1);
    EXPECT_EQ(gCurrentMovie, 1);
}

TEST_F(Recorder, AStopDoesNotWaitForACompressorThatEnded) {
    fake.fail = "compress";   // a quit alert on the compressor thread ends it
    qtim.mov_toggle(1);
    frame(0.05f);
    frame(0.05f);
    ASSERT_TRUE(wait_for([&] { return fake.compressed() == 1; }));
    mov_stoprecord();
    EXPECT_EQ(qtim.mov_mode, 0);
    EXPECT_EQ(usable_buffers.size(), 3u);   // it gave back the frame it held
}

}  // namespace

namespace {

TEST_F(Recorder, TheSettingsWindowAsksForAStopWhileRecording) {
    drawtest::link_bundle_resources({"DejaVuSans.ttf", "DejaVuSansBold.ttf"});
    TT_reset_font(tt_both);
    qtim.qtim_wind();
    EXPECT_EQ(qtim.mov_mode, 0);   // idle: nothing to stop, nothing started
    EXPECT_EQ(qt_thread_made, 0);
    EXPECT_FALSE(rec.matching({"glBegin(GL_QUADS)"}).empty());   // frames and text drawn

    qtim.mov_toggle(1);
    qtim.qtim_wind();
    EXPECT_EQ(qtim.mov_mode, 1);   // too early: ignored
    run_until_stoppable();
    qtim.qtim_wind();
    EXPECT_EQ(qtim.mov_mode, 0);
    TT_reset_font(tt_both);
}

}  // namespace

namespace {

TEST_F(Recorder, TheSettingsWindowKeepsRateAndWidthInTheirRanges) {
    drawtest::link_bundle_resources({"DejaVuSans.ttf", "DejaVuSansBold.ttf"});
    TT_reset_font(tt_both);
    const struct {
        float fps;
        int width;
        float fps_after;
        int width_after;
    } cases[] = {{5, 5000, 10, 2048}, {150, 8, 99, 32}, {24.6f, 640, 25, 640}};
    for (const auto& c : cases) {
        qtim.mov_fps = c.fps;
        qtim.mov_dx = c.width;
        qtim.qtim_wind();
        EXPECT_EQ(qtim.mov_fps, c.fps_after);
        EXPECT_EQ(qtim.mov_dx, c.width_after);
    }
    qtim.mov_fps = 20;
    qtim.mov_dx = 320;
    TT_reset_font(tt_both);
}

}  // namespace
