// 7z headers that ask for more than the archive could hold: refused as damaged before the reader
// sets memory aside for them. Each case runs in a child whose address space allows only a little
// more than it already has, so a reader that asks for gigabytes fails there instead of passing.
#include <gtest/gtest.h>

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <lzma.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <map>
#include <string>

#include "files/archives.h"
#include "support/install_set.h"
#include "support/temp_dir.h"

using namespace testsupport;

namespace {

// A 7z archive of one file, written by libarchive (a plain header, LZMA with an 8 MiB dictionary).
std::string one_file_7z(const std::string& name, const std::string& bytes) {
    temp_dir scratch;
    const std::string path = scratch / "a.7z";
    archive* a = archive_write_new();
    archive_write_set_format_7zip(a);
    archive_write_open_filename(a, path.c_str());
    archive_entry* e = archive_entry_new();
    archive_entry_set_pathname(e, name.c_str());
    archive_entry_set_filetype(e, AE_IFREG);
    archive_entry_set_perm(e, 0644);
    archive_entry_set_size(e, la_int64_t(bytes.size()));
    archive_write_header(a, e);
    archive_write_data(a, bytes.data(), bytes.size());
    archive_entry_free(e);
    archive_write_close(a);
    archive_write_free(a);
    return read_file(path);
}

uint64_t le64(const std::string& s, size_t at) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | uint8_t(s[at + size_t(i)]);
    return v;
}
std::string le(uint64_t v, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += char((v >> (8 * i)) & 0xFF);
    return out;
}
uint32_t crc_of(const std::string& s) {
    return uint32_t(crc32(0, reinterpret_cast<const Bytef*>(s.data()), uInt(s.size())));
}
// A number as 7z writes it, in its longest form.
std::string big_number(uint64_t v) { return std::string(1, char(0xFF)) + le(v, 8); }

// The archive with its start header naming the header after the data, with every CRC right;
// claimed_size, when given, is the header size the start header claims.
std::string with_header(const std::string& body, const std::string& header, uint64_t claimed_size = 0) {
    const uint64_t size = claimed_size ? claimed_size : header.size();
    std::string start = le(body.size(), 8) + le(size, 8) + le(crc_of(header), 4);
    return std::string("7z\xBC\xAF\x27\x1C\x00\x04", 8) + le(crc_of(start), 4) + start + body + header;
}
std::string body_of(const std::string& archive) { return archive.substr(32, size_t(le64(archive, 12))); }
std::string header_of(const std::string& archive) {
    return archive.substr(32 + size_t(le64(archive, 12)), size_t(le64(archive, 20)));
}

// Replaces the first occurrence of what (which must be there) in the header.
std::string edit(std::string header, const std::string& what, const std::string& with) {
    const size_t at = header.find(what);
    EXPECT_NE(at, std::string::npos);
    if (at != std::string::npos) header.replace(at, what.size(), with);
    return header;
}

// The plain header packed with LZMA as an encoded header, claiming unpacked_size for it.
std::string encoded(const std::string& archive, uint64_t unpacked_size) {
    const std::string header = header_of(archive);
    lzma_options_lzma options;
    lzma_lzma_preset(&options, 6);
    options.dict_size = 1 << 16;
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    std::string packed(header.size() + 1024, '\0');
    size_t out = 0;
    EXPECT_EQ(lzma_raw_buffer_encode(filters, nullptr, reinterpret_cast<const uint8_t*>(header.data()), header.size(),
                                     reinterpret_cast<uint8_t*>(packed.data()), &out, packed.size()),
              LZMA_OK);
    packed.resize(out);
    const std::string body = body_of(archive);
    const std::string props = std::string("\x5d", 1) + le(options.dict_size, 4);
    const std::string folder = std::string("\x0b\x01\x00\x01\x23\x03\x01\x01\x05", 9) + props;
    const std::string head = std::string("\x17\x06", 2) + big_number(body.size()) + "\x01\x09" + big_number(packed.size()) +
                             std::string("\x00\x07", 2) + folder + "\x0c" + big_number(unpacked_size) +
                             std::string("\x00\x00", 2);
    return with_header(body + packed, head);
}

// Runs the extraction in a child allowed 1 GiB more address space than it has; 100 + the
// extraction's code when it came back, anything else when the child died.
int extract_in_small_space(const std::function<int()>& extraction) {
    const pid_t child = ::fork();
    if (child == 0) {
        std::ifstream status("/proc/self/status");
        std::string line;
        unsigned long long vm_kb = 0;
        while (std::getline(status, line))
            if (line.rfind("VmSize:", 0) == 0) vm_kb = std::stoull(line.substr(7));
        const rlim_t limit = rlim_t(vm_kb) * 1024 + (rlim_t(1) << 30);
        const rlimit r{limit, limit};
        if (vm_kb == 0 || ::setrlimit(RLIMIT_AS, &r) != 0) ::_exit(99);
        ::_exit(100 + (extraction() & 0xFF));
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class SevenZipLimits : public ::testing::Test {
protected:
    void SetUp() override {
        ::mkdir((t / "out").c_str(), 0755);
        root = ::open(t.path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        ASSERT_GE(root, 0);
    }
    void TearDown() override { ::close(root); }

    // A checked extraction of the archive's one file "h.txt", allowed max_bytes.
    int checked(const std::string& archive, uint64_t max_bytes = 1000) {
        write_file(t / "a.7z", archive);
        checked_target target{root, t.path() + "/", "out/"};
        std::map<std::string, checked_entry> want{{"h.txt", {md5_hex(content), max_bytes}}};
        return p7z_to_checked_files(t / "a.7z", target, want, nullptr);
    }
    int unchecked(const std::string& archive) {
        write_file(t / "a.7z", archive);
        return p7z_to_file(t / "a.7z", t / "out/", nullptr, 0);
    }

    temp_dir t;
    int root = -1;
    const std::string content = "hello";
};

TEST_F(SevenZipLimits, HeadersThatAskForTooMuchAreDamagedArchives) {
    const std::string good = one_file_7z("h.txt", content);
    ASSERT_LT(good.size(), 256u);
    const std::string h = header_of(good), body = body_of(good);
    const std::string lzma_dict = std::string("\x5d\x00\x00\x80\x00", 5);
    struct bad_case {
        const char* what;
        std::string archive;
    };
    const bad_case cases[] = {
        {"a hundred million files", with_header(body, edit(h, std::string("\x05\x01\x11", 3),
                                                         "\x05" + big_number(100000000) + "\x11"))},
        {"a hundred million packed streams",
         with_header(body, edit(h, std::string("\x06\x00\x01", 3), std::string("\x06\x00", 2) + big_number(100000000)))},
        {"a 4 GiB dictionary for five bytes",
         with_header(body, edit(h, lzma_dict, std::string("\x5d\xff\xff\xff\xff", 5)))},
        {"a folder of 550 GB", with_header(body, edit(h, std::string("\x0c\x05", 2), "\x0c" + big_number(uint64_t(1) << 39)))},
        {"a packed header of 550 GB", encoded(good, uint64_t(1) << 39)},
        {"a header past the end of the file", with_header(body, h, uint64_t(1) << 39)},
    };
    for (const bad_case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(extract_in_small_space([&] { return checked(c.archive); }), 100 + SZ_ERROR_DATA);
        EXPECT_EQ(extract_in_small_space([&] { return unchecked(c.archive); }), 100 + SZ_ERROR_DATA);
        EXPECT_FALSE(exists(t / "out/h.txt"));
    }
}

// What the bounds must let through: the archive as written, the same with its header packed, and
// a dictionary larger than the file within what the usual compressors use.
TEST_F(SevenZipLimits, ArchivesWithinTheBoundsAreRead) {
    const std::string good = one_file_7z("h.txt", content);
    const std::string cases[] = {good, encoded(good, header_of(good).size())};
    for (const std::string& archive : cases) {
        EXPECT_EQ(extract_in_small_space([&] { return checked(archive); }), 100);
        EXPECT_EQ(read_file(t / "out/h.txt"), content);
        ::unlink((t / "out/h.txt").c_str());
        EXPECT_EQ(unchecked(archive), 0);
        EXPECT_EQ(read_file(t / "out/h.txt"), content);
        ::unlink((t / "out/h.txt").c_str());
    }
}

}  // namespace
