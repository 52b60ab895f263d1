#include "platform/gl_window.h"

#include <SDL.h>

#include "platform/display_modes.h"
#include "platform/gl_window_impl.h"
#include "platform/video.h"

namespace platform {

gl_window* window_create(int x, int y, int w, int h, bool framed, bool full_screen, int samples) {
    if (!video_start()) return nullptr;
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, samples > 0 ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, samples > 0 ? samples : 0);

    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    display_mode mode;
    const bool take_mode = full_screen && display_switched_mode(0, mode);
    if (!framed) flags |= SDL_WINDOW_BORDERLESS;
    if (take_mode) flags |= SDL_WINDOW_FULLSCREEN;
    SDL_Window* win = SDL_CreateWindow("Ventaro Installer", x, y, w, h, flags);
    if (!win) return nullptr;
    if (take_mode) {
        SDL_DisplayMode want{};
        want.w = mode.w;
        want.h = mode.h;
        want.refresh_rate = mode.hz;
        SDL_DisplayMode got;
        if (SDL_GetClosestDisplayMode(0, &want, &got)) SDL_SetWindowDisplayMode(win, &got);
    }
    SDL_ShowWindow(win);
    return new gl_window{win};
}

void window_destroy(gl_window* w) {
    if (!w) return;
    SDL_DestroyWindow(w->sdl);
    delete w;
}

gl_context context_create(gl_window* w, gl_context share) {
    if (!w) return nullptr;
    if (share) {
        SDL_GL_MakeCurrent(w->sdl, share);
        SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 1);
    } else {
        SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    return SDL_GL_CreateContext(w->sdl);
}

bool context_make_current(gl_window* w, gl_context c) {
    return w && c && SDL_GL_MakeCurrent(w->sdl, c) == 0;
}

pixel_format_info current_pixel_format() {
    pixel_format_info f;
    int v = 0;
    if (SDL_GL_GetAttribute(SDL_GL_DOUBLEBUFFER, &v) == 0) f.double_buffer = v;
    if (SDL_GL_GetAttribute(SDL_GL_RED_SIZE, &v) == 0) f.red = v;
    if (SDL_GL_GetAttribute(SDL_GL_GREEN_SIZE, &v) == 0) f.green = v;
    if (SDL_GL_GetAttribute(SDL_GL_BLUE_SIZE, &v) == 0) f.blue = v;
    if (SDL_GL_GetAttribute(SDL_GL_ALPHA_SIZE, &v) == 0) f.alpha = v;
    if (SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &v) == 0) f.depth = v;
    if (SDL_GL_GetAttribute(SDL_GL_MULTISAMPLESAMPLES, &v) == 0) f.samples = v;
    return f;
}

bool current_context_accelerated() {
    int v = 1;
    // Mesa's software rasterisers answer 1 here; only a driver that says "no" outright counts.
    if (SDL_GL_GetAttribute(SDL_GL_ACCELERATED_VISUAL, &v) != 0) return true;
    return v != 0;
}

bool set_swap_interval(int interval, std::string& why) {
    SDL_ClearError();
    if (SDL_GL_SetSwapInterval(interval) == 0) return true;
    why = SDL_GetError();
    if (why.empty()) why = "unknown";
    return false;
}

namespace {
int g_swaps = 0;
}

void window_swap(gl_window* w) {
    ++g_swaps;
    if (w) SDL_GL_SwapWindow(w->sdl);
}

int window_swaps_for_test() { return g_swaps; }

void window_content_bounds(gl_window* w, int& x, int& y, int& width, int& height) {
    x = y = width = height = 0;
    if (!w) return;
    SDL_GetWindowPosition(w->sdl, &x, &y);
    SDL_GetWindowSize(w->sdl, &width, &height);
}

void window_move(gl_window* w, int x, int y) {
    if (w) SDL_SetWindowPosition(w->sdl, x, y);
}

void window_size(gl_window* w, int width, int height) {
    if (w) SDL_SetWindowSize(w->sdl, width, height);
}

void window_raise(gl_window* w) {
    if (w) SDL_RaiseWindow(w->sdl);
}

uint32_t window_id(gl_window* w) { return w ? SDL_GetWindowID(w->sdl) : 0; }

gl_proc gl_proc_address(const char* name) {
    if (!video_running()) return nullptr;
    return reinterpret_cast<gl_proc>(SDL_GL_GetProcAddress(name));
}

const char* window_error() { return SDL_GetError(); }

}  // namespace platform
