#include "ui/panel_record.h"

#include <cmath>

#include "core/app_globals.h"
#include "core/localisation.h"
#include "core/mouse_record.h"
#include "render/view.h"
#include "ui/focus.h"
#include "ui/help_record.h"

wins_class wins;
namespace {
void help_pass(int panel) { help.mouse_help_per_wind(panel); }
}  // namespace

wins_hooks_t wins_hooks{.help_pass = &help_pass, .focus_ring_restart = &BTN_begin_focus_ring};

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

    BTN_unfocus_any();
    id = panel_id = panel;
    if (wins_hooks.menus_close) wins_hooks.menus_close();

    resize(panel_w, panel_h);

    mnw.click_hit = 0;
    mnw.mouse_held = 0;
    mnw.wheel_steps = 0;
}
