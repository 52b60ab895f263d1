#pragma once
// Building blocks the painters share: bordered rounded boxes with soft shadows, outlined glyphs
// and arrows, all clipped to the rectangle they belong to so nothing reaches a neighbour.

#include <functional>
#include <vector>

#include "art/canvas.h"

namespace art {

using Distance = std::function<float(float, float)>;

struct BoxStyle {
    Colour fill;
    Colour edge;
    float edge_width = 1.0f;
    float radius = 3.0f;
    float shadow_alpha = 0.0f;  // 0: no shadow
    float shadow_blur = 4.0f;
    float shadow_drop = 2.0f;   // how far the shadow sits below the box
};

// A rounded box x0..x1 by y0..y1 (texel edges) painted inside clip: shadow, border, fill.
void bordered_box(Canvas& c, const Box& clip, float x0, float y0, float x1, float y1, const BoxStyle& s);

// A shape given by its distance, filled with one colour and outlined by another.
void outlined(Canvas& c, const Box& clip, const Distance& d, const Colour& fill, const Colour& outline,
              float outline_width = 1.0f);

// Distances of common glyphs.
Distance arrow(float ax, float ay, float bx, float by, float shaft_half, float head_length, float head_half);
Distance triangle(float ax, float ay, float bx, float by, float cx, float cy);
Distance arc_arrow(float cx, float cy, float radius, float half_width, float from_deg, float to_deg,
                   float head_length, float head_half);
Distance unite(const Distance& a, const Distance& b);

}  // namespace art
