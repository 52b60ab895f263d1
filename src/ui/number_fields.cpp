#include "ui/number_fields.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/mouse_record.h"
#include "render/ogl_draw.h"
#include "render/tex_flags.h"
#include "ui/focus.h"
#include "ui/frames.h"
#include "ui/help_record.h"
#include "ui/labels.h"
#include "ui/menus.h"

namespace {

constexpr int kKeyUp = 16;
constexpr int kVkLeft = 37, kVkUp = 38, kVkRight = 39, kVkDown = 40;
constexpr int kNumberMask = focus_key_navigate | focus_key_digit | focus_key_sign;
constexpr int kCharsMask = kNumberMask | focus_key_letter | focus_key_printable;

// One widget function's keyboard state: its key queue and the cell under the caret.
struct key_queue {
    int char_slot[focus_queue_capacity] = {};
    int vkey_slot[focus_queue_capacity] = {};
    int flag_slot[focus_queue_capacity] = {};
    int id_slot[focus_queue_capacity] = {};
    int ctr_slot = 0;
    int hot_digit = 0;

    int enrol(int id, int mask, int take) {
        return BTN_register_focus(id, char_slot, vkey_slot, flag_slot, id_slot, &ctr_slot, focus_queue_capacity, mask,
                                  take);
    }

    // Runs act(ch, vkey) on each key-down or repeat queued for id and drops it with its key-up.
    // Other widgets' entries keep their order; the queue closes up behind the dropped ones, so a
    // key left for a widget that is no longer drawn cannot keep the queue from ever emptying.
    template <class Act>
    void consume(int id, Act&& act) {
        ctr_slot = std::clamp(ctr_slot, 0, focus_queue_capacity);
        int kept = 0;
        for (int i = 0; i < ctr_slot; ++i) {
            if (id_slot[i] == id && (char_slot[i] || vkey_slot[i])) {
                if (!(flag_slot[i] & kKeyUp)) act(char_slot[i], vkey_slot[i]);
                continue;
            }
            if (id_slot[i] == 0) continue;
            char_slot[kept] = char_slot[i];
            vkey_slot[kept] = vkey_slot[i];
            flag_slot[kept] = flag_slot[i];
            id_slot[kept] = id_slot[i];
            ++kept;
        }
        for (int i = kept; i < ctr_slot; ++i) char_slot[i] = vkey_slot[i] = flag_slot[i] = id_slot[i] = 0;
        ctr_slot = kept;
    }
};

key_queue number_keys;
key_queue chars_keys;

int widget_id(float x, float y) { return static_cast<int>(x) * 8192 + static_cast<int>(y); }

int64_t pow10i(int n) {
    int64_t p = 1;
    for (int i = 0; i < n; ++i) p *= 10;
    return p;
}

bool menu_closed() { return mbar.open_menu == -1; }

bool inside(float px, float py, float x0, float x1, float y0, float y1) {
    return px >= x0 && px <= x1 && py >= y0 && py <= y1;
}

// The arrows above and below a cell, from the widget atlas.
void cell_arrows(float x, float y, int i) {
    constexpr float kAtlas = 512;
    const float cx = x + 10.0f * static_cast<float>(i) + 6, x0 = cx - 7, x1 = cx + 7;
    const float s0 = 83 / kAtlas, s1 = 97 / kAtlas;
    auto quad = [&](float y0, float y1, float t0, float t1) {
        t0 /= kAtlas;
        t1 /= kAtlas;
        OGL_2dquad(tex_ref_interface, 57, 1.0f, x0, y0, s0, t0, x0, y1, s0, t1, x1, y1, s1, t1, x1, y0, s1, t0, 1,
                   ogl_al_blend, 0);
    };
    quad(y - 19, y - 1, 178, 196);
    quad(y + 9, y + 27, 197, 215);
}

// Blank, the digits, the capitals and the minus sign, in the order the arrows step through.
constexpr char kAlphabet[] = " 0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-";
constexpr int kSymbols = 38;

int symbol_index(char c) {
    const char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const char* at = u ? std::strchr(kAlphabet, u) : nullptr;
    return at ? static_cast<int>(at - kAlphabet) : 1;   // anything else counts as '0'
}

// Writes cell i of text, blank-filling any cells between the text's end and i.
void put_char(char* text, int i, char c) {
    const int len = static_cast<int>(std::strlen(text));
    for (int k = len; k < i; ++k) text[k] = ' ';
    text[i] = c;
    if (i >= len) text[i + 1] = 0;
}

float magnitude_factor(int digits) {
    if (digits <= 0) return 0.9f;
    return static_cast<float>(10.0 - std::pow(10.0, 1 - digits));
}

}  // namespace

float BTN_digits_limit(int digits, int decimals) {
    const double lead = std::pow(10.0, digits - 1) / std::pow(10.0, decimals);
    return static_cast<float>(lead * static_cast<double>(magnitude_factor(digits)));
}

int BTN_flt_range(float x, float y, float* value, int digits, int decimals, float min, float max, std::string label,
                  const char*) {
    const int n = digits, d = decimals;
    const float w = 10.0f * static_cast<float>(n);
    std::string left, right, help_part;
    BTN_expand_label(std::move(label), &left, &right, &help_part);

    const float px = mnw.mouse_x, py = mnw.mouse_y;
    const bool in_row = inside(px, py, x, x + w, y - 2, y + 8);
    if (in_row) help.help_text = help_part;

    key_queue& q = number_keys;
    int take = 0;
    if (menu_closed() && in_row && mnw.click_hit) {
        q.hot_digit = static_cast<int>((px - 2 - x) / 10);
        take = 1;
    }
    const int id = widget_id(x, y);
    const int focused = q.enrol(id, kNumberMask, take);
    if (focused) q.hot_digit = std::clamp(q.hot_digit, 0, std::max(0, n - 1));

    int changed = 0;
    int h = q.hot_digit;
    const float scale = static_cast<float>(pow10i(d));
    q.consume(id, [&](int ch, int vkey) {
        if (vkey == kVkLeft) --h;
        else if (vkey == kVkRight) ++h;
        else if (vkey == kVkUp || vkey == kVkDown) {
            const float place = static_cast<float>(pow10i(n - 1 - h)) / scale;
            *value += vkey == kVkUp ? place : -place;
        } else if (ch >= '0' && ch <= '9') {
            const bool negative = *value < 0;
            const double magnitude = std::fabs(static_cast<double>(*value));
            const int64_t v = std::llround(magnitude * static_cast<double>(pow10i(d)));
            const int64_t p = pow10i(std::max(0, n - 1 - h));
            const int64_t old_digit = (v / p) % 10;
            const int64_t now = v + p * (ch - '0' - old_digit);
            const float typed = static_cast<float>(static_cast<double>(now) / static_cast<double>(pow10i(d)));
            *value = negative ? -typed : typed;
            ++h;
        } else if (ch == '+') {
            if (min < 0) *value = std::fabs(*value);
        } else if (ch == '-') {
            if (max >= 0) *value = -std::fabs(*value);
        }
        if (h < 0) h = n - 1;
        if (h >= n) h = 0;
        changed = 1;
    });
    q.hot_digit = h;

    if (menu_closed() && !in_row && inside(px, py, x, x + w, y - 18, y + 24)) {
        const bool above = py > y + 3;
        mnw.cursor_code = above ? 20 : 21;
        if (mnw.click_hit) {
            float place = static_cast<float>(pow10i(n - 1)) / scale;
            for (int i = 0; i < std::min(n, 10); ++i, place /= 10) {
                const float cx = x + 10.0f * static_cast<float>(i);
                if (px < cx || px > cx + 10) continue;
                *value += above ? place : -place;
                changed = 1;
            }
        }
    }

    if (*value < min) *value = min;
    if (*value > max) *value = max;
    const float lim = BTN_digits_limit(n, d);
    if (*value < -lim) *value = -lim;
    if (*value > lim) *value = lim;
    // A product past the int range is a whole number in single precision already.
    const float product = *value * scale;
    if (std::fabs(product) < 2147483520.0f)
        *value = static_cast<float>(static_cast<int>(product + (product >= 0 ? 0.5f : -0.5f))) / scale;

    BTN_frame1(9, x + 5.0f * static_cast<float>(n) - 1, y + 3, w + 15, 57);
    for (int i = 0; i < n; ++i) cell_arrows(x, y, i);
    BTN_util_draw_label(x - 12, y, 0, left, 0);
    BTN_util_draw_label(x + w + 12, y, 2, right, 0);
    if (focused) OGL_fillrect(62, 1.0f, x + 10.0f * static_cast<float>(q.hot_digit) + 2, y - 2, 9, 11);
    OGL_number(50, x + 4, y - 1, *value, n, d, cs_fixed10, sft_plain, just_left);
    return changed;
}

int BTN_flt(float x, float y, float* value, int digits, int decimals, int allow_negative, std::string label) {
    const float lim = BTN_digits_limit(digits, decimals);
    return BTN_flt_range(x, y, value, digits, decimals, allow_negative ? -lim : 0, lim, std::move(label));
}

void BTN_weight(float x, float y, float* value, int digits, int decimals, std::string label) {
    BTN_flt_range(x, y, value, digits, decimals, 0, BTN_digits_limit(digits, decimals), std::move(label));
}

int BTN_fltij(float column, float row, float* value, int digits, int decimals, int allow_negative,
              std::string label) {
    return BTN_flt(column * 75 + 75 - 10.0f * static_cast<float>(digits), row * 50 + 25, value, digits, decimals,
                   allow_negative, std::move(label));
}

int BTN_flt_rangeij(float column, float row, float* value, int digits, int decimals, float min, float max,
                    std::string label) {
    return BTN_flt_range(column * 75 + 75 - 10.0f * static_cast<float>(digits), row * 50 + 25, value, digits,
                         decimals, min, max, std::move(label));
}

int BTN_int(float x, float y, int* value, int digits, int allow_negative, std::string label) {
    const float lim = static_cast<float>(pow10i(digits - 1)) * magnitude_factor(digits);
    float f = static_cast<float>(*value);
    const int r = BTN_flt_range(x, y, &f, digits, 0, allow_negative ? -lim : 0, lim, std::move(label));
    *value = static_cast<int>(f);
    return r;
}

int BTN_int_range(float x, float y, int* value, int digits, float min, float max, std::string label) {
    float f = static_cast<float>(*value);
    const int r = BTN_flt_range(x, y, &f, digits, 0, min, max, std::move(label));
    *value = static_cast<int>(f);
    return r;
}

int BTN_dob(float x, float y, double* value, int digits, int decimals, int allow_negative, std::string label) {
    float f = static_cast<float>(*value);
    const int r = BTN_flt(x, y, &f, digits, decimals, allow_negative, std::move(label));
    *value = f;
    return r;
}

int BTN_dob_range(float x, float y, double* value, int digits, int decimals, float min, float max,
                  std::string label) {
    float f = static_cast<float>(*value);
    const int r = BTN_flt_range(x, y, &f, digits, decimals, min, max, std::move(label));
    if (r) *value = f;
    return r;
}

int BTN_xyz(float x, float y, float* value, float min, float max, std::string label, char axis, int digits,
            int decimals, const char*) {
    if (axis != '-') {
        std::string left, right, help_part;
        BTN_expand_label(label, &left, &right, &help_part);
        const char* sentence = axis == 'x'   ? "This is how far to the side of the reference point the "
                               : axis == 'y' ? "This is how far above the reference point the "
                               : axis == 'z' ? "This is how far behind the reference point the "
                                             : "";
        global_c_str_ram = left + "|" + right + " { " + sentence + help_part +
                           " is. The reference point may be any point on the aircraft, but you have to use the SAME "
                           "reference point for ALL the data you enter on the aircraft. The nose of the aircraft is "
                           "a typical reference point.";
        label = global_c_str_ram;
    }
    return BTN_flt_range(x, y, value, digits, decimals, min, max, std::move(label));
}

int BTN_xyz(float x, float y, float* value, int allow_negative, std::string label, char axis, int digits,
            int decimals, const char* unused) {
    const float lim = BTN_digits_limit(digits, decimals);
    return BTN_xyz(x, y, value, allow_negative ? -lim : 0, lim, std::move(label), axis, digits, decimals, unused);
}

void BTN_chars(float x, float y, char* text, int cells, std::string label) {
    const int n = cells;
    const float w = 10.0f * static_cast<float>(n);
    std::string left, right, help_part;
    BTN_expand_label(std::move(label), &left, &right, &help_part);

    const float px = mnw.mouse_x, py = mnw.mouse_y;
    key_queue& q = chars_keys;
    const bool row_click = menu_closed() && mnw.click_hit && inside(px, py, x, x + w, y - 2, y + 8);
    if (row_click) q.hot_digit = static_cast<int>((px - x) / 10);
    const int id = widget_id(x, y);
    const int focused = q.enrol(id, kCharsMask, row_click ? 1 : 0);
    if (focused) q.hot_digit = std::clamp(q.hot_digit, 0, std::max(0, n - 1));

    auto step = [&](int i, int by) {
        const int len = static_cast<int>(std::strlen(text));
        const int at = i < len ? symbol_index(text[i]) : 0;
        put_char(text, i, kAlphabet[(at + by + kSymbols) % kSymbols]);
    };
    int h = q.hot_digit;
    q.consume(id, [&](int ch, int vkey) {
        if (vkey == kVkLeft) --h;
        else if (vkey == kVkRight) ++h;
        else if (vkey == kVkUp) step(h, -1);
        else if (vkey == kVkDown) step(h, 1);
        else if (ch > 0 && ch < 128 && (std::isalnum(ch) || ch == '-' || ch == ' ')) {
            put_char(text, h, static_cast<char>(std::toupper(ch)));
            ++h;
        }
        if (h < 0) h = n - 1;
        if (h >= n) h = 0;
    });
    q.hot_digit = h;

    BTN_frame1(9, x + 5.0f * static_cast<float>(n) + 1, y + 3, w + 11, 57);
    for (int i = 0; i < n; ++i) cell_arrows(x, y, i);
    BTN_util_draw_label(x - 6, y, 0, left, 0);
    if (focused) OGL_fillrect(62, 1.0f, x + 10.0f * static_cast<float>(q.hot_digit) + 2, y - 2, 9, 11);
    OGL_string(50, x + 3, y - 1, text, 9999, cs_fixed10, just_left);

    for (int i = 0; i < n; ++i) {
        const float cx = x + 10.0f * static_cast<float>(i);
        if (inside(px, py, cx, cx + 10, y - 2, y + 8)) help.help_text = help_part;
        if (mnw.click_hit && !row_click && inside(px, py, cx, cx + 10, y - 18, y + 24)) {
            const bool above = py > y + 3;
            mnw.cursor_code = above ? 20 : 21;
            step(i, above ? -1 : 1);
        }
    }
}

void BTN_display_number(float x, float y, float value, int digits, int decimals, const std::string& label,
                        charset_t face) {
    const float c = face == cs_fixed8 ? 8.0f : face == cs_fixed10 ? 10.0f : 6.0f;
    const float w = static_cast<float>(digits + decimals) * c;
    std::string left, right, help_part;
    BTN_expand_label(label, &left, &right, &help_part);
    BTN_frame1(9, x + w / 2 - 1, y + 3, w + 15, 57);
    BTN_util_draw_label(x - 12, y, 0, left, 0);
    BTN_util_draw_label(x + w + 12, y, 2, right, 0);
    if (face == cs_fixed10) OGL_number(50, x + 4, y - 1, value, digits, decimals, face, sft_plain, just_left);
    else OGL_number(50, x + w + 2, y - 1, value, digits, decimals, face, sft_plain, just_right);
}

int enter_lat_lon(float* x, float* y, float* longitude, float* latitude) {
    auto split = [](float a, float& whole, float& minutes) {
        whole = std::trunc(a);
        minutes = whole != 0 ? std::fabs(a - whole) * 60 : a * 60;
    };
    auto join = [](float whole, float minutes) {
        return whole != 0 ? whole + std::copysign(1.0f, whole) * minutes / 60 : minutes / 60;
    };
    float lon_whole = 0, lon_min = 0, lat_whole = 0, lat_min = 0;
    split(*longitude, lon_whole, lon_min);
    split(*latitude, lat_whole, lat_min);

    int changed = 0;
    *y -= 50;
    changed |= BTN_flt(*x, *y, &lon_whole, 3, 0, 1, "lon:");
    changed |= BTN_flt_range(*x + 50, *y, &lon_min, 5, 3, lon_whole != 0 ? 0 : -60, 60, "");
    *y -= 50;
    changed |= BTN_flt(*x + 10, *y, &lat_whole, 2, 0, 1, "lat:");
    changed |= BTN_flt_range(*x + 50, *y, &lat_min, 5, 3, lat_whole != 0 ? 0 : -60, 60, "");

    *longitude = join(lon_whole, lon_min);
    *latitude = join(lat_whole, lat_min);
    return changed;
}

void BTN_number_fields_reset_for_test() {
    number_keys = key_queue{};
    chars_keys = key_queue{};
}
