// Reading a translation file: the common header with the type word "TRANSLATION", then
// STRING and GENITIVE lines, each checked against its English source before it is stored.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "ui/localisation_file.h"

#include "core/cmdline.h"
#include "core/localisation.h"
#include "core/number_text.h"
#include "core/localisation_tables.h"
#include "files/xmap.h"
#include "core/log.h"
#include "ui/labels.h"

namespace {
using dictionary_t = std::unordered_map<std::string, std::string>;


// Checks one entry and stores it; every message names the entry as it stands in the file.
void take_entry(const std::string& entry, int form, std::vector<std::string>& genitive_order) {
    auto complain = [&entry](const char* what) {
        xer << "ERROR: language file line '" << entry << "' " << what << "\n";
    };
    const std::size_t split = entry.find("====");
    if (split == std::string::npos) {
        complain("missing ==== splitter.");
        return;
    }
    if (split + 5 >= entry.size()) {
        complain("missing right side translation.");
        return;
    }
    std::string source = entry.substr(0, split), translation = entry.substr(split + 4);
    str_unescape(source);
    str_unescape(translation);

    std::vector<int> want, got;
    UTL_string_check(source, want);
    UTL_string_check(translation, got);
    std::sort(want.begin(), want.end());
    std::sort(got.begin(), got.end());
    if (want != got) complain("has incorrect translated parameters.");

    if (!string_is_utf8(entry)) complain("contains invalid UTF8 characters.");

    std::string sl, sr, sh, tl, tr, th;
    BTN_expand_label(source, &sl, &sr, &sh);
    BTN_expand_label(translation, &tl, &tr, &th);
    if ((!sl.empty() && tl.empty()) || (!sr.empty() && tr.empty()) || (!sh.empty() && th.empty()))
        complain("does not have its help tips correctly formatted.");

    if (UTL_count_leading(source) != UTL_count_leading(translation)) complain("does not have the same leading spaces.");
    if (UTL_count_trailing(source) != UTL_count_trailing(translation))
        complain("does not have the same trailing spaces.");

    dictionary_t& dict = translation_tables().dictionary[form];
    const auto old = dict.find(source);
    if (old != dict.end()) {
        xer << "ERROR: language file line '" << entry << "' is a second translation of " << old->first << "===="
            << old->second << "\n";
        return;
    }
    dict.emplace(source, translation);
    if (form == 1) genitive_order.push_back(source);
}

bool is_line_end(char c) { return c == '\r' || c == '\n' || c == '\0'; }

// Reads the entries after the header: a line is "STRING" or "GENITIVE", one blank or tab, and the
// entry up to the line end; any other line is a comment.
void read_entries(const char* cur, const char* end) {
    std::vector<std::string> genitive_order;
    while (cur < end) {
        while (cur < end && (is_line_end(*cur) || *cur == ' ' || *cur == '\t')) ++cur;
        if (cur >= end) break;
        int form = -1;
        for (const auto& [word, f] : {std::pair<std::string, int>{"STRING", 0}, {"GENITIVE", 1}}) {
            const std::size_t len = word.size();
            if (static_cast<std::size_t>(end - cur) > len && std::equal(word.begin(), word.end(), cur) &&
                (cur[len] == ' ' || cur[len] == '\t')) {
                form = f;
                cur += len + 1;
                break;
            }
        }
        const char* start = cur;
        while (cur < end && !is_line_end(*cur)) ++cur;
        if (form >= 0) take_entry(std::string(start, cur), form, genitive_order);
    }
    translation_state& s = translation_tables();
    if (s.plural_mode == 2) {
        for (const std::string& source : genitive_order) {
            if (s.dictionary[0].count(source)) continue;
            xer << "WARNING: language file line " << source << "====" << s.dictionary[1][source]
                << " is provided in genitive but not plural case.\n";
        }
    }
}
}  // namespace

void UTL_translate_load(int index) {
    if (index < 0 || index >= 6 || !kLangInfo[index].resource_path) return;
    const lang_info_t& lang = kLangInfo[index];
    xer << " ==== CHANGING LANGUAGE TO: " << (lang.button + 1) << ". ====\n";
    translation_reset(lang.plural_mode);

    std::string path = lang.resource_path;
    const std::string& folder = translation_tables().test_folder;
    if (!folder.empty()) path = folder + "/" + path.substr(path.find(':') + 1);

    xmap_class file(path);
    if (!file.mem_start) {
        xer << "Could not find translation file: " << path << "; using English.\n";
        return;
    }
    static const int versions[] = {900, 0};
    if (file.check_file(10001, versions, "TRANSLATION", nullptr) != 900) {
        xer << "Translation file " << path << " is not version 900 or has a bad header.\n";
        return;
    }
    read_entries(file.mem_cur, file.mem_end);
    translation_tables().has_translation = 1;
    translation_tables().log_missing = cmdline.has_option("--missing_strings") ? 1 : 0;
}

