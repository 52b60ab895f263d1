#include "ui/focus.h"

#include <cctype>

#include "core/frame_clock.h"
#include "render/panel_record.h"

std::vector<focus_info_t> focus_ring;
int focus_id = 0;
int wind_focus = 0;

namespace {

constexpr int kTab = 9;
constexpr int kShift = 1, kControl = 4, kKeyUp = 16;
constexpr int kAlertPanel = 994;

bool moves_focus(int vkey, int flags) { return vkey == kTab && !(flags & kKeyUp); }

// Which key_mask bit a widget needs to take this key. Named keys go by their virtual key, the
// rest by the character they type.
int needed_bit(int ch, int vkey, int flags) {
    switch (vkey) {
    case 27: return focus_key_escape;
    case 8:
    case 46: return focus_key_delete;
    case 9: return focus_key_tab;
    case 13:
    case 187: return focus_key_return;
    default: break;
    }
    if (vkey >= 33 && vkey <= 40) return focus_key_navigate;
    if (ch == '+' || ch == '-') return focus_key_sign;
    if (ch >= '0' && ch <= '9') return focus_key_digit;
    if ((ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z')) return focus_key_letter;
    // Code points beyond ASCII are text; isprint only ever sees 0 to 127.
    if (ch > 127 || (ch >= 0 && std::isprint(static_cast<unsigned char>(ch)))) return focus_key_printable;
    if ((flags & kControl) && (vkey == 67 || vkey == 86 || vkey == 88)) return focus_key_clipboard;
    return focus_key_control;
}

void focus_first() { focus_id = focus_ring.empty() ? 0 : focus_ring.front().widget_id; }

// Tab while nothing usable has the focus: the first widget drawn takes it.
int tab_to_first(int vkey, int flags) {
    if (!moves_focus(vkey, flags) || focus_ring.empty()) return 0;
    focus_first();
    return 1;
}

// Appends the key to the widget's queues. A full queue (or one the widget never gave) drops the
// key: it was meant for the widget, so it must not fall through to the key bindings either.
void enqueue(const focus_info_t& w, int ch, int vkey, int flags) {
    if (!w.queue_count || !w.char_queue || !w.vkey_queue || !w.flag_queue || !w.id_queue) return;
    int n = *w.queue_count;
    if (n < 0) n = 0;
    if (n >= w.queue_capacity) return;
    w.char_queue[n] = ch;
    w.vkey_queue[n] = vkey;
    w.flag_queue[n] = flags;
    w.id_queue[n] = focus_id;
    *w.queue_count = n + 1;
}

}  // namespace

void BTN_begin_focus_ring() {
    focus_ring.clear();
    wind_focus = 0;
}

int BTN_register_focus(int id, int* chars, int* vkeys, int* flags, int* ids, int* count, int capacity, int mask,
                       int take) {
    focus_ring.push_back({id, chars, vkeys, flags, ids, count, capacity, mask});
    if (take) focus_id = id;
    return focus_id == id ? 1 : 0;
}

int BTN_dispatch_to_focus(int ch, int vkey, int flags) {
    // The alert reads its keys itself.
    if (wins.panel_id == kAlertPanel) return 0;

    if (focus_id == 0) return tab_to_first(vkey, flags);

    std::size_t at = 0;
    while (at < focus_ring.size() && focus_ring[at].widget_id != focus_id) ++at;
    if (at == focus_ring.size()) {
        // The focused widget was not drawn last frame.
        focus_id = 0;
        return tab_to_first(vkey, flags);
    }
    const focus_info_t& w = focus_ring[at];

    if (moves_focus(vkey, flags) && !(w.key_mask & focus_key_tab)) {
        const long n = static_cast<long>(focus_ring.size());
        long next = static_cast<long>(at) + ((flags & kShift) ? -1 : 1);
        next = ((next % n) + n) % n;
        focus_id = focus_ring[static_cast<std::size_t>(next)].widget_id;
        return 1;
    }

    if (!(w.key_mask & needed_bit(ch, vkey, flags))) return 0;
    enqueue(w, ch, vkey, flags);
    return 1;
}

void BTN_unfocus_any() { focus_id = 0; }

void BTN_focus_any() { focus_first(); }

void BTN_window_has_focus() { wind_focus = 1; }

int BTN_no_focus_yet() { return wind_focus == 0 && focus_id == 0 ? 1 : 0; }

namespace {
// Opening a panel starts a new focus ring and drops the focus; so does a click.
const bool focus_offered = (wins_hooks.focus_ring_restart = &BTN_begin_focus_ring,
                            wins_hooks.unfocus_any = &BTN_unfocus_any,
                            frame_clock_hooks.unfocus_any = &BTN_unfocus_any, true);
}  // namespace
