#include "render/tex_dxt.h"

#include <utility>

#include "render/palette.h"

namespace {

inline unsigned short get16(const unsigned char* p) { return static_cast<unsigned short>(p[0] | (p[1] << 8)); }
inline void put16(unsigned char* p, unsigned short v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

// Texel rows 0 and 3, and 1 and 2, change places.
inline void flip_colour_rows(unsigned char* rows) {
    std::swap(rows[0], rows[3]);
    std::swap(rows[1], rows[2]);
}

inline unsigned short gamma_565(unsigned short c, const unsigned char* ramp) {
    const int r5 = (c >> 11) & 31, g6 = (c >> 5) & 63, b5 = c & 31;
    const int r = ramp[(r5 << 3) | (r5 >> 2)];
    const int g = ramp[(g6 << 2) | (g6 >> 4)];
    const int b = ramp[(b5 << 3) | (b5 >> 2)];
    return static_cast<unsigned short>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

// Swapping the two end colours renumbers the indices that name them (and, with four colours,
// the two in between); the midpoint and the transparent index of three-colour mode stay.
inline void renumber(unsigned char* rows, bool three_colour) {
    for (int i = 0; i < 4; ++i) {
        const unsigned char b = rows[i];
        rows[i] = three_colour ? static_cast<unsigned char>(b ^ (~(b >> 1) & 0x55)) : static_cast<unsigned char>(b ^ 0x55);
    }
}

inline bool uses_index_3(const unsigned char* rows) {
    for (int i = 0; i < 4; ++i)
        if (rows[i] & (rows[i] >> 1) & 0x55) return true;
    return false;
}

}  // namespace

int IncColor565(unsigned short& colour) {
    const int g = (colour >> 5) & 63, b = colour & 31, r = (colour >> 11) & 31;
    if (g < 63) colour = static_cast<unsigned short>(colour + (1 << 5));
    else if (b < 31) colour = static_cast<unsigned short>(colour + 1);
    else if (r < 31) colour = static_cast<unsigned short>(colour + (1 << 11));
    else return 0;
    return 1;
}

int DecColor565(unsigned short& colour) {
    const int g = (colour >> 5) & 63, b = colour & 31, r = (colour >> 11) & 31;
    if (g > 0) colour = static_cast<unsigned short>(colour - (1 << 5));
    else if (b > 0) colour = static_cast<unsigned short>(colour - 1);
    else if (r > 0) colour = static_cast<unsigned short>(colour - (1 << 11));
    else return 0;
    return 1;
}

unsigned char* nv_gamma_correct(unsigned char* block) {
    const unsigned short c0 = get16(block), c1 = get16(block + 2);
    const bool three_colour = c0 <= c1;
    unsigned short n0 = gamma_565(c0, colr.gamma_ramp), n1 = gamma_565(c1, colr.gamma_ramp);
    if ((n0 <= n1) == three_colour) {
        put16(block, n0);
        put16(block + 2, n1);
    } else if (n0 != n1) {
        put16(block, n1);
        put16(block + 2, n0);
        renumber(block + 4, three_colour);
    } else {
        // A four-colour block whose colours met: pull them one unit apart again.
        if (n0 == 0xFFFF) {
            if ((n1 >> 5) & 63) n1 = static_cast<unsigned short>(n1 - (1 << 5));
        } else {
            IncColor565(n0);
        }
        put16(block, n0);
        put16(block + 2, n1);
        renumber(block + 4, false);
    }
    return block;
}

int nv_flip_dxt5_alpha(unsigned char* a) {
    const unsigned g0 = a[2] | (a[3] << 8) | (unsigned(a[4]) << 16);   // rows 0 and 1
    const unsigned g1 = a[5] | (a[6] << 8) | (unsigned(a[7]) << 16);   // rows 2 and 3
    const unsigned n0 = ((g1 >> 12) & 0xFFF) | ((g1 & 0xFFF) << 12);
    const unsigned n1 = ((g0 >> 12) & 0xFFF) | ((g0 & 0xFFF) << 12);
    a[2] = static_cast<unsigned char>(n0);
    a[3] = static_cast<unsigned char>(n0 >> 8);
    a[4] = static_cast<unsigned char>(n0 >> 16);
    a[5] = static_cast<unsigned char>(n1);
    a[6] = static_cast<unsigned char>(n1 >> 8);
    a[7] = static_cast<unsigned char>(n1 >> 16);
    return 0;
}

int nv_flip_blocks_dxtc1(unsigned char* blocks, int count, int found) {
    for (int i = 0; i < count; ++i, blocks += 8) {
        flip_colour_rows(blocks + 4);
        if (!found && get16(blocks) <= get16(blocks + 2) && uses_index_3(blocks + 4)) found = 1;
        if (colr.gamma_differs) nv_gamma_correct(blocks);
    }
    return found;
}

int nv_flip_blocks_dxtc3(unsigned char* blocks, int count, int) {
    for (int i = 0; i < count; ++i, blocks += 16) {
        std::swap(blocks[0], blocks[6]);
        std::swap(blocks[1], blocks[7]);
        std::swap(blocks[2], blocks[4]);
        std::swap(blocks[3], blocks[5]);
        flip_colour_rows(blocks + 12);
        if (colr.gamma_differs) nv_gamma_correct(blocks + 8);
    }
    return 0;
}

int nv_flip_blocks_dxtc5(unsigned char* blocks, int count, int) {
    for (int i = 0; i < count; ++i, blocks += 16) {
        nv_flip_dxt5_alpha(blocks);
        flip_colour_rows(blocks + 12);
        if (colr.gamma_differs) nv_gamma_correct(blocks + 8);
    }
    return 0;
}
