#include "files/preferences.h"

#include <vector>

#include "core/cmdline.h"
#include "core/number_text.h"
#include "core/shared_constants.h"
#include "files/file_header.h"
#include "files/paths.h"
#include "files/xmap.h"
#include "core/app_globals.h"
#include "core/log.h"
#include "core/shell_services.h"

pref_class pref;

namespace {

constexpr int pref_version = 10;

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_line_end(char c) { return c == '\r' || c == '\n' || c == '\0'; }

std::string trim_blanks(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && is_blank(s[b])) ++b;
    while (e > b && is_blank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

}  // namespace

scan_class::scan_class(const std::string& path, int direction) : io_mode(direction) {
    if (io_mode == 1) {
        ouf_open(path, file_kind_text, pref_version, "no-copyright-string");
        return;
    }
    xmap_class x(path, 0, 0);
    const int versions[] = {pref_version, 0};
    if (!x.mem_start || x.check_file(file_kind_text, versions, nullptr, nullptr) != pref_version) return;

    const char* p = x.mem_cur;
    const char* const end = x.mem_end;
    while (p < end) {
        while (p < end && is_blank(*p)) ++p;
        const char* k = p;
        while (p < end && !is_blank(*p) && !is_line_end(*p)) ++p;
        std::string key(k, p);
        while (p < end && is_blank(*p)) ++p;
        const char* v = p;
        while (p < end && !is_line_end(*p)) ++p;
        std::string value(v, p);
        while (p < end && (is_line_end(*p) || is_blank(*p))) ++p;
        if (!key.empty()) entries[key] = value;   // a key met again takes the later value
    }
}

scan_class::~scan_class() {
    if (io_mode == 1) ouf.close();   // a failed close leaves ouf in its fail state
}

bool scan_class::take(const std::string& key, std::string& value) const {
    const std::string option = "--pref:" + key;
    if (cmdline.has_option(option.c_str())) {
        value = cmdline.get_option(option.c_str());
        return true;
    }
    const auto it = entries.find(key);
    if (it == entries.end()) return false;
    value = it->second;
    return true;
}

namespace {

// The int a preference text stands for; false (and a log line) when it is not a whole number.
bool pref_int(const std::string& key, const std::string& text, int current, int& out) {
    const std::string number = trim_blanks(text);
    if (number.empty()) {   // a key without a value clears it, as --pref:<key> alone does
        out = 0;
        return true;
    }
    if (!text_to_whole_number(number, out)) {
        xer << "Preference " << key << " is not a whole number: '" << text << "'; it stays " << current << "\n";
        return false;
    }
    return true;
}

}  // namespace

int scan_class::int_io(int* value, const std::string& key) {
    if (io_mode == 1) {
        ouf << key << " " << *value << "\n";
        return 0;
    }
    // A mistyped --pref: option is passed over for the file's value.
    const std::string option = "--pref:" + key;
    if (cmdline.has_option(option.c_str()) && pref_int(key, cmdline.get_option(option.c_str()), *value, *value))
        return 1;
    const auto it = entries.find(key);
    return it != entries.end() && pref_int(key, it->second, *value, *value) ? 1 : 0;
}

int scan_class::str_io(std::string* value, const std::string& key) {
    if (io_mode == 1) {
        if (!value->empty()) ouf << key << " " << *value << "\n";
        return 0;
    }
    return take(key, *value) ? 1 : 0;
}

int pref_class::IO_sta(int, int, std::string) { return 0; }

namespace {
struct key_group {
    int file, place;
    pref_keys_fn keys;
};
std::vector<key_group>& key_groups() {
    static std::vector<key_group> groups;
    return groups;
}

// The four preference messages head the installer's file.
void message_keys(scan_class& s, int) {
    s.str_io(&stls[0], "_message_1");
    s.str_io(&stls[1], "_message_2");
    s.str_io(&stls[2], "_message_3");
    s.str_io(&stls[3], "_message_4");
}
const bool messages_registered = (pref_register_keys(11, 0, &message_keys), true);

// Ending the run writes the installer's preferences.
void save_installer_preferences() { pref.IO_set(11, 1); }
const bool save_offered = (finishup_save_preferences = &save_installer_preferences, true);
}  // namespace

void pref_register_keys(int file, int place, pref_keys_fn keys) {
    auto& groups = key_groups();
    auto at = groups.begin();
    while (at != groups.end() && (at->file < file || (at->file == file && at->place <= place))) ++at;
    groups.insert(at, key_group{file, place, keys});
}

void pref_class::IO_set(int file, int write) {
    std::string path;
    if (file == 11) {
        get_OS_abs_path(os_dir_prefs, path);
        path += "Ventaro Installer.prf";
    } else if (file == 10) {
        path = prefs_path + "Screen Res.prf";
    } else if (file == 12) {
        path = prefs_path + "Calibration.prf";
    } else {
        return;
    }

    scan_class s(path, write);
    for (const key_group& g : key_groups())
        if (g.file == file) g.keys(s, write);
}
