#pragma once
// What lies behind everything else: the interface background colour over the whole window, and
// the large picture "intro.png" (bitmaps folder) cut into sixteen 512 x 512 tiles (texture refs
// 397 to 412, row r from the bottom and column c from the left at 397 + 4r + c).
//
// The tiles are built once while the program starts (wins.panel_id -1), on the main thread or
// on a thread whose context shares textures; a lock keeps a draw from seeing half a tile set.

// The whole window in palette colour 39, whatever the open panel.
void OGL_plot_back_col();

// Called before the tiles are built; there is no lighting to set up.
void GOL_set_back_tex_lighting();
// During start-up: loads the picture (at most 2048 x 2048) and fills the sixteen tiles; a missing,
// unreadable or larger picture is the quit alert. Later calls change nothing.
void OGL_make_back_tex();
// Draws the picture (hung from the window's top during start-up, else at the interface's left
// offset); with depth_mask set it writes only depth where the picture is opaque.
void OGL_plot_back_tex(int depth_mask);

extern int back_colr;            // palette index the tiles are tinted with
extern int back_dx, back_dy;     // the picture's size in texels; 0 until a build succeeds

constexpr int back_tile_first_ref = 397;
constexpr int back_grid = 2048;  // the staging picture's row width and its largest height
