#pragma once
// The short texts the install screens build from numbers: a size with its unit, an integer, a
// formatted float, a duration and a download rate (the last two translated, singular or plural).
#include <string>

// Kilobytes of 1000 bytes: "1.9 GB" above 1024000, "5 MB" above 1024, else "800 KB"; not translated.
std::string size_string(float kilobytes);
std::string int_str(int value);
// The value through a printf format holding one floating conversion (%f, %e, %g or %a, with flags,
// width and precision) and any "%%"; the text is cut at 255 characters. Any other format gives "".
std::string flt_str(const char* format, float value);
// "45 seconds", "2 minutes", "2 hours" in the current language. "" for a duration that is not
// finite or whose count does not fit an int: the caller then shows no estimate.
std::string time_str(float seconds);
// "1 kilobyte/second", "12 kilobytes/second"; "" when the rate is not finite or too large to count.
std::string rate_str(float kilobytes_per_second);

// The install screen's estimates, never NaN or infinite.
// The share of the needed kilobytes installed so far, 0..1; 0 when nothing is needed or the
// figures are not finite (no estimate).
float install_fraction(float kb_installed, float need_kb);
// Seconds until remaining_kb have arrived at rate_kbps; false, with no estimate, when the rate is
// not positive or either figure is not finite.
bool seconds_left(float remaining_kb, float rate_kbps, float& seconds);
