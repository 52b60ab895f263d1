#pragma once
// The install-set builder's progress strip along the bottom of the window, and its look for the
// quit key: what the builder program hands the builder to show itself with.
#include <string>

// Two lines on a dark strip, then the buffer swap.
void draw_progress_strip(const std::string& line1, const std::string& line2);
// Takes one event off the queue; 1 when it was Q going down.
int builder_quit_key_hit();
