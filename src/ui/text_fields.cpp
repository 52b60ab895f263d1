// Least form: fields keep their text; editing arrives with the text engine.
#include "ui/text_fields.h"

int BTN_enterstring(float, float, std::string*, int, const std::string&, float, int) { return 0; }
int BTN_enterstring(float, float, char*, int, const std::string&, float, int) { return 0; }
int BTN_is_text_on_clipboard() { return 0; }
int BTN_text_to_clipboard(const std::string&) { return 0; }
int BTN_text_from_clipboard(std::string&) { return 0; }
void UNDO_BeginCommand(const char*) {}
