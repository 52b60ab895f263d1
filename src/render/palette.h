#pragma once
// The palette: numbered colour slots every drawing call names by index, the gamma table the
// image decoders correct with, and a colour spectrum for plotting values.
//
// Built once at static initialisation. The gammas never change after construction, so decoders on
// worker threads read them and the gamma table without a lock.

class colr_class {
public:
    static constexpr int slot_count = 115;
    static constexpr int spectrum_count = 1000;

    colr_class();

    // Sets one slot; a slot outside the palette is ignored.
    void col_assign(int slot, float red, float green, float blue);
    // Slots 54 to 56 become slots 11, 14 and 16 tinted by slot 53.
    void set_lit_arc();
    // Recomputes gamma_ramp and gamma_differs from the current gammas; returns gamma_differs.
    int rebuild_gamma();
    // 0: the key-colour spectrum; 1, 2, 3: red, green, blue ramps; anything else changes nothing.
    void spectrum_init(int kind);
    // A vertical bar of the spectrum, one point per unit from y up to y + height (panel units),
    // with max at its top and min at its bottom written to its right with the given decimals.
    void spectrum_plot_scale(float x, float y, float height, float min, float max, int decimals);

    float art_gamma = 0.0f;        // the gamma the art was made for
    float display_gamma = 0.0f;    // the display's gamma
    int gamma_differs = 0;         // 1 when the two differ: decoders then pass channels through gamma_ramp
    unsigned char gamma_ramp[256] = {};

    float slots[slot_count][3] = {};
    float bright[6] = {};          // elements 0, 2, 4 scale red, green, blue of slots 0 to 38
    int mono = 0;
    float pulse = 0.0f;            // 0.6 to 1.0, rewritten by the frame clock every frame
    float fade = 0.0f;
    float spec_min = 0.0f, spec_max = 0.0f, spec_range = 0.0f;
    float spectrum[spectrum_count][3] = {};
};

extern colr_class colr;
