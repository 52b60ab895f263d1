#pragma once
// The few widgets the shell's own modal panels (the alert, the language chooser, the save
// question) draw, in panel units: the panel background, text in the regular face, push buttons
// with the click flash, and radio buttons. Main thread, inside a panel's frame loop.
#include <string>

// The window's background, the open panel's frame and title, and the inner frame of the alert.
void panel_draw_background(bool inner_frame);
// Text in a palette colour with its baseline at (x, y), wrapped at width; just 1 centres on x.
void panel_text(int colour, float x, float y, const std::string& text, float wrap_width, int just);
// A push button centred at (x, y) sized to its label; 1 in the frame it is clicked, after its
// pressed look has been put on the screen.
int panel_button(float x, float y, const std::string& label);
// A radio button at (x, y) bound to *target; a click stores value.
void panel_radio(float x, float y, int* target, int value, const std::string& label);
// The drawn width of a text.
float panel_measure(const std::string& text);
