#include "core/frame_clock.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <ctime>
#include <iomanip>

#include "platform/clock.h"
#include "core/log.h"
#include "core/mouse_record.h"
#include "core/shell_services.h"

xtim_class xtim;
frame_clock_hooks_t frame_clock_hooks;

namespace {
constexpr int days_in_month[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
// The system's double-click interval, in ticks of 1/60 s.
constexpr int double_click_ticks = 30;
constexpr float period_lo = 0.0010001f;
constexpr float period_hi = 1.0f / 19.9f;

std::atomic<uint64_t> g_epoch{0};

uint64_t epoch() {
    static const bool taken = [] {
        g_epoch.store(platform::monotonic_microseconds(), std::memory_order_release);
        return true;
    }();
    (void)taken;
    return g_epoch.load(std::memory_order_acquire);
}

struct clock_statics {
    bool started = false;
    float start_time = 0;
    float last_time_FM = 0;
    float last_time_UI = 0;
    float sim_ot[9] = {};
    float act_ot[9] = {};
    float dclick_time = 0;
    float mx = 999.0f, my = 999.0f;
    float prev_locl_time = 0;
    uint64_t old = 0;
    bool last_time_set = false;
    float last_time = 0;
};
clock_statics g;

float clamp_period(float v) { return v < period_lo ? period_lo : (v > period_hi ? period_hi : v); }

// Periods of the flags; the four shortest are compared in double precision.
constexpr float tick_periods[9] = {10.0f, 5.0f, 2.0f, 1.0f, 0.5f, 0.2f, 0.1f, 0.05f, 0.025f};
constexpr double short_periods[9] = {0, 0, 0, 0, 0, 0.2, 0.1, 0.05, 0.025};
constexpr int xtim_class::*sim_ticks[9] = {
    &xtim_class::sim_tick_01, &xtim_class::sim_tick_02, &xtim_class::sim_tick_05, &xtim_class::sim_tick_1,
    &xtim_class::sim_tick_2,  &xtim_class::sim_tick_5,  &xtim_class::sim_tick_10, &xtim_class::sim_tick_20,
    &xtim_class::sim_tick_40};
constexpr int xtim_class::*act_ticks[9] = {
    &xtim_class::act_tick_01, &xtim_class::act_tick_02, &xtim_class::act_tick_05, &xtim_class::act_tick_1,
    &xtim_class::act_tick_2,  &xtim_class::act_tick_5,  &xtim_class::act_tick_10, &xtim_class::act_tick_20,
    &xtim_class::act_tick_40};

int tick(float now, float& last_fired, int row) {
    const float diff = std::fabs(now - last_fired);
    const bool fire = row >= 5 ? static_cast<double>(diff) > short_periods[row] : diff > tick_periods[row];
    if (fire) last_fired = now;
    return fire ? 1 : 0;
}

float wrap(float v, float span) {
    while (v < 0) v += span;
    while (v > span) v -= span;
    return v;
}

float day_wrapped(float d) {
    float whole = std::floor(d);
    whole = std::fmod(whole, 365.0f);
    if (whole < 0) whole += 365.0f;
    return whole;
}

double now_seconds() { return static_cast<double>(xtim_class::microsecs()) / 1000000.0; }
}  // namespace

xtim_class::xtim_class() = default;

uint64_t xtim_class::microsecs() {
    const uint64_t start = epoch();
    return platform::monotonic_microseconds() - start;
}

int xtim_class::del_time(uint64_t* mark) {
    uint64_t* m = mark ? mark : &g.old;
    const uint64_t now = microsecs();
    const int elapsed = static_cast<int>(static_cast<uint32_t>(now) - static_cast<uint32_t>(*m));
    *m = now;
    return elapsed;
}

void xtim_class::xtim_update() {
    ++frame_count;

    // Real time.
    const double now = now_seconds();
    const bool first = !g.started;
    if (first) {
        g.started = true;
        g.start_time = static_cast<float>(now);
        g.dclick_time = static_cast<float>(double_click_ticks) / 60.0f;
        g.prev_locl_time = local_time;
    }
    real_time = static_cast<float>(now - static_cast<double>(g.start_time));

    // Frame period.
    const int panel = frame_clock_hooks.open_panel ? frame_clock_hooks.open_panel() : 0;
    if (panel != 0 && shell_window_count() != 2) {
        // A modal panel: the application does not run, so its timing is not smoothed. The alert
        // and the dialogs keep the period the application last had.
        g.last_time_FM = real_time;
        if (panel < 994 || panel > 999) frame_period = sim_period = clamp_period(real_time - g.last_time_UI);
    } else {
        const float dt = clamp_period(real_time - g.last_time_FM);
        frame_period = 0.75f * frame_period + 0.25f * dt;
        g.last_time_FM = real_time;
        sim_period = time_scale != 0.0f ? clamp_period(frame_period * time_scale) : 0.0f;
        const float s = frame_period;
        fastest_period = std::min(dt, (1.0f - s) * fastest_period + s * s);
        slowest_period = std::max(dt, (1.0f - s) * slowest_period + s * s);
    }
    g.last_time_UI = real_time;

    // Periodic flags.
    for (int row = 0; row < 9; ++row) {
        this->*sim_ticks[row] = tick(sim_time, g.sim_ot[row], row);
        this->*act_ticks[row] = tick(real_time, g.act_ot[row], row);
    }

    // Mouse timing.
    mnw.held_quarter = mnw.mouse_held && real_time > mnw.click_time + 0.25f ? 1 : 0;
    mnw.held_second = mnw.mouse_held && real_time > mnw.click_time + 1.0f ? 1 : 0;
    mnw.double_click = mnw.click_hit && mnw.click_time + g.dclick_time > real_time ? 1 : 0;
    mnw.quick_release = mnw.release_hit && mnw.click_time + 0.25f > real_time ? 1 : 0;
    if (mnw.click_hit) {
        mnw.mouse_held = 1;
        mnw.move_time = mnw.click_time = real_time;
        if (frame_clock_hooks.unfocus_any) frame_clock_hooks.unfocus_any();
    }
    if (mnw.release_hit) {
        mnw.mouse_held = 0;
        mnw.held_quarter = 0;
    }
    if (std::fabs(mnw.mouse_x - g.mx) > 0.5f || std::fabs(mnw.mouse_y - g.my) > 0.5f) {
        mnw.move_time = real_time;
        g.mx = mnw.mouse_x;
        g.my = mnw.mouse_y;
    }

    // Pulse.
    const float p = 0.8f + 0.2f * std::sin(15.0f * real_time);
    if (frame_clock_hooks.pulse) frame_clock_hooks.pulse(p);

    // Simulated time.
    sim_time += sim_period;
    zulu_time = wrap(zulu_time + sim_period, 86400.0f);
    local_time = zulu_time;
    if (timer_on) timer_time = wrap(timer_time + sim_period, 3600.0f);

    // Date.
    const std::time_t wall = std::time(nullptr);
    std::tm local{};
    localtime_r(&wall, &local);
    year = local.tm_year - 100;
    month = local.tm_mon + 1;
    day = local.tm_mday;

    // Clock synchronisation.
    if (time_scale != 0.0f && sync_clock) {
        std::tm utc{};
        gmtime_r(&wall, &utc);
        const float u = static_cast<float>(utc.tm_hour * 3600 + utc.tm_min * 60 + utc.tm_sec);
        if (std::fabs(u - zulu_time) > 2.0f) zulu_time = u;
        else zulu_time = zulu_time * (1.0f - sim_period) + u * sim_period;
        local_time = zulu_time;
        int before = 0;
        for (int m = 0; m < utc.tm_mon && m < 12; ++m) before += days_in_month[m];
        day_of_year = static_cast<float>(before + utc.tm_mday - 1);
        if (local_time > 86400.0f) {
            local_time -= 86400.0f;
            day_of_year += 1.0f;
        }
        if (local_time < 0.0f) {
            local_time += 86400.0f;
            day_of_year -= 1.0f;
        }
    }

    // Midnight.
    if (g.prev_locl_time > 86160.0f && local_time < 240.0f) day_of_year = day_wrapped(day_of_year + 1.0f);
    if (g.prev_locl_time < 240.0f && local_time > 86160.0f) day_of_year = day_wrapped(day_of_year - 1.0f);
    g.prev_locl_time = local_time;
}

void xtim_class::current_month_day(int* month_out, int* day_out) const {
    int before = 0, m = 0;
    while (m < 11 && day_of_year >= static_cast<float>(before + days_in_month[m])) before += days_in_month[m++];
    *month_out = m;
    *day_out = static_cast<int>(day_of_year - static_cast<float>(before)) + 1;
}

void xtim_class::xtim_hrs_min_sec(float seconds, float* hours, float* minutes, float* secs) {
    const double s = seconds;
    const double h = std::trunc(s / 3600.0);
    const double m = std::trunc(s / 60.0) - h * 60.0;
    *hours = static_cast<float>(h);
    *minutes = static_cast<float>(m);
    *secs = static_cast<float>(s - h * 3600.0 - m * 60.0);
}

void xtim_class::profile_chart(std::string label, int last) {
    if (!mnw.profiling) return;
    const int n = del_time(nullptr);
    xer << std::setprecision(0) << std::setw(1) << label << "=" << std::setw(6) << n * 0.1 << " | ";
    if (last) {
        const float now = static_cast<float>(now_seconds());
        if (!g.last_time_set) {
            g.last_time_set = true;
            g.last_time = now;
        }
        const float t = now - g.last_time;
        g.last_time = now;
        xer << "   total: " << std::setw(5) << std::setprecision(3) << t << "\n";
    }
}

void xtim_reset_for_test() {
    g = clock_statics();
    g_epoch.store(platform::monotonic_microseconds(), std::memory_order_release);
    (void)epoch();
    g_epoch.store(platform::monotonic_microseconds(), std::memory_order_release);
}
