// A failure that comes back every second must not grow the log every second.
#include "files/repeat_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/log.h"
#include "support/temp_dir.h"

namespace {

struct repeat_case {
    const char* name;
    std::vector<std::string> calls;   // a block to write, or "end"
    std::string log;
};

void PrintTo(const repeat_case& c, std::ostream* os) { *os << c.name; }

class RepeatLog : public ::testing::TestWithParam<repeat_case> {};

std::vector<std::string> times(int n, const std::string& block) { return std::vector<std::string>(n, block); }

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_P(RepeatLog, WritesEachFailureOnceWithItsCount) {
    testsupport::temp_dir t;
    ASSERT_TRUE(xer.open(t / "log.txt"));
    repeat_log r;
    for (const auto& c : GetParam().calls) {
        if (c == "end") r.end();
        else r.write(c);
    }
    EXPECT_EQ(xer.contents_for_test(), GetParam().log);
    xer.close();
}

const std::string a = "A failed\n  why\n\n", b = "B failed\n\n";

INSTANTIATE_TEST_SUITE_P(
    Table, RepeatLog,
    ::testing::Values(
        repeat_case{"different_blocks_all_written", {a, b}, a + b},
        repeat_case{"repeats_counted_at_ten_and_at_the_end", times(26, a) + std::vector<std::string>{"end"},
                    a + "A failed: repeated 10 more times\nA failed: repeated 25 more times\n"},
        repeat_case{"an_hour_of_repeats_stays_small", times(3601, a),
                    a + "A failed: repeated 10 more times\nA failed: repeated 100 more times\n"
                        "A failed: repeated 1000 more times\n"},
        repeat_case{"failures_taking_turns_are_counted", times(1, a) + times(1, b) + times(1, a) + times(1, b) +
                                                             std::vector<std::string>{"end"},
                    a + b + "A failed: repeated 1 more time\nB failed: repeated 1 more time\n"},
        repeat_case{"after_the_end_a_failure_is_news", {a, a, "end", a}, a + "A failed: repeated 1 more time\n" + a},
        repeat_case{"end_with_nothing_counted_writes_nothing", {a, "end", "end"}, a}),
    [](const auto& info) { return std::string(info.param.name); });

// Only the most recent different failures are remembered; the oldest's count goes out with it.
TEST(RepeatLogLimit, TheOldestBlockIsLetGoWithItsCount) {
    testsupport::temp_dir t;
    ASSERT_TRUE(xer.open(t / "log.txt"));
    repeat_log r;
    r.write("0\n");
    r.write("0\n");
    std::string want = "0\n";
    for (size_t i = 1; i <= repeat_log::kept; ++i) {
        r.write(std::to_string(i) + "\n");
        want += std::to_string(i) + "\n";
    }
    want += "0: repeated 1 more time\n";
    r.write("0\n");   // let go above, so written again
    want += "0\n";
    EXPECT_EQ(xer.contents_for_test(), want);
    xer.close();
}

}  // namespace
