#include "files/archives.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <minizip/unzip.h>
#include <minizip/zip.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <vector>

#include "files/file_ops.h"
#include "files/paths.h"
#include "files/whole_file_map.h"
#include "platform/beneath.h"
#include "platform/xattrs.h"
#include "core/log.h"

namespace {

// Where the last failure happened; shared by every thread, the last one wins.
std::atomic<const char*> sErrFile{""};
std::atomic<int> sErrLine{-1};

#define NOTE_FAILURE() (sErrFile.store(__FILE_NAME__), sErrLine.store(__LINE__))

constexpr size_t kChunk = size_t(1) << 20;
constexpr uint64_t kMaxHeldEntry = uint64_t(1) << 31;   // entries read whole into memory
constexpr uint64_t kHeldEntry = uint64_t(16) << 20;      // bigger files are streamed to disk
constexpr size_t kMaxLinkText = 4095;
constexpr int kErrAppleDouble = 20012;

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

// Resolves path from the folder `stack` (components below the root, links already followed) the
// way the kernel will, reading links that exist on disk. False when any step leaves the root.
bool stays_inside(int rootfd, std::vector<std::string>& stack, const std::string& path, int depth) {
    if (depth > 40 || (!path.empty() && path[0] == '/')) return false;
    for (const std::string& part : split_path(path)) {
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (stack.empty()) return false;
            stack.pop_back();
            continue;
        }
        std::string here;
        for (const std::string& s : stack) here += s + "/";
        here += part;
        char text[4096];
        const ssize_t n = ::readlinkat(rootfd, here.c_str(), text, sizeof text - 1);
        if (n < 0) {
            stack.push_back(part);   // a folder, a file or nothing yet: taken as written
            continue;
        }
        if (!stays_inside(rootfd, stack, std::string(text, size_t(n)), depth + 1)) return false;
    }
    return true;
}

// Resolution that would leave the output folder is a refused name, whatever the kernel calls it.
int contained_errno() { return errno == EXDEV ? EPERM : errno; }

// Writes all n bytes, at offset at, or at the file position when at is negative.
int write_all(int fd, const char* p, size_t n, off_t at = -1) {
    while (n) {
        const ssize_t w = at < 0 ? ::write(fd, p, n) : ::pwrite(fd, p, n, at);
        if (w < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (w == 0) return EIO;
        p += w;
        n -= size_t(w);
        if (at >= 0) at += w;
    }
    return 0;
}

// The file for one extracted entry. When a file of that name exists already, the new one is
// written beside it and moved over it only once it is whole and verified, so a damaged entry or a
// failed write leaves the old file as it was; a new name is written in place and removed on failure.
class staged_file {
public:
    staged_file(int rootfd, const std::string& rel) {
        parent_ = platform::open_parent_beneath(rootfd, rel, leaf_);
        if (parent_ < 0) {
            err_ = contained_errno();
            return;
        }
        constexpr int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
        fd_ = ::openat(parent_, leaf_.c_str(), flags, 0666);
        if (fd_ >= 0) {
            name_ = leaf_;
            return;
        }
        if (errno != EEXIST) {
            err_ = errno;
            return;
        }
        static std::atomic<unsigned> counter{0};
        static const std::string prefix = ".vtz" + std::to_string(::getpid()) + "_";
        tmp_ = prefix + std::to_string(counter.fetch_add(1));
        fd_ = ::openat(parent_, tmp_.c_str(), flags, 0666);
        if (fd_ < 0) err_ = errno;
        else name_ = tmp_;
    }
    ~staged_file() {
        if (fd_ >= 0) ::close(fd_);
        if (!name_.empty() && !committed_) ::unlinkat(parent_, name_.c_str(), 0);
        if (parent_ >= 0) ::close(parent_);
    }
    staged_file(const staged_file&) = delete;
    staged_file& operator=(const staged_file&) = delete;

    int error() const { return err_; }
    int fd() const { return fd_; }
    int write(const char* p, size_t n) { return write_all(fd_, p, n); }
    int pwrite_all(const char* p, size_t n, off_t at) { return write_all(fd_, p, n, at); }
    // Closes (a failing close is a failed write) and puts the file under its final name.
    int commit() {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) return errno;
        if (name_ != leaf_ && ::renameat(parent_, name_.c_str(), parent_, leaf_.c_str()) != 0) return errno;
        committed_ = true;
        return 0;
    }

private:
    int parent_ = -1;
    int fd_ = -1;
    int err_ = 0;
    bool committed_ = false;
    std::string leaf_, tmp_, name_;   // name_: what was created, leaf_ or tmp_
};

// Reads the current entry whole. Memory grows with the bytes that really arrive, not with the
// size the archive claims. 0, the open or CRC code of minizip, 12 or 20002.
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

// minizip reads the archive from a mapping of it: its many small reads and seeks per entry then
// cost no system calls.
struct mapped_zip {
    explicit mapped_zip(const std::string& path) : map(path) {}
    whole_file_map map;
    uint64_t pos = 0;
};

voidpf ZCALLBACK mz_open(voidpf, const void* filename, int mode) {
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ || !filename) return nullptr;
    auto* z = new mapped_zip(static_cast<const char*>(filename));
    if (!z->map.ok()) {
        delete z;
        return nullptr;
    }
    return z;
}

uLong ZCALLBACK mz_read(voidpf, voidpf stream, void* buf, uLong size) {
    auto* z = static_cast<mapped_zip*>(stream);
    const uint64_t n = std::min<uint64_t>(size, z->map.size() - z->pos);
    std::memcpy(buf, z->map.data() + z->pos, size_t(n));
    z->pos += n;
    return uLong(n);
}

uLong ZCALLBACK mz_write(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK mz_tell(voidpf, voidpf stream) { return static_cast<mapped_zip*>(stream)->pos; }

long ZCALLBACK mz_seek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    auto* z = static_cast<mapped_zip*>(stream);
    uint64_t base = 0;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR) base = z->pos;
    else if (origin == ZLIB_FILEFUNC_SEEK_END) base = z->map.size();
    else if (origin != ZLIB_FILEFUNC_SEEK_SET) return -1;
    if (offset > z->map.size() - base) return -1;
    z->pos = base + offset;
    return 0;
}

int ZCALLBACK mz_close(voidpf, voidpf stream) {
    delete static_cast<mapped_zip*>(stream);
    return 0;
}

int ZCALLBACK mz_error(voidpf, voidpf) { return 0; }

int make_folder_entry(int rootfd, std::string rel) {
    while (!rel.empty() && rel.back() == '/') rel.pop_back();
    std::string leaf;
    const fd_guard parent(platform::open_parent_beneath(rootfd, rel, leaf));
    int err = parent.fd < 0 ? contained_errno() : 0;
    if (!err && ::mkdirat(parent.fd, leaf.empty() ? "." : leaf.c_str(), 0755) != 0) err = errno;
    if (show_make_dir_err(err)) {
        NOTE_FAILURE();
        return err;
    }
    return 0;
}

// Mode and time from the entry's attributes, then the file goes under its final name.
int finish_plain(staged_file& out, const unz_file_info64& info) {
    if (info.external_fa != 0) {
        // Attributes from DOS carry no Unix mode in the upper half; they must not become mode 000.
        // The mode is best effort: volumes without Unix modes (FAT) refuse it, and the file is fine.
        if ((info.external_fa >> 16) != 0) (void)::fchmod(out.fd(), mode_t((info.external_fa >> 16) & 0777));
        std::time_t now = std::time(nullptr);
        std::tm when;
        ::localtime_r(&now, &when);
        when.tm_sec = int(info.tmu_date.tm_sec);
        when.tm_min = int(info.tmu_date.tm_min);
        when.tm_hour = int(info.tmu_date.tm_hour);
        when.tm_mday = int(info.tmu_date.tm_mday);
        when.tm_mon = int(info.tmu_date.tm_mon);
        when.tm_year = int(info.tmu_date.tm_year) - 1900;
        when.tm_isdst = -1;
        const std::time_t stamp = std::mktime(&when);
        const struct timespec times[2] = {{stamp, 0}, {stamp, 0}};
        if (::futimens(out.fd(), times) != 0) {
            NOTE_FAILURE();
            return -1;
        }
    }
    if (const int err = out.commit()) {
        NOTE_FAILURE();
        return err;
    }
    return 0;
}

// Writes an entry already read whole and verified.
int write_held_entry(int rootfd, const std::string& rel, const unz_file_info64& info, const std::string& data) {
    staged_file out(rootfd, rel);
    if (out.error()) {
        NOTE_FAILURE();
        return out.error();
    }
    if (const int err = out.write(data.data(), data.size())) {
        NOTE_FAILURE();
        return err;
    }
    return finish_plain(out, info);
}

// Streams a large entry to disk; it becomes visible only after its CRC was checked.
int plain_entry(unzFile uf, int rootfd, const std::string& rel, const unz_file_info64& info, std::vector<char>& buf) {
    int err = unzOpenCurrentFile(uf);
    if (err != UNZ_OK) {
        NOTE_FAILURE();
        return err;
    }
    staged_file out(rootfd, rel);
    if (out.error()) {
        NOTE_FAILURE();
        unzCloseCurrentFile(uf);
        return out.error();
    }
    const uint64_t size = info.uncompressed_size;
    uint64_t done = 0;
    while (done < size) {
        const unsigned want = unsigned(std::min<uint64_t>(size - done, buf.size()));
        const int got = unzReadCurrentFile(uf, buf.data(), want);
        if (got <= 0) break;
        if (const int werr = out.write(buf.data(), size_t(got))) {
            NOTE_FAILURE();
            unzCloseCurrentFile(uf);
            return werr;
        }
        done += unsigned(got);
    }
    err = unzCloseCurrentFile(uf);
    if (done != size) {
        NOTE_FAILURE();
        return 20002;
    }
    if (err != UNZ_OK) {   // CRC mismatch: the staged copy goes, the old file stays
        NOTE_FAILURE();
        return err;
    }
    return finish_plain(out, info);
}

// Runs the file-system half of extraction on a thread of its own, in entry order, while the
// caller inflates the next entries. After the first failure the remaining jobs are dropped.
class entry_writer {
public:
    struct failure {
        int code = 0;
        bool plain = false;
        std::string out_path;
    };

    ~entry_writer() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

    void push(std::function<int()> run, size_t bytes, bool plain, std::string out_path) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!thread_.joinable()) thread_ = std::thread([this] { loop(); });
        done_.wait(lock, [&] { return held_ < kMaxHeld || queue_.empty(); });
        queue_.push_back({std::move(run), bytes, plain, std::move(out_path)});
        held_ += bytes;
        wake_.notify_all();
    }

    // Waits until every queued job ran; the first failure, if any.
    failure drain() {
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [&] { return queue_.empty() && !busy_; });
        return failed_;
    }

    bool failed() {
        std::lock_guard<std::mutex> lock(mutex_);
        return failed_.code != 0;
    }

private:
    static constexpr size_t kMaxHeld = size_t(64) << 20;

    struct job {
        std::function<int()> run;
        size_t bytes;
        bool plain;
        std::string out_path;
    };

    void loop() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (true) {
            wake_.wait(lock, [&] { return stop_ || !queue_.empty(); });
            if (queue_.empty()) return;
            job j = std::move(queue_.front());
            queue_.pop_front();
            busy_ = true;
            const bool skip = failed_.code != 0;
            lock.unlock();
            const int r = skip ? 0 : j.run();
            j.run = nullptr;   // frees the entry's bytes outside the lock
            lock.lock();
            if (r && !failed_.code) failed_ = {r, j.plain, j.out_path};
            held_ -= j.bytes;
            busy_ = false;
            done_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_, done_;
    std::deque<job> queue_;
    size_t held_ = 0;
    bool busy_ = false;
    bool stop_ = false;
    failure failed_;
    std::thread thread_;
};

int unzip_symlink(unzFile uf, int rootfd, const std::string& rel, const std::string& path, const unz_file_info64& info) {
    std::string text;
    int err = 0;
    if (info.uncompressed_size > kMaxLinkText) {
        NOTE_FAILURE();
        err = ENAMETOOLONG;
    } else {
        err = read_entry(uf, info, text);
    }
    if (!err) {
        // The link must lead somewhere inside the folder, judged from where it will stand.
        std::vector<std::string> stack;
        const size_t slash = rel.rfind('/');
        if (text.empty() || text.find('\0') != std::string::npos ||
            !stays_inside(rootfd, stack, slash == std::string::npos ? "" : rel.substr(0, slash), 0) ||
            !stays_inside(rootfd, stack, text, 0)) {
            NOTE_FAILURE();
            err = EPERM;
        }
    }
    if (!err) {
        std::string leaf;
        const fd_guard parent(platform::open_parent_beneath(rootfd, rel, leaf));
        if (parent.fd < 0) {
            NOTE_FAILURE();
            err = -1;
        } else {
            ::unlinkat(parent.fd, leaf.c_str(), 0);
            if (::symlinkat(text.c_str(), parent.fd, leaf.c_str()) != 0) {
                NOTE_FAILURE();
                err = -1;
            }
        }
    }
    if (err)
        xer << "Zip to symlink failed with error " << err << ". file = " << sErrFile.load() << " line = " << sErrLine.load()
            << ". inFile=" << path << ".\n";
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

int apply_apple_double(int rootfd, const std::string& target_rel, const std::string& data) {
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
            return err;
        }
    }
    if (fork && fork_len > 0) {
        if (const int err = set_file_attr(fd.fd, platform::xattr_resource_fork, fork, fork_len)) {
            NOTE_FAILURE();
            return err;
        }
    }
    return 0;
}

int unzip_resource_fork(unzFile uf, int rootfd, const std::string& rel, const std::string& path,
                        const unz_file_info64& info) {
    // rel names "._f" in the folder of the file f it describes.
    const size_t slash = rel.rfind('/');
    const size_t last = slash == std::string::npos ? 0 : slash + 1;
    if (rel.compare(last, 2, "._") != 0) return 0;   // not AppleDouble data of a file: nothing to restore
    std::string target = rel;
    target.erase(last, 2);
    if (target.empty()) target.push_back('.');   // "._" alone describes its folder

    std::string data;
    int err = read_entry(uf, info, data);
    if (!err) err = apply_apple_double(rootfd, target, data);
    if (err) {
        // The file described: the "._" that begins the last component goes.
        std::string described = path;
        const size_t path_slash = described.rfind('/');
        const size_t at = path_slash == std::string::npos ? 0 : path_slash + 1;
        if (described.compare(at, 2, "._") == 0) described.erase(at, 2);
        xer << "Unzip RF failed with error " << err << ". file = " << sErrFile.load() << " line = " << sErrLine.load()
            << ". inFile=" << full_path(described) << ".\n";
    }
    return err;
}

}  // namespace

int zip_to_file(const std::string& zip_path, const std::string& folder, std::string* first_name, int rename) {
    const std::string zp = full_path(zip_path);
    zlib_filefunc64_def io = {mz_open, mz_read, mz_write, mz_tell, mz_seek, mz_close, mz_error, nullptr};
    unzFile uf = unzOpen2_64(zp.c_str(), &io);
    if (!uf) {
        xer << "OK I am about to report that I could not open a zip file for extraction!\n";
        xer << "That incoming file is " << zp << "\n";
        xer << "In c-form, it is " << zp << "\n";
        xer << "The size is " << zp.size() << "\n";
        return 20001;
    }
    const int rootfd = ::open(full_path(folder).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    const int root_err = rootfd < 0 ? errno : 0;
    std::vector<char> buf(kChunk);
    entry_writer writer;

    unzGoToFirstFile(uf);
    int err = UNZ_OK;
    bool first = true;
    bool failed = false;
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
        const bool renamed = rename && first && first_name;
        const std::string rel = renamed ? *first_name : name;
        const std::string out_path = folder + rel;
        if (first_name && first) *first_name = name;
        first = false;

        const bool folder_entry = !name.empty() && name.back() == '/';
        const bool apple = name.compare(0, 8, "__MACOSX") == 0;
        const bool link = ((info.external_fa >> 16) & 0xA000) == 0xA000;
        const bool plain = !folder_entry && !apple && !link;

        int r = 0;
        if (info.size_filename >= sizeof name_buf) {
            NOTE_FAILURE();
            r = ENAMETOOLONG;
        } else if (root_err) {
            NOTE_FAILURE();
            r = root_err;
        } else if (folder_entry) {
            if (!apple) {
                r = check_entry_name(rel, true);
                if (r) NOTE_FAILURE();
                else writer.push([rootfd, rel] { return make_folder_entry(rootfd, rel); }, 0, false, out_path);
            }
        } else if (apple) {
            // Only "__MACOSX/..." holds AppleDouble data; a lone "__MACOSX" entry has none.
            if (name.size() > 9 && name[8] == '/') {
                const std::string sub = name.substr(9);
                r = check_entry_name(sub, false);
                if (r) NOTE_FAILURE();
                else if (!writer.drain().code) r = unzip_resource_fork(uf, rootfd, sub, folder + sub, info);
            }
        } else {
            r = check_entry_name(rel, false);
            if (r) {
                NOTE_FAILURE();
            } else if (link) {
                // The link's target is judged against what earlier entries put on disk.
                if (!writer.drain().code) r = unzip_symlink(uf, rootfd, rel, full_path(out_path), info);
            } else if (info.uncompressed_size <= kHeldEntry) {
                // Read and verified here; written while the next entries are inflated.
                auto data = std::make_shared<std::string>();
                r = read_entry(uf, info, *data);
                if (!r)
                    writer.push([rootfd, rel, info, data] { return write_held_entry(rootfd, rel, info, *data); },
                                data->size(), true, out_path);
            } else if (!writer.drain().code) {
                r = plain_entry(uf, rootfd, rel, info, buf);
            }
        }
        // A failure of an earlier entry, still being written, comes first.
        const entry_writer::failure earlier = (r || writer.failed()) ? writer.drain() : entry_writer::failure{};
        if (earlier.code || r) {
            const bool was_plain = earlier.code ? earlier.plain : plain;
            const std::string& where = earlier.code ? earlier.out_path : out_path;
            r = earlier.code ? earlier.code : r;
            if (was_plain)
                xer << "Zip to file failed with error " << r << ". file = " << sErrFile.load()
                    << " line = " << sErrLine.load() << ". inFile=" << full_path(where) << ".\n";
            xer << "UNZIP zip_to_file failed with err=" << r << "\n";
            err = r;
            failed = true;
            break;
        }
        err = unzGoToNextFile(uf);
        if (err != UNZ_OK) break;
    }
    if (!failed) {
        const entry_writer::failure last = writer.drain();
        if (last.code) {
            if (last.plain)
                xer << "Zip to file failed with error " << last.code << ". file = " << sErrFile.load()
                    << " line = " << sErrLine.load() << ". inFile=" << full_path(last.out_path) << ".\n";
            xer << "UNZIP zip_to_file failed with err=" << last.code << "\n";
            err = last.code;
            failed = true;
        }
    }
    if (rootfd >= 0) ::close(rootfd);
    unzClose(uf);
    if (!failed && (err == UNZ_OK || err == UNZ_END_OF_LIST_OF_FILE)) return 0;
    xer << "Zip to file failed with error err = " << err << ". file = " << sErrFile.load() << " line = "
        << sErrLine.load() << ". zip_file=" << zp << ", out_dir=" << folder << ".\n";
    return err;
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

}  // namespace

int p7z_to_file(const std::string& p7z_path, const std::string& folder, std::string* path_out, int rename) {
    const std::string zp = full_path(p7z_path);
    const std::string out_folder = full_path(folder);
    FILE* file = std::fopen(zp.c_str(), "rb");
    if (!file) return errno;
    p7z_stream stream{SzFileReadImp, SzFileSeekImp, file};
    p7z_bridge bridge{&stream};
    struct stat st;
    if (::fstat(::fileno(file), &st) == 0) bridge.size = st.st_size;

    archive* a = archive_read_new();
    archive_read_support_format_7zip(a);
    archive_read_set_callback_data(a, &bridge);
    archive_read_set_read_callback(a, bridge_read);
    archive_read_set_seek_callback(a, bridge_seek);
    archive_read_set_skip_callback(a, bridge_skip);
    int result = 0;
    archive_entry* entry = nullptr;
    int r = archive_read_open1(a);
    if (r == ARCHIVE_OK) r = archive_read_next_header(a, &entry);
    if (r != ARCHIVE_OK && r != ARCHIVE_WARN && r != ARCHIVE_EOF) {
        archive_read_free(a);
        std::fclose(file);
        return 20001;
    }
    const fd_guard root(::open(out_folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    const int root_err = root.fd < 0 ? errno : 0;

    // Solid blocks are decoded once: libarchive walks the entries in stored order.
    for (; r != ARCHIVE_EOF; r = archive_read_next_header(a, &entry)) {
        if (r != ARCHIVE_OK && r != ARCHIVE_WARN) {
            result = decoder_code(a);
            break;
        }
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
        if (archive_entry_filetype(entry) == AE_IFLNK) {
            const char* text = archive_entry_symlink(entry);
            if (text && out.write(text, std::strlen(text))) result = 20004;
        } else {
            const void* block;
            size_t size;
            la_int64_t offset;
            while ((r = archive_read_data_block(a, &block, &size, &offset)) == ARCHIVE_OK || r == ARCHIVE_WARN) {
                if (size && out.pwrite_all(static_cast<const char*>(block), size, off_t(offset))) {
                    result = 20004;
                    break;
                }
            }
            if (!result && r != ARCHIVE_EOF) result = decoder_code(a);
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
    archive_read_free(a);
    std::fclose(file);
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
        xer << "file_to_zip failed with error " << result << ".\nfile = " << sErrFile.load()
            << " line = " << sErrLine.load() << "\n";
    return result;
}
