#include "render/tex_utils.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "core/alert.h"
#include "files/xmap.h"
#include "render/tex_bmp.h"
#include "render/tex_dxt.h"
#include "render/tex_png.h"

namespace {

constexpr unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

int rgb_or_rgba_bpp(uint32_t format) { return format == GL_RGBA ? 4 : 3; }

// The framework's fixed-length strings refuse longer texts.
void check_string_length(const std::string& s) {
    if (s.size() > 499) __MACIBM_alert(0, "String too long!", s, "", "", t_crash, "QFutils/GenH/qf_string", 129);
}

void flip_rows(unsigned char* level, int64_t row_bytes, int rows) {
    for (int j = 0; j < rows / 2; ++j) {
        unsigned char* a = level + row_bytes * j;
        unsigned char* b = level + row_bytes * (rows - 1 - j);
        std::swap_ranges(a, a + row_bytes, b);
    }
}

// Returns the DXT1 transparency seen so far.
int flip_block_rows(unsigned char* level, uint32_t format, int width, int height, int found) {
    const int per_row = width / 4, block_rows = height / 4;
    const int block_bytes = format == GL_COMPRESSED_RGB_S3TC_DXT1_EXT || format == GL_COMPRESSED_RGBA_S3TC_DXT1_EXT ? 8 : 16;
    auto flip_inside = [&](unsigned char* row) {
        if (block_bytes == 8) found = nv_flip_blocks_dxtc1(row, per_row, found);
        else if (format == GL_COMPRESSED_RGBA_S3TC_DXT3_EXT) nv_flip_blocks_dxtc3(row, per_row, 0);
        else nv_flip_blocks_dxtc5(row, per_row, 0);
    };
    const int64_t row_bytes = int64_t(per_row) * block_bytes;
    for (int j = 0; j < block_rows / 2; ++j) {
        unsigned char* a = level + row_bytes * j;
        unsigned char* b = level + row_bytes * (block_rows - 1 - j);
        flip_inside(a);
        flip_inside(b);
        std::swap_ranges(a, a + row_bytes, b);
    }
    if (block_rows % 2) flip_inside(level + row_bytes * (block_rows / 2));
    return found;
}

inline int clamp255(float v) { return v < 0.0f ? 0 : v > 255.0f ? 255 : static_cast<int>(v); }

}  // namespace

int TEX_load_any(const std::string& path, unsigned char*& buffer, unsigned long format, int row_pixels,
                 png_alpha_mode mode, int gamma, TEX_image_desc& desc) {
    xmap_class file(path);
    if (file.mem_start == nullptr || file.mem_end - file.mem_start <= 7) return 0;
    if (file.mem_start[0] == 'B' && file.mem_start[1] == 'M') {
        if (const int r = TEX_load_bmp(path, file, buffer, format, row_pixels, 0, desc)) return r;
    }
    if (std::memcmp(file.mem_start, kPngSignature, 8) == 0) {
        file.mem_cur = file.mem_start;
        return TEX_load_png(path, file, buffer, format, row_pixels, 0, mode, gamma, desc);
    }
    return 0;
}

int TEX_load_any_ext(const std::string& path, unsigned char*& buffer, unsigned long format, int row_pixels,
                     png_alpha_mode mode, int gamma, TEX_image_desc& desc) {
    std::string stem = path;
    if (stem.size() > 4 && stem[stem.size() - 4] == '.') stem.resize(stem.size() - 4);
    const std::string png_path = stem + ".png", bmp_path = stem + ".bmp";
    check_string_length(png_path);
    check_string_length(bmp_path);
    if (TEX_load_any(png_path, buffer, format, row_pixels, mode, gamma, desc)) return 1;
    return TEX_load_any(bmp_path, buffer, format, row_pixels, mode, gamma, desc);
}

int TEX_flip_y(const TEX_image_desc& desc, unsigned char* pixels) {
    const uint32_t f = desc.format;
    const bool plain = f == GL_ALPHA || f == GL_RGB || f == GL_RGBA || f == GL_BGR || f == GL_BGRA;
    const bool s3tc = f == GL_COMPRESSED_RGB_S3TC_DXT1_EXT || f == GL_COMPRESSED_RGBA_S3TC_DXT1_EXT ||
                      f == GL_COMPRESSED_RGBA_S3TC_DXT3_EXT || f == GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
    if (!plain && !s3tc) {
        __MACIBM_alert(0, "Illegal format!", "", "", "", t_crash, "QFutils/TEX/TEX_utils", 491);
        return 0;
    }
    int found = 0;
    TEX_image_desc level = desc;
    level.has_mipmaps = 0;
    unsigned char* at = pixels;
    for (;;) {
        const int64_t bytes = TEX_bytes_needed_for_image64(level);
        if (bytes <= 0) break;
        if (plain) flip_rows(at, bytes / level.height, level.height);
        else found = flip_block_rows(at, f, level.width, level.height, found);
        if ((level.width == 1 && level.height == 1) || !desc.has_mipmaps) break;
        at += bytes;
        if (level.width > 1) level.width /= 2;
        if (level.height >= 2) level.height /= 2;
    }
    return found;
}

void TEX_downscale(TEX_image_desc& desc, unsigned char* pixels, int x_factor, int y_factor) {
    const int bpp = desc.format == GL_RGBA ? 4 : desc.format == GL_RGB ? 3 : 1;
    auto ceil_log2 = [](int f) {
        int s = 0;
        while ((1 << s) < f) ++s;
        return s;
    };
    const int shift = ceil_log2(x_factor) + ceil_log2(y_factor);
    const int nw = desc.width / x_factor, nh = desc.height / y_factor;
    const int64_t old_stride = int64_t(bpp) * desc.width + desc.row_padding;
    const int64_t new_stride = int64_t(bpp) * nw + desc.row_padding;
    for (int y = 0; y < nh; ++y)
        for (int x = 0; x < nw; ++x)
            for (int c = 0; c < bpp; ++c) {
                unsigned sum = 0;
                for (int sy = 0; sy < y_factor; ++sy) {
                    const unsigned char* row = pixels + old_stride * (int64_t(y) * y_factor + sy);
                    for (int sx = 0; sx < x_factor; ++sx) sum += row[(int64_t(x) * x_factor + sx) * bpp + c];
                }
                pixels[new_stride * y + int64_t(x) * bpp + c] = static_cast<unsigned char>(sum >> shift);
            }
    desc.width = nw;
    desc.height = nh;
}

void TEX_copy(const TEX_image_desc& src_desc, const TEX_image_desc& dst_desc, const unsigned char* src,
              unsigned char* dst, int x, int y) {
    const int bpp = rgb_or_rgba_bpp(src_desc.format);
    const int64_t src_stride = int64_t(bpp) * src_desc.width + src_desc.row_padding;
    const int64_t dst_stride = int64_t(bpp) * dst_desc.width + dst_desc.row_padding;
    for (int r = 0; r < src_desc.height; ++r)
        std::memcpy(dst + dst_stride * (y + r) + int64_t(x) * bpp, src + src_stride * r,
                    static_cast<size_t>(bpp) * src_desc.width);
}

void TEX_composite(const TEX_image_desc& src_desc, const TEX_image_desc& dst_desc, const unsigned char* src,
                   unsigned char* dst, float left, float bottom, float right, float top) {
    const int sbpp = rgb_or_rgba_bpp(src_desc.format), dbpp = rgb_or_rgba_bpp(dst_desc.format);
    const int sw = src_desc.width, sh = src_desc.height;
    const int64_t src_stride = int64_t(sbpp) * sw + src_desc.row_padding;
    const int64_t dst_stride = int64_t(dbpp) * dst_desc.width + dst_desc.row_padding;
    const int x0 = std::max(static_cast<int>(std::floor(left)), 0);
    const int x1 = std::min(static_cast<int>(std::ceil(right)), static_cast<int>(dst_desc.width));
    const int y0 = std::max(static_cast<int>(std::floor(bottom)), 0);
    const int y1 = std::min(static_cast<int>(std::ceil(top)), static_cast<int>(dst_desc.height));

    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const float u = right == left ? sw * 0.5f : static_cast<float>(sw) / (right - left) * (x - left);
            const float v = top == bottom ? sh * 0.5f : static_cast<float>(sh) / (top - bottom) * (y - bottom);
            const int i = static_cast<int>(std::floor(u)), j = static_cast<int>(std::floor(v));
            const float fu = u - i, fv = v - j;
            const int ti[4] = {i, i + 1, i, i + 1}, tj[4] = {j, j, j + 1, j + 1};
            float weight[4] = {(1 - fu) * (1 - fv), fu * (1 - fv), (1 - fu) * fv, fu * fv};
            const unsigned char* texel[4] = {};
            for (int k = 0; k < 4; ++k) {
                if (ti[k] < 0 || ti[k] >= sw || tj[k] < 0 || tj[k] >= sh) weight[k] = 0.0f;
                else texel[k] = src + src_stride * tj[k] + int64_t(ti[k]) * sbpp;
            }
            unsigned char* out = dst + dst_stride * y + int64_t(x) * dbpp;
            if (sbpp == 4) {
                if (dbpp == 4) {
                    float a = out[3];
                    for (int k = 0; k < 4; ++k)
                        if (texel[k]) a += weight[k] * texel[k][3];
                    out[3] = static_cast<unsigned char>(clamp255(a));
                }
                for (int k = 0; k < 4; ++k)
                    if (weight[k] != 0.0f) weight[k] *= texel[k][3] / 255.0f;
            } else if (dbpp == 4) {
                out[3] = static_cast<unsigned char>(
                    clamp255(out[3] + 255.0f * (weight[0] + weight[1] + weight[2] + weight[3])));
            }
            const float total = weight[0] + weight[1] + weight[2] + weight[3];
            for (int c = 0; c < 3; ++c) {
                float sum = out[c] * (1.0f - total);
                for (int k = 0; k < 4; ++k)
                    if (texel[k]) sum += weight[k] * texel[k][c];
                out[c] = static_cast<unsigned char>(clamp255(sum));
            }
        }
}

void TEX_zap_alpha(const TEX_image_desc& desc, unsigned char* pixels) {
    const int64_t stride = int64_t(4) * desc.width + desc.row_padding;
    for (int y = 0; y < desc.height; ++y) {
        unsigned char* p = pixels + stride * y;
        for (int x = 0; x < desc.width; ++x, p += 4)
            if (p[3] == 0) p[0] = p[1] = p[2] = 0;
    }
}

namespace {

// Colour totals of the opaque pixels of one column over some rows.
struct opaque_sum {
    int r = 0, g = 0, b = 0, n = 0;
    void add(const opaque_sum& o, int sign) {
        r += sign * o.r;
        g += sign * o.g;
        b += sign * o.b;
        n += sign * o.n;
    }
};

opaque_sum column_sum(const unsigned char* pixels, int w, int x, int y0, int y1) {
    opaque_sum s;
    for (int y = y0; y <= y1; ++y) {
        const unsigned char* q = pixels + (int64_t(y) * w + x) * 4;
        if (q[3] == 0) continue;
        s.r += q[0];
        s.g += q[1];
        s.b += q[2];
        ++s.n;
    }
    return s;
}

}  // namespace

void TEX_clean_edge(const TEX_image_desc& desc, unsigned char* pixels) {
    const int w = desc.width, h = desc.height;
    if (w < 1 || h < 1) return;
    // Only transparent pixels within two of an opaque one change, and in most art they are a
    // thin band: find them with one bit per pixel, 64 at a time, and average only there. Only
    // opaque pixels are summed and only transparent ones written, so working in place is safe.
    const size_t words = (size_t(w) + 63) / 64;
    std::vector<uint64_t> opaque(words * size_t(h), 0);
    bool any_transparent = false;
    for (int y = 0; y < h; ++y) {
        const unsigned char* row = pixels + int64_t(y) * w * 4;
        uint64_t* bits = &opaque[size_t(y) * words];
        int x = 0;
#ifdef __SSE2__
        // Sixteen alpha bytes at a time: shifted down in their lanes, packed, compared with zero.
        const __m128i zero = _mm_setzero_si128();
        for (; x + 16 <= w; x += 16) {
            const unsigned char* p = row + int64_t(x) * 4;
            const __m128i a0 = _mm_srli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), 24);
            const __m128i a1 = _mm_srli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)), 24);
            const __m128i a2 = _mm_srli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32)), 24);
            const __m128i a3 = _mm_srli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48)), 24);
            const __m128i alpha = _mm_packus_epi16(_mm_packs_epi32(a0, a1), _mm_packs_epi32(a2, a3));
            const uint64_t clear = uint64_t(_mm_movemask_epi8(_mm_cmpeq_epi8(alpha, zero)));
            bits[size_t(x) >> 6] |= (~clear & 0xFFFF) << (x & 63);
            any_transparent |= clear != 0;
        }
#endif
        for (; x < w; ++x) {
            const bool on = row[int64_t(x) * 4 + 3] != 0;
            bits[size_t(x) >> 6] |= uint64_t(on) << (x & 63);
            any_transparent |= !on;
        }
    }
    if (!any_transparent) return;

    const uint64_t last_word_mask = (w & 63) ? (uint64_t(1) << (w & 63)) - 1 : ~uint64_t(0);
    std::vector<uint64_t> band(words);
    for (int y = 0; y < h; ++y) {
        const int y0 = std::max(y - 2, 0), y1 = std::min(y + 2, h - 1);
        opaque_sum window, columns[8];   // the window's columns, by column & 7
        int last_x = -2;
        for (size_t k = 0; k < words; ++k) {
            uint64_t v = 0;
            for (int yy = y0; yy <= y1; ++yy) v |= opaque[size_t(yy) * words + k];
            band[k] = v;
        }
        const uint64_t* row_bits = &opaque[size_t(y) * words];
        unsigned char* row = pixels + int64_t(y) * w * 4;
        for (size_t k = 0; k < words; ++k) {
            const uint64_t v = band[k];
            const uint64_t before = k > 0 ? band[k - 1] : 0, after = k + 1 < words ? band[k + 1] : 0;
            // Bit x set when column x - 2 .. x + 2 has an opaque pixel in the five rows.
            uint64_t near = v | (v << 1) | (v << 2) | (v >> 1) | (v >> 2) | (before >> 63) | (before >> 62) |
                            (after << 63) | (after << 62);
            near &= ~row_bits[k];
            if (k + 1 == words) near &= last_word_mask;
            while (near) {
                const int x = int(k * 64) + __builtin_ctzll(near);
                near &= near - 1;
                // Next to the pixel before, the window moves one column; otherwise it is rebuilt.
                if (x != last_x + 1) {
                    window = opaque_sum{};
                    for (int c = std::max(x - 3, 0); c <= std::min(x + 1, w - 1); ++c) {
                        columns[c & 7] = column_sum(pixels, w, c, y0, y1);
                        window.add(columns[c & 7], 1);
                    }
                }
                if (x + 2 < w) {
                    columns[(x + 2) & 7] = column_sum(pixels, w, x + 2, y0, y1);
                    window.add(columns[(x + 2) & 7], 1);
                }
                if (x >= 3) window.add(columns[(x - 3) & 7], -1);
                last_x = x;
                unsigned char* p = row + int64_t(x) * 4;
                p[0] = static_cast<unsigned char>(window.r / window.n);
                p[1] = static_cast<unsigned char>(window.g / window.n);
                p[2] = static_cast<unsigned char>(window.b / window.n);
            }
        }
    }
}

void TEX_chroma_key(const TEX_image_desc& desc, unsigned char* pixels, const unsigned char key[3], int tolerance) {
    const int64_t stride = int64_t(4) * desc.width + desc.row_padding;
    for (int y = 0; y < desc.height; ++y) {
        unsigned char* p = pixels + stride * y;
        for (int x = 0; x < desc.width; ++x, p += 4) {
            const int d = std::abs(p[0] - key[0]) + std::abs(p[1] - key[1]) + std::abs(p[2] - key[2]);
            if (d < tolerance) p[3] = 0;
        }
    }
}

void TEX_chroma_key_wrap(const TEX_image_desc* desc, unsigned char* pixels, const unsigned char key[3], int tolerance) {
    TEX_chroma_key(*desc, pixels, key, tolerance);
}

namespace {

template <class T, class Slope>
void make_gradient(T* pixels, const TEX_image_desc& desc, Slope slope) {
    const int epp = desc.format == GL_RGBA ? 4 : 3;
    const int w = desc.width, h = desc.height;
    const int64_t stride = int64_t(epp) * w + desc.row_padding;
    for (int y = 0; y < h; ++y) {
        T* row = pixels + stride * y;
        const T* up = pixels + stride * ((y + 1) % h);
        for (int x = 0; x < w; ++x) {
            T* p = row + int64_t(x) * epp;
            const T here = p[2];
            const T right = row[int64_t((x + 1) % w) * epp + 2];
            const T above = up[int64_t(x) * epp + 2];
            p[0] = slope(right, here);
            p[1] = slope(above, here);
        }
    }
}

}  // namespace

void TEX_make_gradient(unsigned char* pixels, const TEX_image_desc& desc, float scale) {
    make_gradient(pixels, desc, [scale](unsigned char next, unsigned char here) {
        const float v = ((next / 255.0f - here / 255.0f) * scale + 1.0f) * 127.5f;
        return static_cast<unsigned char>(clamp255(v));
    });
}

void TEX_make_gradient(float* pixels, const TEX_image_desc& desc, float scale) {
    make_gradient(pixels, desc, [scale](float next, float here) { return (next - here) * scale + 0.5f; });
}
