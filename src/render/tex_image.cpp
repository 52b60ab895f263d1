#include "render/tex_image.h"

#include <climits>

namespace {

// Bytes of one level; -1 for a format the table does not know.
int64_t level_bytes(uint32_t format, int64_t w, int64_t h, int64_t pad) {
    const int64_t blocks = ((w + 3) / 4) * ((h + 3) / 4);   // libsquish's storage rule
    switch (format) {
    case GL_DEPTH_COMPONENT:
    case GL_DEPTH_COMPONENT32_ARB:
        return 4 * w * h;
    case GL_DEPTH_COMPONENT16_ARB:
        return 2 * w * h;
    case GL_DEPTH_COMPONENT24_ARB:
        return 3 * w * h;
    case GL_ALPHA:
    case GL_R:
    case GL_COMPRESSED_ALPHA:
        return h * (w + pad);
    case GL_RG:
    case GL_R16F:
    case GL_ALPHA16F_ARB:
        return h * (2 * w + pad);
    case GL_RGB:
    case GL_RGB8:
    case GL_BGR:
        return h * (3 * w + pad);
    case GL_RGBA:
    case GL_RGBA8:
    case GL_BGRA:
    case GL_R32F:
    case GL_RG16F:
    case GL_ALPHA32F_ARB:
        return h * (4 * w + pad);
    case GL_RGB16F_ARB:
        return h * (6 * w + pad);
    case GL_RG32F:
    case GL_RGBA16F_ARB:
        return h * (8 * w + pad);
    case GL_RGB32F_ARB:
        return h * (12 * w + pad);
    case GL_RGBA32F_ARB:
        return h * (16 * w + pad);
    case GL_COMPRESSED_RGB_S3TC_DXT1_EXT:
    case GL_COMPRESSED_RGBA_S3TC_DXT1_EXT:
    case GL_COMPRESSED_RGB:
    case GL_COMPRESSED_RGBA:
        return 8 * blocks;
    case GL_COMPRESSED_RGBA_S3TC_DXT3_EXT:
    case GL_COMPRESSED_RGBA_S3TC_DXT5_EXT:
        return 16 * blocks;
    default:
        return -1;
    }
}

}  // namespace

int64_t TEX_bytes_needed_for_image64(const TEX_image_desc& desc) {
    // A side below 1 never halves down to 1 and describes no image.
    if (desc.width < 1 || desc.height < 1) return -1;
    int64_t w = desc.width, h = desc.height, total = 0;
    for (;;) {
        const int64_t bytes = level_bytes(desc.format, w, h, desc.row_padding);
        if (bytes < 0) return 0;
        total += bytes;
        if ((w == 1 && h == 1) || desc.has_mipmaps == 0) break;
        if (w >= 2) w /= 2;
        if (h > 1) h /= 2;
    }
    return total;
}

int TEX_bytes_needed_for_image(const TEX_image_desc& desc) {
    const int64_t n = TEX_bytes_needed_for_image64(desc);
    // Beyond the int's range there is no honest int answer; 0 is "nothing known".
    return n < 0 || n > INT_MAX ? 0 : static_cast<int>(n);
}

int TEX_next_pow2(int n) {
    int p = 1;
    while (p < n && p < (1 << 30)) p <<= 1;
    return p;
}
