#pragma once
// What the X server shows of a program's window, read through ImageMagick: single rows read
// straight from the window (rows from the top, like the screen), or a whole picture taken once so
// a test can look at many of its pixels, in the window's interface units (800 x 600, y counted up
// from the bottom).
#include <cctype>
#include <string>
#include <vector>

#include "support/gl_pixels.h"
#include "support/xdo.h"
#include "support/xvfb.h"

namespace testsupport {


// One row of the window xid, width pixels from its left edge; fewer when it could not be read.
inline std::vector<rgb> shown_row(const std::string& display, const std::string& xid, int row, int width) {
    std::string ppm;
    const std::string crop = std::to_string(width) + "x1+0+" + std::to_string(row);
    run_with_display(display, {"import", "-window", xid, "-crop", crop, "+repage", "-depth", "8", "ppm:-"}, &ppm);
    std::vector<rgb> out;
    // "P6 <w> <h> 255" and one blank, then the pixels.
    std::size_t at = 0;
    for (int fields = 0; fields < 4 && at < ppm.size(); ++fields) {
        while (at < ppm.size() && std::isspace(static_cast<unsigned char>(ppm[at]))) ++at;
        while (at < ppm.size() && !std::isspace(static_cast<unsigned char>(ppm[at]))) ++at;
    }
    for (++at; at + 3 <= ppm.size() && static_cast<int>(out.size()) < width; at += 3)
        out.push_back({static_cast<unsigned char>(ppm[at]), static_cast<unsigned char>(ppm[at + 1]),
                       static_cast<unsigned char>(ppm[at + 2])});
    return out;
}

// The program's window on the display (the first whose name holds "Ventaro Installer"); "" when none.
inline std::string program_window(const std::string& display) {
    std::string xid;
    if (run_with_display(display, {"xdotool", "search", "--name", "Ventaro Installer"}, &xid) != 0) return "";
    return xid.substr(0, xid.find('\n'));
}

struct screen_pixels {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;   // rows from the top

    // Takes the picture (kept at png_path); false when it could not be taken or read.
    bool take(const xdo& window, const std::string& display, const std::string& png_path);
    // Pixels in [x0, x1) x [y0, y1) darker than text on a light panel (mean of r, g, b below 110).
    int dark_pixels(int x0, int y0, int x1, int y1) const;
};

}  // namespace testsupport
