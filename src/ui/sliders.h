#pragma once
// The vertical scroll bar: a track with end arrows and a thumb, bound to an int that runs from min
// at the top to max at the bottom. Immediate-mode, called every frame with its geometry.
//
//   BTN_vert_slider(0, 370, 30, 686, 0, rows - 34, &first_row);
//
// Slots 0 to 3 remember, each for one slider on screen, whether its thumb is held.

// The track at x (a whole number) from y_bottom to y_top. Arrows step by 1, the track pages by 10
// towards the pointer (repeating while held), the held thumb follows the pointer. 1 while the
// thumb is held. With max not above min only the track is drawn.
int BTN_vert_slider(int slot, float x, float y_bottom, float y_top, int min, int max, int* value);
