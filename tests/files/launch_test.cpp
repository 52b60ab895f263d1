#include "files/launch.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "core/log.h"
#include "support/temp_dir.h"

using testsupport::read_file;
using testsupport::temp_dir;
using testsupport::write_file;

namespace {

struct listing {
    std::vector<std::string> names;
    std::vector<int> kinds;
};

listing list(const std::string& folder, int kind) {
    listing l;
    const int count = opensave_getitems(folder, kind, l.names, l.kinds);
    EXPECT_EQ(count, int(l.names.size()));
    EXPECT_EQ(l.kinds.size(), l.names.size());
    return l;
}

}  // namespace

TEST(Listing, KindsFilterAndOrder) {
    temp_dir tmp;
    write_file(tmp / "b.TXT", "");
    write_file(tmp / "A.acf", "");
    write_file(tmp / ".hidden", "");
    write_file(tmp / "c/inside", "");
    write_file(tmp / "v.obj/inside", "");     // a folder with an extension takes the extension's kind
    write_file(tmp / "x.oz", "");
    write_file(tmp / "X.OZ2", "");
    write_file(tmp / "abc", "");              // too short for any extension
    ASSERT_EQ(::symlink("c", (tmp / "link_to_c").c_str()), 0);   // a linked folder lists as a file
    const std::string dir = tmp.path() + "/";

    const listing all = list(dir, 0);
    EXPECT_EQ(all.names, (std::vector<std::string>{"A.acf", "abc", "b.TXT", "c", "link_to_c", "v.obj", "x.oz", "X.OZ2"}));
    EXPECT_EQ(all.kinds, (std::vector<int>{3, 0, 20, 1, 0, 7, 19, 0}));

    const struct {
        int filter;
        std::vector<std::string> names;
    } cases[] = {
        {1, {"c"}},
        {3, {"A.acf", "c"}},
        {2, {"c"}},
        {7, {"c", "v.obj"}},
        {19, {"c", "x.oz"}},
        {22, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(list(dir, c.filter).names, c.names) << "filter " << c.filter;

    EXPECT_EQ(list(tmp / "missing/", 0).names.size(), 0u);
}

TEST(Listing, SortFoldsCaseAndPutsHighBytesFirst) {
    temp_dir tmp;
    for (const char* name : {"beta", "Alpha", "alp", "\xc3\xa9t\xc3\xa9", "Zulu", "_under", "9nine"})
        write_file(tmp / name, "");
    const listing l = list(tmp.path() + "/", 0);
    EXPECT_EQ(l.names, (std::vector<std::string>{"\xc3\xa9t\xc3\xa9", "9nine", "_under", "alp", "Alpha", "beta", "Zulu"}));
}

TEST(Listing, PanelImagesFilter) {
    temp_dir tmp;
    for (const char* name : {"panel.png", "panel-1.png", "PANEL-4.BMP", "panel-5.png", "notes.txt"})
        write_file(tmp / name, "");
    write_file(tmp / "sub/x", "");
    EXPECT_EQ(list(tmp.path() + "/", 12).names, (std::vector<std::string>{"panel-5.png", "panel.png", "sub"}));
}

TEST(Listing, CommandRegistryPaths) {
    const listing l = list("", 23);
    ASSERT_FALSE(l.names.empty());
    for (size_t i = 0; i < l.names.size(); ++i) {
        EXPECT_TRUE(l.kinds[i] == 1 || l.kinds[i] == 23) << l.names[i];
        EXPECT_TRUE(l.names[i].empty() || l.names[i].back() != '/') << l.names[i];
    }
}

TEST(Listing, AFolderPathWithoutItsSlashIsAProgrammingError) {
    std::vector<std::string> names;
    std::vector<int> kinds;
    EXPECT_DEATH(opensave_getitems("/no/trailing/slash", 0, names, kinds), "");
}

class Launch : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(xer.open(tmp / "log.txt")); }
    void TearDown() override { xer.close(); }

    // A bundle whose executable writes its arguments next to itself.
    std::string make_bundle(const std::string& name) {
        const std::string bundle = tmp / (name + ".app");
        const std::string exe = bundle + "/Contents/MacOS/" + name;
        write_file(exe, "#!/bin/sh\nprintf '%s|' \"$@\" > \"$0.args.tmp\"\nmv \"$0.args.tmp\" \"$0.args\"\n");
        EXPECT_EQ(::chmod(exe.c_str(), 0755), 0);
        return bundle;
    }

    static std::string wait_for(const std::string& path) {
        for (int i = 0; i < 500; ++i) {
            if (::access(path.c_str(), F_OK) == 0) return read_file(path);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return "(never written)";
    }

    temp_dir tmp;
};

TEST_F(Launch, StartsTheBundleExecutableAndEnds) {
    // The child must see this test's folder, not a fresh one of a re-run test program.
    const std::string style = GTEST_FLAG_GET(death_test_style);
    GTEST_FLAG_SET(death_test_style, "fast");
    const std::string bundle = make_bundle("Sim");
    const std::string exe = bundle + "/Contents/MacOS/Sim";
    EXPECT_EXIT(launch_app(bundle + "/", "/some/install folder", 1), ::testing::ExitedWithCode(1), "");
    EXPECT_EQ(wait_for(exe + ".args"), "-path|/some/install folder|");
    EXPECT_NE(read_file(tmp / "log.txt").find("Launching: " + exe + " with /some/install folder\n"), std::string::npos);

    ::unlink((exe + ".args").c_str());
    EXPECT_EXIT(launch_app(bundle, "", 0), ::testing::ExitedWithCode(1), "");
    EXPECT_EQ(wait_for(exe + ".args"), "|");   // printf with no arguments still prints once
    GTEST_FLAG_SET(death_test_style, style);
}

TEST_F(Launch, MissingBundleReturnsTheErrorAndCarriesOn) {
    EXPECT_EQ(launch_app(tmp / "Nothing.app", "x", 1), ENOENT);
    EXPECT_TRUE(xer.is_open());
    xer.flush();
    EXPECT_NE(read_file(tmp / "log.txt").find("Launching: " + tmp / "Nothing.app with x\n"), std::string::npos);
}

TEST(SharedCode, LoadsFromTheDynamicLoader) {
    bundle_handle h = nullptr;
    EXPECT_EQ(load_bundle_by_filename("z.framework", 0, &h), 0);   // libz.so.1
    EXPECT_NE(h, nullptr);
    EXPECT_EQ(load_bundle_by_filename("NoSuchThing.framework", 0, &h), -43);
    EXPECT_EQ(load_bundle_by_filename(nullptr, 0, &h), -50);
}

TEST(LargeAddressAware, PatchesOnlyRealExecutables) {
    temp_dir tmp;
    std::string exe(256, '\0');
    exe[0] = 'M';
    exe[1] = 'Z';
    exe[60] = char(0x80);
    exe.replace(0x80, 4, std::string("PE\0\0", 4));
    exe[0x80 + 22] = 0x02;   // some other characteristic already set
    write_file(tmp / "a.exe", exe);
    EXPECT_EQ(make_file_large_address_aware(tmp / "a.exe"), 0);
    std::string want = exe;
    want[0x80 + 22] = 0x22;
    EXPECT_EQ(read_file(tmp / "a.exe"), want);
    EXPECT_EQ(make_file_large_address_aware(tmp / "a.exe"), 0);
    EXPECT_EQ(read_file(tmp / "a.exe"), want);

    write_file(tmp / "short", "MZ");
    write_file(tmp / "text", std::string(100, 'x'));
    std::string no_pe = exe;
    no_pe[0x80] = 'X';
    write_file(tmp / "no_pe", no_pe);
    EXPECT_EQ(make_file_large_address_aware(tmp / "short"), 5);
    EXPECT_EQ(make_file_large_address_aware(tmp / "text"), 20013);
    EXPECT_EQ(make_file_large_address_aware(tmp / "no_pe"), 20014);
    EXPECT_EQ(read_file(tmp / "no_pe"), no_pe);
    EXPECT_EQ(make_file_large_address_aware(tmp / "missing"), ENOENT);
}
