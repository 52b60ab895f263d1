// The run-length codec on 2048 x 2048 RGBA pictures, as the tiled background uses it: packed
// with 512-pixel segments, then unpacked as sixteen 512 x 512 tiles. Against zlib at level 1
// (compress2 and uncompress of the same pixels) in the same run, alternating, fastest of 10 each.
// Two pictures: flat art (large flat areas, outlines, a little texture) and a photo-like one
// (gradients and noise everywhere). bench/rle_codec.sh runs it and prints speeds and sizes.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/memory.h"
#include "render/tex_rle.h"

namespace {

constexpr int kSide = 2048, kTile = 512;
using clock_type = std::chrono::steady_clock;

uint32_t rgba(int r, int g, int b, int a) {
    return uint32_t(r & 255) | uint32_t(g & 255) << 8 | uint32_t(b & 255) << 16 | uint32_t(a & 255) << 24;
}

std::vector<uint32_t> picture(int kind) {
    std::vector<uint32_t> px(size_t(kSide) * kSide);
    unsigned noise = 99;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            noise = noise * 1103515245u + 12345u;
            uint32_t& p = px[size_t(y) * kSide + x];
            if (kind == 0) {
                // Bands and discs of flat colour with dark outlines; a textured patch.
                const int band = y / 300, disc = ((x - 1000) * (x - 1000) + (y - 900) * (y - 900)) / 90000;
                p = rgba(40 * band, 200 - 25 * band, 90, 255);
                if (disc < 4) p = rgba(230 - 50 * disc, 180, 40 * disc, 255);
                if ((x % 256) < 2 || (y % 300) < 2) p = rgba(20, 20, 20, 255);
                if (x > 1500 && y > 1500) p = rgba(128 + int(noise >> 28), 100, 60, 255);
                if (x > 1900) p = 0;   // transparent margin
            } else {
                const double u = x / double(kSide), v = y / double(kSide);
                p = rgba(int(120 + 100 * std::sin(6.0 * u + 2.0 * v)) + int((noise >> 24) & 7), int(255 * v * (1 - u)),
                         int(128 + 120 * std::cos(9.0 * v)), 255);
            }
        }
    return px;
}

// Bytes of a packed stream: its runs, walked over the whole picture (it fills every row).
std::size_t stream_bytes(const unsigned char* stream) {
    const auto* at = reinterpret_cast<const int32_t*>(stream);
    const int32_t* start = at;
    for (int64_t left = int64_t(kSide) * kSide; left > 0;) {
        const int32_t n = *at++;
        at += n > 0 ? n : 1;
        left -= n > 0 ? n : -n;
    }
    return std::size_t(at - start) * 4;
}

double ms_since(clock_type::time_point t0) {
    return std::chrono::duration<double, std::milli>(clock_type::now() - t0).count();
}

void BM_rle_vs_zlib(benchmark::State& state) {
    const std::vector<uint32_t> px = picture(int(state.range(0)));
    const auto* bytes = reinterpret_cast<const unsigned char*>(px.data());
    const uLong raw = uLong(px.size() * 4);
    TEX_image_desc desc;
    desc.format = GL_RGBA;
    desc.width = desc.height = kSide;
    std::vector<unsigned char> tiles(size_t(kTile) * kTile * 4 * 16), back(raw);
    std::vector<Bytef> packed(compressBound(raw));
    double rle_enc = 1e9, rle_dec = 1e9, z_enc = 1e9, z_dec = 1e9;
    std::size_t rle_size = 0, z_size = 0;
    bool same = true;
    for (auto _ : state) {
        for (int round = 0; round < 10; ++round) {
            auto t0 = clock_type::now();
            unsigned char* stream = nullptr;
            TEX_pack_image_rle(desc, bytes, kSide, kSide, kTile, stream);
            rle_enc = std::min(rle_enc, ms_since(t0));
            t0 = clock_type::now();
            for (int t = 0; t < 16; ++t)
                TEX_unpack_image_rle(stream, (t / 4) * kTile * kSide + (t % 4) * kTile, kSide - kTile, kTile, kTile,
                                     tiles.data() + size_t(t) * kTile * kTile * 4);
            rle_dec = std::min(rle_dec, ms_since(t0));
            rle_size = stream_bytes(stream);
            // Tile 5 (row 1, column 1), row 7 against the picture.
            same = same && std::memcmp(tiles.data() + (size_t(5) * kTile * kTile + 7 * kTile) * 4,
                                       bytes + (size_t(kTile + 7) * kSide + kTile) * 4, kTile * 4) == 0;
            xfree(stream);

            t0 = clock_type::now();
            uLongf zlen = uLongf(packed.size());
            compress2(packed.data(), &zlen, bytes, raw, 1);
            z_enc = std::min(z_enc, ms_since(t0));
            t0 = clock_type::now();
            uLongf out = raw;
            uncompress(back.data(), &out, packed.data(), zlen);
            z_dec = std::min(z_dec, ms_since(t0));
            z_size = zlen;
            same = same && std::memcmp(back.data(), bytes, raw) == 0;
        }
    }
    if (!same) state.SkipWithError("a round trip lost pixels");
    state.counters["rle_encode_ms"] = rle_enc;
    state.counters["rle_decode_ms"] = rle_dec;
    state.counters["zlib1_encode_ms"] = z_enc;
    state.counters["zlib1_decode_ms"] = z_dec;
    state.counters["rle_mib"] = double(rle_size) / (1024.0 * 1024.0);
    state.counters["zlib1_mib"] = double(z_size) / (1024.0 * 1024.0);
}
BENCHMARK(BM_rle_vs_zlib)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
