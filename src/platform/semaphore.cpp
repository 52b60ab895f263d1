#include "platform/semaphore.h"

#include <atomic>
#include <cerrno>
#include <ctime>

namespace platform {
namespace {
std::atomic<int> g_create_fault{0};
std::atomic<int> g_wait_fault{0};
std::atomic<int> g_wait_fault_count{0};

// Consumes one injected wait failure, if any is armed.
int injected_wait_fault() {
    int n = g_wait_fault_count.load(std::memory_order_acquire);
    while (n != 0) {
        const int next = n < 0 ? n : n - 1;
        if (g_wait_fault_count.compare_exchange_weak(n, next, std::memory_order_acq_rel))
            return g_wait_fault.load(std::memory_order_acquire);
    }
    return 0;
}
}  // namespace

int semaphore_create(kernel_semaphore* s) {
    if (const int err = g_create_fault.load(std::memory_order_acquire)) return err;
    return sem_init(&s->sem, 0, 0) == 0 ? 0 : errno;
}

int semaphore_destroy(kernel_semaphore* s) { return sem_destroy(&s->sem) == 0 ? 0 : errno; }

int semaphore_signal(kernel_semaphore* s) { return sem_post(&s->sem) == 0 ? 0 : errno; }

int semaphore_wait(kernel_semaphore* s) {
    for (;;) {
        int err = injected_wait_fault();
        if (err == 0) err = sem_wait(&s->sem) == 0 ? 0 : errno;
        if (err != EINTR) return err;
    }
}

int semaphore_timed_wait(kernel_semaphore* s, int ms) {
    if (ms < 0) ms = 0;
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += ms / 1000;
    deadline.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    for (;;) {
        int err = injected_wait_fault();
        if (err == 0) {
            const int rc = ms == 0 ? sem_trywait(&s->sem) : sem_clockwait(&s->sem, CLOCK_MONOTONIC, &deadline);
            err = rc == 0 ? 0 : errno;
            if (err == EAGAIN) err = ETIMEDOUT;
        }
        if (err != EINTR) return err;
    }
}

void semaphore_fail_creates_for_test(int err) { g_create_fault.store(err, std::memory_order_release); }

void semaphore_fail_waits_for_test(int err, int count) {
    g_wait_fault.store(err, std::memory_order_release);
    g_wait_fault_count.store(count, std::memory_order_release);
}

}  // namespace platform
