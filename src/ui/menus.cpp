#include "ui/menus.h"

#include <algorithm>

#include "core/alert.h"
#include "core/frame_clock.h"
#include "core/localisation.h"
#include "core/log.h"
#include "core/mouse_record.h"
#include "core/number_text.h"
#include "files/file_header.h"
#include "files/xmap.h"
#include "render/ogl_draw.h"
#include "ui/frames.h"
#include "ui/help_record.h"
#include "ui/labels.h"
#include "render/panel_record.h"
#include "ui/tt_font.h"

mbar_class mbar;

// Every application that links the toolkit brings its own; this one stands in for those that
// make no menus.
__attribute__((weak)) void APP_handlemenu(int) {}

namespace {

const char kMbarFile[] = "QFutils/OOPS_cpp/mbar";
const char kButtonsFile[] = "QFutils/OOPS_cpp/butn";

constexpr int kItemHeight = 12;
constexpr int kSeparatorHeight = 2;

using item_struct = mbar_class::item_struct;
using menu_struct = mbar_class::menu_struct;

bool is_separator(const std::string& text) { return !text.empty() && text[0] == '-'; }

bool can_choose(const item_struct& it) { return !it.text.empty() && it.text[0] != '-' && it.text[0] != '='; }

template <typename R>
bool holds(const R& r, float x, float y) {
    return r.left <= x && x <= r.right && r.bottom <= y && y <= r.top;
}

int16_t i16(float v) { return static_cast<int16_t>(static_cast<int>(v)); }

// Opening a panel closes whatever menu was open and forgets where the popup was.
void close_for_new_panel() {
    mbar.open_menu = -1;
    mbar.mbar_clear_popup();
}
[[maybe_unused]] const bool kPanelHook = (wins_hooks.menus_close = &close_for_new_panel, true);

// The box every item with text spans, as the menu is drawn: each new lowest bottom and highest top
// gets 2 units of margin. Zero when no item has text.
struct box_t {
    float left = 9999, bottom = 9999, right = 0, top = 0;
};
box_t drawn_box(const menu_struct& m) {
    box_t b;
    bool any = false;
    for (const item_struct& it : m.items) {
        if (it.text.empty()) continue;
        any = true;
        b.left = std::min<float>(b.left, it.left);
        b.right = std::max<float>(b.right, it.right);
        if (it.bottom < b.bottom) b.bottom = static_cast<float>(it.bottom - 2);
        if (it.top > b.top) b.top = static_cast<float>(it.top + 2);
    }
    return any ? b : box_t{0, 0, 0, 0};
}

// "code title": the number before the first blank, the text after the blanks that follow it.
void split_line(const std::string& line, int* number, std::string* text) {
    const std::size_t blank = line.find(' ');
    if (blank == std::string::npos) {
        *number = str_to_int(line);
        text->clear();
        return;
    }
    *number = str_to_int(line.substr(0, blank));
    const std::size_t from = line.find_first_not_of(' ', blank);
    *text = from == std::string::npos ? std::string() : line.substr(from);
}

// Narrower popups where the translations run longer.
float language_width_factor(int lang) {
    switch (lang) {
    case 1: case 4: case 5: return 0.95f;
    case 2: case 3: return 0.9f;
    default: return 1.0f;
    }
}

}  // namespace

void mbar_class::mbar_nuke_menus(int how) {
    if (how != 1) return;
    menus.resize(menu_slots);
    for (int i = 0; i < menu_slots; ++i) mbar_nuke_menu(i);
}

void mbar_class::mbar_nuke_menu(int index) {
    if (index < 0 || index >= static_cast<int>(menus.size())) return;
    menu_struct& m = menus[index];
    m.title.clear();
    m.parent_code = -1;
    m.left = m.bottom = m.right = m.top = 0;
    m.items.clear();
}

void mbar_class::mbar_create_menu(int index, int code, const std::string& title) {
    static float next_x = 0;   // left edge of the next title in the bar
    if (index < 0 || index >= menu_slots || index >= static_cast<int>(menus.size())) {
        __MACIBM_alert(0, "Menu index out of range in create_menu!", "", "", title, t_crash, kMbarFile, 516);
        return;
    }
    menu_struct& m = menus[index];
    m.title = title.size() >= max_title ? title.substr(0, max_title) : title;
    if (code == 0) {
        m.parent_code = -1;
        if (index == 0) next_x = 0;
        const float w = OGL_measure_string(m.title);
        m.left = i16(next_x);
        m.right = i16(next_x + w + 30);
        m.bottom = i16(static_cast<float>(wins.win_px_h - 18));
        m.top = i16(static_cast<float>(wins.win_px_h));
        // The plugins' menu shares its place with the title after it.
        if (m.title != "Plugins") next_x = m.right;
        return;
    }
    const int parent = code / max_items, item = code % max_items;
    if (code < 0 || parent >= static_cast<int>(menus.size())) {
        __MACIBM_alert(0, "Menu index out of range in create_menu!", "", "", title, t_crash, kMbarFile, 516);
        return;
    }
    m.parent_code = parent;
    const std::vector<item_struct>& opener = menus[parent].items;
    if (item < static_cast<int>(opener.size())) {
        m.left = opener[item].left;
        m.bottom = opener[item].bottom;
        m.right = opener[item].right;
        m.top = opener[item].top;
    } else {
        m.left = m.bottom = m.right = m.top = 0;
    }
}

void mbar_class::mbar_append_menu_item(int menu, int item, int command, const std::string& text) {
    if (menu < 0 || item < 0) return;
    if (menu >= menu_slots) {
        __MACIBM_alert(0, "Menu index out of range in append_menu!", "", "", "", t_crash, kMbarFile, 461);
        return;
    }
    if (item >= max_items) {
        __MACIBM_alert(0, "Item index out of range in append_menu!", "", "", "", t_crash, kMbarFile, 462);
        return;
    }
    if (menu >= static_cast<int>(menus.size())) return;
    menu_struct& m = menus[menu];
    if (static_cast<int>(m.items.size()) < item + 1) m.items.resize(item + 1);
    item_struct& it = m.items[item];
    it.text = text;
    it.command = command;
    const int h = is_separator(text) ? kSeparatorHeight : kItemHeight;
    if (item > 0) {
        const int16_t prev_bottom = m.items[item - 1].bottom;
        it.bottom = static_cast<int16_t>(prev_bottom - h);
        it.top = prev_bottom;
    } else if (m.parent_code == -1) {
        it.bottom = static_cast<int16_t>(m.bottom - h - 2);
        it.top = static_cast<int16_t>(m.bottom - 2);
    } else {
        it.bottom = static_cast<int16_t>(m.bottom - 2);
        it.top = static_cast<int16_t>(m.top - 2);
    }
    float width = 40;
    for (const item_struct& each : m.items) width = std::max(width, OGL_measure_string(each.text) + 40);
    for (item_struct& each : m.items) {
        each.left = m.left;
        each.right = i16(static_cast<float>(m.left) + width);
    }
}

void mbar_class::mbar_remove_menu_item(int menu, int item) {
    if (menu < 0 || item < 0) return;
    if (menu >= menu_slots) {
        __MACIBM_alert(0, "Menu index out of range in append_menu!", "", "", "", t_crash, kMbarFile, 444);
        return;
    }
    if (item >= max_items) {
        __MACIBM_alert(0, "Item index out of range in append_menu!", "", "", "", t_crash, kMbarFile, 445);
        return;
    }
    if (menu >= static_cast<int>(menus.size())) return;
    std::vector<item_struct>& items = menus[menu].items;
    if (item >= static_cast<int>(items.size())) return;
    const int h = items[item].top - items[item].bottom;
    items.erase(items.begin() + item);
    for (std::size_t k = static_cast<std::size_t>(item); k < items.size(); ++k) {
        items[k].bottom = static_cast<int16_t>(items[k].bottom + h);
        items[k].top = static_cast<int16_t>(items[k].top + h);
    }
}

void mbar_class::mbar_rename_menu_item(int menu, int item, const std::string& text) {
    if (menu < 0 || item < 0) return;
    if (menu >= menu_slots || item >= max_items) {
        mbar_append_menu_item(menu, item, 0, text);   // the out-of-range alert
        return;
    }
    if (menu >= static_cast<int>(menus.size()) || item >= static_cast<int>(menus[menu].items.size())) return;
    mbar_append_menu_item(menu, item, menus[menu].items[item].command, text);
}

void mbar_class::mbar_shift_menu_bar(float dy) {
    for (menu_struct& m : menus) {
        m.bottom = i16(m.bottom + dy);
        m.top = i16(m.top + dy);
        for (item_struct& it : m.items) {
            it.bottom = i16(it.bottom + dy);
            it.top = i16(it.top + dy);
        }
    }
}

void mbar_class::mbar_draw_menu_bar() {
    if (open_menu == -1 || open_menu == popup_slot) return;
    const float w = static_cast<float>(wins.win_px_w), h = static_cast<float>(wins.win_px_h);
    BTN_frame1(0, w / 2, h - 9, w, 57);
    for (const menu_struct& m : menus)
        if (!m.title.empty() && m.parent_code == -1)
            OGL_string(43, m.left + 10, m.bottom + 5, m.title, 9999, cs_regular, just_left);
}

void mbar_class::mbar_draw_menus() {
    if (open_menu < 0 || open_menu >= static_cast<int>(menus.size())) return;
    const menu_struct& m = menus[open_menu];
    const bool popup = open_menu == popup_slot;
    const box_t box = drawn_box(m);

    // The hover test leaves out an item's top row, which belongs to the item above.
    const item_struct* hovered = nullptr;
    for (const item_struct& it : m.items)
        if (can_choose(it) && it.left <= mnw.mouse_x && mnw.mouse_x <= it.right && it.bottom <= mnw.mouse_y &&
            mnw.mouse_y <= it.top - 1)
            hovered = &it;

    BTN_frame2(20, box.left, box.bottom, box.right - box.left, box.top - box.bottom, "", 1);
    if (!popup) OGL_fillrect(41, 0.25f, m.left, m.bottom, m.right - m.left, m.top - m.bottom);
    if (hovered)
        OGL_fillrect(41, 0.25f, hovered->left, hovered->bottom, hovered->right - hovered->left,
                     hovered->top - hovered->bottom);

    for (std::size_t k = 1; k < m.items.size(); ++k) {
        const item_struct& it = m.items[k];
        if (it.text.empty() || it.left == m.items[k - 1].left) continue;
        OGL_line(40, 1, it.left - 1, box.bottom - 1, it.left - 1, box.top);
        OGL_line(42, 1, it.left, box.bottom - 1, it.left, box.top);
    }

    for (const item_struct& it : m.items) {
        if (it.text.empty()) continue;
        if (is_separator(it.text)) {
            OGL_line(40, 1, it.left, it.bottom + 1, it.right - 1, it.bottom + 1);
            OGL_line(42, 1, it.left, it.bottom, it.right - 1, it.bottom);
        } else {
            OGL_string(43, it.left + (popup ? 3 : 18), it.bottom + 2, it.text, 9999, cs_regular, just_left);
        }
    }

    for (const menu_struct& sub : menus)
        if (sub.parent_code == open_menu) BTN_util_element(box.right - 8, sub.bottom + 6, 167, 187, 9, 9, 57);
}

bool mbar_class::slot_holds_pointer(int index) const {
    const menu_struct& m = menus[index];
    // An empty slot sits at 0, 0 but is never hit.
    if (index != popup_slot && m.title.empty() && m.items.empty()) return false;
    return holds(m, mnw.mouse_x, mnw.mouse_y);
}

int mbar_class::slot_under_pointer() const {
    const int n = std::min<int>(popup_slot, static_cast<int>(menus.size()));
    for (int i = 0; i < n; ++i)
        if ((menus[i].parent_code == -1 || menus[i].parent_code == open_menu) && slot_holds_pointer(i)) return i;
    return -1;
}

int mbar_class::mbar_in_any_menu() {
    if (open_menu == -1) return 0;
    for (int i = 0; i < static_cast<int>(menus.size()); ++i)
        if (i != open_menu && menus[i].parent_code == -1 && slot_holds_pointer(i)) return 1;
    return 0;
}

int mbar_class::mbar_select_an_item() {
    if (open_menu < 0 || open_menu >= static_cast<int>(menus.size())) return 0;
    const std::vector<item_struct>& items = menus[open_menu].items;
    for (std::size_t k = 0; k < items.size(); ++k) {
        if (!can_choose(items[k]) || !holds(items[k], mnw.mouse_x, mnw.mouse_y)) continue;
        if (open_menu == popup_slot) {
            popup_pick = static_cast<int>(k);
            popup_result_owner = popup_owner;
            popup_owner = 0;
        } else {
            APP_handlemenu(items[k].command);
        }
        open_menu = -1;
        mnw.click_hit = 0;
        return 1;
    }
    return 0;
}

void mbar_class::mbar_select_an_item_click() {
    if (wins.panel_active) {
        if (!mbar_select_an_item()) open_menu = -1;
        return;
    }
    const int slot = slot_under_pointer();
    if (slot >= 0) {
        open_menu = slot == open_menu ? -1 : slot;
        mnw.click_hit = 0;
        mnw.click_time = xtim.real_time;
        mnw.click_x = mnw.mouse_x;
        mnw.click_y = mnw.mouse_y;
        return;
    }
    if (!mbar_select_an_item()) open_menu = -1;
}

void mbar_class::mbar_select_an_item_release() {
    if (wins.panel_active) {
        mbar_select_an_item();
        return;
    }
    const int slot = slot_under_pointer();
    if (slot >= 0) {
        if (slot == open_menu) open_menu = -1;
        return;
    }
    mbar_select_an_item();
}

int mbar_class::mbar_check_point(int x, int y) {
    if (open_menu < 0 || open_menu >= static_cast<int>(menus.size())) return 0;
    bool any = false;
    int left = 0, bottom = 0, right = 0, top = 0;
    for (const item_struct& it : menus[open_menu].items) {
        if (it.text.empty()) continue;
        left = any ? std::min<int>(left, it.left) : it.left;
        bottom = any ? std::min<int>(bottom, it.bottom) : it.bottom;
        right = any ? std::max<int>(right, it.right) : it.right;
        top = any ? std::max<int>(top, it.top) : it.top;
        any = true;
    }
    return any && left <= x && x <= right && bottom <= y && y <= top ? 1 : 0;
}

void mbar_class::mbar_check_popup(float x, float y, float width, int last, std::string* items, int* index) {
    if (static_cast<int>(menus.size()) <= popup_slot) return;
    open_menu = popup_slot;
    menu_struct& p = menus[popup_slot];
    const int at = *index;
    p.parent_code = -1;
    p.left = static_cast<int16_t>(static_cast<int>(x - width / 2) - 2);
    p.right = static_cast<int16_t>(static_cast<int>(x + width / 2) + 4);
    p.bottom = i16(y - static_cast<float>((last - at) * kItemHeight));
    p.top = static_cast<int16_t>(p.bottom + (last + 1) * kItemHeight);
    p.items.assign(static_cast<std::size_t>(std::max(last + 1, 0)), item_struct{});
    int lowest = 0, highest = 0;
    for (int k = 0; k <= last; ++k) {
        item_struct& it = p.items[static_cast<std::size_t>(k)];
        const float row = static_cast<float>((k - at) * kItemHeight);
        it.bottom = i16(y - 3 - row);
        it.top = i16(y + 9 - row);
        it.left = p.left;
        it.right = p.right;
        it.text = items[k];
        lowest = k == 0 ? it.bottom : std::min<int>(lowest, it.bottom);
        highest = k == 0 ? it.top : std::max<int>(highest, it.top);
    }
    if (last < 0) return;
    // Keep the list inside the panel: the selection, and the list with it, moves a row a frame.
    if (lowest < 0) ++*index;
    if (static_cast<float>(highest) > wins.panel_h) --*index;
}

void mbar_class::mbar_clear_popup() {
    if (static_cast<int>(menus.size()) != menu_slots) return;
    menu_struct& p = menus[popup_slot];
    p.left = p.bottom = p.right = p.top = -1;
}

void mbar_class::mbar_read_menus(const std::string& base, const std::string& file) {
    mbar_nuke_menus(2);
    const std::string path = base + "menus/" + UTL_lang_get_folder(mnw.lang) + file;
    xmap_class map(path);
    static const int versions[] = {1, 0};
    if (!map.mem_start || !map.check_file(file_kind_text, versions, nullptr, nullptr)) {
        __MACIBM_alert(0, "Cannot open file!", path, "Trash this copy and re-install Ventaro.", "", t_quit, kMbarFile,
                       657);
        return;
    }
    // Blocks of "code title", then "command text" items, closed by "-"; an empty line (the end
    // of the file) ends the reading, also inside a block.
    for (int menu = 0;; ++menu) {
        std::string line, title;
        map.TXT_str_scan_eoln(&line);
        if (line.empty()) return;
        int code = 0;
        split_line(line, &code, &title);
        if (!string_is_utf8(title)) xer << "ERROR: menu string " << title << " has invalid UTF8 characters." << "\n";
        mbar_create_menu(menu, code, title);
        for (int item = 0;; ++item) {
            map.TXT_str_scan_eoln(&line);
            if (line.empty()) return;
            if (line == "-") break;
            int command = 0;
            std::string text;
            split_line(line, &command, &text);
            mbar_append_menu_item(menu, item, command, text);
        }
    }
}

int BTN_textlist(float x, float y, int* index, const std::string& items, const std::string& label, char separator) {
    std::vector<std::string> texts;
    for (std::size_t from = 0;;) {
        const std::size_t at = items.find(separator, from);
        texts.push_back(items.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (static_cast<int>(texts.size()) > mbar_class::max_items) {
            __MACIBM_alert(0, "BTN_text_list overflow!", items, "", label, t_crash, kButtonsFile, 964);
            return 0;
        }
        if (at == std::string::npos) break;
        from = at + 1;
    }
    const int last = static_cast<int>(texts.size()) - 1;
    *index = std::clamp(*index, 0, last);

    float widest = 20;
    for (const std::string& t : texts) widest = std::max(widest, static_cast<float>(static_cast<int>(OGL_measure_string(t))));
    const float drawn = std::max(20.0f, widest * language_width_factor(mnw.lang));

    std::string left, right, help_part;
    BTN_expand_label(label, &left, &right, &help_part);
    BTN_frame1(10, x + 10, y + 5, drawn + 28, 57);
    BTN_util_draw_label(x - drawn / 2 - 5, y, 0, left, 0);
    BTN_util_draw_label(x + drawn / 2 + 30, y, 2, right, 0);

    const int id = static_cast<int>(y * 1024 + x);
    const bool over = mnw.mouse_x >= x + 10 - widest / 2 - 15 && mnw.mouse_x <= x + 10 + widest / 2 + 15 &&
                      mnw.mouse_y >= y - 2 && mnw.mouse_y <= y + 8;
    if (mnw.click_hit && mbar.popup_owner != id && over) {
        mnw.click_x = mnw.mouse_x;
        mnw.click_y = mnw.mouse_y;
        mnw.click_time = xtim.real_time;
        mnw.click_hit = 0;
        mbar.popup_owner = id;
    }

    int picked = 0;
    if (mbar.popup_result_owner == id) {
        // The list may have changed since it was shown.
        *index = std::clamp(mbar.popup_pick, 0, last);
        mbar.popup_result_owner = 0;
        picked = 1;
    }

    if (mbar.popup_owner == id) {
        mbar.mbar_check_popup(x, y, drawn, last, texts.data(), index);
    } else {
        OGL_string(43, x, y, texts[static_cast<std::size_t>(*index)], 9999, cs_regular, just_centre);
        if (over) help.help_text = help_part;
    }
    return picked;
}
