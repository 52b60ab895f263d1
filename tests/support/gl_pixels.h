#pragma once
// Reading the current GL frame back in tests: a colour and the back buffer, pixels counted from
// the bottom-left as OpenGL counts them.
#include <cstddef>
#include <ostream>
#include <vector>

#include <string>

#include "core/memory.h"
#include "files/xmap.h"
#include "render/gl_api.h"
#include "render/tex_png.h"

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

// A picture from the bundle decoded as start-up decodes it (RGBA, gamma-corrected, rows
// bottom-up); empty when it cannot be read.
struct picture {
    int w = 0, h = 0;
    std::vector<unsigned char> px;
    const unsigned char* texel(int s, int t) const {
        return &px[(static_cast<std::size_t>(t) * static_cast<std::size_t>(w) + static_cast<std::size_t>(s)) * 4];
    }
};
inline picture decode_resource(const std::string& resource) {
    picture out;
    xmap_class file("RESOURCE:" + resource);
    unsigned char* pixels = nullptr;
    TEX_image_desc desc;
    if (!file.mem_start || !TEX_load_png(resource, file, pixels, GL_RGBA, 0, 0, png_mode_exact, 1, desc)) return out;
    out.w = desc.width;
    out.h = desc.height;
    out.px.assign(pixels, pixels + static_cast<std::size_t>(out.w) * static_cast<std::size_t>(out.h) * 4);
    xfree(pixels);
    return out;
}

}  // namespace testsupport
