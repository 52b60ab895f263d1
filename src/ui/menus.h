#pragma once
// The menu system drawn in GL: a bar of menus (unused by the installer) and the popup list of
// the popup choice widget.
#include <string>

class mbar_class {
public:
    int open_menu = -1;           // the open menu or popup; -1 for none
    int popup_owner = 0;          // the popup choice widget whose list is open or opening
    int popup_result_owner = 0;   // the widget a pick waits to be delivered to
    int popup_pick = 0;           // the item picked from the popup
};

extern mbar_class mbar;

// Popup choice at (x, y) over the items split at separator; *index is the chosen item.
// 1 in the frame a new item was chosen.
int BTN_textlist(float x, float y, int* index, const std::string& items, const std::string& label, char separator);
