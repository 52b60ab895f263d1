#include "ui/labels.h"

namespace {
void drop_blanks_around(std::string& s, char sep) {
    if (s.size() < 2) return;
    for (std::size_t i = 0; i + 1 < s.size(); ++i)
        if (s[i] == ' ' && s[i + 1] == sep) s.erase(i, 1);
    for (std::size_t i = 0; i + 1 < s.size(); ++i)
        if (s[i] == sep && s[i + 1] == ' ') s.erase(i + 1, 1);
}
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
