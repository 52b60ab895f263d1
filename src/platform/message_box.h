#pragma once
// The system's standard stop alert.
//   [x] a modal box with a main and a secondary text and one button (SDL's message box)
//   [x] without a display, or unattended (VENTARO_TEST_UNATTENDED), the texts go to standard error
//   [ ] the stop icon of the original: SDL's error box shows the desktop's own
#include <string>

namespace platform {

// Blocks until the user dismisses the box.
void stop_alert(const std::string& main_text, const std::string& secondary_text);

}  // namespace platform
