#include "support/screen_pixels.h"

#include <regex>

#include "support/xvfb.h"

namespace testsupport {

bool screen_pixels::take(const xdo& window, const std::string& display, const std::string& png_path) {
    rgb.clear();
    width = height = 0;
    if (!window.screenshot(png_path)) return false;
    std::string ppm;
    if (run_with_display(display, {"convert", png_path, "-depth", "8", "ppm:-"}, &ppm) != 0) return false;
    std::smatch m;
    if (!std::regex_search(ppm.cbegin(), ppm.cbegin() + std::min<size_t>(ppm.size(), 64), m,
                           std::regex("^P6\\s+(\\d+)\\s+(\\d+)\\s+255\\s")))
        return false;
    width = std::stoi(m[1]);
    height = std::stoi(m[2]);
    const size_t head = size_t(m[0].length()), bytes = size_t(width) * size_t(height) * 3;
    if (ppm.size() < head + bytes) return false;
    rgb.assign(ppm.begin() + long(head), ppm.begin() + long(head + bytes));
    return true;
}

int screen_pixels::dark_pixels(int x0, int y0, int x1, int y1) const {
    int n = 0;
    for (int y = y0; y < y1; ++y) {
        const int row = 600 - 1 - y;
        if (row < 0 || row >= height) continue;
        for (int x = x0; x < x1 && x < width; ++x) {
            if (x < 0) continue;
            const size_t at = (size_t(row) * size_t(width) + size_t(x)) * 3;
            n += (rgb[at] + rgb[at + 1] + rgb[at + 2]) / 3 < 110;
        }
    }
    return n;
}

}  // namespace testsupport
