// Convex hull of a point cloud read from VENTARO_BENCH_HULL_POINTS (bench/hull.sh writes it in
// the reference program's input form: dimension, count, then x y z per line).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <vector>

#include "core/convex_hull_lists.h"

static const std::vector<float>& points() {
    static const std::vector<float> pts = [] {
        std::vector<float> out;
        const char* path = std::getenv("VENTARO_BENCH_HULL_POINTS");
        if (!path) return out;
        std::ifstream in(path);
        int dim = 0;
        long n = 0;
        in >> dim >> n;
        out.reserve(static_cast<size_t>(n) * 3);
        float v;
        while (in >> v) out.push_back(v);
        return out;
    }();
    return pts;
}

template <void (*Hull)(const std::vector<float>&, std::vector<float>&, std::vector<float>&)>
static void run(benchmark::State& state) {
    const std::vector<float>& pts = points();
    if (pts.size() < 9) {
        state.SkipWithError("VENTARO_BENCH_HULL_POINTS names no point file");
        return;
    }
    std::vector<float> planes, triangles;
    for (auto _ : state) {
        Hull(pts, planes, triangles);
        benchmark::DoNotOptimize(triangles.data());
    }
    state.counters["points"] = static_cast<double>(pts.size() / 3);
    state.counters["triangles"] = static_cast<double>(triangles.size() / 9);
}

BENCHMARK(run<UTL_create_ch_brute_force>)->Name("BM_brute_force")->Unit(benchmark::kMillisecond)->UseRealTime();
// It prints one line per call; the script keeps the standard output apart from the figures.
BENCHMARK(run<UTL_create_ch_two_stage>)->Name("BM_two_stage")->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
