#pragma once
// Widget labels: "left|right{help" names the text left of a control, right of it and its help tip.
#include <string>

// Drops one blank directly before and after each "|" and "{", then splits at the last "|" and the
// last "{". A part whose marker is missing comes back empty.
void BTN_expand_label(std::string label, std::string* left, std::string* right, std::string* help);
