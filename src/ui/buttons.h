#pragma once
// Push buttons, check boxes, radio buttons and tabs: immediate-mode widgets called every frame
// with their position, label ("left|right{help") and the value they control.
#include <string>

// Push button centred at (x, y); width 0 or less fits the left text. 1 when pressed this frame.
int BTN_action(float x, float y, float w, int lit, int flash_mode, const std::string& label,
               const std::string& side);
// Check box (look 0) or radio button (look 1) at its reference point; 1 when a click toggled it.
int BTN_bool(float x, float y, int* value, const std::string& label, int look);
int BTN_xbol(float x, float y, bool* value, const std::string& label);
int BTN_xchr(float x, float y, char* value, const std::string& label);
int BTN_xbyt(float x, float y, unsigned char* value, const std::string& label);
// Radio button selecting own into *value; 1 when clicked this frame.
int BTN_is_int(float x, float y, int* value, int own, const std::string& label);
// Tab at (column, row) along the top of the open panel; 1 when clicked this frame.
int BTN_tab(int column, int row, int* selected, int own, const std::string& label);
// Heading dial centred at (x, y): a needle turned to *heading (degrees, clockwise from up), the
// dial face and the number; dragging inside it sets the heading. look picks the needle's art.
void plot_dir(float x, float y, float* heading, int look);
