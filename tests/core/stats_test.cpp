#include "core/stats.h"

#include <gtest/gtest.h>

namespace {

// Built during static initialisation, before registration opens.
float outside_total = 7.0f;
UTL_stat early_counter("test/early_counter", stat_per_frame, 3.0f);
UTL_stat early_bound(&outside_total, "test/outside_total", stat_per_frame);
UTL_stat early_level("test/level", stat_level, 1.0f);

int calls_first = 0, calls_second = 0;
UTL_remote_cmd first_cmd("First", [] { ++calls_first; });
UTL_remote_cmd second_cmd("Second", [] { ++calls_second; });

bool registered(const UTL_stat& s) {
    auto& reg = all_stats();
    const auto it = reg.find(s.kind);
    return it != reg.end() && it->second.count(const_cast<UTL_stat*>(&s)) == 1;
}

TEST(Stats, RegistrationOpensAtInitAndResetZeroesOwnValues) {
    EXPECT_FALSE(registered(early_counter));
    EXPECT_FALSE(registered(early_bound));
    UTL_stat::init_stats();
    EXPECT_TRUE(registered(early_counter));
    EXPECT_TRUE(registered(early_bound));
    EXPECT_TRUE(registered(early_level));
    EXPECT_EQ(stat_initialized, 1);

    // Built later: registered at once; a twin with the same name is a separate entry.
    UTL_stat late("test/early_counter", stat_per_frame, 2.0f);
    EXPECT_TRUE(registered(late));
    const std::size_t count = all_stats()[stat_per_frame].size();
    late.publish();
    EXPECT_EQ(all_stats()[stat_per_frame].size(), count);

    UTL_stat::reset_stats(stat_per_frame);
    EXPECT_EQ(*early_counter.value, 0.0f);
    EXPECT_EQ(*late.value, 0.0f);
    EXPECT_EQ(outside_total, 7.0f);  // the owner's float is not the statistic's to zero
    EXPECT_EQ(*early_level.value, 1.0f);
}

TEST(RemoteCommands, IdsCountFromOneAndInvokeRunsOnlyThatCommand) {
    UTL_remote_cmd* oldest = UTL_remote_cmd::cmd_list;
    while (oldest && oldest->link) oldest = oldest->link;
    ASSERT_NE(oldest, nullptr);
    EXPECT_EQ(oldest->id, 1);
    EXPECT_EQ(second_cmd.id, first_cmd.id + 1);
    EXPECT_GT(UTL_remote_cmd::free_id, second_cmd.id);

    UTL_remote_cmd::invoke(nullptr, second_cmd.id);
    EXPECT_EQ(calls_first, 0);
    EXPECT_EQ(calls_second, 1);
    UTL_remote_cmd::invoke(nullptr, 0);
    UTL_remote_cmd::invoke(nullptr, UTL_remote_cmd::free_id);
    EXPECT_EQ(calls_first + calls_second, 1);

    UTL_remote_cmd::init_remote_cmds();
    EXPECT_EQ(UTL_remote_cmd::inited, 1);
}

}  // namespace
