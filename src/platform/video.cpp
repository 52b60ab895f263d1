#include "platform/video.h"

#include <SDL.h>

#if defined(__SANITIZE_ADDRESS__)
#define VENTARO_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VENTARO_LEAK_CHECKED 1
#endif
#endif

#ifdef VENTARO_LEAK_CHECKED
#include <dlfcn.h>
#include <link.h>

#include <string>
#include <vector>
#endif

namespace platform {

namespace {
int g_state = 0;   // 0 not tried, 1 running, -1 failed

#ifdef VENTARO_LEAK_CHECKED
// The leak check at exit tells the GL driver's own leaks from ours by the library they come from,
// which it can no longer name once the library is unloaded: in the sanitizer build every library
// loaded by then stays loaded until the process ends.
void keep_libraries_loaded() {
    std::vector<std::string> names;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* out) {
            if (info->dlpi_name && *info->dlpi_name) static_cast<std::vector<std::string>*>(out)->push_back(info->dlpi_name);
            return 0;
        },
        &names);
    for (const std::string& n : names) dlopen(n.c_str(), RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
}
#else
void keep_libraries_loaded() {}
#endif
}  // namespace

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
    if (g_state == 1) {
        keep_libraries_loaded();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    g_state = 0;
}

}  // namespace platform
