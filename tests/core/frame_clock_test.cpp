#include "core/frame_clock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "core/mouse_record.h"
#include "core/shell_services.h"

namespace {

constexpr float lo = 0.0010001f;
constexpr float hi = 1.0f / 19.9f;

// One frame: how much time passed before it, the open panel, and this frame's mouse events.
struct frame {
    double gap_s;
    int panel = 0;
    int click = 0;
    int release = 0;
};

struct clock_case {
    std::string name;
    std::function<void(xtim_class&)> prepare;   // may be empty
    std::vector<frame> frames;
    std::function<void(const xtim_class&, const std::vector<xtim_class>&)> check;
};

std::vector<frame> steady(int n, double gap) { return std::vector<frame>(static_cast<std::size_t>(n), frame{gap}); }

std::vector<int> firing_frames(const std::vector<xtim_class>& seen, int xtim_class::*flag) {
    std::vector<int> out;
    for (std::size_t i = 0; i < seen.size(); ++i)
        if (seen[i].*flag) out.push_back(static_cast<int>(i));
    return out;
}

// The layers above the clock, as the hooks see them: the open panel, the keyboard focus and the
// last pulse handed on.
int open_panel = 0;
int focus_id = 0;
float pulse = 0;

struct FrameClock : ::testing::Test {
    void SetUp() override {
        platform::test_clock_set(5'000'000'000ull);
        xtim_reset_for_test();
        mnw = mnw_record();
        g_shell = shell_services();
        open_panel = 0;
        focus_id = 0;
        pulse = 0;
        frame_clock_hooks.open_panel = [] { return open_panel; };
        frame_clock_hooks.unfocus_any = [] { focus_id = 0; };
        frame_clock_hooks.pulse = [](float p) { pulse = p; };
    }
    void TearDown() override {
        frame_clock_hooks = frame_clock_hooks_t();
        platform::test_clock_release();
    }

    // Runs the frames on a fresh clock; returns the clock after each frame.
    std::vector<xtim_class> run(const clock_case& c, xtim_class& clock) {
        std::vector<xtim_class> seen;
        for (const frame& f : c.frames) {
            platform::test_clock_advance(static_cast<uint64_t>(std::llround(f.gap_s * 1e6)));
            open_panel = f.panel;
            mnw.click_hit = f.click;
            mnw.release_hit = f.release;
            clock.xtim_update();
            seen.push_back(clock);
        }
        return seen;
    }
};

TEST_F(FrameClock, OverInjectedTime) {
    const std::vector<clock_case> cases = {
        {"first frame",
         {},
         {{0.0}},
         [](const xtim_class& c, const std::vector<xtim_class>& seen) {
             EXPECT_FLOAT_EQ(c.real_time, 0.0f);
             EXPECT_FLOAT_EQ(c.frame_period, 0.75f * 0.02f + 0.25f * lo);
             EXPECT_EQ(c.frame_count, 1);
             for (int xtim_class::*f : {&xtim_class::act_tick_01, &xtim_class::act_tick_40, &xtim_class::sim_tick_40})
                 EXPECT_EQ(seen[0].*f, 0) << "no flag fires on the first frame";
         }},
        {"pause and burst are clamped",
         {},
         {{0.0}, {2.0}, {0.000002}},
         [](const xtim_class&, const std::vector<xtim_class>& seen) {
             EXPECT_FLOAT_EQ(seen[1].frame_period, 0.75f * seen[0].frame_period + 0.25f * hi);
             EXPECT_FLOAT_EQ(seen[1].slowest_period, hi);
             EXPECT_FLOAT_EQ(seen[2].frame_period, 0.75f * seen[1].frame_period + 0.25f * lo);
             EXPECT_FLOAT_EQ(seen[2].fastest_period, lo);
             EXPECT_FLOAT_EQ(seen[2].sim_period, seen[2].frame_period);
         }},
        {"steady 50 frames per second",
         {},
         steady(260, 0.02),
         [](const xtim_class& c, const std::vector<xtim_class>& seen) {
             EXPECT_NEAR(c.frame_period, 0.02f, 1e-5f);
             const auto fast = firing_frames(seen, &xtim_class::act_tick_40);
             ASSERT_GT(fast.size(), 100u);
             for (std::size_t i = 1; i < fast.size(); ++i) EXPECT_EQ(fast[i] - fast[i - 1], 2);
             const auto second = firing_frames(seen, &xtim_class::act_tick_1);
             ASSERT_GE(second.size(), 3u);
             for (std::size_t i = 1; i < second.size(); ++i) EXPECT_EQ(second[i] - second[i - 1], 51);
         }},
        {"alert panel freezes the period, simulated time goes on",
         {},
         {{0.0}, {0.03}, {0.03}, {1.0, 994}, {0.5, 994}, {0.01, 994}},
         [](const xtim_class&, const std::vector<xtim_class>& seen) {
             for (int i = 3; i < 6; ++i) {
                 EXPECT_FLOAT_EQ(seen[i].frame_period, seen[2].frame_period) << i;
                 EXPECT_FLOAT_EQ(seen[i].sim_period, seen[2].sim_period) << i;
                 EXPECT_FLOAT_EQ(seen[i].sim_time, seen[i - 1].sim_time + seen[i].sim_period) << i;
                 EXPECT_FLOAT_EQ(seen[i].fastest_period, seen[2].fastest_period) << "trackers stay";
             }
         }},
        {"preferences panel takes the raw clamped period",
         {},
         {{0.0}, {0.03}, {0.04, 2}, {0.001, 2}, {0.03}},
         [](const xtim_class&, const std::vector<xtim_class>& seen) {
             EXPECT_NEAR(seen[2].frame_period, 0.04f, 1e-6f);
             EXPECT_NEAR(seen[2].sim_period, 0.04f, 1e-6f);
             EXPECT_NEAR(seen[3].frame_period, 0.001f, 1e-6f);
             // Back on the application screen, the gap since the panel's last frame is smoothed in.
             EXPECT_NEAR(seen[4].frame_period, 0.75f * 0.001f + 0.25f * 0.03f, 1e-6f);
         }},
        {"time scale zero stops simulated time",
         [](xtim_class& c) { c.time_scale = 0.0f; },
         steady(5, 0.02),
         [](const xtim_class& c, const std::vector<xtim_class>&) {
             EXPECT_EQ(c.sim_period, 0.0f);
             EXPECT_EQ(c.sim_time, 0.0f);
             EXPECT_EQ(c.zulu_time, 43200.0f);
         }},
        {"midnight wraps the time of day and the day of the year",
         [](xtim_class& c) {
             c.zulu_time = c.local_time = 86400.0f - 0.01f;
             c.day_of_year = 364.0f;
         },
         {{0.0}},
         [](const xtim_class& c, const std::vector<xtim_class>&) {
             EXPECT_EQ(c.day_of_year, 0.0f);
             EXPECT_GE(c.zulu_time, 0.0f);
             EXPECT_LT(c.zulu_time, 0.05f);
             EXPECT_EQ(c.local_time, c.zulu_time);
         }},
    };
    for (const clock_case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        xtim_class clock;
        if (c.prepare) c.prepare(clock);
        const auto seen = run(c, clock);
        c.check(clock, seen);
        EXPECT_GE(pulse, 0.6f);
        EXPECT_LE(pulse, 1.0f);
    }
}

// Mouse flags frame by frame: click at t=1.0, release 0.2 s later (quick), click again 0.3 s
// after the first (double), hold past a quarter and past a second.
TEST_F(FrameClock, MouseHoldQuickReleaseAndDoubleClick) {
    struct step {
        double gap;
        int click, release;
        int held, quarter, second, quick, dclick;
    };
    const step steps[] = {
        {0.0, 0, 0, 0, 0, 0, 0, 0},  {1.0, 1, 0, 1, 0, 0, 0, 0},  {0.2, 0, 1, 0, 0, 0, 1, 0},
        {0.1, 1, 0, 1, 0, 0, 0, 1},  {0.3, 0, 0, 1, 1, 0, 0, 0},  {0.8, 0, 0, 1, 1, 1, 0, 0},
        {0.1, 0, 1, 0, 0, 1, 0, 0},  {0.6, 1, 0, 1, 0, 0, 0, 0},
    };
    xtim_class clock;
    focus_id = 12;
    int i = 0;
    for (const step& s : steps) {
        platform::test_clock_advance(static_cast<uint64_t>(std::llround(s.gap * 1e6)));
        mnw.click_hit = s.click;
        mnw.release_hit = s.release;
        clock.xtim_update();
        EXPECT_EQ(mnw.mouse_held, s.held) << "step " << i;
        EXPECT_EQ(mnw.held_quarter, s.quarter) << "step " << i;
        EXPECT_EQ(mnw.held_second, s.second) << "step " << i;
        EXPECT_EQ(mnw.quick_release, s.quick) << "step " << i;
        EXPECT_EQ(mnw.double_click, s.dclick) << "step " << i;
        ++i;
    }
    EXPECT_EQ(focus_id, 0) << "a click drops the keyboard focus";

    // Movement of more than half a unit counts as activity; less does not.
    const float before = mnw.move_time;
    platform::test_clock_advance(100000);
    mnw.click_hit = 0;
    mnw.mouse_x += 0.4f;
    clock.xtim_update();
    EXPECT_EQ(mnw.move_time, before);
    platform::test_clock_advance(100000);
    mnw.mouse_x += 0.2f;
    clock.xtim_update();
    EXPECT_EQ(mnw.move_time, clock.real_time);
}

TEST_F(FrameClock, CalendarHelpersAndIntervals) {
    struct row {
        float day_of_year;
        int month, day;
    };
    for (const row r : {row{0, 0, 1}, row{30, 0, 31}, row{31, 1, 1}, row{59, 2, 1}, row{364, 11, 31}}) {
        xtim_class c;
        c.day_of_year = r.day_of_year;
        int m = -1, d = -1;
        c.current_month_day(&m, &d);
        EXPECT_EQ(m, r.month) << r.day_of_year;
        EXPECT_EQ(d, r.day) << r.day_of_year;
    }
    float h, m, s;
    xtim_class::xtim_hrs_min_sec(3725.0f, &h, &m, &s);
    EXPECT_EQ(h, 1.0f);
    EXPECT_EQ(m, 2.0f);
    EXPECT_EQ(s, 5.0f);

    const uint64_t t0 = xtim_class::microsecs();
    xtim_class::del_time(nullptr);
    platform::test_clock_advance(1000);
    EXPECT_EQ(xtim_class::del_time(nullptr), 1000);
    EXPECT_EQ(xtim_class::microsecs() - t0, 1000u);
}

}  // namespace
