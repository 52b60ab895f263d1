#include "core/threads.h"

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "platform/os_info.h"
#include "core/alert.h"
#include "core/log.h"

// ---- threads ----

void UTL_thread_create(UTL_thread_func func, void* arg, UTL_thread_t* thread, UTL_thread_t* handle2,
                       UTL_thread_t* handle3) {
    const int err = pthread_create(thread, nullptr, func, arg);
    if (err != 0) {
        char line2[64];
        std::snprintf(line2, sizeof line2, "err=%f", static_cast<double>(err));
        __MACIBM_alert(0, "\"pthread_create\" OS error", line2, "", "", t_crash, "QFutils/UTL/UTL_thread", 121);
        return;
    }
    if (handle2) *handle2 = *thread;
    if (handle3) *handle3 = *thread;
}

void* UTL_thread_join(UTL_thread_t* thread, UTL_thread_t*) {
    void* result = nullptr;
    const int err = pthread_join(*thread, &result);
    if (err != 0) {
        xer << "Warning: wait on thread cleanup failed with error " << err << "\n";
        return nullptr;
    }
    return result;
}

int UTL_thread_murder(UTL_thread_t* thread) { return pthread_cancel(*thread); }

void UTL_thread_exit(void* value) { pthread_exit(value); }

UTL_thread_t UTL_get_current_thread() { return pthread_self(); }

int UTL_count_processors() { return platform::processor_count(); }

void UTL_sleep(int ms) {
    if (ms <= 0) return;
    timespec left{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

// ---- semaphore ----

int UTL_semaphore_create(UTL_semaphore** out, int initial_count) {
    auto* s = new UTL_semaphore;
    s->count.store(initial_count, std::memory_order_relaxed);
    const int err = platform::semaphore_create(&s->sem);
    if (err != 0) {
        // A record without a kernel semaphore would fail every wait; hand back nothing instead.
        std::printf("create: %d\n", err);
        std::fflush(stdout);
        delete s;
        *out = nullptr;
        return err;
    }
    *out = s;
    return 0;
}

void UTL_semaphore_destroy(UTL_semaphore* s) {
    if (!s) return;
    const int err = platform::semaphore_destroy(&s->sem);
    if (err != 0) {
        std::printf("destroy: %d\n", err);
        std::fflush(stdout);
    }
    delete s;
}

void UTL_semaphore_inc(UTL_semaphore* s) {
    const int now = s->count.fetch_add(1, std::memory_order_acq_rel) + 1;
    if (now <= 0) {
        const int err = platform::semaphore_signal(&s->sem);
        if (err != 0) {
            std::printf("signal: %d\n", err);
            std::fflush(stdout);
        }
    }
}

int UTL_platform_semaphore_dec(UTL_semaphore* s, int timeout_ms) {
    const int err = timeout_ms == -1 ? platform::semaphore_wait(&s->sem)
                                     : platform::semaphore_timed_wait(&s->sem, timeout_ms);
    if (err == 0) {
        // Pairs with the increment that woke us, so what the signaller wrote is visible here.
        (void)s->count.load(std::memory_order_acquire);
        return 1;
    }
    if (err != ETIMEDOUT) {
        // Interrupted waits were already resumed below us; anything else will not get better
        // by waiting again, so the wait fails instead of spinning.
        std::printf("semaphore_wait: %d\n", err);
        std::fflush(stdout);
    }
    return 0;
}

namespace {
// A committed waiter gives up: either take back the commitment, or, when an increment already
// counted on us, consume the wake-up it sent.
int withdraw(UTL_semaphore* s) {
    for (;;) {
        int c = s->count.load(std::memory_order_acquire);
        if (c >= 0) return UTL_platform_semaphore_dec(s, -1);
        if (s->count.compare_exchange_weak(c, c + 1, std::memory_order_acq_rel)) return 0;
    }
}
}  // namespace

int UTL_semaphore_dec(UTL_semaphore* s, int timeout_ms) {
    if (timeout_ms == 0) {
        int c = s->count.load(std::memory_order_acquire);
        for (;;) {
            if (c <= 0) return 0;
            if (s->count.compare_exchange_weak(c, c - 1, std::memory_order_acq_rel)) return 1;
        }
    }
    if (s->count.fetch_sub(1, std::memory_order_acq_rel) - 1 >= 0) return 1;
    if (UTL_platform_semaphore_dec(s, timeout_ms < 0 ? -1 : timeout_ms)) return 1;
    return withdraw(s);
}
