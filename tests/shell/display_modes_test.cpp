// Display modes over a made-up display: the offered-mode list, picking, switching and restoring.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/display_modes.h"
#include "platform/test_switches.h"
#include "shell/display_modes.h"
#include "render/panel_record.h"

namespace {

class DisplayModes : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("VENTARO_TEST_DISPLAY_MODES",
               "800x600x32@60,640x480x32@60,1024x768x32@65,1024x768x32@60,1024x768x32@60,1024x768x8@60,"
               "1280x1024x32@0,1280x1024x16@75,1600x1200x32@-1",
               1);
        platform::test_switches_reload();
        platform::display_reset_for_test();
        s_orig_modes.clear();
        g_res_vec.clear();
        wins = wins_class{};
    }
    void TearDown() override {
        unsetenv("VENTARO_TEST_DISPLAY_MODES");
        platform::test_switches_reload();
        platform::display_reset_for_test();
    }
};

TEST_F(DisplayModes, TheOfferedListKeepsLargeModesAtKnownRatesOnce) {
    MACIBM_find_monitor_modes();
    std::vector<std::string> names;
    for (const monitor_res_struct& m : g_res_vec) names.push_back(m.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Default Monitor Settings", "1024 x 768, 32 bit color (60 hz)",
                                               "1280 x 1024, 32 bit color", "1280 x 1024, 16 bit color (75 hz)"}));
    EXPECT_EQ(g_res_vec[0].width, 0);
}

TEST_F(DisplayModes, PickingAModeAndIndexesOutsideTheList) {
    MACIBM_find_monitor_modes();
    const int count = static_cast<int>(g_res_vec.size());
    EXPECT_EQ(MACIBM_get_picked_mode(), 0);   // the all-zero default
    EXPECT_EQ(MACIBM_set_picked_mode(1), 1);
    EXPECT_EQ(wins.full_w, 1024);
    EXPECT_EQ(wins.full_hz, 60);
    EXPECT_EQ(MACIBM_get_picked_mode(), 1);
    EXPECT_EQ(MACIBM_set_picked_mode(1), 0);   // already picked
    for (const int bad : {count, count + 5, -1}) {
        EXPECT_EQ(MACIBM_set_picked_mode(bad), 0) << bad;
        EXPECT_EQ(wins.full_w, 1024) << bad;
    }
    wins.full_w = 999;
    EXPECT_EQ(MACIBM_get_picked_mode(), count);
}

TEST_F(DisplayModes, SwitchingRemembersTheFirstModeAndRestoresIt) {
    int x = -1, y = -1, w = 0, h = 0, bpp = 0, hz = 0;
    UTL_restore_monitor_res(0);   // before any switch: nothing
    UTL_get_monitor_res(0, &x, &y, &w, &h, &bpp, &hz);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(hz, 60);

    EXPECT_EQ(UTL_set_monitor_res(0, 1024, 768, 32, 60), 1);
    UTL_get_monitor_res(0, &x, &y, &w, &h, &bpp, &hz);
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(bpp, 32);
    EXPECT_EQ(UTL_set_monitor_res(0, 1280, 1024, 16, 75), 1);
    EXPECT_EQ(UTL_set_monitor_res(0, 4000, 3000, 32, 60), 0);   // no such mode: unchanged
    UTL_get_monitor_res(0, nullptr, nullptr, &w, &h, &bpp, nullptr);
    EXPECT_EQ(w, 1280);
    EXPECT_EQ(bpp, 16);

    UTL_restore_monitor_res(0);
    UTL_get_monitor_res(0, nullptr, nullptr, &w, &h, nullptr, nullptr);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 600);
    EXPECT_EQ(MACIBM_set_monitor_res(0, 0, 0, 0), 1);   // restoring through the shell's call
}

TEST_F(DisplayModes, DisplayNumbersOutsideTheListReadNothing) {
    EXPECT_EQ(UTL_count_monitors(), 1);
    EXPECT_EQ(get_nth_display(0), 0);
    EXPECT_EQ(get_nth_display(3), -1);
    int w = 7, bpp = 7, hz = 7;
    UTL_get_monitor_res(3, nullptr, nullptr, &w, nullptr, &bpp, &hz);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(hz, -1);
    EXPECT_EQ(UTL_set_monitor_res(3, 1024, 768, 32, 60), 0);
    int calls = 0;
    static int* counter;
    counter = &calls;
    UTL_get_all_monitor_modes(3, [](int, int, int, int) { ++*counter; });
    EXPECT_EQ(calls, 0);
}

}  // namespace
