#include "render/tex_image.h"

#include <gtest/gtest.h>
#include <squish.h>

namespace {

TEX_image_desc desc_of(uint32_t format, int w, int h, int pad = 0, int mips = 0) {
    TEX_image_desc d;
    d.format = format;
    d.width = w;
    d.height = h;
    d.row_padding = pad;
    d.has_mipmaps = mips;
    return d;
}

TEST(ImageBytes, LevelsPaddingAndFormats) {
    struct bytes_case {
        const char* name;
        TEX_image_desc desc;
        int expect;
    };
    const bytes_case cases[] = {
        {"rgba mips padded", desc_of(GL_RGBA, 4, 4, 8, 1), 96 + 32 + 12},
        {"rgba mips 8x2", desc_of(GL_RGBA, 8, 2, 0, 1), 64 + 16 + 8 + 4},
        {"rgb single", desc_of(GL_RGB, 5, 3, 1), 3 * 16},
        {"bgr single", desc_of(GL_BGR, 5, 3), 45},
        {"alpha padded", desc_of(GL_ALPHA, 5, 2, 3), 16},
        {"one channel", desc_of(GL_R, 7, 1), 7},
        {"rg", desc_of(GL_RG, 2, 2, 1), 10},
        {"depth ignores padding", desc_of(GL_DEPTH_COMPONENT, 2, 2, 100), 16},
        {"depth16", desc_of(GL_DEPTH_COMPONENT16_ARB, 2, 2, 100), 8},
        {"depth24", desc_of(GL_DEPTH_COMPONENT24_ARB, 2, 2), 12},
        {"half floats rgb", desc_of(GL_RGB16F_ARB, 2, 1, 2), 14},
        {"floats rgba", desc_of(GL_RGBA32F_ARB, 2, 1), 32},
        {"dxt1 5x5", desc_of(GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 5, 5), 32},
        {"dxt1 mips", desc_of(GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 8, 8, 0, 1), 32 + 8 + 8 + 8},
        {"dxt5 ignores padding", desc_of(GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 4, 4, 12), 16},
        {"dxt3 2x2", desc_of(GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 2, 2), 16},
        {"unknown format", desc_of(0x1234, 4, 4), 0},
        {"no width", desc_of(GL_RGBA, 0, 4, 0, 1), 0},
        {"negative height", desc_of(GL_RGBA, 4, -4, 0, 1), 0},
    };
    for (const auto& c : cases) EXPECT_EQ(TEX_bytes_needed_for_image(c.desc), c.expect) << c.name;
}

TEST(ImageBytes, CompressedSizesAgreeWithTheCompressor) {
    for (const int w : {1, 3, 4, 5, 17, 64})
        for (const int h : {1, 2, 7, 8, 33}) {
            EXPECT_EQ(TEX_bytes_needed_for_image(desc_of(GL_COMPRESSED_RGB_S3TC_DXT1_EXT, w, h)),
                      squish::GetStorageRequirements(w, h, squish::kDxt1));
            EXPECT_EQ(TEX_bytes_needed_for_image(desc_of(GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, w, h)),
                      squish::GetStorageRequirements(w, h, squish::kDxt5));
        }
}

TEST(ImageBytes, SizesBeyondTheIntAreOnlyCountedIn64Bits) {
    const TEX_image_desc huge = desc_of(GL_RGBA32F_ARB, TEX_max_image_side, TEX_max_image_side);
    EXPECT_EQ(TEX_bytes_needed_for_image64(huge), int64_t(16) * TEX_max_image_side * TEX_max_image_side);
    EXPECT_EQ(TEX_bytes_needed_for_image(huge), 0);
}

TEST(ImageBytes, NextPowerOfTwo) {
    struct pow_case {
        int n, expect;
    };
    for (const pow_case c : {pow_case{-3, 1}, {0, 1}, {1, 1}, {2, 2}, {3, 4}, {100, 128}, {1024, 1024}, {16385, 32768}})
        EXPECT_EQ(TEX_next_pow2(c.n), c.expect) << c.n;
}

}  // namespace
