// The widget atlas the build paints: every rectangle the toolkit reads lies in the picture, holds
// art, keeps to itself, and tiles where it is stretched; the theme swatches give the palette.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "art/atlas_table.h"
#include "tools/picture.h"

namespace {

using art::AtlasRect;
using art::Shape;

class Atlas : public ::testing::Test {
protected:
    static void SetUpTestSuite() { loaded_ = read_picture(resource_path("interface.png"), atlas_); }
    void SetUp() override { ASSERT_TRUE(loaded_) << "cannot read " << resource_path("interface.png"); }

    static bool overlap(int a0, int a1, int b0, int b1) { return a0 < b1 && b0 < a1; }
    static bool overlaps(const AtlasRect& a, const AtlasRect& b) {
        return overlap(a.s0, a.s1, b.s0, b.s1) && overlap(a.t0, a.t1, b.t0, b.t1);
    }
    static int painted_top(const AtlasRect& r) { return std::min(r.t1, art::atlas_size); }
    static bool same_column(int s_a, int s_b, int t0, int t1) {
        for (int t = t0; t < t1; ++t)
            for (int k = 0; k < 4; ++k)
                if (atlas_.at(s_a, t)[k] != atlas_.at(s_b, t)[k]) return false;
        return true;
    }
    static bool same_row(int t_a, int t_b, int s0, int s1) {
        for (int s = s0; s < s1; ++s)
            for (int k = 0; k < 4; ++k)
                if (atlas_.at(s, t_a)[k] != atlas_.at(s, t_b)[k]) return false;
        return true;
    }

    static inline Picture atlas_;
    static inline bool loaded_ = false;
};

TEST_F(Atlas, IsTheSizeStartUpNeeds) {
    EXPECT_EQ(atlas_.width, 512);
    EXPECT_EQ(atlas_.height, 512);
}

TEST_F(Atlas, EveryRectangleLiesInsideThePicture) {
    for (const AtlasRect& r : art::atlas_rects) {
        SCOPED_TRACE(r.name);
        EXPECT_LT(r.s0, r.s1);
        EXPECT_LT(r.t0, r.t1);
        EXPECT_GE(r.s0, 0);
        EXPECT_GE(r.t0, 0);
        EXPECT_LE(r.s1, atlas_.width);
        // The menu and title bars are read one row past the top; nothing else may be.
        EXPECT_LE(r.t1, atlas_.height + (r.reads_past_top ? 1 : 0));
    }
}

TEST_F(Atlas, RectanglesDoNotOverlapUnlessHalvesOfOnePicture) {
    const auto& rects = art::atlas_rects;
    for (size_t i = 0; i < rects.size(); ++i)
        for (size_t j = i + 1; j < rects.size(); ++j) {
            const bool family = rects[i].family && rects[j].family && std::string(rects[i].family) == rects[j].family;
            if (!family) {
                EXPECT_FALSE(overlaps(rects[i], rects[j])) << rects[i].name << " and " << rects[j].name;
            }
        }
    for (const art::Swatch& w : art::theme_swatches)
        for (const AtlasRect& r : rects) {
            const AtlasRect block{"swatch", -1, Shape::piece, w.s - 3, w.t - 3, w.s + 4, w.t + 4, 0, 0, 0, 0, 0, 0, nullptr, false};
            EXPECT_FALSE(overlaps(block, r)) << "swatch of slot " << w.slot << " and " << r.name;
        }
}

TEST_F(Atlas, EveryRectangleHoldsArt) {
    for (const AtlasRect& r : art::atlas_rects) {
        int opaque = 0;
        for (int t = r.t0; t < painted_top(r); ++t)
            for (int s = r.s0; s < r.s1; ++s) opaque += atlas_.alpha(s, t) > 128;
        EXPECT_GT(opaque, 10) << r.name;
    }
}

TEST_F(Atlas, NothingIsPaintedInTheGutters) {
    std::vector<char> owned(static_cast<size_t>(atlas_.width) * atlas_.height, 0);
    auto own = [&](int s0, int t0, int s1, int t1) {
        for (int t = std::max(t0, 0); t < std::min(t1, atlas_.height); ++t)
            for (int s = std::max(s0, 0); s < std::min(s1, atlas_.width); ++s) owned[t * atlas_.width + s] = 1;
    };
    for (const AtlasRect& r : art::atlas_rects) own(r.s0, r.t0, r.s1, r.t1);
    for (const art::Swatch& w : art::theme_swatches) own(w.s - 3, w.t - 3, w.s + 4, w.t + 4);
    int stray = 0;
    for (int t = 0; t < atlas_.height; ++t)
        for (int s = 0; s < atlas_.width; ++s)
            if (!owned[t * atlas_.width + s] && atlas_.alpha(s, t) != 0) ++stray;
    EXPECT_EQ(stray, 0);
}

TEST_F(Atlas, BarsReadPastTheTopShowNothingThere) {
    // Whether the texture wraps to row 0 or clamps to row 511, the extra row must be empty.
    for (const AtlasRect& r : art::atlas_rects) {
        if (!r.reads_past_top) continue;
        for (int s = r.s0; s < r.s1; ++s) {
            EXPECT_EQ(atlas_.alpha(s, art::atlas_size - 1), 0) << r.name << " at s " << s;
            EXPECT_EQ(atlas_.alpha(s, 0), 0) << r.name << " at s " << s;
        }
    }
}

TEST_F(Atlas, StretchedMiddlesTile) {
    for (const AtlasRect& r : art::atlas_rects) {
        SCOPED_TRACE(r.name);
        const int top = painted_top(r);
        if (r.shape == Shape::bar) {
            const int first = r.s0 + static_cast<int>(r.edge_x), last = r.s1 - static_cast<int>(r.edge_x);
            for (int s = first + 1; s < last; ++s) EXPECT_TRUE(same_column(first, s, r.t0, top)) << "column " << s;
        } else if (r.shape == Shape::upright_bar) {
            const int first = r.t0 + static_cast<int>(r.edge_b), last = r.t1 - static_cast<int>(r.edge_t);
            for (int t = first + 1; t < last; ++t) EXPECT_TRUE(same_row(first, t, r.s0, r.s1)) << "row " << t;
        } else if (r.shape == Shape::nine_slice) {
            // Texels the middle slices touch, even in part, must all be alike.
            const int c0 = r.s0 + static_cast<int>(std::floor(r.edge_x));
            const int c1 = r.s1 - static_cast<int>(std::floor(r.edge_x));
            const int w0 = r.t0 + static_cast<int>(std::floor(r.edge_b));
            const int w1 = r.t1 - static_cast<int>(std::floor(r.edge_t));
            for (int s = c0 + 1; s < c1; ++s) EXPECT_TRUE(same_column(c0, s, r.t0, top)) << "column " << s;
            for (int t = w0 + 1; t < w1; ++t) EXPECT_TRUE(same_row(w0, t, r.s0, r.s1)) << "row " << t;
        }
    }
}

TEST_F(Atlas, SwatchesGiveTheIntendedPaletteAtStartUp) {
    // Decoded as start-up decodes the atlas, gamma correction on, for a 2.2 display.
    Picture decoded;
    ASSERT_TRUE(read_picture(resource_path("interface.png"), decoded, true, 2.2));
    float slots[115][3] = {};
    for (const art::Swatch& w : art::theme_swatches) {
        SCOPED_TRACE("slot " + std::to_string(w.slot));
        const uint8_t* p = decoded.at(w.s, w.t);
        const unsigned want[3] = {(w.rgb >> 16) & 255, (w.rgb >> 8) & 255, w.rgb & 255};
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(p[k], want[k], 1) << "channel " << k;
            slots[w.slot][k] = p[k] / 255.0f;
        }
        EXPECT_EQ(p[3], 255);
    }
    // The derived slot sits between the etched line and the menu text, so it is a mid tone.
    for (int k = 0; k < 3; ++k) {
        const float mean = (slots[art::mean_of_a][k] + slots[art::mean_of_b][k]) / 2;
        EXPECT_GT(mean, 0.2f);
        EXPECT_LT(mean, 0.8f);
    }
}

TEST_F(Atlas, SwatchesStandApartFromTheirNeighbours) {
    // Text must read on what it is drawn over: dark ink on the light panel, light text on the
    // dark panels, the title on its band.
    auto luminance = [](unsigned rgb) {
        return 0.2126 * ((rgb >> 16) & 255) + 0.7152 * ((rgb >> 8) & 255) + 0.0722 * (rgb & 255);
    };
    auto slot = [](int n) {
        for (const art::Swatch& w : art::theme_swatches)
            if (w.slot == n) return w.rgb;
        return 0u;
    };
    const AtlasRect* panel = nullptr;
    const AtlasRect* tip = nullptr;
    for (const AtlasRect& r : art::atlas_rects) {
        if (r.style == 15) panel = &r;
        if (r.style == 17) tip = &r;
    }
    ASSERT_TRUE(panel && tip);
    const unsigned panel_body = atlas_.rgb((panel->s0 + panel->s1) / 2, panel->t0 + 40);
    const unsigned tip_body = atlas_.rgb((tip->s0 + tip->s1) / 2, tip->t0 + 40);
    for (int text : {43, 48, 50}) EXPECT_GT(luminance(panel_body) - luminance(slot(text)), 120) << "slot " << text;
    EXPECT_GT(luminance(slot(52)) - luminance(tip_body), 120);
}

}  // namespace
