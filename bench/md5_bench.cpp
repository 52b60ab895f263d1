// MD5 of one large file, as the install engine's scan hashes installed files.
// The file is named by VENTARO_BENCH_MD5_FILE (bench/md5.sh makes a 512 MB one).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>

#include "files/md5.h"

static void BM_calc_file_md5(benchmark::State& state) {
    const char* path = std::getenv("VENTARO_BENCH_MD5_FILE");
    if (!path) {
        state.SkipWithError("VENTARO_BENCH_MD5_FILE is not set");
        return;
    }
    struct stat st;
    if (::stat(path, &st) != 0) {
        state.SkipWithError("cannot stat VENTARO_BENCH_MD5_FILE");
        return;
    }
    std::string md5;
    for (auto _ : state) {
        if (calc_file_md5(path, md5) != 0) state.SkipWithError("calc_file_md5 failed");
        benchmark::DoNotOptimize(md5);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(st.st_size));
    state.SetLabel(md5);
}
BENCHMARK(BM_calc_file_md5)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

// The digest alone, from memory, without the mapping.
static void BM_MD5UpdateWide(benchmark::State& state) {
    std::string data(size_t(state.range(0)), '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = char(i * 131 + (i >> 9));
    for (auto _ : state) {
        md5_context ctx;
        MD5Init(&ctx);
        MD5UpdateWide(&ctx, reinterpret_cast<const unsigned char*>(data.data()), uint32_t(data.size()));
        MD5Final(&ctx);
        benchmark::DoNotOptimize(ctx.digest);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_MD5UpdateWide)->Arg(64)->Arg(1 << 20);

BENCHMARK_MAIN();
