#include "render/tex_bmp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/memory.h"
#include "render/palette.h"
#include "render/tex_scratch.h"
#include "render/image_fixtures.h"

using imgfix::gamma_off;
using imgfix::make_bmp;
using imgfix::mapped;

namespace {

struct decoded {
    int result = -1;
    TEX_image_desc desc;
    std::vector<uint8_t> bytes;
};

decoded decode(const std::string& file, unsigned long format, int pow2 = 0, int row_pixels = 0) {
    decoded out;
    mapped m(file);
    unsigned char* buf = nullptr;
    out.result = TEX_load_bmp("test.bmp", m.map, buf, format, row_pixels, pow2, out.desc);
    if (buf) {
        const int bpp = format == GL_RGBA ? 4 : format == GL_RGB ? 3 : 1;
        const int64_t stride = int64_t(bpp) * out.desc.width + out.desc.row_padding;
        const int64_t rows = pow2 ? TEX_next_pow2(out.desc.height) : out.desc.height;
        out.bytes.assign(buf, buf + stride * rows);
        xfree(buf);
    }
    return out;
}

// Bottom-up BGR rows whose pixel (x, row) is (b, g, r) = (x + 1, 10 * row + 2, 100 + x).
std::vector<std::vector<uint8_t>> ramp_rows(int w, int h) {
    std::vector<std::vector<uint8_t>> rows(static_cast<size_t>(h));
    for (int r = 0; r < h; ++r)
        for (int x = 0; x < w; ++x) rows[r].insert(rows[r].end(), {uint8_t(x + 1), uint8_t(10 * r + 2), uint8_t(100 + x)});
    return rows;
}

TEST(BmpReader, MagentaBecomesTransparentBlack) {
    gamma_off off;
    const decoded d = decode(make_bmp(2, 1, 24, {{255, 0, 255, 254, 0, 255}}), GL_RGBA);
    ASSERT_EQ(d.result, 1);
    EXPECT_EQ(d.bytes, (std::vector<uint8_t>{0, 0, 0, 0, 255, 0, 254, 255}));
}

TEST(BmpReader, LayoutsKeepTheFilesBottomUpRows) {
    gamma_off off;
    const std::string file = make_bmp(3, 2, 24, ramp_rows(3, 2));
    struct layout_case {
        unsigned long format;
        int bpp;
    };
    for (const layout_case c : {layout_case{GL_RGB, 3}, layout_case{GL_RGBA, 4}, layout_case{GL_ALPHA, 1}}) {
        SCOPED_TRACE(c.format);
        const decoded d = decode(file, c.format);
        ASSERT_EQ(d.result, 1);
        EXPECT_EQ(d.desc.format, c.format);
        EXPECT_EQ(d.desc.width, 3);
        EXPECT_EQ(d.desc.height, 2);
        EXPECT_EQ(d.desc.row_padding, 0);
        for (int r = 0; r < 2; ++r)
            for (int x = 0; x < 3; ++x) {
                const uint8_t* p = &d.bytes[size_t((r * 3 + x) * c.bpp)];
                const int b = x + 1, g = 10 * r + 2, red = 100 + x;
                if (c.bpp == 1) {
                    EXPECT_EQ(p[0], (b + g + red) / 3);
                } else {
                    EXPECT_EQ(p[0], red);
                    EXPECT_EQ(p[1], g);
                    EXPECT_EQ(p[2], b);
                    if (c.bpp == 4) {
                        EXPECT_EQ(p[3], 255);
                    }
                }
            }
    }
}

TEST(BmpReader, ColoursPassThroughTheGammaTable) {
    ASSERT_EQ(colr.gamma_differs, 1);
    const decoded d = decode(make_bmp(1, 1, 24, {{64, 128, 200}}), GL_RGB);
    ASSERT_EQ(d.result, 1);
    EXPECT_EQ(d.bytes, (std::vector<uint8_t>{colr.gamma_ramp[200], colr.gamma_ramp[128], colr.gamma_ramp[64]}));
}

TEST(BmpReader, PowerOfTwoRowsArePaddedWithZeros) {
    gamma_off off;
    // Five pixels make a 15-byte row, stored as 16 in the file.
    const decoded d = decode(make_bmp(5, 3, 24, ramp_rows(5, 3)), GL_ALPHA, 1);
    ASSERT_EQ(d.result, 1);
    EXPECT_EQ(d.desc.row_padding, 3);
    ASSERT_EQ(d.bytes.size(), size_t(8 * 4));
    for (int r = 0; r < 4; ++r)
        for (int x = 0; x < 8; ++x) {
            const uint8_t v = d.bytes[size_t(r * 8 + x)];
            if (r < 3 && x < 5) EXPECT_EQ(v, (x + 1 + 10 * r + 2 + 100 + x) / 3) << r << "," << x;
            else EXPECT_EQ(v, 0) << r << "," << x;
        }
}

TEST(BmpReader, ShortFilesLeaveMissingPixelsBlankAndReadNothingBeyond) {
    gamma_off off;
    const std::string full = make_bmp(4, 4, 24, ramp_rows(4, 4));
    // Cut inside the third row: two rows whole, one pixel and a part of the next.
    const std::string cut = full.substr(0, 54 + 2 * 12 + 3 + 2);
    const decoded d = decode(cut, GL_RGB);
    ASSERT_EQ(d.result, 1);
    for (int r = 0; r < 4; ++r)
        for (int x = 0; x < 4; ++x) {
            const bool present = r < 2 || (r == 2 && x == 0);
            EXPECT_EQ(d.bytes[size_t((r * 4 + x) * 3)], present ? 100 + x : 0) << r << "," << x;
        }

    // Into a given buffer the missing pixels keep what the buffer held.
    mapped m(cut);
    std::vector<unsigned char> buf(4 * 4 * 4, 0xAB);
    unsigned char* p = buf.data();
    TEX_image_desc desc;
    ASSERT_EQ(TEX_load_bmp("cut.bmp", m.map, p, GL_RGBA, 0, 0, desc), 1);
    EXPECT_EQ(buf[size_t(2 * 16 + 4)], 0xAB);
    EXPECT_EQ(buf.back(), 0xAB);
}

TEST(BmpReader, HostileSizesAreRefusedBeforeAllocating) {
    struct size_case {
        const char* name;
        int32_t width, height;
        uint32_t data_offset;
        int row_pixels;
        int expect;
    };
    const size_case cases[] = {
        {"zero width", 0, 4, 54, 0, 0},
        {"negative width", -4, 4, 54, 0, 0},
        {"rows stored top-down", 4, -4, 54, 0, 0},
        {"wider than the limit", TEX_max_image_side + 1, 1, 54, 0, 0},
        {"taller than the limit", 1, TEX_max_image_side + 1, 54, 0, 0},
        {"both sides huge", 0x7FFFFFFF, 0x7FFFFFFF, 54, 0, 0},
        {"wider than the given rows", 8, 1, 54, 4, 0},
        {"pixels far past the end", 4, 4, 0xFFFFFFF0u, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string file = make_bmp(4, 4, 24, ramp_rows(4, 4));
        imgfix::put32(file, 18, static_cast<uint32_t>(c.width));
        imgfix::put32(file, 22, static_cast<uint32_t>(c.height));
        imgfix::put32(file, 10, c.data_offset);
        const decoded d = decode(file, GL_RGBA, 0, c.row_pixels);
        EXPECT_EQ(d.result, c.expect);
        if (c.expect == 0) {
            EXPECT_TRUE(d.bytes.empty());
        }
    }
}

TEST(BmpReader, TheStagingBufferIsNeverOverrun) {
    // 2048 rows of 2048 RGBA pixels fill it; one more row does not fit.
    for (const int h : {2048, 2049}) {
        std::string file = make_bmp(1, 1, 24, {{1, 2, 3}});
        imgfix::put32(file, 22, static_cast<uint32_t>(h));
        mapped m(file);
        unsigned char* p = scratch_array;
        TEX_image_desc d;
        EXPECT_EQ(TEX_load_bmp("tall.bmp", m.map, p, GL_RGBA, 2048, 0, d), h == 2048 ? 1 : 0) << h;
    }
}

TEST(BmpReader, NoMappingReturnsZero) {
    xmap_class none;
    unsigned char* p = nullptr;
    TEX_image_desc d;
    EXPECT_EQ(TEX_load_bmp("none.bmp", none, p, GL_RGB, 0, 0, d), 0);
    EXPECT_EQ(p, nullptr);
}

TEST(BmpReaderDeathTest, UnsupportedFilesAndRequestsAreQuitAlerts) {
    struct alert_case {
        std::string file;
        unsigned long format;
        const char* message;
    };
    const alert_case cases[] = {
        {make_bmp(1, 1, 8, {{1}}), GL_RGB, "Wrong bitmap color depth for texture! We need 24-bit color."},
        {make_bmp(1, 1, 32, {{1, 2, 3, 4}}), GL_RGB, "Wrong bitmap color depth"},
        {make_bmp(1, 1, 24, {{1, 2, 3}}, 1), GL_RGB, "Bitmap is compressed!"},
        // Shorter than the depth field: it reads as 0.
        {make_bmp(1, 1, 24, {{1, 2, 3}}).substr(0, 28), GL_RGB, "Wrong bitmap color depth"},
        {make_bmp(1, 1, 24, {{1, 2, 3}}), GL_BGRA, "Illegal desired format for bmp. test.bmp"},
    };
    for (const auto& c : cases) EXPECT_EXIT(decode(c.file, c.format), ::testing::ExitedWithCode(0), c.message);
}

}  // namespace
