#include "render/tex_bmp.h"

#include <cstdint>
#include <cstring>

#include "core/alert.h"
#include "core/memory.h"
#include "files/xmap.h"
#include "render/palette.h"
#include "render/tex_scratch.h"

namespace {

const char* const kAlertFile = "QFutils/TEX/TEX_bmp";

// Little-endian header fields; a field that does not lie wholly inside the file reads as 0.
class field_reader {
public:
    field_reader(const unsigned char* at, const unsigned char* end) : at_(at), end_(end) {}
    uint32_t next(int size) {
        uint32_t v = 0;
        if (end_ - at_ >= size)
            for (int i = size - 1; i >= 0; --i) v = (v << 8) | at_[i];
        at_ += size;
        return v;
    }

private:
    const unsigned char* at_;
    const unsigned char* end_;
};

struct identity_ramp {
    unsigned char v[256];
    constexpr identity_ramp() : v() {
        for (int i = 0; i < 256; ++i) v[i] = static_cast<unsigned char>(i);
    }
};
constexpr identity_ramp kIdentity;

}  // namespace

int TEX_load_bmp(const std::string& path, xmap_class& file, unsigned char*& buffer, unsigned long format,
                 int row_pixels, int pow2, TEX_image_desc& desc) {
    if (file.mem_start == nullptr || file.mem_cur == nullptr) return 0;

    int bpp = format == GL_RGB ? 3 : format == GL_RGBA ? 4 : format == GL_ALPHA ? 1 : 0;
    if (bpp == 0) {
        __MACIBM_alert(0, "Illegal desired format for bmp.", path, "", "", t_quit, kAlertFile, 29);
        bpp = 1;
    }

    const auto* base = reinterpret_cast<const unsigned char*>(file.mem_cur);
    const auto* end = reinterpret_cast<const unsigned char*>(file.mem_end);
    field_reader f(base, end);
    f.next(2);                              // "BM", sniffed by the caller
    f.next(4);                              // file size
    f.next(2);
    f.next(2);
    const uint32_t data_offset = f.next(4);
    f.next(4);                              // information header size: the 40-byte layout is assumed
    const auto width = static_cast<int32_t>(f.next(4));
    const auto height = static_cast<int32_t>(f.next(4));
    f.next(2);                              // planes
    const uint32_t depth = f.next(2);
    const uint32_t compression = f.next(4);

    if (depth != 24) {
        __MACIBM_alert(0, "Wrong bitmap color depth for texture!", "We need 24-bit color.", "", path, t_quit,
                       kAlertFile, 50);
        return 0;
    }
    if (compression != 0) {
        __MACIBM_alert(0, "Bitmap is compressed!", "", "", path, t_quit, kAlertFile, 51);
        return 0;
    }

    // Sizes are checked before anything is allocated, and computed in 64 bits. A top-down file
    // (negative height) is not read rather than handed back as a success with nothing in it.
    if (width < 1 || height < 1 || width > TEX_max_image_side || height > TEX_max_image_side) return 0;
    if (row_pixels != 0 && row_pixels < width) return 0;
    const int64_t w = width, h = height;
    int64_t padding = row_pixels != 0 ? bpp * (int64_t(row_pixels) - w) : 0;
    int64_t rows_alloc = h;
    if (pow2) {
        padding = bpp * (int64_t(TEX_next_pow2(width)) - w);
        rows_alloc = TEX_next_pow2(height);
    }
    const int64_t stride = bpp * w + padding;
    const int64_t need = stride * rows_alloc;
    if (buffer != nullptr && static_cast<uint64_t>(need) > TEX_room_at(buffer)) return 0;

    const int64_t file_stride = (3 * w + 3) & ~int64_t(3);
    const int64_t file_size = end - base;
    const bool complete = int64_t(data_offset) + (h - 1) * file_stride + 3 * w <= file_size;

    desc.width = width;
    desc.height = height;
    desc.format = static_cast<uint32_t>(format);
    desc.has_mipmaps = 0;
    desc.row_padding = static_cast<int32_t>(padding);

    if (buffer == nullptr) {
        buffer = static_cast<unsigned char*>(xmalloc(static_cast<unsigned long>(need)));
        if (buffer == nullptr) return 0;
        // Pixels a short file cannot give must not show whatever the heap held before.
        if (!complete) std::memset(buffer, 0, static_cast<size_t>(need));
    }
    if (pow2 && (padding > 0 || rows_alloc > h)) std::memset(buffer, 0, static_cast<size_t>(need));

    const unsigned char* ramp = colr.gamma_differs ? colr.gamma_ramp : kIdentity.v;
    for (int64_t i = 0; i < h; ++i) {
        const int64_t row_at = int64_t(data_offset) + i * file_stride;
        if (row_at >= file_size) break;
        int64_t whole = (file_size - row_at) / 3;   // pixels of this row the file holds
        if (whole > w) whole = w;
        const unsigned char* src = base + row_at;
        unsigned char* dst = buffer + i * stride;
        for (int64_t x = 0; x < whole; ++x, src += 3) {
            const unsigned char b = src[0], g = src[1], r = src[2];
            switch (bpp) {
            case 1:
                *dst++ = static_cast<unsigned char>((b + g + r) / 3);
                break;
            case 3:
                dst[0] = ramp[r];
                dst[1] = ramp[g];
                dst[2] = ramp[b];
                dst += 3;
                break;
            default:
                if (b == 255 && g == 0 && r == 255) {
                    dst[0] = dst[1] = dst[2] = dst[3] = 0;
                } else {
                    dst[0] = ramp[r];
                    dst[1] = ramp[g];
                    dst[2] = ramp[b];
                    dst[3] = 255;
                }
                dst += 4;
                break;
            }
        }
    }
    return 1;
}
