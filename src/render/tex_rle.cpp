#include "render/tex_rle.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "core/memory.h"
#include "render/rle_mix.h"

namespace {

int32_t pixel_at(const unsigned char* row, int64_t x) {
    int32_t v;
    std::memcpy(&v, row + x * 4, 4);
    return v;
}

// Moves past n stream pixels in whole runs; stops on an end word.
const int32_t* skip_pixels(const int32_t* at, int64_t n) {
    while (n > 0 && *at != 0) {
        const int32_t m = *at;
        if (m > 0) {
            at += m + 1;
            n -= m;
        } else {
            at += 2;
            n += m;
        }
    }
    return at;
}

void blend(unsigned char* d, int32_t source, int opacity) {
    unsigned char s[4];
    std::memcpy(s, &source, 4);
    if (s[3] == 0) return;
    const int k = ((s[3] + 1) * opacity) >> 8;
    for (int c = 0; c < 3; ++c) d[c] = static_cast<unsigned char>((d[c] * (256 - k) + s[c] * k) >> 8);
    d[3] = static_cast<unsigned char>(std::min(255, s[3] + d[3]));
}

}  // namespace

void TEX_pack_image_rle(const TEX_image_desc& desc, const unsigned char* pixels, int out_width, int out_height,
                        int tile_width, unsigned char*& stream) {
    const int w = desc.width, h = desc.height;
    const int64_t stride = int64_t(w) * 4 + (desc.row_padding / 4) * 4;
    const int segments = tile_width > 0 ? out_width / tile_width : 0;
    // A segment never takes more than its pixels plus one header, plus the two words of its
    // padding run, so the stream is written into room of that size and then copied out exactly.
    const size_t most = size_t(std::max(h, 0)) * size_t(segments) * size_t(std::max(tile_width, 0) + 3) + 1;
    std::unique_ptr<int32_t[]> room(new int32_t[most]);
    int32_t* out = room.get();
    for (int y = 0; y < h; ++y) {
        const unsigned char* row = pixels + stride * y;
        auto literal = [&](int from, int to) {
            *out++ = to - from;
            std::memcpy(out, row + int64_t(from) * 4, size_t(to - from) * 4);
            out += to - from;
        };
        for (int k = 0; k < segments; ++k) {
            int s = k * tile_width;
            const int e = std::clamp(s + tile_width, s, std::max(w, s));
            const int pad = tile_width - (e - s);
            while (s < e) {
                // A repeat run needs three equal pixels; a pair stays inside a literal run.
                int r = s;
                int32_t a = r < e ? pixel_at(row, r) : 0, b = r + 1 < e ? pixel_at(row, r + 1) : 0;
                while (r < e - 2) {
                    const int32_t c = pixel_at(row, r + 2);
                    if (a == b && b == c) break;
                    a = b;
                    b = c;
                    ++r;
                }
                if (r >= e - 2) {
                    literal(s, e);
                    break;
                }
                if (r > s) literal(s, r);
                const int32_t v = pixel_at(row, r);
                int t = r + 3;
                while (t < e && pixel_at(row, t) == v) ++t;
                *out++ = -(t - r);
                *out++ = v;
                s = t;
            }
            if (pad > 0) {
                *out++ = -pad;
                *out++ = 0;
            }
        }
    }
    if (h < out_height) *out++ = 0;
    const size_t bytes = size_t(out - room.get()) * sizeof(int32_t);
    stream = static_cast<unsigned char*>(xmalloc(static_cast<unsigned long>(std::max<size_t>(bytes, 1))));
    if (bytes) std::memcpy(stream, room.get(), bytes);
}

void TEX_unpack_image_rle(const unsigned char* stream, int skip_first, int skip_per_row, int width, int rows,
                          unsigned char* pixels) {
    const int32_t* at = skip_pixels(reinterpret_cast<const int32_t*>(stream), skip_first);
    for (int y = 0; y < rows; ++y) {
        unsigned char* out = pixels + int64_t(y) * width * 4;
        int left = width;
        while (left > 0) {
            const int32_t m = *at;
            if (m == 0) {
                std::memset(out, 0, size_t(left) * 4);
                break;
            }
            // A run that would pass the row's end is cut there: nothing is written past it.
            const int length = m > 0 ? m : -m;
            const int n = std::min(length, left);
            if (m > 0) {
                std::memcpy(out, at + 1, size_t(n) * 4);
                at += m + 1;
            } else {
                for (int i = 0; i < n; ++i) std::memcpy(out + i * 4, at + 1, 4);
                at += 2;
            }
            out += size_t(n) * 4;
            left -= length;
        }
        // Not after the last row: a stream that fills every row has no end word to stop on.
        if (y + 1 < rows) at = skip_pixels(at, skip_per_row);
    }
}

void TEX_unpack_composite_rle(const unsigned char* stream, int skip_first, int skip_per_row, int width, int rows,
                              unsigned char* pixels, int opacity) {
    if (opacity == 0) return;
    const int32_t* at = skip_pixels(reinterpret_cast<const int32_t*>(stream), skip_first);
    if (*at == 0) return;
    for (int y = 0; y < rows; ++y) {
        unsigned char* out = pixels + int64_t(y) * width * 4;
        int left = width;
        while (left > 0 && *at != 0) {
            const int32_t m = *at;
            const int length = m > 0 ? m : -m;
            const int n = std::min(length, left);
            if (m > 0) {
                for (int i = 0; i < n; ++i) blend(out + i * 4, at[1 + i], opacity);
                at += m + 1;
            } else {
                if (at[1] != 0)
                    for (int i = 0; i < n; ++i) blend(out + i * 4, at[1], opacity);
                at += 2;
            }
            out += size_t(n) * 4;
            left -= length;
        }
        if (y + 1 == rows) return;
        at = skip_pixels(at, skip_per_row);
        if (*at == 0) return;
    }
}

void TEX_unpack_multi_mix_rle(const unsigned char* base, const unsigned char* weights, int skip_first,
                              int skip_per_row, int width, int rows, unsigned char* pixels, int* T0, int* T1,
                              int* T2, int* T3, int* B) {
    const int32_t* a = skip_pixels(reinterpret_cast<const int32_t*>(base), skip_first);
    const int32_t* b = skip_pixels(reinterpret_cast<const int32_t*>(weights), skip_first);
    for (int y = 0; y < rows; ++y) {
        unpack_mix(a, b, reinterpret_cast<int32_t*>(pixels + int64_t(y) * width * 4), width, T0, T1, T2, T3, B);
        if (y + 1 < rows) {
            a = skip_pixels(a, skip_per_row);
            b = skip_pixels(b, skip_per_row);
        }
    }
}

void TEX_pack_rgba(const unsigned char* red, const unsigned char* green, const unsigned char* blue,
                   const unsigned char* alpha, int count, unsigned char* pixels) {
    for (int i = 0; i < count; ++i) {
        pixels[i * 4 + 0] = red ? red[i] : 0;
        pixels[i * 4 + 1] = green ? green[i] : 0;
        pixels[i * 4 + 2] = blue ? blue[i] : 0;
        pixels[i * 4 + 3] = alpha ? alpha[i] : 0;
    }
}
