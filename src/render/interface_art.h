#pragma once
// The start-up's interface art: the world map (363) and the wizard backdrop (364) from files, the
// widget atlas decoded into the staging buffer and uploaded (359), and the palette's theme
// colours read from the atlas's swatch pixels.

// The atlas must be this wide (the swatches sit at fixed columns of 512-pixel rows) and at least
// this tall (the highest swatch row is 155).
constexpr int interface_atlas_width = 512;
constexpr int interface_atlas_min_rows = 156;

// A missing map or backdrop is the texture manager's quit alert; a missing, undecodable or
// wrongly sized atlas is the quit alert "I cannot open the graphics interface file!".
void TEX_load_interface_art();

// Sets palette slots 39 to 52 from the atlas as it lies in the staging buffer (RGBA, 512-pixel
// rows, bottom row first): each from one pixel, slot 44 the mean of slots 40 and 43.
void TEX_read_theme_colours(const unsigned char* atlas);
