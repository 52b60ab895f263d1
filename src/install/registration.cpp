#include "install/registration.h"

#include <cstdint>
#include <cstdio>
#include <fstream>

#include "core/localisation.h"
#include "files/file_ops.h"
#include "files/launch.h"
#include "files/paths.h"
#include "install/install_state.h"
#include "core/log.h"

std::vector<std::string> all_vsystems;

namespace {
std::string g_disk_text;

std::string registration_file() {
    std::string prefs;
    get_OS_abs_path(os_dir_prefs, prefs);
    if (prefs.empty()) return "";
    return prefs + "ventaro_install.txt";
}

// Lines of any length; each ends at its first CR, LF or NUL.
std::vector<std::string> read_lines(const std::string& file) {
    std::vector<std::string> lines;
    std::ifstream in(file, std::ios::binary);
    if (!in) return lines;
    std::string raw;
    while (std::getline(in, raw)) {
        const size_t cut = raw.find_first_of(std::string("\r\n\0", 3));
        if (cut != std::string::npos) raw.resize(cut);
        lines.push_back(raw);
    }
    return lines;
}
}  // namespace

void register_new_ventaro() {
    const std::string file = registration_file();
    if (file.empty()) {
        xer << "WARNING: registration of this v-system folder failed!\n";
        return;
    }
    for (const auto& line : read_lines(file))
        if (line == dest_dir_path) return;
    // A file edited by hand may lack its last line end; the new path must not join that line.
    bool needs_line_end = false;
    if (FILE* r = std::fopen(file.c_str(), "rb")) {
        if (std::fseek(r, -1, SEEK_END) == 0) needs_line_end = std::fgetc(r) != '\n';
        std::fclose(r);
    }
    FILE* f = std::fopen(file.c_str(), "a");
    bool ok = f != nullptr;
    if (f) {
        if (needs_line_end) ok = std::fputc('\n', f) != EOF;
        ok = std::fprintf(f, "%s\n", dest_dir_path.c_str()) >= 0 && ok;
        ok = (std::fclose(f) == 0) && ok;
    }
    if (!ok) xer << "WARNING: could not append registration file: " << file << "\n";
}

void locate_all_ventaros() {
    all_vsystems.clear();
    const std::string file = registration_file();
    if (file.empty()) return;
    for (const auto& line : read_lines(file))
        if (!line.empty() && dir_exists(line)) all_vsystems.push_back(line);
}

int path_is_to_a_sim() {
    std::vector<std::string> names;
    std::vector<int> kinds;
    if (dest_dir_path.empty() || dest_dir_path.back() != '/') return 0;
    opensave_getitems(dest_dir_path, 0, names, kinds);
    bool airfoils = false, instructions = false, output = false, resources = false;
    for (size_t i = 0; i < names.size() && i < kinds.size(); ++i) {
        if (kinds[i] != 1) continue;
        const std::string& n = names[i];
        if (n.find("Airfoils") != std::string::npos) airfoils = true;
        if (n.find("Instructions") != std::string::npos) instructions = true;
        if (n.find("Output") != std::string::npos) output = true;
        if (n.find("Resources") != std::string::npos) resources = true;
    }
    return (airfoils && instructions && output && resources) ? 1 : 0;
}

std::string disk_size_text(double kb) {
    char buf[64];
    if (kb > 1024000.0) std::snprintf(buf, sizeof buf, "%.1f GB", kb / 1048576.0);
    else if (kb > 1024.0) std::snprintf(buf, sizeof buf, "%.0f MB", kb / 1024.0);
    else std::snprintf(buf, sizeof buf, "%.0f KB", kb);
    return buf;
}

bool disk_space_suffices(double free_kb, double need_kb) { return free_kb > need_kb; }

const std::string& UTIL_disk_space_text() { return g_disk_text; }

int UTIL_disk_space(const std::string& ok_message, const std::string& short_message) {
    uint64_t total_bytes = 0, free_bytes = 0;
    if (get_free_space(dest_dir_path, &total_bytes, &free_bytes) != 0) {
        // Another volume's numbers must not stand for this one.
        g_disk_text.clear();
        return 1;
    }
    const double total = (double)(total_bytes / 1000), free_kb = (double)(free_bytes / 1000);
    const double need = stg.needed_space;
    const bool enough = disk_space_suffices(free_kb, need);
    g_disk_text = UTL_string_sub(
        UTL_translate_string("Disk size: %1:total disk space%\nFree disk space: %2:free disk space%\n"
                             "Disk space needed to install: %3:required disk space%\n\n%4:status message%",
                             0),
        disk_size_text(total), disk_size_text(free_kb), disk_size_text(need), enough ? ok_message : short_message);
    return enough ? 1 : 0;
}
