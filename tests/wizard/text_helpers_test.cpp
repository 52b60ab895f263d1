// The install screens' number texts, in English and through the shipped translation files.
#include "wizard/text_helpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "core/localisation.h"
#include "ui/localisation_file.h"
#include "core/log.h"
#include "support/temp_dir.h"

namespace {

const float inf = std::numeric_limits<float>::infinity();
const float nan = std::numeric_limits<float>::quiet_NaN();

struct TextHelpers : ::testing::Test {
    testsupport::temp_dir tmp;
    void SetUp() override {
        ASSERT_TRUE(xer.open(tmp / "log.txt"));
        UTL_translate_set_folder_for_test(VENTARO_SOURCE_DIR "/resources");
        UTL_translate_clear();
    }
    void TearDown() override {
        UTL_translate_clear();
        UTL_translate_set_folder_for_test("");
        xer.close();
    }
};

TEST_F(TextHelpers, SizesSwitchUnitStrictlyAboveTheThresholds) {
    const struct { float kb; const char* text; } rows[] = {
        {0, "0 KB"},          {800, "800 KB"},         {1024, "1024 KB"},     {1025, "1 MB"},
        {5000, "5 MB"},       {1024000, "1000 MB"},    {1048576, "1.0 GB"},   {2000000, "1.9 GB"},
        {-3, "-3 KB"},
    };
    for (const auto& r : rows) EXPECT_EQ(size_string(r.kb), r.text) << r.kb;
}

TEST_F(TextHelpers, IntegersAndFormattedFloats) {
    EXPECT_EQ(int_str(0), "0");
    EXPECT_EQ(int_str(-2147483647 - 1), "-2147483648");
    const struct { const char* format; float value; std::string text; } rows[] = {
        {"%.1f", 2.25f, "2.2"},
        {"%5.2f%%", 3.5f, " 3.50%"},
        {"%+08.3e!", -1.5f, "-1.500e+00!"},
        {"done: %g", 0.5f, "done: 0.5"},
        {"%-6.0f|", 7.0f, "7     |"},
        // The buffer holds 255 characters whatever the width or precision asks for.
        {"%300.1f", 1.0f, std::string(255, ' ')},
        {"%.300f", 1.0f, "1." + std::string(253, '0')},
        // Formats that do not take exactly one float are refused, not passed on to printf.
        {"%d", 1.0f, ""},
        {"%s", 1.0f, ""},
        {"%f %f", 1.0f, ""},
        {"no conversion", 1.0f, ""},
        {"%*f", 1.0f, ""},
        {"%n", 1.0f, ""},
        {"%", 1.0f, ""},
    };
    for (const auto& r : rows) EXPECT_EQ(flt_str(r.format, r.value), r.text) << r.format;
    EXPECT_EQ(flt_str(nullptr, 1.0f), "");
    EXPECT_EQ(flt_str("%f", inf), "inf");
}

TEST_F(TextHelpers, DurationsAndRatesInEnglish) {
    const struct { float seconds; const char* text; } durations[] = {
        {0, "0 seconds"},       {1, "1 second"},        {1.9f, "1 second"},    {45.9f, "45 seconds"},
        {60, "60 seconds"},     {119, "119 seconds"},   {119.99f, "119 seconds"}, {120, "2 minutes"},
        {3600, "60 minutes"},   {7199, "119 minutes"},  {7200, "2 hours"},     {3600.0f * 1000, "1000 hours"},
        {-5.5f, "-5 seconds"},
    };
    for (const auto& d : durations) EXPECT_EQ(time_str(d.seconds), d.text) << d.seconds;

    const struct { float rate; const char* text; } rates[] = {
        {1.9f, "1 kilobyte/second"}, {0.5f, "0 kilobytes/second"}, {0, "0 kilobytes/second"},
        {2, "2 kilobytes/second"},   {1234.7f, "1234 kilobytes/second"},
    };
    for (const auto& r : rates) EXPECT_EQ(rate_str(r.rate), r.text) << r.rate;
}

TEST_F(TextHelpers, NoEstimateForValuesThatCannotBeCounted) {
    // A zero rate makes the time left infinite, a zero need makes it NaN; a tiny rate makes it
    // finite but past any int. None of them may reach an int conversion.
    for (float s : {inf, -inf, nan, 1e30f, -1e30f}) EXPECT_EQ(time_str(s), "") << s;
    for (float r : {inf, -inf, nan, 3e9f, -3e9f}) EXPECT_EQ(rate_str(r), "") << r;
    EXPECT_EQ(time_str(3.6e9f), "1000000 hours");
}

TEST_F(TextHelpers, TranslatedWithTheLanguagesPluralRule) {
    UTL_translate_load(1);   // French: 0 and 1 take the singular
    EXPECT_EQ(time_str(0), "0 seconde");
    EXPECT_EQ(time_str(30), "30 secondes");
    EXPECT_EQ(time_str(600), "10 minutes");
    EXPECT_EQ(time_str(3 * 3600), "3 heures");
    EXPECT_EQ(rate_str(1), "1 kilooctet/seconde");
    EXPECT_EQ(rate_str(50), "50 kilooctets/seconde");

    UTL_translate_load(3);   // Russian: singular for 1, genitive after 2-4, plural otherwise
    const struct { float seconds; const char* text; } russian[] = {
        {1, "1 секунда"}, {2, "2 секунды"}, {5, "5 секунд"}, {12, "12 секунд"}, {22, "22 секунды"},
        {300, "5 минут"}, {7200 * 2, "4 часа"},
    };
    for (const auto& r : russian) EXPECT_EQ(time_str(r.seconds), r.text) << r.seconds;
    EXPECT_EQ(rate_str(3), "3 килобайта/с");
    EXPECT_EQ(size_string(5000), "5 MB");   // sizes are never translated
}

TEST_F(TextHelpers, InstallEstimatesStayFinite) {
    const struct { float installed, need, fraction; } fractions[] = {
        {0, 100, 0}, {50, 100, 0.5f}, {150, 100, 1}, {-5, 100, 0},
        {10, 0, 0}, {0, 0, 0}, {10, -1, 0}, {nan, 100, 0}, {10, inf, 0}, {inf, 100, 0},
    };
    for (const auto& f : fractions)
        EXPECT_EQ(install_fraction(f.installed, f.need), f.fraction) << f.installed << " of " << f.need;

    float s = -1;
    EXPECT_TRUE(seconds_left(1000, 100, s));
    EXPECT_EQ(s, 10.0f);
    EXPECT_TRUE(seconds_left(-20, 100, s));
    EXPECT_EQ(s, 0.0f);
    const struct { float remaining, rate; } no_estimate[] = {
        {1000, 0}, {1000, -1}, {1000, nan}, {nan, 10}, {inf, 10}, {1000, inf}, {3e38f, 1e-30f},
    };
    for (const auto& n : no_estimate) {
        s = -1;
        EXPECT_FALSE(seconds_left(n.remaining, n.rate, s)) << n.remaining << " at " << n.rate;
        EXPECT_EQ(s, -1.0f);
    }
}

}  // namespace
