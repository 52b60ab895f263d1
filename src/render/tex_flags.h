#pragma once
// The words every texture load is given: what a missing file does, when the load happens, the
// flag bits, and the reference numbers with a fixed meaning.

// What a texture whose file cannot be found or decoded does (it draws as the grey placeholder
// in every case).
enum tex_fail_mode {
    tex_fail_silent = 0,   // nothing is reported or logged
    tex_fail_scenery = 1,  // logged; the frame pump warns once about scenery textures
    tex_fail_plane = 2,    // logged; the frame pump warns once about aircraft textures
    tex_fail_instl = 3,    // logged; the frame pump warns once about installation textures
    tex_fail_quit = 4,     // the quit alert "Trying to load a texture that you do not have!"
};

// When a texture loads. The manager loads at once whatever the value; only tex_load_now may
// show the "Loading bitmap" status line.
enum tex_load_time {
    tex_load_lazy = 0,
    tex_load_soon = 1,
    tex_load_now = 2,
};

// Texture flags: the low four bits are the colour layout, the rest independent switches.
constexpr int tex_layout_mask = 0xF;
constexpr int tex_layout_rgb = 1;
constexpr int tex_layout_rgba = 2;
constexpr int tex_layout_alpha = 3;
constexpr int tex_layout_png_own = 4;        // RGB; a PNG keeps its own layout
constexpr int tex_layout_rgb_follow = 5;     // RGB; a PNG follows its own alpha
constexpr int tex_layout_rgba_follow = 6;    // RGBA; a PNG follows its own alpha
constexpr int tex_layout_depth = 7;
constexpr int tex_layout_bgra = 8;
constexpr int tex_layout_one_channel = 9;
constexpr int tex_layout_rg = 10;

constexpr int tex_flag_3d = 0x10;            // a 128 x 32 x 16 volume
constexpr int tex_flag_mipmap = 0x20;        // a mip chain and trilinear filtering
constexpr int tex_flag_nearest = 0x40;
constexpr int tex_flag_no_dds = 0x200;       // never prefer a compressed ".dds" file
constexpr int tex_flag_clamp = 0x400;        // both coordinates
constexpr int tex_flag_clamp_s = 0x800;      // the horizontal coordinate only
constexpr int tex_flag_float = 0x1000;       // float pixels, 16-bit float internal formats
constexpr int tex_flag_sized8 = 0x2000;      // sized 8-bit internal formats, no automatic mips
constexpr int tex_flag_npot_ok_a = 0x4000;   // either bit silences the power-of-two warning
constexpr int tex_flag_npot_ok_b = 0x8000;
constexpr int tex_flag_res_double = 0x10000;
constexpr int tex_flag_res_half = 0x20000;
constexpr int tex_flag_res_full = 0x40000;
constexpr int tex_flag_no_gamma = 0x80000;
constexpr int tex_flag_gradient = 0x100000;
constexpr int tex_flags_max = 0x1fffff;

// Reference numbers with a fixed meaning.
constexpr int tex_ref_interface = 359;       // the widget atlas
constexpr int tex_ref_fonts = 360;           // 360 and 361: the glyph atlases
constexpr int tex_ref_elements = 362;        // the language's bottom-bar art
constexpr int tex_ref_map = 363;
constexpr int tex_ref_background = 364;
constexpr int tex_ref_blank_gray = 934;      // the grey placeholder; its OpenGL name is 934 too
constexpr int tex_last_manual_ref = 1242;
constexpr int tex_first_dynamic_ref = 1243;
