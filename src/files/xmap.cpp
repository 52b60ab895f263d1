#include "files/xmap.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "files/paths.h"
#include "core/alert.h"
#include "core/app_globals.h"
#include "core/log.h"

int xmap_class::granularity = 0;

namespace {

const char* const kAlertFile = "QFutils/OOPS_cpp/xmap";

// An empty file is a present image with no bytes.
const char kEmptyImage[1] = {0};

inline bool is_blank(char c) { return c == ' ' || c == '\t'; }
inline bool is_eol(char c) { return c == '\r' || c == '\n' || c == '\0'; }

}  // namespace

xmap_class::xmap_class(const std::string& path, int offset, int length) {
    if (!path.empty()) retry(path, offset, length);
}

xmap_class::~xmap_class() { close(); }

const char* xmap_class::retry(const std::string& path, int offset, int length) {
    file_path = path;
    std::string p = path;
    const bool resource = UTL_path_is_resource(p);

    if (!resource && !is_path_full(p)) {
        if (!app_path.empty() && app_path.size() <= p.size() && p.find(app_path) != std::string::npos)
            __MACIBM_alert(0, "retry: We are getting a file string that is not V-System relative!",
                           "This is illegal! All paths must be V-System relative!", "The path in question is:", p,
                           t_crash, kAlertFile, __LINE__);
        for (const char c : p)
            if (c == '\\' || c == ':')
                __MACIBM_alert(0, "OOPS!", "I got a bad dirchar! I only want '/'!", "The path in question is:", p,
                               t_crash, kAlertFile, __LINE__);
    }

    close();
    if (offset < 0 || length < 0) return nullptr;

    if (resource)
        p = UTL_resource_get_file(p);
    else
        set_path_to_full(p);
    if (p.empty()) return nullptr;

    const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }

    // Mappings start on a page (or the set granularity); the cursor starts at the offset.
    const long page = ::sysconf(_SC_PAGESIZE);
    const std::int64_t align = granularity > 0 ? granularity : page;
    std::int64_t map_off = offset - offset % align;
    if (map_off % page) map_off -= map_off % page;
    const std::int64_t lead = offset - map_off;

    const std::int64_t size = st.st_size;
    std::int64_t len = length == 0 ? size - map_off : std::int64_t(length) + lead;
    if (len > size - map_off) len = size - map_off;  // never map past the end of the file
    if (len <= 0 || lead >= len) {
        xer << "Warning: remaining file space is " << (length == 0 ? size - map_off : len) << " and offset is "
            << map_off << " for file " << p << "\n";
        ::close(fd);
        mem_start = mem_cur = mem_end = kEmptyImage;
        return mem_start;
    }

    void* addr = ::mmap(nullptr, static_cast<std::size_t>(len), PROT_READ, MAP_PRIVATE, fd, map_off);
    if (addr == MAP_FAILED) {
        const int err = errno;
        xer << "Mem file error.  Err=" << err << ", file=" << p << "\n";
        ::close(fd);
        if (err == ENOMEM) {
            char num[64];
            std::snprintf(num, sizeof num, "errno=%f", 12.0);
            __MACIBM_alert(0, "Xmapped out of memory", "c_path=", p, num, t_crash, kAlertFile, __LINE__);
        }
        return nullptr;
    }
    if (!addr) {
        ::close(fd);
        __MACIBM_alert(0, "Xmapped file ran out of memory", "", "", "", t_crash, kAlertFile, __LINE__);
        return nullptr;
    }
    file_desc = fd;
    mapped_len_ = static_cast<std::size_t>(len);
    mem_start = static_cast<const char*>(addr);
    mem_end = mem_start + len;
    mem_cur = mem_start + lead;
    return mem_start;
}

void xmap_class::close() {
    if (mem_start && mem_start != kEmptyImage && !not_owned) {
        if (file_desc >= 0)
            ::munmap(const_cast<char*>(mem_start), mapped_len_);
        else
            std::free(const_cast<char*>(mem_start));
    }
    if (file_desc >= 0) ::close(file_desc);
    mem_start = mem_cur = mem_end = nullptr;
    file_desc = -1;
    not_owned = 0;
    mapped_len_ = 0;
}

void xmap_class::read_n_rev(void* dest, long count) {
    if (count < 0 || (count > 0 && (!mem_cur || count > mem_end - mem_cur))) {
        __MACIBM_alert(0, "Invalid read_n_rev read!", "", "", "", t_crash, __FILE__, __LINE__);
        return;
    }
    if (count == 0) return;
    auto* d = static_cast<unsigned char*>(dest);
    std::memcpy(d, mem_cur, static_cast<std::size_t>(count));
    mem_cur += count;
    if (swap_words) {
        for (long i = 0; i + 4 <= count; i += 4) {
            std::swap(d[i], d[i + 3]);
            std::swap(d[i + 1], d[i + 2]);
        }
    }
}

void xmap_class::skip_blanks() {
    while (mem_cur < mem_end && is_blank(*mem_cur)) ++mem_cur;
}

void xmap_class::TXT_xer_line() {
    long crs = 0, lfs = 0;
    const char* line_start = mem_start;
    for (const char* p = mem_start; p && p < mem_cur; ++p) {
        if (*p == '\r') ++crs;
        if (*p == '\n') ++lfs;
        if (*p == '\r' || *p == '\n') line_start = p + 1;
    }
    const char* line_end = mem_cur;
    while (line_end && line_end < mem_end && *line_end != '\r' && *line_end != '\n') ++line_end;
    const std::string text = line_start ? std::string(line_start, line_end) : std::string();
    xer << (1 + (crs > lfs ? crs : lfs)) << " \"" << text << "\"\n";
    xer.flush();
}

int xmap_class::TXT_str_scan_match(const char* keyword, int eol_ok, char delim) {
    skip_blanks();
    const char* p = mem_cur;
    for (const char* k = keyword; *k; ++k, ++p)
        if (p >= mem_end || *p != *k) return 0;
    bool ok;
    if (p >= mem_end)
        ok = eol_ok != 0;
    else
        ok = is_blank(*p) || (eol_ok && is_eol(*p)) || (delim != 0 && *p == delim);
    if (ok) mem_cur = p;
    return ok ? 1 : 0;
}

void xmap_class::TXT_str_scan_eoln(std::string* out) {
    skip_blanks();
    const char* start = mem_cur;
    while (mem_cur < mem_end && !is_eol(*mem_cur)) ++mem_cur;
    if (out) out->assign(start, mem_cur);
    while (mem_cur < mem_end && (is_eol(*mem_cur) || is_blank(*mem_cur))) ++mem_cur;
}

void xmap_class::TXT_str_scan_space(std::string* out) {
    skip_blanks();
    const char* start = mem_cur;
    while (mem_cur < mem_end && !is_blank(*mem_cur) && !is_eol(*mem_cur)) ++mem_cur;
    if (out) out->assign(start, mem_cur);
}

int xmap_class::TXT_int_scan() {
    skip_blanks();
    int sign = 1;
    if (mem_cur < mem_end && *mem_cur == '-') {
        sign = -1;
        ++mem_cur;
        if (mem_cur < mem_end && *mem_cur == '+') {
            sign = 1;
            ++mem_cur;
        }
    } else if (mem_cur < mem_end && *mem_cur == '+') {
        ++mem_cur;
    }
    // Digits are not checked and overflow wraps: unsigned arithmetic keeps that well defined.
    std::uint32_t value = 0;
    while (mem_cur < mem_end && !is_blank(*mem_cur) && !is_eol(*mem_cur)) {
        value = value * 10u + static_cast<std::uint32_t>(static_cast<unsigned char>(*mem_cur) - '0');
        ++mem_cur;
    }
    if (sign < 0) value = 0u - value;
    return static_cast<int>(value);
}
