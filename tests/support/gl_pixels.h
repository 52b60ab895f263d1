#pragma once
// Reading the current GL frame back in tests: a colour and the back buffer, pixels counted from
// the bottom-left as OpenGL counts them.
#include <cstddef>
#include <ostream>
#include <vector>

#include "render/gl_api.h"

namespace testsupport {

struct rgb {
    int r = -1, g = -1, b = -1;
    bool operator==(const rgb&) const = default;
};
inline std::ostream& operator<<(std::ostream& os, const rgb& c) { return os << c.r << "," << c.g << "," << c.b; }

// One pixel of the back buffer.
inline rgb read_back(int x, int y) {
    unsigned char p[4] = {};
    gl.glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2]};
}

// A w x h back buffer read once.
class frame_pixels {
public:
    frame_pixels(int w, int h) : w_(w), px_(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4) {
        gl.glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, px_.data());
    }
    rgb at(int x, int y) const {
        const unsigned char* p = &px_[(static_cast<std::size_t>(y) * static_cast<std::size_t>(w_) + static_cast<std::size_t>(x)) * 4];
        return {p[0], p[1], p[2]};
    }

private:
    int w_;
    std::vector<unsigned char> px_;
};

}  // namespace testsupport
