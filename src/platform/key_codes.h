#pragma once
// Physical keys as the key tables know them: the classic desktop key codes (0 = the A key,
// 36 = Return, 123 = left arrow, ...), taken from SDL's scancodes, so a key gives the same code
// whatever the keyboard layout.
//   [x] the letter, digit, punctuation, editing, arrow, keypad and function keys (F1-F20)
//   [x] the ISO section key (10) and the JIS yen key (93)
//   [x] keys the classic keyboard lacks (keypad 00, EXSEL, ...): 128 + scancode, each its own
//   [ ] modifier keys on their own: they change the modifier state and send no key event
#include <cstdint>

namespace platform {

// The key code of an SDL scancode; -1 for a modifier key or a key with no code.
int mac_key_code(int sdl_scancode);
// The key code the event layer reports: mac_key_code, or 128 + the scancode for a key the classic
// keyboard lacks, so every physical key keeps a code of its own (above 127, beyond one byte).
int physical_key_code(int sdl_scancode);
// The character a US keyboard types for `lower` with shift held (letters upper-cased, the
// digit and punctuation keys their shifted signs); other characters unchanged.
uint32_t us_shifted(uint32_t lower);

}  // namespace platform
