#pragma once
// How much memory a piece of work takes at its peak, measured in a child process so that what
// it allocates (or an alert that ends the run) leaves the test alone.
#include <functional>

namespace testsupport {

// Kilobytes by which the child's peak resident size grew while it ran work (which may end the
// process through exit); -1 when the kernel cannot reset the peak or the child died otherwise.
long peak_growth_kb(const std::function<void()>& work);

}  // namespace testsupport
