#include "support/screen_driver.h"

#include <cmath>
#include <cstdio>

#include "support/log_wait.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"

namespace testsupport {

namespace {
int whole(float v) { return static_cast<int>(std::lround(v)); }
}  // namespace

screen_driver::screen_driver(const xdo& window, std::string log_path, program_sandbox::running& run)
    : window_(window), log_path_(std::move(log_path)), run_(run) {}

std::string screen_driver::log() const { return read_file(log_path_); }

std::size_t screen_driver::log_size() const { return log().size(); }

bool screen_driver::has_line(const std::string& line) const {
    return ("\n" + log()).find("\n" + line + "\n") != std::string::npos;
}

bool screen_driver::wait_after(const std::string& line, std::size_t from, int timeout_seconds, std::size_t* end) {
    // A whole line: preceded by a line break (or the start of what is searched) and followed by one.
    std::size_t found = std::string::npos;
    wait_for_file(
        log_path_,
        [&](const std::string& text) {
            for (std::size_t at = from; (at = text.find(line + "\n", at)) != std::string::npos; ++at) {
                if (at == 0 || text[at - 1] == '\n') {
                    found = at + line.size() + 1;
                    return true;
                }
            }
            return false;
        },
        timeout_seconds, [this] { return run_.alive(); });
    if (found == std::string::npos) return false;
    if (end) *end = found;
    return true;
}

bool screen_driver::wait_line(const std::string& line, int timeout_seconds) {
    std::size_t end = 0;
    if (!wait_after(line, mark_, timeout_seconds, &end)) return false;
    mark_ = end;
    return true;
}

bool screen_driver::move(float x, float y) {
    const int ix = whole(x), iy = whole(y);
    if (pointer_x_ < 0) {
        // Where the program last saw the pointer: an earlier run on the same X server may have
        // left it at the very point, and moving there again would give the program no event.
        const std::string text = "\n" + log();
        const std::size_t at = text.rfind("\npointer ");
        if (at != std::string::npos && text.find('\n', at + 1) != std::string::npos)
            std::sscanf(text.c_str() + at + 9, "%d %d", &pointer_x_, &pointer_y_);
    }
    if (ix == pointer_x_ && iy == pointer_y_) return true;   // a frame has read it there already
    const std::size_t from = log_size();
    run_with_display(window_.display(), {"xdotool", "mousemove", "--window", window_.window(), std::to_string(ix),
                                         std::to_string(600 - iy)});
    std::size_t end = 0;
    if (!wait_after("pointer " + std::to_string(ix) + " " + std::to_string(iy), from, 60, &end)) return false;
    pointer_x_ = ix;
    pointer_y_ = iy;
    return true;
}

bool screen_driver::click(float x, float y) {
    if (!move(x, y)) return false;
    const std::string at = std::to_string(whole(x)) + " " + std::to_string(whole(y));
    std::size_t from = log_size(), end = 0;
    run_with_display(window_.display(), {"xdotool", "mousedown", "1"});
    if (!wait_after("press " + at, from, 60, &end)) return false;
    from = log_size();
    run_with_display(window_.display(), {"xdotool", "mouseup", "1"});
    // A press that ends the program (Quit) leaves no frame to take the release.
    return wait_after("release " + at, from, 60, &end) || !run_.alive();
}

bool screen_driver::key(const std::string& keysym) {
    const std::size_t from = log_size();
    // Keys sent to a window directly are marked synthetic and ignored: focus it and type as a keyboard.
    run_with_display(window_.display(), {"xdotool", "windowfocus", "--sync", window_.window(), "key", keysym});
    return wait_for_text(log_path_, "\nkey ", 60, from == 0 ? 0 : from - 1, [this] { return run_.alive(); }) !=
           std::string::npos;
}

bool screen_driver::type(const std::string& utf8) {
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t n = 1;
        while (i + n < utf8.size() && (static_cast<unsigned char>(utf8[i + n]) & 0xC0) == 0x80) ++n;
        const std::size_t from = log_size();
        run_with_display(window_.display(),
                         {"xdotool", "windowfocus", "--sync", window_.window(), "type", utf8.substr(i, n)});
        if (wait_for_text(log_path_, "\nkey ", 60, from == 0 ? 0 : from - 1, [this] { return run_.alive(); }) ==
            std::string::npos)
            return false;
        i += n;
    }
    return true;
}

bool screen_driver::frames(int n) {
    for (int i = 0; i < n; ++i)
        if (!move(pointer_x_ == 3 && pointer_y_ == 597 ? 4 : 3, 597)) return false;
    return true;
}

namespace {
int lines_starting(const std::string& text, const std::string& prefix) {
    int n = 0;
    const std::string all = "\n" + text;
    for (std::size_t at = 0; (at = all.find("\n" + prefix, at)) != std::string::npos; ++at) ++n;
    return n;
}
}  // namespace

int screen_driver::count(const std::string& prefix) const { return lines_starting(log(), prefix); }

bool screen_driver::wait_count(const std::string& prefix, int n, int timeout_seconds) {
    return wait_for_file(
        log_path_, [&](const std::string& text) { return lines_starting(text, prefix) >= n; }, timeout_seconds,
        [this] { return run_.alive(); });
}

}  // namespace testsupport
