#pragma once
// Translated texts: the six languages, the start-up language, translation files, and lookups
// with plurals and numbered placeholders such as "%1:rate%".
#include <string>
#include <vector>

struct lang_info_t {
    const char* button;          // chooser label; the leading "|" puts it right of the radio button
    const char* folder;
    const char* resource_path;   // the translation file; null for English
    const char* second_path;
    const char* iso_code;
    int number;
    int plural_mode;             // 0: singular up to 1; 1: singular for exactly 1; 2: with genitive
};

extern const lang_info_t kLangInfo[6];

void UTL_lang_get_languages(std::vector<int>& out);
std::string UTL_lang_get_folder(int index);
std::string UTL_lang_get_button(int index);

// --lang, else the system's preferred languages; -1 when the user must choose.
int UTL_get_default_language();

// Back to English. A translation file is read by UTL_translate_load (ui/localisation_file.h).
void UTL_translate_clear();

// form 0: ordinary texts; 1: the genitive plurals.
std::string UTL_translate_string(const std::string& text, int form);
std::string UTL_translate_plural(int count, const std::string& singular, const std::string& plural);

std::string UTL_string_sub(const std::string& tmpl, const std::string& v1);
std::string UTL_string_sub(const std::string& tmpl, const std::string& v1, const std::string& v2);
std::string UTL_string_sub(const std::string& tmpl, const std::string& v1, const std::string& v2,
                           const std::string& v3);
std::string UTL_string_sub(const std::string& tmpl, const std::string& v1, const std::string& v2,
                           const std::string& v3, const std::string& v4);
std::string UTL_string_sub(const std::string& tmpl, const std::string& v1, const std::string& v2,
                           const std::string& v3, const std::string& v4, const std::string& v5);
std::string UTL_string_sub(const std::string& tmpl, const std::string& v1, const std::string& v2,
                           const std::string& v3, const std::string& v4, const std::string& v5,
                           const std::string& v6);
std::string UTL_string_sub_x(const std::string& tmpl, int count, const std::string* const* values);

// Appends the number of every placeholder in the text, in order of appearance.
void UTL_string_check(const std::string& text, std::vector<int>& numbers);
int UTL_count_leading(const std::string& text);
int UTL_count_trailing(const std::string& text);
// Backslash-r becomes a carriage return, backslash-n a line feed.
void str_unescape(std::string& text);

// Test seam: read translation files from this folder instead of the bundle ("" restores it).
void UTL_translate_set_folder_for_test(const std::string& folder);
