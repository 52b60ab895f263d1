// The installer's preference file: what a save writes, what a read takes, --pref: overrides.
#include "files/preferences.h"

#include <stdlib.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/cmdline.h"
#include "files/http.h"
#include "install/install_state.h"
#include "core/app_globals.h"
#include "core/log.h"
#include "support/temp_dir.h"

namespace {

const std::string header = "I\n10 version\n";

class Preferences : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("XDG_CONFIG_HOME", tmp.path().c_str(), 1);
        ASSERT_TRUE(xer.open(tmp / "log.txt"));
        reset_values();
    }
    void TearDown() override {
        xer.close();
        cmdline = UTL_cmdline{};
        reset_values();
    }

    static void reset_values() {
        stg = install_state{};
        http.proxy_host.clear();
        http.proxy_port.clear();
        http.proxy_port_int = 0;
        for (int i = 0; i < 4; ++i) stls[i].clear();
        cmdline = UTL_cmdline{};
    }

    static void set_args(std::vector<const char*> args) {
        args.insert(args.begin(), "installer");
        cmdline.init_unix(static_cast<int>(args.size()), args.data());
    }

    std::string file() const { return tmp / "Ventaro Installer.prf"; }

    testsupport::temp_dir tmp;
};

}  // namespace

TEST_F(Preferences, FirstRunReadsNothingAndSavesTheSixLines) {
    pref.IO_set(11, 0);
    EXPECT_EQ(stg.log_actions + stg.stream_count + stg.get_beta + http.proxy_port_int, 0);
    pref.IO_set(11, 1);
    EXPECT_EQ(testsupport::read_file(file()),
              header + "_stream_count 0\n_log_actions 0\n_proxy_port_int 0\n_get_beta 0\n");
}

TEST_F(Preferences, EveryKeySurvivesAWriteAndARead) {
    stls[0] = "hello   world  ";
    stls[3] = "four";
    stg.stream_count = 6;
    stg.log_actions = 1;
    http.proxy_host = "proxy.example";
    http.proxy_port = "3128";
    http.proxy_port_int = 3128;
    stg.get_beta = -1;
    pref.IO_set(11, 1);
    EXPECT_EQ(testsupport::read_file(file()),
              header + "_message_1 hello   world  \n_message_4 four\n_stream_count 6\n_log_actions 1\n"
                       "_proxy_host proxy.example\n_proxy_port 3128\n_proxy_port_int 3128\n_get_beta -1\n");
    reset_values();
    pref.IO_set(11, 0);
    EXPECT_EQ(stls[0], "hello   world  ");
    EXPECT_EQ(stls[1], "");
    EXPECT_EQ(stls[3], "four");
    EXPECT_EQ(stg.stream_count, 6);
    EXPECT_EQ(stg.log_actions, 1);
    EXPECT_EQ(http.proxy_host, "proxy.example");
    EXPECT_EQ(http.proxy_port, "3128");
    EXPECT_EQ(http.proxy_port_int, 3128);
    EXPECT_EQ(stg.get_beta, -1);
}

TEST_F(Preferences, ReadingLines) {
    struct row {
        const char* what;
        std::string body;   // after the header
        std::function<void()> check;
    };
    const row rows[] = {
        {"blanks after the key skipped, inner and trailing kept", "_message_1   hello   world  \n",
         [] { EXPECT_EQ(stls[0], "hello   world  "); }},
        {"the later of two lines wins", "_get_beta 1\n_get_beta 0\n", [] { EXPECT_EQ(stg.get_beta, 0); }},
        {"CR, LF and CR LF line ends, tabs and blank lines", "\t _get_beta\t1\r_log_actions 1\r\n\n\n_stream_count 3",
         [] { EXPECT_EQ(stg.get_beta + stg.log_actions + stg.stream_count, 5); }},
        {"keys are case-sensitive", "_GET_BETA 1\n", [] { EXPECT_EQ(stg.get_beta, 7); }},
        {"a key alone reads as 0", "_get_beta\n", [] { EXPECT_EQ(stg.get_beta, 0); }},
        {"signs", "_get_beta -1\n_stream_count +12\n",
         [] { EXPECT_EQ(stg.get_beta, -1); EXPECT_EQ(stg.stream_count, 12); }},
        {"unknown keys are ignored", "_volume 11\n_get_beta 1\n", [] { EXPECT_EQ(stg.get_beta, 1); }},
        {"trailing letters are not a number", "_get_beta 1abc\n", [] { EXPECT_EQ(stg.get_beta, 7); }},
        {"letters are not a number", "_get_beta abc\n", [] { EXPECT_EQ(stg.get_beta, 7); }},
        {"leading zeros", "_get_beta -01\n_stream_count -000000001\n_log_actions +007\n",
         [] { EXPECT_EQ(stg.get_beta, -1); EXPECT_EQ(stg.stream_count, -1); EXPECT_EQ(stg.log_actions, 7); }},
        {"ten digits in range", "_get_beta 2147483647\n_stream_count -2147483648\n",
         [] { EXPECT_EQ(stg.get_beta, 2147483647); EXPECT_EQ(stg.stream_count, -2147483647 - 1); }},
        {"out of range is not taken", "_get_beta 2147483648\n", [] { EXPECT_EQ(stg.get_beta, 7); }},
        {"a sign alone is not a number", "_get_beta -\n", [] { EXPECT_EQ(stg.get_beta, 7); }},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        reset_values();
        stg.get_beta = 7;
        testsupport::write_file(file(), header + r.body);
        pref.IO_set(11, 0);
        r.check();
    }
    EXPECT_NE(xer.contents_for_test().find("Preference _get_beta is not a whole number: '1abc'; it stays 7\n"),
              std::string::npos);
}

TEST_F(Preferences, DamagedFilesReadAsEmpty) {
    const std::string rows[] = {
        "I\n9 version\n_get_beta 1\n",
        "X\n10 version\n_get_beta 1\n",
        "",
        std::string("\x00\x01\xff\xfe garbage", 12),
        "I\n",
    };
    for (const auto& body : rows) {
        SCOPED_TRACE(body);
        stg.get_beta = 5;
        testsupport::write_file(file(), body);
        pref.IO_set(11, 0);
        EXPECT_EQ(stg.get_beta, 5);
    }
    // A file cut off in the middle of its last line still gives that line.
    testsupport::write_file(file(), header + "_log_actions 1\n_get_beta 1");
    pref.IO_set(11, 0);
    EXPECT_EQ(stg.get_beta, 1);
}

TEST_F(Preferences, CommandLineOverridesAreReadAndSaved) {
    testsupport::write_file(file(), header + "_proxy_port_int 80\n_log_actions 1\n_proxy_host old.example\n"
                                             "_get_beta 1\n_stream_count 4\n");
    set_args({"--pref:_proxy_port_int=8080", "--pref:_log_actions", "--pref:_proxy_host=",
              "--pref:_message_2=two words", "--pref:_get_beta=yes"});
    pref.IO_set(11, 0);
    EXPECT_EQ(http.proxy_port_int, 8080);
    EXPECT_EQ(stg.log_actions, 0) << "an option without '=' clears an int";
    EXPECT_EQ(http.proxy_host, "") << "an empty option empties a string";
    EXPECT_EQ(stls[1], "two words");
    EXPECT_EQ(stg.get_beta, 1) << "a mistyped option leaves the file's value";
    EXPECT_EQ(stg.stream_count, 4);

    pref.IO_set(11, 1);
    EXPECT_EQ(testsupport::read_file(file()),
              header + "_message_2 two words\n_stream_count 4\n_log_actions 0\n_proxy_port_int 8080\n_get_beta 1\n");
}

TEST_F(Preferences, AnUnwritableFolderIsSurvived) {
    testsupport::write_file(tmp / "blocker", "a file where the folder should be");
    ::setenv("XDG_CONFIG_HOME", (tmp / "blocker").c_str(), 1);
    stg.get_beta = 1;
    pref.IO_set(11, 1);
    pref.IO_set(11, 0);
    EXPECT_EQ(stg.get_beta, 1);
    EXPECT_FALSE(testsupport::exists(tmp / "blocker/Ventaro Installer.prf"));
}
