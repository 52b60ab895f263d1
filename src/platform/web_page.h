#pragma once
// Opening a web page in the user's browser.
//   [x] http and https addresses, handed to the desktop's opener (xdg-open through SDL) or a
//       program set by tests
//   [x] every other scheme (file:, javascript:, a bare path, ...) refused and logged
//   [ ] a result from the browser itself: the opener's start is all that is known
#include <string>

// Hands the address to the desktop (SDL_OpenURL, which starts xdg-open from PATH), or, when a
// program was set, starts that program with the address and waits for it. Returns 0, or an errno
// value when it cannot be started (EINVAL for an address that is not http or https), or the
// program's nonzero exit status (-1 from the desktop path).
int platform_open_web_page(const std::string& url);

// Replaces the opener with a program (tests); an empty name goes back to the desktop.
void platform_set_web_page_program(const std::string& program);

// Where the line refusing an address goes. The program's log sets it as it is linked in; unset,
// the line goes to standard error.
void platform_set_web_page_log(void (*log)(const std::string& line));
