// The install-set builder's engine alone, without its program's window: one web set of the
// master folder VENTARO_BENCH_MASTER into VENTARO_BENCH_OUT (which must not exist), with an
// empty previous release, as bench/builder.sh makes them. Threads: VENTARO_BENCH_THREADS, or one
// per processor.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "install/install_builder.h"

namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

void BM_build_web_set(benchmark::State& state) {
    const std::string master = env("VENTARO_BENCH_MASTER"), out = env("VENTARO_BENCH_OUT");
    if (master.empty() || out.empty()) {
        state.SkipWithError("VENTARO_BENCH_MASTER and VENTARO_BENCH_OUT name the folders");
        return;
    }
    const std::string previous = out + ".previous.txt";
    std::ofstream(previous) << "I\n900 version\nINSTALLER\n\n";
    build_type = 0;
    src_fold = master + "/";
    old_dir_path = previous;
    builder_threads = std::atoi(env("VENTARO_BENCH_THREADS").c_str());
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove_all(out);
        state.ResumeTiming();
        dst_fold_base = out + "/";
        build_install_set();
    }
    std::filesystem::remove(previous);
}
BENCHMARK(BM_build_web_set)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
