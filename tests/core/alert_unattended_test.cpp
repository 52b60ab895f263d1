// Under --qa_script (or --fps_test) alerts only reach the log, and quits and crashes end with code 1.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "core/cmdline.h"
#include "core/alert.h"
#include "core/log.h"
#include "support/temp_dir.h"

namespace {

using testsupport::read_file;
using testsupport::write_file;

class UnattendedAlert : public ::testing::Test {
protected:
    void SetUp() override {
        // The child must share this test's folder; no other threads run here.
        GTEST_FLAG_SET(death_test_style, "fast");
        ASSERT_TRUE(xer.open(tmp / "log.txt"));
        const char* argv[] = {"program", "--qa_script=script.txt"};
        cmdline.init_unix(2, argv);
        log_before = xer.contents_for_test();
    }
    void TearDown() override { xer.close(); }

    std::string logged() { return read_file(tmp / "log.txt").substr(log_before.size()); }

    // Runs the alert in a child whose current folder is the test's folder.
    void alert_in_child(int type) {
        if (chdir(tmp.path().c_str()) != 0) std::abort();
        __MACIBM_alert(0, "one", "two", "", "four", type, "src/x.cpp", 12);
    }

    testsupport::temp_dir tmp;
    std::string log_before;
};

const char* const expected_lines = "one\ntwo\n\nfour\n(src/x.cpp line 12)\n";

TEST_F(UnattendedAlert, WarningIsOnlyLoggedAndReturns) {
    testing::internal::CaptureStderr();
    __MACIBM_alert(0, "one", "two", "", "four", t_warn, "src/x.cpp", 12);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");  // no alert box
    EXPECT_EQ(logged(), expected_lines);
}

TEST_F(UnattendedAlert, QuitAndCrashEndWithCodeOneAfterLogging) {
    for (const int type : {t_quit, t_crash}) {
        ASSERT_TRUE(xer.open(tmp / "log.txt"));
        log_before.clear();
        EXPECT_EXIT(alert_in_child(type), ::testing::ExitedWithCode(1), "") << type;
        EXPECT_EQ(logged(), expected_lines) << type;
    }
}

TEST_F(UnattendedAlert, CrashAppendsAStackCrawl) {
    write_file(tmp / "stack_crawl.txt", "earlier crash\n");
    EXPECT_EXIT(alert_in_child(t_crash), ::testing::ExitedWithCode(1), "");
    const std::string crawl = read_file(tmp / "stack_crawl.txt");
    EXPECT_EQ(crawl.rfind("earlier crash\n  0) ", 0), 0u) << crawl;
    EXPECT_NE(crawl.find("\n  1) "), std::string::npos) << crawl;

    EXPECT_EXIT(alert_in_child(t_quit), ::testing::ExitedWithCode(1), "");
    EXPECT_EQ(read_file(tmp / "stack_crawl.txt"), crawl);  // only crashes write one
}

}  // namespace
