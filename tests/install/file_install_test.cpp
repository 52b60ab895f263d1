// A file of several megabytes comes out of its archive in pieces rather than whole; it gets the
// same checks as a small one: only the manifest's bytes go in place, anything else leaves the old
// file untouched and no staging file behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "files/archives.h"
#include "install/file_install.h"
#include "support/install_set.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using testsupport::random_bytes;
using testsupport::read_file;
using testsupport::temp_dir;
using testsupport::write_file;

namespace {

std::string text_bytes(size_t n) {
    std::string s;
    for (int line = 0; s.size() < n; ++line) s += "line " + std::to_string(line) + " of a large text file\n";
    s.resize(n);
    return s;
}

file_version_struct version_for(const std::string& bytes) {
    file_version_struct v;
    v.path = "V/sub/f";
    v.sig_want = testsupport::md5_hex(bytes);
    v.uncomp_size = float(bytes.size() / 1000);
    return v;
}

TEST(FileInstall, LargeFilesGetTheSameChecksAsSmallOnes) {
    const std::string text = text_bytes(3000000), noise = random_bytes(2500000, 4);
    std::string changed = text;
    changed[changed.size() / 2] ^= 1;
    struct row {
        const char* what;
        std::string in_archive;
        std::string wanted;
        bool damage = false;   // bytes in the middle of the stored data are overwritten
        int code = 0;
    };
    const row rows[] = {
        {"text", text, text},
        {"random bytes (stored blocks)", noise, noise},
        {"one byte differs", changed, text, false, err_md5_mismatch},
        {"damaged text", text, text, true, -1},
        {"damaged random bytes", noise, noise, true, -1},
        {"larger than the manifest allows", text + std::string(2000, 'x'), text, false, err_entry_too_large},
    };
    temp_dir t;
    const std::string root = t / "dest/";
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        write_file(root + "sub/f", "old");
        const std::string zip = t / "f.zip";
        testsupport::write_zip(zip, {{"f", r.in_archive}});
        if (r.damage) {
            std::string bytes = read_file(zip);
            for (size_t i = bytes.size() / 2; i < bytes.size() / 2 + 64; ++i) bytes[i] = char(~bytes[i]);
            write_file(zip, bytes);
        }
        const install_result got = install_file_from_archive(zip, root, root + "sub/f", version_for(r.wanted));
        if (r.code < 0) EXPECT_NE(got.code, 0);
        else EXPECT_EQ(got.code, r.code);
        EXPECT_FALSE(got.local);
        EXPECT_EQ(read_file(root + "sub/f"), got.code == 0 ? r.wanted : std::string("old"));
        for (const auto& e : fs::directory_iterator(root + "sub"))
            EXPECT_EQ(e.path().filename(), "f") << "left behind: " << e.path();
    }
}

}  // namespace
