#pragma once
// Widget labels: "left|right{help" names the text left of a control, right of it and its help tip.
// A part that begins with "-" is kept on one line and drawn without its "-".
#include <string>

// Drops one blank directly before and after each "|" and "{", then splits at the last "|" and the
// last "{". A part whose marker is missing comes back empty.
void BTN_expand_label(std::string label, std::string* left, std::string* right, std::string* help);

// Draws one label part in the regular face, colour 91 when lit, else 48. align 0 ends the text at
// x, 2 starts it at x, 1 centres it on x (always one line); any other value draws nothing. A part
// longer than 12 bytes drawn with align 0 or 2 is split into two lines at the blank, "-" or "/"
// nearest its middle: the lines stand at y + 4 and y - 6, a single line at y - 1.
void BTN_util_draw_label(float x, float y, int align, const std::string& text, int lit);
