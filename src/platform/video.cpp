#include "platform/video.h"

#include <SDL.h>

namespace platform {

namespace {
int g_state = 0;   // 0 not tried, 1 running, -1 failed
}

bool video_start() {
    if (g_state == 0) {
        // The window shell runs its own frame pump; SDL must not eat the process's signals.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
        g_state = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0 ? 1 : -1;
        // The GL library stays loaded for the whole run (windows come and go when the display
        // mode changes), so its entry points never dangle.
        if (g_state == 1) SDL_GL_LoadLibrary(nullptr);
    }
    return g_state == 1;
}

bool video_running() { return g_state == 1; }

void video_stop() {
    if (g_state == 1) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    g_state = 0;
}

}  // namespace platform
