#include "core/number_text.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "core/alert.h"

namespace {

// Out-of-range and NaN floats would be undefined behaviour in a plain cast.
int clamp_to_int(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return INT_MAX;
    if (v <= -2147483648.0) return INT_MIN;
    return static_cast<int>(v);
}

int clamp_to_int(long v) {
    return static_cast<int>(std::clamp<long>(v, INT_MIN, INT_MAX));
}

bool too_wide(float value, int digits) {
    const float a = std::fabs(value);
    return (digits <= 1 && a > 9.5f) || (digits <= 2 && a > 99.5f) || (digits <= 3 && a > 999.5f) ||
           (digits <= 4 && a > 9999.5f) || (digits <= 5 && a > 99999.5f) || (digits <= 6 && a > 999999.5f) ||
           (digits <= 7 && static_cast<double>(a) > 9999999.5) ||
           (digits <= 8 && static_cast<double>(a) > 99999999.5);
}

void append_utf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool is_continuation(unsigned char b) { return (b & 0xC0) == 0x80; }

}  // namespace

void int_to_str(int value, std::string* out, int digits, str_format_type format, int negative) {
    std::string s;
    if (value < 0 || negative) {
        s += '-';
    } else if (format == sft_plus_zeros) {
        s += '+';
    }
    // Unsigned, so the most negative int has a magnitude too.
    const unsigned m = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    const bool pads = format == sft_zeros || format == sft_blanks || format == sft_plus_zeros;

    // Every digit of the value is written, and padding may reach all ten places an int can need.
    unsigned place = 1000000000u;
    for (int k = 9; k >= 1; --k, place /= 10) {
        const bool has_digit = m >= place;
        if (!has_digit && !(pads && digits > k)) continue;
        if (format == sft_blanks && !has_digit) {
            s += ' ';
        } else {
            s += static_cast<char>('0' + (m / place) % 10);
        }
    }
    s += static_cast<char>('0' + m % 10);
    *out = std::move(s);
}

void flt_to_str(float value, std::string* out, int digits, int decimals, str_format_type format) {
    if (decimals != 0) {
        decimals = std::min(decimals, 9);  // 10^decimals must fit an int
        int scale = 1;
        for (int i = 0; i < decimals; ++i) scale *= 10;
        const long n = std::lround(value * static_cast<float>(scale));
        const long whole = n / scale;
        const long fraction = std::labs(n % scale);
        std::string a, b;
        int_to_str(clamp_to_int(whole), &a, digits - decimals, format, value < 0.0f);
        int_to_str(static_cast<int>(fraction), &b, decimals, sft_zeros, 0);
        *out = a + "." + b;
        return;
    }

    if (!too_wide(value, digits)) {
        int_to_str(clamp_to_int(static_cast<double>(value)), out, digits, format, 0);
        return;
    }

    // Mantissa and one exponent digit. The bound on e stops an infinite value from looping.
    float q = value;
    int e = 0;
    while (std::fabs(q) >= 10.0f && e < 64) {
        q /= 10.0f;
        ++e;
    }
    const int w = std::max(digits - 2, 2);
    std::string mantissa;
    flt_to_str(q, &mantissa, w, w - 1, format);
    *out = mantissa + "x" + static_cast<char>(e <= 9 ? '0' + e : '0');
}

int str_to_int(const std::string& text) {
    if (text.empty()) return -1;
    std::size_t i = 0;
    int sign = 1;
    if (text[0] == '+' || text[0] == '-') {
        sign = text[0] == '-' ? -1 : 1;
        i = 1;
    }
    const std::size_t count = text.size() - i;
    if (count < 1 || count > 9) return -1;
    int v = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return -1;  // a sign anywhere but first is an error too
        v = v * 10 + (c - '0');
    }
    return sign * v;
}

bool text_to_whole_number(const std::string& text, int& out) {
    std::size_t i = 0;
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        i = 1;
    }
    if (i == text.size()) return false;
    // Accumulated as a negative number, which reaches the most negative int too.
    const long long limit = negative ? -(long long)INT_MIN : (long long)INT_MAX;
    long long v = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
        if (v > limit) return false;
    }
    out = int(negative ? -v : v);
    return true;
}

int int_rand(int lo, int hi) {
    if (lo == hi) return lo;
    if (hi < lo) {
        char range[80];
        std::snprintf(range, sizeof range, "lo=%1.0f hi=%1.0f", static_cast<double>(lo), static_cast<double>(hi));
        __MACIBM_alert(0, "int rand range negative!", range, "", "", t_crash, "QFutils/GenH/qf_math", 604);
        return lo;
    }
    const long long span = static_cast<long long>(hi) - lo + 1;
    return static_cast<int>(lo + std::rand() % span);
}

void return_latlon_str_dsf(int lat, int lon, std::string* out) {
    const long long la = ((lat + 90LL) / 10) * 10 - 90;
    const long long lo = ((lon + 180LL) / 10) * 10 - 180;
    std::string s;
    auto put = [&s](long long v, int width) {
        s += v >= 0 ? '+' : '-';
        const unsigned long long m = static_cast<unsigned long long>(v < 0 ? -v : v);
        unsigned long long place = width == 3 ? 100 : 10;
        for (int k = width - 1; k >= 0; --k, place /= 10) {
            unsigned long long d = m / place;
            if (k < width - 1) d %= 10;
            s += d <= 9 ? static_cast<char>('0' + d) : '0';
        }
    };
    put(la, 2);
    put(lo, 3);
    s += '/';
    put(lat, 2);
    put(lon, 3);
    s += ".dsf";
    *out = std::move(s);
}

bool string_is_utf8(const std::string& s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const std::size_t n = s.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char b = p[i];
        std::size_t more;
        if (b < 0x80) more = 0;
        else if ((b & 0xE0) == 0xC0) more = 1;
        else if ((b & 0xF0) == 0xE0) more = 2;
        else if ((b & 0xF8) == 0xF0) more = 3;
        else return false;
        if (n - i - 1 < more) return false;
        for (std::size_t k = 1; k <= more; ++k)
            if ((p[i + k] & 0xC0) != 0x80) return false;
        i += more + 1;
    }
    return true;
}

void string_utf_8_to_16(const std::string& in, std::u16string& out) {
    out.clear();
    const std::size_t n = in.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char lead = static_cast<unsigned char>(in[i]);
        uint32_t cp = 0;
        std::size_t extra = 0;
        if (lead < 0x80) {
            cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            cp = lead & 0x1F;
            extra = 1;
        } else if ((lead & 0xF0) == 0xE0) {
            cp = lead & 0x0F;
            extra = 2;
        } else if ((lead & 0xF8) == 0xF0) {
            cp = lead & 0x07;
            extra = 3;
        }
        if (extra > n - i - 1) {
            cp = 0;  // cut short by the end of the text; never read past it
        } else {
            for (std::size_t j = 1; j <= extra; ++j) cp = (cp << 6) | (static_cast<unsigned char>(in[i + j]) & 0x3F);
        }

        if (cp < 0x10000) {
            out += static_cast<char16_t>(cp);
        } else {
            const uint32_t d = cp - 0x10000;
            out += static_cast<char16_t>(0xD800 + ((d >> 10) & 0x3FF));
            out += static_cast<char16_t>(0xDC00 + (d & 0x3FF));
        }

        // A single byte moves one on; anything else also skips the continuation bytes after it.
        ++i;
        if (lead >= 0x80)
            while (i < n && is_continuation(static_cast<unsigned char>(in[i]))) ++i;
    }
}

void string_utf_16_to_8(const std::u16string& in, std::string& out) {
    out.clear();
    const std::size_t n = in.size();
    for (std::size_t i = 0; i < n; ++i) {
        const uint32_t u = in[i];
        uint32_t cp = u;
        // Only a real low half pairs up; a lone high surrogate stands for itself.
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((u & 0x3FF) << 10) + (in[i + 1] & 0x3FFu);
            ++i;
        }
        append_utf8(out, cp);
    }
}
