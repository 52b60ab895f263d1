#include "files/archives.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <minizip/unzip.h>
#include <minizip/zip.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include "core/log.h"
#include "files/file_ops.h"
#include "files/link_check.h"
#include "files/md5.h"
#include "files/paths.h"
#include "files/p7z_limits.h"
#include "files/staging.h"
#include "files/whole_file_map.h"
#include "files/zip_pipeline.h"
#include "platform/beneath.h"
#include "platform/xattrs.h"

namespace {

#define NOTE_FAILURE() note_extract_failure(__FILE_NAME__, __LINE__)

constexpr uint64_t kMaxHeldEntry = uint64_t(1) << 31;   // links and AppleDouble data are read whole
constexpr size_t kMaxLinkText = 4095;
constexpr int kErrAppleDouble = 20012;
// An AppleDouble entry holds, besides the fork, a header, its descriptors and the Finder information.
constexpr uint64_t kAppleDoubleRoom = 4096;

const unsigned char kAppleDoubleHeader[24] = {0x00, 0x05, 0x16, 0x07, 0x00, 0x02, 0x00, 0x00};

// Header and both descriptors of the AppleDouble data we write, up to the fork's length.
const unsigned char kMagicCrap[46] = {
    0x00, 0x05, 0x16, 0x07, 0x00, 0x02, 0x00, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0x00, 0x02,                                       // two entries
    0x00, 0x00, 0x00, 0x09, 0x00, 0x00, 0x00, 0x32, 0x00, 0x00, 0x00, 0x20,   // Finder info at 50, 32 bytes
    0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x52,   // resource fork at 82, length follows
};

std::string full_path(const std::string& p) {
    std::string f = p;
    set_path_to_full(f);
    return f;
}

struct fd_guard {
    int fd = -1;
    explicit fd_guard(int f) : fd(f) {}
    ~fd_guard() {
        if (fd >= 0) ::close(fd);
    }
    fd_guard(const fd_guard&) = delete;
    fd_guard& operator=(const fd_guard&) = delete;
};

uint32_t be32(const unsigned char* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

std::vector<std::string> split_path(const std::string& path) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        out.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    return out;
}

// 0 when an archive name may be written under the output folder.
int check_entry_name(const std::string& name, bool folder_entry) {
    if (name.size() >= 256) return ENAMETOOLONG;
    if (name.empty() || name[0] == '/' || name.find('\0') != std::string::npos) return EPERM;
    const std::vector<std::string> parts = split_path(name);
    for (const std::string& part : parts)
        if (part == "..") return EPERM;
    if (!folder_entry && (parts.back().empty() || parts.back() == ".")) return EPERM;
    return 0;
}

// Resolution that would leave the output folder is a refused name, whatever the kernel calls it.
int contained_errno() { return errno == EXDEV ? EPERM : errno; }

// minizip reads the archive's directory and headers through a small buffer of our own: its many
// small reads and seeks per entry then cost few system calls. File entries are read by the
// pipeline's threads with pread, straight into their own buffers; on virtual machines that is
// much cheaper than faulting in a mapping of the archive page by page.
struct zip_file {
    int fd = -1;
    uint64_t size = 0;
    uint64_t pos = 0;
    uint64_t buf_at = 0;     // file offset of buf[0]
    size_t buf_len = 0;
    unsigned char buf[16384];
};

// The opaque value of the file functions: where the open archive is kept for the caller.
struct zip_source {
    zip_file* file = nullptr;
};

voidpf ZCALLBACK zf_open(voidpf opaque, const void* filename, int mode) {
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ || !filename) return nullptr;
    // Not blocking: opening a FIFO with no writer would otherwise wait forever; only files are read.
    const int fd = ::open(static_cast<const char*>(filename), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    auto* z = new zip_file;
    z->fd = fd;
    z->size = uint64_t(st.st_size);
    static_cast<zip_source*>(opaque)->file = z;
    return z;
}

// Reads n bytes at offset at; false when the file ends first or cannot be read.
bool pread_all(int fd, unsigned char* out, uint64_t n, uint64_t at) {
    while (n) {
        const ssize_t got = ::pread(fd, out, size_t(std::min<uint64_t>(n, 1u << 30)), off_t(at));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        out += got;
        at += uint64_t(got);
        n -= uint64_t(got);
    }
    return true;
}

uLong ZCALLBACK zf_read(voidpf, voidpf stream, void* out, uLong size) {
    auto* z = static_cast<zip_file*>(stream);
    auto* dst = static_cast<unsigned char*>(out);
    uLong done = 0;
    while (done < size && z->pos < z->size) {
        if (z->pos < z->buf_at || z->pos >= z->buf_at + z->buf_len) {
            const uint64_t want = size - done;
            if (want >= sizeof z->buf) {   // big reads skip the buffer
                const uint64_t n = std::min<uint64_t>(want, z->size - z->pos);
                if (!pread_all(z->fd, dst + done, n, z->pos)) return done;
                z->pos += n;
                return uLong(done + n);
            }
            z->buf_at = z->pos;
            z->buf_len = size_t(std::min<uint64_t>(sizeof z->buf, z->size - z->pos));
            if (!pread_all(z->fd, z->buf, z->buf_len, z->buf_at)) {
                z->buf_len = 0;
                return done;
            }
        }
        const uint64_t in_buf = z->buf_at + z->buf_len - z->pos;
        const uint64_t n = std::min<uint64_t>(in_buf, size - done);
        std::memcpy(dst + done, z->buf + (z->pos - z->buf_at), size_t(n));
        done += uLong(n);
        z->pos += n;
    }
    return done;
}

uLong ZCALLBACK zf_write(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK zf_tell(voidpf, voidpf stream) { return static_cast<zip_file*>(stream)->pos; }

long ZCALLBACK zf_seek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    auto* z = static_cast<zip_file*>(stream);
    uint64_t base = 0;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR) base = z->pos;
    else if (origin == ZLIB_FILEFUNC_SEEK_END) base = z->size;
    else if (origin != ZLIB_FILEFUNC_SEEK_SET) return -1;
    if (offset > z->size - base) return -1;
    z->pos = base + offset;
    return 0;
}

int ZCALLBACK zf_close(voidpf opaque, voidpf stream) {
    static_cast<zip_source*>(opaque)->file = nullptr;
    auto* z = static_cast<zip_file*>(stream);
    ::close(z->fd);
    delete z;
    return 0;
}

int ZCALLBACK zf_error(voidpf, voidpf) { return 0; }

// An archive open for reading; the source knows the open file for as long as it is open.
class zip_reader {
public:
    explicit zip_reader(const std::string& full) {
        zlib_filefunc64_def io = {zf_open, zf_read, zf_write, zf_tell, zf_seek, zf_close, zf_error, &source_};
        uf_ = unzOpen2_64(full.c_str(), &io);
    }
    ~zip_reader() {
        if (uf_) unzClose(uf_);
    }
    zip_reader(const zip_reader&) = delete;
    zip_reader& operator=(const zip_reader&) = delete;

    unzFile uf() const { return uf_; }
    int fd() const { return source_.file ? source_.file->fd : -1; }

    // Where the current entry's stored bytes begin in the archive. 0 or minizip's code.
    int locate(const unz_file_info64& info, uint64_t& offset) {
        int method = 0, level = 0;
        const int err = unzOpenCurrentFile2(uf_, &method, &level, 1);   // raw: no inflater is set up
        if (err != UNZ_OK) return err;
        const uint64_t at = unzGetCurrentFileZStreamPos64(uf_);
        unzCloseCurrentFile(uf_);
        const zip_file* z = source_.file;
        if (!z || at > z->size || info.compressed_size > z->size - at) return UNZ_BADZIPFILE;
        offset = at;
        return 0;
    }

private:
    zip_source source_;
    unzFile uf_ = nullptr;
};

// Reads the current entry whole (links and AppleDouble data). Memory grows with the bytes that
// really arrive, not with the size the archive claims. 0, the open or CRC code of minizip, 12 or 20002.
int read_entry(unzFile uf, const unz_file_info64& info, std::string& out) {
    if (info.uncompressed_size >= kMaxHeldEntry) {
        NOTE_FAILURE();
        return ENOMEM;
    }
    int err = unzOpenCurrentFile(uf);
    if (err != UNZ_OK) {
        NOTE_FAILURE();
        return err;
    }
    const uint64_t size = info.uncompressed_size;
    out.clear();
    while (out.size() < size) {
        const size_t want = size_t(std::min<uint64_t>(size - out.size(), 65536));
        const size_t at = out.size();
        out.resize(at + want);
        const int got = unzReadCurrentFile(uf, out.data() + at, unsigned(want));
        if (got <= 0) {
            out.resize(at);
            break;
        }
        out.resize(at + size_t(got));
    }
    err = unzCloseCurrentFile(uf);
    if (out.size() != size) {
        NOTE_FAILURE();
        return 20002;
    }
    if (err != UNZ_OK) NOTE_FAILURE();
    return err;
}

std::string md5_of(const std::string& bytes) {
    md5_context ctx;
    MD5Init(&ctx);
    MD5UpdateWide(&ctx, reinterpret_cast<const unsigned char*>(bytes.data()), uint32_t(bytes.size()));
    MD5Final(&ctx);
    return md5_text(ctx.digest);
}

int make_folder_entry(int rootfd, std::string rel) {
    while (!rel.empty() && rel.back() == '/') rel.pop_back();
    int err = platform::mkdir_beneath(rootfd, rel, 0755);
    if (err == EXDEV) err = EPERM;
    if (show_make_dir_err(err)) {
        NOTE_FAILURE();
        return err;
    }
    return 0;
}

void log_link_failure(int err, const std::string& path) {
    xer << "Zip to symlink failed with error " << err << ". file = " << extract_failure_file()
        << " line = " << extract_failure_line() << ". inFile=" << path << ".\n";
}

// Creates one link (its text is the entry's bytes) under a staging name and moves it over the
// final name. The text must not be absolute; where it leads is judged once the whole archive is
// out. expect_md5, when not empty, is the MD5 the text must have.
int unzip_symlink(unzFile uf, int rootfd, const std::string& rel, const std::string& path, const unz_file_info64& info,
                  const std::string& expect_md5, bool& local) {
    std::string text;
    int err = 0;
    if (info.uncompressed_size > kMaxLinkText) {
        NOTE_FAILURE();
        err = ENAMETOOLONG;
    } else {
        err = read_entry(uf, info, text);
    }
    if (!err && (text.empty() || text.find('\0') != std::string::npos || text[0] == '/')) {
        NOTE_FAILURE();
        err = EPERM;
    }
    if (!err && !expect_md5.empty() && md5_of(text) != expect_md5) {
        NOTE_FAILURE();
        err = err_md5_mismatch;
    }
    if (!err) {
        staged_file link(rootfd, rel);
        if (link.error() || link.make_link(text) || link.commit()) {
            NOTE_FAILURE();
            err = -1;
            local = true;
        }
    }
    if (err) log_link_failure(err, path);
    return err;
}

// Sets one attribute; a read-only file is opened up for the moment it takes.
int set_file_attr(int fd, const char* name, const unsigned char* data, size_t size) {
    int err = platform::set_attr(fd, name, data, size);
    if (err == EACCES || err == EPERM) {
        struct stat st;
        if (::fstat(fd, &st) == 0 && ::fchmod(fd, st.st_mode | S_IWUSR) == 0) {
            err = platform::set_attr(fd, name, data, size);
            ::fchmod(fd, st.st_mode & 07777);
        }
    }
    return platform::attr_refused(err) ? 0 : err;
}

int apply_apple_double(int rootfd, const std::string& target_rel, const std::string& data, bool& local) {
    const auto* d = reinterpret_cast<const unsigned char*>(data.data());
    const uint64_t size = data.size();
    if (size < 26 || std::memcmp(d, kAppleDoubleHeader, 24) != 0) {
        NOTE_FAILURE();
        return kErrAppleDouble;
    }
    const int count = int16_t(uint16_t(d[24] << 8 | d[25]));
    const unsigned char* finder = nullptr;
    const unsigned char* fork = nullptr;
    uint32_t fork_len = 0;
    for (int i = 0; i < count; ++i) {
        const uint64_t at = 26 + 12 * uint64_t(i);
        if (at + 12 > size) {
            NOTE_FAILURE();
            return kErrAppleDouble;
        }
        const uint32_t id = be32(d + at), off = be32(d + at + 4), len = be32(d + at + 8);
        if ((id != 9 || len != 32) && id != 2) continue;
        if (uint64_t(off) + len > size) {
            NOTE_FAILURE();
            return kErrAppleDouble;
        }
        if (id == 9) {
            finder = d + off;
        } else {
            fork = d + off;
            fork_len = len;
        }
    }

    // Nothing to apply when the file it describes is not there (or is no file or folder).
    const int probe = platform::open_beneath(rootfd, target_rel, O_PATH);
    if (probe < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return 0;
        NOTE_FAILURE();
        return contained_errno();
    }
    struct stat st;
    const bool usable = ::fstat(probe, &st) == 0 && (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode));
    ::close(probe);
    if (!usable) return 0;
    const fd_guard fd(platform::open_beneath(rootfd, target_rel, O_RDONLY | O_NONBLOCK | O_NOCTTY));
    if (fd.fd < 0) {
        NOTE_FAILURE();
        return errno;
    }
    if (finder) {
        // The file information block; the extended half is not kept.
        unsigned char info[32] = {};
        std::memcpy(info, finder, 16);
        if (const int err = set_file_attr(fd.fd, platform::xattr_finder_info, info, sizeof info)) {
            NOTE_FAILURE();
            local = true;
            return err;
        }
    }
    if (fork && fork_len > 0) {
        if (const int err = set_file_attr(fd.fd, platform::xattr_resource_fork, fork, fork_len)) {
            NOTE_FAILURE();
            local = true;
            return err;
        }
    }
    return 0;
}

// The file an AppleDouble name describes: "._" goes from its last component ("" when the name is
// no AppleDouble name of a file; "." for a bare "._", which describes its folder).
std::string described_by(const std::string& rel) {
    const size_t slash = rel.rfind('/');
    const size_t last = slash == std::string::npos ? 0 : slash + 1;
    if (rel.compare(last, 2, "._") != 0) return std::string();
    std::string target = rel;
    target.erase(last, 2);
    if (target.empty() || target.back() == '/') target.push_back('.');
    return target;
}

// The file an AppleDouble entry's output path describes: the "._" that begins the last component goes.
std::string described_path(const std::string& path) {
    std::string described = path;
    const size_t slash = described.rfind('/');
    const size_t at = slash == std::string::npos ? 0 : slash + 1;
    if (described.compare(at, 2, "._") == 0) described.erase(at, 2);
    return full_path(described);
}

int unzip_resource_fork(unzFile uf, int rootfd, const std::string& rel, const std::string& path,
                        const unz_file_info64& info, bool& local) {
    const std::string target = described_by(rel);
    if (target.empty()) return 0;   // not AppleDouble data of a file: nothing to restore
    // The data could not be kept anyway: it is not read at all.
    if (info.uncompressed_size > platform::attr_size_limit() + kAppleDoubleRoom) {
        xer << "Skipping a resource fork of " << info.uncompressed_size
            << " bytes, more than the file system keeps: " << described_path(path) << "\n";
        return 0;
    }
    std::string data;
    int err = read_entry(uf, info, data);
    if (!err) err = apply_apple_double(rootfd, target, data, local);
    if (err)
        xer << "Unzip RF failed with error " << err << ". file = " << extract_failure_file()
            << " line = " << extract_failure_line() << ". inFile=" << described_path(path) << ".\n";
    return err;
}

int worker_count(unzFile uf) {
    unz_global_info64 gi{};
    if (unzGetGlobalInfo64(uf, &gi) != UNZ_OK || gi.number_entry < 8) return 0;
    const unsigned hw = std::thread::hardware_concurrency();
    return int(std::min(4u, hw > 1 ? hw : 0u));
}

// What one extraction writes and where.
struct zip_plan {
    int rootfd = -1;
    int root_err = 0;                    // why the folder could not be opened: every entry fails with it
    std::string prefix;                  // folder of the entries, relative to rootfd
    std::string log_folder;              // the folder as log lines name it, ending in "/"
    std::string* first_name = nullptr;
    int rename = 0;
    const std::map<std::string, checked_entry>* want = nullptr;   // null: every entry
};

void log_refused(const std::string& name, const std::string& zip) {
    xer << "Refusing archive entry '" << name << "' of " << zip << ": only the file's own entries are installed.\n";
}

bool is_folder_of_wanted(const std::string& folder_name, const std::map<std::string, checked_entry>& want) {
    const auto it = want.lower_bound(folder_name);
    return it != want.end() && it->first.compare(0, folder_name.size(), folder_name) == 0;
}

// The walk over the archive's entries shared by zip_to_file and checked extraction.
int extract_zip(const std::string& zp, const std::string& out_dir_for_log, const zip_plan& plan, bool& local) {
    zip_reader reader(zp);
    unzFile uf = reader.uf();
    if (!uf) {
        xer << "OK I am about to report that I could not open a zip file for extraction!\n";
        xer << "That incoming file is " << zp << "\n";
        xer << "In c-form, it is " << zp << "\n";
        xer << "The size is " << zp.size() << "\n";
        return 20001;
    }
    file_pipeline files(worker_count(uf));
    const std::map<std::string, checked_entry>* want = plan.want;
    std::set<std::string> seen;                 // wanted entries met
    std::vector<unz64_file_pos> forks;          // AppleDouble entries of wanted files, applied last
    std::vector<std::pair<std::string, std::string>> links;   // links made: relative name, log path

    unzGoToFirstFile(uf);
    int err = UNZ_OK;
    bool first = true;
    bool failed = false;
    // A failure logs its own line (plain files here; links and AppleDouble data where they fail),
    // then the entry line.
    auto report = [&](int code, bool plain, const std::string& where) {
        if (plain)
            xer << "Zip to file failed with error " << code << ". file = " << extract_failure_file()
                << " line = " << extract_failure_line() << ". inFile=" << full_path(where) << ".\n";
        xer << "UNZIP zip_to_file failed with err=" << code << "\n";
        err = code;
        failed = true;
    };
    auto pipeline_failed = [&]() {
        if (!files.finish()) {
            const file_job* f = files.failure();
            local = local || f->local;
            report(f->code, true, f->out_path);
            return true;
        }
        return false;
    };

    while (true) {
        unz_file_info64 info;
        char name_buf[256];
        err = unzGetCurrentFileInfo64(uf, &info, name_buf, sizeof name_buf, nullptr, 0, nullptr, 0);
        if (err != UNZ_OK) {
            xer << "unzGetCurrentFileInfo err != UNZ_OK! err=" << err << "\n";
            break;
        }
        // A stored name with a NUL in it reads back shorter than its recorded length.
        std::string name(name_buf, strnlen(name_buf, sizeof name_buf));
        if (info.size_filename < sizeof name_buf && name.size() != info.size_filename) name.push_back('\0');
        const bool renamed = plan.rename && first && plan.first_name;
        const std::string entry_rel = renamed ? *plan.first_name : name;
        const std::string rel = plan.prefix + entry_rel;
        const std::string out_path = plan.log_folder + entry_rel;
        if (plan.first_name && first) *plan.first_name = name;
        first = false;

        const bool folder_entry = !name.empty() && name.back() == '/';
        const bool apple = name.compare(0, 8, "__MACOSX") == 0;
        const bool link = ((info.external_fa >> 16) & 0xA000) == 0xA000;
        const bool plain = !folder_entry && !apple && !link;
        const std::string apple_sub = apple && name.size() > 9 && name[8] == '/' ? name.substr(9) : std::string();

        int r = 0;
        bool r_plain = false;
        const checked_entry* wanted = nullptr;
        if (info.size_filename >= sizeof name_buf) {
            NOTE_FAILURE();
            r = ENAMETOOLONG;
        } else if (plan.root_err) {
            NOTE_FAILURE();
            r = plan.root_err;
            r_plain = plain;
        } else if (want) {
            // Only the wanted entries, their folders and their own AppleDouble data are taken.
            if (folder_entry && apple) {
            } else if (folder_entry) {
                if (is_folder_of_wanted(name, *want) && !(r = check_entry_name(name, true))) {
                    if (pipeline_failed()) break;
                    r = make_folder_entry(plan.rootfd, rel);
                    local = local || (r != 0 && r != EPERM);
                } else if (!r) {
                    log_refused(name, zp);
                }
            } else if (apple) {
                const std::string target = described_by(apple_sub);
                if (!apple_sub.empty() && !check_entry_name(apple_sub, false) && want->count(target)) {
                    unz64_file_pos pos;
                    if (unzGetFilePos64(uf, &pos) == UNZ_OK) forks.push_back(pos);
                } else if (!apple_sub.empty() || name.size() > 8) {
                    log_refused(name, zp);
                }
            } else if (const auto it = want->find(name); it == want->end()) {
                log_refused(name, zp);
            } else {
                wanted = &it->second;
                seen.insert(name);
            }
        }
        if (r || (want && !wanted)) {
            // handled above: refused, skipped, made or failed
        } else if (folder_entry) {
            if (!apple) {
                r = check_entry_name(entry_rel, true);
                if (r) NOTE_FAILURE();
                else if (pipeline_failed()) break;
                else r = make_folder_entry(plan.rootfd, rel);
            }
        } else if (apple) {
            // Only "__MACOSX/..." holds AppleDouble data; a lone "__MACOSX" entry has none.
            if (!apple_sub.empty()) {
                r = check_entry_name(apple_sub, false);
                if (r) NOTE_FAILURE();
                else if (pipeline_failed()) break;
                else r = unzip_resource_fork(uf, plan.rootfd, plan.prefix + apple_sub, plan.log_folder + apple_sub, info, local);
            }
        } else if ((r = check_entry_name(entry_rel, false))) {
            NOTE_FAILURE();
            r_plain = plain;
        } else if (wanted && info.uncompressed_size > wanted->max_bytes) {
            NOTE_FAILURE();
            r = err_entry_too_large;
            r_plain = true;
        } else if (link) {
            if (pipeline_failed()) break;
            const std::string path = full_path(out_path);
            r = unzip_symlink(uf, plan.rootfd, rel, path, info, wanted ? wanted->md5 : std::string(), local);
            if (!r) links.emplace_back(rel, path);
        } else {
            // A second entry of the same name must land after the first one.
            if (files.holds(rel) && pipeline_failed()) break;
            auto job = std::make_unique<file_job>();
            job->rootfd = plan.rootfd;
            job->rel = rel;
            job->out_path = out_path;
            job->info = info;
            job->stored = info.compressed_size;
            job->source_fd = reader.fd();
            if (wanted) job->expect_md5 = wanted->md5;
            if ((r = reader.locate(info, job->offset))) {
                NOTE_FAILURE();
                r_plain = true;
            } else if (!files.submit(std::move(job))) {
                pipeline_failed();
                break;
            }
        }
        if (r) {
            // A failure of an earlier entry, still being written, comes first.
            if (!pipeline_failed()) report(r, r_plain, out_path);
            break;
        }
        err = unzGoToNextFile(uf);
        if (err != UNZ_OK) break;
    }
    if (!failed) pipeline_failed();
    else files.finish();

    // The wanted files are in place: their AppleDouble data can be applied to them.
    for (size_t i = 0; !failed && i < forks.size(); ++i) {
        unz_file_info64 info;
        char name_buf[256];
        if (unzGoToFilePos64(uf, &forks[i]) != UNZ_OK ||
            unzGetCurrentFileInfo64(uf, &info, name_buf, sizeof name_buf, nullptr, 0, nullptr, 0) != UNZ_OK)
            continue;
        const std::string sub = std::string(name_buf).substr(9);
        if (const int r = unzip_resource_fork(uf, plan.rootfd, plan.prefix + sub, plan.log_folder + sub, info, local))
            report(r, false, "");
    }

    // Links are judged against the tree as the whole archive left it, however the entries came:
    // all of them first, so that one removed cannot change the verdict on another.
    std::vector<bool> leaves(links.size());
    for (size_t i = 0; i < links.size(); ++i) leaves[i] = !resolves_inside(plan.rootfd, links[i].first);
    for (size_t i = 0; i < links.size(); ++i) {
        if (!leaves[i]) continue;
        platform::unlink_beneath(plan.rootfd, links[i].first);
        NOTE_FAILURE();
        log_link_failure(EPERM, links[i].second);
        if (!failed) report(EPERM, false, "");
    }

    if (want && !failed && seen.size() != want->size()) {
        for (const auto& [name, entry] : *want)
            if (!seen.count(name)) xer << "The archive " << zp << " does not hold '" << name << "'.\n";
        NOTE_FAILURE();
        report(err_entry_missing, false, "");
    }

    if (!failed && (err == UNZ_OK || err == UNZ_END_OF_LIST_OF_FILE)) return 0;
    xer << "Zip to file failed with error err = " << err << ". file = " << extract_failure_file()
        << " line = " << extract_failure_line() << ". zip_file=" << zp << ", out_dir=" << out_dir_for_log << ".\n";
    return err;
}

}  // namespace

int zip_to_file(const std::string& zip_path, const std::string& folder, std::string* first_name, int rename) {
    const std::string zp = full_path(zip_path);
    zip_plan plan;
    const fd_guard root(::open(full_path(folder).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    const int root_err = root.fd < 0 ? errno : 0;
    plan.rootfd = root.fd;
    plan.log_folder = folder;
    plan.first_name = first_name;
    plan.rename = rename;
    plan.root_err = root_err;
    bool local = false;
    return extract_zip(zp, folder, plan, local);
}

int zip_to_checked_files(const std::string& zip_path, const checked_target& target,
                         const std::map<std::string, checked_entry>& want, bool* local_failure) {
    const std::string zp = full_path(zip_path);
    zip_plan plan;
    plan.rootfd = target.rootfd;
    plan.prefix = target.folder;
    plan.log_folder = target.root + target.folder;
    plan.want = &want;
    bool local = false;
    const int r = extract_zip(zp, plan.log_folder, plan, local);
    if (local_failure) *local_failure = r != 0 && local;
    return r;
}

int SzFileReadImp(void* stream, void* buffer, size_t size, size_t* processed) {
    auto* s = static_cast<p7z_stream*>(stream);
    const size_t got = size ? std::fread(buffer, 1, size, s->file) : 0;
    if (processed) *processed = got;
    return 0;
}

int SzFileSeekImp(void* stream, uint64_t position) {
    auto* s = static_cast<p7z_stream*>(stream);
    return ::fseeko(s->file, off_t(position), SEEK_SET) == 0 ? 0 : static_cast<int>(0x80004005u);
}

namespace {

// libarchive reads the 7z archive through the stream's two calls.
struct p7z_bridge {
    p7z_stream* stream;
    std::vector<char> buffer = std::vector<char>(size_t(1) << 18);
    int64_t pos = 0;
    int64_t size = 0;
};

la_ssize_t bridge_read(archive*, void* data, const void** out) {
    auto* b = static_cast<p7z_bridge*>(data);
    size_t got = 0;
    b->stream->Read(b->stream, b->buffer.data(), b->buffer.size(), &got);
    b->pos += int64_t(got);
    *out = b->buffer.data();
    return la_ssize_t(got);
}

la_int64_t bridge_seek(archive*, void* data, la_int64_t offset, int whence) {
    auto* b = static_cast<p7z_bridge*>(data);
    const int64_t target = whence == SEEK_SET ? offset : whence == SEEK_CUR ? b->pos + offset : b->size + offset;
    if (target < 0 || b->stream->Seek(b->stream, uint64_t(target)) != 0) return ARCHIVE_FATAL;
    b->pos = target;
    return target;
}

la_int64_t bridge_skip(archive* a, void* data, la_int64_t request) {
    auto* b = static_cast<p7z_bridge*>(data);
    const int64_t from = b->pos;
    return bridge_seek(a, data, from + request, SEEK_SET) < 0 ? 0 : request;
}

int decoder_code(archive* a) { return archive_errno(a) == ENOMEM ? SZ_ERROR_MEM : SZ_ERROR_DATA; }

// A 7z archive open through the stream's two calls; entries are walked in stored order, so solid
// blocks are decoded once.
class p7z_reader {
public:
    // unpack_limit: how many bytes the caller will take out of it in all (UINT64_MAX: no bound of
    // its own); the headers may ask for no more than that and the archive's size allow.
    p7z_reader(const std::string& full, uint64_t unpack_limit) {
        file_ = std::fopen(full.c_str(), "rb");
        if (!file_) {
            open_err_ = errno;
            return;
        }
        stream_ = {SzFileReadImp, SzFileSeekImp, file_};
        bridge_.stream = &stream_;
        struct stat st;
        if (::fstat(::fileno(file_), &st) == 0) bridge_.size = st.st_size;
        if (p7z_check_limits(::fileno(file_), uint64_t(std::max<int64_t>(bridge_.size, 0)), unpack_limit) != 0) {
            open_err_ = SZ_ERROR_DATA;
            return;
        }
        a_ = archive_read_new();
        archive_read_support_format_7zip(a_);
        archive_read_set_callback_data(a_, &bridge_);
        archive_read_set_read_callback(a_, bridge_read);
        archive_read_set_seek_callback(a_, bridge_seek);
        archive_read_set_skip_callback(a_, bridge_skip);
        r_ = archive_read_open1(a_);
        if (r_ == ARCHIVE_OK) r_ = archive_read_next_header(a_, &entry_);
        if (r_ != ARCHIVE_OK && r_ != ARCHIVE_WARN && r_ != ARCHIVE_EOF) open_err_ = 20001;
    }
    ~p7z_reader() {
        if (a_) archive_read_free(a_);
        if (file_) std::fclose(file_);
    }
    p7z_reader(const p7z_reader&) = delete;
    p7z_reader& operator=(const p7z_reader&) = delete;

    int open_error() const { return open_err_; }
    archive* a() const { return a_; }
    archive_entry* entry() const { return entry_; }
    // The current header's result: ARCHIVE_EOF at the end.
    int state() const { return r_; }
    void next() { r_ = archive_read_next_header(a_, &entry_); }

private:
    FILE* file_ = nullptr;
    p7z_stream stream_{};
    p7z_bridge bridge_{nullptr};
    archive* a_ = nullptr;
    archive_entry* entry_ = nullptr;
    int r_ = ARCHIVE_FATAL;
    int open_err_ = 0;
};

// Streams the current entry's data into the staged file, taking its MD5 (when ctx is given) and
// stopping past limit. The MD5 of a sparse file counts its holes as the zeros they read as, up to
// the entry's size (0 when the archive does not give it).
int p7z_stream_entry(archive* a, staged_file& out, md5_context* ctx, uint64_t limit, uint64_t size_of_entry) {
    static const unsigned char zeros[4096] = {};
    const void* block;
    size_t size;
    la_int64_t offset;
    uint64_t hashed = 0;
    int r;
    while ((r = archive_read_data_block(a, &block, &size, &offset)) == ARCHIVE_OK || r == ARCHIVE_WARN) {
        if (offset < 0 || uint64_t(offset) + size > limit) return err_entry_too_large;
        if (size && out.pwrite_all(block, size, offset)) return 20004;
        if (!ctx) continue;
        for (; hashed < uint64_t(offset); hashed += std::min<uint64_t>(sizeof zeros, uint64_t(offset) - hashed))
            MD5UpdateWide(ctx, zeros, uint32_t(std::min<uint64_t>(sizeof zeros, uint64_t(offset) - hashed)));
        MD5UpdateWide(ctx, static_cast<const unsigned char*>(block), uint32_t(size));
        hashed = uint64_t(offset) + size;
    }
    if (r != ARCHIVE_EOF) return decoder_code(a);
    for (; ctx && hashed < size_of_entry; hashed += std::min<uint64_t>(sizeof zeros, size_of_entry - hashed))
        MD5UpdateWide(ctx, zeros, uint32_t(std::min<uint64_t>(sizeof zeros, size_of_entry - hashed)));
    return 0;
}

}  // namespace

int p7z_to_file(const std::string& p7z_path, const std::string& folder, std::string* path_out, int rename) {
    const std::string zp = full_path(p7z_path);
    const std::string out_folder = full_path(folder);
    p7z_reader reader(zp, UINT64_MAX);
    if (reader.open_error()) return reader.open_error();
    const fd_guard root(::open(out_folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    const int root_err = root.fd < 0 ? errno : 0;

    int result = 0;
    for (; reader.state() != ARCHIVE_EOF; reader.next()) {
        if (reader.state() != ARCHIVE_OK && reader.state() != ARCHIVE_WARN) {
            result = decoder_code(reader.a());
            break;
        }
        archive_entry* entry = reader.entry();
        if (archive_entry_filetype(entry) == AE_IFDIR) continue;
        const char* stored = archive_entry_pathname(entry);
        const std::string rel = rename && path_out ? *path_out : std::string(stored ? stored : "");
        const std::string out_path = out_folder + rel;
        if (path_out) *path_out = out_path;
        if (root_err) {
            result = root_err;
            break;
        }
        if (!stored) {
            result = EPERM;
            break;
        }
        if ((result = check_entry_name(rel, false))) break;

        staged_file out(root.fd, rel);
        if ((result = out.error())) break;
        if ((result = out.create())) break;
        if (archive_entry_filetype(entry) == AE_IFLNK) {
            const char* text = archive_entry_symlink(entry);
            if (text && out.write(text, std::strlen(text))) result = 20004;
        } else {
            result = p7z_stream_entry(reader.a(), out, nullptr, UINT64_MAX, 0);
            // Trailing holes of a sparse file still count towards its size.
            if (!result && archive_entry_size_is_set(entry) && ::ftruncate(out.fd(), off_t(archive_entry_size(entry))) != 0)
                result = 20004;
        }
        if (result) break;
        if (out.commit()) {
            result = 20004;
            break;
        }
    }
    return result;
}

int p7z_to_checked_files(const std::string& p7z_path, const checked_target& target,
                         const std::map<std::string, checked_entry>& want, bool* local_failure) {
    const std::string zp = full_path(p7z_path);
    bool local = false;
    int result = 0;
    std::set<std::string> seen;
    {
        // What the wanted entries may grow to, and room for the small entries beside them.
        uint64_t limit = uint64_t(1) << 20;
        for (const auto& [name, entry] : want) limit = limit > UINT64_MAX - entry.max_bytes ? UINT64_MAX : limit + entry.max_bytes;
        p7z_reader reader(zp, limit);
        if ((result = reader.open_error())) {
            if (local_failure) *local_failure = false;
            return result;
        }
        for (; reader.state() != ARCHIVE_EOF; reader.next()) {
            if (reader.state() != ARCHIVE_OK && reader.state() != ARCHIVE_WARN) {
                result = decoder_code(reader.a());
                break;
            }
            archive_entry* entry = reader.entry();
            if (archive_entry_filetype(entry) == AE_IFDIR) continue;
            const char* stored = archive_entry_pathname(entry);
            const std::string name = stored ? stored : "";
            const auto it = want.find(name);
            if (it == want.end()) {
                log_refused(name, zp);
                continue;
            }
            seen.insert(name);
            const checked_entry& wanted = it->second;
            if (archive_entry_size_is_set(entry) && uint64_t(archive_entry_size(entry)) > wanted.max_bytes) {
                result = err_entry_too_large;
                break;
            }
            staged_file out(target.rootfd, target.folder + name);
            md5_context ctx;
            MD5Init(&ctx);
            if (archive_entry_filetype(entry) == AE_IFLNK) {
                const std::string text = archive_entry_symlink(entry) ? archive_entry_symlink(entry) : "";
                if (text.empty() || text[0] == '/') {
                    result = EPERM;
                    break;
                }
                MD5UpdateWide(&ctx, reinterpret_cast<const unsigned char*>(text.data()), uint32_t(text.size()));
                if ((result = out.error()) || (result = out.make_link(text))) {
                    local = true;
                    break;
                }
            } else {
                if ((result = out.error()) || (result = out.create())) {
                    local = true;
                    break;
                }
                const uint64_t size = archive_entry_size_is_set(entry) ? uint64_t(archive_entry_size(entry)) : 0;
                result = p7z_stream_entry(reader.a(), out, &ctx, wanted.max_bytes, size);
                if (result == 20004) local = true;
                if (!result && archive_entry_size_is_set(entry) &&
                    ::ftruncate(out.fd(), off_t(archive_entry_size(entry))) != 0) {
                    result = errno;
                    local = true;
                }
                if (result) break;
            }
            MD5Final(&ctx);
            if (md5_text(ctx.digest) != wanted.md5) {
                result = err_md5_mismatch;
                break;
            }
            if ((result = out.commit())) {
                local = true;
                break;
            }
            if (archive_entry_filetype(entry) == AE_IFLNK && !resolves_inside(target.rootfd, target.folder + name)) {
                platform::unlink_beneath(target.rootfd, target.folder + name);
                result = EPERM;
                break;
            }
        }
    }
    if (!result && seen.size() != want.size()) result = err_entry_missing;
    if (result)
        xer << "Checked 7z extraction failed with error " << result << ". zip_file=" << zp
            << ", out_dir=" << target.root + target.folder << ".\n";
    if (local_failure) *local_failure = result != 0 && local;
    return result;
}

int file_to_zip(const std::string& file, const std::string& zip_path) {
    const std::string f = full_path(file);
    const std::string z = full_path(zip_path);
    const size_t slash = f.rfind('/');
    const std::string entry_name = slash == std::string::npos ? f : f.substr(slash + 1);

    int result = 0;
    zipFile zf = nullptr;
    auto open_entry = [&](const std::string& name, const zip_fileinfo& zi, int method, bool zip64) {
        const int err = zipOpenNewFileInZip4_64(zf, name.c_str(), &zi, nullptr, 0, nullptr, 0, nullptr, method,
                                                Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL,
                                                Z_DEFAULT_STRATEGY, nullptr, 0, (3 << 8) | 20, 0, zip64 ? 1 : 0);
        if (err != ZIP_OK) NOTE_FAILURE();
        return err;
    };
    // zipWriteInFileInZip takes 32-bit lengths.
    auto write_bytes = [&](const unsigned char* p, uint64_t n) {
        while (n) {
            const unsigned piece = unsigned(std::min<uint64_t>(n, uint64_t(1) << 30));
            if (const int err = zipWriteInFileInZip(zf, p, piece)) {
                NOTE_FAILURE();
                return err;
            }
            p += piece;
            n -= piece;
        }
        return 0;
    };
    auto run = [&]() -> int {
        struct stat lst;
        if (::lstat(f.c_str(), &lst) != 0) {
            NOTE_FAILURE();
            return -43;   // no such file
        }
        std::string link;
        if (is_sim_link(f, &link)) {
            zf = zipOpen64(z.c_str(), APPEND_STATUS_CREATE);
            if (!zf) {
                NOTE_FAILURE();
                return 20003;
            }
            zip_fileinfo zi{};
            zi.external_fa = 0xA1ED0000u;
            if (const int err = open_entry(entry_name, zi, 0, false)) return err;
            if (const int err = write_bytes(reinterpret_cast<const unsigned char*>(link.data()), link.size())) return err;
            if (const int err = zipCloseFileInZip(zf)) {
                NOTE_FAILURE();
                return err;
            }
            return 0;
        }

        const whole_file_map map(f);
        if (!map.ok()) {
            NOTE_FAILURE();
            return 20006;
        }
        zf = zipOpen64(z.c_str(), APPEND_STATUS_CREATE);
        if (!zf) {
            NOTE_FAILURE();
            return 20003;
        }
        zip_fileinfo zi{};
        struct stat st;
        if (::stat(f.c_str(), &st) == 0) {
            std::tm t;
            ::localtime_r(&st.st_mtime, &t);
            zi.tmz_date.tm_sec = unsigned(t.tm_sec);
            zi.tmz_date.tm_min = unsigned(t.tm_min);
            zi.tmz_date.tm_hour = unsigned(t.tm_hour);
            zi.tmz_date.tm_mday = unsigned(t.tm_mday);
            zi.tmz_date.tm_mon = unsigned(t.tm_mon);
            zi.tmz_date.tm_year = unsigned(t.tm_year + 1900);
            zi.external_fa = uLong(st.st_mode) << 16;
        }
        if (const int err = open_entry(entry_name, zi, Z_DEFLATED, map.size() >= 0xffffffffu)) return err;
        if (const int err = write_bytes(map.data(), map.size())) return err;
        if (const int err = zipCloseFileInZip(zf)) {
            NOTE_FAILURE();
            return err;
        }

        // The resource fork, when the file has one, goes in as AppleDouble data.
        std::string fork;
        if (platform::get_attr(f, platform::xattr_resource_fork, fork) != 0) return 0;
        if (fork.size() >= (uint64_t(1) << 31)) {
            NOTE_FAILURE();
            return 20005;
        }
        if (fork.empty()) return 0;
        std::string finder;
        platform::get_attr(f, platform::xattr_finder_info, finder);
        finder.resize(16, '\0');
        std::string blob(reinterpret_cast<const char*>(kMagicCrap), sizeof kMagicCrap);
        const uint32_t n = uint32_t(fork.size());
        blob += char(n >> 24);
        blob += char(n >> 16);
        blob += char(n >> 8);
        blob += char(n);
        blob += finder;
        blob += std::string(16, '\0');
        blob += fork;
        const zip_fileinfo none{};
        if (const int err = open_entry("__MACOSX/._" + entry_name, none, Z_DEFLATED, false)) return err;
        if (const int err = write_bytes(reinterpret_cast<const unsigned char*>(blob.data()), blob.size())) return err;
        if (const int err = zipCloseFileInZip(zf)) {
            NOTE_FAILURE();
            return err;
        }
        return 0;
    };
    result = run();
    // The archive's last bytes reach the disk here; a failing close is a failed zip.
    if (zf) {
        const int err = zipClose(zf, nullptr);
        if (err && !result) {
            NOTE_FAILURE();
            result = err;
        }
    }
    if (result)
        xer << "file_to_zip failed with error " << result << ".\nfile = " << extract_failure_file()
            << " line = " << extract_failure_line() << "\n";
    return result;
}
