#include "platform/clock.h"

#include <atomic>
#include <ctime>

namespace platform {
namespace {
std::atomic<bool> g_fake{false};
std::atomic<uint64_t> g_fake_now{0};
}  // namespace

uint64_t monotonic_microseconds() {
    if (g_fake.load(std::memory_order_acquire)) return g_fake_now.load(std::memory_order_acquire);
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000u + static_cast<uint64_t>(ts.tv_nsec) / 1000u;
}

void test_clock_set(uint64_t us) {
    g_fake_now.store(us, std::memory_order_release);
    g_fake.store(true, std::memory_order_release);
}

void test_clock_advance(uint64_t us) { g_fake_now.fetch_add(us, std::memory_order_acq_rel); }

void test_clock_release() { g_fake.store(false, std::memory_order_release); }

bool test_clock_active() { return g_fake.load(std::memory_order_acquire); }

}  // namespace platform
