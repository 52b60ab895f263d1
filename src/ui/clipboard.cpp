#include "ui/clipboard.h"

#include <climits>

#include "platform/clipboard.h"

std::vector<uint32_t> sCITs;
std::vector<std::string> sClipStrings;

namespace {

uint32_t private_counter = platform::four_char_code("PRV0");

void init_if_empty() {
    if (sClipStrings.empty()) UTL_InitClipboard();
}

// Indices come from the registration calls; anything else is refused rather than read past
// the tables.
bool known_type(int type) { return type >= 0 && static_cast<std::size_t>(type) < sCITs.size(); }

// The item's size, or -1 when it is absent, unreadable or too big for the callers' int sizes.
long item_size(int type) {
    platform::clip_ref ref;
    std::size_t size = 0;
    if (!known_type(type) || platform::clipboard_current(ref) ||
        platform::clipboard_flavour_size(ref, sCITs[static_cast<std::size_t>(type)], size) || size > INT_MAX)
        return -1;
    return static_cast<long>(size);
}

}  // namespace

void UTL_InitClipboard() {
    sCITs.push_back(platform::clip_text_code);
    sClipStrings.emplace_back("text");
}

int UTL_GetTextClipType() {
    init_if_empty();
    return 0;
}

int UTL_RegisterPrivateClipType(const char* name) {
    init_if_empty();
    const std::string wanted = name ? name : "";
    for (std::size_t i = 0; i < sClipStrings.size(); ++i)
        if (sClipStrings[i] == wanted) return static_cast<int>(i);
    sClipStrings.push_back(wanted);
    sCITs.push_back(private_counter++);
    return static_cast<int>(sClipStrings.size() - 1);
}

bool UTL_Clipboard_SetData(int count, const int types[], const int sizes[], const void* const data[]) {
    if (platform::clipboard_clear()) return false;
    platform::clip_ref ref;
    if (platform::clipboard_current(ref)) return false;
    if (count <= 0) return true;
    if (!types || !sizes || !data) return false;
    for (int i = 0; i < count; ++i) {
        if (!known_type(types[i]) || sizes[i] < 0) return false;
        const int flags = i == 0 ? 0 : platform::clip_sender_only;
        if (platform::clipboard_put(ref, sCITs[static_cast<std::size_t>(types[i])], flags, data[i],
                                    static_cast<std::size_t>(sizes[i])))
            return false;
    }
    return true;
}

int UTL_Clipboard_HasClipType(int type) {
    if (!known_type(type)) return 0;
    platform::clip_ref ref;
    int flags = 0;
    if (platform::clipboard_current(ref) ||
        platform::clipboard_flavour_flags(ref, sCITs[static_cast<std::size_t>(type)], flags))
        return 0;
    // Text put by another program carries no mark.
    return type == 0 || (flags & platform::clip_sender_only) ? 1 : 0;
}

int UTL_Clipboard_GetSize(int type) {
    const long size = item_size(type);
    return size < 0 ? 0 : static_cast<int>(size);
}

bool UTL_Clipboard_GetData(int type, int size, void* buffer) {
    if (size < 0 || item_size(type) != size) return false;
    platform::clip_ref ref;
    std::size_t copied = static_cast<std::size_t>(size);
    if (platform::clipboard_current(ref) ||
        platform::clipboard_flavour_data(ref, sCITs[static_cast<std::size_t>(type)], copied, buffer))
        return false;
    return copied == static_cast<std::size_t>(size);
}

void UTL_Clipboard_GetTypes(std::vector<int>& types) {
    types.clear();
    platform::clip_ref ref;
    std::vector<platform::clip_flavour_info> flavours;
    if (platform::clipboard_current(ref) || platform::clipboard_flavours(ref, flavours)) return;
    for (const platform::clip_flavour_info& f : flavours) {
        for (std::size_t i = 0; i < sCITs.size(); ++i) {
            if (sCITs[i] != f.code) continue;
            if (i == 0 || (f.flags & platform::clip_sender_only)) types.push_back(static_cast<int>(i));
            break;
        }
    }
}

bool UTL_SetTextToClipboard(const std::string& text) {
    init_if_empty();
    const int type = 0;
    const int size = text.size() > INT_MAX ? -1 : static_cast<int>(text.size());
    const void* data = text.data();
    return UTL_Clipboard_SetData(1, &type, &size, &data);
}

bool UTL_GetTextFromClipboard(std::string& text) {
    init_if_empty();
    platform::clip_ref ref;
    int flags = 0;
    if (platform::clipboard_current(ref) || platform::clipboard_flavour_flags(ref, platform::clip_text_code, flags))
        return false;
    const long size = item_size(0);
    if (size <= 0) return false;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (!UTL_Clipboard_GetData(0, static_cast<int>(size), bytes.data())) return false;
    text = std::move(bytes);
    return true;
}

void UTL_clipboard_reset_for_test() {
    sCITs.clear();
    sClipStrings.clear();
    private_counter = platform::four_char_code("PRV0");
}
