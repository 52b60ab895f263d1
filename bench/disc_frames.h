#pragma once
// The disc pipeline driven as the install screen drives it: one install_files call a frame, at
// 60 frames a second, until every file is in place.
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "install/dvd_install.h"

// The number of files that failed (each is printed), or -1 when the set asks for another disc.
inline int run_disc_frames(std::chrono::steady_clock::time_point tick) {
    const auto frame = std::chrono::microseconds(16667);
    int next_file = 0, result = 0, failed = 0;
    while ((result = install_files(next_file, 0)) != 1) {
        if (result == 2) {
            std::fprintf(stderr, "the set asks for another disc\n");
            return -1;
        }
        if (result == 3) {
            std::string message;
            install_files_get_error(message);
            std::fprintf(stderr, "%s\n", message.c_str());
            ++failed;
            continue;
        }
        tick += frame;
        std::this_thread::sleep_until(tick);
    }
    return failed;
}
