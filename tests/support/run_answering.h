#pragma once
// Running another program while this process keeps answering the X server: a client reading our
// clipboard, or xdotool waiting on our window, needs us to go on handling events meanwhile.
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// Starts args (looked up on PATH) and calls turn() about every wait_ms milliseconds until it has
// ended and closed its output, at most max_turns times (then it is killed: -1). Its standard
// output goes to out when given, else to /dev/null. Returns its exit code, -1 when it could not
// start or did not end normally.
int run_answering(const std::vector<std::string>& args, std::string* out, const std::function<void()>& turn,
                  int wait_ms, int max_turns);

}  // namespace testsupport
