#include "platform/message_box.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>

#include "platform/test_switches.h"

namespace platform {

namespace {
bool has_display() {
    const char* d = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    return (d && *d) || (w && *w);
}
}  // namespace

void stop_alert(const std::string& main_text, const std::string& secondary_text) {
    if (!test_switches_now().unattended && has_display()) {
        const std::string body = secondary_text.empty() ? main_text : main_text + "\n\n" + secondary_text;
        if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Ventaro Installer", body.c_str(), nullptr) == 0) return;
    }
    std::fprintf(stderr, "%s\n%s\n", main_text.c_str(), secondary_text.c_str());
    std::fflush(stderr);
}

}  // namespace platform
