#pragma once
// Waiting for a file a program writes to hold some text: woken by the writes themselves
// (inotify), never by a timer. The time limit only ends the wait for a program that stopped.
#include <cstddef>
#include <functional>
#include <string>

namespace testsupport {

// Waits until found(contents of path) is true; false when seconds pass first or when alive()
// (if given) says the writer has ended and the text still does not satisfy found.
bool wait_for_file(const std::string& path, const std::function<bool(const std::string&)>& found,
                   int timeout_seconds, const std::function<bool()>& alive = {});
// Waits until the file holds needle at or after byte from; its offset, or npos.
std::size_t wait_for_text(const std::string& path, const std::string& needle, int timeout_seconds,
                          std::size_t from = 0, const std::function<bool()>& alive = {});

}  // namespace testsupport
