#include "core/localisation.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "core/cmdline.h"
#include "core/localisation_tables.h"
#include "platform/languages.h"
#include "core/log.h"

const lang_info_t kLangInfo[6] = {
    {"|English", "English/", nullptr, nullptr, "en", 9, 1},
    {"|Fran\xC3\xA7" "ais", "French/", "RESOURCE:French.txt", "Resources/text/French.txt", "fr", 12, 0},
    {"|Deutsch", "German/", "RESOURCE:German.txt", "Resources/text/German.txt", "de", 7, 1},
    {"|\xD0\xA0\xD1\x83\xD1\x81\xD1\x81\xD0\xBA\xD0\xB8\xD0\xB9", "Russian/", "RESOURCE:Russian.txt",
     "Resources/text/Russian.txt", "ru", 32, 2},
    {"|Italiano", "Italian/", "RESOURCE:Italian.txt", "Resources/text/Italian.txt", "it", 16, 1},
    {"|Espa\xC3\xB1ol", "Spanish/", "RESOURCE:Spanish.txt", "Resources/text/Spanish.txt", "es", 10, 1},
};

namespace {
void replace_all(std::string& s, const std::string& from, const std::string& to) {
    for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
}

// The number right after a "%": leading blanks and a sign allowed, stops at the first non-digit.
long placeholder_number(const std::string& s, std::size_t percent) {
    const long v = std::strtol(s.c_str() + percent + 1, nullptr, 10);
    return std::clamp<long>(v, INT_MIN, INT_MAX);
}

// Finds the placeholder that a "%" at p would open: the first ":" after it, then the next "%".
bool placeholder_end(const std::string& s, std::size_t p, std::size_t* close) {
    const std::size_t colon = s.find(':', p);
    if (colon == std::string::npos) return false;
    *close = s.find('%', colon);
    return *close != std::string::npos;
}
bool valid_index(int index) { return index >= 0 && index < 6; }
}  // namespace

translation_state::translation_state() {
    for (auto& d : dictionary) d.reserve(100);
}

translation_state& translation_tables() {
    static translation_state s;
    return s;
}

void translation_reset(int plural_mode) {
    translation_state& s = translation_tables();
    for (auto& d : s.dictionary) d.clear();
    s.logged.clear();
    s.plural_mode = plural_mode;
    s.has_translation = 0;
    s.log_missing = 0;
}

void UTL_lang_get_languages(std::vector<int>& out) {
    static const std::vector<int> offered = {0, 1, 2, 3, 4, 5};
    out = offered;
}

std::string UTL_lang_get_folder(int index) { return valid_index(index) ? kLangInfo[index].folder : ""; }

std::string UTL_lang_get_button(int index) { return valid_index(index) ? kLangInfo[index].button : ""; }

int UTL_get_default_language() {
    std::vector<int> langs;
    UTL_lang_get_languages(langs);
    if (langs.empty()) return -1;
    if (langs.size() == 1) return langs[0];

    if (cmdline.has_option("--lang")) {
        const std::string want = cmdline.get_option("--lang");
        for (int l : langs)
            if (want == kLangInfo[l].iso_code) return l;
    }
    for (const std::string& entry : platform::preferred_languages()) {
        if (entry.size() < 2) continue;
        for (int l : langs)
            if (entry.compare(0, 2, kLangInfo[l].iso_code) == 0) return l;
    }
    return -1;
}

void UTL_translate_clear() { translation_reset(1); }

std::string UTL_translate_string(const std::string& text, int form) {
    translation_state& s = translation_tables();
    if (!s.has_translation) return text;
    if (form == 0 || form == 1) {
        const auto hit = s.dictionary[form].find(text);
        if (hit != s.dictionary[form].end()) return hit->second;
    }
    if (s.log_missing && s.logged.insert(text).second) {
        // Ready to paste into the file: the English text on both sides.
        std::string line = text;
        replace_all(line, "\r", "\\r");
        replace_all(line, "\n", "\\n");
        xer << "STRING " << line << "====" << line << "\n";
    }
    return text;
}

std::string UTL_translate_plural(int count, const std::string& singular, const std::string& plural) {
    const translation_state& s = translation_tables();
    switch (s.plural_mode) {
    case 0:
        return UTL_translate_string(count <= 1 ? singular : plural, 0);
    case 2: {
        if (count == 1) return UTL_translate_string(singular, 0);
        const int last = count % 10, last_two = count % 100;
        if (count > 0 && last >= 2 && last <= 4 && !(last_two >= 10 && last_two <= 20) && s.has_translation &&
            s.dictionary[1].count(plural))
            return UTL_translate_string(plural, 1);
        return UTL_translate_string(plural, 0);
    }
    default:
        return UTL_translate_string(count == 1 ? singular : plural, 0);
    }
}

std::string UTL_string_sub_x(const std::string& tmpl, int count, const std::string* const* values) {
    std::string out = tmpl;
    std::size_t pos = 0;
    for (std::size_t p; (p = out.find('%', pos)) != std::string::npos;) {
        pos = p + 1;
        std::size_t close;
        if (!placeholder_end(out, p, &close)) continue;
        const long n = placeholder_number(out, p);
        if (n < 1 || n > count) continue;
        const std::string& value = *values[n - 1];
        out.replace(p, close - p + 1, value);
        pos = p + value.size();   // a "%" inside a value is never a placeholder
    }
    return out;
}

std::string UTL_string_sub(const std::string& t, const std::string& v1) {
    const std::string* v[] = {&v1};
    return UTL_string_sub_x(t, 1, v);
}
std::string UTL_string_sub(const std::string& t, const std::string& v1, const std::string& v2) {
    const std::string* v[] = {&v1, &v2};
    return UTL_string_sub_x(t, 2, v);
}
std::string UTL_string_sub(const std::string& t, const std::string& v1, const std::string& v2, const std::string& v3) {
    const std::string* v[] = {&v1, &v2, &v3};
    return UTL_string_sub_x(t, 3, v);
}
std::string UTL_string_sub(const std::string& t, const std::string& v1, const std::string& v2, const std::string& v3,
                           const std::string& v4) {
    const std::string* v[] = {&v1, &v2, &v3, &v4};
    return UTL_string_sub_x(t, 4, v);
}
std::string UTL_string_sub(const std::string& t, const std::string& v1, const std::string& v2, const std::string& v3,
                           const std::string& v4, const std::string& v5) {
    const std::string* v[] = {&v1, &v2, &v3, &v4, &v5};
    return UTL_string_sub_x(t, 5, v);
}
std::string UTL_string_sub(const std::string& t, const std::string& v1, const std::string& v2, const std::string& v3,
                           const std::string& v4, const std::string& v5, const std::string& v6) {
    const std::string* v[] = {&v1, &v2, &v3, &v4, &v5, &v6};
    return UTL_string_sub_x(t, 6, v);
}

void UTL_string_check(const std::string& text, std::vector<int>& numbers) {
    std::size_t pos = 0;
    for (std::size_t p; (p = text.find('%', pos)) != std::string::npos;) {
        pos = p + 1;
        std::size_t close;
        if (!placeholder_end(text, p, &close)) continue;
        const long n = placeholder_number(text, p);
        if (n < 1) continue;
        numbers.push_back(static_cast<int>(n));
        pos = close + 1;
    }
}

int UTL_count_leading(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    return static_cast<int>(first == std::string::npos ? text.size() : first);
}

int UTL_count_trailing(const std::string& text) {
    const std::size_t last = text.find_last_not_of(' ');
    return static_cast<int>(last == std::string::npos ? text.size() : text.size() - 1 - last);
}

void str_unescape(std::string& text) {
    replace_all(text, "\\r", "\r");
    replace_all(text, "\\n", "\n");
}

void UTL_translate_set_folder_for_test(const std::string& folder) { translation_tables().test_folder = folder; }
