#include "files/paths.h"

#include <gtest/gtest.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/bundle.h"
#include "core/app_globals.h"
#include "core/log.h"
#include "support/temp_dir.h"

using testsupport::temp_dir;
using testsupport::write_file;

TEST(Paths, SplittingRows) {
    const struct {
        const char *path, *file, *folder;
    } rows[] = {
        {"/Users/x/file.txt", "file.txt", "/Users/x/"},
        {"dir/file", "file", "dir/"},
        {"a/b/", "b/", "a/"},
        {"/a", "a", "/"},
        {"/", "", "/"},
        {"file", "file", ""},
        {"ab/", "ab/", ""},
        {"a/", "", "a/"},
        {"x//", "/", "x/"},
        {"", "", ""},
    };
    for (const auto& r : rows) {
        std::string file = "junk", folder = "junk";
        get_file_with_path(file, r.path);
        get_path_with_path(folder, r.path);
        EXPECT_EQ(file, r.file) << r.path;
        EXPECT_EQ(folder, r.folder) << r.path;
    }
}

TEST(Paths, CompletingUsesTheBaseFolderOnlyForRelativePaths) {
    g_case_sensitive = 0;
    const std::string saved = app_path;
    const struct {
        const char *base, *in, *out;
    } rows[] = {
        {"", "rel/file.txt", "rel/file.txt"},
        {"", "/abs/file.txt", "/abs/file.txt"},
        {"/base/", "rel/file.txt", "/base/rel/file.txt"},
        {"/base/", "/abs/file.txt", "/abs/file.txt"},
        {"/base/", "", "/base/"},
    };
    for (const auto& r : rows) {
        app_path = r.base;
        std::string p = r.in;
        set_path_to_full(p);
        EXPECT_EQ(p, r.out) << r.base << " + " << r.in;
        EXPECT_EQ(is_path_full(p), p[0] == '/');
    }
    app_path = saved;
    EXPECT_FALSE(is_path_full(""));
}

class CaseCorrection : public ::testing::Test {
protected:
    void SetUp() override {
        g_case_sensitive = 1;
        app_path.clear();
        write_file(tmp / "Data/Sub Dir/Readme.TXT", "x");
    }
    void TearDown() override { g_case_sensitive = 0; }
    temp_dir tmp;
};

TEST_F(CaseCorrection, AbsoluteAndRelativePathsTakeTheDiskSpelling) {
    std::string p = tmp / "data/sub dir/readme.txt";
    set_path_to_full(p);
    EXPECT_EQ(p, tmp / "Data/Sub Dir/Readme.TXT");

    // A path that exists as written is left alone.
    p = tmp / "Data/Sub Dir/Readme.TXT";
    set_path_to_full(p);
    EXPECT_EQ(p, tmp / "Data/Sub Dir/Readme.TXT");

    char cwd[4096];
    ASSERT_TRUE(::getcwd(cwd, sizeof cwd));
    ASSERT_EQ(::chdir(tmp.path().c_str()), 0);
    std::string rel = "DATA/SUB DIR/README.txt";
    set_path_to_full(rel);
    EXPECT_EQ(rel, "Data/Sub Dir/Readme.TXT");
    ASSERT_EQ(::chdir(cwd), 0);
}

TEST_F(CaseCorrection, StopsAtTheFirstComponentItCannotMatch) {
    std::string p = tmp / "data/nothere/readme.txt";
    set_path_to_full(p);
    EXPECT_EQ(p, tmp / "Data/nothere/readme.txt");
}

TEST_F(CaseCorrection, PathsTooLongForTheBufferAreLeftAsTheyAre) {
    for (const std::size_t len : {499u, 500u, 4000u}) {
        std::string p = tmp / "data/";
        p += std::string(len - p.size(), 'q');
        const std::string before = p;
        set_path_to_full(p);
        ASSERT_EQ(p.size(), len);
        if (len < 500)
            EXPECT_EQ(p.compare(0, tmp.path().size() + 6, tmp / "Data/"), 0);
        else
            EXPECT_EQ(p, before);
    }
}

TEST(Paths, RepairingSeparatorsAndEncoding) {
    const struct {
        std::string in, out;
    } rows[] = {
        {"a\\b:c", "a/b/c"},
        {"\x8e", "\xc3\xa9"},                         // Mac Roman é
        {"caf\xc3\xa9/x", "caf\xc3\xa9/x"},           // already UTF-8
        {"a\xc3", "a\xe2\x88\x9a"},                   // cut-off UTF-8 is taken as Mac Roman
        {"\xa5:\xdb", "\xe2\x80\xa2/\xe2\x82\xac"},   // bullet and euro, colon still turned
        {"", ""},
    };
    for (const auto& r : rows) {
        std::string p = r.in;
        set_path_to_right_dirchars(p);
        EXPECT_EQ(p, r.out);
    }
}

TEST(Paths, MacRomanTableAgreesWithTheSystemConverter) {
    iconv_t cd = ::iconv_open("UTF-8", "MACINTOSH");
    if (cd == reinterpret_cast<iconv_t>(-1)) GTEST_SKIP() << "no MACINTOSH converter";
    for (int b = 0x80; b <= 0xFF; ++b) {
        // 0xF0 is a private-use character either way; for 0xC6 the system converter picks the
        // Greek capital delta where the platform's own table has the increment sign.
        if (b == 0xF0 || b == 0xC6) continue;
        char in[1] = {static_cast<char>(b)};
        char out[8] = {};
        char* ip = in;
        char* op = out;
        std::size_t il = 1, ol = sizeof out;
        ASSERT_NE(::iconv(cd, &ip, &il, &op, &ol), static_cast<std::size_t>(-1));
        // A lone 0x80 first keeps the text ill-formed whatever follows, so it is converted.
        std::string ours = "\x80" + std::string(1, static_cast<char>(b));
        set_path_to_right_dirchars(ours);
        EXPECT_EQ(ours, "\xc3\x84" + std::string(out, op)) << std::hex << b;
    }
    ::iconv_close(cd);
}

TEST(Paths, ResourcePrefix) {
    const struct {
        const char* in;
        bool is;
        const char* out;
    } rows[] = {
        {"RESOURCE:map.png", true, "map.png"},
        {"RESOURCE:", true, ""},
        {"RESOURCE", false, "RESOURCE"},
        {"resource:map.png", false, "resource:map.png"},
        {"/RESOURCE:map.png", false, "/RESOURCE:map.png"},
    };
    for (const auto& r : rows) {
        std::string p = r.in;
        EXPECT_EQ(UTL_path_is_resource(p), r.is) << r.in;
        EXPECT_EQ(p, r.out);
    }
}

TEST(Paths, ResourceLookupInTheBundle) {
    const std::string res = platform::bundle_path() + "/Contents/Resources/";
    const std::string name = "paths_test_" + std::to_string(::getpid()) + ".txt";
    write_file(res + name, "r");
    EXPECT_EQ(UTL_resource_get_file(name), res + name);
    ::unlink((res + name).c_str());
    EXPECT_EQ(UTL_resource_get_file(name), "");
    EXPECT_EQ(UTL_resource_get_file(""), "");
}

TEST(Paths, ReferencesAndConversions) {
    temp_dir tmp;
    write_file(tmp / "file", "x");
    FSRef ref;
    std::string name;
    ASSERT_EQ(FilePathToFSRefAndName("/file", &ref, &name), 0);
    EXPECT_EQ(ref.path, "/");
    EXPECT_EQ(name, "file");

    ASSERT_EQ(FilePathToFSRefAndName((tmp / "file").c_str(), &ref, nullptr), 0);
    std::string back = "unchanged";
    ASSERT_EQ(FSRefToFilePath(ref, back), 0);
    char* real = ::realpath((tmp / "file").c_str(), nullptr);
    EXPECT_EQ(back, real);
    std::free(real);

    EXPECT_EQ(FilePathToFSRefAndName((tmp / "missing").c_str(), &ref, nullptr), -43);
    EXPECT_NE(FilePathToFSRefAndName("file", &ref, &name), 0);  // empty folder part
    back = "unchanged";
    EXPECT_EQ(FSRefToFilePath(FSRef{}, back), -1);
    EXPECT_EQ(back, "unchanged");

    CFStringRef s = STLToCFString("caf\xc3\xa9\xe2\x84\xa2\xe2\x82\xbd");  // café™ then a rouble sign
    ASSERT_NE(s, nullptr);
    std::string utf8, roman;
    CFStringToSTL(s, utf8, kCFStringEncodingUTF8);
    CFStringToSTL(s, roman, kCFStringEncodingMacRoman);
    EXPECT_EQ(utf8, "caf\xc3\xa9\xe2\x84\xa2\xe2\x82\xbd");
    EXPECT_EQ(roman, "caf\x8e\xaa");  // stops at the first character Mac Roman lacks
    platform::cf_release(s);
    EXPECT_EQ(STLToCFString("\xc3"), nullptr);
    EXPECT_EQ(STLToCFString("\xc0\xaf"), nullptr);  // overlong '/'
}

TEST(Paths, ColonSeparatedForm) {
    const struct {
        std::string in, out;
    } rows[] = {
        {"/a/b/", "root:a:b:"},
        {"/a/x:y.txt", "root:a:x/y.txt"},
        {"/caf\xc3\xa9", "root:caf\x8e"},
        {"/a/\xe2\x82\xbd/", "/a/\xe2\x82\xbd/:"},  // cannot be Mac Roman: kept, still marked as a folder
    };
    for (const auto& r : rows) {
        std::string p = r.in;
        ConvertPathToCFM(p);
        EXPECT_EQ(p, r.out) << r.in;
    }
}
