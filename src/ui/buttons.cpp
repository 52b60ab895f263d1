// Least form: hit-testing only, nothing drawn yet.
#include "ui/buttons.h"

#include "core/mouse_record.h"
#include "ui/menus.h"

namespace {

bool take_press(float left, float bottom, float right, float top) {
    if (mbar.open_menu != -1 || !mnw.click_hit) return false;
    if (mnw.mouse_x < left || mnw.mouse_x > right || mnw.mouse_y < bottom || mnw.mouse_y > top) return false;
    mnw.click_hit = 0;
    return true;
}

}  // namespace

int BTN_action(float x, float y, float w, int, int, const std::string& label, const std::string&) {
    if (w <= 0) w = 7.0f * static_cast<float>(label.size()) + 21.0f;
    return take_press(x - w / 2, y - 10, x + w / 2, y + 10) ? 1 : 0;
}

int BTN_bool(float x, float y, int* value, const std::string&, int) {
    if (!take_press(x - 8, y - 4, x + 8, y + 12)) return 0;
    *value = *value ? 0 : 1;
    return 1;
}

int BTN_xbol(float x, float y, bool* value, const std::string& label) {
    int v = *value ? 1 : 0;
    const int r = BTN_bool(x, y, &v, label, 0);
    *value = v != 0;
    return r;
}

int BTN_xchr(float x, float y, char* value, const std::string& label) {
    int v = *value;
    const int r = BTN_bool(x, y, &v, label, 0);
    *value = static_cast<char>(v);
    return r;
}

int BTN_xbyt(float x, float y, unsigned char* value, const std::string& label) {
    int v = *value;
    const int r = BTN_bool(x, y, &v, label, 0);
    *value = static_cast<unsigned char>(v);
    return r;
}

int BTN_is_int(float x, float y, int* value, int own, const std::string& label) {
    int f = *value == own ? 1 : 0;
    const int r = BTN_bool(x, y, &f, label, 1);
    if (f) *value = own;
    return r;
}

int BTN_tab(int, int, int*, int, const std::string&) { return 0; }
