#pragma once
// Drives the program's window as a person would and waits, for every input it sends, until the
// program reports the frame that took it (its screen log, VENTARO_TEST_SCREEN_LOG): "pointer X Y",
// "press X Y", "release X Y", "key CODE", "panel N", "screen: ...". Nothing here waits for time;
// the time limits only end a wait for a program that has stopped answering.
//
//   screen_driver s(d, box.out_path(), run);
//   ASSERT_TRUE(s.wait_line("screen: Welcome"));
//   ASSERT_TRUE(s.click(169, 23));          // Preferences: moved, pressed, released, each seen
//   ASSERT_TRUE(s.wait_line("panel 2"));
#include <string>

#include "support/program_run.h"
#include "support/xdo.h"

namespace testsupport {

class screen_driver {
public:
    screen_driver(const xdo& window, std::string log_path, program_sandbox::running& run);

    // Waits until the log holds the whole line after the current mark and moves the mark past it.
    bool wait_line(const std::string& line, int timeout_seconds = 180);
    // The same without moving the mark: whether the line shows anywhere in the log so far.
    bool has_line(const std::string& line) const;
    // Moves the pointer to the point (interface units, y up) and waits until a frame has read it.
    bool move(float x, float y);
    // Move there, press and release button 1, each acknowledged by the frame that took it (the
    // release need not be when the press ended the program).
    bool click(float x, float y);
    // A key by its keysym ("Tab", "Return"), acknowledged.
    bool key(const std::string& keysym);
    // Types the text one character at a time, each acknowledged.
    bool type(const std::string& utf8);
    // Waits until n more frames have been swapped: the pointer steps between two points in the
    // window's top-left corner, where nothing reacts to it, and each step is acknowledged.
    bool frames(int n);
    // Waits until the log holds at least n lines that start with prefix.
    bool wait_count(const std::string& prefix, int n, int timeout_seconds = 180);
    int count(const std::string& prefix) const;
    // Everything the program has logged.
    std::string log() const;

private:
    bool wait_after(const std::string& line, std::size_t from, int timeout_seconds, std::size_t* end);
    std::size_t log_size() const;

    const xdo& window_;
    std::string log_path_;
    program_sandbox::running& run_;
    std::size_t mark_ = 0;
    int pointer_x_ = -1, pointer_y_ = -1;   // where this driver last put the pointer
};

}  // namespace testsupport
