#include <gtest/gtest.h>

#include "support/program_run.h"
#include "support/temp_dir.h"

using namespace testsupport;

TEST(Startup, PlainRunWritesTheLogNextToTheBundleAndExitsZero) {
    temp_dir tmp;
    program_sandbox box(tmp.path());
    const program_result r = box.run({});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    const std::string log = read_file(box.log_path());
    EXPECT_EQ(log.rfind("Installer log.txt for Ventaro Web Demo Installer 2.06r1 compiled on ", 0), 0u) << log;
    EXPECT_NE(log.find("case sensitive="), std::string::npos);
}

TEST(Startup, SecondRunRewritesTheLog) {
    temp_dir tmp;
    program_sandbox box(tmp.path());
    write_file(box.log_path(), "old contents\n");
    ASSERT_EQ(box.run({}).exit_code, 0);
    EXPECT_EQ(read_file(box.log_path()).find("old contents"), std::string::npos);
}
