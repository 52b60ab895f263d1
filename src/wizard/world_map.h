#pragma once
// The world-map tile picker of the scenery screens: 36 x 18 tiles of 10 x 10 degrees drawn over
// the map picture (363), chosen by a click or a drag, or all or none with two bottom-bar buttons.
// It reads the mouse from mnw and writes stg.chosen_tiles; the disk figures follow in the frame
// of every change.

// Where the map lies in the panel, and its tiles, in interface units (y up).
constexpr float world_map_left = 248, world_map_bottom = 150;
constexpr float world_map_tile = 14;
constexpr int world_map_columns = 36, world_map_rows = 18;

// Bands of the map picture, in texels of its 512 x 1024 texture counted from t = 0: the base map,
// the look of a tile offered and of a tile chosen, each 504 x 252 with 14-texel tiles.
constexpr float world_map_tex_w = 512, world_map_tex_h = 1024;
constexpr float world_map_band_bottom[3] = {0, 252, 504};

// Draws the map and its two buttons into the current frame and applies this frame's mouse.
void UTIL_world_map();

// Forgets the press remembered between frames (tests start each case from nothing).
void world_map_reset_for_test();
