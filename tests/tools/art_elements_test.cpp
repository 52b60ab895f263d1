// The bottom-bar pictures of the six languages: each label is real text inside its own cut, in
// all three looks, and the button and side-panel frames are where the wizard reads them.

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "art/atlas_table.h"
#include "tools/picture.h"

namespace {

class Elements : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        lang_ = GetParam();
        path_ = resource_path(std::string("elements_") + art::languages[lang_] + ".png");
        ASSERT_TRUE(read_picture(path_, pic_)) << "cannot read " << path_;
    }
    int cut(int n) const { return art::label_cuts[n][lang_]; }

    int lang_ = 0;
    std::string path_;
    Picture pic_;
};

TEST_P(Elements, IsTheSizeTheWizardCutsFrom) {
    EXPECT_EQ(pic_.width, art::elements_width);
    EXPECT_EQ(pic_.height, art::elements_height);
}

TEST_P(Elements, EveryLabelHasTextInEveryLook) {
    for (int n = 0; n < art::label_count; ++n)
        for (const art::LabelLook& look : art::label_looks) {
            int ink = 0, top = -1, bottom = look.t1;
            for (int t = look.t0; t < look.t1; ++t)
                for (int s = cut(n); s < cut(n + 1); ++s)
                    if (pic_.alpha(s, t) > 160) {
                        ++ink;
                        top = std::max(top, t);
                        bottom = std::min(bottom, t);
                    }
            // A word at a readable size: enough ink, and letters at least 7 texels tall.
            EXPECT_GT(ink, 40) << "label " << n << ", look " << look.name;
            EXPECT_GE(top - bottom + 1, 7) << "label " << n << ", look " << look.name;
        }
}

TEST_P(Elements, NothingSpillsOutOfTheCuts) {
    const int last = cut(art::label_count);
    for (int t = 0; t < art::label_looks.back().t1; ++t) {
        const art::LabelLook* band = nullptr;
        for (const art::LabelLook& look : art::label_looks)
            if (t >= look.t0 && t < look.t1) band = &look;
        for (int s = 0; s < last; ++s) {
            if (pic_.alpha(s, t) == 0) continue;
            ASSERT_NE(band, nullptr) << "ink between two looks at s " << s << ", t " << t;
            // The wizard's linear filter reads half a texel past each cut: the edge columns stay
            // clear so a label never shows a sliver of its neighbour.
            for (int n = 0; n <= art::label_count; ++n)
                ASSERT_NE(s, cut(n)) << "ink on the edge of cut " << n << " at t " << t;
            ASSERT_NE(s + 1, cut(art::label_count)) << "ink on the last cut's edge at t " << t;
        }
        // Right of the last label only the frame art may be painted.
        for (int s = last; s < pic_.width; ++s) {
            if (pic_.alpha(s, t) == 0) continue;
            bool frame = false;
            for (const art::AtlasRect& r : art::elements_rects)
                frame = frame || (s >= r.s0 && s < r.s1 && t >= r.t0 && t < r.t1);
            ASSERT_TRUE(frame) << "stray ink at s " << s << ", t " << t;
        }
    }
}

TEST_P(Elements, LooksAreTold) {
    // Hovered, held and normal labels are drawn in different colours.
    auto ink_colour = [&](const art::LabelLook& look) {
        for (int t = look.t0; t < look.t1; ++t)
            for (int s = cut(0); s < cut(1); ++s)
                if (pic_.alpha(s, t) == 255) return pic_.rgb(s, t);
        return 0u;
    };
    EXPECT_NE(ink_colour(art::label_looks[0]), ink_colour(art::label_looks[2]));
    EXPECT_NE(ink_colour(art::label_looks[1]), ink_colour(art::label_looks[2]));
}

TEST_P(Elements, FrameArtIsInPlaceAndTiles) {
    for (const art::AtlasRect& r : art::elements_rects) {
        SCOPED_TRACE(r.name);
        ASSERT_LE(r.s1, pic_.width);
        ASSERT_LE(r.t1, pic_.height);
        EXPECT_GT(cut(art::label_count) <= r.s0 || art::label_looks.back().t1 <= r.t0, 0) << "overlaps the labels";
        int opaque = 0;
        for (int t = r.t0; t < r.t1; ++t)
            for (int s = r.s0; s < r.s1; ++s) opaque += pic_.alpha(s, t) == 255;
        EXPECT_GT(opaque, (r.s1 - r.s0) * (r.t1 - r.t0) / 2);
        const int c0 = r.s0 + static_cast<int>(r.edge_x), c1 = r.s1 - static_cast<int>(r.edge_x);
        for (int s = c0 + 1; s < c1; ++s)
            for (int t = r.t0; t < r.t1; ++t) ASSERT_EQ(pic_.rgb(s, t), pic_.rgb(c0, t)) << "column " << s;
    }
}

INSTANTIATE_TEST_SUITE_P(AllLanguages, Elements, ::testing::Range(0, static_cast<int>(art::languages.size())),
                         [](const ::testing::TestParamInfo<int>& info) { return std::string(art::languages[info.param]); });

TEST(BundledFonts, RegularAndBoldAreInTheBundle) {
    for (const char* name : {"DejaVuSans.ttf", "DejaVuSansBold.ttf"}) {
        std::ifstream in(resource_path(name), std::ios::binary);
        ASSERT_TRUE(in) << name;
        char head[4] = {};
        in.read(head, 4);
        EXPECT_EQ(std::string(head, 4), std::string("\0\1\0\0", 4)) << name << " is not a TrueType file";
    }
}

}  // namespace
