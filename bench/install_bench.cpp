// Installs a set from mirrors that bench/install.sh serves through one nginx, driven frame by
// frame as the install screens drive it, then scans the installed copy by MD5. Besides the whole
// time (manifest and install), it reports the install screen's own time, its number of frames, its
// longest frame (the work of one frame, which the screen means to keep within 20 ms; a frame ends
// with the pass that crosses 20 ms) and its longest single pass of grab_files.
//
// Environment (set by bench/install.sh): VENTARO_BENCH_PROXY_PORT, VENTARO_BENCH_DEST,
// VENTARO_BENCH_TEMP.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "core/app_globals.h"
#include "core/frame_clock.h"
#include "core/shared_constants.h"
#include "files/http.h"
#include "install/checksum.h"
#include "install/copy_state.h"
#include "install/install_filter.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/scheduler.h"
#include "install/server_list.h"
#include "platform/bundle.h"

namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

// Processor time of the calling thread, user and system, in milliseconds.
double thread_cpu_ms() {
    rusage u{};
    ::getrusage(RUSAGE_THREAD, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

double ms_since(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count();
}

// Waits for the rest of a 1/60 s tick, as the event pump does, then moves the frame clock.
void end_frame(std::chrono::steady_clock::time_point frame_start) {
    const auto tick = std::chrono::microseconds(16667);
    const auto spent = std::chrono::steady_clock::now() - frame_start;
    if (spent < tick) std::this_thread::sleep_for(tick - spent);
    xtim.xtim_update();
}

void BM_install_from_three_mirrors(benchmark::State& state) {
    // As start-up finds it for the program's own volume: paths are case-corrected when a file is
    // not found under its exact name.
    g_case_sensitive = platform::volume_case_sensitive(env("VENTARO_BENCH_TEMP")) == 1 ? 1 : 0;
    http.proxy_host = "127.0.0.1";
    http.proxy_port_int = std::atoi(env("VENTARO_BENCH_PROXY_PORT").c_str());
    for (auto _ : state) {
        stg_set_initial();
        install_name = no_install_name;
        temp_path = env("VENTARO_BENCH_TEMP");
        dest_dir_path = env("VENTARO_BENCH_DEST");
        servers.clear();
        const auto run_start = std::chrono::steady_clock::now();
        while (stg.stage != 3) {
            const auto start = std::chrono::steady_clock::now();
            UTL_download_directory();
            if (stg.stage == 2) {
                state.SkipWithError("the manifest could not be read");
                return;
            }
            // The screen that has the manifest moves on, and the pump does not wait before the
            // next screen's first frame.
            if (stg.stage == 3) xtim.xtim_update();
            else end_frame(start);
        }
        state.counters["manifest_ms"] = ms_since(run_start);
        int counter = 0;
        float progress = 0;
        checksum_directory(counter, 0, progress);
        if (!choose_files() || make_dirs() != 0) {
            state.SkipWithError("the install could not start");
            return;
        }
        next.reset_all_streams();
        mark_copy_incomplete();
        // The install screen's frames: grab_files again and again for 20 ms, then the tick ends.
        const auto install_start = std::chrono::steady_clock::now();
        const double cpu_start = thread_cpu_ms();
        double longest_ms = 0;
        uint64_t longest_pass_us = 0;
        int frames = 0;
        int result = 0;
        double wire_ms = 0;   // until the last download is in: what is left is extraction
        const auto all_fetched = [] {
            for (const auto& s : next.streams)
                if (s.file_index < (int)sim_info.size()) return false;
            return !next.streams.empty();
        };
        while (!result) {
            const auto start = std::chrono::steady_clock::now();
            const uint64_t budget_start = xtim_class::microsecs();
            do {
                const uint64_t pass_start = xtim_class::microsecs();
                result = grab_files();
                const uint64_t took = xtim_class::microsecs() - pass_start;
                longest_pass_us = std::max(longest_pass_us, took);
                if (!wire_ms && (result || all_fetched())) wire_ms = ms_since(install_start);
            } while (!result && xtim_class::microsecs() - budget_start < 20000);
            longest_ms = std::max(longest_ms, ms_since(start));
            ++frames;
            // The frame that ends the run changes the screen, and the pump then draws the next
            // screen at once: only the frames before it wait out their tick.
            if (!result) end_frame(start);
        }
        // What the screen does once the run is over: the copy goes to disk and stops being unfinished.
        next.reset_all_streams();
        const auto finish_start = std::chrono::steady_clock::now();
        if (!stg.error_flag && finish_installed_copy() != 0) state.SkipWithError("the copy could not be finished");
        state.counters["finish_ms"] = ms_since(finish_start);
        state.counters["files"] = (double)sim_info.size();
        state.counters["MB"] = next.uncomp_done / 1000.0;
        state.counters["install_ms"] = ms_since(install_start);
        state.counters["main_cpu_ms"] = thread_cpu_ms() - cpu_start;
        state.counters["fetched_ms"] = wire_ms;
        state.counters["start_ms"] = std::chrono::duration<double, std::milli>(install_start - run_start).count();
        state.counters["longest_frame_ms"] = longest_ms;
        state.counters["frames"] = frames;
        state.counters["longest_pass_ms"] = longest_pass_us / 1000.0;
        if (stg.error_flag) state.SkipWithError("the install ended with an error");
        next.reset_all_streams();
    }
}

void BM_md5_scan_of_installed_copy(benchmark::State& state) {
    for (auto _ : state) {
        int counter = 0;
        float progress = 0;
        while (!checksum_directory(counter, 0, progress)) std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    int matching = 0;
    for (const auto& h : sim_info) matching += h.current().match;
    state.counters["matching"] = matching;
}

}  // namespace

BENCHMARK(BM_install_from_three_mirrors)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_md5_scan_of_installed_copy)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
