// Presses ("down") and releases ("up") mouse button 1 through the X server's XTEST extension, one
// per line of standard input, and answers each line with the wall-clock time (seconds) at which the
// server had taken the event. It stays connected, so a timed click does not include the start-up
// of a new X client (one xdotool run takes 20 to 70 ms before its press reaches the server).
#include <X11/Xlib.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <ctime>

int main() {
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::fprintf(stderr, "xpress: no display\n");
        return 1;
    }
    void* xtst = dlopen("libXtst.so.6", RTLD_NOW);
    using fake_button_t = int (*)(Display*, unsigned, int, unsigned long);
    auto fake_button = xtst ? reinterpret_cast<fake_button_t>(dlsym(xtst, "XTestFakeButtonEvent")) : nullptr;
    if (!fake_button) {
        std::fprintf(stderr, "xpress: no XTEST library\n");
        return 1;
    }
    char line[64];
    while (std::fgets(line, sizeof line, stdin)) {
        const bool down = std::strncmp(line, "down", 4) == 0;
        if (!down && std::strncmp(line, "up", 2) != 0) continue;
        fake_button(dpy, 1, down ? 1 : 0, 0);
        XSync(dpy, 0);
        timespec t{};
        clock_gettime(CLOCK_REALTIME, &t);
        std::printf("%ld.%06ld\n", (long)t.tv_sec, t.tv_nsec / 1000);
        std::fflush(stdout);
    }
    XCloseDisplay(dpy);
    return 0;
}
