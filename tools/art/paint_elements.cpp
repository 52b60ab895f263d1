// The bottom-bar picture of one language: every button label in its three looks, cut exactly as
// the wizard cuts them, and the frame art of the bottom-bar buttons and the wizard's side panels.

#include <algorithm>
#include <cstdio>

#include "art/atlas_table.h"
#include "art/label_texts.h"
#include "art/painters.h"
#include "art/shapes.h"
#include "art/theme.h"

namespace art {
namespace {

using namespace theme;

constexpr int largest_size = 13, smallest_size = 10;
constexpr int side_room = 2;  // texels kept clear at each side of a cut

void frame_art(Canvas& c) {
    for (const AtlasRect& r : elements_rects) {
        const Box clip = {r.s0, r.t0, r.s1, r.t1};
        switch (r.style) {
        case 11:
            bordered_box(c, clip, r.s0 + 0.5f, r.t0 + 2, r.s1 - 0.5f, r.t1 - 2, {control(), control_edge(), 1, 8, 0.3f, 2, 1});
            break;
        case 12:
            bordered_box(c, clip, r.s0 + 0.5f, r.t0 + 2, r.s1 - 0.5f, r.t1 - 2, {control_pressed(), accent(), 1, 8, 0.2f, 1.5f, 0.5f});
            break;
        case 13:
            bordered_box(c, clip, r.s0 + 0.5f, r.t0 + 2, r.s1 - 0.5f, r.t1 - 2, {hex("#E3E7EC"), hex("#BFC8D2"), 1, 8});
            break;
        case 23:
            bordered_box(c, clip, r.s0, r.t0, r.s1, r.t1, {hex("#F5F7FA"), hex("#B8C3CF"), 1, 6});
            break;
        default:
            break;
        }
    }
}

}  // namespace

Canvas paint_elements(int lang, Face& bold, std::string& problem) {
    Canvas c(elements_width, elements_height);
    frame_art(c);
    const Colour look_colour[3] = {accent(), accent_dark(), hex("#22303E")};
    const int look_drop[3] = {0, 1, 0};  // the held look sinks a texel, as the pressed frame does
    std::string sizes;
    for (int n = 0; n < label_count; ++n) {
        const int c0 = label_cuts[n][lang], c1 = label_cuts[n + 1][lang];
        // The common size where it fits; a long word in a narrow cut steps down alone.
        int size = largest_size;
        for (; size >= smallest_size; --size) {
            bold.set_pixel_size(size);
            if (bold.measure(label_texts[lang][n]) <= c1 - c0 - 2 * side_room) break;
        }
        if (size < smallest_size) {
            problem = std::string("\"") + label_texts[lang][n] + "\" does not fit its cut in " + languages[lang];
            return Canvas(0, 0);
        }
        const int width = bold.measure(label_texts[lang][n]);
        const int x = c0 + (c1 - c0 - width + 1) / 2;
        for (size_t k = 0; k < label_looks.size(); ++k) {
            const LabelLook& look = label_looks[k];
            const int rows = look.t1 - look.t0;
            // Centred on the height of a capital at the common size, so every label shares a baseline.
            bold.set_pixel_size(largest_size);
            const int baseline = look.t0 + (rows - bold.cap_height() + 1) / 2 - look_drop[k];
            bold.set_pixel_size(size);
            bold.draw(c, {c0 + 1, look.t0, c1 - 1, look.t1}, x, baseline, label_texts[lang][n], look_colour[k]);
        }
        // Appended in two steps: g++ 12 at -O3 misreads the temporary's copy as overlapping.
        sizes += ' ';
        sizes += std::to_string(size);
    }
    std::printf("ventaro_art: elements_%s.png label sizes (px):%s\n", languages[lang], sizes.c_str());
    return c;
}

}  // namespace art
