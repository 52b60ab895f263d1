// One HTTP stream polled in a tight loop, downloading one file through a proxy (the way the
// installer reaches its mirrors). bench/http.sh starts nginx, makes the file and compares with curl.
//   VENTARO_BENCH_HTTP_PORT  the proxy (nginx) port on 127.0.0.1
//   VENTARO_BENCH_HTTP_HOST  the mirror name in the URL
//   VENTARO_BENCH_HTTP_PATH  the path on the mirror
//   VENTARO_BENCH_HTTP_OUT   the local file to write
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "files/http.h"

namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

void BM_download(benchmark::State& state) {
    const std::string port = env("VENTARO_BENCH_HTTP_PORT"), host = env("VENTARO_BENCH_HTTP_HOST"),
                      path = env("VENTARO_BENCH_HTTP_PATH"), out = env("VENTARO_BENCH_HTTP_OUT");
    if (port.empty() || host.empty() || path.empty() || out.empty()) {
        state.SkipWithError("run through bench/http.sh");
        return;
    }
    http.proxy_host = "127.0.0.1";
    http.proxy_port_int = std::atoi(port.c_str());
    int64_t bytes = 0;
    for (auto _ : state) {
        int r = 0;
        while (r == 0) r = http.net_check(3, host, path, out);
        if (r != 1) {
            state.SkipWithError("download failed");
            return;
        }
        bytes += http.streams[3]->bytes_done;
    }
    state.SetBytesProcessed(bytes);
}

BENCHMARK(BM_download)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

}  // namespace

BENCHMARK_MAIN();
