// The file dialog open on a folder of 10,000 entries (and of 100, and, as the reference in the
// same run, the frame pump alone with an empty screen), in the real window under Xvfb with Mesa's
// llvmpipe. Each dialog frame lists the folder from disk again, sorts it, draws the panel, the
// list's visible rows and the slider, and swaps. CPU time per frame of the drawing thread and of
// the whole process. bench/file_dialog.sh starts the X server and lays out the bundle.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/app_globals.h"
#include "core/shell_services.h"
#include "platform/gl_window.h"
#include "render/background.h"
#include "render/gl_api.h"
#include "render/interface_art.h"
#include "render/ogl_extensions.h"
#include "render/renderer_options.h"
#include "render/tex_scratch.h"
#include "render/tman.h"
#include "render/view.h"
#include "shell/event_pump.h"
#include "shell/windows.h"
#include "ui/file_dialog.h"
#include "render/panel_record.h"

namespace {

double cpu_seconds(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

bool g_ready = false;
std::string g_base;

// A folder of n entries: one in ten a folder, the rest files of the listed kinds and others.
void make_folder(const std::string& path, int n) {
    ::mkdir(path.c_str(), 0755);
    const char* const ext[] = {".TXT", ".SIT", ".acf", ".png", ".dat", ".REP", ".obj", ""};
    for (int i = 0; i < n; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "entry %05d%s", (i * 7919) % n, i % 10 == 0 ? "" : ext[i % 8]);
        const std::string full = path + "/" + name;
        if (i % 10 == 0) {
            ::mkdir(full.c_str(), 0755);
        } else if (FILE* f = std::fopen(full.c_str(), "w")) {
            std::fclose(f);
        }
    }
}

bool set_up() {
    const char* tmp = std::getenv("TMPDIR");
    g_base = std::string(tmp && *tmp ? tmp : "/tmp") + "/file_dialog_bench/";
    ::mkdir(g_base.c_str(), 0755);
    make_folder(g_base + "big", 10000);
    make_folder(g_base + "small", 100);
    app_path = g_base;

    wins.windowed_w = 800;
    wins.windowed_h = 600;
    if (cons.cons_make(0) != 1) return false;
    glExt.init_extensions();
    reno.reno_init();
    scratch_array = TEX_scratch_aligned_start();
    tman.TEX_init();
    TEX_load_interface_art();
    wins.panel_id = -1;
    for (int i = 0; i < 10; ++i) MACIBM_event_proc();
    OGL_pix_specs(0);
    return true;
}

// The dialog's frames are the benchmark's iterations: each pass runs one, and the dialog is
// closed once the benchmark has had its frames.
benchmark::State* g_state = nullptr;
void (*g_pump)() = nullptr;
void timed_pass() {
    if (!g_state->KeepRunning()) {
        wins.start_win(0);
        return;
    }
    g_pump();
    gl.glFinish();
}

void report(benchmark::State& state, double thread_s, double process_s, int frames) {
    const double n = frames > 0 ? frames : 1;
    state.counters["thread_cpu_ms"] = thread_s / n * 1e3;
    state.counters["process_cpu_ms"] = process_s / n * 1e3;
}

void BM_dialog_frame(benchmark::State& state) {
    if (!g_ready) {
        state.SkipWithError("no window");
        return;
    }
    const std::string path = state.range(0) == 10000 ? "big/x" : "small/x";
    std::string chosen = path;
    g_state = &state;
    g_pump = g_shell.event_proc;
    g_shell.event_proc = &timed_pass;
    const double t0 = cpu_seconds(CLOCK_THREAD_CPUTIME_ID), p0 = cpu_seconds(CLOCK_PROCESS_CPUTIME_ID);
    BTN_opensave(998, 0, &chosen);
    const double t1 = cpu_seconds(CLOCK_THREAD_CPUTIME_ID), p1 = cpu_seconds(CLOCK_PROCESS_CPUTIME_ID);
    g_shell.event_proc = g_pump;
    report(state, t1 - t0, p1 - p0, static_cast<int>(state.iterations()));
    state.counters["entries"] = static_cast<double>(state.range(0));
}

void BM_empty_frame(benchmark::State& state) {
    if (!g_ready) {
        state.SkipWithError("no window");
        return;
    }
    const double t0 = cpu_seconds(CLOCK_THREAD_CPUTIME_ID), p0 = cpu_seconds(CLOCK_PROCESS_CPUTIME_ID);
    for (auto _ : state) {
        OGL_plot_back_col();
        MACIBM_event_proc();
        gl.glFinish();
    }
    const double t1 = cpu_seconds(CLOCK_THREAD_CPUTIME_ID), p1 = cpu_seconds(CLOCK_PROCESS_CPUTIME_ID);
    report(state, t1 - t0, p1 - p0, static_cast<int>(state.iterations()));
    state.counters["entries"] = 0;
}

BENCHMARK(BM_empty_frame)->Unit(benchmark::kMillisecond)->Iterations(100);
BENCHMARK(BM_dialog_frame)->Arg(100)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(100);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    g_ready = set_up();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return g_ready ? 0 : 1;
}
