// The desktop bridges: the chooser through a stub zenity on PATH, the over-long web address, and
// the byte-order flips.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "core/cmdline.h"
#include "core/log.h"
#include "shell/native_ui.h"
#include "support/temp_dir.h"

namespace {

using testsupport::read_file;
using testsupport::write_file;

class Chooser : public ::testing::Test {
protected:
    void SetUp() override {
        old_path = std::getenv("PATH") ? std::getenv("PATH") : "";
        // The stub records its arguments and answers what the test put in its reply file.
        write_file(tmp / "bin/zenity",
                   "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" + tmp.path() + "/args\"\n"
                   "[ -f \"" + tmp.path() + "/reply\" ] || exit 1\ncat \"" + tmp.path() + "/reply\"\n");
        chmod((tmp / "bin/zenity").c_str(), 0755);
        setenv("PATH", (tmp.path() + "/bin:" + old_path).c_str(), 1);
    }
    void TearDown() override { setenv("PATH", old_path.c_str(), 1); }

    testsupport::temp_dir tmp;
    std::string old_path;
};

TEST_F(Chooser, AChosenFolderComesBackAndCancelLeavesTheResultAlone) {
    write_file(tmp / "reply", "/home/user/Ventaro Demo\n");
    std::string path = "/start/here";
    EXPECT_EQ(GetFilePathFromUser(2, "Pick a folder", "Choose", 1, path, path), 1);
    EXPECT_EQ(path, "/home/user/Ventaro Demo");
    EXPECT_EQ(read_file(tmp / "args"),
              "--file-selection\n--title=Pick a folder\n--directory\n--filename=/start/here/\n");

    std::remove((tmp / "reply").c_str());
    EXPECT_EQ(GetFilePathFromUser(2, "Pick a folder", "Choose", 1, path, path), 0);
    EXPECT_EQ(path, "/home/user/Ventaro Demo");

    write_file(tmp / "reply", "/x\n");
    std::remove((tmp / "args").c_str());
    EXPECT_EQ(GetFilePathFromUser(3, "m", "b", 1, path, path), 0);   // no such mode: nothing shown
    EXPECT_EQ(read_file(tmp / "args"), "");
}

TEST(NativeUi, OverlongWebAddressesAreACrashAlert) {
    GTEST_FLAG_SET(death_test_style, "fast");
    testsupport::temp_dir tmp;
    ASSERT_TRUE(xer.open(tmp / "log.txt"));
    const char* argv[] = {"program", "--qa_script"};
    cmdline.init_unix(2, argv);
    EXPECT_EXIT(go_to_URL("http://example.invalid/" + std::string(480, 'a')), ::testing::ExitedWithCode(1), "");
    EXPECT_NE(read_file(tmp / "log.txt").find("String too long!\nhttp://example.invalid/aaa"), std::string::npos);
    cmdline = UTL_cmdline();
    xer.close();
}

TEST(NativeUi, ByteOrderFlips) {
    uint32_t l = 0x01020304;
    EndianFlipLong(&l);
    EXPECT_EQ(l, 0x04030201u);
    uint16_t s = 0x0102;
    EndianFlipShort(&s);
    EXPECT_EQ(s, 0x0201);
}

}  // namespace
