#pragma once
// The palette: numbered colour slots every drawing call names by index.
// For now it holds the slots and the pulse factor; drawing comes with the renderer.

class colr_class {
public:
    static constexpr int slot_count = 115;

    // Sets one slot; a slot outside the palette is ignored.
    void col_assign(int slot, float red, float green, float blue);

    float slots[slot_count][3] = {};
    float pulse = 0.0f;   // 0.6 to 1.0, rewritten by the frame clock every frame
};

extern colr_class colr;
