#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <vector>

#include "core/cmdline.h"
#include "core/shared_constants.h"
#include "install/install_state.h"
#include "install/server_list.h"
#include "platform/web_page.h"
#include "core/app_globals.h"
#include "core/log.h"
#include "support/install_set.h"
#include "support/peak_memory.h"
#include "support/temp_dir.h"

using testsupport::list_server;
using testsupport::server_list_text;
using testsupport::temp_dir;
using testsupport::write_file;

namespace {

std::string summary() {
    std::string out = install_name + ":";
    for (const auto& s : servers) out += " " + s.host + s.path + "(" + s.label + ")";
    return out;
}

struct list_case {
    const char* name;
    std::string text;
    int beta;
    std::vector<const char*> args;
    std::string expected;
};

// Test names and failure messages show the case by its name, not its bytes.
void PrintTo(const list_case& c, std::ostream* os) { *os << c.name; }

class ServerList : public ::testing::TestWithParam<list_case> {};

TEST_P(ServerList, ReadsServersAndOptions) {
    temp_dir t;
    const auto& c = GetParam();
    stg_set_initial();
    stg.get_beta = c.beta;
    install_name = no_install_name;
    servers.clear();
    cmdline = UTL_cmdline{};
    std::vector<const char*> argv = {"installer"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    cmdline.init_unix((int)argv.size(), argv.data());
    write_file(t / "serverlist9.txt", c.text);
    EXPECT_EQ(read_server_list(t / "serverlist9.txt"), 0);
    EXPECT_EQ(summary(), c.expected);
    cmdline = UTL_cmdline{};
}

const std::vector<list_server> two = {{"m1.test", "/sets/", "one"}, {"m2.test", "/", "two"}};

INSTANTIATE_TEST_SUITE_P(
    Table, ServerList,
    ::testing::Values(
        list_case{"final", server_list_text("Alpha", two, "", "Beta"), 0, {},
                  "Alpha: m1.test/sets/Alpha/(one) m2.test/Alpha/(two)"},
        list_case{"beta", server_list_text("Alpha", two, "", "Beta"), 1, {},
                  "Beta: m1.test/sets/Beta/(one) m2.test/Beta/(two)"},
        list_case{"no_name", server_list_text("", two), 0, {},
                  "Not Yet Scanned: m1.test/sets/Not Yet Scanned/(one) m2.test/Not Yet Scanned/(two)"},
        list_case{"server_before_name",
                  "I\n820 version\nSERVERS\nSERVER early.test\n/e/\nearly\nFINAL Late\nSERVER late.test\n\n  /l/\n\nlate\n",
                  0, {}, "Late: early.test/e/Not Yet Scanned/(early) late.test/l/Late/(late)"},
        list_case{"same_version_and_endoflist",
                  "I\n820 version\nSERVERS\nFINAL N\nINS_VERSION 20603 x http://new.test/\nSERVERS x\n"
                  "SERVER a.test\n/p/\nl\nENDOFLIST\nSERVER b.test\n/p/\nl\n",
                  0, {}, "N: a.test/p/N/(l)"},
        list_case{"bad_entries_skipped",
                  server_list_text("N", {{"ok.test", "/p/"}, {"slash.test/", "/p/"}, {"nopath.test", "p/"}}), 0,
                  {}, "N: ok.test/p/N/(mirror)"},
        list_case{"install_name_option", server_list_text("N", two), 0, {"--install_name=Other"},
                  "Other: m1.test/sets/N/(one) m2.test/N/(two)"},
        list_case{"server_option", server_list_text("N", two), 0, {"--server=host/dir/", "--add_server=h2/x/"},
                  "N: host/dir/N/(host/dir/) h2/x/N/(h2/x/)"},
        list_case{"server_without_path_ignored", server_list_text("N", two), 0, {"--server=hostonly"}, "N:"},
        list_case{"clone", server_list_text("N", {two[0]}), 0, {"--server_clone=3"},
                  "N: m1.test/sets/N/(one) m1.test/sets/N/(one) m1.test/sets/N/(one) m1.test/sets/N/(one)"},
        list_case{"clone_zero_or_text", server_list_text("N", {two[0]}), 0, {"--server_clone=abc"},
                  "N: m1.test/sets/N/(one)"}),
    [](const auto& info) { return std::string(info.param.name); });

// Every server path takes the install name: a list with a huge name and many servers used to
// hold the name once per server. Over-long paths are skipped, with a few warnings only.
TEST(ServerListLimits, OverLongPathsAreSkippedWithoutCopies) {
    temp_dir t;
    cmdline = UTL_cmdline{};
    stg_set_initial();
    server_list_reset_for_test();
    install_name = no_install_name;
    servers.clear();
    std::string many;
    for (int i = 0; i < 20000; ++i) many += "SERVER h" + std::to_string(i) + ".test\n/\nl\n";
    write_file(t / "huge.txt", "I\n820 version\nSERVERS\nFINAL " + std::string(1 << 20, 'n') + "\n" + many);
    const long kb = testsupport::peak_growth_kb([&] {
        read_server_list(t / "huge.txt");
        if (!servers.empty()) std::_Exit(9);
    });
    ASSERT_GE(kb, 0);
    EXPECT_LT(kb, 32 * 1024) << "peak growth " << kb << " kB";

    ASSERT_TRUE(xer.open(t / "log.txt"));   // only now: the child above would have written to it

    // In this process: the log gets ten warnings and a count, and nothing more when the same
    // list is read again (it is fetched again and again while it gives no server).
    EXPECT_EQ(read_server_list(t / "huge.txt"), 0);
    EXPECT_TRUE(servers.empty());
    const std::string warning =
        "WARNING: skipping a download server whose host or path is longer than 1024 bytes\n";
    std::string expected;
    for (int i = 0; i < 10; ++i) expected += warning;
    expected += "WARNING: 19990 more warnings like these\n";
    EXPECT_EQ(xer.contents_for_test(), expected);
    EXPECT_EQ(read_server_list(t / "huge.txt"), 0);
    EXPECT_EQ(xer.contents_for_test(), expected);

    // Which entries pass at the limit.
    const std::string name(1000, 'n');
    write_file(t / "list.txt", "I\n820 version\nSERVERS\nFINAL " + name + "\n" +
                                   "SERVER fits.test\n/" + std::string(1024 - 2 - name.size(), 'p') + "\nl\n" +
                                   "SERVER long.test\n/" + std::string(1024 - 1 - name.size(), 'p') + "\nl\n" +
                                   "SERVER " + std::string(1025, 'h') + "\n/\nl\n");
    EXPECT_EQ(read_server_list(t / "list.txt"), 0);
    ASSERT_EQ(servers.size(), 1u);
    EXPECT_EQ(servers[0].host, "fits.test");
    EXPECT_EQ(servers[0].path.size(), server_path_max);
    xer.close();
}

TEST(ServerListAnnouncements, NewerInstallerOpensItsPageAndStops) {
    temp_dir t;
    write_file(t / "opener", "#!/bin/sh\necho \"$1\" >> \"$(dirname \"$0\")/opened\"\n");
    ASSERT_EQ(::chmod((t / "opener").c_str(), 0755), 0);
    platform_set_web_page_program(t / "opener");
    cmdline = UTL_cmdline{};
    stg_set_initial();
    servers.clear();
    app_done = 0;
    write_file(t / "list.txt", server_list_text("N", {}, "INS_VERSION 20604 word http://new.test/get.html more\n") +
                                   "SERVER a.test\n/p/\nl\n");
    EXPECT_EQ(read_server_list(t / "list.txt"), 1);
    EXPECT_TRUE(servers.empty()) << "the rest of the list is not read";
    EXPECT_EQ(app_done, 1);
    EXPECT_EQ(testsupport::read_file(t / "opened"), "http://new.test/get.html\n");

    app_done = 0;
    write_file(t / "empty.txt", "");
    EXPECT_EQ(read_server_list(t / "empty.txt"), 2);
    EXPECT_EQ(stg.format_flag, 2);
    write_file(t / "other.txt", "I\n900 version\nSERVERS\n");
    EXPECT_EQ(read_server_list(t / "other.txt"), 2);
    EXPECT_EQ(testsupport::read_file(t / "opened"),
              "http://new.test/get.html\nhttp://" VENTARO_SERVER_HOST "/demo.html\nhttp://" VENTARO_SERVER_HOST
              "/demo.html\n");
    app_done = 0;
    platform_set_web_page_program("");
}

}  // namespace
