#pragma once
// The window record behind platform::gl_window, shared by the window and event files only.
#include <SDL.h>

namespace platform {
struct gl_window {
    SDL_Window* sdl = nullptr;
};
}  // namespace platform
