// Installs a set from mirrors that bench/install.sh serves through one nginx, driven frame by
// frame as the install screens drive it, then scans the installed copy by MD5.
//
// Environment (set by bench/install.sh): VENTARO_BENCH_PROXY_PORT, VENTARO_BENCH_DEST,
// VENTARO_BENCH_TEMP.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "core/frame_clock.h"
#include "core/shared_constants.h"
#include "files/http.h"
#include "install/checksum.h"
#include "install/install_filter.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/scheduler.h"
#include "install/server_list.h"

namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

// Waits for the rest of a 1/60 s tick, as the event pump does, then moves the frame clock.
void end_frame(std::chrono::steady_clock::time_point frame_start) {
    const auto tick = std::chrono::microseconds(16667);
    const auto spent = std::chrono::steady_clock::now() - frame_start;
    if (spent < tick) std::this_thread::sleep_for(tick - spent);
    xtim.xtim_update();
}

void BM_install_from_three_mirrors(benchmark::State& state) {
    http.proxy_host = "127.0.0.1";
    http.proxy_port_int = std::atoi(env("VENTARO_BENCH_PROXY_PORT").c_str());
    for (auto _ : state) {
        stg_set_initial();
        install_name = no_install_name;
        temp_path = env("VENTARO_BENCH_TEMP");
        dest_dir_path = env("VENTARO_BENCH_DEST");
        servers.clear();
        while (stg.stage != 3) {
            const auto start = std::chrono::steady_clock::now();
            UTL_download_directory();
            if (stg.stage == 2) {
                state.SkipWithError("the manifest could not be read");
                return;
            }
            end_frame(start);
        }
        int counter = 0;
        float progress = 0;
        checksum_directory(counter, 0, progress);
        if (!choose_files() || make_dirs() != 0) {
            state.SkipWithError("the install could not start");
            return;
        }
        next.reset_all_streams();
        int result = 0;
        while (!result) {
            const auto start = std::chrono::steady_clock::now();
            const uint64_t budget_start = xtim_class::microsecs();
            do result = grab_files();
            while (!result && xtim_class::microsecs() - budget_start < 20000);
            end_frame(start);
        }
        state.counters["files"] = (double)sim_info.size();
        state.counters["MB"] = next.uncomp_done / 1000.0;
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
