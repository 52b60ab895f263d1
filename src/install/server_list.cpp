#include "install/server_list.h"

#include <cstdlib>

#include "core/cmdline.h"
#include "core/localisation.h"
#include "core/shared_constants.h"
#include "files/archives.h"
#include "files/error_codes.h"
#include "files/file_ops.h"
#include "files/http.h"
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

// Servers come from the network: a entry the HTTP client would refuse is skipped, not fatal.
bool add_server(server_t s) {
    if (s.host.empty() || s.host.back() == '/' || s.path.empty() || s.path[0] != '/') {
        xer << "WARNING: skipping a download server with a bad host or path: host=" << s.host << " path=" << s.path
            << "\n";
        return false;
    }
    servers.push_back(std::move(s));
    return true;
}

// "host/dir/" from --server or --add_server.
void add_server_option(const std::string& value) {
    const size_t slash = value.find('/');
    if (slash == std::string::npos) {
        xer << "WARNING: ignoring a server option without a path: " << value << "\n";
        return;
    }
    add_server({value.substr(0, slash), value.substr(slash) + install_name + "/", value});
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

}  // namespace

int read_server_list(const std::string& path) {
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
            server_t s;
            map.TXT_str_scan_eoln(&s.host);
            map.TXT_str_scan_eoln(&s.path);
            map.TXT_str_scan_eoln(&s.label);
            s.path += install_name + "/";
            add_server(std::move(s));
        } else {
            map.TXT_str_scan_eoln(nullptr);
        }
    }
    apply_server_options();
    return 0;
}

void UTL_download_directory() {
    if (servers.empty()) {
        const std::string local = temp_path + "serverlist9.txt";
        if (http.net_check(0, server_list_host, "/serverlist9.txt", local) != 1) return;
        read_server_list(local);
        return;
    }
    switch (stg.stage) {
        case 0: {
            if (stg.manifest_server < 0 || stg.manifest_server >= (int)servers.size()) stg.manifest_server = 0;
            const server_t& s = servers[stg.manifest_server];
            const std::string archive = temp_path + "directory.txt.zip";
            const int r = http.net_check(1, s.host, s.path + "directory.txt.zip", archive);
            if (r == 2) {
                stg.manifest_server = servers.size() == 1 ? 0 : std::rand() % (int)servers.size();
            } else if (r == 1) {
                const int err = zip_to_file(archive, temp_path, nullptr, 0);
                if (err != 0) {
                    MACIBM_alert(0, tr("The installer cannot extract a file."),
                                 UTL_string_sub(tr("Error: %1:message%."), error_str(err)),
                                 UTL_string_sub(tr("Compressed File  %1:file%."), archive),
                                 UTL_string_sub(tr("Destination Path: %1:file%."), temp_path), t_warn);
                } else {
                    stg.stage = 1;
                }
                delete_file(archive);
            }
            break;
        }
        case 1:
            stg.stage = read_directory(temp_path + "directory.txt");
            break;
        default:
            break;
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
                     UTL_string_sub(tr("Error: %1:message%."), error_str(err)),
                     UTL_string_sub(tr("Compressed File: %1:file%."), archive),
                     UTL_string_sub(tr("Destination Path: %1:file%."), temp_path), t_quit);
        return;
    }
    stg.stage = read_directory(temp_path + "directory.txt");
}
