#pragma once
// How much memory a piece of work takes at its peak, measured in a child process so that what
// it allocates (or an alert that ends the run) leaves the test alone.
#include <functional>

namespace testsupport {

// Kilobytes by which the child's peak resident size passed this process's size while it ran work
// (which may end the process, by any exit); -1 when the child was killed by a signal.
long peak_growth_kb(const std::function<void()>& work);

}  // namespace testsupport
