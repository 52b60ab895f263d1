#pragma once
// The clipboard: typed items (flavours) put in one step, read back by their four-character code.
//   [x] several flavours per step, each with its flags (bit 0: sender only) and exact bytes
//   [x] the text flavour on the desktop clipboard through SDL while SDL's video runs (X11: the
//       CLIPBOARD selection as UTF-8), so other programs paste it and we paste theirs
//   [x] without video (no display, or before the window exists): an in-process clipboard
//   [ ] private flavours outside this process: other programs see only the text
//   [ ] bytes after a NUL in text reach this process's readers only; the desktop gets what
//       precedes it
//   [ ] a change by another program that leaves the desktop text as we put it goes unnoticed:
//       our private flavours then stay
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

constexpr uint32_t four_char_code(const char (&s)[5]) {
    uint32_t code = 0;
    for (int i = 0; i < 4; ++i) code = code << 8 | static_cast<unsigned char>(s[i]);
    return code;
}
constexpr uint32_t clip_text_code = four_char_code("TEXT");
constexpr int clip_sender_only = 1;

// Results: 0 for success.
enum clip_status {
    clip_ok = 0,
    clip_no_flavour = 1,        // the clipboard holds no item of that code
    clip_changed = 2,           // the clipboard was replaced since the reference was taken
    clip_desktop_refused = 3,   // the desktop clipboard did not take the text
    clip_bad_argument = 4,
};

// The clipboard as one reference names it: valid until the clipboard is cleared or another
// program replaces it.
struct clip_ref {
    uint64_t generation = 0;
};

struct clip_flavour_info {
    uint32_t code = 0;
    int flags = 0;
};

// Empties the clipboard (the desktop's too, while bridged).
int clipboard_clear();
// The current clipboard; picks up what another program put on the desktop clipboard since.
int clipboard_current(clip_ref& ref);
// Adds one item to the clipboard the reference names.
int clipboard_put(const clip_ref& ref, uint32_t code, int flags, const void* data, std::size_t size);
int clipboard_flavour_flags(const clip_ref& ref, uint32_t code, int& flags);
int clipboard_flavour_size(const clip_ref& ref, uint32_t code, std::size_t& size);
// Copies up to size bytes of the item into buffer; size becomes the count copied.
int clipboard_flavour_data(const clip_ref& ref, uint32_t code, std::size_t& size, void* buffer);
// The items in the order they were put.
int clipboard_flavours(const clip_ref& ref, std::vector<clip_flavour_info>& out);

// Test seam: forget the in-process clipboard.
void clipboard_reset_for_test();

}  // namespace platform
