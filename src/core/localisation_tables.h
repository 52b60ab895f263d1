#pragma once
// The translation state shared by the lookups and the translation-file reader.
#include <set>
#include <string>
#include <unordered_map>

struct translation_state {
    translation_state();
    std::unordered_map<std::string, std::string> dictionary[2];   // 0: STRING lines, 1: GENITIVE lines
    int has_translation = 0;   // lookups use the dictionaries only while set
    int log_missing = 0;       // --missing_strings: untranslated texts go to the log once each
    int plural_mode = 1;
    std::set<std::string> logged;
    std::string test_folder;
};

translation_state& translation_tables();
// Empties the tables, switches translations and logging off and sets the plural mode.
void translation_reset(int plural_mode);
