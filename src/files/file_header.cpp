#include "files/file_header.h"

#include <sys/stat.h>

#include <cstdint>

#include "files/paths.h"
#include "files/xmap.h"
#include "core/alert.h"

std::ofstream ouf;

namespace {

const char kNoNote[] = "no-copyright-string";

bool version_listed(int version, const int* versions) {
    for (const int* v = versions; v && *v; ++v)
        if (*v == version) return true;
    return false;
}

// Creates just the last folder of the path, as given (relative paths resolved like files).
void make_last_folder(const std::string& folder) {
    std::string full = folder;
    set_path_to_full(full);
    while (full.size() > 1 && full.back() == '/') full.pop_back();
    if (!full.empty()) ::mkdir(full.c_str(), 0755);
}

}  // namespace

int xmap_class::check_file(int kind, const int* versions, const char* type_word, std::string* free_text) {
    if (kind != file_kind_binary && kind != file_kind_text)
        __MACIBM_alert(0, "Bad check_file type!", file_path, "", "", t_crash, "QFutils/OOPS_cpp/xmap", __LINE__);
    if (!mem_start || mem_start == mem_end) return 0;
    mem_cur = mem_start;

    int version = 0;
    if (kind == file_kind_binary) {
        const char marker = *mem_cur++;
        if (marker != 'a' && marker != 'i') return 0;
        swap_words = marker == 'a' ? 1 : 0;
        if (mem_end - mem_cur >= 4) {
            const auto* b = reinterpret_cast<const unsigned char*>(mem_cur);
            const std::uint32_t v = swap_words
                ? (std::uint32_t(b[0]) << 24) | (std::uint32_t(b[1]) << 16) | (std::uint32_t(b[2]) << 8) | b[3]
                : (std::uint32_t(b[3]) << 24) | (std::uint32_t(b[2]) << 16) | (std::uint32_t(b[1]) << 8) | b[0];
            version = static_cast<int>(v);
            mem_cur += 4;
        } else {
            mem_cur = mem_end;
        }
    } else {
        if (mem_end - mem_start > 3 && static_cast<unsigned char>(mem_cur[0]) == 0xEF &&
            static_cast<unsigned char>(mem_cur[1]) == 0xBB && static_cast<unsigned char>(mem_cur[2]) == 0xBF)
            mem_cur += 3;
        if (mem_cur >= mem_end) return 0;
        const char marker = *mem_cur++;
        TXT_str_scan_eoln(nullptr);
        if (marker != 'A' && marker != 'I') return 0;
        version = TXT_int_scan();
        TXT_str_scan_eoln(free_text);
    }

    if (!version_listed(version, versions)) return 0;
    if (type_word) {
        if (!TXT_str_scan_match(type_word, 1, 0)) return 0;
        TXT_str_scan_eoln(nullptr);
    }
    return version;
}

int ouf_open(const std::string& path, int kind, int version, const std::string& note) {
    if (kind != file_kind_binary && kind != file_kind_text)
        __MACIBM_alert(0, "Bad ouf_open type!", path, "", "", t_crash, "QFutils/Files/FILE_ops", __LINE__);

    std::string full = path;
    set_path_to_full(full);
    if (full.size() > 3)
        for (std::size_t i = full.size() - 3; i < full.size(); ++i)
            if (full[i] >= 'A' && full[i] <= 'Z') full[i] = static_cast<char>(full[i] - 'A' + 'a');

    for (int attempt = 0; attempt < 2; ++attempt) {
        ouf.clear();
        if (ouf.is_open()) ouf.close();
        ouf.clear();
        if (kind == file_kind_binary) {
            ouf.open(full, std::ios::out | std::ios::trunc | std::ios::binary);
            const auto v = static_cast<std::uint32_t>(version);
            const char bytes[5] = {'i', static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                                   static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
            ouf.write(bytes, sizeof bytes);
        } else {
            ouf.open(full, std::ios::out | std::ios::trunc);
            ouf.setf(std::ios::fixed, std::ios::floatfield);
            ouf << "I\n" << version << " version";
            if (note != kNoNote) ouf << note;
            ouf << "\n";
        }
        if (ouf.good()) return 1;
        if (attempt == 0) {
            std::string folder;
            get_path_with_path(folder, path);
            make_last_folder(folder);
        }
    }
    __MACIBM_alert(0,
                   "I could not save the file! Could the directory that the file sits in be missing? Or flagged as "
                   "READ-ONLY by the operating system? (Windows machines typically do this).",
                   full, "Could the file be flagged as read-only? This happens in Windows if you copy it from a CD!",
                   "Try putting this app in the background and then flag the file as NOT read-only, or creating the "
                   "folder listed in the path above.",
                   t_warn, "QFutils/Files/FILE_ops", __LINE__);
    return 0;
}

int xmap_class::io_file_open(int mode, const std::string& path, const int* versions, int kind) {
    io_mode = mode;
    if (mode == 1) return ouf_open(path, kind, versions ? versions[0] : 0, kNoNote);
    if (mode == 0) return retry(path, 0, 0) && check_file(kind, versions, nullptr, nullptr) ? 1 : 0;
    return 0;
}

void xmap_class::io_file_close() {
    if (io_mode == 1) ouf.close();
}
