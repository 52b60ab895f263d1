#pragma once
// Opening the program's own window on a private X server inside a test process.
#include <cstdlib>
#include <string>

#include "platform/gl_window.h"
#include "render/interface_art.h"
#include "render/ogl_extensions.h"
#include "render/renderer_options.h"
#include "render/tex_scratch.h"
#include "render/tman.h"
#include "shell/windows.h"
#include "support/xvfb.h"
#include "render/panel_record.h"

namespace testsupport {

// Points SDL at the server and opens a w x h window; false (see platform::window_error) when it
// could not be made.
inline bool open_window_on(const xvfb& server, int w, int h) {
    setenv("DISPLAY", server.display().c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    wins.windowed_w = w;
    wins.windowed_h = h;
    return cons.cons_make(0) == 1;
}

// The window, then what start-up sets up for drawing: GL capabilities, renderer options, the
// staging buffer, the texture manager and the widget atlas.
inline bool open_art_window_on(const xvfb& server, int w, int h) {
    if (!open_window_on(server, w, h)) return false;
    glExt.init_extensions();
    reno.reno_init();
    scratch_array = TEX_scratch_aligned_start();
    tman.TEX_init();
    TEX_load_interface_art();
    return true;
}

// Where a test keeps its screen picture: VENTARO_TEST_SCREENSHOT when set, else fallback.
inline std::string screenshot_path(const std::string& fallback) {
    const char* keep = std::getenv("VENTARO_TEST_SCREENSHOT");
    return keep && *keep ? std::string(keep) : fallback;
}

}  // namespace testsupport
