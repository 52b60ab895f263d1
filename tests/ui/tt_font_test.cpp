// TrueType text against a recorded GL and FreeType itself: widths and fitting, the condensed
// Russian face, fixed-advance charsets, wrapping and line breaks, glyph quads and their atlas
// texels, fixed-cell numbers, and the alerts of a font that cannot be used.
#include "ui/tt_font.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstring>
#include <map>

#include "../render/recorded_draw.h"
#include "core/log.h"
#include "files/paths.h"
#include "support/temp_dir.h"

namespace {

using namespace drawtest;

const unsigned char* bytes(const std::string& s) { return reinterpret_cast<const unsigned char*>(s.data()); }

// The face as FreeType gives it at 10.5 points, untransformed: what the metrics must come from.
class ft_face {
public:
    explicit ft_face(const char* name) {
        std::string path = std::string("RESOURCE:") + name;
        UTL_path_is_resource(path);
        EXPECT_EQ(FT_Init_FreeType(&lib_), 0);
        EXPECT_EQ(FT_New_Face(lib_, UTL_resource_get_file(path).c_str(), 0, &face_), 0);
        FT_Set_Char_Size(face_, 0, 672, 72, 72);
    }
    ~ft_face() {
        FT_Done_Face(face_);
        FT_Done_FreeType(lib_);
    }
    ft_face(const ft_face&) = delete;
    ft_face& operator=(const ft_face&) = delete;
    FT_GlyphSlot load(unsigned c) {
        EXPECT_EQ(FT_Load_Char(face_, c, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT), 0);
        return face_->glyph;
    }
    float advance(unsigned c) { return static_cast<float>(load(c)->metrics.horiAdvance) / 64.0f; }

private:
    FT_Library lib_ = nullptr;
    FT_Face face_ = nullptr;
};

class Text : public RecordedText {};

TEST_F(Text, WidthsAreTheFacesAdvancesAndRussianIsCondensed) {
    ft_face regular("DejaVuSans.ttf");
    const std::string latin = "Hello, world", cyrillic = "Привет, мир";
    float want = 0;
    for (const char ch : latin) want += regular.advance(static_cast<unsigned char>(ch));
    EXPECT_FLOAT_EQ(OGL_measure_string(latin), want);
    // U+041F, U+0440, ... decoded from UTF-8.
    const unsigned cps[] = {0x41F, 0x440, 0x438, 0x432, 0x435, 0x442, ',', ' ', 0x43C, 0x438, 0x440};
    float want_cyr = 0;
    for (const unsigned c : cps) want_cyr += regular.advance(c);
    EXPECT_FLOAT_EQ(OGL_measure_string(cyrillic), want_cyr);
    EXPECT_FLOAT_EQ(OGL_measure_string(""), 0);
    EXPECT_FLOAT_EQ(OGL_measure_string("\t"), 0) << "a tab advances nothing";
    EXPECT_FLOAT_EQ(OGL_measure_string(std::string("ab\0cd", 5)), OGL_measure_string("ab")) << "stops at a zero";
    // Glyph shapes: the summed bitmap widths of some wide letters.
    const std::string wide = "ЖШЩМWmw";
    auto shape_width = [&] {
        OGL_measure_string(wide);
        int sum = 0;
        for (const unsigned c : {0x416u, 0x428u, 0x429u, 0x41Cu, unsigned('W'), unsigned('m'), unsigned('w')})
            sum += tt_font[0]->glyphs.at(c).x1 - tt_font[0]->glyphs.at(c).x0;
        return sum;
    };
    const int english_shapes = shape_width();
    const float sha_bearing = tt_font[0]->glyphs.at(0x428).x_off;

    // Russian: every advance 0.9 times the face's (not 0.9 of a transformed advance), kept to a
    // whole unit; bearings 0.9 times; glyphs drawn narrower, heights unchanged.
    mnw.lang = 3;
    TT_reset_font(tt_both);
    float want_ru = 0, want_ru_cyr = 0;
    for (const char ch : latin) want_ru += std::round(0.9f * regular.advance(static_cast<unsigned char>(ch)));
    for (const unsigned c : cps) want_ru_cyr += std::round(0.9f * regular.advance(c));
    EXPECT_FLOAT_EQ(OGL_measure_string(latin), want_ru);
    EXPECT_FLOAT_EQ(OGL_measure_string(cyrillic), want_ru_cyr);
    EXPECT_NEAR(OGL_measure_string(cyrillic), 0.9f * want_cyr, 0.5f * 11);
    EXPECT_LT(shape_width(), english_shapes);
    const OGL_char_info& ru = tt_font[0]->glyphs.at(0x428);
    EXPECT_NEAR(ru.x_off, 0.9f * sha_bearing, 1e-4f);
    ft_face check("DejaVuSans.ttf");
    EXPECT_EQ(ru.y1 - ru.y0, static_cast<int>(check.load(0x428)->bitmap.rows));
}

TEST_F(Text, FittingWalksWholeCharacters) {
    const std::string s = "aéa";   // 'a', two bytes of 'é', 'a'
    const unsigned char* b = bytes(s);
    const unsigned char* e = b + s.size();
    const float a = OGL_measure_string("a"), ea = OGL_measure_string("é");
    struct fit_case {
        float width;
        long forward, reverse;   // bytes from begin
    };
    const fit_case cases[] = {
        {0, 0, 4},
        {a - 0.01f, 0, 4},
        {a, 1, 3},
        {a + ea, 3, 1},
        {2 * a + ea - 0.01f, 3, 1},
        {2 * a + ea, 4, 0},
        {1000, 4, 0},
    };
    for (const fit_case& c : cases) {
        EXPECT_EQ(OGL_fit_forward(b, e, c.width) - b, c.forward) << c.width;
        EXPECT_EQ(OGL_fit_reverse(b, e, c.width) - b, c.reverse) << c.width;
    }
    EXPECT_EQ(OGL_fit_forward(b, b, 10), b);
    EXPECT_EQ(OGL_fit_reverse(b, b, 10), b);
    EXPECT_FLOAT_EQ(OGL_measure_range(b, e), 2 * a + ea);
    EXPECT_FLOAT_EQ(OGL_measure_range(b, b), 0);

    // Broken UTF-8: a stray continuation byte is code point 0; a sequence cut by the end of the
    // range reads nothing past it (the range is an exact heap block).
    const std::vector<unsigned char> cut = {'a', 0xE2, 0x82};
    const float w = OGL_measure_range(cut.data(), cut.data() + cut.size());
    EXPECT_TRUE(tt_font[0]->glyphs.count(0x82));   // 0x2 << 6 | 0x2
    EXPECT_FLOAT_EQ(w, a + tt_font[0]->glyphs.at(0x82).advance);
    const std::vector<unsigned char> stray = {0x80, 'a'};
    OGL_measure_range(stray.data(), stray.data() + stray.size());
    EXPECT_TRUE(tt_font[0]->glyphs.count(0));
}

TEST_F(Text, AGlyphIsOneQuadOnItsAtlasTexels) {
    wins.off_x = 10;
    wins.off_y = 20;
    OGL_string(57, 100, 200, "W", 9999, cs_regular, just_left);
    const calls made = rec.take();
    const OGL_char_info g = tt_font[0]->glyphs.at('W');
    const float rows = static_cast<float>(tt_font[0]->tex_rows);

    // The atlas went up once, as a one-channel texture, before the quad.
    const calls upload_calls = [&] {
        calls u;
        for (const std::string& c : made)
            if (c.rfind("glTexImage2D", 0) == 0) u.push_back(c);
        return u;
    }();
    ASSERT_EQ(upload_calls.size(), 1u);
    EXPECT_NE(upload_calls[0].find("1024, " + std::to_string(tt_font[0]->tex_rows) + ", 0, GL_ALPHA"),
              std::string::npos)
        << upload_calls[0];

    const auto batches = quad_batches(made);
    ASSERT_EQ(batches.size(), 1u);
    ASSERT_EQ(batches[0].size(), 4u);
    const auto& q = batches[0];
    const double X0 = std::floor(110 + g.x_off), Y0 = std::floor(220 + g.y_off);
    EXPECT_EQ(q[0].x, X0);
    EXPECT_EQ(q[0].y, Y0);
    EXPECT_EQ(q[2].x, X0 + (g.x1 - g.x0));
    EXPECT_EQ(q[2].y, Y0 + (g.y1 - g.y0));
    // (The recorder prints six digits.)
    EXPECT_NEAR(q[0].s, g.x0 / 1024.0, 1e-6);
    EXPECT_NEAR(q[0].t, g.y1 / rows, 1e-6) << "the bottom edge shows the bitmap's last row";
    EXPECT_NEAR(q[1].t, g.y0 / rows, 1e-6);
    EXPECT_NEAR(q[2].s, g.x1 / 1024.0, 1e-6);

    // The bitmap was copied row by row from FreeType's rows, with the coverage curve applied.
    ft_face face("DejaVuSans.ttf");
    const FT_Bitmap& bm = face.load('W')->bitmap;
    ASSERT_EQ(static_cast<int>(bm.width), g.x1 - g.x0);
    ASSERT_EQ(static_cast<int>(bm.rows), g.y1 - g.y0);
    for (int r = 0; r < static_cast<int>(bm.rows); ++r)
        for (int i = 0; i < static_cast<int>(bm.width); ++i) {
            const unsigned v = bm.buffer[r * bm.pitch + i];
            const auto want = static_cast<unsigned char>(std::pow(v / 255.0f, 0.6f) * 255.0f);
            ASSERT_EQ(tt_font[0]->tex_mem[(g.y0 + r) * 1024 + g.x0 + i], want) << r << "," << i;
        }

    // A second draw finds everything cached: no upload.
    OGL_string(57, 100, 200, "W", 9999, cs_regular, just_left);
    EXPECT_EQ(rec.matching({"glTexImage2D", "glTexSubImage2D"}), calls{});
}

TEST_F(Text, TheAtlasGrowsInPowersOfTwoAndCountsItsMemory) {
    UTL_stat::init_stats();
    auto tex_mem_stat = [] {
        for (UTL_stat* s : all_stats()[stat_level])
            if (std::string(s->name) == "font/tex_mem") return *s->value;
        return -1.0f;
    };
    OGL_measure_string("");   // the face exists, no glyph is cached
    EXPECT_EQ(tt_font[0]->tex_rows, 0);
    OGL_measure_string("W");
    const int h = tt_font[0]->glyphs.at('W').y1;
    int want = 1;
    while (want < h) want *= 2;
    EXPECT_EQ(tt_font[0]->tex_rows, want);
    // Enough different glyphs to need several shelves.
    std::string many;
    for (unsigned c = 0x410; c < 0x450; ++c) many += std::string{char(0xC0 | (c >> 6)), char(0x80 | (c & 0x3F))};
    for (unsigned c = 0x391; c < 0x3CA; ++c) many += std::string{char(0xC0 | (c >> 6)), char(0x80 | (c & 0x3F))};
    for (char c = '!'; c <= '~'; ++c) many += c;
    OGL_measure_string(many);
    const TT_font_info& f = *tt_font[0];
    EXPECT_GT(f.shelf_y, 0);
    EXPECT_EQ(f.tex_rows & (f.tex_rows - 1), 0);
    EXPECT_LE(f.shelf_y + f.shelf_h, f.tex_rows);
    for (const auto& [cp, g] : f.glyphs) {
        EXPECT_LE(g.x1, 1024) << cp;
        EXPECT_LE(g.y1, f.tex_rows) << cp;
    }
    const float regular_rows = static_cast<float>(f.tex_rows);
    OGL_string(57, 0, 0, "x", 9999, cs_bold, just_left);
    EXPECT_EQ(tex_mem_stat(), regular_rows + static_cast<float>(tt_font[1]->tex_rows));
    TT_reset_font(tt_regular);
    EXPECT_EQ(tt_font[0]->tex_rows, 0);
    EXPECT_EQ(tex_mem_stat(), static_cast<float>(tt_font[1]->tex_rows));
}

// The pen position each batch's glyphs were drawn from, one entry per line.
struct line_seen {
    std::size_t quads;
    double first_x, baseline_y;
};

class Lines : public Text {
protected:
    std::vector<line_seen> draw(const std::string& text, float wrap, charset_t cs = cs_regular,
                                just_t just = just_left, float* result = nullptr) {
        rec.take();
        const float r = OGL_string(57, 100, 300, text, wrap, cs, just);
        if (result) *result = r;
        std::vector<line_seen> out;
        for (const auto& b : quad_batches(rec.take())) {
            line_seen l{b.size() / 4, 0, 0};
            if (!b.empty()) {
                l.first_x = b[0].x;
                l.baseline_y = b[0].y;
            }
            out.push_back(l);
        }
        return out;
    }
    float trunc_width(const std::string& s) {
        float w = 0;
        for (const char c : s) w += std::trunc(OGL_measure_string(std::string(1, c)));
        return w;
    }
};

TEST_F(Lines, WrappingBreaksAtTheLastBlankAndDropsIt) {
    // The wrap width is reached inside "world": "Hello" on the first line, "world" 10 lower.
    const float hello_w = trunc_width("Hello w");
    float y = 0;
    auto lines = draw("Hello world", hello_w, cs_regular, just_left, &y);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].quads, 5u);
    EXPECT_EQ(lines[1].quads, 5u);
    EXPECT_EQ(y, 280);
    const auto single = draw("world", 9999);
    EXPECT_EQ(lines[1].first_x, single[0].first_x);
    EXPECT_EQ(lines[1].baseline_y, single[0].baseline_y - 10);

    // A word longer than the width is cut after the character that reaches it.
    lines = draw("abcdefghij", trunc_width("abc") - 1);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0].quads, 3u);

    // The text's last character reaching the width keeps the whole line, blank and all.
    lines = draw("Hello world", trunc_width("Hello world"), cs_regular, just_left, &y);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].quads, 11u);
    EXPECT_EQ(y, 290);

    // Blanks after a break are skipped; blanks that start the text are drawn.
    lines = draw("ab    cd", trunc_width("ab  "));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].quads, 2u);
    EXPECT_EQ(draw("  ab", 9999)[0].quads, 4u);
}

TEST_F(Lines, CondensedRussianStaysInsideItsWrapWidthWithEvenSpacing) {
    mnw.lang = 3;
    TT_reset_font(tt_both);
    // Letters that repeat sit the same distance apart.
    rec.take();
    OGL_string(57, 100.25f, 300, "нннннннннн", 9999, cs_regular, just_left);
    const auto one = quad_batches(rec.take());
    ASSERT_EQ(one.size(), 1u);
    ASSERT_EQ(one[0].size(), 40u);
    for (std::size_t q = 8; q < one[0].size(); q += 4)
        EXPECT_EQ(one[0][q].x - one[0][q - 4].x, one[0][4].x - one[0][0].x) << "letter " << q / 4;

    // Every wrapped line ends inside the wrap width, at the width its text measures.
    const std::string text =
        "Установка программы займёт несколько минут, пожалуйста подождите пока все файлы будут "
        "скопированы на ваш компьютер и проверены по контрольным суммам";
    for (const float wrap : {120.0f, 200.0f, 330.0f}) {
        SCOPED_TRACE(wrap);
        rec.take();
        OGL_string(57, 100, 300, text, wrap, cs_regular, just_left);
        const auto lines = quad_batches(rec.take());
        ASSERT_GE(lines.size(), 2u);
        for (const auto& line : lines) {
            ASSERT_FALSE(line.empty());
            EXPECT_LE(line.back().x, 100 + wrap + 1) << "the line's last glyph passes the wrap width";
        }
    }
    // The wrap width the scan compares with is the width the line is drawn at.
    const float width = OGL_measure_string("Установка программы");
    EXPECT_EQ(draw("Установка программы займёт", width + 1).size(), 2u);
    const auto whole = draw("Установка программы", 9999);
    ASSERT_EQ(whole.size(), 1u);
    rec.take();
    OGL_string(57, 100, 300, "Установка программы", 9999, cs_regular, just_right);
    const auto right = quad_batches(rec.take());
    EXPECT_EQ(right[0][0].x - whole[0].first_x, -width) << "justified by the width it is drawn at";
}

TEST_F(Lines, LineBreaksEndLinesWithAndWithoutWrapping) {
    float y = 0;
    auto lines = draw("a\r\nb", 500, cs_regular, just_left, &y);
    ASSERT_EQ(lines.size(), 3u) << "the line feed makes an empty line";
    EXPECT_EQ(lines[0].quads, 1u);
    EXPECT_EQ(lines[1].quads, 0u);
    EXPECT_EQ(lines[2].quads, 1u);
    EXPECT_EQ(y, 270);

    lines = draw("a\r\nb", 9999, cs_regular, just_left, &y);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(y, 300);
    const auto a = draw("a", 9999), b = draw("b", 9999);
    EXPECT_EQ(lines[0].first_x, a[0].first_x);
    EXPECT_EQ(lines[2].first_x, b[0].first_x) << "both parts start at x on one baseline";
    EXPECT_EQ(lines[2].baseline_y, b[0].baseline_y);

    // A centred line ended by a line feed is centred by its own width.
    const float w = trunc_width("ab");
    lines = draw("ab\ncdef", 9999, cs_regular, just_centre);
    rec.take();
    OGL_string(57, 100 - w / 2, 300, "ab", 9999, cs_regular, just_left);
    EXPECT_EQ(lines[0].first_x, quad_batches(rec.take())[0][0].x);
    EXPECT_EQ(draw("", 9999).size(), 0u);
}

TEST_F(Lines, FixedAdvanceCharsetsSpaceEveryCharacterExactly) {
    struct fixed_case {
        charset_t cs;
        float advance;
    };
    for (const fixed_case& c : {fixed_case{cs_fixed6, 6}, fixed_case{cs_fixed8, 8}, fixed_case{cs_fixed10, 10}}) {
        const std::string text = "1\t23";
        // Right-justified and centred lines are the left-justified one moved by the exact width.
        rec.take();
        OGL_string(57, 100, 50, text, 9999, c.cs, just_left);
        const auto left = corners(parse_all(rec.take()));
        OGL_string(57, 100, 50, text, 9999, c.cs, just_right);
        const auto right = corners(parse_all(rec.take()));
        ASSERT_EQ(left.size(), 12u) << "the tab draws nothing";
        ASSERT_EQ(right.size(), 12u);
        for (std::size_t i = 0; i < left.size(); ++i) EXPECT_EQ(right[i].x, left[i].x - 4 * c.advance) << c.cs;
        // Each digit sits exactly one advance after the one before (the tab took one too).
        const TT_font_info& bold = *tt_font[1];
        const float pen_3 = 100 + 3 * c.advance;
        EXPECT_EQ(left[8].x, std::floor(pen_3 + bold.glyphs.at('3').x_off)) << c.cs;
    }
    // Proportional text: a tab advances nothing.
    EXPECT_FLOAT_EQ(OGL_measure_string("a\tb"), OGL_measure_string("ab"));
}

TEST_F(Lines, FixedCellNumbersPlaceSignCommaPointAndDigits) {
    rec.take();
    OGL_number(57, 100.4f, 50.5f, -1234.5f, 6, 1, cs_fixed10, sft_plain, just_left);
    const auto batches = quad_batches(rec.take());
    // x0 = round(100.4) - 10 = 90, y0 = round(50.5) = 51.
    struct want_char {
        char c;
        float x;
    };
    const want_char want[] = {{'-', 91}, {'.', 145}, {',', 115}, {'0', 100}, {'1', 110}, {'2', 120},
                              {'3', 130}, {'4', 140}, {'5', 150}};
    ASSERT_EQ(batches.size(), std::size(want));
    const TT_font_info& f = *tt_font[1];
    for (std::size_t i = 0; i < batches.size(); ++i) {
        const OGL_char_info& g = f.glyphs.at(static_cast<unsigned char>(want[i].c));
        ASSERT_EQ(batches[i].size(), 4u) << want[i].c;
        EXPECT_EQ(batches[i][0].x, std::floor(want[i].x + g.x_off)) << want[i].c;
        EXPECT_EQ(batches[i][0].y, std::floor(51 + g.y_off)) << want[i].c;
        EXPECT_NEAR(batches[i][0].s, g.x0 / 1024.0, 1e-6) << "the glyph of " << want[i].c;
    }
    // Positive: no sign; too many digits: the leading ones show 0.
    OGL_number(57, 100, 50, 7, 3, 0, cs_fixed10, sft_plain, just_left);
    EXPECT_EQ(quad_batches(rec.take()).size(), 3u);

    // Other charsets draw the formatted text.
    OGL_number(57, 100, 50, 3.25f, 4, 2, cs_regular, sft_plain, just_left);
    const auto text = quad_batches(rec.take());
    ASSERT_EQ(text.size(), 1u);
    EXPECT_EQ(text[0].size(), 16u) << "3.25";

    OGL_char(57, 10, 10, 0);
    EXPECT_EQ(rec.take(), calls{});
}

TEST_F(Lines, GreyBackedTextIsCentredOnItsBox) {
    const float w = OGL_measure_string("Note") / 2;
    rec.take();
    OGL_gray_string(57, 200, 100, "Note");
    const calls made = rec.take();
    const auto batches = quad_batches(made);
    ASSERT_EQ(batches.size(), 2u);
    EXPECT_FLOAT_EQ(batches[0][0].x, 200 - w - 2);
    EXPECT_FLOAT_EQ(batches[0][0].y, 99);
    EXPECT_FLOAT_EQ(batches[0][2].x, 200 + w + 2);
    EXPECT_FLOAT_EQ(batches[0][2].y, 109);
    OGL_string(57, 200 - w, 100, "Note", 9999, cs_regular, just_left);
    EXPECT_EQ(quad_batches(rec.take())[0][0].x, batches[1][0].x);
}

TEST_F(Text, AFontThatCannotBeUsedIsTheQuitAlert) {
    GTEST_FLAG_SET(death_test_style, "fast");
    testsupport::temp_dir tmp;
    ASSERT_TRUE(xer.open(tmp / "log.txt"));
    testsupport::write_file(tmp / "not_a_font.ttf", "plain text, not a face");
    struct bad_case {
        std::string path;
        const char* line;
    };
    const bad_case cases[] = {
        {tmp / "missing.ttf", "(We could not open the file and read its contents.)"},
        {tmp / "not_a_font.ttf", "(Free-type could not process the .ttf file.)"},
        {"RESOURCE:NoSuchFace.ttf", "(Free-type could not process the .ttf file.)"},
    };
    for (const bad_case& c : cases) {
        TT_font_info face(360);
        EXPECT_EXIT(face.clear(c.path, 10.5f), ::testing::ExitedWithCode(0), "") << c.path;
        const std::string log = testsupport::read_file(tmp / "log.txt");
        EXPECT_NE(log.find("Error: unable to make font from file"), std::string::npos) << c.path;
        EXPECT_NE(log.find(c.line), std::string::npos) << c.path;
    }
    xer.close();
    // The face itself can be opened from a plain path too.
    TT_font_info face(360);
    std::string res = "RESOURCE:DejaVuSans.ttf";
    UTL_path_is_resource(res);
    face.clear(UTL_resource_get_file(res), 10.5f);
    EXPECT_GT(face.require_char('A'), 0);
}

}  // namespace
