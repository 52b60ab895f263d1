#include "platform/display_modes.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <tuple>
#include <map>
#include <sstream>
#include <string>

#include "platform/test_switches.h"
#include "platform/video.h"

namespace platform {

namespace {

struct fake_display {
    bool loaded = false;
    bool active = false;
    std::vector<display_mode> modes;
    display_mode now;
};

fake_display& fake() {
    static fake_display f;
    if (!f.loaded) {
        f.loaded = true;
        std::stringstream list(test_switches_now().display_modes);
        std::string item;
        while (std::getline(list, item, ',')) {
            display_mode m;
            if (std::sscanf(item.c_str(), "%dx%dx%d@%d", &m.w, &m.h, &m.bpp, &m.hz) >= 3 && m.w > 0 && m.h > 0)
                f.modes.push_back(m);
        }
        f.active = !f.modes.empty();
        if (f.active) f.now = f.modes.front();
    }
    return f;
}

std::map<int, display_mode>& switched() {
    static std::map<int, display_mode> s;
    return s;
}

display_mode from_sdl(const SDL_DisplayMode& m) {
    return {m.w, m.h, static_cast<int>(SDL_BITSPERPIXEL(m.format)), m.refresh_rate};
}

bool desktop_mode(int n, display_mode& out) {
    if (!video_start()) return false;
    SDL_DisplayMode m;
    if (SDL_GetDesktopDisplayMode(n, &m) != 0) return false;
    out = from_sdl(m);
    return true;
}

}  // namespace

bool display_is_fake() { return fake().active; }

void display_reset_for_test() {
    fake() = fake_display{};
    switched().clear();
}

int display_count() {
    if (display_is_fake()) return 1;
    if (!video_start()) return -1;
    const int n = SDL_GetNumVideoDisplays();
    return n < 1 ? -1 : n;
}

bool display_bounds(int n, int& x, int& y, int& w, int& h) {
    if (display_is_fake()) {
        if (n != 0) return false;
        x = y = 0;
        w = fake().now.w;
        h = fake().now.h;
        return true;
    }
    if (!video_start() || n < 0 || n >= SDL_GetNumVideoDisplays()) return false;
    const auto s = switched().find(n);
    SDL_Rect r;
    if (SDL_GetDisplayBounds(n, &r) != 0) return false;
    x = r.x;
    y = r.y;
    w = r.w;
    h = r.h;
    // A switch shows when a full-screen window takes it; the layout follows the wanted size now.
    if (s != switched().end()) {
        w = s->second.w;
        h = s->second.h;
    }
    return true;
}

bool display_mode_now(int n, display_mode& out) {
    if (display_is_fake()) {
        if (n != 0) return false;
        out = fake().now;
        return true;
    }
    const auto s = switched().find(n);
    if (s != switched().end()) {
        out = s->second;
        return true;
    }
    return desktop_mode(n, out);
}

std::vector<display_mode> display_modes(int n) {
    std::vector<display_mode> out;
    if (display_is_fake()) {
        if (n == 0) out = fake().modes;
        return out;
    }
    if (!video_start()) return out;
    const int count = SDL_GetNumDisplayModes(n);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode m;
        if (SDL_GetDisplayMode(n, i, &m) == 0) out.push_back(from_sdl(m));
    }
    return out;
}

bool display_best_mode(int n, const display_mode& want, display_mode& out) {
    const std::vector<display_mode> modes = display_modes(n);
    const display_mode* best = nullptr;
    auto score = [&](const display_mode& m) {
        // Smallest area that holds the wish, then the nearest depth, then the nearest rate.
        return std::make_tuple(static_cast<long long>(m.w) * m.h, std::abs(m.bpp - want.bpp),
                               want.hz > 0 ? std::abs(m.hz - want.hz) : 0);
    };
    for (const display_mode& m : modes) {
        if (m.w < want.w || m.h < want.h) continue;
        if (!best || score(m) < score(*best)) best = &m;
    }
    if (!best) return false;
    out = *best;
    return true;
}

bool display_switch(int n, const display_mode& m) {
    if (display_is_fake()) {
        if (n != 0) return false;
        fake().now = m;
        return true;
    }
    display_mode desk;
    if (!desktop_mode(n, desk)) return false;
    if (m == desk) switched().erase(n);
    else switched()[n] = m;
    return true;
}

bool display_switched_mode(int n, display_mode& out) {
    if (display_is_fake()) return false;
    const auto s = switched().find(n);
    if (s == switched().end()) return false;
    out = s->second;
    return true;
}

}  // namespace platform
