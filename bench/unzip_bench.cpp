// Extracting a large zip, as an install extracts its downloads.
//   unzip_bench --make-zip=PATH   writes the test archive: 1000 entries, about 200 MB of mixed
//                                 text and random files in 21 folders, and PATH.md5 with the MD5
//                                 of every file in it ("digest  name" lines)
//   unzip_bench                   extracts VENTARO_BENCH_ZIP into a fresh folder per iteration:
//                                 BM_zip_to_checked_files also checks every file's MD5 against the
//                                 list before it goes in place, as an install does
#include <benchmark/benchmark.h>
#include <minizip/zip.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "files/archives.h"
#include "files/file_ops.h"
#include "files/md5.h"

namespace {

// Text that deflate compresses about as well as source code or manifests.
std::string text_file(std::mt19937& rng, size_t size) {
    static const char* words[] = {"aircraft", "runway", "scenery", "texture", "object", "engine", "heading",
                                  "altitude", "0.25", "1200", "VERTEX", "ATTR_LOD", "\n", "\n", "  ", "TRIS"};
    std::string s;
    s.reserve(size + 16);
    while (s.size() < size) {
        s += words[rng() % 16];
        s += ' ';
    }
    s.resize(size);
    return s;
}

std::string random_file(std::mt19937& rng, size_t size) {
    std::string s(size, '\0');
    for (size_t i = 0; i + 4 <= size; i += 4) {
        const uint32_t v = uint32_t(rng());
        std::memcpy(&s[i], &v, 4);
    }
    return s;
}

std::string md5_of(const std::string& data) {
    md5_context ctx;
    MD5Init(&ctx);
    MD5UpdateWide(&ctx, reinterpret_cast<const unsigned char*>(data.data()), uint32_t(data.size()));
    MD5Final(&ctx);
    return md5_text(ctx.digest);
}

int make_zip(const std::string& path) {
    zipFile zf = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    if (!zf) return 1;
    std::ofstream digests(path + ".md5");
    std::mt19937 rng(2024);
    for (int d = -1; d < 20; ++d) {
        const std::string folder = d < 0 ? std::string("set/") : "set/dir" + std::to_string(d) + "/";
        zip_fileinfo zi{};
        zi.external_fa = 0x41ED0000u;
        if (zipOpenNewFileInZip(zf, folder.c_str(), &zi, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION) ||
            zipCloseFileInZip(zf))
            return 1;
    }
    // 1000 entries in all: 21 folders above, then 979 files averaging about 200 KB.
    for (int i = 0; i < 979; ++i) {
        const size_t size = 20000 + rng() % 370000;
        const std::string data = (i % 2) ? random_file(rng, size) : text_file(rng, size);
        const std::string name = "set/dir" + std::to_string(i % 20) + "/file" + std::to_string(i) + ((i % 2) ? ".dds" : ".txt");
        zip_fileinfo zi{};
        zi.tmz_date.tm_year = 2010;
        zi.tmz_date.tm_mday = 1;
        zi.external_fa = 0x81A40000u;
        if (zipOpenNewFileInZip(zf, name.c_str(), &zi, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION) ||
            zipWriteInFileInZip(zf, data.data(), unsigned(data.size())) || zipCloseFileInZip(zf))
            return 1;
        digests << md5_of(data) << "  " << name << "\n";
    }
    return zipClose(zf, nullptr) ? 1 : 0;
}

// Each run extracts into a new folder under VENTARO_BENCH_OUT: deleting between runs would time the
// file system's reuse of just-freed inodes rather than the extraction. The caller removes them.
// Every run starts with the page cache written back, as bench/unzip.sh does for the other tools.
void BM_zip_to_file(benchmark::State& state) {
    const char* zip = std::getenv("VENTARO_BENCH_ZIP");
    const char* out = std::getenv("VENTARO_BENCH_OUT");
    if (!zip || !out) {
        state.SkipWithError("VENTARO_BENCH_ZIP and VENTARO_BENCH_OUT must be set");
        return;
    }
    static int run = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string folder = std::string(out) + "/ours" + std::to_string(run++) + "/";
        make_folder(folder);
        ::sync();   // earlier runs' dirty pages must not throttle this one
        state.ResumeTiming();
        if (const int err = zip_to_file(zip, folder, nullptr, 0)) {
            state.SkipWithError(("zip_to_file failed: " + std::to_string(err)).c_str());
            break;
        }
    }
}
BENCHMARK(BM_zip_to_file)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// The same with every file's MD5 taken while it is inflated and checked before it goes in place.
void BM_zip_to_checked_files(benchmark::State& state) {
    const char* zip = std::getenv("VENTARO_BENCH_ZIP");
    const char* out = std::getenv("VENTARO_BENCH_OUT");
    if (!zip || !out) {
        state.SkipWithError("VENTARO_BENCH_ZIP and VENTARO_BENCH_OUT must be set");
        return;
    }
    std::map<std::string, checked_entry> want;
    std::ifstream digests(std::string(zip) + ".md5");
    for (std::string line; std::getline(digests, line);)
        if (line.size() > 34) want[line.substr(34)] = checked_entry{line.substr(0, 32)};
    if (want.empty()) {
        state.SkipWithError("no digests beside VENTARO_BENCH_ZIP");
        return;
    }
    static int run = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string folder = std::string(out) + "/checked" + std::to_string(run++) + "/";
        make_folder(folder);
        ::sync();
        state.ResumeTiming();
        checked_target target;
        target.rootfd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        target.root = folder;
        bool local = false;
        const int err = zip_to_checked_files(zip, target, want, &local);
        ::close(target.rootfd);
        if (err) {
            state.SkipWithError(("zip_to_checked_files failed: " + std::to_string(err)).c_str());
            break;
        }
    }
}
BENCHMARK(BM_zip_to_checked_files)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strncmp(argv[1], "--make-zip=", 11) == 0) return make_zip(argv[1] + 11);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
