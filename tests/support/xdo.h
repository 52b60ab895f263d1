#pragma once
// Drives a program's window on a private X server as a person would, through xdotool, and takes
// pictures of it with ImageMagick's import. Points are in the window's interface units: 800x600,
// y counted up from the bottom.
#include <sys/types.h>

#include <string>

namespace testsupport {

class xdo {
public:
    // Finds the window of process `pid` on `display` (waits up to timeout_seconds for it to map).
    xdo(std::string display, pid_t pid, int timeout_seconds = 30);

    bool found() const { return !window_.empty(); }
    const std::string& window() const { return window_; }
    const std::string& display() const { return display_; }

    void move(float x, float y) const;                 // pointer to the point
    // Move there, press and release button 1, holding it hold_ms (long enough for a slow frame).
    void click(float x, float y, int hold_ms = 60) const;
    void key(const std::string& keysym) const;         // e.g. "Tab", "ctrl+v", "Return"
    void type(const std::string& utf8) const;          // types the text
    bool screenshot(const std::string& png_path) const;
    // Asks the window to close, as its title bar's close button does under a window manager (the
    // WM_DELETE_WINDOW message); returns once the X server has it. False when it could not be sent.
    bool close_button() const;

private:
    int run(const std::string& command) const;

    std::string display_;
    std::string window_;
    int height_ = 600;
};

}  // namespace testsupport
