#include "render/tex_utils.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/memory.h"
#include "render/image_fixtures.h"
#include "support/temp_dir.h"

using imgfix::gamma_off;
using testsupport::temp_dir;

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

std::vector<uint8_t> counting(size_t n) {
    std::vector<uint8_t> v(n);
    std::iota(v.begin(), v.end(), uint8_t(1));
    return v;
}

TEST(FlipY, PlainRowsSwapPairwiseOnEveryLevel) {
    // Three RGB rows with two bytes of padding each: rows 0 and 2 change places, row 1 stays.
    std::vector<uint8_t> px = counting(3 * (6 + 2));
    const std::vector<uint8_t> before = px;
    EXPECT_EQ(TEX_flip_y(desc_of(GL_RGB, 2, 3, 2), px.data()), 0);
    for (int b = 0; b < 8; ++b) {
        EXPECT_EQ(px[size_t(b)], before[size_t(16 + b)]);
        EXPECT_EQ(px[size_t(8 + b)], before[size_t(8 + b)]);
        EXPECT_EQ(px[size_t(16 + b)], before[size_t(b)]);
    }

    // RGBA 4x4 with mipmaps: 64 + 16 + 4 bytes; the 2x2 level flips, the 1x1 level stays.
    std::vector<uint8_t> chain = counting(64 + 16 + 4 + 1);
    const std::vector<uint8_t> orig = chain;
    TEX_flip_y(desc_of(GL_RGBA, 4, 4, 0, 1), chain.data());
    for (int r = 0; r < 4; ++r)
        for (int b = 0; b < 16; ++b) EXPECT_EQ(chain[size_t(r * 16 + b)], orig[size_t((3 - r) * 16 + b)]);
    for (int b = 0; b < 8; ++b) {
        EXPECT_EQ(chain[size_t(64 + b)], orig[size_t(72 + b)]);
        EXPECT_EQ(chain[size_t(72 + b)], orig[size_t(64 + b)]);
    }
    for (int b = 80; b < 85; ++b) EXPECT_EQ(chain[size_t(b)], orig[size_t(b)]);   // 1x1 level and beyond
}

// One DXT1 block: colours then four index rows.
std::vector<uint8_t> block(uint16_t c0, uint16_t c1, uint8_t r0, uint8_t r1, uint8_t r2, uint8_t r3) {
    return {uint8_t(c0), uint8_t(c0 >> 8), uint8_t(c1), uint8_t(c1 >> 8), r0, r1, r2, r3};
}

TEST(FlipY, CompressedImagesSwapBlockRowsAndFlipInsideBlocks) {
    gamma_off off;
    // 8x8 DXT1: blocks A B (block row 0), C D (block row 1).
    std::vector<uint8_t> a = block(0x2000, 0x1000, 0x00, 0x55, 0xAA, 0xFF), b = block(0x3000, 0x1000, 1, 2, 3, 4),
                         c = block(0x4000, 0x1000, 5, 6, 7, 8), d = block(0x5000, 0x1000, 9, 10, 11, 12);
    std::vector<uint8_t> img;
    for (const auto* blk : {&a, &b, &c, &d}) img.insert(img.end(), blk->begin(), blk->end());
    EXPECT_EQ(TEX_flip_y(desc_of(GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 8, 8), img.data()), 0);
    std::vector<uint8_t> want;
    for (const auto& blk : {block(0x4000, 0x1000, 8, 7, 6, 5), block(0x5000, 0x1000, 12, 11, 10, 9),
                            block(0x2000, 0x1000, 0xFF, 0xAA, 0x55, 0x00), block(0x3000, 0x1000, 4, 3, 2, 1)})
        want.insert(want.end(), blk.begin(), blk.end());
    EXPECT_EQ(img, want);

    // A single block row flips inside; a 2x2 level has no whole block and stays.
    std::vector<uint8_t> one = block(0x2000, 0x1000, 1, 2, 3, 4);
    TEX_flip_y(desc_of(GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 4, 4), one.data());
    EXPECT_EQ(one, block(0x2000, 0x1000, 4, 3, 2, 1));
    std::vector<uint8_t> small = block(0x2000, 0x1000, 1, 2, 3, 4);
    TEX_flip_y(desc_of(GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 2, 2), small.data());
    EXPECT_EQ(small, block(0x2000, 0x1000, 1, 2, 3, 4));
}

TEST(FlipY, ReportsTransparentDxt1Texels) {
    gamma_off off;
    std::vector<uint8_t> img;
    for (int i = 0; i < 4; ++i) {
        // Block 2 is in three-colour mode and uses index 3 once.
        const auto blk = i == 2 ? block(0x1000, 0x2000, 0, 0, 0xC0, 0) : block(0x2000, 0x1000, 0xFF, 0xFF, 0xFF, 0xFF);
        img.insert(img.end(), blk.begin(), blk.end());
    }
    EXPECT_EQ(TEX_flip_y(desc_of(GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 8, 8), img.data()), 1);
    std::vector<uint8_t> dxt5(64, 0xFF);
    EXPECT_EQ(TEX_flip_y(desc_of(GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 8, 8), dxt5.data()), 0);
}

TEST(FlipYDeathTest, UnknownFormatIsACrashAlert) {
    std::vector<uint8_t> px(16);
    EXPECT_DEATH(TEX_flip_y(desc_of(GL_RG, 2, 2), px.data()), "Illegal format!");
}

TEST(Downscale, BoxAveragesInPlace) {
    struct scale_case {
        const char* name;
        TEX_image_desc desc;
        int fx, fy;
        std::vector<uint8_t> in;
        int new_w, new_h;
        std::vector<uint8_t> out;   // the first bytes of the buffer afterwards
    };
    const scale_case cases[] = {
        {"rgba 2x2", desc_of(GL_RGBA, 4, 2), 2, 2,
         {0, 0, 0, 0, 1, 2, 3, 4, 10, 10, 10, 10, 20, 20, 20, 20,
          3, 3, 3, 3, 5, 5, 5, 5, 30, 30, 30, 30, 41, 41, 41, 41},
         2, 1, {2, 2, 2, 3, 25, 25, 25, 25}},
        {"by 1x1 nothing changes", desc_of(GL_RGB, 2, 1), 1, 1, {1, 2, 3, 4, 5, 6}, 2, 1, {1, 2, 3, 4, 5, 6}},
        {"alpha rows", desc_of(GL_ALPHA, 2, 4), 1, 2, {1, 2, 3, 5, 10, 20, 30, 41}, 2, 2, {2, 3, 20, 30}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TEX_image_desc d = c.desc;
        std::vector<uint8_t> px = c.in;
        TEX_downscale(d, px.data(), c.fx, c.fy);
        EXPECT_EQ(d.width, c.new_w);
        EXPECT_EQ(d.height, c.new_h);
        EXPECT_EQ(std::vector<uint8_t>(px.begin(), px.begin() + long(c.out.size())), c.out);
    }

    // 8x2 RGB with 8 bytes of padding, by 4x1: 2x2 pixels in rows of 6 + 8 bytes.
    TEX_image_desc d = desc_of(GL_RGB, 8, 2, 8);
    std::vector<uint8_t> px(2 * (24 + 8), 0);
    for (int r = 0; r < 2; ++r)
        for (int x = 0; x < 8; ++x)
            for (int ch = 0; ch < 3; ++ch) px[size_t(r * 32 + x * 3 + ch)] = uint8_t(x * 10 + r * 100 + ch);
    TEX_downscale(d, px.data(), 4, 1);
    EXPECT_EQ(d.width, 2);
    EXPECT_EQ(d.height, 2);
    EXPECT_EQ(px[0], 15);           // (0 + 10 + 20 + 30) / 4
    EXPECT_EQ(px[3], 55);
    EXPECT_EQ(px[14], 115);         // second row starts at 6 + 8
    EXPECT_EQ(px[17 + 2], 157);
}

TEST(Paste, CopyUsesEachImagesStride) {
    const TEX_image_desc src = desc_of(GL_RGBA, 2, 2, 4), dst = desc_of(GL_RGBA, 4, 3, 0);
    const std::vector<uint8_t> s = counting(2 * 12);
    std::vector<uint8_t> d(4 * 4 * 3, 0);
    TEX_copy(src, dst, s.data(), d.data(), 1, 1);
    for (int r = 0; r < 3; ++r)
        for (int x = 0; x < 4; ++x)
            for (int ch = 0; ch < 4; ++ch) {
                const uint8_t v = d[size_t((r * 4 + x) * 4 + ch)];
                const bool inside = r >= 1 && x >= 1 && x <= 2;
                EXPECT_EQ(v, inside ? s[size_t((r - 1) * 12 + (x - 1) * 4 + ch)] : 0) << r << "," << x;
            }
}

TEST(Paste, CompositeScalesAndBlends) {
    // An opaque 2x2 source pasted at its own size lands unchanged, destination alpha full.
    const TEX_image_desc src = desc_of(GL_RGBA, 2, 2);
    const std::vector<uint8_t> s = {10, 20, 30, 255, 40, 50, 60, 255, 70, 80, 90, 255, 100, 110, 120, 255};
    const TEX_image_desc dst = desc_of(GL_RGBA, 3, 3);
    std::vector<uint8_t> d(36, 0);
    TEX_composite(src, dst, s.data(), d.data(), 0, 0, 2, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            for (int ch = 0; ch < 4; ++ch) EXPECT_EQ(d[size_t((y * 3 + x) * 4 + ch)], s[size_t((y * 2 + x) * 4 + ch)]);
    EXPECT_EQ(d[size_t((2 * 3 + 2) * 4)], 0);

    // A half-transparent source mixes half and half into an RGB destination.
    const std::vector<uint8_t> half = {200, 200, 200, 128};
    std::vector<uint8_t> rgb = {100, 100, 100};
    TEX_composite(desc_of(GL_RGBA, 1, 1), desc_of(GL_RGB, 1, 1), half.data(), rgb.data(), 0, 0, 1, 1);
    EXPECT_EQ(rgb[0], 150);

    // A degenerate rectangle samples the source's centre for every pixel it covers.
    const TEX_image_desc big = desc_of(GL_RGB, 4, 4);
    std::vector<uint8_t> b(48, 0);
    b[size_t((2 * 4 + 2) * 3)] = 77;   // texel (2, 2) = (width × 0.5, height × 0.5)
    std::vector<uint8_t> out = {1, 1, 1};
    TEX_composite(big, desc_of(GL_RGB, 1, 1), b.data(), out.data(), 0.5f, 0.5f, 0.5f, 0.5f);
    EXPECT_EQ(out[0], 77);
}

TEST(AlphaCleanUp, EdgesChromaKeyAndZap) {
    // 5x1 RGBA: one opaque red pixel at x = 0; x = 1, 2 within reach, x = 3 beyond it.
    const TEX_image_desc d = desc_of(GL_RGBA, 5, 1);
    std::vector<uint8_t> px(20, 0);
    px[0] = 255;
    px[3] = 255;
    px[4 * 3 + 1] = 9;   // a transparent pixel's own colour stays when nothing opaque is near
    TEX_clean_edge(d, px.data());
    EXPECT_EQ(std::vector<uint8_t>(px.begin() + 4, px.begin() + 12), (std::vector<uint8_t>{255, 0, 0, 0, 255, 0, 0, 0}));
    EXPECT_EQ(px[4 * 3 + 1], 9);
    EXPECT_EQ(px[4 * 3], 0);

    std::vector<uint8_t> clear(20, 0);
    clear[5] = 33;
    const std::vector<uint8_t> clear_before = clear;
    TEX_clean_edge(d, clear.data());
    EXPECT_EQ(clear, clear_before);

    TEX_zap_alpha(d, px.data());
    EXPECT_EQ(px[4], 0);
    EXPECT_EQ(px[0], 255);

    const unsigned char key[3] = {10, 20, 30};
    std::vector<uint8_t> keyed = {10, 20, 30, 255, 11, 20, 30, 255};
    TEX_chroma_key(desc_of(GL_RGBA, 2, 1), keyed.data(), key, 0);
    EXPECT_EQ(keyed[3], 255);
    const TEX_image_desc two = desc_of(GL_RGBA, 2, 1);
    TEX_chroma_key_wrap(&two, keyed.data(), key, 1);
    EXPECT_EQ(keyed[3], 0);
    EXPECT_EQ(keyed[7], 255);
    EXPECT_EQ(keyed[0], 10);
}

TEST(Gradient, SlopesOfTheHeightChannel) {
    // Flat: 127 (127.5 truncated) in red and green; blue and alpha untouched.
    std::vector<uint8_t> flat = {0, 0, 90, 7, 0, 0, 90, 7, 0, 0, 90, 7, 0, 0, 90, 7};
    TEX_make_gradient(flat.data(), desc_of(GL_RGBA, 2, 2), 1.0f);
    EXPECT_EQ(flat, (std::vector<uint8_t>{127, 127, 90, 7, 127, 127, 90, 7, 127, 127, 90, 7, 127, 127, 90, 7}));

    // Rising to the right by 255 wraps back at the edge; clamped at both ends with scale 4.
    std::vector<uint8_t> ramp = {0, 0, 0, 0, 0, 255};
    TEX_make_gradient(ramp.data(), desc_of(GL_RGB, 2, 1), 4.0f);
    EXPECT_EQ(ramp[0], 255);
    EXPECT_EQ(ramp[3], 0);
    EXPECT_EQ(ramp[1], 127);

    std::vector<float> f = {0, 0, 0.25f, 0, 0, 0.75f};
    TEX_make_gradient(f.data(), desc_of(GL_RGB, 2, 1), 2.0f);
    EXPECT_FLOAT_EQ(f[0], 1.5f);
    EXPECT_FLOAT_EQ(f[3], -0.5f);
    EXPECT_FLOAT_EQ(f[1], 0.5f);
    EXPECT_FLOAT_EQ(f[2], 0.25f);
}

class LoadAny : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(xer.open(tmp / "log.txt")); }
    void TearDown() override { xer.close(); }

    int load(const std::string& path, unsigned char*& buf, TEX_image_desc& d, int row_pixels = 0) {
        return TEX_load_any(path, buf, GL_RGBA, row_pixels, png_mode_exact, 0, d);
    }
    temp_dir tmp;
};

TEST_F(LoadAny, PicksTheCodecByContent) {
    gamma_off off;
    testsupport::write_file(tmp / "a.bmp", imgfix::make_bmp(1, 1, 24, {{3, 2, 1}}));
    imgfix::png_spec s;
    s.width = s.height = 3;
    s.rows = imgfix::rows8(3, 3, 3, [](int, int, int c) { return 40 + c; });
    // The content decides, not the name.
    testsupport::write_file(tmp / "b.bmp", imgfix::make_png(s));
    testsupport::write_file(tmp / "tiny.png", std::string("\x89PNG\r\n\x1a", 7));
    testsupport::write_file(tmp / "other.png", "GIF89a and more");

    struct any_case {
        const char* file;
        int expect;
        int width;
        uint8_t first;
    };
    for (const any_case c : {any_case{"a.bmp", 1, 1, 1}, any_case{"b.bmp", 1, 3, 40}, any_case{"tiny.png", 0, 0, 0},
                             any_case{"other.png", 0, 0, 0}, any_case{"missing.png", 0, 0, 0}}) {
        SCOPED_TRACE(c.file);
        unsigned char* buf = nullptr;
        TEX_image_desc d;
        EXPECT_EQ(load(tmp / c.file, buf, d), c.expect);
        if (c.expect) {
            ASSERT_NE(buf, nullptr);
            EXPECT_EQ(d.width, c.width);
            EXPECT_EQ(d.row_padding, 0);
            EXPECT_EQ(buf[0], c.first);
            EXPECT_EQ(buf[3], 255);
        } else {
            EXPECT_EQ(buf, nullptr);
        }
        xfree(buf);
    }
}

TEST_F(LoadAny, ExtensionsAreTriedAsPngThenBmp) {
    gamma_off off;
    testsupport::write_file(tmp / "picture.bmp", imgfix::make_bmp(2, 1, 24, {{1, 2, 3, 4, 5, 6}}));
    imgfix::png_spec s;
    s.width = 5;
    s.rows = imgfix::rows8(5, 1, 3, [](int, int, int) { return 9; });
    testsupport::write_file(tmp / "pic.png", imgfix::make_png(s));
    struct ext_case {
        const char* path;
        int expect, width;
    };
    for (const ext_case c : {ext_case{"picture.dds", 1, 2}, ext_case{"picture", 1, 2}, ext_case{"pic", 1, 5},
                             ext_case{"pic.bmp", 1, 5}, ext_case{"nothing.png", 0, 0}}) {
        SCOPED_TRACE(c.path);
        unsigned char* buf = nullptr;
        TEX_image_desc d;
        EXPECT_EQ(TEX_load_any_ext(tmp / c.path, buf, GL_RGB, 0, png_mode_exact, 0, d), c.expect);
        if (c.expect) {
            EXPECT_EQ(d.width, c.width);
        }
        xfree(buf);
    }
}

TEST(LoadAnyDeathTest, OverlongPathsAreACrashAlert) {
    unsigned char* buf = nullptr;
    TEX_image_desc d;
    EXPECT_DEATH(TEX_load_any_ext(std::string(600, 'a'), buf, GL_RGB, 0, png_mode_exact, 0, d), "String too long!");
}

}  // namespace

namespace {

// The rule written out directly: each transparent pixel takes the mean colour of the opaque
// pixels in its 5 x 5 square, read from the picture as it was.
std::vector<uint8_t> clean_edge_by_the_rule(const std::vector<uint8_t>& in, int w, int h) {
    std::vector<uint8_t> out = in;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (in[size_t(y * w + x) * 4 + 3] != 0) continue;
            int n = 0, sum[3] = {0, 0, 0};
            for (int yy = std::max(y - 2, 0); yy <= std::min(y + 2, h - 1); ++yy)
                for (int xx = std::max(x - 2, 0); xx <= std::min(x + 2, w - 1); ++xx) {
                    const uint8_t* q = &in[size_t(yy * w + xx) * 4];
                    if (q[3] == 0) continue;
                    for (int c = 0; c < 3; ++c) sum[c] += q[c];
                    ++n;
                }
            if (n == 0) continue;
            for (int c = 0; c < 3; ++c) out[size_t(y * w + x) * 4 + c] = static_cast<uint8_t>(sum[c] / n);
        }
    return out;
}

}  // namespace

TEST(CleanEdge, AgreesWithTheRuleOnPicturesOfEveryMix) {
    unsigned seed = 7;
    auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    struct shape {
        int w, h, transparent_percent;
    };
    for (const shape s : {shape{37, 23, 40}, {1, 9, 50}, {9, 1, 50}, {16, 16, 95}, {16, 16, 5}, {64, 3, 70},
                          {130, 7, 30}, {70, 5, 100}, {70, 5, 0}, {200, 6, 2}}) {
        std::vector<uint8_t> px(size_t(s.w) * s.h * 4);
        for (size_t i = 0; i < px.size(); i += 4) {
            for (int c = 0; c < 3; ++c) px[i + c] = static_cast<uint8_t>(next());
            px[i + 3] = int(next() % 100) < s.transparent_percent ? 0 : static_cast<uint8_t>(1 + next() % 255);
        }
        const std::vector<uint8_t> expect = clean_edge_by_the_rule(px, s.w, s.h);
        TEX_image_desc d;
        d.format = GL_RGBA;
        d.width = s.w;
        d.height = s.h;
        TEX_clean_edge(d, px.data());
        EXPECT_EQ(px, expect) << s.w << "x" << s.h;
    }
}

TEST(CleanEdge, ColourReachesAcrossEverySixtyFourPixelBoundary) {
    // Transparent everywhere but two opaque columns, each next to a 64-pixel boundary.
    const int w = 130, h = 5;
    std::vector<uint8_t> px(size_t(w) * h * 4, 0);
    for (int y = 0; y < h; ++y) {
        for (int c = 0; c < 4; ++c) px[size_t(y * w + 63) * 4 + c] = uint8_t(c == 3 ? 255 : 40 + c);
        for (int c = 0; c < 4; ++c) px[size_t(y * w + 128) * 4 + c] = uint8_t(c == 3 ? 255 : 90 + c);
    }
    const std::vector<uint8_t> expect = clean_edge_by_the_rule(px, w, h);
    TEX_image_desc d;
    d.format = GL_RGBA;
    d.width = w;
    d.height = h;
    TEX_clean_edge(d, px.data());
    EXPECT_EQ(px, expect);
    for (int x : {61, 62, 64, 65}) EXPECT_EQ(px[size_t(2 * w + x) * 4], 40) << x;
    for (int x : {126, 127, 129}) EXPECT_EQ(px[size_t(2 * w + x) * 4], 90) << x;
    EXPECT_EQ(px[size_t(2 * w + 66) * 4], 0);
}
