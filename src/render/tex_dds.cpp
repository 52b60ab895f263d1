#include "render/tex_dds.h"

#include <squish.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/alert.h"
#include "core/memory.h"
#include "files/paths.h"
#include "files/xmap.h"

namespace {

constexpr int kHeaderBytes = 128;

constexpr uint32_t kFlagMipCount = 0x20000;
constexpr uint32_t kCapsMipmap = 0x400000;
constexpr uint32_t kPixelFourCC = 0x4;
constexpr uint32_t kPixelRGB = 0x40;
constexpr uint32_t kPixelAlpha = 0x1;

inline uint32_t get32(const unsigned char* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline void put32(unsigned char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

int squish_kind(uint32_t format) {
    switch (format) {
    case GL_COMPRESSED_RGB_S3TC_DXT1_EXT:
    case GL_COMPRESSED_RGBA_S3TC_DXT1_EXT:
        return squish::kDxt1;
    case GL_COMPRESSED_RGBA_S3TC_DXT3_EXT:
        return squish::kDxt3;
    default:
        return squish::kDxt5;
    }
}

// One 2 × 2 box step (a side of 1 halves only the other), in place; odd last rows and columns drop.
void reduce_rgba(unsigned char* img, int& w, int& h) {
    if (w >= 2 && h >= 2) {
        const int nw = w / 2, nh = h / 2;
        for (int y = 0; y < nh; ++y)
            for (int x = 0; x < nw; ++x) {
                const unsigned char* a = img + (int64_t(2 * y) * w + 2 * x) * 4;
                const unsigned char* b = a + int64_t(w) * 4;
                unsigned char* out = img + (int64_t(y) * nw + x) * 4;
                for (int c = 0; c < 4; ++c) out[c] = static_cast<unsigned char>((a[c] + a[c + 4] + b[c] + b[c + 4]) / 4);
            }
        w = nw;
        h = nh;
    } else if (w == 1) {
        const int nh = h / 2;
        for (int y = 0; y < nh; ++y)
            for (int c = 0; c < 4; ++c)
                img[y * 4 + c] = static_cast<unsigned char>((img[(2 * y) * 4 + c] + img[(2 * y + 1) * 4 + c]) / 2);
        h = nh;
    } else {
        const int nw = w / 2;
        for (int x = 0; x < nw; ++x)
            for (int c = 0; c < 4; ++c)
                img[x * 4 + c] = static_cast<unsigned char>((img[(2 * x) * 4 + c] + img[(2 * x + 1) * 4 + c]) / 2);
        w = nw;
    }
}

}  // namespace

int TEX_load_dds(const std::string&, xmap_class& file, const unsigned char*& buffer, TEX_image_desc& desc) {
    if (file.mem_cur == nullptr || file.mem_end - file.mem_cur < 4) return 0;
    const auto* base = reinterpret_cast<const unsigned char*>(file.mem_cur);
    const int64_t size = file.mem_end - file.mem_cur;
    if (std::memcmp(base, "DDS ", 4) != 0) return 0;

    desc.format = 0;
    if (size < kHeaderBytes) return 0;

    uint32_t format = 0;
    const uint32_t pixel_flags = get32(base + 80);
    if (pixel_flags & kPixelFourCC) {
        const unsigned char* cc = base + 84;
        if (std::memcmp(cc, "DXT1", 4) == 0) format = GL_COMPRESSED_RGB_S3TC_DXT1_EXT;
        else if (std::memcmp(cc, "DXT3", 4) == 0) format = GL_COMPRESSED_RGBA_S3TC_DXT3_EXT;
        else if (std::memcmp(cc, "DXT5", 4) == 0) format = GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
        else return 0;
    }
    if (pixel_flags & kPixelRGB) format = (pixel_flags & kPixelAlpha) ? GL_BGRA : GL_BGR;
    if (format == 0) return 0;

    TEX_image_desc d;
    d.format = format;
    d.width = static_cast<int32_t>(get32(base + 16));
    d.height = static_cast<int32_t>(get32(base + 12));
    d.row_padding = 0;
    d.has_mipmaps = (get32(base + 8) & kFlagMipCount) && (get32(base + 108) & kCapsMipmap) ? 1 : 0;

    // The file must hold every level the header promises; a short one is a missing one.
    if (d.width < 1 || d.height < 1 || d.width > TEX_max_image_side || d.height > TEX_max_image_side) return 0;
    if (kHeaderBytes + TEX_bytes_needed_for_image64(d) > size) return 0;

    desc = d;
    buffer = base + kHeaderBytes;
    return 1;
}

int TEX_save_dds(const std::string& path, const unsigned char* pixels, const TEX_image_desc& desc) {
    if (desc.format != GL_RGBA && desc.format != GL_RGB) {
        __MACIBM_alert(0, "rel_assert Error! Possibly an out of range vector! Attach the debugger and see who called this!",
                       "in_desc.format == GL_RGBA || in_desc.format == GL_RGB", "TEX_save_dds",
                       "Please report this to Quillon Research.", t_crash, "QFutils/TEX/TEX_dds", 233);
        return 0;
    }
    int w = desc.width, h = desc.height;
    if (w < 1 || h < 1 || w > TEX_max_image_side || h > TEX_max_image_side) return 0;

    std::string full = path;
    set_path_to_full(full);
    FILE* out = std::fopen(full.c_str(), "wb");
    if (out == nullptr) return 0;

    const bool rgba = desc.format == GL_RGBA;
    const int kind = rgba ? squish::kDxt5 : squish::kDxt1;
    const int bpp = rgba ? 4 : 3;
    const int top_bytes = squish::GetStorageRequirements(w, h, kind);
    auto* work = static_cast<unsigned char*>(xmalloc(static_cast<unsigned long>(int64_t(w) * h * 4)));
    auto* blocks = static_cast<unsigned char*>(xmalloc(static_cast<unsigned long>(top_bytes)));
    bool ok = work != nullptr && blocks != nullptr;

    if (ok) {
        // The file is top-down; the buffer bottom-up.
        const int64_t stride = int64_t(bpp) * w + desc.row_padding;
        for (int r = 0; r < h; ++r) {
            const unsigned char* src = pixels + stride * r;
            unsigned char* dst = work + int64_t(h - 1 - r) * w * 4;
            for (int x = 0; x < w; ++x, src += bpp, dst += 4) {
                dst[0] = src[0];
                dst[1] = src[1];
                dst[2] = src[2];
                dst[3] = rgba ? src[3] : 255;
            }
        }

        int levels = 1;
        for (int m = w > h ? w : h; m > 1; m /= 2) ++levels;
        unsigned char header[kHeaderBytes] = {};
        std::memcpy(header, "DDS ", 4);
        put32(header + 4, 124);
        put32(header + 8, 0xA1007);
        put32(header + 12, static_cast<uint32_t>(h));
        put32(header + 16, static_cast<uint32_t>(w));
        put32(header + 20, static_cast<uint32_t>(top_bytes));
        put32(header + 28, static_cast<uint32_t>(levels));
        put32(header + 76, 32);
        put32(header + 80, kPixelFourCC);
        std::memcpy(header + 84, rgba ? "DXT5" : "DXT1", 4);
        put32(header + 108, 0x401008);
        ok = std::fwrite(header, 1, sizeof header, out) == sizeof header;

        while (ok) {
            squish::CompressImage(work, w, h, blocks, kind | squish::kColourIterativeClusterFit);
            const auto bytes = static_cast<size_t>(squish::GetStorageRequirements(w, h, kind));
            ok = std::fwrite(blocks, 1, bytes, out) == bytes;
            if (w == 1 && h == 1) break;
            reduce_rgba(work, w, h);
        }
    }
    // A full disk may only show when the last bytes are flushed on closing.
    if (std::fclose(out) != 0) ok = false;
    xfree(work);
    xfree(blocks);
    return ok ? 1 : 0;
}

void TEX_encode_s3tc(const TEX_image_desc& src_desc, const TEX_image_desc& dst_desc, const unsigned char* src,
                     unsigned char* dst_blocks, TEX_s3tc_quality quality) {
    const int fit = quality == tex_s3tc_fast   ? squish::kColourRangeFit
                    : quality == tex_s3tc_best ? squish::kColourIterativeClusterFit
                                               : squish::kColourClusterFit;
    squish::CompressImage(src, src_desc.width, src_desc.height, dst_blocks, fit | squish_kind(dst_desc.format));
}

void TEX_decode_s3tc(const TEX_image_desc& src_desc, const TEX_image_desc&, const unsigned char* src_blocks,
                     unsigned char* dst) {
    squish::DecompressImage(dst, src_desc.width, src_desc.height, src_blocks, squish_kind(src_desc.format));
}
