#include "wizard/prefs_panel.h"

#include <string>

#include "core/localisation.h"
#include "core/number_text.h"
#include "files/http.h"
#include "install/install_state.h"
#include "render/background.h"
#include "shell/event_pump.h"
#include "ui/buttons.h"
#include "ui/frames.h"
#include "ui/menus.h"
#include "render/panel_record.h"
#include "ui/text_fields.h"
#include "ui/tt_font.h"

namespace {
std::string tr(const char* text) { return UTL_translate_string(text, 0); }
}  // namespace

namespace {
bool port_text_ok(const std::string& text, int& port) {
    port = text.empty() ? 0 : str_to_int(text);
    return text.empty() || (port >= 1 && port <= 65535);
}
}  // namespace

void handle_prefs() {
    wins.start_win(2);
    if (wins.panel_id != 2) return;

    // The last port that was a real one (or none): while the field holds anything else the proxy
    // keeps it, and the field goes back to it when the panel closes, so nothing invalid is saved.
    int port = 0;
    std::string valid_port = http.proxy_port;
    if (!port_text_ok(valid_port, port))
        valid_port = http.proxy_port_int >= 1 && http.proxy_port_int <= 65535 ? std::to_string(http.proxy_port_int) : "";
    port_text_ok(valid_port, port);
    http.proxy_port_int = port;

    while (wins.panel_id == 2) {
        OGL_plot_back_col();
        BTN_fillwin(1, 24);

        float next_x = 0, next_y = 0;
        BTN_subwin(0, 16, -1, -1, -1, 70, tr("Proxy (if you are behind a firewall with a Proxy)"), &next_x, &next_y);
        float unused_x = 0, unused_y = 0;
        BTN_subwin(0, 16, -1, next_y, -1, -1, tr("General Preferences"), &unused_x, &unused_y);

        // The popup counts from 0 for Macintosh. "All platforms" (0) has no entry: the popup shows
        // Macintosh then, and the setting changes only when the user picks an entry.
        int platform_index = stg.platform_filter > 0 ? stg.platform_filter - 1 : 0;
        if (BTN_textlist(250, 300, &platform_index, tr("Macintosh-Windows-Linux"),
                         tr("Operating System to download Ventaro for:|(Install and copy the entire Ventaro folder "
                            "to another computer if you like)"),
                         '-'))
            stg.platform_filter = platform_index + 1;

        BTN_bool(140, 250, &stg.log_actions,
                 tr("|Log installer actions. Turn this on to output the installer file downloads and stuff to the "
                    "file log.txt."),
                 0);

        BTN_enterstring(85, 40, &http.proxy_host, 65, tr("-proxy host"), 455, 1);
        BTN_enterstring(85, 20, &http.proxy_port, 65, tr("-proxy port"), 455, 0);
        if (port_text_ok(http.proxy_port, port)) {
            http.proxy_port_int = port;
            valid_port = http.proxy_port;
        } else {
            // Right of the port field, inside the proxy sub-panel.
            OGL_string(12, 550, 46, tr("The proxy port must be a number from 1 to 65535."), 130, cs_regular, just_left);
        }

        MACIBM_event_proc();
    }
    if (!port_text_ok(http.proxy_port, port)) {
        http.proxy_port = valid_port;
        port_text_ok(valid_port, port);
        http.proxy_port_int = port;
    }
}

void wizard_prefs_open() { handle_prefs(); }
