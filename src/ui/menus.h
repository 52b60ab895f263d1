#pragma once
// The menu system drawn in GL: a bar of menu titles across the top of the window, drop-down
// menus with separators, disabled items and submenus, and the popup list of the popup choice
// widget. The installer makes no menus; it uses the popup slot through BTN_textlist.
//
//   mbar.mbar_create_menu(0, 0, "File");                 // a title in the bar
//   mbar.mbar_append_menu_item(0, 0, 101, "Open...");   // item 0, command 101
//   mbar.mbar_append_menu_item(0, 1, 0, "-");           // a separator
//   mbar.mbar_append_menu_item(0, 2, 102, "=Save");     // shown, never chosen
//
// An item text beginning with "-" is a separator, one beginning with "=" cannot be chosen. A
// chosen menu item goes to APP_handlemenu with its command number; a popup pick waits in
// popup_pick for the widget that opened it. Rectangles are interface units relative to the open
// panel, y up. Main thread only: the shell's event drain and drawing, and the widgets.
#include <cstdint>
#include <string>
#include <vector>

class mbar_class {
public:
    static constexpr int menu_slots = 1520;   // indices 0 to 1519
    static constexpr int popup_slot = 1519;
    static constexpr int max_items = 300;     // items 0 to 299 per menu or popup
    static constexpr int max_title = 40;      // bytes

    struct item_struct {
        std::string text;
        int command = 0;
        int16_t left = 0, bottom = 0, right = 0, top = 0;
    };
    struct menu_struct {
        std::string title;
        int parent_code = -1;   // -1 for a bar title, an empty slot and the popup; else the parent menu
        int16_t left = 0, bottom = 0, right = 0, top = 0;   // the title in the bar, or the opening item
        std::vector<item_struct> items;
    };

    // how 1: exactly 1520 empty slots; any other value does nothing.
    void mbar_nuke_menus(int how);
    void mbar_nuke_menu(int index);
    // code 0: a title in the bar, placed after the previous one; otherwise a submenu opened by
    // item code % 300 of menu code / 300.
    void mbar_create_menu(int index, int code, const std::string& title);
    // Sets item `item` (growing the list when needed) and lays the whole menu out again.
    void mbar_append_menu_item(int menu, int item, int command, const std::string& text);
    // Removes the item; those after it move up. An item the menu lacks leaves it unchanged.
    void mbar_remove_menu_item(int menu, int item);
    void mbar_rename_menu_item(int menu, int item, const std::string& text);
    // Moves every title and item by dy (the window's height changed).
    void mbar_shift_menu_bar(float dy);
    void mbar_draw_menu_bar();
    void mbar_draw_menus();
    // 1 when a menu is open and the pointer is over another title: the shell then treats the
    // frame as a press, so the open menu follows the pointer along the bar.
    int mbar_in_any_menu();
    void mbar_select_an_item_click();
    void mbar_select_an_item_release();
    // Chooses the item under the pointer in the open menu; 1 when one was chosen.
    int mbar_select_an_item();
    // 1 when a menu is open and (x, y) lies in the box its items span.
    int mbar_check_point(int x, int y);
    // Opens the popup and lays it out for this frame: item *index on the widget's text line at
    // y, earlier items above. Moves *index by one when the list pokes out of the panel.
    void mbar_check_popup(float x, float y, float width, int last, std::string* items, int* index);
    void mbar_clear_popup();
    // Reads base + "menus/" + the language's folder + file.
    void mbar_read_menus(const std::string& base, const std::string& file);
    void mbar_get_check_cmnd(int, int, int*, std::string*) {}
    int menu_get_unused_id() { return -1; }

    std::vector<menu_struct> menus;
    int open_menu = -1;           // the open menu or popup; -1 for none
    int popup_owner = 0;          // the popup choice widget whose list is open or opening
    int popup_result_owner = 0;   // the widget a pick waits to be delivered to
    int popup_pick = 0;           // the item picked from the popup

private:
    bool slot_holds_pointer(int index) const;
    int slot_under_pointer() const;
};

extern mbar_class mbar;

// The application's handler of a chosen menu item.
void APP_handlemenu(int command);

// Popup choice at (x, y) over the items split at separator; *index is the chosen item.
// 1 in the frame a new item was chosen.
int BTN_textlist(float x, float y, int* index, const std::string& items, const std::string& label, char separator);
