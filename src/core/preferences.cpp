#include "core/preferences.h"

#include "core/cmdline.h"
#include "core/number_text.h"
#include "core/shared_constants.h"
#include "files/file_header.h"
#include "files/http.h"
#include "files/paths.h"
#include "files/xmap.h"
#include "install/install_state.h"
#include "render/renderer_options.h"
#include "core/app_globals.h"
#include "core/log.h"
#include "core/mouse_record.h"
#include "core/shell_services.h"
#include "ui/panel_record.h"

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

void pref_class::IO_set(int file, int write) {
    // Screen modes of the three display kinds, kept from one call to the next.
    static int x_res_wind_pln = 0, y_res_wind_pln = 0, x_res_full_pln = 0, y_res_full_pln = 0;
    static int full_pln = 0, bpp_pln = 0, hz_pln = 0;
    static int x_res_wind_wrl = 0, y_res_wind_wrl = 0, x_res_full_wrl = 0, y_res_full_wrl = 0;
    static int full_wrl = 0, bpp_wrl = 0, hz_wrl = 0;
    static int x_res_wind_all = 0, y_res_wind_all = 0, x_res_full_all = 0, y_res_full_all = 0;
    static int full_all = 0, bpp_all = 0, hz_all = 0;

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
    if (file == 11) {
        s.str_io(&stls[0], "_message_1");
        s.str_io(&stls[1], "_message_2");
        s.str_io(&stls[2], "_message_3");
        s.str_io(&stls[3], "_message_4");
        s.int_io(&stg.stream_count, "_stream_count");
        s.int_io(&stg.log_actions, "_log_actions");
        s.str_io(&http.proxy_host, "_proxy_host");
        s.str_io(&http.proxy_port, "_proxy_port");
        s.int_io(&http.proxy_port_int, "_proxy_port_int");
        s.int_io(&stg.get_beta, "_get_beta");
    } else if (file == 10) {
        if (write) {
            mnw.prefs_found = 1;
            full_all = wins.full_screen;
            x_res_wind_all = wins.windowed_w;
            y_res_wind_all = wins.windowed_h;
            x_res_full_all = wins.full_w;
            y_res_full_all = wins.full_h;
            hz_all = wins.full_hz;
            bpp_all = wins.full_bpp;
        }
        s.int_io(&x_res_wind_pln, "_x_res_wind_PLN");
        s.int_io(&y_res_wind_pln, "_y_res_wind_PLN");
        s.int_io(&x_res_full_pln, "_x_res_full_PLN");
        s.int_io(&y_res_full_pln, "_y_res_full_PLN");
        s.int_io(&x_res_wind_wrl, "_x_res_wind_WRL");
        s.int_io(&y_res_wind_wrl, "_y_res_wind_WRL");
        s.int_io(&x_res_full_wrl, "_x_res_full_WRL");
        s.int_io(&y_res_full_wrl, "_y_res_full_WRL");
        s.int_io(&x_res_wind_all, "_x_res_wind_ALL");
        s.int_io(&y_res_wind_all, "_y_res_wind_ALL");
        s.int_io(&x_res_full_all, "_x_res_full_ALL");
        s.int_io(&y_res_full_all, "_y_res_full_ALL");
        s.int_io(&full_pln, "_is_full_PLN");
        s.int_io(&bpp_pln, "_bpp_full_PLN");
        s.int_io(&hz_pln, "_hz_full_PLN");
        s.int_io(&full_wrl, "_is_full_WRL");
        s.int_io(&bpp_wrl, "_bpp_full_WRL");
        s.int_io(&hz_wrl, "_hz_full_WRL");
        s.int_io(&full_all, "_is_full_ALL");
        s.int_io(&bpp_all, "_bpp_full_ALL");
        s.int_io(&hz_all, "_hz_full_ALL");
        if (!write) {
            wins.full_screen = full_all;
            wins.windowed_w = x_res_wind_all;
            wins.windowed_h = y_res_wind_all;
            wins.full_w = x_res_full_all;
            wins.full_h = y_res_full_all;
            wins.full_hz = hz_all;
            wins.full_bpp = bpp_all;
        }
        s.int_io(&reno.use_vsync1, "_use_vsync1");
        s.int_io(&reno.use_vsync2, "_use_vsync2");
        s.int_io(&mnw.lang, "_lang");
        s.int_io(&reno.alias_req, "_alias_req");
        s.int_io(&mnw.keylist_up, "_keylist_up");
        s.int_io(&mnw.prefs_found, "_prefs_found");
        // Written as the live state; a value read from the file must not open a second window.
        int sec_mon_inuse = shell_window_count() == 2 ? 1 : 0;
        s.int_io(&sec_mon_inuse, "_sec_mon_inuse");
        if (wins.windowed_w < 600 || wins.windowed_w > 9999) wins.windowed_w = 1024;
        if (wins.windowed_h < 600 || wins.windowed_h > 9999) wins.windowed_h = 768;
    }
}
