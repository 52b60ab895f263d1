#pragma once
// One-line text fields sharing one editing engine, and the toolkit's clipboard calls.
//
//   if (BTN_enterstring(120, 300, &name, 40, "Name:|{The folder's name", 200, 1)) changed();
//
// The field under the keyboard focus is edited through the shared engine (text_edit.h); the
// others are drawn as plain text. Cut, copy and paste use the system clipboard.
#include <string>

#include "ui/text_edit.h"

// Draws and edits the field whose text area starts at (x, y), w wide; max_len in bytes.
// 1 in the frames the text changed.
int BTN_enterstring(float x, float y, std::string* text, int max_len, const std::string& label, float w,
                    int take_focus);
// The same for a character array of max_len + 1 bytes; at most 499 bytes are ever kept.
int BTN_enterstring(float x, float y, char* text, int max_len, const std::string& label, float w, int take_focus);

int BTN_is_text_on_clipboard();
// 0 for success, else the clipboard's status.
int BTN_text_to_clipboard(const std::string& text);
// 1 and the clipboard's text (possibly empty); 0 and text untouched when there is none.
int BTN_text_from_clipboard(std::string& text);
void UNDO_BeginCommand(const char* name);

// The focused field as the engine's callbacks see it: its x, y - 1 and width, the scroll offset,
// its text, and whether the engine changed that text.
extern int DODE_x, DODE_y, DODE_entry_dx;
extern float DODE_dx, DODE_dy;
extern std::string* DODE_input;
extern int DODE_edit;
// The text fields' callbacks.
extern const DODE_Callbacks DODE_cbs;

// What a paste into a one-line field keeps of the clipboard's text: line breaks inside it become
// one blank, those at its ends go, as do other control characters; a tab becomes a blank.
std::string BTN_one_line_paste(const std::string& clip);

// Test seam: the shared editor (null before the first field is drawn) and its field.
DODE_Rec* BTN_text_editor();
void BTN_text_fields_reset_for_test();
