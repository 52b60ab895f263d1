#include "platform/spin_lock.h"

#include <atomic>
#include <sched.h>

namespace platform {

bool spin_lock_try(int* word) {
    std::atomic_ref<int> w(*word);
    int expected = 0;
    return w.compare_exchange_strong(expected, 1, std::memory_order_acquire, std::memory_order_relaxed);
}

void spin_lock_acquire(int* word) {
    std::atomic_ref<int> w(*word);
    unsigned failures = 0;
    for (;;) {
        if (w.load(std::memory_order_relaxed) == 0 && spin_lock_try(word)) return;
        if (++failures % 64 == 0) sched_yield();
    }
}

void spin_lock_release(int* word) { std::atomic_ref<int>(*word).store(0, std::memory_order_release); }

}  // namespace platform
