#include "shell/display_modes.h"

#include <cstdio>

#include "core/localisation.h"
#include "shell/event_pump.h"
#include "render/panel_record.h"

std::vector<monitor_res_struct> g_res_vec;
std::map<int, platform::display_mode> s_orig_modes;

void MACIBM_get_res_now(int& width, int& height, int& bpp, int& refresh) {
    UTL_get_monitor_res(0, nullptr, nullptr, &width, &height, &bpp, &refresh);
}

int MACIBM_set_monitor_res(int width, int height, int bpp, int refresh) {
    ++resize_recurse;
    int ok = 1;
    if (width == 0 && height == 0) UTL_restore_monitor_res(0);
    else ok = UTL_set_monitor_res(0, width, height, bpp, refresh);
    --resize_recurse;
    return ok;
}

void add_mode_if_needed(int width, int height, int bpp, int refresh) {
    char name[128];
    if (refresh >= 2) std::snprintf(name, sizeof name, "%d x %d, %d bit color (%d hz)", width, height, bpp, refresh);
    else std::snprintf(name, sizeof name, "%d x %d, %d bit color", width, height, bpp);
    if (width < 1024 || height < 768 || bpp < 16) return;
    static const int rates[] = {0, 60, 70, 72, 75, 80, 85, 90, 100, 140};
    bool rate_ok = false;
    for (const int r : rates) rate_ok = rate_ok || r == refresh;
    if (!rate_ok) return;
    for (const monitor_res_struct& m : g_res_vec)
        if (m.name == name) return;
    g_res_vec.push_back({width, height, bpp, refresh, name});
}

void MACIBM_find_monitor_modes() {
    g_res_vec.clear();
    g_res_vec.push_back({0, 0, 0, 0, UTL_translate_string("Default Monitor Settings", 0)});
    UTL_get_all_monitor_modes(0, &add_mode_if_needed);
}

int MACIBM_get_picked_mode() {
    for (std::size_t i = 0; i < g_res_vec.size(); ++i) {
        const monitor_res_struct& m = g_res_vec[i];
        if (m.width == wins.full_w && m.height == wins.full_h && m.bpp == wins.full_bpp && m.refresh == wins.full_hz)
            return static_cast<int>(i);
    }
    return static_cast<int>(g_res_vec.size());
}

int MACIBM_set_picked_mode(int index) {
    // An index outside the list (the count itself among them) changes nothing.
    if (index < 0 || index >= static_cast<int>(g_res_vec.size())) return 0;
    const monitor_res_struct& m = g_res_vec[static_cast<std::size_t>(index)];
    const bool changed =
        m.width != wins.full_w || m.height != wins.full_h || m.bpp != wins.full_bpp || m.refresh != wins.full_hz;
    wins.full_w = m.width;
    wins.full_h = m.height;
    wins.full_bpp = m.bpp;
    wins.full_hz = m.refresh;
    return changed ? 1 : 0;
}

int UTL_count_monitors() {
    const int n = platform::display_count();
    return n < 1 ? 1 : n;
}

int get_nth_display(int n) {
    // Displays are known by their index; with an unreadable list the main display stands alone.
    const int count = platform::display_count();
    if (count < 1) return n == 0 ? 0 : -1;
    return n >= 0 && n < count ? n : -1;
}

void UTL_get_monitor_res(int n, int* x, int* y, int* width, int* height, int* bpp, int* refresh) {
    const int d = get_nth_display(n);
    int bx = 0, by = 0, bw = 0, bh = 0;
    platform::display_mode m;
    const bool have_bounds = d >= 0 && platform::display_bounds(d, bx, by, bw, bh);
    const bool have_mode = d >= 0 && platform::display_mode_now(d, m);
    if (x) *x = have_bounds ? bx : 0;
    if (y) *y = have_bounds ? by : 0;
    if (width) *width = have_bounds ? bw : 0;
    if (height) *height = have_bounds ? bh : 0;
    if (bpp) *bpp = have_mode ? m.bpp : 0;
    if (refresh) *refresh = have_mode ? m.hz : -1;
}

int UTL_set_monitor_res(int n, int width, int height, int bpp, int refresh) {
    const int d = get_nth_display(n);
    if (d < 0) return 0;
    if (!s_orig_modes.count(d)) {
        platform::display_mode now;
        if (platform::display_mode_now(d, now)) s_orig_modes[d] = now;
    }
    platform::display_mode best;
    if (!platform::display_best_mode(d, {width, height, bpp, refresh}, best)) return 0;
    return platform::display_switch(d, best) ? 1 : 0;
}

void UTL_restore_monitor_res(int n) {
    const int d = get_nth_display(n);
    const auto it = s_orig_modes.find(d);
    if (it == s_orig_modes.end()) return;
    platform::display_switch(d, it->second);
}

void UTL_get_all_monitor_modes(int n, void (*callback)(int width, int height, int bpp, int refresh)) {
    const int d = get_nth_display(n);
    if (d < 0) return;
    for (const platform::display_mode& m : platform::display_modes(d)) callback(m.w, m.h, m.bpp, m.hz);
}
