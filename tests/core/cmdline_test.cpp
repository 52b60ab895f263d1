#include "core/cmdline.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "core/log.h"
#include "support/temp_dir.h"

namespace {

class Cmdline : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(xer.open(tmp / "log.txt")); }
    void TearDown() override { xer.close(); }
    testsupport::temp_dir tmp;
};

TEST_F(Cmdline, ArgumentsSplitAtTheFirstEqualsAndEchoToTheLog) {
    using options = std::vector<std::pair<std::string, std::string>>;
    const struct {
        std::vector<const char*> args;
        options expected;
        const char* log;
    } cases[] = {
        {{}, {}, ""},
        {{"--pref:_log_actions=1"}, {{"--pref:_log_actions", "1"}}, "     '--pref:_log_actions'='1'\n"},
        {{"--server=a=b"}, {{"--server", "a=b"}}, "     '--server'='a=b'\n"},
        {{"--fps_test"}, {{"--fps_test", ""}}, "     '--fps_test'\n"},
        {{"--a="}, {{"--a", ""}}, "     '--a'\n"},
        {{"=x"}, {{"", "x"}}, "     ''='x'\n"},
        {{"-path", "/my folder/x y"}, {{"-path", ""}, {"/my folder/x y", ""}},
         "     '-path'\n     '/my folder/x y'\n"},
        {{"--lang=fr", "--lang=de"}, {{"--lang", "de"}},
         "     '--lang'='fr'\nWARNING: command line option --lang=deused twice.\n     '--lang'='de'\n"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(xer.open(tmp / "log.txt"));
        std::vector<const char*> argv{"program"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        UTL_cmdline cl;
        cl.init_unix(static_cast<int>(argv.size()), argv.data());
        EXPECT_EQ(xer.contents_for_test(), c.log) << c.args.size() << " args";
        for (const auto& [key, value] : c.expected) {
            EXPECT_NE(cl.has_option(key.c_str()), 0) << key;
            EXPECT_EQ(cl.get_option(key.c_str()), value) << key;
        }
    }
}

TEST_F(Cmdline, AbsentOptionsAnswerNothing) {
    const char* argv[] = {"program", "--fps_test"};
    UTL_cmdline cl;
    cl.init_unix(2, argv);
    EXPECT_EQ(cl.has_option("--qa_script"), 0);
    EXPECT_EQ(cl.get_option("--qa_script"), "");
    EXPECT_EQ(cl.has_option("--fps"), 0);  // keys match whole, never by prefix
    EXPECT_EQ(cl.has_option("--fps_test"), 1);
}

TEST_F(Cmdline, CommandStringSplitsAtWhiteSpaceWithoutQuoting) {
    const struct {
        const char* command;
        std::vector<std::pair<std::string, std::string>> expected;
        std::vector<std::string> absent;
    } cases[] = {
        {"  a=b   c ", {{"a", "b"}, {"c", ""}}, {""}},
        {"=skipped x=1", {{"x", "1"}}, {"", "=skipped"}},
        {"\"q r\"=1", {{"\"q", ""}, {"r\"", "1"}}, {"\"q r\""}},
        {"\ta=1\nb=2=3\r", {{"a", "1"}, {"b", "2=3"}}, {}},
        {"", {}, {""}},
    };
    for (const auto& c : cases) {
        UTL_cmdline cl;
        EXPECT_EQ(cl.init_win(c.command), 0);
        for (const auto& [key, value] : c.expected) {
            EXPECT_NE(cl.has_option(key.c_str()), 0) << c.command << " / " << key;
            EXPECT_EQ(cl.get_option(key.c_str()), value) << c.command << " / " << key;
        }
        for (const std::string& key : c.absent) EXPECT_EQ(cl.has_option(key.c_str()), 0) << c.command << " / " << key;
    }
}

}  // namespace
