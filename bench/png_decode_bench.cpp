// Decoding a 2048 x 2048 RGBA PNG, as textures and the interface atlas are decoded: TEX_load_png
// against a plain libpng read loop over the same mapped file, without and with gamma correction
// (argument 0 / 1). Then the whole texture load: the texture manager loading the file as a texture
// on a real OpenGL context (SDL's offscreen driver) against the same libpng loop followed by one
// glTexImage2D. bench/png_decode.sh runs it and compares.
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
#include "platform/gl_window.h"
#include "render/gl_api.h"
#include "render/ogl_extensions.h"
#include "render/palette.h"
#include "render/renderer_options.h"
#include "render/tex_png.h"
#include "render/tex_scratch.h"
#include "render/tman.h"

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

// The reference's image: libpng as its manual shows it, reading the file with stdio, rows stored
// bottom-up as OpenGL takes them; null when it fails. Freed with std::free.
png_byte* read_reference(const std::string& path, int gamma) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return nullptr;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_byte* image = nullptr;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::free(image);
        std::fclose(f);
        return nullptr;
    }
    png_init_io(png, f);
    png_read_info(png, info);
    if (gamma) png_set_gamma(png, colr.display_gamma, 1.0 / colr.art_gamma);
    png_read_update_info(png, info);
    const size_t rowbytes = png_get_rowbytes(png, info);
    const png_uint_32 h = png_get_image_height(png, info);
    image = static_cast<png_byte*>(std::malloc(rowbytes * h));
    for (png_uint_32 y = 0; y < h; ++y) png_read_row(png, image + rowbytes * (h - 1 - y), nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
    return image;
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

bool g_have_gl = false;
constexpr int kRef = 200;

// The texture manager's whole load of the file as a fresh texture: find, map, decode, upload.
bool upload_ours(int gamma) {
    tman.unload_texture(kRef);
    // RGBA, full resolution, no compressed variant; gamma as asked.
    const int flags = 0x40202 | (gamma ? 0 : 0x80000);
    if (tman.load_texture(tex_fail_silent, kRef, flags, tex_load_now, g_path) != kRef) return false;
    gl.glFinish();
    return true;
}

// The reference: the libpng loop over the file, then one texture made and filled with glTexImage2D.
bool upload_reference(int gamma) {
    png_byte* image = read_reference(g_path, gamma);
    if (!image) return false;
    GLuint name = 0;
    gl.glGenTextures(1, &name);
    gl.glBindTexture(GL_TEXTURE_2D, name);
    gl.glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kSide, kSide, 0, GL_RGBA, GL_UNSIGNED_BYTE, image);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    gl.glFinish();
    gl.glDeleteTextures(1, &name);
    std::free(image);
    return true;
}

void BM_upload_pair(benchmark::State& state) {
    const int gamma = int(state.range(0));
    if (!g_have_gl) {
        state.SkipWithError("no OpenGL context");
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
            ours = timed([&] { return upload_ours(gamma); });
            ref = timed([&] { return upload_reference(gamma); });
        } else {
            ref = timed([&] { return upload_reference(gamma); });
            ours = timed([&] { return upload_ours(gamma); });
        }
        ours_first = !ours_first;
        if (ours < 0 || ref < 0) {
            state.SkipWithError("a load failed");
            break;
        }
        best_ours = std::min(best_ours, ours);
        best_ref = std::min(best_ref, ref);
    }
    state.counters["ours_ms"] = best_ours * 1e3;
    state.counters["libpng_ms"] = best_ref * 1e3;
    state.counters["ratio"] = best_ours / best_ref;
}
BENCHMARK(BM_upload_pair)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(20);

// A small offscreen window with a context, and the texture manager started on it.
bool start_gl() {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    platform::gl_window* w = platform::window_create(0, 0, 64, 64, false, false, 0);
    platform::gl_context c = w ? platform::context_create(w, nullptr) : nullptr;
    if (!c || !platform::context_make_current(w, c) || gl_api_load(&platform::gl_proc_address) != 0) return false;
    glExt.init_extensions();
    reno.reno_init();
    reno.tex_res = 5;
    gl.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    scratch_array = TEX_scratch_aligned_start();
    tman.TEX_init();
    return true;
}

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
    g_have_gl = start_gl();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    ::unlink(tmpl);
    return 0;
}
