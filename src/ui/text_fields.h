#pragma once
// One-line text fields sharing one editing engine, and the toolkit's clipboard calls.
#include <string>

// Draws and edits the field whose text area starts at (x, y), w wide; max_len in bytes.
// 1 in the frames the text changed.
int BTN_enterstring(float x, float y, std::string* text, int max_len, const std::string& label, float w,
                    int take_focus);
int BTN_enterstring(float x, float y, char* text, int max_len, const std::string& label, float w, int take_focus);

int BTN_is_text_on_clipboard();
int BTN_text_to_clipboard(const std::string& text);
int BTN_text_from_clipboard(std::string& text);
void UNDO_BeginCommand(const char* name);
