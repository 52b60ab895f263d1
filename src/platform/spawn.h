#pragma once
// Starting other programs, never through a shell.
#include <string>
#include <vector>

namespace platform {

// Starts path with argv (argv[0] included) and does not wait for it. 0, or the errno that kept
// the program from starting (a missing or non-executable file is reported here, not later).
int spawn_detached(const std::string& path, const std::vector<std::string>& argv);

// Runs a program found on PATH and waits for it; its exit code, or -1 when it could not run.
int run_and_wait(const std::string& program, const std::vector<std::string>& argv);

}  // namespace platform
