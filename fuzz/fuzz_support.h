#pragma once
// What every decoder target shares: alerts logged instead of shown (quits and crashes then end the
// run with code 1, which libFuzzer reports), and the decode options taken from the input itself.
#include <cstddef>
#include <cstdint>

#include "core/cmdline.h"

namespace fuzzsupport {

inline void unattended() {
    static const char* argv[] = {"fuzz", "--qa_script"};
    cmdline.init_unix(2, argv);
}

// The last byte picks the layout and options, so one corpus covers every call the program makes.
struct options {
    unsigned long format;
    int mode;          // png_alpha_mode
    int pow2;
    int gamma;
    int rows;          // 0: rows as wide as the image; 1: three pixels wider; 2: one pixel too narrow
    int into_scratch;  // decode into the staging buffer with 2048-pixel rows
};

inline options options_from(const uint8_t* data, size_t size) {
    const unsigned o = size ? data[size - 1] : 0;
    static const unsigned long kFormats[3] = {0x1906 /* GL_ALPHA */, 0x1907 /* GL_RGB */, 0x1908 /* GL_RGBA */};
    return {kFormats[o % 3], int((o / 3) % 3), int((o / 9) & 1), int((o / 18) & 1), int((o / 36) % 3),
            int((o / 108) & 1)};
}

// Row width in pixels for a picture w wide under the options (0: exactly w).
inline int row_pixels_for(const options& o, int w) {
    if (o.into_scratch) return 2048;
    if (w < 1) return 0;
    return o.rows == 1 ? w + 3 : o.rows == 2 ? w - 1 : 0;
}

}  // namespace fuzzsupport
