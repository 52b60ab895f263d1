#pragma once
// A float RGBA canvas addressed the way the program's textures are: x from the left edge, y from
// the bottom edge, so atlas rectangles can be painted with the numbers the toolkit reads them by.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace art {

struct Colour {
    float r = 0, g = 0, b = 0, a = 1;
};

// "#RRGGBB" with an optional alpha in 0..1.
Colour hex(const char* rgb, float alpha = 1.0f);
Colour mix(const Colour& a, const Colour& b, float t);
Colour with_alpha(Colour c, float alpha);

// Integer texel rectangle: x0 <= x < x1, y0 <= y < y1.
struct Box {
    int x0, y0, x1, y1;
};

class Canvas {
public:
    Canvas(int width, int height);

    int width() const { return w_; }
    int height() const { return h_; }

    // Composites a colour over texel (x, y) with the given coverage; texels outside are ignored.
    void blend(int x, int y, const Colour& c, float coverage);
    // Straight-alpha read of one texel.
    Colour at(int x, int y) const;
    // Overwrites one texel (straight alpha).
    void set(int x, int y, const Colour& c);

    // Paints every texel of the clip box whose centre lies inside the shape given by a signed
    // distance (negative inside); the edge is anti-aliased over one texel.
    void fill(const Box& clip, const std::function<float(float, float)>& distance, const Colour& c);
    // Same, with the colour chosen per texel centre.
    void fill(const Box& clip, const std::function<float(float, float)>& distance,
              const std::function<Colour(float, float)>& colour);

    // 8-bit straight RGBA, rows from the top of the picture down, as PNG stores them.
    std::vector<uint8_t> rgba_top_down() const;

private:
    int w_, h_;
    std::vector<float> px_;  // premultiplied RGBA, bottom row first
};

// Signed distances used by the painters (negative inside).
float sd_box(float px, float py, float x0, float y0, float x1, float y1, float radius);
float sd_circle(float px, float py, float cx, float cy, float radius);
float sd_segment(float px, float py, float ax, float ay, float bx, float by, float half_width);
float sd_polygon(float px, float py, const std::vector<float>& xy);
inline float sd_ring(float d, float half_width) { return (d < 0 ? -d : d) - half_width; }

// Writes the canvas as an 8-bit RGBA PNG. The file carries a gAMA of 1/2.2, so a reader that
// corrects for a 2.2 display leaves the colours exactly as painted.
bool write_png(const Canvas& canvas, const std::string& path);

}  // namespace art
