#pragma once
// The program's clock, advanced once per frame: real and simulated time, a smoothed and clamped
// frame period, periodic flags, mouse hold and double-click flags, the interface pulse, and the
// simulated time of day and date. Also a microsecond counter for budgets and intervals.
#include <cstdint>
#include <string>

class xtim_class {
public:
    xtim_class();

    void xtim_update();

    static uint64_t microsecs();
    // Microseconds since *mark (null: the shared mark), from the low 32 bits; moves the mark to now.
    static int del_time(uint64_t* mark);
    void current_month_day(int* month, int* day) const;   // month 0 = January, day from 1
    float zulu_from_locl() const { return local_time; }
    float locl_from_zulu() const { return zulu_time; }
    static void xtim_hrs_min_sec(float seconds, float* hours, float* minutes, float* secs);
    // Writes one profiling entry to the log, only while profiling is switched on.
    static void profile_chart(std::string label, int last);

    int first_frame = 1;
    int frame_count = 0;
    int year = 0;    // minus 2000
    int month = 0;   // 1 to 12
    int day = 0;
    float time_scale = 1.0f;
    float frame_period = 0.02f;
    float sim_period = 0.02f;
    float fastest_period = 0.02f;
    float slowest_period = 0.02f;
    float real_time = 0.0f;
    float sim_time = 0.0f;
    float zulu_time = 43200.0f;
    float timer_time = 0.0f;
    float local_time = 43200.0f;
    int sync_clock = 0;
    float day_of_year = 90.0f;   // 0 = 1 January
    int timer_on = 0;
    // Set in a frame when more than their period has passed since they last fired:
    // 10, 5, 2, 1, 0.5, 0.2, 0.1, 0.05 and 0.025 seconds.
    int sim_tick_01 = 0, sim_tick_02 = 0, sim_tick_05 = 0, sim_tick_1 = 0, sim_tick_2 = 0, sim_tick_5 = 0,
        sim_tick_10 = 0, sim_tick_20 = 0, sim_tick_40 = 0;
    int act_tick_01 = 0, act_tick_02 = 0, act_tick_05 = 0, act_tick_1 = 0, act_tick_2 = 0, act_tick_5 = 0,
        act_tick_10 = 0, act_tick_20 = 0, act_tick_40 = 0;
};

extern xtim_class xtim;

// What a frame needs of the layers above the clock. Each layer fills in its part as it is linked
// in; unset, no panel is open, there is no focus to drop and the pulse reaches no colours.
struct frame_clock_hooks_t {
    int (*open_panel)() = nullptr;        // the framework panel on screen, 0 for the application
    void (*unfocus_any)() = nullptr;      // a click drops the keyboard focus
    void (*pulse)(float p) = nullptr;     // the interface pulse, 0.6 to 1, for the pulsing colours
};
extern frame_clock_hooks_t frame_clock_hooks;

// Test seam: forget every process-wide clock state (first update, marks) and take a new epoch.
void xtim_reset_for_test();
