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
#include "ui/panel_record.h"
#include "ui/text_fields.h"

namespace {
std::string tr(const char* text) { return UTL_translate_string(text, 0); }
}  // namespace

void handle_prefs() {
    wins.start_win(2);
    if (wins.panel_id != 2) return;

    while (wins.panel_id == 2) {
        OGL_plot_back_col();
        BTN_fillwin(1, 24);

        float next_x = 0, next_y = 0;
        BTN_subwin(0, 16, -1, -1, -1, 70, tr("Proxy (if you are behind a firewall with a Proxy)"), &next_x, &next_y);
        float unused_x = 0, unused_y = 0;
        BTN_subwin(0, 16, -1, next_y, -1, -1, tr("General Preferences"), &unused_x, &unused_y);

        // The popup counts from 0 for Macintosh; "all platforms" (0) has no entry, so the
        // popup's clamp turns it into Macintosh the first time the panel shows.
        int platform_index = stg.platform_filter - 1;
        BTN_textlist(250, 300, &platform_index, tr("Macintosh-Windows-Linux"),
                     tr("Operating System to download Ventaro for:|(Install and copy the entire Ventaro folder to "
                        "another computer if you like)"),
                     '-');
        stg.platform_filter = platform_index + 1;

        BTN_bool(140, 250, &stg.log_actions,
                 tr("|Log installer actions. Turn this on to output the installer file downloads and stuff to the "
                    "file log.txt."),
                 0);

        BTN_enterstring(85, 40, &http.proxy_host, 65, tr("-proxy host"), 455, 1);
        BTN_enterstring(85, 20, &http.proxy_port, 65, tr("-proxy port"), 455, 0);
        http.proxy_port_int = http.proxy_port.empty() ? 0 : str_to_int(http.proxy_port);

        MACIBM_event_proc();
    }
}

void wizard_prefs_open() { handle_prefs(); }
