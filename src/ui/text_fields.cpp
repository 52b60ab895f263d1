#include "ui/text_fields.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "core/frame_clock.h"
#include "core/mouse_record.h"
#include "platform/clipboard.h"
#include "render/ogl_draw.h"
#include "render/palette.h"
#include "render/view.h"
#include "ui/clipboard.h"
#include "ui/focus.h"
#include "ui/frames.h"
#include "ui/help_record.h"
#include "ui/labels.h"
#include "ui/menus.h"
#include "ui/tt_font.h"

int DODE_x = 0, DODE_y = 0, DODE_entry_dx = 0;
float DODE_dx = 0, DODE_dy = 0;
std::string* DODE_input = nullptr;
int DODE_edit = 0;

namespace {

constexpr int kTextMask = 1012;
constexpr int kShift = 1, kControl = 4, kKeyUp = 16;
constexpr int kVkCut = 88, kVkCopy = 67, kVkPaste = 86;
constexpr float kLineHeight = 11;
// The char-array form's copy back holds at most this many bytes.
constexpr int kLongestArrayText = 499;

bool is_continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

std::string& input() {
    static std::string none;
    return DODE_input ? *DODE_input : none;
}

// The engine's view of the focused field.
void visible_bounds(DODE_Rec*, float b[4]) {
    b[0] = static_cast<float>(DODE_x);
    b[1] = static_cast<float>(DODE_y) - 2;
    b[2] = static_cast<float>(DODE_x + DODE_entry_dx);
    b[3] = static_cast<float>(DODE_y) - 2 + kLineHeight;
}
// Far wider than any text a field holds: a one-line field never wraps, it scrolls sideways.
constexpr float kNoWrapRoom = 1.0e7f;
void logical_bounds(DODE_Rec*, float b[4]) {
    b[0] = static_cast<float>(DODE_x) - DODE_dx;
    b[1] = static_cast<float>(DODE_y) - 2 - DODE_dy;
    b[2] = static_cast<float>(DODE_x + DODE_entry_dx) - DODE_dx + kNoWrapRoom;
    b[3] = static_cast<float>(DODE_y) - 2 + kLineHeight - DODE_dy;
}
void set_logical_height(DODE_Rec*, float) {}
void scroll_to(DODE_Rec*, float o[2]) {
    DODE_dx = o[0];
    DODE_dy = o[1];
}
void get_text(DODE_Rec*, const char** first, const char** last) {
    const std::string& s = input();
    *first = s.data();
    *last = s.data() + s.size();
}
void replace_text(DODE_Rec*, int start, int end, const char* first, const char* last) {
    DODE_edit = 1;
    std::string& s = input();
    const int len = static_cast<int>(s.size());
    start = std::clamp(start, 0, len);
    end = std::clamp(end, start, len);
    if (first == last || !first) s.erase(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
    else s.replace(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start), first,
                   static_cast<std::size_t>(last - first));
}
float line_height(DODE_Rec*) { return kLineHeight; }
const unsigned char* bytes(const char* p) { return reinterpret_cast<const unsigned char*>(p); }
float measure_string(DODE_Rec*, const char* first, const char* last) {
    return OGL_measure_range(bytes(first), bytes(last));
}
int fit_forward(DODE_Rec*, const char* first, const char* last, float width) {
    return static_cast<int>(OGL_fit_forward(bytes(first), bytes(last), width) - bytes(first));
}
int fit_reverse(DODE_Rec*, const char* first, const char* last, float width) {
    return static_cast<int>(bytes(last) - OGL_fit_reverse(bytes(first), bytes(last), width));
}
// One-line fields draw at their own origin, whatever line position the engine names.
void draw_string(DODE_Rec*, const char* first, const char* last, float, float) {
    OGL_string(50, static_cast<float>(DODE_x) - DODE_dx, static_cast<float>(DODE_y) - DODE_dy,
               std::string(first, last), 9999, cs_regular, just_left);
}
void draw_selection(DODE_Rec*, float r[4]) {
    if (r[0] != r[2]) OGL_fillrect(62, 1.0f, r[0], r[1], r[2] - r[0], r[3] - r[1]);
    else OGL_line(50, colr.pulse, r[0], r[1], r[2], r[3]);
}
bool is_blank(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x80 && std::isspace(u);
}
const char* word_break(DODE_Rec*, const char* first, const char* last) {
    while (first < last && is_blank(*first)) ++first;
    while (first < last && !is_blank(*first)) ++first;
    return first;
}
const char* next_char(DODE_Rec*, const char* p) {
    const std::string& s = input();
    const char* begin = s.data();
    const int at = static_cast<int>(p - begin);
    return begin + std::min(DODE_utf8_next_pos(begin, static_cast<int>(s.size()), at), static_cast<int>(s.size()));
}
int next_pos(DODE_Rec*, int offset) {
    return DODE_utf8_next_pos(input().data(), static_cast<int>(input().size()), offset);
}
int prev_pos(DODE_Rec*, int offset) {
    return DODE_utf8_prev_pos(input().data(), static_cast<int>(input().size()), offset);
}

// Standard UTF-8; 0 for what has no encoding (surrogates, beyond 0x10FFFF).
int encode_utf8(int cp, char out[4]) {
    if (cp < 0) return 0;
    if (cp < 0x80) {
        out[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp >= 0xD800 && cp <= 0xDFFF) return 0;
    if (cp < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (cp >> 12));
        out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (cp & 0x3F));
        return 3;
    }
    if (cp > 0x10FFFF) return 0;
    out[0] = static_cast<char>(0xF0 | (cp >> 18));
    out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (cp & 0x3F));
    return 4;
}

// Keys that type no character reach the engine as the bytes it reads as editing keys.
int editing_byte(int vkey) {
    switch (vkey) {
    case 46: return 127;   // forward Delete
    case 36: return 1;     // Home
    case 35: return 4;     // End
    case 33: return 11;    // Page Up: nothing to page in one line
    case 34: return 12;    // Page Down
    default: return 0;
    }
}

// State shared by every text field.
DODE_Rec* dode = nullptr;
int focused_field_id = 0;
int char_slot[focus_queue_capacity], vkey_slot[focus_queue_capacity], flag_slot[focus_queue_capacity],
    id_slot[focus_queue_capacity];
int ctr_slot = 0;
// Entries still queued when the last field of a frame was done with them: their field was not
// drawn in that frame, so the next frame's first field drops them and the queue keeps its room.
int carried_entries = 0;
int last_pass_frame = -1;

std::string selected_bytes() {
    int s = 0, e = 0;
    DODE_GetSelection(dode, &s, &e);
    const std::string& t = input();
    s = std::clamp(s, 0, static_cast<int>(t.size()));
    e = std::clamp(e, s, static_cast<int>(t.size()));
    return t.substr(static_cast<std::size_t>(s), static_cast<std::size_t>(e - s));
}

void handle_key(int ch, int vkey, int flags) {
    int s = 0, e = 0;
    DODE_GetSelection(dode, &s, &e);
    if ((flags & kControl) && vkey == kVkCut && s < e) {
        UTL_SetTextToClipboard(selected_bytes());
        DODE_Key(dode, 8, 0);
        return;
    }
    if ((flags & kControl) && vkey == kVkCopy) {
        UTL_SetTextToClipboard(selected_bytes());
        return;
    }
    if ((flags & kControl) && vkey == kVkPaste) {
        std::string clip;
        if (UTL_GetTextFromClipboard(clip)) {
            const std::string line = BTN_one_line_paste(clip);
            DODE_ReplaceText(dode, s, e, line.data(), line.data() + line.size());
        }
        return;
    }
    const int extend = (flags & kShift) ? 1 : 0;
    if (ch == 0) {
        const int b = editing_byte(vkey);
        if (b) DODE_Key(dode, static_cast<char>(b), extend);
        return;
    }
    char buf[4];
    const int n = encode_utf8(ch, buf);
    if (n > 0) DODE_Key_MBCS(dode, n, buf, extend);
}

// Drains this field's keys from the shared queue, keeping other fields' keys in their order.
void drain_keys(int id) {
    if (ctr_slot < 1) {
        ctr_slot = 0;
        carried_entries = 0;
    }
    ctr_slot = std::min(ctr_slot, focus_queue_capacity);
    int from = 0;
    if (xtim.frame_count != last_pass_frame) {
        last_pass_frame = xtim.frame_count;
        from = std::min(carried_entries, ctr_slot);
    }
    int kept = 0;
    for (int i = from; i < ctr_slot; ++i) {
        if (id_slot[i] == id && (char_slot[i] || vkey_slot[i])) {
            if (!(flag_slot[i] & kKeyUp)) handle_key(char_slot[i], vkey_slot[i], flag_slot[i]);
            continue;
        }
        if (id_slot[i] == 0) continue;
        char_slot[kept] = char_slot[i];
        vkey_slot[kept] = vkey_slot[i];
        flag_slot[kept] = flag_slot[i];
        id_slot[kept] = id_slot[i];
        ++kept;
    }
    ctr_slot = kept;
    carried_entries = kept;
}

// Cuts text to max_len bytes without splitting a character.
void cut_to(std::string& text, int max_len) {
    std::size_t cut = static_cast<std::size_t>(std::max(0, max_len));
    if (text.size() <= cut) return;
    while (cut > 0 && is_continuation(static_cast<unsigned char>(text[cut]))) --cut;
    text.erase(cut);
}

}  // namespace

const DODE_Callbacks DODE_cbs = {
    visible_bounds, logical_bounds, set_logical_height, scroll_to,   get_text,  replace_text,
    line_height,    measure_string, fit_forward,        fit_reverse, draw_string, draw_selection,
    word_break,     next_char,      next_pos,           prev_pos,
};

std::string BTN_one_line_paste(const std::string& clip) {
    std::string out;
    bool pending_break = false;
    for (const char c : clip) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\r' || c == '\n') {
            pending_break = true;
            continue;
        }
        if (u < 0x20 && c != '\t') continue;
        if (u == 0x7F) continue;
        if (pending_break && !out.empty()) out += ' ';
        pending_break = false;
        out += c == '\t' ? ' ' : c;
    }
    return out;
}

int BTN_enterstring(float x, float y, std::string* text, int max_len, const std::string& label, float w,
                    int take_focus) {
    const int id = static_cast<int>(y) + static_cast<int>(x) * 8192;
    if (!dode) dode = DODE_Create(&DODE_cbs, nullptr);

    const bool pressed_inside = mbar.open_menu == -1 && mnw.click_hit && mnw.mouse_x >= x && mnw.mouse_x <= x + w &&
                                mnw.mouse_y >= y && mnw.mouse_y <= y + 8;
    const int take = pressed_inside || (take_focus && BTN_no_focus_yet());
    const int has_focus =
        BTN_register_focus(id, char_slot, vkey_slot, flag_slot, id_slot, &ctr_slot, focus_queue_capacity, kTextMask,
                           take ? 1 : 0);

    DODE_edit = 0;
    if (has_focus) {
        DODE_x = static_cast<int>(x);
        DODE_y = static_cast<int>(y - 1);
        DODE_entry_dx = static_cast<int>(w);
        DODE_input = text;
        const int len = static_cast<int>(text->size());
        // The caller may have changed the text since: line starts must stay inside it.
        DODE_Repaginate(dode);
        if (id != focused_field_id) {
            DODE_dx = DODE_dy = 0;
            if (!pressed_inside) DODE_SetSelection(dode, 0, len);
        }
        focused_field_id = id;
        int s = 0, e = 0;
        DODE_GetSelection(dode, &s, &e);
        e = std::clamp(e, 0, len);
        s = std::clamp(s, 0, e);
        DODE_SetSelection(dode, s, e);
        if (mnw.click_hit) DODE_Click(dode, mnw.mouse_x, mnw.mouse_y, 0);
        else if (mnw.mouse_held) DODE_Drag(dode, mnw.mouse_x, mnw.mouse_y);
    }

    if (has_focus) drain_keys(id);
    else if (ctr_slot < 1) ctr_slot = 0;

    if (DODE_edit && static_cast<int>(text->size()) > max_len) {
        cut_to(*text, max_len);
        DODE_Repaginate(dode);
        int s = 0, e = 0;
        DODE_GetSelection(dode, &s, &e);
        DODE_SetSelection(dode, s, e);
    }

    std::string left, right, help_part;
    BTN_expand_label(label, &left, &right, &help_part);
    BTN_frame1(9, x + w * 0.5f - 2, y + 3, w + 10, 57);
    BTN_util_draw_label(x - 12, y, 0, left, 0);
    BTN_util_draw_label(x + w + 6, y, 2, right, 0);
    // The clip holds the face's whole ascent and descent around the baseline (y - 1), so accents
    // on capitals and descenders are not cut.
    float ascent = 0, descent = 0;
    TT_line_extent(&ascent, &descent);
    OGL_scissors(x - 1, std::floor(y - 1 - descent), w + 2, ascent + descent + 1);
    if (has_focus) DODE_Draw(dode, 1);
    else OGL_string(50, x, y - 1, *text, 9999, cs_regular, just_left);
    OGL_scissors_end();

    if (mnw.mouse_x >= x && mnw.mouse_x <= x + w && mnw.mouse_y >= y - 5 && mnw.mouse_y <= y + 15)
        help.help_text = help_part;
    return DODE_edit;
}

int BTN_enterstring(float x, float y, char* text, int max_len, const std::string& label, float w, int take_focus) {
    // The array holds max_len + 1 bytes; the copy back keeps at most 499 of them.
    const int room = std::clamp(max_len, 0, kLongestArrayText);
    std::string s(text, strnlen(text, static_cast<std::size_t>(std::max(0, max_len)) + 1));
    const int changed = BTN_enterstring(x, y, &s, room, label, w, take_focus);
    if (changed) {
        cut_to(s, room);
        std::memcpy(text, s.data(), s.size());
        text[s.size()] = '\0';
    }
    // The engine must not keep pointing at this frame's copy.
    if (DODE_input == &s) DODE_input = nullptr;
    return changed;
}

int BTN_is_text_on_clipboard() {
    platform::clip_ref ref;
    int flags = 0;
    if (platform::clipboard_current(ref)) return 0;
    return platform::clipboard_flavour_flags(ref, platform::clip_text_code, flags) ? 0 : 1;
}

int BTN_text_to_clipboard(const std::string& text) {
    if (const int st = platform::clipboard_clear()) return st;
    platform::clip_ref ref;
    if (const int st = platform::clipboard_current(ref)) return st;
    return platform::clipboard_put(ref, platform::clip_text_code, 0, text.data(), text.size());
}

int BTN_text_from_clipboard(std::string& text) {
    platform::clip_ref ref;
    std::size_t size = 0;
    if (platform::clipboard_current(ref) || platform::clipboard_flavour_size(ref, platform::clip_text_code, size))
        return 0;
    std::string buffer(size, '\0');
    std::size_t got = size;
    if (platform::clipboard_flavour_data(ref, platform::clip_text_code, got, buffer.data()) || got != size) return 0;
    text = std::move(buffer);
    return 1;
}

void UNDO_BeginCommand(const char*) {}

DODE_Rec* BTN_text_editor() { return dode; }

void BTN_text_fields_reset_for_test() {
    DODE_Destroy(dode);
    dode = nullptr;
    focused_field_id = 0;
    ctr_slot = carried_entries = 0;
    last_pass_frame = -1;
    DODE_x = DODE_y = DODE_entry_dx = 0;
    DODE_dx = DODE_dy = 0;
    DODE_input = nullptr;
    DODE_edit = 0;
}
