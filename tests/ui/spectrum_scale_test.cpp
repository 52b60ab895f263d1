// The palette's spectrum bar against a recorded GL: its two value labels, one point per unit in
// the spectrum's colours (also with a ramp spectrum and an empty range), beside its labels in a
// moved panel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "../render/recorded_draw.h"

namespace {

using namespace drawtest;

class SpectrumScale : public RecordedText {
protected:
    void TearDown() override {
        colr.spectrum_init(0);
        RecordedText::TearDown();
    }
    // The points drawn: position and colour.
    struct point {
        double x, y, r, g, b;
    };
    std::vector<point> points(const calls& made) {
        std::vector<point> out;
        double r = 0, g = 0, b = 0;
        bool in = false;
        for (const std::string& s : made) {
            const gl_call c = parse(s);
            if (s == "glBegin(0)") in = true;   // GL_POINTS
            if (s == "glEnd()") in = false;
            if (in && c.name == "glColor4f") r = c.num[0], g = c.num[1], b = c.num[2];
            if (in && c.name == "glVertex2f") out.push_back({c.num[0], c.num[1], r, g, b});
        }
        return out;
    }
};

TEST_F(SpectrumScale, ABarOfPointsWithItsRangeWrittenBeside) {
    wins.off_x = 30;
    wins.off_y = 40;
    colr.spectrum_plot_scale(10, 20, 100, -5, 15, 1);   // glyphs cached, state settled
    rec.take();
    colr.spectrum_plot_scale(10, 20, 100, -5, 15, 1);
    const calls made = rec.take();
    EXPECT_EQ(colr.spec_min, -5);
    EXPECT_EQ(colr.spec_max, 15);
    EXPECT_EQ(colr.spec_range, 20);

    // The labels are the two numbers as OGL_number draws them, max first.
    OGL_setstate(1, 0, 1, 1, 1, 1);   // as the points left it
    rec.take();
    OGL_number(0, 14, 116, 15, 5, 1, cs_regular, sft_plain, just_left);
    OGL_number(0, 14, 16, -5, 5, 1, cs_regular, sft_plain, just_left);
    const calls labels = rec.take();
    ASSERT_GE(made.size(), labels.size());
    EXPECT_EQ(calls(made.begin(), made.begin() + static_cast<long>(labels.size())), labels);

    const auto p = points(made);
    ASSERT_EQ(p.size(), 100u);
    // Point k takes entry k / 100 of the spectrum, truncated (single precision may land one
    // entry lower).
    auto near_entry = [](const point& q, int i) {
        const float* e = colr.spectrum[i];
        return std::abs(q.r - e[0]) < 1e-5 && std::abs(q.g - e[1]) < 1e-5 && std::abs(q.b - e[2]) < 1e-5;
    };
    for (int k : {0, 1, 37, 50, 99}) {
        EXPECT_EQ(p[k].x, 40) << k;
        EXPECT_EQ(p[k].y, 60 + k) << k;
        EXPECT_TRUE(near_entry(p[k], k * 10) || (k > 0 && near_entry(p[k], k * 10 - 1))) << k;
    }
    EXPECT_NE(std::find(made.begin(), made.end(), "glPointSize(4)"), made.end());
    EXPECT_EQ(made.back(), "glPointSize(1)");
}

TEST_F(SpectrumScale, ARampAndAnEmptyRange) {
    colr.spectrum_init(2);
    colr.spectrum_plot_scale(0, 0, 10, 0, 1, 0);
    auto p = points(rec.take());
    ASSERT_EQ(p.size(), 10u);
    for (std::size_t k = 1; k < p.size(); ++k) {
        EXPECT_GT(p[k].g, p[k - 1].g) << "black to green";
        EXPECT_EQ(p[k].r, 0);
    }
    // min equal to max: every point the first colour, nothing divided by zero.
    colr.spectrum_plot_scale(0, 0, 5, 3, 3, 0);
    p = points(rec.take());
    ASSERT_EQ(p.size(), 5u);
    for (const point& q : p) EXPECT_EQ(q.g, 0);
}

}  // namespace
