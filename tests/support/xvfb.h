#pragma once
// A private X server for GUI tests: Xvfb on a display number it picks itself (-displayfd), at
// 1280x1024x24 unless told otherwise, stopped by its pid when the object goes.
#include <sys/types.h>

#include <string>
#include <vector>

namespace testsupport {

class xvfb {
public:
    explicit xvfb(const std::string& screen = "1280x1024x24");
    ~xvfb();
    xvfb(const xvfb&) = delete;
    xvfb& operator=(const xvfb&) = delete;

    bool running() const { return pid_ > 0 && !display_.empty(); }
    const std::string& display() const { return display_; }   // ":N"

private:
    pid_t pid_ = -1;
    std::string display_;
};

// Runs a program (found on PATH) with DISPLAY set, waits for it; its exit code, -1 when it could
// not run. Its standard output is returned in out when given.
int run_with_display(const std::string& display, const std::vector<std::string>& argv, std::string* out = nullptr);

}  // namespace testsupport
