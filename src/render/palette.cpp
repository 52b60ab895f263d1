#include "render/palette.h"

colr_class colr;

void colr_class::col_assign(int slot, float red, float green, float blue) {
    if (slot < 0 || slot >= slot_count) return;
    slots[slot][0] = red;
    slots[slot][1] = green;
    slots[slot][2] = blue;
}
