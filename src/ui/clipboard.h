#pragma once
// The framework's typed view of the clipboard. A clip type is an index into two parallel
// tables: 0 is plain text, later ones are private types registered by name. Items of several
// types go on the clipboard in one step; every item after the first is marked sender-only, and
// a private type counts as present only with that mark.
#include <cstdint>
#include <string>
#include <vector>

extern std::vector<uint32_t> sCITs;            // flavour code of each clip type
extern std::vector<std::string> sClipStrings;  // name of each clip type

void UTL_InitClipboard();
int UTL_GetTextClipType();
// The index of the type of that name, registered with the next private code when new.
int UTL_RegisterPrivateClipType(const char* name);
// Replaces the clipboard by count items; false on the first failure (items put before it stay).
bool UTL_Clipboard_SetData(int count, const int types[], const int sizes[], const void* const data[]);
int UTL_Clipboard_HasClipType(int type);
int UTL_Clipboard_GetSize(int type);   // 0 when absent
// Copies the item into buffer only when its size is exactly size.
bool UTL_Clipboard_GetData(int type, int size, void* buffer);
void UTL_Clipboard_GetTypes(std::vector<int>& types);   // in the clipboard's order
bool UTL_SetTextToClipboard(const std::string& text);
// The clipboard's text, byte for byte; false (text unchanged) when there is none or it is empty.
bool UTL_GetTextFromClipboard(std::string& text);

// Test seam: forget the registered types.
void UTL_clipboard_reset_for_test();
