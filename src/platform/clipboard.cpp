#include "platform/clipboard.h"

#include <SDL.h>

#include <cstring>

namespace platform {

namespace {

struct item {
    uint32_t code;
    int flags;
    std::string bytes;
};

struct clipboard_state {
    std::vector<item> items;
    uint64_t generation = 1;
    // The desktop's text as we last put or saw it; a different text means another program has
    // replaced the clipboard since.
    std::string desktop_text;
    bool desktop_known = false;
};

clipboard_state& state() {
    static clipboard_state s;
    return s;
}

bool bridged() { return SDL_WasInit(SDL_INIT_VIDEO) != 0; }

std::string desktop_read() {
    char* t = SDL_GetClipboardText();
    std::string out = t ? t : "";
    SDL_free(t);
    return out;
}

void sync_with_desktop() {
    clipboard_state& s = state();
    if (!bridged()) {
        s.desktop_known = false;
        return;
    }
    std::string desk = desktop_read();
    if (s.desktop_known && desk == s.desktop_text) return;
    s.items.clear();
    if (!desk.empty()) s.items.push_back({clip_text_code, 0, desk});
    s.desktop_text = std::move(desk);
    s.desktop_known = true;
    ++s.generation;
}

const item* find(uint32_t code) {
    for (const item& i : state().items)
        if (i.code == code) return &i;
    return nullptr;
}

int check(const clip_ref& ref) { return ref.generation == state().generation ? clip_ok : clip_changed; }

}  // namespace

int clipboard_clear() {
    clipboard_state& s = state();
    s.items.clear();
    ++s.generation;
    if (!bridged()) return clip_ok;
    if (SDL_SetClipboardText("") != 0) {
        s.desktop_known = false;   // the desktop keeps its old text; the next look takes it
        return clip_desktop_refused;
    }
    s.desktop_text.clear();
    s.desktop_known = true;
    return clip_ok;
}

int clipboard_current(clip_ref& ref) {
    sync_with_desktop();
    ref.generation = state().generation;
    return clip_ok;
}

int clipboard_put(const clip_ref& ref, uint32_t code, int flags, const void* data, std::size_t size) {
    if (const int st = check(ref)) return st;
    if (size && !data) return clip_bad_argument;
    std::string bytes(static_cast<const char*>(data), size);
    if (code == clip_text_code && bridged()) {
        // The desktop takes a C string.
        const std::string given = bytes.substr(0, std::strlen(bytes.c_str()));
        if (SDL_SetClipboardText(given.c_str()) != 0) return clip_desktop_refused;
        state().desktop_text = given;
        state().desktop_known = true;
    }
    for (item& i : state().items) {
        if (i.code != code) continue;
        i.flags = flags;
        i.bytes = std::move(bytes);
        return clip_ok;
    }
    state().items.push_back({code, flags, std::move(bytes)});
    return clip_ok;
}

int clipboard_flavour_flags(const clip_ref& ref, uint32_t code, int& flags) {
    if (const int st = check(ref)) return st;
    const item* i = find(code);
    if (!i) return clip_no_flavour;
    flags = i->flags;
    return clip_ok;
}

int clipboard_flavour_size(const clip_ref& ref, uint32_t code, std::size_t& size) {
    if (const int st = check(ref)) return st;
    const item* i = find(code);
    if (!i) return clip_no_flavour;
    size = i->bytes.size();
    return clip_ok;
}

int clipboard_flavour_data(const clip_ref& ref, uint32_t code, std::size_t& size, void* buffer) {
    if (const int st = check(ref)) return st;
    const item* i = find(code);
    if (!i) return clip_no_flavour;
    const std::size_t n = size < i->bytes.size() ? size : i->bytes.size();
    if (n && !buffer) return clip_bad_argument;
    if (n) std::memcpy(buffer, i->bytes.data(), n);
    size = n;
    return clip_ok;
}

int clipboard_flavours(const clip_ref& ref, std::vector<clip_flavour_info>& out) {
    out.clear();
    if (const int st = check(ref)) return st;
    for (const item& i : state().items) out.push_back({i.code, i.flags});
    return clip_ok;
}

void clipboard_reset_for_test() { state() = clipboard_state{}; }

}  // namespace platform
