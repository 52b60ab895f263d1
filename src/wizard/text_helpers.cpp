#include "wizard/text_helpers.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/localisation.h"

namespace {

// Every helper formats into this much, terminator included.
constexpr std::size_t kTextBuffer = 256;

// A float's count as an int, or false when the conversion would be undefined.
bool count_of(double value, int& out) {
    if (!std::isfinite(value)) return false;
    const double whole = std::trunc(value);
    if (whole < -2147483648.0 || whole > 2147483647.0) return false;
    out = static_cast<int>(whole);
    return true;
}

// One conversion taking a double, after flags, width and precision given as digits; "%%" anywhere.
bool is_single_float_format(const char* format) {
    int conversions = 0;
    for (const char* p = format; *p; ++p) {
        if (*p != '%') continue;
        ++p;
        if (*p == '%') continue;
        while (*p && std::strchr("-+ #0", *p)) ++p;
        while (*p >= '0' && *p <= '9') ++p;
        if (*p == '.') {
            ++p;
            while (*p >= '0' && *p <= '9') ++p;
        }
        if (!*p || !std::strchr("fFeEgGaA", *p)) return false;
        ++conversions;
    }
    return conversions == 1;
}

std::string with_count(int count, const char* singular, const char* plural) {
    return UTL_string_sub(UTL_translate_plural(count, singular, plural), std::to_string(count));
}

}  // namespace

std::string size_string(float kilobytes) {
    char buf[kTextBuffer];
    if (kilobytes > 1024000.0f) std::snprintf(buf, sizeof buf, "%.1f GB", kilobytes / 1048576.0f);
    else if (kilobytes > 1024.0f) std::snprintf(buf, sizeof buf, "%.0f MB", kilobytes / 1024.0f);
    else std::snprintf(buf, sizeof buf, "%.0f KB", kilobytes);
    return buf;
}

std::string int_str(int value) {
    char buf[kTextBuffer];
    std::snprintf(buf, sizeof buf, "%d", value);
    return buf;
}

std::string flt_str(const char* format, float value) {
    if (!format || !is_single_float_format(format)) return "";
    char buf[kTextBuffer];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    std::snprintf(buf, sizeof buf, format, static_cast<double>(value));
#pragma GCC diagnostic pop
    return buf;
}

std::string time_str(float seconds) {
    int n = 0;
    if (seconds < 120.0f) {
        if (!count_of(seconds, n)) return "";
        return with_count(n, "%1:seconds% second", "%1:seconds% seconds");
    }
    if (seconds < 7200.0f) {
        if (!count_of(seconds / 60.0f, n)) return "";
        return with_count(n, "%1:minutes% minute", "%1:minutes% minutes");
    }
    if (!count_of(seconds / 3600.0f, n)) return "";
    return with_count(n, "%1:hours% hour", "%1:hours% hours");
}

std::string rate_str(float kilobytes_per_second) {
    int n = 0;
    if (!count_of(kilobytes_per_second, n)) return "";
    return with_count(n, "%1:rate% kilobyte/second", "%1:rate% kilobytes/second");
}

float install_fraction(float kb_installed, float need_kb) {
    if (!(need_kb > 0.0f) || !std::isfinite(need_kb) || !std::isfinite(kb_installed)) return 0.0f;
    const float f = kb_installed / need_kb;
    return f < 0.0f ? 0.0f : (f > 1.0f ? 1.0f : f);
}

bool seconds_left(float remaining_kb, float rate_kbps, float& seconds) {
    if (!(rate_kbps > 0.0f) || !std::isfinite(rate_kbps) || !std::isfinite(remaining_kb)) return false;
    const float s = (remaining_kb < 0.0f ? 0.0f : remaining_kb) / rate_kbps;
    if (!std::isfinite(s)) return false;
    seconds = s;
    return true;
}
