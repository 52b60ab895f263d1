#pragma once
// Opening a web page in the user's browser.
#include <string>

// Starts the opener program (found on PATH, "xdg-open" unless replaced) with the address and
// waits for it to hand the page over. Returns 0, or an errno value when it cannot be started,
// or the program's nonzero exit status.
int platform_open_web_page(const std::string& url);

// Replaces the opener program; an empty name restores "xdg-open".
void platform_set_web_page_program(const std::string& program);
