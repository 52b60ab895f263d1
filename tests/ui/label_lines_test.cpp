// Drawing a label part: long parts split into two lines at the blank, "-" or "/" nearest their
// middle, each drawn exactly as OGL_string would draw that line on its own.
#include <gtest/gtest.h>

#include "../render/recorded_draw.h"
#include "ui/labels.h"

namespace {

using namespace drawtest;

class LabelLines : public RecordedText {
protected:
    void SetUp() override {
        RecordedText::SetUp();
        colr.col_assign(48, 0.1f, 0.2f, 0.3f);
        colr.col_assign(91, 0.9f, 0.3f, 0.3f);
    }
    // What the label drew, after one warm-up draw so that glyphs, uploads and state are settled.
    calls label(float x, float y, int align, const std::string& text, int lit) {
        BTN_util_draw_label(x, y, align, text, lit);
        rec.take();
        BTN_util_draw_label(x, y, align, text, lit);
        return rec.take();
    }
};

struct line {
    std::string text;
    float dy;
    just_t just;
};

TEST_F(LabelLines, LongPartsSplitNearTheirMiddle) {
    struct label_case {
        std::string text;
        int align;
        std::vector<line> lines;
    };
    const label_case cases[] = {
        {"frame rate of movie", 0, {{"frame rate", 4, just_right}, {"of movie", -6, just_right}}},
        {"(frames per second)", 2, {{"(frames", 4, just_left}, {"per second)", -6, just_left}}},
        // The hyphen near the start loses to the blank nearer the middle.
        {"x-resolution of movie", 0, {{"x-resolution", 4, just_right}, {"of movie", -6, just_right}}},
        // A "/" or "-" stays at the end of the first line.
        {"path/to/somewhere", 2, {{"path/to/", 4, just_left}, {"somewhere", -6, just_left}}},
        {"abcdefghijkl", 0, {{"abcdefghijkl", -1, just_right}}},                    // 12 bytes: one line
        {" abcdefghijkl", 0, {{" abcdefghijkl", -1, just_right}}},                  // only blank at the start
        {"-I agree! and more words", 2, {{"I agree! and more words", -1, just_left}}},   // "-": one line
        {"-I agree!", 2, {{"I agree!", -1, just_left}}},
        {"a rather long centred label", 1, {{"a rather long centred label", -1, just_centre}}},
    };
    for (const label_case& c : cases) {
        const calls got = label(200, 100, c.align, c.text, 0);
        for (const line& l : c.lines) OGL_string(48, 200, 100 + l.dy, l.text, 9999, cs_regular, l.just);
        EXPECT_EQ(got, rec.take()) << c.text;
    }

    // Lit labels take colour 91; an empty part and an unknown align draw nothing.
    const calls lit = label(200, 100, 2, "Next", 1);
    OGL_string(91, 200, 99, "Next", 9999, cs_regular, just_left);
    EXPECT_EQ(lit, rec.take());
    EXPECT_EQ(label(200, 100, 2, "", 0), calls{});
    EXPECT_EQ(label(200, 100, 3, "frame rate of movie", 0), calls{});
}

}  // namespace
