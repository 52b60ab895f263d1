// The screen-movie recorder at 800 x 600 in the real window (Xvfb, Mesa's llvmpipe), writing an
// 800 x 600 Motion-JPEG .mov through FFmpeg on its compressor thread, against ffmpeg's own screen
// grab (-f x11grab -c:v mjpeg) of the same window on the same display, in the same run:
//   flat out  - frames as fast as the loop goes, every frame due: movie frames written per second
//               of wall time (captures with no free buffer are dropped);
//   at 30 fps - ten seconds paced at 30 frames a second: frames dropped;
// (and the same loop not recording, for reference), and ffmpeg grabbing the window while this
// program keeps drawing it: flat out (-framerate 1000,
// 300 frames, wall time) and at 30 fps for ten seconds (its own drop count). Both sides write
// 4:2:0 JPEG at quantiser scale 3.
// Prints one line per measurement; bench/movie.sh starts the X server and runs it three times.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "core/frame_clock.h"
#include "platform/gl_window.h"
#include "render/gl_api.h"
#include "render/movie_toolbox.h"
#include "render/movie_toolbox_counting.h"
#include "render/ogl_extensions.h"
#include "render/ogl_state.h"
#include "render/qtim.h"
#include "render/renderer_options.h"
#include "render/tex_scratch.h"
#include "render/tman.h"
#include "shell/windows.h"
#include "render/panel_record.h"

extern char** environ;

namespace {

constexpr int kW = 800, kH = 600;
using clock_type = std::chrono::steady_clock;

// A moving scene with smooth and sharp detail: shaded bands sliding by, and a grid of squares.
void draw_scene(int frame) {
    gl.glViewport(0, 0, kW, kH);
    gl.glMatrixMode(GL_PROJECTION);
    gl.glLoadIdentity();
    gl.glOrtho(0, kW, 0, kH, -1, 1);
    gl.glMatrixMode(GL_MODELVIEW);
    gl.glLoadIdentity();
    OGL_setstate(1, 0, 1, 0, 1, 1);
    gl.glBegin(GL_QUADS);
    for (int band = 0; band < 16; ++band) {
        const float x = static_cast<float>((band * 60 + frame * 7) % (kW + 60)) - 60.0f;
        const float phase = static_cast<float>(band) * 0.4f + static_cast<float>(frame) * 0.05f;
        gl.glColor3f(0.5f + 0.5f * std::sin(phase), 0.5f + 0.5f * std::cos(phase), 0.3f);
        gl.glVertex2f(x, 0);
        gl.glColor3f(0.1f, 0.2f + 0.3f * std::sin(phase), 0.9f);
        gl.glVertex2f(x, kH);
        gl.glVertex2f(x + 60, kH);
        gl.glColor3f(0.5f + 0.5f * std::sin(phase), 0.5f + 0.5f * std::cos(phase), 0.3f);
        gl.glVertex2f(x + 60, 0);
    }
    for (int i = 0; i < 40; ++i) {
        const float x = static_cast<float>((i * 97 + frame * 3) % kW), y = static_cast<float>((i * 53) % kH);
        gl.glColor3f(static_cast<float>(i % 3) * 0.5f, 1.0f, static_cast<float>(i % 5) * 0.25f);
        gl.glVertex2f(x, y);
        gl.glVertex2f(x, y + 24);
        gl.glVertex2f(x + 24, y + 24);
        gl.glVertex2f(x + 24, y);
    }
    gl.glEnd();
}

double seconds_since(clock_type::time_point t0) {
    return std::chrono::duration<double>(clock_type::now() - t0).count();
}

struct recorded {
    int frames = 0, sent = 0, dropped = 0;
    double seconds = 0;
};

// frames frames, each due; paced at 30 a second when asked. Through the stop handshake.
recorded record(movie_toolbox_counting& toolbox, int frames, bool paced) {
    const int before = toolbox.samples;
    qtim_reset_frame_clock_for_test();
    qtim.mov_toggle(1);
    const auto t0 = clock_type::now();
    int total = 0;
    for (; total < frames || qtim.frames_back <= 2; ++total) {
        if (paced) std::this_thread::sleep_until(t0 + std::chrono::microseconds(33333LL * total));
        draw_scene(total);
        xtim.frame_period = 1.0f / 30.0f;
        qtim.mov_per_frame();
    }
    qtim.mov_toggle(0);
    recorded r;
    r.seconds = seconds_since(t0);
    r.frames = total;
    r.sent = toolbox.samples - before;
    // The first frame arms the capture; through the pixel-pack buffer the last capture stays unsent.
    const int lag = glExt.pbo_avail && reno.alias_got == 0 ? 1 : 0;
    r.dropped = (total - 1 - lag) - r.sent;
    return r;
}

// Runs ffmpeg while this program keeps drawing at 30 frames a second; its exit code, and its
// progress report (key=value lines) in report.
int grab_with_ffmpeg(const std::vector<std::string>& args, std::string& report, double& seconds) {
    int out[2];
    if (::pipe(out) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const auto t0 = clock_type::now();
    const int err = posix_spawnp(&pid, "ffmpeg", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (err != 0) {
        ::close(out[0]);
        return -1;
    }
    std::atomic<bool> done{false};
    std::thread reader([&] {
        char buf[4096];
        ssize_t n;
        while ((n = ::read(out[0], buf, sizeof buf)) > 0) report.append(buf, static_cast<std::size_t>(n));
        done = true;
    });
    int status = 0;
    for (int f = 0; ::waitpid(pid, &status, WNOHANG) == 0; ++f) {
        std::this_thread::sleep_until(t0 + std::chrono::microseconds(33333LL * f));
        draw_scene(f);
        gl.glFinish();
        qtim.mov_per_frame();   // idle: the swap alone
    }
    seconds = seconds_since(t0);
    reader.join();
    ::close(out[0]);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The last value of a key in ffmpeg's progress report.
std::string last_value(const std::string& report, const std::string& key) {
    std::string value;
    std::size_t at = 0;
    while ((at = report.find(key + "=", at)) != std::string::npos) {
        if (at == 0 || report[at - 1] == '\n') {
            const std::size_t end = report.find('\n', at);
            value = report.substr(at + key.size() + 1, end - at - key.size() - 1);
        }
        at += key.size();
    }
    return value;
}

}  // namespace

int main() {
    wins.windowed_w = kW;
    wins.windowed_h = kH;
    if (cons.cons_make(0) != 1) {
        std::fprintf(stderr, "no window: %s\n", platform::window_error());
        return 1;
    }
    glExt.init_extensions();
    reno.reno_init();
    scratch_array = TEX_scratch_aligned_start();
    tman.TEX_init();
    char folder[] = "/tmp/ventaro-movie-bench.XXXXXX";
    if (!::mkdtemp(folder) || ::chdir(folder) != 0) return 1;

    movie_toolbox_counting toolbox(movie_toolbox_ffmpeg());
    qtim_set_toolbox_for_test(&toolbox);
    qtim.mov_dx = kW;
    qtim.mov_fps = 30;
    for (int f = 0; f < 10; ++f) {   // the window mapped and drawn
        draw_scene(f);
        qtim.mov_per_frame();
    }

    // The reference for the loop itself: the scene drawn and swapped, nothing recorded.
    const auto idle0 = clock_type::now();
    for (int f = 0; f < 300; ++f) {
        draw_scene(f);
        xtim.frame_period = 1.0f / 30.0f;
        qtim.mov_per_frame();
    }
    gl.glFinish();
    std::printf("not recording     : 300 frames drawn and swapped at %6.1f frames/s\n", 300 / seconds_since(idle0));

    const recorded flat = record(toolbox, 300, false);
    std::printf("recorder flat out : %3d frames in %5.2f s, %3d written, %3d dropped: %6.1f movie frames/s (loop %6.1f frames/s)\n",
                flat.frames, flat.seconds, flat.sent, flat.dropped, flat.sent / flat.seconds,
                flat.frames / flat.seconds);
    const recorded paced = record(toolbox, 300, true);
    std::printf("recorder at 30 fps: %3d frames in %5.2f s, %3d written, %3d dropped\n", paced.frames, paced.seconds,
                paced.sent, paced.dropped);
    std::fflush(stdout);

    int x = 0, y = 0, w = 0, h = 0;
    platform::window_content_bounds(cons.windows[0], x, y, w, h);
    const std::string input = std::string(std::getenv("DISPLAY") ? std::getenv("DISPLAY") : ":0") + "+" +
                              std::to_string(x) + "," + std::to_string(y);
    const std::vector<std::string> common = {"ffmpeg", "-nostdin", "-y", "-f", "x11grab", "-video_size", "800x600"};
    std::string report;
    double seconds = 0;
    std::vector<std::string> args = common;
    for (const char* a : {"-framerate", "1000", "-i", input.c_str(), "-frames:v", "300", "-fps_mode", "passthrough",
                          "-c:v", "mjpeg", "-pix_fmt", "yuvj420p", "-q:v", "3", "-progress", "pipe:1", "flat.mov"})
        args.push_back(a);
    int rc = grab_with_ffmpeg(args, report, seconds);
    const int grabbed = std::atoi(last_value(report, "frame").c_str());
    std::printf("ffmpeg flat out   : %3d frames in %5.2f s (exit %d): %6.1f movie frames/s (its own count: %s)\n",
                grabbed, seconds, rc, grabbed / seconds, last_value(report, "fps").c_str());

    report.clear();
    args = common;
    for (const char* a : {"-framerate", "30", "-i", input.c_str(), "-t", "10", "-c:v", "mjpeg", "-pix_fmt", "yuvj420p",
                          "-q:v", "3", "-progress", "pipe:1", "paced.mov"})
        args.push_back(a);
    rc = grab_with_ffmpeg(args, report, seconds);
    std::printf("ffmpeg at 30 fps  : %s frames in %5.2f s (exit %d), %s dropped, %s duplicated\n",
                last_value(report, "frame").c_str(), seconds, rc, last_value(report, "drop_frames").c_str(),
                last_value(report, "dup_frames").c_str());

    qtim.mov_stop_thread();
    qtim_set_toolbox_for_test(nullptr);
    for (const char* f : {"Ventaro _1.mov", "Ventaro _2.mov", "flat.mov", "paced.mov"}) ::unlink(f);
    ::chdir("/");
    ::rmdir(folder);
    return 0;
}
