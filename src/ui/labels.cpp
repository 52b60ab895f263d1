#include "ui/labels.h"

#include <cstdlib>

#include "ui/tt_font.h"

namespace {
void drop_blanks_around(std::string& s, char sep) {
    if (s.size() < 2) return;
    for (std::size_t i = 0; i + 1 < s.size(); ++i)
        if (s[i] == ' ' && s[i + 1] == sep) s.erase(i, 1);
    for (std::size_t i = 0; i + 1 < s.size(); ++i)
        if (s[i] == sep && s[i + 1] == ' ') s.erase(i + 1, 1);
}

constexpr std::size_t kLongestOneLine = 12;
// A part that begins with "-" asks to stay on one line.
constexpr std::size_t kLongestDashed = 9999;
}  // namespace

void BTN_expand_label(std::string label, std::string* left, std::string* right, std::string* help) {
    drop_blanks_around(label, '|');
    drop_blanks_around(label, '{');
    const std::size_t bar = label.rfind('|');
    const std::size_t brace_pos = label.rfind('{');
    const std::size_t brace = brace_pos == std::string::npos ? label.size() : brace_pos;
    const std::size_t left_end = bar == std::string::npos ? brace : bar;

    *left = label.substr(0, left_end);
    *right = bar == std::string::npos || bar >= brace ? std::string() : label.substr(bar + 1, brace - bar - 1);
    *help = brace_pos == std::string::npos ? std::string() : label.substr(brace_pos + 1);
}

void BTN_util_draw_label(float x, float y, int align, const std::string& text, int lit) {
    if (text.empty()) return;
    const bool dashed = text[0] == '-';
    std::string first = dashed ? text.substr(1) : text;
    std::string second;

    const long n = static_cast<long>(text.size());
    if (align != 1 && text.size() > (dashed ? kLongestDashed : kLongestOneLine)) {
        // The blank, "-" or "/" nearest the middle; a blank belongs to neither line, a "-" or "/"
        // stays at the end of the first.
        const long m = n / 2;
        long c = 0, first_end = 0;
        for (long i = 0; i < n; ++i) {
            const char ch = text[static_cast<std::size_t>(i)];
            if ((ch == ' ' || ch == '-' || ch == '/') && std::labs(i - m) < std::labs(c - m)) {
                first_end = ch == ' ' ? i : i + 1;
                c = i + 1;
            }
        }
        if (first_end > 0 && first_end < n - 1 && c > 0 && c < n - 1) {
            first = text.substr(0, static_cast<std::size_t>(first_end));
            if (dashed) first.erase(0, 1);
            second = text.substr(static_cast<std::size_t>(c));
            y += 5;
        }
    }

    const int colour = lit ? 91 : 48;
    switch (align) {
    case 0:
        OGL_string(colour, x, y - 1, first, 9999, cs_regular, just_right);
        OGL_string(colour, x, y - 11, second, 9999, cs_regular, just_right);
        break;
    case 2:
        OGL_string(colour, x, y - 1, first, 9999, cs_regular, just_left);
        OGL_string(colour, x, y - 11, second, 9999, cs_regular, just_left);
        break;
    case 1: OGL_string(colour, x, y - 1, first, 9999, cs_regular, just_centre); break;
    default: break;
    }
}
