#include "render/tex_dds.h"

#include <gtest/gtest.h>
#include <squish.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "render/tex_dxt.h"
#include "render/tex_utils.h"
#include "render/image_fixtures.h"
#include "support/temp_dir.h"

using imgfix::gamma_off;
using imgfix::make_dds;
using imgfix::mapped;
using testsupport::temp_dir;

namespace {

constexpr uint32_t kMipFlags = 0x1007 | 0x20000;
constexpr uint32_t kMipCaps = 0x401008;
constexpr uint32_t kFourCC = 0x4, kRgb = 0x40, kAlphaPixels = 0x1;

struct loaded {
    int result = -1;
    TEX_image_desc desc;
    const unsigned char* pixels = nullptr;
    const unsigned char* file_start = nullptr;
};

loaded load(const std::string& file) {
    loaded out;
    out.desc.format = 0xDEAD;
    mapped m(file);
    out.file_start = reinterpret_cast<const unsigned char*>(m.map.mem_start);
    out.result = TEX_load_dds("t.dds", m.map, out.pixels, out.desc);
    return out;
}

TEST(DdsReader, PixelFormatsFromTheHeader) {
    struct format_case {
        const char* name;
        uint32_t pixel_flags;
        const char* fourcc;
        int expect;
        uint32_t format;
    };
    const format_case cases[] = {
        {"dxt1", kFourCC, "DXT1", 1, GL_COMPRESSED_RGB_S3TC_DXT1_EXT},
        {"dxt3", kFourCC, "DXT3", 1, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT},
        {"dxt5", kFourCC, "DXT5", 1, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT},
        {"rgb and alpha flags win", kFourCC | kRgb | kAlphaPixels, "DXT1", 1, GL_BGRA},
        {"rgb without alpha", kRgb, nullptr, 1, GL_BGR},
        {"other fourcc", kFourCC, "ATI2", 0, 0},
        {"fourcc not flagged", 0, "DXT1", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Big enough for any of these formats at 4 x 4.
        const loaded l = load(make_dds(4, 4, 0x1007, c.pixel_flags, c.fourcc, 0x1000, 64));
        EXPECT_EQ(l.result, c.expect);
        EXPECT_EQ(l.desc.format, c.format);
        if (c.expect) {
            EXPECT_EQ(l.desc.width, 4);
            EXPECT_EQ(l.desc.height, 4);
            EXPECT_EQ(l.desc.row_padding, 0);
            EXPECT_EQ(l.pixels, l.file_start + 128);
        }
    }
}

TEST(DdsReader, MipmapsNeedBothTheFlagAndTheCaps) {
    struct mip_case {
        uint32_t flags, caps;
        int expect;
    };
    for (const mip_case c : {mip_case{kMipFlags, kMipCaps, 1}, {0x1007, kMipCaps, 0}, {kMipFlags, 0x1000, 0}}) {
        const loaded l = load(make_dds(8, 8, c.flags, kFourCC, "DXT1", c.caps, 56));
        ASSERT_EQ(l.result, 1);
        EXPECT_EQ(l.desc.has_mipmaps, c.expect) << std::hex << c.flags << " " << c.caps;
    }
}

TEST(DdsReader, ShortFilesAndHostileSizesReadAsMissing) {
    struct short_case {
        const char* name;
        std::string file;
        int expect;
    };
    const std::string chain = make_dds(8, 8, kMipFlags, kFourCC, "DXT1", kMipCaps, 56);
    std::string huge = make_dds(4, 4, 0x1007, kFourCC, "DXT5", 0x1000, 16);
    imgfix::put32(huge, 12, 0x7FFFFFFF);
    imgfix::put32(huge, 16, 0x7FFFFFFF);
    std::string negative = make_dds(4, 4, 0x1007, kRgb | kAlphaPixels, nullptr, 0x1000, 64);
    imgfix::put32(negative, 16, 0xFFFFFFFCu);
    std::string zero = make_dds(4, 4, 0x1007, kRgb, nullptr, 0x1000, 48);
    imgfix::put32(zero, 12, 0);
    const short_case cases[] = {
        {"whole chain", chain, 1},
        {"one byte short of the 1x1 level", chain.substr(0, chain.size() - 1), 0},
        {"top level only", chain.substr(0, 128 + 32), 0},
        {"header cut", chain.substr(0, 100), 0},
        {"magic only", "DDS ", 0},
        {"huge sides", huge, 0},
        {"negative width", negative, 0},
        {"zero height", zero, 0},
        {"uncompressed one byte short", make_dds(4, 4, 0x1007, kRgb, nullptr, 0x1000, 47), 0},
    };
    for (const auto& c : cases) {
        const loaded l = load(c.file);
        EXPECT_EQ(l.result, c.expect) << c.name;
        if (c.expect == 0) {
            EXPECT_EQ(l.desc.format, 0u) << c.name;
        }
    }
    // Another magic leaves the description as it was.
    EXPECT_EQ(load("PNG not a dds file").desc.format, 0xDEADu);
}

// An RGBA picture of four flat quadrants whose colours survive 5-6-5 and 4-bit alpha exactly.
std::vector<uint8_t> quadrants(int w, int h) {
    static const uint8_t kColours[4][4] = {{255, 0, 0, 255}, {0, 255, 0, 0}, {0, 0, 255, 136}, {255, 255, 255, 255}};
    std::vector<uint8_t> px;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t* c = kColours[(x >= w / 2 ? 1 : 0) + (y >= h / 2 ? 2 : 0)];
            px.insert(px.end(), c, c + 4);
        }
    return px;
}

TEST(S3tc, RoundTripsFlatBlocksExactlyInEveryKind) {
    struct kind_case {
        uint32_t format;
        int block_bytes;
        bool keeps_alpha;
    };
    for (const kind_case k : {kind_case{GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 16, true},
                              kind_case{GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 16, true},
                              kind_case{GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 8, false}}) {
        for (const TEX_s3tc_quality q : {tex_s3tc_fast, tex_s3tc_normal, tex_s3tc_best}) {
            SCOPED_TRACE(testing::Message() << std::hex << k.format << " quality " << q);
            TEX_image_desc src, dst;
            src.format = GL_RGBA;
            src.width = src.height = 8;
            dst = src;
            dst.format = k.format;
            const std::vector<uint8_t> px = quadrants(8, 8);
            std::vector<uint8_t> blocks(size_t(TEX_bytes_needed_for_image(dst)) + 16, 0xEE);
            TEX_encode_s3tc(src, dst, px.data(), blocks.data(), q);
            EXPECT_EQ(blocks.size() - 16, size_t(4 * k.block_bytes));
            EXPECT_EQ(blocks[blocks.size() - 16], 0xEE);   // nothing written past the blocks
            std::vector<uint8_t> back(px.size());
            TEX_decode_s3tc(dst, src, blocks.data(), back.data());
            for (size_t i = 0; i < px.size(); i += 4) {
                // DXT1 has one bit of alpha: what is mostly transparent becomes transparent black.
                const bool cut = !k.keeps_alpha && px[i + 3] < 128;
                for (size_t c = 0; c < 4; ++c) {
                    const int want = cut ? 0 : (c == 3 && !k.keeps_alpha) ? 255 : px[i + c];
                    ASSERT_EQ(back[i + c], want) << i / 4 << " channel " << c;
                }
            }
        }
    }
}

TEST(S3tc, SmoothPicturesComeBackClose) {
    TEX_image_desc src, dst;
    src.format = GL_RGBA;
    src.width = src.height = 16;
    dst = src;
    dst.format = GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
    std::vector<uint8_t> px;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            // Colours along one line through colour space, as a block's four colours can follow.
            const int t = x * 12 + y * 3;
            px.insert(px.end(), {uint8_t(t), uint8_t(t / 2 + 40), uint8_t(255 - t), uint8_t(x * 8 + y * 8)});
        }
    std::vector<uint8_t> blocks(size_t(TEX_bytes_needed_for_image(dst)));
    TEX_encode_s3tc(src, dst, px.data(), blocks.data(), tex_s3tc_best);
    std::vector<uint8_t> back(px.size());
    TEX_decode_s3tc(dst, src, blocks.data(), back.data());
    for (size_t i = 0; i < px.size(); ++i) ASSERT_NEAR(back[i], px[i], 8) << i;
}

class DdsWriter : public ::testing::Test {
protected:
    temp_dir tmp;
};

TEST_F(DdsWriter, WritesEveryLevelDownToOnePixel) {
    struct write_case {
        uint32_t format;
        int w, h;
        size_t bytes;
        uint32_t levels;
        const char* fourcc;
    };
    for (const write_case c : {write_case{GL_RGB, 4, 4, 128 + 8 + 8 + 8, 3, "DXT1"},
                               write_case{GL_RGBA, 8, 2, 128 + 32 + 16 + 16 + 16, 4, "DXT5"},
                               write_case{GL_RGB, 5, 3, 128 + 16 + 8 + 8, 3, "DXT1"}}) {
        SCOPED_TRACE(c.fourcc);
        const int bpp = c.format == GL_RGBA ? 4 : 3;
        TEX_image_desc desc;
        desc.format = c.format;
        desc.width = c.w;
        desc.height = c.h;
        desc.row_padding = 2;
        std::vector<uint8_t> px(size_t((bpp * c.w + 2) * c.h), 0x80);
        const std::string path = tmp / "out.dds";
        ASSERT_EQ(TEX_save_dds(path, px.data(), desc), 1);
        const std::string file = testsupport::read_file(path);
        ASSERT_EQ(file.size(), c.bytes);
        EXPECT_EQ(file.substr(0, 4), "DDS ");
        EXPECT_EQ(imgfix::get32(file, 4), 124u);
        EXPECT_EQ(imgfix::get32(file, 8), 0xA1007u);
        EXPECT_EQ(imgfix::get32(file, 12), uint32_t(c.h));
        EXPECT_EQ(imgfix::get32(file, 16), uint32_t(c.w));
        EXPECT_EQ(imgfix::get32(file, 28), c.levels);
        EXPECT_EQ(imgfix::get32(file, 80), 4u);
        EXPECT_EQ(file.substr(84, 4), c.fourcc);
        EXPECT_EQ(imgfix::get32(file, 108), 0x401008u);
    }
}

TEST_F(DdsWriter, ReadsBackUpsideDownAsTheFileStoresIt) {
    gamma_off off;
    // Bottom-up RGBA: the bottom half red, the top half blue, each half a whole block row.
    TEX_image_desc desc;
    desc.format = GL_RGBA;
    desc.width = 4;
    desc.height = 8;
    std::vector<uint8_t> px;
    for (int row = 0; row < 8; ++row)
        for (int x = 0; x < 4; ++x) px.insert(px.end(), {uint8_t(row < 4 ? 255 : 0), 0, uint8_t(row < 4 ? 0 : 255), 255});
    const std::string path = tmp / "flip.dds";
    ASSERT_EQ(TEX_save_dds(path, px.data(), desc), 1);

    const std::string file = testsupport::read_file(path);
    const loaded l = load(file);
    ASSERT_EQ(l.result, 1);
    EXPECT_EQ(l.desc.has_mipmaps, 1);
    EXPECT_EQ(l.desc.format, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT);
    // The file is top-down: its first block row is the blue top. Flipped, it matches the source.
    std::vector<uint8_t> chain(file.begin() + 128, file.end());
    std::vector<uint8_t> top(4 * 8 * 4);
    TEX_decode_s3tc(l.desc, desc, chain.data(), top.data());
    EXPECT_EQ(top[2], 255);
    EXPECT_EQ(top[0], 0);
    TEX_flip_y(l.desc, chain.data());
    TEX_decode_s3tc(l.desc, desc, chain.data(), top.data());
    EXPECT_EQ(top, px);
}

TEST_F(DdsWriter, FailedCreationWritesOrClosesReportFailure) {
    TEX_image_desc desc;
    desc.format = GL_RGB;
    desc.width = desc.height = 64;
    std::vector<uint8_t> px(64 * 64 * 3, 0x40);
    EXPECT_EQ(TEX_save_dds(tmp / "missing/folder/x.dds", px.data(), desc), 0);
    EXPECT_EQ(TEX_save_dds("/dev/full", px.data(), desc), 0);
    desc.width = 0;
    EXPECT_EQ(TEX_save_dds(tmp / "empty.dds", px.data(), desc), 0);
    EXPECT_FALSE(testsupport::exists(tmp / "empty.dds"));
}

TEST(DdsWriterDeathTest, OnlyRgbAndRgbaAreWritten) {
    TEX_image_desc desc;
    desc.format = GL_ALPHA;
    desc.width = desc.height = 4;
    const std::vector<uint8_t> px(16);
    EXPECT_DEATH(TEX_save_dds("/tmp/never.dds", px.data(), desc),
                 "rel_assert Error!.*in_desc.format == GL_RGBA \\|\\| in_desc.format == GL_RGB\n.*TEX_save_dds Please report");
}

// --- block operations ---

std::vector<uint8_t> dxt1_block(uint16_t c0, uint16_t c1, const std::vector<uint8_t>& rows) {
    return {uint8_t(c0), uint8_t(c0 >> 8), uint8_t(c1), uint8_t(c1 >> 8), rows.at(0), rows.at(1), rows.at(2), rows.at(3)};
}

TEST(DxtBlocks, Dxt1FlipReversesRowsAndReportsTransparency) {
    gamma_off off;
    struct flip_case {
        uint16_t c0, c1;
        int found_in, found_out;
    };
    for (const flip_case c : {flip_case{0x1000, 0x2000, 0, 1}, flip_case{0x2000, 0x2000, 0, 1},
                              flip_case{0x2000, 0x1000, 0, 0}, flip_case{0x2000, 0x1000, 1, 1}}) {
        std::vector<uint8_t> b = dxt1_block(c.c0, c.c1, {0x00, 0x55, 0xAA, 0xFF});
        EXPECT_EQ(nv_flip_blocks_dxtc1(b.data(), 1, c.found_in), c.found_out) << c.c0 << " " << c.c1;
        EXPECT_EQ(b, dxt1_block(c.c0, c.c1, {0xFF, 0xAA, 0x55, 0x00}));
    }
    // Three-colour blocks without index 3 are opaque.
    std::vector<uint8_t> opaque = dxt1_block(0x1000, 0x2000, {0x00, 0x55, 0xAA, 0x66});
    EXPECT_EQ(nv_flip_blocks_dxtc1(opaque.data(), 1, 0), 0);
}

TEST(DxtBlocks, Dxt3AndDxt5AlphaRowsReverse) {
    gamma_off off;
    std::vector<uint8_t> b3 = {1, 2, 3, 4, 5, 6, 7, 8, 0x11, 0x22, 0x33, 0x44, 0xA0, 0xB0, 0xC0, 0xD0};
    EXPECT_EQ(nv_flip_blocks_dxtc3(b3.data(), 1, 0), 0);
    EXPECT_EQ(b3, (std::vector<uint8_t>{7, 8, 5, 6, 3, 4, 1, 2, 0x11, 0x22, 0x33, 0x44, 0xD0, 0xC0, 0xB0, 0xA0}));

    // Alpha rows of 12 bits: row k holds 0xk0k + 1 in its four indices' bits.
    const unsigned rows[4] = {0x123, 0x456, 0x789, 0xABC};
    const uint64_t bits = rows[0] | (uint64_t(rows[1]) << 12) | (uint64_t(rows[2]) << 24) | (uint64_t(rows[3]) << 36);
    std::vector<uint8_t> b5 = {200, 10};
    for (int i = 0; i < 6; ++i) b5.push_back(uint8_t(bits >> (8 * i)));
    b5.insert(b5.end(), {0x11, 0x22, 0x33, 0x44, 0xA0, 0xB0, 0xC0, 0xD0});
    EXPECT_EQ(nv_flip_blocks_dxtc5(b5.data(), 1, 0), 0);
    uint64_t flipped = 0;
    for (int i = 0; i < 6; ++i) flipped |= uint64_t(b5[size_t(2 + i)]) << (8 * i);
    EXPECT_EQ(flipped, rows[3] | (uint64_t(rows[2]) << 12) | (uint64_t(rows[1]) << 24) | (uint64_t(rows[0]) << 36));
    EXPECT_EQ(b5[0], 200);
    EXPECT_EQ(b5[1], 10);
    EXPECT_EQ(std::vector<uint8_t>(b5.begin() + 12, b5.end()), (std::vector<uint8_t>{0xD0, 0xC0, 0xB0, 0xA0}));
}

TEST(DxtBlocks, ColourSteps) {
    struct step_case {
        bool up;
        uint16_t in, out;
        int result;
    };
    for (const step_case c : {step_case{true, 0xFFFF, 0xFFFF, 0}, {true, 0x07E0, 0x07E1, 1}, {true, 0x0000, 0x0020, 1},
                              {true, 0x07FF, 0x0FFF, 1}, {false, 0x0000, 0x0000, 0}, {false, 0xF800, 0xF000, 1},
                              {false, 0x0021, 0x0001, 1}, {false, 0x0801, 0x0800, 1}}) {
        uint16_t v = c.in;
        EXPECT_EQ(c.up ? IncColor565(v) : DecColor565(v), c.result) << std::hex << c.in;
        EXPECT_EQ(v, c.out) << std::hex << c.in;
    }
}

TEST(DxtBlocks, GammaCorrectionKeepsTheBlockMode) {
    ASSERT_EQ(colr.gamma_differs, 1);
    auto c0_of = [](const std::vector<uint8_t>& b) { return uint16_t(b[0] | (b[1] << 8)); };
    auto c1_of = [](const std::vector<uint8_t>& b) { return uint16_t(b[2] | (b[3] << 8)); };
    struct gamma_case {
        const char* name;
        uint16_t c0, c1;
        uint8_t rows_out_xor;   // how the indices are renumbered (per byte of 0x1B)
    };
    // Red 31 and 30 both come out 31: colours that were ordered by red meet or reorder.
    const gamma_case cases[] = {
        {"order kept", 0x8000, 0x0800, 0x00},
        {"four colours reordered", 0xF800, 0xF01F, 0x55},
        {"four colours collapsed", 0xF800, 0xF000, 0x55},
        {"collapsed at white", 0xFFFF, 0xF7FF, 0x55},
        {"three colours stay", 0x0800, 0x8000, 0x00},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> b = dxt1_block(c.c0, c.c1, {0x1B, 0x1B, 0x1B, 0x1B});
        nv_gamma_correct(b.data());
        const bool four_before = c.c0 > c.c1;
        EXPECT_EQ(c0_of(b) > c1_of(b), four_before);
        EXPECT_EQ(b[4], uint8_t(0x1B ^ c.rows_out_xor));
        EXPECT_NE(c0_of(b), c1_of(b));
    }
    // With equal gammas nothing moves.
    gamma_off off;
    std::vector<uint8_t> b = dxt1_block(0xF800, 0xF01F, {0x1B, 0x2C, 0x3D, 0x4E});
    const std::vector<uint8_t> before = b;
    nv_flip_blocks_dxtc1(b.data(), 1, 0);
    nv_flip_blocks_dxtc1(b.data(), 1, 0);
    EXPECT_EQ(b, before);
}

}  // namespace
