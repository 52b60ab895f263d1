#include "shell/keys.h"

#include <cctype>
#include <cstdlib>

#include "core/command_registry.h"
#include "core/mouse_record.h"
#include "platform/cf_string.h"
#include "shell/event_pump.h"
#include "ui/focus.h"
#include "render/panel_record.h"

keys_class keys;

namespace {
int offer_to_focus(uint32_t ch, int vkey, int flags) {
    return BTN_dispatch_to_focus(static_cast<int>(ch), vkey, flags);
}
}  // namespace

keys_hooks_t keys_hooks{.dispatch_to_focus = &offer_to_focus};

namespace {

struct key_name {
    int vkey;
    const char* code;
    const char* name;
};

// The named keys, in stored order.
const std::vector<key_name>& key_names() {
    static const std::vector<key_name> rows = [] {
        std::vector<key_name> r = {
            {8, "VNLM_VK_BACK", "Backspace"}, {9, "VNLM_VK_TAB", "Tab"}, {12, "VNLM_VK_CLEAR", "Clear"},
            {13, "VNLM_VK_RETURN", "Return"}, {27, "VNLM_VK_ESCAPE", "Escape"}, {32, "VNLM_VK_SPACE", "Space"},
            {33, "VNLM_VK_PRIOR", "PageUp"}, {34, "VNLM_VK_NEXT", "PageDown"}, {35, "VNLM_VK_END", "End"},
            {36, "VNLM_VK_HOME", "Home"}, {37, "VNLM_VK_LEFT", "Left"}, {38, "VNLM_VK_UP", "Up"},
            {39, "VNLM_VK_RIGHT", "Right"}, {40, "VNLM_VK_DOWN", "Down"}, {41, "VNLM_VK_SELECT", "Select"},
            {42, "VNLM_VK_PRINT", "Print"}, {43, "VNLM_VK_EXECUTE", "Execute"}, {44, "VNLM_VK_SNAPSHOT", "Snapshot"},
            {45, "VNLM_VK_INSERT", "Insert"}, {46, "VNLM_VK_DELETE", "Delete"}, {47, "VNLM_VK_HELP", "Help"},
        };
        static const char* const digits[] = {"VNLM_VK_0", "VNLM_VK_1", "VNLM_VK_2", "VNLM_VK_3", "VNLM_VK_4",
                                             "VNLM_VK_5", "VNLM_VK_6", "VNLM_VK_7", "VNLM_VK_8", "VNLM_VK_9"};
        static const char* const digit_names[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
        for (int i = 0; i < 10; ++i) r.push_back({48 + i, digits[i], digit_names[i]});
        static std::string letter_codes[26], letter_names[26];
        for (int i = 0; i < 26; ++i) {
            letter_codes[i] = "VNLM_VK_";
            letter_codes[i].push_back(static_cast<char>('A' + i));
            letter_names[i] = std::string(1, static_cast<char>('A' + i));
            r.push_back({65 + i, letter_codes[i].c_str(), letter_names[i].c_str()});
        }
        static std::string pad_codes[10], pad_names[10];
        for (int i = 0; i < 10; ++i) {
            pad_codes[i] = std::string("VNLM_VK_NUMPAD").append(std::to_string(i));
            pad_names[i] = std::string("Numpad-").append(std::to_string(i));
            r.push_back({96 + i, pad_codes[i].c_str(), pad_names[i].c_str()});
        }
        r.insert(r.end(), {{106, "VNLM_VK_MULTIPLY", "Numpad-*"}, {107, "VNLM_VK_ADD", "Numpad-+"},
                           {109, "VNLM_VK_SUBTRACT", "Numpad--"}, {110, "VNLM_VK_DECIMAL", "Numpad-."},
                           {111, "VNLM_VK_DIVIDE", "Numpad-/"}});
        static std::string f_codes[24], f_names[24];
        for (int i = 0; i < 24; ++i) {
            f_codes[i] = std::string("VNLM_VK_F").append(std::to_string(i + 1));
            f_names[i] = std::string("F").append(std::to_string(i + 1));
            r.push_back({112 + i, f_codes[i].c_str(), f_names[i].c_str()});
        }
        r.insert(r.end(), {{176, "VNLM_VK_EQUAL", "="}, {177, "VNLM_VK_MINUS", "-"}, {178, "VNLM_VK_RBRACE", "]"},
                           {179, "VNLM_VK_LBRACE", "["}, {180, "VNLM_VK_QUOTE", "'"},
                           {181, "VNLM_VK_SEMICOLON", ";"}, {182, "VNLM_VK_BACKSLASH", "\\"},
                           {183, "VNLM_VK_COMMA", ","}, {184, "VNLM_VK_SLASH", "/"}, {185, "VNLM_VK_PERIOD", "."},
                           {186, "VNLM_VK_BACKQUOTE", "`"}, {187, "VNLM_VK_ENTER", "Enter"},
                           {188, "VNLM_VK_NUMPAD_ENT", "Numpad-Enter"}, {189, "VNLM_VK_NUMPAD_EQ", "Numpad-="}});
        return r;
    }();
    return rows;
}

struct code_to_vkey {
    int code;
    int vkey;
};
// Keys found by their physical position (the digit row among them, whatever the layout).
constexpr code_to_vkey kKeyTranslations[] = {
    {18, 49}, {19, 50}, {20, 51}, {21, 52}, {23, 53}, {22, 54}, {26, 55}, {28, 56}, {25, 57}, {29, 48},
    {65, VNLM_VK_DECIMAL}, {67, VNLM_VK_MULTIPLY}, {69, VNLM_VK_ADD}, {71, VNLM_VK_CLEAR}, {75, VNLM_VK_DIVIDE},
    {76, VNLM_VK_NUMPAD_ENT}, {78, VNLM_VK_SUBTRACT}, {81, VNLM_VK_NUMPAD_EQ}, {82, 96}, {83, 97}, {84, 98},
    {85, 99}, {86, 100}, {87, 101}, {88, 102}, {89, 103}, {91, 104}, {92, 105},
    {36, VNLM_VK_RETURN}, {48, VNLM_VK_TAB}, {49, VNLM_VK_SPACE}, {51, VNLM_VK_BACK}, {53, VNLM_VK_ESCAPE},
    {114, VNLM_VK_HELP}, {115, VNLM_VK_HOME}, {116, VNLM_VK_PRIOR}, {117, VNLM_VK_DELETE}, {119, VNLM_VK_END},
    {121, VNLM_VK_NEXT}, {123, VNLM_VK_LEFT}, {124, VNLM_VK_RIGHT}, {125, VNLM_VK_DOWN}, {126, VNLM_VK_UP},
    {122, 112}, {120, 113}, {99, 114}, {118, 115}, {96, 116}, {97, 117}, {98, 118}, {100, 119}, {101, 120},
    {109, 121}, {103, 122}, {111, 123}, {105, 124}, {107, 125}, {113, 126}, {106, 127}, {64, 128}, {79, 129},
    {80, 130}, {90, 131},
};
static_assert(sizeof kKeyTranslations / sizeof kKeyTranslations[0] == 63);

struct char_to_vkey {
    int ch;
    int vkey;
};
// Letters and punctuation, found by the character the key types.
const std::vector<char_to_vkey>& ascii_mappings() {
    static const std::vector<char_to_vkey> rows = [] {
        std::vector<char_to_vkey> r = {{46, VNLM_VK_PERIOD}, {32, VNLM_VK_SPACE}};
        for (int i = 0; i < 26; ++i) r.push_back({'a' + i, 65 + i});
        r.insert(r.end(), {{61, VNLM_VK_EQUAL}, {45, VNLM_VK_MINUS}, {93, VNLM_VK_RBRACE}, {91, VNLM_VK_LBRACE},
                           {39, VNLM_VK_QUOTE}, {59, VNLM_VK_SEMICOLON}, {92, VNLM_VK_BACKSLASH},
                           {44, VNLM_VK_COMMA}, {47, VNLM_VK_SLASH}, {46, VNLM_VK_PERIOD}, {96, VNLM_VK_BACKQUOTE}});
        for (int i = 0; i < 10; ++i) r.push_back({'0' + i, 48 + i});
        return r;
    }();
    return rows;
}

struct char_translation {
    int ch;
    int vkey;
    int flags;
};
// The key and shift state that type each character on a US keyboard.
const std::vector<char_translation>& char_translations() {
    static const std::vector<char_translation> rows = [] {
        std::vector<char_translation> r = {{13, VNLM_VK_RETURN, 0}, {27, VNLM_VK_ESCAPE, 0}, {9, VNLM_VK_TAB, 0},
                                           {8, VNLM_VK_BACK, 0},    {28, VNLM_VK_LEFT, 0},   {29, VNLM_VK_RIGHT, 0},
                                           {30, VNLM_VK_UP, 0},     {31, VNLM_VK_DOWN, 0},   {32, VNLM_VK_SPACE, 0}};
        for (int i = 0; i < 10; ++i) r.push_back({'0' + i, 48 + i, 0});
        for (int i = 0; i < 26; ++i) r.push_back({'a' + i, 65 + i, 0});
        for (int i = 0; i < 26; ++i) r.push_back({'A' + i, 65 + i, 1});
        const int punct_keys[] = {VNLM_VK_BACKQUOTE, VNLM_VK_MINUS, VNLM_VK_EQUAL, VNLM_VK_LBRACE,
                                  VNLM_VK_RBRACE, VNLM_VK_BACKSLASH, VNLM_VK_SEMICOLON, VNLM_VK_QUOTE,
                                  VNLM_VK_COMMA, VNLM_VK_PERIOD, VNLM_VK_SLASH};
        const int plain[] = {96, 45, 61, 91, 93, 92, 59, 39, 44, 46, 47};
        for (int i = 0; i < 11; ++i) r.push_back({plain[i], punct_keys[i], 0});
        const int shifted_digits[] = {33, 64, 35, 36, 37, 94, 38, 42, 40, 41};
        const int digit_keys[] = {49, 50, 51, 52, 53, 54, 55, 56, 57, 48};
        for (int i = 0; i < 10; ++i) r.push_back({shifted_digits[i], digit_keys[i], 1});
        const int shifted[] = {126, 95, 43, 123, 125, 124, 58, 34, 60, 62, 63};
        for (int i = 0; i < 11; ++i) r.push_back({shifted[i], punct_keys[i], 1});
        return r;
    }();
    return rows;
}

int vkey_from_code(int code) {
    for (const code_to_vkey& p : kKeyTranslations)
        if (p.code == code) return p.vkey;
    return 0;
}

// The key's character as special keys type it, whatever the layout says.
int special_char(int vkey, int ch) {
    switch (vkey) {
    case VNLM_VK_BACK: return 8;
    case VNLM_VK_TAB: return 9;
    case VNLM_VK_RETURN: return 13;
    case VNLM_VK_ESCAPE: return 27;
    case VNLM_VK_LEFT: return 28;
    case VNLM_VK_RIGHT: return 29;
    case VNLM_VK_UP: return 30;
    case VNLM_VK_DOWN: return 31;
    case VNLM_VK_DECIMAL: return '.';
    default:
        if (vkey >= 96 && vkey <= 105) return '0' + (vkey - 96);
        return ch;
    }
}

int last_key_down_vkey = 0;
uint32_t last_uni_code = 0;
int last_key_down_flags = 0;

}  // namespace

keys_class::keys_class() {
    for (const key_name& k : key_names()) max_named_key = std::max(max_named_key, k.vkey);
    for (int n = 1; n <= max_named_key; ++n) {
        bool named = false;
        for (const key_name& k : key_names()) named = named || k.vkey == n;
        if (!named) spare_keys.push_back(n);
    }
}

void keys_class::handle_key_raw(const EventRecord* event) {
    // 1. Flags.
    int flags = 0;
    if (event->modifiers & shiftKey) flags |= vnlm_ShiftFlag;
    if (event->modifiers & optionKey) flags |= vnlm_OptionAltFlag;
    if (event->modifiers & (controlKey | cmdKey)) flags |= vnlm_ControlFlag;
    if (event->what == keyDown) flags |= vnlm_DownFlag;
    if (event->what == keyUp) flags |= vnlm_UpFlag;

    // 2. Characters, as the platform's keyboard layout gave them.
    uint32_t ch = event->ch;
    const uint32_t lower = event->lower, upper = event->upper;

    // 3. The virtual key.
    const int code = static_cast<int>(event->message >> 8);
    int vkey = vkey_from_code(code);
    if (!vkey) {
        for (const char_to_vkey& m : ascii_mappings())
            if ((lower && static_cast<uint32_t>(m.ch) == lower) || (upper && static_cast<uint32_t>(m.ch) == upper)) {
                vkey = m.vkey;
                break;
            }
    }
    if (!vkey) {
        const int spares = static_cast<int>(spare_keys.size());
        vkey = code < spares ? spare_keys[static_cast<std::size_t>(code)] : max_named_key + 1 + (code - spares);
    }

    // 4. Special keys type their own characters.
    ch = static_cast<uint32_t>(special_char(vkey, static_cast<int>(ch)));

    // 5. A key-up reports the character of its key-down.
    const int modifiers = flags & 7;
    if (event->what == keyDown) {
        last_key_down_vkey = vkey;
        last_uni_code = ch;
        last_key_down_flags = modifiers;
    } else if (event->what == keyUp && vkey == last_key_down_vkey && modifiers == last_key_down_flags) {
        ch = last_uni_code;
    }

    // 6.
    if (!vkey && !flags && !ch) return;

    // 7. The focused widget first.
    if (keys_hooks.dispatch_to_focus && keys_hooks.dispatch_to_focus(ch, vkey, flags)) return;

    // 8.
    if (event->what != keyUp) {
        if (vkey == VNLM_VK_RETURN || vkey == VNLM_VK_ENTER) return_hit = 1;
        if (vkey == VNLM_VK_ESCAPE) escape_hit = 1;
        if (vkey == VNLM_VK_DELETE || vkey == VNLM_VK_BACK) delete_hit = 1;
        if (wins.panel_id != 0) {
            const bool modal = wins.panel_id >= 994 && wins.panel_id <= 999;
            if (return_hit || escape_hit) {
                // Modal dialogs read the two keys in their own loops; other panels close.
                if (!modal) MACIBM_close_win();
                return;
            }
        }
        if (static_cast<int>(ch) > 0 && (ch & 127)) mnw.last_char = static_cast<int>(ch & 127);
    }

    // 9.
    last_vkey = vkey;
    last_flags = modifiers;

    // 10.
    if (wins.panel_id != 999 &&
        (vkey == VNLM_VK_RETURN || vkey == VNLM_VK_ENTER || (vkey != 0 && mnw.key_cmnds_off == 0)))
        execute_key_cmnd(vkey, flags);
}

void keys_class::execute_key_cmnd(int vkey, int flags) {
    for (key_binding& b : bindings) {
        if (b.vkey != vkey) continue;
        if ((flags & vnlm_DownFlag) && (flags & 7) == b.flags) b.held = 1;
        if (b.held && (flags & vnlm_UpFlag)) b.held = 0;
    }
}

void keys_class::handle_key(int vkey, int flags) {
    if (vkey == VNLM_VK_ENTER || vkey == VNLM_VK_RETURN || (vkey != 0 && mnw.key_cmnds_off == 0))
        execute_key_cmnd(vkey, flags);
}

void keys_class::run_repeat_keys() {
    // Held bindings repeat nothing in this program; the visit is all there is.
    for (key_binding& b : bindings) (void)b;
}

int keys_class::key_bound_to(int vkey, int flags) const {
    for (const key_binding& b : bindings)
        if (b.vkey == vkey && b.flags == flags) return b.cmnd;
    return 0;
}

void keys_class::keys_io(int write) {
    if (write) return;
    bindings.assign(num_default_commands, key_binding{});
    for (int i = 0; i < num_default_commands; ++i) {
        const cmnd_default& row = default_commands[i];
        bindings[static_cast<std::size_t>(i)] = {row.key, row.flags, cmnd.get_cmnd_by_name(row.path), 0};
    }
    std::erase_if(bindings, [](const key_binding& b) { return b.vkey == 0; });
}

std::string keys_class::vkey_to_str(int vkey) {
    if (vkey == 0) return "<NONE>";
    for (const key_name& k : key_names())
        if (k.vkey == (vkey & 0xFF) && vkey <= 255) return k.name;
    return std::string("KEY").append(std::to_string(vkey));
}

std::string keys_class::vkey_to_code(int vkey) {
    for (const key_name& k : key_names())
        if (k.vkey == (vkey & 0xFF) && vkey >= 0 && vkey <= 255) return k.code;
    return std::to_string(vkey);
}

int keys_class::str_to_vkey(const std::string& text) {
    for (const key_name& k : key_names()) {
        const std::string name = k.name;
        if (name.size() != text.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i)
            same = std::tolower(static_cast<unsigned char>(name[i])) == std::tolower(static_cast<unsigned char>(text[i]));
        if (same) return k.vkey;
    }
    if (text.size() > 3 && text.compare(0, 3, "KEY") == 0) {
        const char* start = text.c_str() + 3;
        char* end = nullptr;
        const long v = std::strtol(start, &end, 10);
        if (end != start && *end == '\0') return static_cast<int>(v);
    }
    return 0;
}

std::string keys_class::flag_to_str(int flags) {
    std::string out;
    const char* names[] = {"SHIFT", "ALT", "CTRL"};
    for (int i = 0; i < 3; ++i)
        if (flags & (1 << i)) {
            if (!out.empty()) out.push_back('+');
            out.append(names[i]);
        }
    return out.empty() ? "<none>" : out;
}

std::string keys_class::flag_to_code(int flags) {
    std::string out;
    const char* names[] = {"vnlm_ShiftFlag", "vnlm_OptionAltFlag", "vnlm_ControlFlag"};
    for (int i = 0; i < 3; ++i)
        if (flags & (1 << i)) {
            if (!out.empty()) out.push_back('+');
            out.append(names[i]);
        }
    return out.empty() ? "0" : out;
}

int keys_class::str_to_flag(const std::string& text) {
    int f = 0;
    if (text.find("SHIFT") != std::string::npos) f |= 1;
    if (text.find("ALT") != std::string::npos) f |= 2;
    if (text.find("CTRL") != std::string::npos) f |= 4;
    return f;
}

std::string keys_class::get_key_for_cmnd(int cmnd_index) const {
    for (const key_binding& b : bindings) {
        if (b.cmnd != cmnd_index) continue;
        if (b.vkey == 0) return "";
        std::string name = vkey_to_str(b.vkey);
        if (!name.empty()) name[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[0])));
        if (!b.flags) return name;
        std::string text = flag_to_str(b.flags);
        text.push_back('-');
        return text.append(name);
    }
    return "";
}

int keys_class::ascii_to_vkey(int ch, int& vkey, int& flags) {
    for (const char_translation& t : char_translations())
        if (t.ch == ch) {
            vkey = t.vkey;
            flags = t.flags;
            return 1;
        }
    vkey = flags = 0;
    return 0;
}

uint32_t script_to_utf32(int byte) {
    const std::string one(1, static_cast<char>(byte));
    CFStringRef s = platform::cf_string_create(one, kCFStringEncodingMacRoman);
    if (!s) return byte < 128 ? static_cast<uint32_t>(byte) : 0;
    const uint32_t cp = s->chars.empty() ? 0 : static_cast<uint32_t>(s->chars[0]);
    platform::cf_release(s);
    return cp;
}
