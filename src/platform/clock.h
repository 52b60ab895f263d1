#pragma once
// The microsecond counter: CLOCK_MONOTONIC, 64 bits, fixed but arbitrary origin.
//
// Tests drive time by hand: once a test clock is set, every reader sees it instead of the
// system counter, so time-outs and frame timing are tested without sleeping.
#include <cstdint>

namespace platform {

uint64_t monotonic_microseconds();

// Test seam. Setting makes the counter read `us` until released; advancing moves it on.
void test_clock_set(uint64_t us);
void test_clock_advance(uint64_t us);
void test_clock_release();
bool test_clock_active();

}  // namespace platform
