#include "install/server_list.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "core/app_globals.h"
#include "core/cmdline.h"
#include "core/frame_clock.h"
#include "core/localisation.h"
#include "core/shared_constants.h"
#include "files/archives.h"
#include "files/error_codes.h"
#include "files/file_ops.h"
#include "files/http.h"
#include "files/repeat_log.h"
#include "files/xmap.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/prompts.h"
#include "platform/install_media.h"
#include "core/alert.h"
#include "core/log.h"

std::vector<server_t> servers;

namespace {

std::string tr(const std::string& s) { return UTL_translate_string(s, 0); }

// Warnings of one reading of the list, written as one block: a list that is fetched again and
// again (it gave no usable server) adds a count to the log, not its warnings each time.
std::string g_warnings;
int g_warning_count = 0;
repeat_log g_list_log;
constexpr int warnings_shown = 10;

void warn(const std::string& line) {
    if (++g_warning_count <= warnings_shown) g_warnings += line + "\n";
}

// Servers come from the network: an entry the HTTP client would refuse is skipped, not fatal,
// and so is one whose host or path (install name included) is over-long.
bool add_server(const std::string& host, const std::string& path_prefix, std::string label) {
    if (host.size() > server_path_max || path_prefix.size() + install_name.size() + 1 > server_path_max) {
        warn("WARNING: skipping a download server whose host or path is longer than " +
             std::to_string(server_path_max) + " bytes");
        return false;
    }
    server_t s{host, path_prefix + install_name + "/", std::move(label)};
    if (s.host.empty() || s.host.back() == '/' || s.path[0] != '/') {
        warn("WARNING: skipping a download server with a bad host or path: host=" + s.host + " path=" + s.path);
        return false;
    }
    servers.push_back(std::move(s));
    return true;
}

// "host/dir/" from --server or --add_server.
void add_server_option(const std::string& value) {
    const size_t slash = value.find('/');
    if (slash == std::string::npos) {
        warn("WARNING: ignoring a server option without a path: " + value);
        return;
    }
    add_server(value.substr(0, slash), value.substr(slash), value);
}

// Failed fetches of the list and of the manifest are tried again once a second, not every frame.
constexpr float retry_seconds = 1.0f;
struct pace {
    bool waiting = false;
    float since = 0;
    bool due() const {
        const float now = xtim.real_time;
        return !waiting || now - since >= retry_seconds || now < since;
    }
    void wait() {
        waiting = true;
        since = xtim.real_time;
    }
};
pace g_list_pace, g_manifest_pace;

directory_failure g_failure;

// Stream n's failed transfer from host, shown until a fetch succeeds; the pace has started its wait.
void note_failure(const std::string& host, int n, const pace& p) {
    g_failure.host = host;
    g_failure.error = http.lookup_failed(n) ? error_sentence(err_net_no_server) : tr("Server is not responding normally.");
    g_failure.retry_time = p.since + retry_seconds;
}

void apply_server_options() {
    if (cmdline.has_option("--install_name")) install_name = cmdline.get_option("--install_name");
    if (cmdline.has_option("--server")) {
        servers.clear();
        add_server_option(cmdline.get_option("--server"));
    }
    if (cmdline.has_option("--add_server")) add_server_option(cmdline.get_option("--add_server"));
    if (cmdline.has_option("--server_clone")) {
        const int n = std::atoi(cmdline.get_option("--server_clone").c_str());
        if (n > 0 && !servers.empty()) {
            const server_t first = servers[0];
            for (int i = 0; i < n; ++i) servers.push_back(first);
        }
    }
}

int read_server_list_lines(const std::string& path) {
    xmap_class map(path, 0, 0);
    static const int versions[] = {820, 0};
    if (!map.mem_start || !map.check_file(10001, versions, "SERVERS", nullptr)) {
        new_format(path);
        return 2;
    }
    while (map.mem_cur < map.mem_end) {
        if (map.TXT_str_scan_match("BETA", 1, 0)) {
            if (stg.get_beta) map.TXT_str_scan_eoln(&install_name);
            else map.TXT_str_scan_eoln(nullptr);
        } else if (map.TXT_str_scan_match("FINAL", 1, 0)) {
            if (!stg.get_beta) map.TXT_str_scan_eoln(&install_name);
            else map.TXT_str_scan_eoln(nullptr);
        } else if (map.TXT_str_scan_match("INS_VERSION", 0, 0)) {
            const int version = map.TXT_int_scan();
            std::string unused, url;
            map.TXT_str_scan_space(&unused);
            map.TXT_str_scan_space(&url);
            map.TXT_str_scan_eoln(nullptr);
            if (version > this_installer_version) {
                new_installer(url);
                return 1;
            }
        } else if (map.TXT_str_scan_match("ENDOFLIST", 1, 0)) {
            break;
        } else if (map.TXT_str_scan_match("SERVER", 1, 0)) {
            std::string host, path_prefix, label;
            map.TXT_str_scan_eoln(&host);
            map.TXT_str_scan_eoln(&path_prefix);
            map.TXT_str_scan_eoln(&label);
            add_server(host, path_prefix, std::move(label));
        } else {
            map.TXT_str_scan_eoln(nullptr);
        }
    }
    apply_server_options();
    return 0;
}

}  // namespace

int read_server_list(const std::string& path) {
    g_warnings.clear();
    g_warning_count = 0;
    const int result = read_server_list_lines(path);
    if (g_warning_count > warnings_shown)
        g_warnings += "WARNING: " + std::to_string(g_warning_count - warnings_shown) + " more warnings like these\n";
    if (g_warnings.empty()) g_list_log.end();
    else g_list_log.write(g_warnings);
    return result;
}

const directory_failure& UTL_directory_failure() { return g_failure; }

void server_list_reset_for_test() {
    g_list_pace = {};
    g_manifest_pace = {};
    g_list_log = {};
    g_failure = {};
}

namespace {

// How a step of the web road ended: waiting (a pace, a failure, nothing to do), a transfer still
// in flight on the given stream, or done, so that the next step may follow at once.
enum class directory_step { waits, in_flight, done };

directory_step download_directory_step(int& stream) {
    if (servers.empty()) {
        if (!g_list_pace.due()) return directory_step::waits;
        const std::string local = temp_path + "serverlist9.txt";
        const int r = http.net_check(0, server_list_host, "/serverlist9.txt", local);
        if (r == 2) {
            g_list_pace.wait();
            note_failure(server_list_host, 0, g_list_pace);
        }
        stream = 0;
        if (r == 0) return directory_step::in_flight;
        if (r != 1) return directory_step::waits;
        g_list_pace = {};
        // A list without a usable server is fetched again, at the same pace as a failure.
        const int read = read_server_list(local);
        if (read == 0 && servers.empty()) {
            g_list_pace.wait();
            g_failure.host = server_list_host;
            g_failure.error = tr("The server list names no download server I can use.");
            g_failure.retry_time = g_list_pace.since + retry_seconds;
            return directory_step::waits;
        }
        g_failure = {};
        return read == 0 ? directory_step::done : directory_step::waits;
    }
    switch (stg.stage) {
        case 0: {
            if (!g_manifest_pace.due()) return directory_step::waits;
            if (stg.manifest_server < 0 || stg.manifest_server >= (int)servers.size()) stg.manifest_server = 0;
            const server_t& s = servers[stg.manifest_server];
            const std::string archive = temp_path + "directory.txt.zip";
            const int r = http.net_check(1, s.host, s.path + "directory.txt.zip", archive);
            stream = 1;
            if (r == 0) return directory_step::in_flight;
            if (r == 2) {
                g_manifest_pace.wait();
                note_failure(s.host, 1, g_manifest_pace);
                stg.manifest_server = servers.size() == 1 ? 0 : std::rand() % (int)servers.size();
                return directory_step::waits;
            }
            g_manifest_pace = {};
            const int err = zip_to_file(archive, temp_path, nullptr, 0);
            if (err != 0) {
                MACIBM_alert(0, tr("The installer cannot extract a file."),
                             UTL_string_sub(tr("Error: %1:message%."), error_sentence(err)),
                             UTL_string_sub(tr("Compressed File  %1:file%."), archive),
                             UTL_string_sub(tr("Destination Path: %1:file%."), temp_path), t_warn);
                g_manifest_pace.wait();
                g_failure.host = s.host;
                g_failure.error = error_sentence(err);
                g_failure.retry_time = g_manifest_pace.since + retry_seconds;
                delete_file(archive);
                return directory_step::waits;
            }
            delete_file(archive);
            g_failure = {};
            stg.stage = 1;
            return directory_step::done;
        }
        case 1:
            stg.stage = read_directory(temp_path + "directory.txt");
            return directory_step::waits;
        default:
            return directory_step::waits;
    }
}

// A near server answers a request within a moment: the call waits that long for it rather than
// leave it to the next frame, and waits no more once it has spent its budget.
constexpr int answer_wait_ms = 2;
constexpr uint64_t call_budget_us = 10000;

}  // namespace

void UTL_download_directory() {
    // A step that ends without waiting on the network (the list read, the manifest unpacked)
    // goes straight on to the next one: on a near server one call fetches what used to take a
    // frame a step.
    const uint64_t start = xtim_class::microsecs();
    while (!app_done) {
        int stream = -1;
        const directory_step step = download_directory_step(stream);
        if (step == directory_step::waits) return;
        if (step == directory_step::in_flight) {
            // Nothing within the moment, or the call's budget spent: the answer is left to the
            // next frame.
            const uint64_t spent = xtim_class::microsecs() - start;
            if (spent >= call_budget_us) return;
            const int left_ms = (int)((call_budget_us - spent + 999) / 1000);
            if (!http.wait_for_answer(stream, std::min(answer_wait_ms, left_ms))) return;
        }
    }
}

void UTIL_scan_dvd() {
    if (dvd_path.empty()) {
        std::string volume = platform_find_install_media();
        if (!volume.empty()) {
            if (volume.back() != '/') volume += '/';
            dvd_path = volume;
        }
    }
    if (!dvd_path.empty() && install_name == no_install_name) {
        xmap_class map(dvd_path + "dvd_version.txt", 0, 0);
        static const int versions[] = {900, 0};
        if (map.mem_start && map.check_file(10001, versions, "DVD", nullptr)) {
            servers.clear();
            while (map.mem_cur < map.mem_end) {
                if (map.TXT_str_scan_match("VERSION", 1, 0)) map.TXT_str_scan_eoln(&install_name);
                else map.TXT_str_scan_eoln(nullptr);
            }
        }
    }
    if (install_name == no_install_name || stg.stage != 0) return;
    const std::string archive = dvd_path + install_name + "/directory.txt.zip";
    const int err = zip_to_file(archive, temp_path, nullptr, 0);
    if (err != 0) {
        MACIBM_alert(0, tr("DVD scan: The installer cannot extract a file."),
                     UTL_string_sub(tr("Error: %1:message%."), error_sentence(err)),
                     UTL_string_sub(tr("Compressed File: %1:file%."), archive),
                     UTL_string_sub(tr("Destination Path: %1:file%."), temp_path), t_quit);
        return;
    }
    stg.stage = read_directory(temp_path + "directory.txt");
}
