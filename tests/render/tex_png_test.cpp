#include "render/tex_png.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/memory.h"
#include "render/palette.h"
#include "render/tex_scratch.h"
#include "render/image_fixtures.h"
#include "support/temp_dir.h"

using imgfix::mapped;
using imgfix::png_spec;
using testsupport::temp_dir;

namespace {

int bpp_of(uint32_t format) { return format == GL_RGBA ? 4 : format == GL_RGB ? 3 : 1; }

struct decoded {
    int result = -1;
    TEX_image_desc desc;
    std::vector<uint8_t> bytes;   // the whole allocated buffer
    bool allocated = false;
};

decoded decode(const std::string& file, unsigned long format, png_alpha_mode mode, int pow2 = 0, int gamma = 0) {
    decoded out;
    out.desc.width = -7;   // shows whether the description was touched
    mapped m(file);
    unsigned char* buf = nullptr;
    out.result = TEX_load_png("test.png", m.map, buf, format, 0, pow2, mode, gamma, out.desc);
    if (buf) {
        out.allocated = true;
        const int64_t stride = int64_t(bpp_of(out.desc.format)) * out.desc.width + out.desc.row_padding;
        const int64_t rows = pow2 ? TEX_next_pow2(out.desc.height) : out.desc.height;
        out.bytes.assign(buf, buf + stride * rows);
        xfree(buf);
    }
    return out;
}

// Pixel values of the test pictures, top row y = 0.
int red(int x, int y) { return 20 * x + 100 * y + 1; }
int green(int x, int y) { return 50 + 30 * x + 7 * y; }
int blue(int x, int y) { return 200 - 40 * x - 60 * y; }
int grey(int x, int y) { return 30 + 60 * x + 90 * y; }
int alpha(int x, int y) { return 255 - 70 * x - 20 * y; }

const png_color kPalette[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {9, 99, 199}};
int pal_index(int x, int y) { return (x + 3 * y) % 4; }
const uint8_t kPaletteAlpha[3] = {0, 128, 255};

png_spec rgb_file(int w = 3, int h = 2) {
    png_spec s;
    s.width = w;
    s.height = h;
    s.color_type = PNG_COLOR_TYPE_RGB;
    s.rows = imgfix::rows8(w, h, 3, [](int x, int y, int c) { return c == 0 ? red(x, y) : c == 1 ? green(x, y) : blue(x, y); });
    return s;
}
png_spec rgba_file(int w = 3, int h = 2) {
    png_spec s = rgb_file(w, h);
    s.color_type = PNG_COLOR_TYPE_RGB_ALPHA;
    s.rows = imgfix::rows8(w, h, 4, [](int x, int y, int c) {
        return c == 0 ? red(x, y) : c == 1 ? green(x, y) : c == 2 ? blue(x, y) : alpha(x, y);
    });
    return s;
}
png_spec grey_file() {
    png_spec s;
    s.width = 3;
    s.height = 2;
    s.color_type = PNG_COLOR_TYPE_GRAY;
    s.rows = imgfix::rows8(3, 2, 1, [](int x, int y, int) { return grey(x, y); });
    return s;
}
png_spec grey_alpha_file() {
    png_spec s = grey_file();
    s.color_type = PNG_COLOR_TYPE_GRAY_ALPHA;
    s.rows = imgfix::rows8(3, 2, 2, [](int x, int y, int c) { return c == 0 ? grey(x, y) : alpha(x, y); });
    return s;
}
png_spec palette_file(bool trns) {
    png_spec s;
    s.width = 3;
    s.height = 2;
    s.color_type = PNG_COLOR_TYPE_PALETTE;
    s.palette.assign(kPalette, kPalette + 4);
    if (trns) s.trns_alpha.assign(kPaletteAlpha, kPaletteAlpha + 3);
    s.rows = imgfix::rows8(3, 2, 1, [](int x, int y, int) { return pal_index(x, y); });
    return s;
}
// Two-bit grey: samples 0..3 packed four to a byte, first pixel in the high bits.
png_spec grey2_file() {
    png_spec s;
    s.width = 3;
    s.height = 2;
    s.color_type = PNG_COLOR_TYPE_GRAY;
    s.bit_depth = 2;
    s.rows = {{static_cast<uint8_t>((0 << 6) | (1 << 4) | (2 << 2))}, {static_cast<uint8_t>((3 << 6) | (2 << 4) | (1 << 2))}};
    return s;
}
int grey2_value(int x, int y) { return (y == 0 ? x : 3 - x) * 85; }
// Sixteen-bit samples whose high bytes are the 8-bit pictures above.
png_spec wide16(png_spec s) {
    s.bit_depth = 16;
    for (auto& row : s.rows) {
        std::vector<uint8_t> wide;
        for (uint8_t v : row) {
            wide.push_back(v);
            wide.push_back(0x7F);
        }
        row = wide;
    }
    return s;
}

using expect_fn = std::function<int(int x, int y, int c)>;

int rgb_of(int x, int y, int c) { return c == 0 ? red(x, y) : c == 1 ? green(x, y) : blue(x, y); }

struct layout_case {
    const char* name;
    png_spec file;
    unsigned long requested;
    png_alpha_mode mode;
    unsigned long expect_format;
    expect_fn expect;
};

std::vector<layout_case> layout_cases() {
    png_spec grey_key = grey_file();
    grey_key.trns_grey_or_rgb = true;
    grey_key.trns_colour.gray = static_cast<png_uint_16>(grey(1, 0));
    png_spec interlaced = rgba_file(9, 9);
    interlaced.interlaced = true;
    auto rgba_of = [](int x, int y, int c) { return c < 3 ? rgb_of(x, y, c) : alpha(x, y); };
    auto opaque = [](int x, int y, int c) { return c < 3 ? rgb_of(x, y, c) : 255; };
    auto pal = [](bool trns) {
        return [trns](int x, int y, int c) {
            const png_color& e = kPalette[pal_index(x, y)];
            if (c == 3) return trns && pal_index(x, y) < 3 ? int(kPaletteAlpha[pal_index(x, y)]) : 255;
            return int(c == 0 ? e.red : c == 1 ? e.green : e.blue);
        };
    };
    return {
        {"RgbAsRgbaGetsOpaqueAlpha", rgb_file(), GL_RGBA, png_mode_exact, GL_RGBA, opaque},
        {"RgbFollowingAlphaStaysRgb", rgb_file(), GL_RGBA, png_mode_follow_alpha, GL_RGB, rgb_of},
        {"RgbaFollowingAlphaStaysRgba", rgba_file(), GL_RGB, png_mode_follow_alpha, GL_RGBA, rgba_of},
        {"RgbaAsRgbDropsAlpha", rgba_file(), GL_RGB, png_mode_exact, GL_RGB, rgb_of},
        {"RgbaOwnLayout", rgba_file(), GL_ALPHA, png_mode_own_layout, GL_RGBA, rgba_of},
        {"GreyOwnLayoutIsOneChannel", grey_file(), GL_RGB, png_mode_own_layout, GL_ALPHA,
         [](int x, int y, int) { return grey(x, y); }},
        {"GreyAlphaOwnLayoutCopiesGrey", grey_alpha_file(), GL_RGB, png_mode_own_layout, GL_RGBA,
         [](int x, int y, int c) { return c < 3 ? grey(x, y) : alpha(x, y); }},
        {"GreyAsRgb", grey_file(), GL_RGB, png_mode_exact, GL_RGB, [](int x, int y, int) { return grey(x, y); }},
        {"GreyKeyIsAlpha", grey_key, GL_RGB, png_mode_follow_alpha, GL_RGBA,
         [](int x, int y, int c) { return c < 3 ? grey(x, y) : (x == 1 && y == 0 ? 0 : 255); }},
        {"PaletteWithTransparency", palette_file(true), GL_RGB, png_mode_follow_alpha, GL_RGBA, pal(true)},
        {"PaletteAsRgba", palette_file(false), GL_RGBA, png_mode_exact, GL_RGBA, pal(false)},
        {"PaletteOwnLayoutIsRgb", palette_file(false), GL_ALPHA, png_mode_own_layout, GL_RGB, pal(false)},
        {"TwoBitGreyExpands", grey2_file(), GL_RGB, png_mode_exact, GL_RGB,
         [](int x, int y, int) { return grey2_value(x, y); }},
        {"SixteenBitRgbKeepsHighBytes", wide16(rgb_file()), GL_RGB, png_mode_exact, GL_RGB, rgb_of},
        {"SixteenBitGreyAlpha", wide16(grey_alpha_file()), GL_RGBA, png_mode_exact, GL_RGBA,
         [](int x, int y, int c) { return c < 3 ? grey(x, y) : alpha(x, y); }},
        {"SixteenBitGreyOwnLayout", wide16(grey_file()), GL_RGBA, png_mode_own_layout, GL_ALPHA,
         [](int x, int y, int) { return grey(x, y); }},
        {"InterlacedDecodesEveryPass", interlaced, GL_RGBA, png_mode_exact, GL_RGBA, rgba_of},
        {"GreyRgbAsAlphaIsTheGrey", [] {
             png_spec s = rgb_file();
             s.rows = imgfix::rows8(3, 2, 3, [](int x, int y, int) { return grey(x, y); });
             return s;
         }(), GL_ALPHA, png_mode_exact, GL_ALPHA, [](int x, int y, int) { return grey(x, y); }},
    };
}

void PrintTo(const layout_case& c, std::ostream* os) { *os << c.name; }

class PngLayouts : public ::testing::TestWithParam<layout_case> {};

TEST_P(PngLayouts, DecodeBottomUpInTheChosenLayout) {
    const layout_case& c = GetParam();
    const decoded d = decode(imgfix::make_png(c.file), c.requested, c.mode);
    ASSERT_EQ(d.result, 1);
    EXPECT_EQ(d.desc.format, c.expect_format);
    EXPECT_EQ(d.desc.width, c.file.width);
    EXPECT_EQ(d.desc.height, c.file.height);
    EXPECT_EQ(d.desc.row_padding, 0);
    EXPECT_EQ(d.desc.has_mipmaps, 0);
    const int bpp = bpp_of(c.expect_format), w = c.file.width, h = c.file.height;
    ASSERT_EQ(d.bytes.size(), size_t(bpp * w * h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int ch = 0; ch < bpp; ++ch)
                // Buffer row 0 is the bottom of the picture.
                ASSERT_EQ(d.bytes[size_t(((h - 1 - y) * w + x) * bpp + ch)], uint8_t(c.expect(x, y, ch)))
                    << "x " << x << " y " << y << " channel " << ch;
}

INSTANTIATE_TEST_SUITE_P(Layouts, PngLayouts, ::testing::ValuesIn(layout_cases()),
                         [](const auto& info) { return std::string(info.param.name); });

class PngReader : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(xer.open(tmp / "log.txt")); }
    void TearDown() override { xer.close(); }
    temp_dir tmp;
};

TEST_F(PngReader, TinyOrEmptyMappingReturnsZeroAndLeavesTheDescription) {
    const std::string png = imgfix::make_png(rgb_file());
    for (const size_t n : {size_t(0), size_t(1), size_t(7)}) {
        const decoded d = decode(png.substr(0, n), GL_RGB, png_mode_exact);
        EXPECT_EQ(d.result, 0) << n;
        EXPECT_EQ(d.desc.width, -7) << n;
        EXPECT_FALSE(d.allocated);
    }
    EXPECT_EQ(xer.contents_for_test(), "");
}

TEST(PngReaderDeathTest, EightBytesThatAreNotPngAreACrashAlert) {
    EXPECT_DEATH(decode("GIF89a..", GL_RGB, png_mode_exact), "PING-FILE ERROR! is_png=!png_sig_cmp");
}

// Rewrites a chunk's CRC after its bytes were changed, so only the change itself is wrong.
void fix_crc(std::string& png, size_t chunk_at) {
    const uint32_t len = (uint8_t(png[chunk_at]) << 24) | (uint8_t(png[chunk_at + 1]) << 16) |
                         (uint8_t(png[chunk_at + 2]) << 8) | uint8_t(png[chunk_at + 3]);
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(png.data() + chunk_at + 4), len + 4);
    for (int i = 0; i < 4; ++i) png[chunk_at + 8 + len + i] = static_cast<char>(crc >> (24 - 8 * i));
}
void set_be32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (24 - 8 * i));
}

TEST_F(PngReader, DamagedFilesAreRefusedWithAWarningAndNothingAllocated) {
    png_spec big = rgba_file(64, 64);
    big.rows = imgfix::rows8(64, 64, 4, [](int x, int y, int c) { return (x * 37 + y * 101 + c * 53) & 255; });
    const std::string good = imgfix::make_png(big);
    const size_t idat_at = good.find("IDAT") - 4;

    struct damage {
        const char* name;
        std::function<std::string()> make;
        const char* message;   // expected in the log after "PNG error!"
    };
    const std::vector<damage> cases = {
        {"cut after the header", [&] { return good.substr(0, 33); }, "PNG Read Error, overran end of buffer!"},
        {"cut inside the pixels", [&] { return good.substr(0, idat_at + 8 + 200); }, "PNG Read Error, overran end of buffer!"},
        {"header checksum wrong", [&] { std::string s = good; s[20] ^= 1; return s; }, "CRC error"},
        {"pixels not deflate", [&] {
             std::string s = good;
             for (size_t i = idat_at + 8; i < idat_at + 40; ++i) s[i] = char(0xFF);
             fix_crc(s, idat_at);
             return s; }, "PNG error!"},
        {"wider than the limit", [&] { std::string s = good; set_be32(s, 16, 16385); fix_crc(s, 8); return s; }, "width"},
        {"taller than the limit", [&] { std::string s = good; set_be32(s, 20, 1u << 20); fix_crc(s, 8); return s; }, "height"},
        {"zero width", [&] { std::string s = good; set_be32(s, 16, 0); fix_crc(s, 8); return s; }, "width"},
        {"bad bit depth", [&] { std::string s = good; s[24] = 3; fix_crc(s, 8); return s; }, "bit depth"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t log_before = xer.contents_for_test().size();
        for (const int pow2 : {0, 1}) {
            const decoded d = decode(c.make(), GL_RGBA, png_mode_exact, pow2);
            EXPECT_EQ(d.result, 0);
            EXPECT_FALSE(d.allocated);
        }
        const std::string log = xer.contents_for_test().substr(log_before);
        EXPECT_NE(log.find("PNG error!"), std::string::npos) << log;
        EXPECT_NE(log.find(c.message), std::string::npos) << log;
        EXPECT_NE(log.find("test.png"), std::string::npos) << log;
    }
    EXPECT_EQ(decode(good, GL_RGBA, png_mode_exact).result, 1);
}

TEST_F(PngReader, PowerOfTwoPaddingIsClearedAndRecorded) {
    png_spec s = rgba_file(100, 60);
    s.rows = imgfix::rows8(100, 60, 4, [](int x, int y, int c) { return 1 + (x + 2 * y + c) % 250; });
    const decoded d = decode(imgfix::make_png(s), GL_RGBA, png_mode_exact, 1);
    ASSERT_EQ(d.result, 1);
    EXPECT_EQ(d.desc.width, 100);
    EXPECT_EQ(d.desc.height, 60);
    EXPECT_EQ(d.desc.row_padding, 112);
    ASSERT_EQ(d.bytes.size(), size_t(512 * 64));
    for (int row = 0; row < 64; ++row)
        for (int b = 0; b < 512; ++b) {
            const uint8_t v = d.bytes[size_t(row * 512 + b)];
            if (row >= 60 || b >= 400) ASSERT_EQ(v, 0) << row << "," << b;
            else ASSERT_NE(v, 0) << row << "," << b;
        }
    // The picture's top row is buffer row 59.
    EXPECT_EQ(d.bytes[size_t(59 * 512)], 1 + (0 + 0 + 0) % 250);
    EXPECT_EQ(d.bytes[0], 1 + (0 + 2 * 59) % 250);
}

TEST_F(PngReader, RowPixelsPadWithoutTouchingThePadding) {
    png_spec s = rgba_file(1024, 2);
    s.rows = imgfix::rows8(1024, 2, 4, [](int x, int, int) { return x & 0x7F; });
    mapped m(imgfix::make_png(s));
    std::vector<unsigned char> buf(size_t(2048 * 4 * 2), 0xAB);
    unsigned char* p = buf.data();
    TEX_image_desc d;
    ASSERT_EQ(TEX_load_png("rows.png", m.map, p, GL_RGBA, 2048, 0, png_mode_exact, 0, d), 1);
    EXPECT_EQ(p, buf.data());
    EXPECT_EQ(d.row_padding, 4096);
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(buf[size_t(row * 8192 + 4 * 1023)], 1023 & 0x7F);
        EXPECT_EQ(buf[size_t(row * 8192 + 4096)], 0xAB);
        EXPECT_EQ(buf[size_t(row * 8192 + 8191)], 0xAB);
    }

    // A picture wider than the rows it is given is refused, not spread over the next row.
    mapped m2(imgfix::make_png(rgba_file(9, 2)));
    EXPECT_EQ(TEX_load_png("rows.png", m2.map, p, GL_RGBA, 8, 0, png_mode_exact, 0, d), 0);
    EXPECT_NE(xer.contents_for_test().find("PNG error!"), std::string::npos);
}

TEST_F(PngReader, TheStagingBufferIsNeverOverrun) {
    // 2048-pixel rows of 4 bytes: 2048 rows fill the 16 MiB exactly, 2049 do not fit.
    for (const int h : {2048, 2049}) {
        png_spec s = rgba_file(1, h);
        mapped m(imgfix::make_png(s));
        unsigned char* p = scratch_array;
        TEX_image_desc d;
        const int r = TEX_load_png("tall.png", m.map, p, GL_RGBA, 2048, 0, png_mode_exact, 0, d);
        EXPECT_EQ(r, h == 2048 ? 1 : 0) << h;
        EXPECT_EQ(p, scratch_array);
    }
    EXPECT_NE(xer.contents_for_test().find("does not fit"), std::string::npos);
}

TEST_F(PngReader, GammaCorrectsFromArtToDisplayUnlessTheFileSaysOtherwise) {
    ASSERT_EQ(colr.gamma_differs, 1);
    png_spec s = rgb_file(16, 16);
    s.rows = imgfix::rows8(16, 16, 3, [](int x, int y, int) { return x + 16 * y; });
    const decoded plain = decode(imgfix::make_png(s), GL_RGB, png_mode_exact, 0, 1);
    ASSERT_EQ(plain.result, 1);
    for (int v = 0; v < 256; ++v) {
        const int x = v % 16, y = v / 16;
        const int got = plain.bytes[size_t(((15 - y) * 16 + x) * 3)];
        EXPECT_NEAR(got, colr.gamma_ramp[v], 1) << v;
    }
    // A file made for the display's own gamma needs no correction.
    s.file_gamma = 1.0 / colr.display_gamma;
    const decoded tagged = decode(imgfix::make_png(s), GL_RGB, png_mode_exact, 0, 1);
    ASSERT_EQ(tagged.result, 1);
    for (int v = 0; v < 256; ++v) EXPECT_NEAR(tagged.bytes[size_t(((15 - v / 16) * 16 + v % 16) * 3)], v, 1) << v;
}

// Reads back a written file's header and gAMA with libpng itself.
struct png_facts {
    png_uint_32 width = 0, height = 0;
    int bit_depth = 0, color_type = -1;
    double gamma = 0.0;
};
png_facts facts_of(const std::string& path) {
    png_facts f;
    FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) return f;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, in);
        png_read_info(png, info);
        png_get_IHDR(png, info, &f.width, &f.height, &f.bit_depth, &f.color_type, nullptr, nullptr, nullptr);
        png_get_gAMA(png, info, &f.gamma);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(in);
    return f;
}

TEST_F(PngReader, SavedImagesReadBackTheSame) {
    struct save_case {
        uint32_t format;
        int color_type;
        png_alpha_mode mode;
    };
    for (const save_case c : {save_case{GL_ALPHA, PNG_COLOR_TYPE_GRAY, png_mode_own_layout},
                              save_case{GL_RGB, PNG_COLOR_TYPE_RGB, png_mode_exact},
                              save_case{GL_RGBA, PNG_COLOR_TYPE_RGB_ALPHA, png_mode_exact}}) {
        SCOPED_TRACE(c.format);
        const int bpp = bpp_of(c.format), w = 5, h = 3, pad = 3;
        TEX_image_desc desc;
        desc.format = c.format;
        desc.width = w;
        desc.height = h;
        desc.row_padding = pad;
        std::vector<uint8_t> px(size_t((bpp * w + pad) * h));
        for (size_t i = 0; i < px.size(); ++i) px[i] = uint8_t(i * 13 + 7);
        const std::string path = tmp / "saved.png";
        ASSERT_EQ(TEX_save_png(path, desc, px.data()), 1);

        const png_facts f = facts_of(path);
        EXPECT_EQ(f.width, 5u);
        EXPECT_EQ(f.height, 3u);
        EXPECT_EQ(f.bit_depth, 8);
        EXPECT_EQ(f.color_type, c.color_type);
        EXPECT_NEAR(f.gamma, 1.0 / 2.2, 1e-5);

        const decoded d = decode(testsupport::read_file(path), c.format, c.mode);
        ASSERT_EQ(d.result, 1);
        EXPECT_EQ(d.desc.format, c.format);
        for (int r = 0; r < h; ++r)
            for (int b = 0; b < bpp * w; ++b)
                ASSERT_EQ(d.bytes[size_t(r * bpp * w + b)], px[size_t(r * (bpp * w + pad) + b)]) << r << "," << b;
    }
}

TEST_F(PngReader, ScreenshotsComeFromTheStagingBuffer) {
    for (int i = 0; i < 4 * 3 * 3; ++i) scratch_array[i] = uint8_t(10 + i);
    const std::string path = tmp / "shot.png";
    ASSERT_EQ(write_png_to_disk(path, 4, 3, 3), 1);
    EXPECT_EQ(facts_of(path).color_type, PNG_COLOR_TYPE_RGB);
    const decoded d = decode(testsupport::read_file(path), GL_RGB, png_mode_exact);
    ASSERT_EQ(d.result, 1);
    for (int i = 0; i < 36; ++i) ASSERT_EQ(d.bytes[size_t(i)], 10 + i) << i;

    ASSERT_EQ(write_png_to_disk(path, 2, 2, 4), 1);
    EXPECT_EQ(facts_of(path).color_type, PNG_COLOR_TYPE_RGB_ALPHA);
    // More than the staging buffer holds is not read past its end.
    EXPECT_EQ(write_png_to_disk(path, 4096, 4096, 4), 0);
}

TEST_F(PngReader, FailedWritesReportFailure) {
    TEX_image_desc desc;
    desc.format = GL_RGB;
    desc.width = desc.height = 64;
    std::vector<uint8_t> px(64 * 64 * 3, 0x55);
    EXPECT_EQ(TEX_save_png(tmp / "no/such/folder/x.png", desc, px.data()), 0);
    // The full device takes the bytes into the stream's buffer and fails them on closing.
    EXPECT_EQ(TEX_save_png("/dev/full", desc, px.data()), 0);
}

TEST(PngWriterDeathTest, UnknownFormatIsACrashAlert) {
    TEX_image_desc desc;
    desc.format = GL_BGRA;
    desc.width = desc.height = 1;
    const unsigned char px[4] = {};
    EXPECT_DEATH(TEX_save_png("/tmp/never.png", desc, px), "Illegal pixel format for png-write.");
}

}  // namespace
