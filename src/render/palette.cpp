#include "render/palette.h"

#include <algorithm>
#include <cmath>

#include "core/frame_clock.h"
#include "platform/os_info.h"
#include "render/gl_api.h"
#include "render/ogl_state.h"
#include "render/panel_record.h"

colr_class colr;

namespace {
// The interface pulse from the frame clock: the pulsing colours follow it.
void pulse_colours(float p) {
    colr.col_assign(89, p, p, p);
    colr.col_assign(90, p, 0.5f * p, 0.0f);
    colr.col_assign(91, p, 0.3f * p, 0.3f * p);
    colr.col_assign(92, 0.3f * p, 0.3f * p, p);
    colr.col_assign(93, 0.2f * p, 0.8f * p, 0.2f * p);
    colr.col_assign(94, 0.7f * p, 0.7f * p, 0.2f * p);
    colr.pulse = p;
}
const bool pulse_offered = (frame_clock_hooks.pulse = &pulse_colours, true);
}  // namespace

namespace {

struct default_slot {
    int first, last;
    float r, g, b;
};

// Slots not listed stay black.
constexpr default_slot kDefaults[] = {
    {0, 0, 1, 1, 1},          {1, 1, 1, 0.2f, 0.2f},     {2, 2, 1, 1, 0.2f},       {3, 3, 0.7f, 0.7f, 0.7f},
    {4, 4, 0.8f, 0, 0},       {5, 5, 1, 1, 0},           {6, 6, 0.3f, 0.3f, 0.3f}, {7, 7, 0.2f, 0, 0},
    {8, 8, 1, 0.8f, 0.2f},    {9, 9, 0.1f, 0.1f, 0.1f},  {10, 10, 0, 0.8f, 0},     {13, 13, 0, 0.4f, 0},
    {15, 15, 0.4f, 0.4f, 1},  {17, 17, 0, 0, 0.6f},      {18, 18, 0.5f, 0.55f, 0.6f},
    {19, 19, 0.2f, 0.2f, 0.25f}, {20, 20, 0.9f, 0.9f, 0.9f}, {21, 21, 0.8f, 0.1f, 0.1f},
    {22, 22, 0.88f, 0.88f, 1}, {23, 23, 0.84f, 0.75f, 0.63f}, {24, 24, 0.9f, 0.9f, 0.9f},
    {25, 25, 0.1f, 0.1f, 0.1f}, {27, 27, 0.9f, 0.9f, 0.9f}, {28, 28, 1, 1, 0},       {30, 31, 1, 1, 1},
    {32, 32, 0.9f, 0.9f, 1},  {33, 33, 1, 1, 0},         {35, 38, 1, 1, 1},        {57, 57, 1, 1, 1},
    {58, 58, 0.4f, 1, 0.4f},  {59, 59, 1, 0.4f, 0.4f},   {60, 60, 1, 1, 0.6f},     {61, 61, 0.7f, 0.7f, 1},
    {62, 62, 1, 0.5f, 0},     {63, 63, 0.8f, 0.8f, 0.8f}, {64, 64, 0, 1, 0},       {65, 65, 1, 0.2f, 0.2f},
    {66, 66, 1, 1, 0.2f},     {67, 67, 0.4f, 0.4f, 1},   {68, 68, 0.5f, 0.3f, 0},  {69, 69, 0.5f, 0.5f, 0.5f},
    {70, 70, 0, 0.6f, 0},     {71, 71, 0.6f, 0.2f, 0},   {72, 72, 1, 1, 0},        {73, 73, 0.2f, 0.2f, 0.8f},
    {74, 74, 1, 0.4f, 0},     {75, 75, 0.2f, 0.2f, 0.2f}, {76, 76, 0, 0.2f, 0},    {77, 77, 1, 0, 0},
    {78, 78, 0.6f, 0.6f, 0},  {79, 79, 0.15f, 0.15f, 0.6f}, {80, 80, 0.49f, 0.43f, 0.24f},
    {82, 82, 0, 0.1f, 0},     {83, 83, 1, 0.2f, 1},      {84, 84, 0.5f, 0, 0.5f},  {85, 85, 1, 0, 1},
    {86, 86, 0, 1, 1},        {87, 87, 1, 1, 0},         {88, 88, 0.44f, 0.53f, 0.54f}, {95, 95, 1, 0, 1},
    {97, 97, 1, 0, 1},        {98, 98, 1, 1, 1},         {107, 107, 0.5f, 0.5f, 0.4f}, {108, 108, 1, 0.3f, 0},
    {109, 109, 0.5f, 0.5f, 0.4f}, {110, 110, 0.8f, 0.8f, 0.7f}, {111, 111, 0, 0.6f, 0.2f},
    {112, 112, 1, 1, 0.9f},
};

// The spectrum runs red, orange, yellow, green, blue, violet.
constexpr float roygbv_rgb_loc[6][3] = {
    {1, 0, 0}, {1, 0.32f, 0.08f}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {0.8f, 0, 0.8f},
};

// Systems from 10.6 on assume a 2.2 display; older ones 1.8.
constexpr int kLastSystemWithMacGamma = 0x105F;

}  // namespace

colr_class::colr_class() {
    for (const default_slot& d : kDefaults)
        for (int s = d.first; s <= d.last; ++s) col_assign(s, d.r, d.g, d.b);
    for (float& b : bright) b = 1.0f;

    spectrum_init(0);

    art_gamma = display_gamma = 1.8f;
    if (platform::system_version_bcd() > kLastSystemWithMacGamma) display_gamma = 2.2f;
    rebuild_gamma();
}

void colr_class::col_assign(int slot, float red, float green, float blue) {
    if (slot < 0 || slot >= slot_count) return;
    slots[slot][0] = red;
    slots[slot][1] = green;
    slots[slot][2] = blue;
}

void colr_class::set_lit_arc() {
    static constexpr int kArc[3][2] = {{54, 11}, {55, 14}, {56, 16}};
    for (const auto& a : kArc)
        for (int c = 0; c < 3; ++c) slots[a[0]][c] = slots[a[1]][c] * slots[53][c];
}

int colr_class::rebuild_gamma() {
    const float p = art_gamma / display_gamma;
    for (int v = 0; v < 256; ++v) {
        const float powed = static_cast<float>(std::pow(static_cast<double>(v) / 255.0, static_cast<double>(p)));
        gamma_ramp[v] = static_cast<unsigned char>(static_cast<int>(255.0f * powed + 0.5f));
    }
    gamma_differs = art_gamma != display_gamma ? 1 : 0;
    return gamma_differs;
}

void colr_class::spectrum_init(int kind) {
    if (kind < 0 || kind > 3) return;
    for (int i = 0; i < spectrum_count; ++i) {
        const float v = static_cast<float>(i) / 1000.0f;
        float* out = spectrum[i];
        if (kind == 0) {
            int band;
            float t;
            if (v < 0.2f) {
                band = 1;
                t = 5.0f * v;
            } else if (v < 0.4f) {
                band = 2;
                t = (v - 0.2f) * 5.0f;
            } else if (v < 0.6f) {
                band = 3;
                t = (v - 0.4f) * 5.0f;
            } else if (v < 0.8f) {
                band = 4;
                t = (v - 0.6f) * 5.0f;
            } else {
                band = 5;
                t = (v - 0.8f) * 5.0f;
            }
            for (int c = 0; c < 3; ++c)
                out[c] = roygbv_rgb_loc[band - 1][c] * (1.0f - t) + roygbv_rgb_loc[band][c] * t;
        } else {
            out[0] = out[1] = out[2] = 0.0f;
            out[kind - 1] = v;
        }
    }
}

