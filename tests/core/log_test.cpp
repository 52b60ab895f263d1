#include "core/log.h"

#include <gtest/gtest.h>

#include <iomanip>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

TEST(Log, ThreadsNeverInterleaveWithinALine) {
    testsupport::temp_dir tmp;
    log_class log;
    ASSERT_TRUE(log.open(tmp / "log.txt"));
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&log, t] {
            for (int i = 0; i < 500; ++i) log << "thread " << t << " line " << i << " end\n";
            log.flush();
        });
    }
    for (auto& th : threads) th.join();
    std::istringstream in(log.contents_for_test());
    std::string line;
    std::set<std::string> seen;
    while (std::getline(in, line)) {
        int t = -1, i = -1;
        char tail[8] = {};
        ASSERT_EQ(std::sscanf(line.c_str(), "thread %d line %d %3s", &t, &i, tail), 3) << line;
        EXPECT_STREQ(tail, "end");
        seen.insert(line);
    }
    EXPECT_EQ(seen.size(), 8u * 500u);
}

TEST(Log, PartialLineReachesTheFileOnFlushAndFormatIsKept) {
    testsupport::temp_dir tmp;
    log_class log;
    ASSERT_TRUE(log.open(tmp / "log.txt"));
    log.setf(std::ios_base::fixed, std::ios_base::floatfield);
    log << "value " << 1.5;
    EXPECT_EQ(log.contents_for_test(), "value 1.500000");
    log << "\n" << std::setw(5) << 42 << std::endl;
    EXPECT_EQ(log.contents_for_test(), "value 1.500000\n   42\n");
}

TEST(Log, WritesToAClosedLogAreDropped) {
    log_class log;
    log << "nowhere\n";
    log.flush();
    EXPECT_FALSE(log.is_open());
}
