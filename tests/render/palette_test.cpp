#include "render/palette.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/frame_clock.h"
#include "platform/clock.h"

namespace {

void expect_rgb(const float* got, float r, float g, float b, float tolerance = 1e-6f) {
    EXPECT_NEAR(got[0], r, tolerance);
    EXPECT_NEAR(got[1], g, tolerance);
    EXPECT_NEAR(got[2], b, tolerance);
}

TEST(Palette, DefaultsAndFixedSlots) {
    const colr_class c;
    struct slot_case {
        int slot;
        float r, g, b;
    };
    for (const slot_case s : {slot_case{0, 1, 1, 1}, {12, 0, 0, 0}, {18, 0.5f, 0.55f, 0.6f}, {31, 1, 1, 1},
                              {38, 1, 1, 1}, {39, 0, 0, 0}, {56, 0, 0, 0}, {57, 1, 1, 1}, {88, 0.44f, 0.53f, 0.54f},
                              {89, 0, 0, 0}, {106, 0, 0, 0}, {112, 1, 1, 0.9f}, {114, 0, 0, 0}}) {
        SCOPED_TRACE(s.slot);
        expect_rgb(c.slots[s.slot], s.r, s.g, s.b);
    }
    for (const float b : c.bright) EXPECT_EQ(b, 1.0f);
    EXPECT_EQ(c.mono, 0);
    EXPECT_EQ(c.fade, 0.0f);
}

TEST(Palette, SlotsOutsideThePaletteAreIgnored) {
    colr_class c;
    c.col_assign(39, 0.2f, 0.3f, 0.4f);
    expect_rgb(c.slots[39], 0.2f, 0.3f, 0.4f);
    const colr_class before = c;
    for (const int slot : {-1, 115, 100000, -100000}) c.col_assign(slot, 0.5f, 0.5f, 0.5f);
    for (int s = 0; s < colr_class::slot_count; ++s) expect_rgb(c.slots[s], before.slots[s][0], before.slots[s][1], before.slots[s][2]);
    EXPECT_EQ(c.pulse, before.pulse);
    EXPECT_EQ(c.bright[0], 1.0f);
}

TEST(Palette, GammaTableForTheDisplay) {
    // A running Linux counts as a current system: the display is taken as 2.2.
    const colr_class c;
    EXPECT_EQ(c.art_gamma, 1.8f);
    EXPECT_EQ(c.display_gamma, 2.2f);
    EXPECT_EQ(c.gamma_differs, 1);
    struct entry {
        int v, expect;
    };
    for (const entry e : {entry{0, 0}, {1, 3}, {64, 82}, {128, 145}, {200, 209}, {255, 255}})
        EXPECT_EQ(c.gamma_ramp[e.v], e.expect) << e.v;
    for (int v = 1; v < 256; ++v) EXPECT_GE(c.gamma_ramp[v], c.gamma_ramp[v - 1]) << v;

    // Equal gammas (an older system) give the identity and no correction.
    colr_class old = c;
    old.display_gamma = 1.8f;
    EXPECT_EQ(old.rebuild_gamma(), 0);
    for (int v = 0; v < 256; ++v) EXPECT_EQ(old.gamma_ramp[v], v);
}

TEST(Palette, SpectrumRunsThroughItsKeyColours) {
    const colr_class c;
    struct entry {
        int i;
        float r, g, b;
    };
    for (const entry e : {entry{0, 1, 0, 0}, {200, 1, 0.32f, 0.08f}, {500, 0.5f, 1, 0}, {600, 0, 1, 0},
                          {800, 0, 0, 1}, {999, 0.796f, 0, 0.801f}}) {
        SCOPED_TRACE(e.i);
        expect_rgb(c.spectrum[e.i], e.r, e.g, e.b, 1e-3f);
    }
}

TEST(Palette, SpectrumKindsAndUnknownKinds) {
    colr_class c;
    c.spectrum_init(2);
    expect_rgb(c.spectrum[0], 0, 0, 0);
    expect_rgb(c.spectrum[500], 0, 0.5f, 0);
    expect_rgb(c.spectrum[999], 0, 0.999f, 0);
    c.spectrum_init(1);
    expect_rgb(c.spectrum[250], 0.25f, 0, 0);
    c.spectrum_init(3);
    expect_rgb(c.spectrum[750], 0, 0, 0.75f);
    for (const int kind : {-1, 4, 99}) {
        c.spectrum_init(kind);
        expect_rgb(c.spectrum[750], 0, 0, 0.75f);
    }
    c.spectrum_init(0);
    expect_rgb(c.spectrum[600], 0, 1, 0, 1e-3f);
}

TEST(Palette, LitArcIsTintedBySlot53) {
    colr_class c;
    c.col_assign(53, 0.5f, 0.5f, 0.5f);
    c.col_assign(11, 1, 1, 1);
    c.col_assign(14, 0.2f, 0.4f, 0.6f);
    c.col_assign(16, 1, 0, 0.5f);
    c.set_lit_arc();
    expect_rgb(c.slots[54], 0.5f, 0.5f, 0.5f);
    expect_rgb(c.slots[55], 0.1f, 0.2f, 0.3f);
    expect_rgb(c.slots[56], 0.5f, 0, 0.25f);
}

// Each frame's pulse reaches the six pulsing colours, in their own tints.
TEST(Palette, PulsingColoursFollowTheFrameClock) {
    platform::test_clock_set(5'000'000'000ull);
    xtim_reset_for_test();
    xtim_class clock;
    for (int frame = 0; frame < 4; ++frame) {
        SCOPED_TRACE(frame);
        platform::test_clock_advance(37'000);
        clock.xtim_update();
        const float p = colr.pulse;
        EXPECT_GE(p, 0.6f);
        EXPECT_LE(p, 1.0f);
        EXPECT_FLOAT_EQ(p, 0.8f + 0.2f * std::sin(15.0f * clock.real_time));
        expect_rgb(colr.slots[89], p, p, p);
        expect_rgb(colr.slots[90], p, 0.5f * p, 0.0f);
        expect_rgb(colr.slots[91], p, 0.3f * p, 0.3f * p);
        expect_rgb(colr.slots[92], 0.3f * p, 0.3f * p, p);
        expect_rgb(colr.slots[93], 0.2f * p, 0.8f * p, 0.2f * p);
        expect_rgb(colr.slots[94], 0.7f * p, 0.7f * p, 0.2f * p);
    }
    platform::test_clock_release();
}

}  // namespace
