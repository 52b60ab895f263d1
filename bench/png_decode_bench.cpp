// Decoding a 2048 x 2048 RGBA PNG, as textures and the interface atlas are decoded: TEX_load_png
// against a plain libpng read loop over the same mapped file, without and with gamma correction
// (argument 0 / 1). bench/png_decode.sh runs it and compares.
#include <benchmark/benchmark.h>
#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/memory.h"
#include "files/xmap.h"
#include "render/palette.h"
#include "render/tex_png.h"

namespace {

constexpr int kSide = 2048;
std::string g_path;

// A picture with smooth areas, edges and fine detail, so the file compresses like real art
// (neither a flat fill nor noise). Written with libpng's default filters and compression.
bool write_test_png(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_byte> row(size_t(kSide) * 4);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, kSide, kSide, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    unsigned noise = 12345;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            noise = noise * 1103515245u + 12345u;
            const double u = x / double(kSide), v = y / double(kSide);
            const int ring = int(std::sqrt((x - 900.0) * (x - 900.0) + (y - 1100.0) * (y - 1100.0))) / 37;
            png_byte* p = &row[size_t(x) * 4];
            p[0] = png_byte(120 + 100 * std::sin(6.0 * u + 2.0 * v) + (ring & 1) * 20);
            p[1] = png_byte(255 * v * (1 - u) + ((noise >> 24) & 7));
            p[2] = png_byte((x / 64 + y / 64) % 2 ? 200 : 60);
            p[3] = png_byte(ring % 5 == 0 ? 0 : 255);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}

// One decode each way; both read the same mapped file.
bool decode_ours(xmap_class& file, int gamma) {
    file.mem_cur = file.mem_start;
    unsigned char* buffer = nullptr;
    TEX_image_desc desc;
    if (TEX_load_png(g_path, file, buffer, GL_RGBA, 0, 1, png_mode_exact, gamma, desc) != 1) return false;
    benchmark::DoNotOptimize(buffer[0]);
    xfree(buffer);
    return true;
}

struct mem_source {
    const png_byte* at;
    const png_byte* end;
};
void read_mem(png_structp png, png_bytep out, png_size_t n) {
    auto* src = static_cast<mem_source*>(png_get_io_ptr(png));
    if (n > size_t(src->end - src->at)) png_error(png, "short");
    std::memcpy(out, src->at, n);
    src->at += n;
}

// The reference: libpng as its manual shows it, one row at a time into one image buffer.
bool decode_reference(const xmap_class& file, int gamma) {
    mem_source src{reinterpret_cast<const png_byte*>(file.mem_start), reinterpret_cast<const png_byte*>(file.mem_end)};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_byte* image = nullptr;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::free(image);
        return false;
    }
    png_set_read_fn(png, &src, read_mem);
    png_read_info(png, info);
    if (gamma) png_set_gamma(png, colr.display_gamma, 1.0 / colr.art_gamma);
    png_read_update_info(png, info);
    const size_t rowbytes = png_get_rowbytes(png, info);
    const png_uint_32 h = png_get_image_height(png, info);
    image = static_cast<png_byte*>(std::malloc(rowbytes * h));
    for (png_uint_32 y = 0; y < h; ++y) png_read_row(png, image + rowbytes * y, nullptr);
    benchmark::DoNotOptimize(image[0]);
    png_destroy_read_struct(&png, &info, nullptr);
    std::free(image);
    return true;
}

// Each iteration decodes once each way, alternating which goes first, so a busy moment on a
// shared machine falls on both alike; the counters are the fastest decode of each.
void BM_decode_pair(benchmark::State& state) {
    const int gamma = int(state.range(0));
    xmap_class file(g_path);
    if (!file.mem_start) {
        state.SkipWithError("cannot map the test file");
        return;
    }
    double best_ours = 1e9, best_ref = 1e9;
    bool ours_first = true;
    auto timed = [](auto&& f) {
        const auto t0 = std::chrono::steady_clock::now();
        const bool ok = f();
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        return ok ? s : -1.0;
    };
    for (auto _ : state) {
        double ours = 0, ref = 0;
        if (ours_first) {
            ours = timed([&] { return decode_ours(file, gamma); });
            ref = timed([&] { return decode_reference(file, gamma); });
        } else {
            ref = timed([&] { return decode_reference(file, gamma); });
            ours = timed([&] { return decode_ours(file, gamma); });
        }
        ours_first = !ours_first;
        if (ours < 0 || ref < 0) {
            state.SkipWithError("a decode failed");
            break;
        }
        best_ours = std::min(best_ours, ours);
        best_ref = std::min(best_ref, ref);
    }
    state.counters["ours_ms"] = best_ours * 1e3;
    state.counters["libpng_ms"] = best_ref * 1e3;
    state.counters["ratio"] = best_ours / best_ref;
}
BENCHMARK(BM_decode_pair)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(30);

}  // namespace

int main(int argc, char** argv) {
    char tmpl[] = "/tmp/ventaro-png-bench-XXXXXX";
    const int fd = ::mkstemp(tmpl);
    if (fd < 0) return 1;
    ::close(fd);
    g_path = tmpl;
    if (!write_test_png(g_path)) {
        std::fprintf(stderr, "cannot write %s\n", tmpl);
        ::unlink(tmpl);
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    ::unlink(tmpl);
    return 0;
}
