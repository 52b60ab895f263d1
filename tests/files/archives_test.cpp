#include "files/archives.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <minizip/unzip.h>
#include <minizip/zip.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "core/log.h"
#include "files/staging.h"
#include "support/install_set.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using testsupport::exists;
using testsupport::read_file;
using testsupport::temp_dir;
using testsupport::write_file;

namespace {

// Calendar fields as zip entries keep them: month 0 to 11, full year.
std::tm zip_date(int year, int mon, int day, int hour, int min, int sec) {
    std::tm t{};
    t.tm_year = year;
    t.tm_mon = mon;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = min;
    t.tm_sec = sec;
    return t;
}

constexpr uint32_t kLink = 0xA1ED0000u;        // symbolic link, 0755
constexpr uint32_t kFile644 = 0x81A40000u;     // regular file, 0644

struct zentry {
    std::string name;
    std::string data;
    uint32_t attrs = kFile644;
    std::tm date = zip_date(2009, 5, 15, 12, 30, 0);
    bool bad_crc = false;
};

// Writes a zip with minizip's writer; a bad CRC is stored raw with a wrong checksum.
void make_zip(const std::string& path, const std::vector<zentry>& entries) {
    zipFile zf = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    ASSERT_NE(zf, nullptr);
    for (const zentry& e : entries) {
        zip_fileinfo zi{};
        zi.tmz_date.tm_sec = unsigned(e.date.tm_sec);
        zi.tmz_date.tm_min = unsigned(e.date.tm_min);
        zi.tmz_date.tm_hour = unsigned(e.date.tm_hour);
        zi.tmz_date.tm_mday = unsigned(e.date.tm_mday);
        zi.tmz_date.tm_mon = unsigned(e.date.tm_mon);
        zi.tmz_date.tm_year = unsigned(e.date.tm_year);
        zi.external_fa = e.attrs;
        if (e.bad_crc) {
            ASSERT_EQ(zipOpenNewFileInZip2(zf, e.name.c_str(), &zi, nullptr, 0, nullptr, 0, nullptr, 0, 0, 1), ZIP_OK);
            ASSERT_EQ(zipWriteInFileInZip(zf, e.data.data(), unsigned(e.data.size())), ZIP_OK);
            ASSERT_EQ(zipCloseFileInZipRaw(zf, uLong(e.data.size()), 0x12345678), ZIP_OK);
        } else {
            ASSERT_EQ(zipOpenNewFileInZip(zf, e.name.c_str(), &zi, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                          Z_DEFAULT_COMPRESSION),
                      ZIP_OK);
            if (!e.data.empty()) {
                ASSERT_EQ(zipWriteInFileInZip(zf, e.data.data(), unsigned(e.data.size())), ZIP_OK);
            }
            ASSERT_EQ(zipCloseFileInZip(zf), ZIP_OK);
        }
    }
    ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
}

struct sz_entry {
    std::string name;
    std::string data;
    bool folder = false;
};

// Writes a 7z archive with libarchive's writer (one solid block for all file data).
void make_7z(const std::string& path, const std::vector<sz_entry>& entries) {
    archive* a = archive_write_new();
    ASSERT_EQ(archive_write_set_format_7zip(a), ARCHIVE_OK);
    ASSERT_EQ(archive_write_open_filename(a, path.c_str()), ARCHIVE_OK);
    for (const sz_entry& e : entries) {
        archive_entry* en = archive_entry_new();
        archive_entry_set_pathname(en, e.name.c_str());
        archive_entry_set_filetype(en, e.folder ? AE_IFDIR : AE_IFREG);
        archive_entry_set_perm(en, e.folder ? 0755 : 0644);
        archive_entry_set_size(en, la_int64_t(e.folder ? 0 : e.data.size()));
        ASSERT_EQ(archive_write_header(a, en), ARCHIVE_OK);
        if (!e.folder && !e.data.empty()) {
            ASSERT_EQ(archive_write_data(a, e.data.data(), e.data.size()), la_ssize_t(e.data.size()));
        }
        archive_entry_free(en);
    }
    ASSERT_EQ(archive_write_close(a), ARCHIVE_OK);
    archive_write_free(a);
}

// Replaces the only occurrence of marker in the file's bytes (names appear twice in a zip: both go).
void patch_bytes(const std::string& path, const std::string& marker, const std::string& with) {
    std::string bytes = read_file(path);
    for (size_t at = bytes.find(marker); at != std::string::npos; at = bytes.find(marker, at + 1))
        bytes.replace(at, marker.size(), with);
    write_file(path, bytes);
}

std::string text_of(size_t n, char seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = char(seed + (i * 7) % 61);
    return s;
}

mode_t mode_of(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

time_t mtime_of(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mtime : 0;
}

std::string xattr(const std::string& path, const char* name) {
    char buf[65536];
    const ssize_t n = ::getxattr(path.c_str(), name, buf, sizeof buf);
    return n < 0 ? "(none)" : std::string(buf, size_t(n));
}

bool xattrs_work(const std::string& folder) {
    write_file(folder + "/.probe", "");
    const bool ok = ::setxattr((folder + "/.probe").c_str(), "user.probe", "x", 1, 0) == 0;
    ::unlink((folder + "/.probe").c_str());
    return ok;
}

time_t local_time(std::tm t) {
    t.tm_year -= 1900;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

// Everything under a folder: type, bytes or link text, mode, time and attributes, by path.
std::map<std::string, std::string> snapshot(const std::string& root, const std::string& skip) {
    std::map<std::string, std::string> out;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const std::string p = it->path().string();
        if (p == skip) {
            it.disable_recursion_pending();
            continue;
        }
        std::string v = std::to_string(mode_of(p)) + " " + std::to_string(mtime_of(p)) + " ";
        if (fs::is_symlink(it->symlink_status())) v += "-> " + fs::read_symlink(it->path()).string();
        else if (fs::is_regular_file(it->symlink_status())) v += read_file(p);
        char names[4096];
        const ssize_t n = ::llistxattr(p.c_str(), names, sizeof names);
        if (n > 0) v += " xattrs:" + std::string(names, size_t(n));
        out[p] = v;
    }
    return out;
}

std::string adouble(uint16_t count, const std::vector<std::array<uint32_t, 3>>& descs, const std::string& tail) {
    std::string s = std::string("\x00\x05\x16\x07\x00\x02\x00\x00", 8) + std::string(16, '\0');
    s += char(count >> 8);
    s += char(count);
    auto be = [&](uint32_t v) {
        for (int i = 3; i >= 0; --i) s += char(v >> (8 * i));
    };
    for (const auto& d : descs)
        for (uint32_t v : d) be(v);
    return s + tail;
}

// Names of staging files left in a folder (and its subfolders).
std::vector<std::string> staging_names(const std::string& folder) {
    std::vector<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.path().filename().string().rfind(".vtz", 0) == 0) out.push_back(e.path().string());
    return out;
}

}  // namespace

class Archives : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(xer.open(work / "log.txt"));
        ASSERT_EQ(::mkdir(out().c_str(), 0755), 0);
        write_file(tmp / "outside/victim", "precious");
    }
    void TearDown() override { xer.close(); }

    std::string out() const { return tmp / "out"; }
    std::string out(const std::string& name) const { return tmp / ("out/" + name); }
    std::string log() {
        xer.flush();
        return read_file(work / "log.txt");
    }

    temp_dir tmp;    // the output folder and its surroundings, which must stay untouched
    temp_dir work;   // archives, sources and the log
};

TEST_F(Archives, RoundTripKeepsBytesModeAndTime) {
    const std::string src = work / "src/Program File";
    write_file(src, text_of(300000, 'a'));
    ASSERT_EQ(::chmod(src.c_str(), 0750), 0);
    const struct timespec when[2] = {{1234567890, 0}, {1234567890, 0}};   // an even second
    ASSERT_EQ(::utimensat(AT_FDCWD, src.c_str(), when, 0), 0);

    EXPECT_EQ(file_to_zip(src, work / "a.zip"), 0);
    EXPECT_EQ(zip_to_file(work / "a.zip", out() + "/", nullptr, 0), 0);
    EXPECT_EQ(read_file(out("Program File")), read_file(src));
    EXPECT_EQ(mode_of(out("Program File")) & 07777, 0750u);
    EXPECT_EQ(mtime_of(out("Program File")), 1234567890);

    // Zipping again replaces the archive; a link is stored as its text.
    ASSERT_EQ(::symlink("Program File", (work / "src/alias").c_str()), 0);
    EXPECT_EQ(file_to_zip(work / "src/alias", work / "a.zip"), 0);
    EXPECT_EQ(zip_to_file(work / "a.zip", out() + "/", nullptr, 0), 0);
    EXPECT_EQ(fs::read_symlink(out("alias")).string(), "Program File");

    EXPECT_EQ(file_to_zip(work / "src/missing", work / "b.zip"), -43);
    EXPECT_EQ(file_to_zip(src, work / "no/such/b.zip"), 20003);
}

TEST_F(Archives, RoundTripKeepsResourceForkAndFinderInfo) {
    if (!xattrs_work(tmp.path())) GTEST_SKIP() << "no user attributes here";
    const std::string src = work / "src/doc";
    write_file(src, "data fork");
    const std::string fork = text_of(3000, 'r');
    std::string finder = "TEXTttxt" + std::string("\x01\x00\x00\x10\x00\x20\x00\x00", 8) + std::string(16, '\0');
    ASSERT_EQ(::setxattr(src.c_str(), "user.com.apple.ResourceFork", fork.data(), fork.size(), 0), 0);
    ASSERT_EQ(::setxattr(src.c_str(), "user.com.apple.FinderInfo", finder.data(), finder.size(), 0), 0);

    EXPECT_EQ(file_to_zip(src, work / "a.zip"), 0);
    EXPECT_EQ(zip_to_file(work / "a.zip", out() + "/", nullptr, 0), 0);
    EXPECT_EQ(read_file(out("doc")), "data fork");
    EXPECT_EQ(xattr(out("doc"), "user.com.apple.ResourceFork"), fork);
    EXPECT_EQ(xattr(out("doc"), "user.com.apple.FinderInfo"), finder);
    EXPECT_FALSE(exists(out("__MACOSX")));
}

TEST_F(Archives, FoldersFilesModesAndTimes) {
    const std::tm date = zip_date(2011, 0, 3, 7, 5, 42);
    make_zip(work / "a.zip", {{"d/", "", 0x41ED0000u}, {"d/f", "hello", 0x81E40000u, date}, {"d/plain", "p", 0}});
    EXPECT_EQ(zip_to_file(work / "a.zip", out() + "/", nullptr, 0), 0);
    EXPECT_TRUE(S_ISDIR(mode_of(out("d"))));
    EXPECT_EQ(mode_of(out("d")) & 0777, 0755u & ~0022u);
    EXPECT_EQ(read_file(out("d/f")), "hello");
    EXPECT_EQ(mode_of(out("d/f")) & 07777, 0744u);
    EXPECT_EQ(mtime_of(out("d/f")), local_time(date));
    // No attributes: the system's default mode and the time of extraction.
    EXPECT_NE(mode_of(out("d/plain")) & 0600, 0u);
    EXPECT_GE(mtime_of(out("d/plain")), std::time(nullptr) - 60);

    // Again over the existing copy, with a link replacing a file and files replacing old ones.
    write_file(out("d/l"), "old file where the link goes");
    make_zip(work / "b.zip", {{"d/", "", 0x41ED0000u}, {"d/f", "hello again"}, {"d/l", "f", kLink}});
    EXPECT_EQ(zip_to_file(work / "b.zip", out() + "/", nullptr, 0), 0);
    EXPECT_EQ(read_file(out("d/f")), "hello again");
    EXPECT_EQ(fs::read_symlink(out("d/l")).string(), "f");
}

// Archives made on DOS carry attribute bits but no Unix mode: the file must stay usable.
TEST_F(Archives, DosAttributesDoNotGiveModeZero) {
    make_zip(work / "a.zip", {{"readme.txt", "text", 0x20}, {"ro.txt", "text", 0x21}});
    EXPECT_EQ(zip_to_file(work / "a.zip", out() + "/", nullptr, 0), 0);
    EXPECT_NE(mode_of(out("readme.txt")) & 0600, 0u);
    EXPECT_NE(mode_of(out("ro.txt")) & 0400, 0u);
    EXPECT_EQ(read_file(out("ro.txt")), "text");
}

TEST_F(Archives, FirstNameAndRename) {
    make_zip(work / "a.zip", {{"stored-name.txt", "one"}});
    std::string first;
    EXPECT_EQ(zip_to_file(work / "a.zip", out() + "/", &first, 0), 0);
    EXPECT_EQ(first, "stored-name.txt");
    first = "renamed.txt";
    EXPECT_EQ(zip_to_file(work / "a.zip", out() + "/", &first, 1), 0);
    EXPECT_EQ(read_file(out("renamed.txt")), "one");
    EXPECT_EQ(first, "stored-name.txt");
}

TEST_F(Archives, FailuresAndWhatTheyLeave) {
    // A file whose folder is neither there nor listed.
    make_zip(work / "a.zip", {{"first", "1"}, {"nofolder/f", "x"}, {"never", "n"}});
    EXPECT_EQ(zip_to_file(work / "a.zip", out() + "/", nullptr, 0), ENOENT);
    EXPECT_EQ(read_file(out("first")), "1");   // what came before stays
    EXPECT_FALSE(exists(out("never")));
    EXPECT_NE(log().find("UNZIP zip_to_file failed with err=2\n"), std::string::npos);

    // A damaged entry is found before the old file at its path is touched.
    write_file(out("keep"), "old contents");
    make_zip(work / "crc.zip", {{"keep", "new contents", kFile644, zip_date(2009, 5, 15, 12, 30, 0), true}});
    EXPECT_EQ(zip_to_file(work / "crc.zip", out() + "/", nullptr, 0), UNZ_CRCERROR);
    EXPECT_EQ(read_file(out("keep")), "old contents");
    EXPECT_EQ(fs::directory_iterator(out()) == fs::directory_iterator(), false);
    for (const auto& e : fs::directory_iterator(out()))
        EXPECT_EQ(e.path().filename().string().rfind(".vtz", 0), std::string::npos) << "left a staging file";

    // Not a zip at all.
    write_file(work / "junk.zip", "this is not an archive");
    EXPECT_EQ(zip_to_file(work / "junk.zip", out() + "/", nullptr, 0), 20001);
    const std::string zp = work / "junk.zip";
    EXPECT_NE(log().find("OK I am about to report that I could not open a zip file for extraction!\nThat incoming file is " +
                         zp + "\nIn c-form, it is " + zp + "\nThe size is " + std::to_string(zp.size()) + "\n"),
              std::string::npos);
    EXPECT_EQ(zip_to_file(work / "missing.zip", out() + "/", nullptr, 0), 20001);

    // No entries at all fails at the first entry.
    make_zip(work / "empty.zip", {});
    EXPECT_NE(zip_to_file(work / "empty.zip", out() + "/", nullptr, 0), 0);
}

// What the log says when an entry fails, for each kind of entry: its own line (plain files, links
// and AppleDouble data; folders have none), then the entry line, then the archive line.
TEST_F(Archives, FailureLogLinesForEachKindOfEntry) {
    const std::string zp = work / "a.zip";
    const std::string dir = out() + "/";
    const struct {
        const char* what;
        std::vector<zentry> entries;
        int code;
        std::string own_line;
    } cases[] = {
        {"plain file", {{"nofolder/f", "x"}}, ENOENT,
         "Zip to file failed with error 2. file = F line = N. inFile=" + dir + "nofolder/f.\n"},
        {"link", {{"l", "../outside", kLink}}, EPERM,
         "Zip to symlink failed with error 1. file = F line = N. inFile=" + dir + "l.\n"},
        {"AppleDouble data", {{"d/", "", 0x41ED0000u}, {"__MACOSX/d/._a._b", "not AppleDouble data"}}, 20012,
         "Unzip RF failed with error 20012. file = F line = N. inFile=" + dir + "d/a._b.\n"},
        {"folder", {{"no/such/", "", 0x41ED0000u}}, ENOENT, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        make_zip(zp, c.entries);
        const size_t before = log().size();
        EXPECT_EQ(zip_to_file(zp, dir, nullptr, 0), c.code);
        const std::string code = std::to_string(c.code);
        // The step that failed may sit in any of the extraction's sources.
        EXPECT_EQ(std::regex_replace(log().substr(before), std::regex("file = [a-z_]+[.]cpp line = [0-9]+"),
                                     "file = F line = N"),
                  c.own_line + "UNZIP zip_to_file failed with err=" + code + "\nZip to file failed with error err = " +
                      code + ". file = F line = N. zip_file=" + zp + ", out_dir=" + dir + ".\n");
    }
}

// A write that cannot complete (here: over the process's file size limit) is an error: the old
// file at that path is kept, a new name never appears half-written, and no staging file is left.
TEST_F(Archives, AFailedWriteIsAnErrorAndLeavesNoHalfFile) {
    make_zip(work / "a.zip", {{"big", text_of(200000, 'b')}});
    make_7z(work / "a.7z", {{"big", text_of(200000, 'b')}});
    for (const bool seven : {false, true}) {
        for (const bool old_file : {true, false}) {
            SCOPED_TRACE(std::string(seven ? "7z" : "zip") + (old_file ? ", over an old file" : ", a new name"));
            fs::remove(out("big"));
            if (old_file) write_file(out("big"), "old");
            const pid_t pid = ::fork();
            if (pid == 0) {
                std::signal(SIGXFSZ, SIG_IGN);
                const struct rlimit lim = {65536, 65536};
                ::setrlimit(RLIMIT_FSIZE, &lim);
                const int r = seven ? p7z_to_file(work / "a.7z", out() + "/", nullptr, 0)
                                    : zip_to_file(work / "a.zip", out() + "/", nullptr, 0);
                ::_exit(r & 0xff);
            }
            int status = 0;
            ASSERT_EQ(::waitpid(pid, &status, 0), pid);
            ASSERT_TRUE(WIFEXITED(status));
            EXPECT_EQ(WEXITSTATUS(status), seven ? (20004 & 0xff) : EFBIG);
            EXPECT_EQ(exists(out("big")), old_file);
            if (old_file) {
                EXPECT_EQ(read_file(out("big")), "old");
            }
            EXPECT_EQ(staging_names(out()), std::vector<std::string>{});
        }
    }
}

TEST_F(Archives, AppleDoubleEntries) {
    if (!xattrs_work(tmp.path())) GTEST_SKIP() << "no user attributes here";
    const std::string finder = "APPLcrea" + std::string(8, '\x01');
    const std::string good = adouble(2, {{9, 50, 32}, {2, 82, 4}}, finder + std::string(16, '\x07') + "FORK");
    make_zip(work / "a.zip", {{"d/", "", 0x41ED0000u},
                             {"d/f", "data"},
                             {"__MACOSX/", "", 0x41ED0000u},
                             {"__MACOSX/d/", "", 0x41ED0000u},
                             {"__MACOSX/d/._f", good},
                             {"__MACOSX/d/._absent", good},
                             {"__MACOSX/d/not-apple-double", "x"},
                             {"__MACOSX", "a lone entry with the bare name"}});
    EXPECT_EQ(zip_to_file(work / "a.zip", out() + "/", nullptr, 0), 0);
    EXPECT_EQ(read_file(out("d/f")), "data");
    EXPECT_EQ(xattr(out("d/f"), "user.com.apple.ResourceFork"), "FORK");
    EXPECT_EQ(xattr(out("d/f"), "user.com.apple.FinderInfo"), finder + std::string(16, '\0'));
    EXPECT_FALSE(exists(out("__MACOSX")));
    EXPECT_FALSE(exists(out("d/absent")));

    const struct {
        const char* what;
        std::string data;
    } bad[] = {
        {"wrong magic", "\x01" + good.substr(1)},
        {"wrong version", good.substr(0, 5) + "\x03" + good.substr(6)},
        {"filler not zero", good.substr(0, 10) + "\x01" + good.substr(11)},
        {"shorter than the header", good.substr(0, 20)},
        {"descriptors past the end", adouble(40, {{9, 50, 32}}, "")},
        {"fork past the end", adouble(1, {{2, 38, 1000}}, "tiny")},
        {"offset wraps around", adouble(1, {{2, 0xFFFFFFF0u, 0x20}}, "")},
        {"finder info past the end", adouble(1, {{9, 30, 32}}, "short")},
    };
    for (const auto& c : bad) {
        SCOPED_TRACE(c.what);
        make_zip(work / "bad.zip", {{"__MACOSX/d/._f", c.data}});
        EXPECT_EQ(zip_to_file(work / "bad.zip", out() + "/", nullptr, 0), 20012);
    }
    // A negative count walks no descriptors.
    make_zip(work / "neg.zip", {{"__MACOSX/d/._f", adouble(0x8001, {}, "")}});
    EXPECT_EQ(zip_to_file(work / "neg.zip", out() + "/", nullptr, 0), 0);
}

// Each archive tries to reach outside the output folder: it must fail with the code given and
// leave everything outside the output folder exactly as it was.
TEST_F(Archives, MaliciousZipsChangeNothingOutside) {
    const std::string outside = tmp / "outside";
    const std::string victim = outside + "/victim";
    const struct {
        const char* what;
        std::vector<zentry> entries;
        int code;
        std::string nul_marker = "";   // replaced by a NUL byte in the written archive
    } cases[] = {
        {"parent component", {{"../outside/victim", "overwritten"}}, EPERM},
        {"parent in the middle", {{"a/../../outside/victim", "overwritten"}}, EPERM},
        {"absolute name", {{victim, "overwritten"}}, EPERM},
        {"absolute folder", {{outside + "/new/", "", 0x41ED0000u}}, EPERM},
        {"parent folder", {{"../made-outside/", "", 0x41ED0000u}}, EPERM},
        {"NUL in the name", {{"okQ/../../outside/victim", "overwritten"}}, EPERM, "Q"},
        {"name of 256 bytes", {{std::string(256, 'n'), "x"}}, ENAMETOOLONG},
        {"link to an absolute path", {{"l", victim, kLink}, {"l", "overwritten"}}, EPERM},
        {"link climbing out", {{"l", "../outside/victim", kLink}}, EPERM},
        {"link through a link", {{"here", ".", kLink}, {"l", "here/../outside", kLink}, {"l/victim", "overwritten"}}, EPERM},
        {"resource fork beside the folder", {{"__MACOSX/../._victim", "x"}}, EPERM},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(out());
        fs::create_directory(out());
        make_zip(work / "evil.zip", c.entries);
        if (!c.nul_marker.empty()) patch_bytes(work / "evil.zip", "okQ", std::string("ok\0", 3));
        const auto before = snapshot(tmp.path(), out());
        EXPECT_EQ(zip_to_file(work / "evil.zip", out() + "/", nullptr, 0), c.code);
        EXPECT_EQ(snapshot(tmp.path(), out()), before);
        EXPECT_EQ(read_file(victim), "precious");
    }
}

// Links already in the output folder are neither written through nor given modes.
TEST_F(Archives, LinksAlreadyThereAreNotFollowedOut) {
    const std::string outside = tmp / "outside";
    ASSERT_EQ(::symlink((outside + "/victim").c_str(), out("victim").c_str()), 0);
    ASSERT_EQ(::symlink(outside.c_str(), out("dir").c_str()), 0);
    ASSERT_EQ(::chmod((outside + "/victim").c_str(), 0600), 0);
    const auto before = snapshot(tmp.path(), out());

    make_zip(work / "a.zip", {{"victim", "replaces the link", 0x81FF0000u}});
    EXPECT_EQ(zip_to_file(work / "a.zip", out() + "/", nullptr, 0), 0);
    EXPECT_TRUE(S_ISREG(mode_of(out("victim"))));
    EXPECT_EQ(read_file(out("victim")), "replaces the link");

    make_zip(work / "b.zip", {{"dir/victim", "through the folder link"}});
    EXPECT_EQ(zip_to_file(work / "b.zip", out() + "/", nullptr, 0), EPERM);
    make_zip(work / "c.zip", {{"dir/sub/", "", 0x41ED0000u}});
    EXPECT_EQ(zip_to_file(work / "c.zip", out() + "/", nullptr, 0), EPERM);
    make_7z(work / "d.7z", {{"dir/victim", "through the folder link"}});
    EXPECT_EQ(p7z_to_file(work / "d.7z", out() + "/", nullptr, 0), EPERM);
    if (xattrs_work(tmp.path())) {
        ASSERT_EQ(::symlink((outside + "/victim").c_str(), out("target").c_str()), 0);
        make_zip(work / "e.zip", {{"__MACOSX/._target", adouble(1, {{2, 38, 4}}, "FORK")}});
        EXPECT_EQ(zip_to_file(work / "e.zip", out() + "/", nullptr, 0), EPERM);
    }
    EXPECT_EQ(snapshot(tmp.path(), out()), before);
}

TEST_F(Archives, SevenZipSolidArchive) {
    std::vector<sz_entry> entries = {{"a", "", true}, {"a/b", text_of(100000, 'x')}, {"top", "top file"}};
    for (int i = 0; i < 20; ++i) entries.push_back({"a/f" + std::to_string(i), text_of(5000 + i, char('A' + i))});
    entries.push_back({"a/empty", ""});
    make_7z(work / "s.7z", entries);

    // Folders are not made: a file whose folder is missing fails.
    EXPECT_EQ(p7z_to_file(work / "s.7z", out() + "/", nullptr, 0), ENOENT);
    EXPECT_FALSE(exists(out("a")));

    ASSERT_EQ(::mkdir(out("a").c_str(), 0755), 0);
    std::string last;
    EXPECT_EQ(p7z_to_file(work / "s.7z", out() + "/", &last, 0), 0);
    for (const sz_entry& e : entries) {
        if (!e.folder) {
            EXPECT_EQ(read_file(out(e.name)), e.data) << e.name;
        }
    }
    EXPECT_EQ(last, out("a/empty"));

    make_7z(work / "one.7z", {{"stored", "single"}});
    last = "renamed";
    EXPECT_EQ(p7z_to_file(work / "one.7z", out() + "/", &last, 1), 0);
    EXPECT_EQ(read_file(out("renamed")), "single");

    write_file(work / "junk.7z", "not a 7z archive at all");
    EXPECT_EQ(p7z_to_file(work / "junk.7z", out() + "/", nullptr, 0), 20001);
    EXPECT_EQ(p7z_to_file(work / "missing.7z", out() + "/", nullptr, 0), ENOENT);
}

TEST_F(Archives, SevenZipDamagedDataKeepsTheOldFile) {
    make_7z(work / "s.7z", {{"f", text_of(50000, 'q')}});
    std::string bytes = read_file(work / "s.7z");
    bytes[100] = char(bytes[100] ^ 0x55);   // inside the packed stream, ahead of the header at the end
    write_file(work / "s.7z", bytes);
    write_file(out("f"), "old");
    const int r = p7z_to_file(work / "s.7z", out() + "/", nullptr, 0);
    EXPECT_NE(r, 0);
    EXPECT_EQ(read_file(out("f")), "old");
}

TEST_F(Archives, MaliciousSevenZipsChangeNothingOutside) {
    const struct {
        std::string name;
        int code;
    } cases[] = {
        {"../outside/victim", EPERM},
        {tmp / "outside/victim", EPERM},
        {std::string(300, 'n'), ENAMETOOLONG},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        make_7z(work / "evil.7z", {{c.name, "overwritten"}});
        const auto before = snapshot(tmp.path(), out());
        EXPECT_EQ(p7z_to_file(work / "evil.7z", out() + "/", nullptr, 0), c.code);
        EXPECT_EQ(snapshot(tmp.path(), out()), before);
    }
}

TEST(SevenZipStream, ReadAndSeek) {
    temp_dir tmp;
    write_file(tmp / "f", "0123456789");
    FILE* f = std::fopen((tmp / "f").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    p7z_stream s{SzFileReadImp, SzFileSeekImp, f};
    char buf[16];
    size_t got = 99;
    EXPECT_EQ(s.Seek(&s, 4), 0);
    EXPECT_EQ(s.Read(&s, buf, 3, &got), 0);
    EXPECT_EQ(std::string(buf, got), "456");
    EXPECT_EQ(s.Read(&s, buf, 0, &got), 0);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(s.Read(&s, buf, 16, &got), 0);
    EXPECT_EQ(std::string(buf, got), "789");
    EXPECT_EQ(s.Read(&s, buf, 16, &got), 0);
    EXPECT_EQ(got, 0u);
    std::fclose(f);
}

bool is_link(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// Links are judged once the whole archive is out, against the tree as it then stands: a link that
// looked harmless while a folder it names was missing is caught once a later entry makes that
// folder a link. Whatever leads out is removed and fails the extraction.
TEST_F(Archives, LinksAreJudgedAgainstTheFinalTree) {
    const std::string outside = tmp / "outside";
    const struct {
        const char* what;
        std::vector<zentry> entries;
        int code;
        std::vector<std::string> gone;    // links that must not be left
        std::vector<std::string> stay;    // links that must be left
    } cases[] = {
        {"completed by a later link", {{"l", "a1/b1/../..", kLink}, {"a1", ".", kLink}}, EPERM, {"l"}, {"a1"}},
        {"a chain of links to their own folder",
         {{"l", "a1/a2/a3/../../../../outside/victim", kLink}, {"a1", ".", kLink}, {"a2", ".", kLink}, {"a3", ".", kLink}},
         EPERM, {"l"}, {"a1", "a2", "a3"}},
        {"through a link that climbs", {{"up", "..", kLink}, {"l", "up/outside", kLink}}, EPERM, {"up", "l"}, {}},
        {"in a folder reached through a link", {{"d/", "", 0x41ED0000u}, {"in", "d", kLink}, {"d/l", "../..", kLink}},
         EPERM, {"d/l"}, {"in"}},
        {"an absolute target", {{"l", outside, kLink}}, EPERM, {"l"}, {}},
        {"a loop", {{"x", "y", kLink}, {"y", "x", kLink}}, EPERM, {"x", "y"}, {}},
        {"links that stay inside",
         {{"d/", "", 0x41ED0000u}, {"d/f", "data"}, {"l", "d/f", kLink}, {"m", "l", kLink}, {"cur", "d", kLink},
          {"n", "cur/../d/./f", kLink}, {"later", "notyet/../d", kLink}},
         0, {}, {"l", "m", "cur", "n", "later"}},
        {"a climbing link replaced by a file", {{"l", "..", kLink}, {"l", "a file now"}}, 0, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(out());
        fs::create_directory(out());
        make_zip(work / "links.zip", c.entries);
        const auto before = snapshot(tmp.path(), out());
        EXPECT_EQ(zip_to_file(work / "links.zip", out() + "/", nullptr, 0), c.code);
        EXPECT_EQ(snapshot(tmp.path(), out()), before);
        for (const std::string& l : c.gone) EXPECT_FALSE(is_link(out(l))) << l;
        for (const std::string& l : c.stay) EXPECT_TRUE(is_link(out(l))) << l;
    }
}

// Links that name each other many times over: judging them is bounded by the links the kernel
// would follow in one resolution, not by every path through them.
TEST_F(Archives, CrossingLinksAreJudgedQuickly) {
    const char* names[] = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l"};
    std::vector<zentry> entries;
    for (int i = 0; i < 12; ++i) {
        std::string text;
        for (int k = 0; k < 100; ++k) text += std::string(names[(i + 1) % 12]) + "/" + names[(i + 5) % 12] + "/";
        entries.push_back({names[i], text + "..", kLink});
    }
    make_zip(work / "cross.zip", entries);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(zip_to_file(work / "cross.zip", out() + "/", nullptr, 0), EPERM);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    for (const char* n : names) EXPECT_FALSE(is_link(out(n))) << n;
}

// A resource fork bigger than any attribute can hold is passed over before a byte of it is read:
// its bytes are left unchecked, so a damaged one would fail if it were read.
TEST_F(Archives, OversizedResourceForkIsSkippedUnread) {
    make_zip(work / "a.zip", {{"f", "data"},
                             {"__MACOSX/._f", std::string(size_t(8) << 20, '\0'), kFile644,
                              zip_date(2009, 5, 15, 12, 30, 0), true}});
    EXPECT_EQ(zip_to_file(work / "a.zip", out() + "/", nullptr, 0), 0);
    EXPECT_EQ(read_file(out("f")), "data");
    EXPECT_NE(log().find("Skipping a resource fork of 8388608 bytes, more than the file system keeps: " + out("f")),
              std::string::npos);
}

// A killed run's staging files go on the next run; anything else, and this run's own, stays.
TEST(Staging, SweepRemovesOnlyStagingFilesNoWriterHolds) {
    temp_dir t;
    // A killed run whose process id this process now has (ids repeat) left this one.
    const std::string same_id = ".vtz" + std::to_string(::getpid()) + "_7";
    const struct {
        std::string name;
        bool swept;
    } names[] = {{".vtz123_4", true}, {".vtz99999999_0", true}, {".vtz_4", false}, {".vtzabc_1", false},
                 {".vtz123_", false}, {"vtz1_2", false}, {".vtz1_2.txt", false}, {same_id, true}};
    for (const auto& n : names) write_file(t / n.name, "x");
    ASSERT_EQ(::mkdir((t / ".vtz5_6").c_str(), 0755), 0);
    ASSERT_EQ(::symlink("nowhere", (t / ".vtz8_9").c_str()), 0);
    const int fd = ::open(t.path().c_str(), O_PATH | O_DIRECTORY);

    // Files still being written, by this process and by another one, stay.
    staged_file mine(fd, "mine");
    ASSERT_EQ(mine.create(), 0);
    write_file(t / ".vtz4242_1", "y");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t writer = ::fork();
    if (writer == 0) {
        const int held = ::open((t / ".vtz4242_1").c_str(), O_RDWR);
        ::flock(held, LOCK_EX);
        char c = 1;
        if (::write(ready[1], &c, 1) != 1) _exit(1);
        ::pause();
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);

    EXPECT_EQ(sweep_staging(fd), 4);
    for (const auto& n : names) EXPECT_EQ(exists(t / n.name), !n.swept) << n.name;
    EXPECT_TRUE(fs::is_directory(t / ".vtz5_6"));
    EXPECT_FALSE(is_link(t / ".vtz8_9"));
    EXPECT_TRUE(exists(t / ".vtz4242_1"));
    int staged_here = 0;
    for (const auto& e : fs::directory_iterator(t.path()))
        staged_here += e.path().filename().string().rfind(".vtz" + std::to_string(::getpid()) + "_", 0) == 0;
    EXPECT_EQ(staged_here, 1);   // mine, still being written

    // Once its writer is gone, the other one goes too.
    ::kill(writer, SIGKILL);
    ::waitpid(writer, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_EQ(sweep_staging(fd), 1);
    EXPECT_FALSE(exists(t / ".vtz4242_1"));
    ::close(fd);
}

// The install engine's extraction of one file from its own archive, for both archive kinds.
class CheckedArchives : public Archives {
protected:
    void SetUp() override {
        Archives::SetUp();
        ASSERT_EQ(::mkdir(out("sub").c_str(), 0755), 0);
        write_file(out("sub/f"), "old");
        root = ::open(out().c_str(), O_PATH | O_DIRECTORY);
        ASSERT_GE(root, 0);
    }
    void TearDown() override {
        ::close(root);
        Archives::TearDown();
    }
    checked_target target(const std::string& folder = "sub/") const { return {root, out() + "/", folder}; }

    int root = -1;
};

TEST_F(CheckedArchives, OnlyTheRightBytesOfTheFileGoInPlace) {
    const std::string right = text_of(1500, 'r');
    const std::map<std::string, checked_entry> want = {{"f", {testsupport::md5_hex(right), 2000}}};
    struct row {
        const char* what;
        std::vector<zentry> entries;
        int code;
        std::string left;                    // the file afterwards ("(link)" for a link)
        bool seven = false;
    };
    std::vector<zentry> truncated = {{"f", right}};
    const std::vector<row> rows = {
        {"the right bytes", {{"f", right}}, 0, right},
        {"other bytes", {{"f", text_of(1500, 'w')}}, err_md5_mismatch, "old"},
        {"other bytes, same size and CRC path", {{"f", right.substr(0, 1499) + "!"}}, err_md5_mismatch, "old"},
        {"extra entries", {{"g", "planted"}, {"f", right}, {"d/", "", 0x41ED0000u}, {"d/h", "planted"}, {"../x", "out"}}, 0,
         right},
        {"only other names", {{"g", "planted"}}, err_entry_missing, "old"},
        {"larger than the manifest allows", {{"f", text_of(2500, 'r')}}, err_entry_too_large, "old"},
        {"a damaged entry", {{"f", right, kFile644, zip_date(2009, 5, 15, 12, 30, 0), true}}, UNZ_CRCERROR, "old"},
        {"7z: the right bytes", {{"f", right}}, 0, right, true},
        {"7z: other bytes", {{"f", text_of(1500, 'w')}}, err_md5_mismatch, "old", true},
        {"7z: extra entries", {{"g", "planted"}, {"f", right}}, 0, right, true},
        {"7z: only other names", {{"g", "planted"}}, err_entry_missing, "old", true},
        {"7z: larger than the manifest allows", {{"f", text_of(2500, 'r')}}, err_entry_too_large, "old", true},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        write_file(out("sub/f"), "old");
        bool local = true;
        int code;
        if (r.seven) {
            std::vector<sz_entry> entries;
            for (const zentry& e : r.entries) entries.push_back({e.name, e.data});
            make_7z(work / "f.7z", entries);
            code = p7z_to_checked_files(work / "f.7z", target(), want, &local);
        } else {
            make_zip(work / "f.zip", r.entries);
            code = zip_to_checked_files(work / "f.zip", target(), want, &local);
        }
        EXPECT_EQ(code, r.code);
        EXPECT_FALSE(local);
        EXPECT_EQ(read_file(out("sub/f")), r.left);
        EXPECT_FALSE(exists(out("sub/g")));
        EXPECT_FALSE(exists(out("sub/d")));
        EXPECT_FALSE(exists(out("x")));
        EXPECT_EQ(staging_names(out()), std::vector<std::string>{});
    }
    EXPECT_NE(log().find("Refusing archive entry 'g' of "), std::string::npos);

    // A cut-short download is no archive at all.
    make_zip(work / "f.zip", {{"f", right}});
    const std::string whole = read_file(work / "f.zip");
    write_file(work / "cut.zip", whole.substr(0, whole.size() / 2));
    bool local = true;
    EXPECT_EQ(zip_to_checked_files(work / "cut.zip", target(), want, &local), 20001);
    EXPECT_FALSE(local);
    EXPECT_EQ(read_file(out("sub/f")), "old");
}

TEST_F(CheckedArchives, LinksAndResourceForksOfTheFile) {
    // A link is the file: its text has the manifest's MD5.
    make_zip(work / "l.zip", {{"f", "../sub/g", kLink}});
    EXPECT_EQ(zip_to_checked_files(work / "l.zip", target(), {{"f", {testsupport::md5_hex("../sub/g"), 1000}}}, nullptr), 0);
    EXPECT_EQ(fs::read_symlink(out("sub/f")).string(), "../sub/g");
    // One that leads out of the root is removed again.
    make_zip(work / "l.zip", {{"f", "../../outside/victim", kLink}});
    EXPECT_EQ(zip_to_checked_files(work / "l.zip", target(), {{"f", {testsupport::md5_hex("../../outside/victim"), 1000}}},
                                   nullptr),
              EPERM);
    EXPECT_FALSE(is_link(out("sub/f")));
    EXPECT_EQ(read_file(tmp / "outside/victim"), "precious");

    if (!xattrs_work(tmp.path())) return;
    const std::string fork = adouble(1, {{2, 38, 4}}, "FORK");
    make_zip(work / "r.zip", {{"__MACOSX/._f", fork}, {"f", "data"}, {"__MACOSX/._other", fork}});
    EXPECT_EQ(zip_to_checked_files(work / "r.zip", target(), {{"f", {testsupport::md5_hex("data"), 1000}}}, nullptr), 0);
    EXPECT_EQ(read_file(out("sub/f")), "data");
    EXPECT_EQ(xattr(out("sub/f"), "user.com.apple.ResourceFork"), "FORK") << "applied to the new file, whatever the order";
    EXPECT_NE(log().find("Refusing archive entry '__MACOSX/._other'"), std::string::npos);
}

// The folder is found beneath the root: a link inside the root cannot take the file elsewhere.
TEST_F(CheckedArchives, ALinkInTheCopyCannotLeadTheFileOut) {
    ASSERT_EQ(::symlink((tmp / "outside").c_str(), out("esc").c_str()), 0);
    make_zip(work / "f.zip", {{"victim", "overwritten"}});
    bool local = false;
    EXPECT_EQ(zip_to_checked_files(work / "f.zip", target("esc/"), {{"victim", {testsupport::md5_hex("overwritten"), 1000}}},
                                   &local),
              EPERM);
    EXPECT_TRUE(local) << "the copy itself is in the way, not the archive";
    EXPECT_EQ(read_file(tmp / "outside/victim"), "precious");
}

// A failing write is the destination's problem, not the archive's: another copy would not help.
TEST_F(CheckedArchives, AFailedWriteIsALocalFailure) {
    const std::string big = text_of(200000, 'b');
    make_zip(work / "f.zip", {{"f", big}});
    make_7z(work / "f.7z", {{"f", big}});
    const std::map<std::string, checked_entry> want = {{"f", {testsupport::md5_hex(big), 201000}}};
    for (const bool seven : {false, true}) {
        SCOPED_TRACE(seven ? "7z" : "zip");
        const pid_t pid = ::fork();
        if (pid == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            const struct rlimit lim = {65536, 65536};
            ::setrlimit(RLIMIT_FSIZE, &lim);
            bool local = false;
            const int r = seven ? p7z_to_checked_files(work / "f.7z", target(), want, &local)
                                : zip_to_checked_files(work / "f.zip", target(), want, &local);
            ::_exit(r != 0 && local ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        EXPECT_EQ(read_file(out("sub/f")), "old");
        EXPECT_EQ(staging_names(out()), std::vector<std::string>{});
    }
}
