#include "core/app_globals.h"
#include "core/preferences.h"
#include "install/install_state.h"
#include "platform/test_switches.h"
#include "render/gl_api.h"
#include "shell/event_pump.h"
#include "shell/startup.h"
#include "ui/panel_record.h"

namespace {
// The application's frame until the wizard exists: the window in the interface's background.
void least_app_update() {
    if (!gl.glClear) return;
    gl.glViewport(0, 0, wins.win_px_w, wins.win_px_h);
    gl.glClearColor(0.20f, 0.22f, 0.25f, 1.0f);
    gl.glClear(GL_COLOR_BUFFER_BIT);
}
}  // namespace

int main(int argc, char** argv) {
    MACIBM_init(argc, argv);

    // The installer's preferences; the stream count is reset before every read.
    stg.stream_count = 0;
    pref.IO_set(11, 0);

    frame_hooks.app_update = &least_app_update;
    const int frame_limit = platform::test_switches_now().exit_after_frames;
    for (int frames = 0; !app_done;) {
        MACIBM_event_proc();
        if (frame_limit && ++frames >= frame_limit) app_done = 1;
    }

    MACIBM_finishup(1);
    return 0;
}

// Leaks inside the system's GL and X libraries are theirs; the sanitizer build reports only ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libGLX\nleak:libGL.so\nleak:libEGL\nleak:swrast_dri\nleak:libgallium\nleak:libLLVM\n"
           "leak:libX11\nleak:libxcb\nleak:libSDL2\nleak:libdbus\nleak:libfontconfig\nleak:libglapi\n"
           "leak:_dl_\nleak:dlopen\n";
}
