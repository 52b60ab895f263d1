#pragma once
// Turns a loaded texture into an alpha mask of its red channel, on the GPU's copy: read back,
// alpha = 255 - red with black colour, optionally smoothed, and uploaded again. Main thread.

// smooth: each interior pixel's alpha becomes the mean of its 3 x 3 neighbourhood, in place.
void TEX_make_alpha_mask(int ref, int smooth);
