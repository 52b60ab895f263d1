#pragma once
// What the window tests that drive the program through the desktop share: a frame on the test
// clock, running a desktop tool while the frames go on, and a fixture that holds the clock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../render/recorded_draw.h"
#include "platform/clock.h"
#include "shell/event_pump.h"
#include "support/run_answering.h"
#include "support/temp_dir.h"

namespace testsupport {

// One frame, a sixtieth of a second after the last on the test clock.
inline void clocked_frame() {
    platform::test_clock_advance(16667);
    MACIBM_event_proc();
}

// Runs a program while the frames go on (the window must keep answering the X server, and xclip
// asks this process for the clipboard), then a few frames for what arrived last.
inline int run_framing(const std::vector<std::string>& args, std::string* out = nullptr) {
    const int code = run_answering(args, out, clocked_frame, 0, 1800);   // about 30 s of frames
    for (int i = 0; i < 10; ++i) clocked_frame();
    return code;
}

class framed_window_test : public ::testing::Test {
protected:
    void SetUp() override {
        drawtest::link_art_resources();
        platform::test_clock_set(1000000);
    }
    void TearDown() override {
        frame_hooks = frame_hooks_t{};
        platform::test_clock_release();
    }
    temp_dir tmp;
};

}  // namespace testsupport
