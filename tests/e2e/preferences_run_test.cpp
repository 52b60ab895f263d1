#include <gtest/gtest.h>

#include "support/program_run.h"
#include "support/temp_dir.h"

using namespace testsupport;

TEST(PreferencesRun, ANormalEndWritesThePreferencesAndAPrefOptionSticks) {
    temp_dir tmp;
    program_sandbox box(tmp.path());
    const std::string prf = box.home() + "/.config/Ventaro Installer.prf";

    ASSERT_EQ(box.run({}).exit_code, 0);
    EXPECT_EQ(read_file(prf), "I\n10 version\n_stream_count 0\n_log_actions 0\n_proxy_port_int 0\n_get_beta 0\n");

    ASSERT_EQ(box.run({"--pref:_get_beta=1"}).exit_code, 0);
    ASSERT_EQ(box.run({}).exit_code, 0);
    EXPECT_NE(read_file(prf).find("_get_beta 1\n"), std::string::npos) << read_file(prf);
}

TEST(PreferencesRun, UnattendedRunsLeaveThePreferencesAlone) {
    temp_dir tmp;
    program_sandbox box(tmp.path());
    ASSERT_EQ(box.run({"--qa_script"}).exit_code, 0);
    EXPECT_FALSE(exists(box.home() + "/.config/Ventaro Installer.prf"));
}
