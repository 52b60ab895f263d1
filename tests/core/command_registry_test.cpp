#include "core/command_registry.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using names = std::vector<std::string>;

TEST(CommandRegistry, LookupByPathAndAlias) {
    cmnd_class reg;
    const struct {
        const char* name;
        int expected;
    } cases[] = {
        {"sim/operation/screenshot", 1}, {"sim/general/rot_right_fast", 27}, {"sim/none/none", 0},
        {"sim/operation/none", 0},       {"SIM/operation/quit", 0},          {"", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(reg.get_cmnd_by_name(c.name), c.expected) << c.name;

    reg.alias_cmd("screenshot", 1);
    EXPECT_EQ(reg.get_cmnd_by_name("screenshot"), 1);
    reg.alias_cmd("sim/operation/quit", 5);  // an alias wins over a path of the same name
    EXPECT_EQ(reg.get_cmnd_by_name("sim/operation/quit"), 5);
    reg.alias_cmd("screenshot", 2);
    EXPECT_EQ(reg.get_cmnd_by_name("screenshot"), 2);
}

TEST(CommandRegistry, NextComponentsBelowAPrefix) {
    cmnd_class reg;
    names general;
    reg.get_cmds_in_path("sim/general/", general);
    ASSERT_EQ(general.size(), 24u);
    EXPECT_EQ(general.front(), "left");
    EXPECT_EQ(general.back(), "rot_right_fast");

    const struct {
        const char* prefix;
        names expected;
    } cases[] = {
        {"sim/", {"none/", "operation/", "general/"}},
        {"sim/operation/", {"screenshot", "quicktime_record_toggle", "quit"}},
        {"sim", {"/"}},
        {"", {"sim/"}},
        {"sim/none/none", {}},  // a path is not listed below itself
        {"other/", {}},
    };
    for (const auto& c : cases) {
        names out{"stale"};
        reg.get_cmds_in_path(c.prefix, out);
        EXPECT_EQ(out, c.expected) << c.prefix;
    }
}

TEST(CommandRegistry, FilterMatchesEveryWordIgnoringCase) {
    cmnd_class reg;
    const struct {
        const char* filter;
        names expected;
    } cases[] = {
        {"ROT fast",
         {"sim/general/rot_up_fast", "sim/general/rot_down_fast", "sim/general/rot_left_fast",
          "sim/general/rot_right_fast"}},
        {"zoom_in\t", {"sim/general/zoom_in", "sim/general/zoom_in_fast"}},
        {"quit none", {}},
        {"sim/operation/quicktime_record_toggle_and_more", {}},
    };
    for (const auto& c : cases) {
        names out{"stale"};
        reg.get_cmnds_by_filter(c.filter, out);
        EXPECT_EQ(out, c.expected) << c.filter;
    }
    names all;
    reg.get_cmnds_by_filter(" \t\n ", all);
    EXPECT_EQ(all, reg.paths);
}

TEST(CommandRegistry, TabCompletion) {
    cmnd_class reg;
    const struct {
        const char* text;
        int result;
        const char* completed;
    } cases[] = {
        {"sim/general/z", 1, "sim/general/zoom_"},
        {"sim/op", 1, "sim/operation/"},
        {"sim/operation/s", 1, "sim/operation/screenshot"},
        {"sim/none/none", 1, "sim/none/none"},
        {"", 1, "sim/"},
        {"sim/x", 0, "sim/x"},
        {"sim/none/none/more", 0, "sim/none/none/more"},
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        EXPECT_EQ(reg.tab_complete_cmnd(text), c.result) << c.text;
        EXPECT_EQ(text, c.completed) << c.text;
    }
}

TEST(CommandRegistry, AddedCommandsJoinTheTables) {
    cmnd_class reg;
    EXPECT_EQ(reg.add_cmd("sim/test/extra", "An extra command."), 28);
    EXPECT_EQ(reg.get_cmnd_by_name("sim/test/extra"), 28);
    EXPECT_EQ(reg.enum_names[28], "DYNAMIC");
    EXPECT_EQ(reg.kinds[28], 2);
    EXPECT_EQ(reg.descriptions[28], "An extra command.");
    names top;
    reg.get_cmds_in_path("sim/", top);
    EXPECT_EQ(top.back(), "test/");

    EXPECT_EQ(reg.add_cmd("sim/operation/quit", "Again."), 29);
    EXPECT_EQ(reg.get_cmnd_by_name("sim/operation/quit"), 3);  // the first of equal paths wins
}

}  // namespace
