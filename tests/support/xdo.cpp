#include "support/xdo.h"

#include <X11/Xlib.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "support/xvfb.h"

namespace testsupport {

namespace {
std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}
}  // namespace

xdo::xdo(std::string display, pid_t pid, int timeout_seconds) : display_(std::move(display)) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
    while (window_.empty() && std::chrono::steady_clock::now() < deadline) {
        std::string out;
        run_with_display(display_, {"xdotool", "search", "--onlyvisible", "--pid", std::to_string(pid)}, &out);
        const std::size_t end = out.find('\n');
        if (end != std::string::npos && end > 0) window_ = out.substr(0, end);
        else ::usleep(50000);
    }
}

int xdo::run(const std::string& command) const {
    const std::string line = "DISPLAY=" + display_ + " " + command + " >/dev/null 2>&1";
    return std::system(line.c_str());
}

void xdo::move(float x, float y) const {
    const int px = static_cast<int>(std::lround(x)), py = static_cast<int>(std::lround(height_ - y));
    // --sync waits for the pointer to move, for many seconds when it is already there: step beside
    // the point first, then onto it.
    run("xdotool mousemove --window " + window_ + " " + std::to_string(px + 1) + " " + std::to_string(py));
    run("xdotool mousemove --sync --window " + window_ + " " + std::to_string(px) + " " + std::to_string(py));
}

void xdo::click(float x, float y, int hold_ms) const {
    move(x, y);
    // The program reads the button once a frame: hold it long enough for a frame to see it.
    run("xdotool mousedown 1");
    ::usleep(static_cast<useconds_t>(hold_ms) * 1000);
    run("xdotool mouseup 1");
    ::usleep(60000);
}

void xdo::key(const std::string& keysym) const {
    // Keys sent to a window directly are marked synthetic and ignored: focus it and type as a keyboard.
    run("xdotool windowfocus --sync " + window_ + " key --delay 60 " + quote(keysym));
}

void xdo::type(const std::string& utf8) const {
    run("xdotool windowfocus --sync " + window_ + " type --delay 60 " + quote(utf8));
}

bool xdo::screenshot(const std::string& png_path) const {
    return run("import -window " + window_ + " " + quote(png_path)) == 0;
}

bool xdo::close_button() const {
    Display* dpy = XOpenDisplay(display_.c_str());
    if (!dpy) return false;
    const Window w = std::strtoul(window_.c_str(), nullptr, 10);
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = long(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    const bool sent = XSendEvent(dpy, w, False, NoEventMask, &e) != 0;
    XSync(dpy, False);
    XCloseDisplay(dpy);
    return sent;
}

}  // namespace testsupport
