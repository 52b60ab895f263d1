#pragma once
// A picture of a program's window, read once so a test can look at many of its pixels: taken with
// xdo::screenshot and decoded by ImageMagick's convert. Regions are in the window's interface
// units: 800 x 600, y counted up from the bottom.
#include <string>
#include <vector>

#include "support/xdo.h"

namespace testsupport {

struct screen_pixels {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;   // rows from the top

    // Takes the picture (kept at png_path); false when it could not be taken or read.
    bool take(const xdo& window, const std::string& display, const std::string& png_path);
    // Pixels in [x0, x1) x [y0, y1) darker than text on a light panel (mean of r, g, b below 110).
    int dark_pixels(int x0, int y0, int x1, int y1) const;
};

}  // namespace testsupport
