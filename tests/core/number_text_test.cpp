#include "core/number_text.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <set>

#include "core/log.h"
#include "support/temp_dir.h"

namespace {

struct int_case {
    int value;
    int digits;
    str_format_type format;
    int negative;
    const char* expected;
};

TEST(IntToStr, Layouts) {
    const int_case cases[] = {
        {0, 0, sft_plain, 0, "0"},
        {7, 3, sft_zeros, 0, "007"},
        {-7, 3, sft_blanks, 0, "-  7"},
        {7, 2, sft_plus_zeros, 0, "+07"},
        {0, 1, sft_plus_zeros, 0, "+0"},
        {-42, 4, sft_plus_zeros, 0, "-0042"},
        {5, 0, sft_plain, 1, "-5"},
        {0, 2, sft_zeros, 1, "-00"},
        {1005, 6, sft_blanks, 0, "  1005"},  // blanks only lead; inner zeros stay digits
        {42, 1, sft_zeros, 0, "42"},          // a narrow width never cuts digits
        {7, 9, sft_zeros, 0, "000000007"},   // nine places: a fraction of nine decimals needs them
        {7, 12, sft_zeros, 0, "0000000007"},  // no int needs more than ten
        // Large magnitudes keep every digit.
        {100000000, 0, sft_plain, 0, "100000000"},
        {123456789, 0, sft_plain, 0, "123456789"},
        {123456789, 4, sft_blanks, 0, "123456789"},
        {INT_MAX, 0, sft_plain, 0, "2147483647"},
        {INT_MIN, 0, sft_plain, 0, "-2147483648"},
    };
    for (const int_case& c : cases) {
        std::string out = "stale";
        int_to_str(c.value, &out, c.digits, c.format, c.negative);
        EXPECT_EQ(out, c.expected) << c.value << " digits " << c.digits << " format " << c.format;
    }
}

struct flt_case {
    float value;
    int digits;
    int decimals;
    str_format_type format;
    const char* expected;
};

TEST(FltToStr, DecimalsAndExponentForm) {
    const flt_case cases[] = {
        {3.14159f, 4, 2, sft_plain, "3.14"},
        {3.14159f, 4, 2, sft_blanks, " 3.14"},
        {42.25f, 5, 1, sft_plain, "42.3"},    // rounds half away from zero
        {-0.04f, 2, 1, sft_plain, "-0.0"},    // a negative value keeps its sign
        {-2.5f, 3, 1, sft_plain, "-2.5"},
        {0.5f, 3, 1, sft_plus_zeros, "+00.5"},
        {0.05f, 3, 2, sft_plain, "0.05"},     // the fraction is zero-padded
        {1.5f, 3, -1, sft_plain, "2.0"},      // negative decimals: rounded value and ".0"
        {2.5f, 1, 0, sft_plain, "2"},
        {9.4f, 1, 0, sft_plain, "9"},         // the width test rounds, the text truncates
        {9.7f, 1, 0, sft_plain, "9.7x0"},
        {-7.9f, 2, 0, sft_plain, "-7"},
        {123456.0f, 4, 0, sft_plain, "1.2x5"},
        {99999.0f, 4, 0, sft_plain, "10.0x4"},  // a mantissa that rounds up
        {1.0e12f, 3, 0, sft_plain, "1.0x0"},     // exponents above 9 show "0"
        {1234.0f, 8, 0, sft_zeros, "00001234"},
    };
    for (const flt_case& c : cases) {
        std::string out = "stale";
        flt_to_str(c.value, &out, c.digits, c.decimals, c.format);
        EXPECT_EQ(out, c.expected) << c.value << " digits " << c.digits << " decimals " << c.decimals;
    }
}

TEST(FltToStr, NonFiniteAndHugeValuesEndWithoutUndefinedBehaviour) {
    std::string out;
    flt_to_str(INFINITY, &out, 4, 0, sft_plain);  // would divide by ten forever
    EXPECT_NE(out.find('x'), std::string::npos) << out;
    flt_to_str(NAN, &out, 4, 0, sft_plain);
    EXPECT_FALSE(out.empty());
    flt_to_str(3.0e20f, &out, 12, 0, sft_plain);
    EXPECT_FALSE(out.empty());
    flt_to_str(3.0e20f, &out, 12, 3, sft_plain);
    EXPECT_FALSE(out.empty());
    flt_to_str(1.0f, &out, 20, 15, sft_plain);  // more decimals than an int can scale
    EXPECT_EQ(out, "1.000000000");
    flt_to_str(0.5f, &out, 10, 9, sft_plain);
    EXPECT_EQ(out, "0.500000000");
}

TEST(StrToInt, SignOnlyInFront) {
    const struct {
        const char* text;
        int expected;
    } cases[] = {
        {"+12", 12}, {"-0", 0}, {"007", 7}, {"123456789", 123456789}, {"-123456789", -123456789},
        {"-1", -1},
        // Errors, all -1.
        {"", -1}, {"12a", -1}, {"1234567890", -1}, {"+", -1}, {"-", -1}, {" 1", -1}, {"1 ", -1},
        {"1-2", -1}, {"8+0", -1}, {"+-3", -1}, {"--3", -1},
    };
    for (const auto& c : cases) EXPECT_EQ(str_to_int(c.text), c.expected) << '"' << c.text << '"';
}

TEST(IntRand, StaysInRangeAndEqualBoundsDrawNothing) {
    std::srand(5);
    const int first = std::rand();
    std::srand(5);
    EXPECT_EQ(int_rand(3, 3), 3);
    EXPECT_EQ(std::rand(), first);

    std::set<int> seen;
    for (int i = 0; i < 2000; ++i) {
        const int r = int_rand(-2, 2);
        ASSERT_GE(r, -2);
        ASSERT_LE(r, 2);
        seen.insert(r);
    }
    EXPECT_EQ(seen.size(), 5u);
    const int wide = int_rand(INT_MIN, INT_MAX);  // the span does not fit an int
    (void)wide;
}

TEST(IntRandDeathTest, ReversedRangeIsACrash) {
    GTEST_FLAG_SET(death_test_style, "fast");  // the child must share this test's folder
    testsupport::temp_dir tmp;
    ASSERT_TRUE(xer.open(tmp / "log.txt"));
    EXPECT_DEATH(
        {
            if (chdir(tmp.path().c_str()) != 0) std::abort();  // keep its stack crawl out of the build tree
            int_rand(5, 1);
        },
        "int rand range negative! lo=5 hi=1");
    xer.close();
    // The alert names the maths header's place, not wherever this build keeps its sources.
    EXPECT_NE(testsupport::read_file(tmp / "log.txt")
                  .find("int rand range negative!\nlo=5 hi=1\n\n\n(QFutils/GenH/qf_math line 604)\n"),
              std::string::npos);
}

TEST(TilePath, FolderAndFileNames) {
    const struct {
        int lat, lon;
        const char* expected;
    } cases[] = {
        {47, -75, "+40-080/+47-075.dsf"}, {-5, 0, "-10+000/-05+000.dsf"},  {-90, -180, "-90-180/-90-180.dsf"},
        {89, 179, "+80+170/+89+179.dsf"}, {0, 0, "+00+000/+00+000.dsf"},   {-1, -1, "-10-010/-01-001.dsf"},
        {200, 500, "+00+500/+00+500.dsf"},  // out of range: a too-large digit becomes "0"
    };
    for (const auto& c : cases) {
        std::string out;
        return_latlon_str_dsf(c.lat, c.lon, &out);
        EXPECT_EQ(out, c.expected) << c.lat << "," << c.lon;
    }
    std::string out;
    return_latlon_str_dsf(INT_MIN, INT_MAX, &out);
    EXPECT_EQ(out.size(), 19u);
}

TEST(Utf8To16, WellFormedAndMalformedInput) {
    const struct {
        std::string in;
        std::u16string expected;
    } cases[] = {
        {"", u""},
        {"Az", u"Az"},
        {"\xC3\xA9", {0xE9}},
        {"\xE2\x82\xAC", {0x20AC}},
        {"\xF0\x9F\x98\x80", {0xD83D, 0xDE00}},
        {"\xF4\x8F\xBF\xBF", {0xDBFF, 0xDFFF}},
        // A stray continuation byte is U+0000, and so is any run of them.
        {"a\x80" "b", {'a', 0, 'b'}},
        {"a\x80\xBF\x80" "b", {'a', 0, 'b'}},
        {"\xFF" "a", {0, 'a'}},
        // Continuation bytes are taken as they come, but the next character starts at the first
        // byte that is not one.
        {"\xE2" "AB", {0x2042, 'A', 'B'}},
        // Cut short by the end of the text: U+0000, and nothing is read past the end.
        {"\xC3", {0}},
        {"a\xE2\x82", {'a', 0}},
        {"\xF0\x9F\x98", {0}},
    };
    for (const auto& c : cases) {
        std::u16string out = u"stale";
        string_utf_8_to_16(c.in, out);
        EXPECT_EQ(out, c.expected) << "input of " << c.in.size() << " bytes";
    }
}

TEST(Utf16To8, PairsAndLoneSurrogates) {
    const struct {
        std::u16string in;
        std::string expected;
    } cases[] = {
        {u"", ""},
        {u"Az", "Az"},
        {{0x80}, "\xC2\x80"},
        {{0x7FF}, "\xDF\xBF"},
        {{0xFFFF}, "\xEF\xBF\xBF"},
        {{0xD83D, 0xDE00}, "\xF0\x9F\x98\x80"},
        {{0xDBFF, 0xDFFF}, "\xF4\x8F\xBF\xBF"},
        {{0xDC00}, "\xED\xB0\x80"},                           // lone low half
        {{0xD800, 'A'}, "\xED\xA0\x80" "A"},                  // a lone high half does not eat the next unit
        {{'A', 0xDBFF}, "A\xED\xAF\xBF"},                     // nor does one at the end invent a pair
        {{0xD83D, 0xD83D, 0xDE00}, "\xED\xA0\xBD\xF0\x9F\x98\x80"},
    };
    for (const auto& c : cases) {
        std::string out = "stale";
        string_utf_16_to_8(c.in, out);
        EXPECT_EQ(out, c.expected) << "input of " << c.in.size() << " units";
    }
}

TEST(Utf, RoundTripOfWellFormedText) {
    const std::string text = "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC 10 \xF0\x9F\x98\x80 \xE4\xB8\xAD";
    std::u16string wide;
    std::string back;
    string_utf_8_to_16(text, wide);
    string_utf_16_to_8(wide, back);
    EXPECT_EQ(back, text);
}

}  // namespace
