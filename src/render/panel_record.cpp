#include "render/panel_record.h"

#include <cmath>

#include "core/app_globals.h"
#include "core/frame_clock.h"
#include "core/localisation.h"
#include "core/mouse_record.h"
#include "core/shell_services.h"
#include "files/preferences.h"
#include "render/renderer_options.h"
#include "render/view.h"

wins_class wins;
wins_hooks_t wins_hooks;

namespace {
int open_panel() { return wins.panel_id; }
// The frame clock times a frame by the panel on screen.
const bool open_panel_offered = (frame_clock_hooks.open_panel = &open_panel, true);
}  // namespace

namespace {
struct panel_row {
    int id;
    const char* title;
    float w, h;
};
constexpr panel_row kPanels[] = {
    {1, "EULA", 500, 300},          {2, "Prefs", 700, 380},         {992, "Livery", 900, 760},
    {993, "Version and Updates", 600, 300}, {994, "BE ADVISED", 420, 260}, {995, "SAY INTENTIONS", 300, 166},
    {996, "SAY INTENTIONS", 750, 146}, {997, "SAY INTENTIONS", 700, 206}, {998, "Open", 561, 474},
    {999, "Save", 330, 474},
};

// Half the room left around the panel, rounded (halves away from zero), in whole units.
float centre_offset(float window_px, float panel_units, float s) {
    const long half = std::lround((window_px - s * panel_units) / 2.0f);
    const long units = static_cast<long>(static_cast<float>(half) / s);
    return units < 0 ? 0.0f : static_cast<float>(units);
}
}  // namespace

void wins_class::resize(float w, float h) {
    panel_w = w;
    panel_h = h;
    const float s = scale > 0 ? scale : 1.0f;
    float ww = static_cast<float>(win_px_w);
    const float wh = static_cast<float>(win_px_h);
    // A very wide window is taken as two screens side by side: centre on the left one.
    if (3 * wh > ww && ww > 2 * wh) ww /= 2;
    off_x = centre_offset(ww, panel_w, s);
    off_y = centre_offset(wh, panel_h, s);
}

void wins_class::start_win(int panel) {
    if (wins_hooks.focus_ring_restart) wins_hooks.focus_ring_restart();
    plot_init_lights = 1;
    if (wins_hooks.help_pass) wins_hooks.help_pass(panel);
    OGL_viewport(2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1.0f, 0, 1);

    panel_active = 0;
    panel_w = static_cast<float>(win_px_w);
    panel_h = static_cast<float>(win_px_h);
    for (const panel_row& row : kPanels) {
        if (row.id != panel) continue;
        stls[4] = UTL_translate_string(row.title, 0);
        panel_w = row.w;
        panel_h = row.h;
        panel_active = 1;
    }

    if (wins_hooks.unfocus_any) wins_hooks.unfocus_any();
    id = panel_id = panel;
    if (wins_hooks.menus_close) wins_hooks.menus_close();

    resize(panel_w, panel_h);

    mnw.click_hit = 0;
    mnw.mouse_held = 0;
    mnw.wheel_steps = 0;
}

namespace {
// The screen preferences: the window and full-screen modes, the renderer's switches, the language.
void screen_keys(scan_class& s, int write) {
    // Screen modes of the three display kinds, kept from one call to the next.
    static int x_res_wind_pln = 0, y_res_wind_pln = 0, x_res_full_pln = 0, y_res_full_pln = 0;
    static int full_pln = 0, bpp_pln = 0, hz_pln = 0;
    static int x_res_wind_wrl = 0, y_res_wind_wrl = 0, x_res_full_wrl = 0, y_res_full_wrl = 0;
    static int full_wrl = 0, bpp_wrl = 0, hz_wrl = 0;
    static int x_res_wind_all = 0, y_res_wind_all = 0, x_res_full_all = 0, y_res_full_all = 0;
    static int full_all = 0, bpp_all = 0, hz_all = 0;

    if (write) {
        mnw.prefs_found = 1;
        full_all = wins.full_screen;
        x_res_wind_all = wins.windowed_w;
        y_res_wind_all = wins.windowed_h;
        x_res_full_all = wins.full_w;
        y_res_full_all = wins.full_h;
        hz_all = wins.full_hz;
        bpp_all = wins.full_bpp;
    }
    s.int_io(&x_res_wind_pln, "_x_res_wind_PLN");
    s.int_io(&y_res_wind_pln, "_y_res_wind_PLN");
    s.int_io(&x_res_full_pln, "_x_res_full_PLN");
    s.int_io(&y_res_full_pln, "_y_res_full_PLN");
    s.int_io(&x_res_wind_wrl, "_x_res_wind_WRL");
    s.int_io(&y_res_wind_wrl, "_y_res_wind_WRL");
    s.int_io(&x_res_full_wrl, "_x_res_full_WRL");
    s.int_io(&y_res_full_wrl, "_y_res_full_WRL");
    s.int_io(&x_res_wind_all, "_x_res_wind_ALL");
    s.int_io(&y_res_wind_all, "_y_res_wind_ALL");
    s.int_io(&x_res_full_all, "_x_res_full_ALL");
    s.int_io(&y_res_full_all, "_y_res_full_ALL");
    s.int_io(&full_pln, "_is_full_PLN");
    s.int_io(&bpp_pln, "_bpp_full_PLN");
    s.int_io(&hz_pln, "_hz_full_PLN");
    s.int_io(&full_wrl, "_is_full_WRL");
    s.int_io(&bpp_wrl, "_bpp_full_WRL");
    s.int_io(&hz_wrl, "_hz_full_WRL");
    s.int_io(&full_all, "_is_full_ALL");
    s.int_io(&bpp_all, "_bpp_full_ALL");
    s.int_io(&hz_all, "_hz_full_ALL");
    if (!write) {
        wins.full_screen = full_all;
        wins.windowed_w = x_res_wind_all;
        wins.windowed_h = y_res_wind_all;
        wins.full_w = x_res_full_all;
        wins.full_h = y_res_full_all;
        wins.full_hz = hz_all;
        wins.full_bpp = bpp_all;
    }
    s.int_io(&reno.use_vsync1, "_use_vsync1");
    s.int_io(&reno.use_vsync2, "_use_vsync2");
    s.int_io(&mnw.lang, "_lang");
    s.int_io(&reno.alias_req, "_alias_req");
    s.int_io(&mnw.keylist_up, "_keylist_up");
    s.int_io(&mnw.prefs_found, "_prefs_found");
    // Written as the live state; a value read from the file must not open a second window.
    int sec_mon_inuse = shell_window_count() == 2 ? 1 : 0;
    s.int_io(&sec_mon_inuse, "_sec_mon_inuse");
    if (wins.windowed_w < 600 || wins.windowed_w > 9999) wins.windowed_w = 1024;
    if (wins.windowed_h < 600 || wins.windowed_h > 9999) wins.windowed_h = 768;
}
const bool screen_keys_registered = (pref_register_keys(10, 0, &screen_keys), true);
}  // namespace
