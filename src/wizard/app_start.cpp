#include "wizard/app_start.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "core/cmdline.h"
#include "core/log.h"
#include "files/preferences.h"
#include "core/shared_constants.h"
#include "files/file_ops.h"
#include "files/launch.h"
#include "files/paths.h"
#include "install/install_state.h"
#include "install/registration.h"
#include "platform/folders.h"
#include "platform/install_media.h"
#include "platform/bundle.h"
#include "platform/test_switches.h"

std::string cmd_line_path;

void locate_install_dvd() {
    const std::string volume = platform_find_install_media();
    dvd_path = volume.empty() ? std::string() : volume + "/";
}

bool bundle_is_on_volume(const std::string& volume, const std::string& bundle) {
    if (volume.empty()) return false;
    // A volume path without its '/' would also claim its siblings ("/media/dvd" and "/media/dvd2").
    std::string root = volume;
    if (root.back() != '/') root += '/';
    return bundle.size() > root.size() && bundle.compare(0, root.size(), root) == 0;
}

int relaunch_copy(const std::string& bundle, const std::string& temp_folder) {
    if (temp_folder.empty() || bundle.empty()) return -1;
    std::string name;
    get_file_with_path(name, bundle.back() == '/' ? bundle.substr(0, bundle.size() - 1) : bundle);
    if (name.empty()) return -1;
    const std::string copy = temp_folder + name;
    // A half-made copy must not be started: it would run without its resources.
    if (const int err = copy_file_recursive(bundle, copy)) return err;
    return launch_app(copy, "", 0);
}

std::string relaunch_off_install_dvd() {
    const platform::test_switches& switches = platform::test_switches_now();
    if (!switches.mount_table.empty()) platform_set_mount_table(switches.mount_table);
    // Off the DVD the copy runs from the temporary folder, so the disc can be switched later.
    std::string temp_folder, bundle;
    get_OS_abs_path(os_dir_temp, temp_folder);
    get_OS_abs_path(os_dir_app_bundle, bundle);
    locate_install_dvd();
    if (bundle_is_on_volume(dvd_path, bundle)) relaunch_copy(bundle, temp_folder);
    return temp_folder;
}

void log_os_folders() {
    const struct {
        const char* label;
        os_dir_type folder;
    } lines[] = {
        {"os_dir_this_app\t\t=", os_dir_this_app},   {"os_dir_desktop\t\t=", os_dir_desktop},
        {"os_dir_default_apps\t=", os_dir_default_apps}, {"os_dir_temp\t\t\t=", os_dir_temp},
        {"os_dir_prefs\t\t\t=", os_dir_prefs},
    };
    for (const auto& line : lines) {
        std::string path;
        get_OS_abs_path(line.folder, path);
        xer << line.label << path << "\n";
    }
    xer << "\n";
    xer.flush();
}

int os_filter_from_option(const std::string& value) {
    if (value == "ALL") return 0;
    if (value == "APL") return 1;
    if (value == "IBM") return 2;
    if (value == "LIN") return 3;
    return 1;
}

std::string absolute_folder(const std::string& path) {
    if (path.empty()) return path;
    // A relative folder on the command line means one below where the program was started from,
    // not the folder holding the bundle that start-up makes current.
    std::filesystem::path p = path;
    if (p.is_relative()) {
        const std::string from = platform::launch_folder();
        if (!from.empty()) p = std::filesystem::path(from) / p;
    }
    std::string out = p.lexically_normal().generic_string();
    if (out.empty() || out.back() != '/') out += '/';
    return out;
}

void wizard_start_state(int argc, char** argv, const std::string& temp_folder) {
    log_os_folders();

    temp_path = temp_folder;
    // Asked again now that the log is open, so a refused temporary folder is reported there.
    if (temp_path.empty()) get_OS_abs_path(os_dir_temp, temp_path);
    // Downloads go to a folder of this run's own: two installers of one user never share names.
    if (!temp_path.empty()) {
        std::string run_folder, why;
        if (platform::make_run_folder(temp_path, run_folder, &why) == 0) temp_path = run_folder + "/";
        else xer << "WARNING: " << why << "; the downloads go to " << temp_path << " itself\n";
    }
    install_name = no_install_name;

    stg_set_initial();
    if (cmdline.has_option("--os")) stg.platform_filter = os_filter_from_option(cmdline.get_option("--os"));

    // The preferences come after --os and the initial state: the keys they bind keep the saved values.
    pref.IO_set(11, 0);

    if (argc > 2 && std::string(argv[1]) == "-path") cmd_line_path = absolute_folder(argv[2]);

    locate_all_ventaros();

    if (platform::test_switches_now().report_start)
        std::fprintf(stderr, "start: os_filter=%d path='%s' temp='%s' install_name='%s' installed=%zu\n",
                     stg.platform_filter, cmd_line_path.c_str(), temp_path.c_str(), install_name.c_str(),
                     all_vsystems.size());
}
