#pragma once
// The user's preferred languages, best first, as the system states them.
#include <string>
#include <vector>

namespace platform {

// The entries of LANGUAGE (a colon-separated list), then LC_ALL, LC_MESSAGES and LANG, each as
// given ("fr_CA.UTF-8", "de"); empty and unset variables are left out.
std::vector<std::string> preferred_languages();

}  // namespace platform
