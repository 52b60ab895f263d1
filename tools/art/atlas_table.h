#pragma once
// Where the toolkit and the wizard read their art: every rectangle of the widget atlas
// "interface.png" (512 x 512) and of the bottom-bar pictures "elements_<Language>.png" (1024 x 128),
// and the theme-colour pixels that start-up copies into the palette.
//
// This table is the one source for the art tool that paints the pictures and for the tests that
// check them. Coordinates are texel edges with s from the picture's left edge and t from its
// BOTTOM edge (rows stored bottom-up, as the texture manager keeps them): a rectangle covers the
// texels s0 <= s < s1, t0 <= t < t1. In a PNG file (top row first) texel row t is file row
// height - 1 - t.

#include <array>

#include "wizard/label_cuts.h"

namespace art {

enum class Shape {
    bar,          // a horizontal bar: left cap, middle tiled across, right cap (edge_x = cap width)
    upright_bar,  // the same turned upright: bottom cap, middle tiled upwards, top cap
    nine_slice,   // corners, tiled edges and a tiled middle (edge_x, edge_b, edge_t = slice sizes)
    piece,        // one picture drawn as it is
};

struct AtlasRect {
    const char* name;
    int style;  // frame style 0..23, or -1 for a single piece
    Shape shape;
    int s0, t0, s1, t1;
    float edge_x, edge_b, edge_t;    // slice sizes (see Shape)
    float out_side, out_bottom, out_top;  // nine-slice: how far the frame reaches outside the
                                          // rectangle it is drawn around
    const char* family;  // non-null: halves of one larger picture, which may overlap each other
    bool reads_past_top; // drawn with t1 one row above the picture (the wrap or clamp row)
};

constexpr int atlas_size = 512;

// clang-format off
inline constexpr std::array atlas_rects = {
    // Horizontal bars (BTN_frame1).
    AtlasRect{"menu bar",               0, Shape::bar, 1, 487, 101, 513, 10, 0, 0, 0, 0, 0, nullptr, true},
    AtlasRect{"panel title bar",        1, Shape::bar, 102, 487, 202, 513, 20, 0, 0, 0, 0, 0, nullptr, true},
    AtlasRect{"push button",            2, Shape::bar, 304, 486, 356, 512, 10, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"push button lit",        3, Shape::bar, 304, 459, 356, 485, 10, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"progress trough",        4, Shape::bar, 112, 161, 140, 177, 10, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"progress fill",          5, Shape::bar, 83, 161, 111, 177, 10, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"slider trough",          7, Shape::bar, 240, 242, 305, 266, 10, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"slider fill",            8, Shape::bar, 289, 219, 305, 235, 7, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"text field",             9, Shape::bar, 262, 133, 313, 159, 10, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"popup list",            10, Shape::bar, 357, 488, 425, 512, 26, 0, 0, 0, 0, 0, nullptr, false},
    // The upright bar (BTN_frame0): the vertical scroll bar's track.
    AtlasRect{"scroll track",           6, Shape::upright_bar, 102, 248, 122, 288, 0, 10, 10, 0, 0, 0, nullptr, false},
    // Nine-slice frames (BTN_frame2).
    AtlasRect{"panel",                 14, Shape::nine_slice, 1, 358, 101, 458, 35, 30, 30, 9, 14, 4, nullptr, false},
    AtlasRect{"panel, no close boxes", 15, Shape::nine_slice, 102, 358, 202, 458, 35, 30, 30, 9, 14, 4, nullptr, false},
    AtlasRect{"sub-panel",             16, Shape::nine_slice, 203, 358, 303, 458, 35, 30, 30, 9, 14, 4, nullptr, false},
    AtlasRect{"help tip",              17, Shape::nine_slice, 304, 358, 404, 458, 35, 30, 30, 9, 14, 4, nullptr, false},
    AtlasRect{"dialog sub-panel",      18, Shape::nine_slice, 405, 358, 505, 458, 35, 30, 30, 9, 14, 4, nullptr, false},
    AtlasRect{"list box",              19, Shape::nine_slice, 1, 289, 69, 357, 23.8f, 20.4f, 20.4f, 2, 2, 2, nullptr, false},
    AtlasRect{"menu",                  20, Shape::nine_slice, 70, 315, 112, 357, 20, 26, 14, 8, 13, 2, nullptr, false},
    AtlasRect{"small frame",           21, Shape::nine_slice, 113, 315, 155, 357, 14.7f, 12.6f, 12.6f, 8, 13, 2, nullptr, false},
    AtlasRect{"small frame 2",         22, Shape::nine_slice, 440, 12, 484, 56, 15.4f, 13.2f, 13.2f, 6, 9, 4, nullptr, false},
    // Single pieces.
    AtlasRect{"close box",             -1, Shape::piece, 120, 178, 138, 196, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"close box lit",         -1, Shape::piece, 120, 197, 138, 215, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"check box",             -1, Shape::piece, 139, 178, 157, 196, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"check mark",            -1, Shape::piece, 139, 197, 157, 215, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"radio button",          -1, Shape::piece, 83, 123, 101, 141, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"radio mark",            -1, Shape::piece, 83, 142, 101, 160, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"tab",                   -1, Shape::piece, 204, 459, 302, 485, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"tab selected",          -1, Shape::piece, 204, 486, 302, 512, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"heading needle",        -1, Shape::piece, 156, 315, 166, 357, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"heading needle 2",      -1, Shape::piece, 156, 272, 166, 314, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"heading dial",          -1, Shape::piece, 178, 160, 234, 218, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"submenu arrow",         -1, Shape::piece, 158, 178, 176, 196, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"number step down",      -1, Shape::piece, 83, 178, 97, 196, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"number step up",        -1, Shape::piece, 83, 197, 97, 215, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"icon folder",           -1, Shape::piece, 34, 82, 46, 94, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"icon aircraft",         -1, Shape::piece, 48, 82, 60, 94, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"icon airfoil",          -1, Shape::piece, 62, 82, 74, 94, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"icon weapon",           -1, Shape::piece, 90, 82, 102, 94, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"icon situation",        -1, Shape::piece, 104, 82, 116, 94, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"icon replay",           -1, Shape::piece, 118, 82, 130, 94, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"icon flight plan",      -1, Shape::piece, 132, 82, 144, 94, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"icon object",           -1, Shape::piece, 146, 82, 158, 94, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"folder button",         -1, Shape::piece, 208, 133, 234, 159, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"scroll arrow up",       -1, Shape::piece, 83, 266, 101, 288, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"scroll thumb",          -1, Shape::piece, 83, 240, 101, 264, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"scroll arrow down",     -1, Shape::piece, 83, 216, 101, 238, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"slider thumb",          -1, Shape::piece, 263, 267, 281, 289, 0, 0, 0, 0, 0, 0, nullptr, false},
    // Cursor pictures, by cursor code. A family's whole picture is the union of its halves.
    AtlasRect{"cursor 3",              -1, Shape::piece, 199, 328, 261, 357, 0, 0, 0, 0, 0, 0, "cursor 3-5", false},
    AtlasRect{"cursor 4",              -1, Shape::piece, 199, 328, 230, 357, 0, 0, 0, 0, 0, 0, "cursor 3-5", false},
    AtlasRect{"cursor 5",              -1, Shape::piece, 230, 328, 261, 357, 0, 0, 0, 0, 0, 0, "cursor 3-5", false},
    AtlasRect{"cursor 6",              -1, Shape::piece, 199, 291, 261, 327, 0, 0, 0, 0, 0, 0, "cursor 6-8", false},
    AtlasRect{"cursor 7",              -1, Shape::piece, 199, 291, 230, 327, 0, 0, 0, 0, 0, 0, "cursor 6-8", false},
    AtlasRect{"cursor 8",              -1, Shape::piece, 230, 291, 261, 327, 0, 0, 0, 0, 0, 0, "cursor 6-8", false},
    AtlasRect{"cursor 9",              -1, Shape::piece, 262, 310, 326, 357, 0, 0, 0, 0, 0, 0, "cursor 9-11", false},
    AtlasRect{"cursor 10",             -1, Shape::piece, 262, 310, 294, 357, 0, 0, 0, 0, 0, 0, "cursor 9-11", false},
    AtlasRect{"cursor 11",             -1, Shape::piece, 294, 310, 326, 357, 0, 0, 0, 0, 0, 0, "cursor 9-11", false},
    AtlasRect{"cursor 12",             -1, Shape::piece, 487, 309, 506, 357, 0, 0, 0, 0, 0, 0, "cursor 12-14", false},
    AtlasRect{"cursor 13",             -1, Shape::piece, 487, 309, 506, 333, 0, 0, 0, 0, 0, 0, "cursor 12-14", false},
    AtlasRect{"cursor 14",             -1, Shape::piece, 487, 333, 506, 357, 0, 0, 0, 0, 0, 0, "cursor 12-14", false},
    AtlasRect{"cursor 15",             -1, Shape::piece, 262, 291, 326, 309, 0, 0, 0, 0, 0, 0, "cursor 15-17", false},
    AtlasRect{"cursor 16",             -1, Shape::piece, 262, 291, 294, 309, 0, 0, 0, 0, 0, 0, "cursor 15-17", false},
    AtlasRect{"cursor 17",             -1, Shape::piece, 294, 291, 326, 309, 0, 0, 0, 0, 0, 0, "cursor 15-17", false},
    AtlasRect{"cursor 18",             -1, Shape::piece, 328, 325, 358, 355, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"cursor 18 held",        -1, Shape::piece, 360, 325, 390, 355, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"cursor 19",             -1, Shape::piece, 328, 293, 358, 323, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"cursor 19 held",        -1, Shape::piece, 360, 293, 390, 323, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"cursor 20",             -1, Shape::piece, 168, 325, 198, 355, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"cursor 21",             -1, Shape::piece, 168, 293, 198, 323, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"cursor 22",             -1, Shape::piece, 199, 250, 239, 290, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"cursor 23",             -1, Shape::piece, 456, 325, 486, 355, 0, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"cursor 24",             -1, Shape::piece, 424, 325, 454, 355, 0, 0, 0, 0, 0, 0, nullptr, false},
};
// clang-format on

// Theme colours: start-up copies the pixel (s, t) of the decoded atlas into the palette slot.
// The picture shows each as a small block around that pixel (block_s0..block_s1, t - 3..t + 4).
struct Swatch {
    int slot;
    int s, t;
    unsigned rgb;  // the intended colour, 0xRRGGBB
    const char* use;
};

inline constexpr std::array theme_swatches = {
    Swatch{39, 319, 155, 0x2F4156, "interface background"},
    Swatch{40, 319, 147, 0xA3B1C0, "etched line, dark side"},
    Swatch{41, 319, 139, 0x2C6DB3, "menu hover tint (drawn at 25%)"},
    Swatch{42, 319, 131, 0xFFFFFF, "etched line, light side"},
    Swatch{43, 319, 123, 0x1D2935, "menu and popup text"},
    Swatch{45, 319, 115, 0xFFFFFF, "panel title on the title band"},
    Swatch{46, 319, 107, 0x1D2935, "selected tab text"},
    Swatch{47, 319, 99, 0x5D6E80, "unselected tab text"},
    Swatch{48, 319, 91, 0x22303E, "widget labels"},
    Swatch{50, 319, 83, 0x1D2935, "field, list and body text"},
    Swatch{51, 319, 75, 0x6A7B8C, "muted text"},
    Swatch{52, 319, 67, 0xE7EDF3, "text on dark panels (help tip, dialog sub-panel)"},
    Swatch{49, 395, 115, 0x21558D, "accent, dark"},
};

// Palette slot 44 is not read from the picture: start-up makes it the mean of slots 40 and 43.
constexpr int mean_slot = 44, mean_of_a = 40, mean_of_b = 43;

// The bottom-bar pictures "elements_<Language>.png".
constexpr int elements_width = 1024, elements_height = 128;

inline constexpr std::array elements_rects = {
    AtlasRect{"bottom-bar button",          11, Shape::bar, 926, 96, 974, 127, 16, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"bottom-bar button pressed",  12, Shape::bar, 975, 96, 1023, 127, 16, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"bottom-bar button disabled", 13, Shape::bar, 877, 96, 925, 127, 16, 0, 0, 0, 0, 0, nullptr, false},
    AtlasRect{"wizard side panel",          23, Shape::nine_slice, 982, 2, 1023, 43, 14.35f, 12.3f, 12.3f, 1, 1, 1, nullptr, false},
};

// Languages in the order of the program's language numbers.
inline constexpr std::array<const char*, 6> languages = {"English", "French", "German", "Russian", "Italian", "Spanish"};

// Label n of language l spans s from label_cuts[n][l] to label_cuts[n + 1][l].
// Labels: 0 Quit, 1 Back, 2 Next, 3 select every map tile, 4 clear every map tile, 5 Order,
// 6 Preferences.
constexpr int label_count = 7;
inline constexpr auto& label_cuts = btn_cuts;

// The three looks of every label, stacked: rows t0 <= t < t1 (t from the bottom).
struct LabelLook {
    const char* name;
    int t0, t1;
};
inline constexpr std::array label_looks = {
    LabelLook{"hovered", 0, 22},
    LabelLook{"held", 23, 45},
    LabelLook{"normal", 46, 68},
};

}  // namespace art
