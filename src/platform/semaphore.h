#pragma once
// The kernel semaphore under the framework's counting semaphore (POSIX, unnamed, process-private).
// Every call answers 0 on success or the errno of the failure.
#include <semaphore.h>

namespace platform {

struct kernel_semaphore {
    sem_t sem;
};

int semaphore_create(kernel_semaphore* s);   // starts at 0
int semaphore_destroy(kernel_semaphore* s);
int semaphore_signal(kernel_semaphore* s);

// Waits without limit. An interrupted wait is resumed quietly.
int semaphore_wait(kernel_semaphore* s);

// Waits at most ms milliseconds (0 only polls) on the monotonic clock; an interrupted wait
// resumes with the time that is left. ETIMEDOUT when no unit came in time.
int semaphore_timed_wait(kernel_semaphore* s, int ms);

// Test seams: make creation fail with err (0 stops it), or make the next `count` waits
// fail with err before touching the kernel (count < 0: every wait until reset with count 0).
void semaphore_fail_creates_for_test(int err);
void semaphore_fail_waits_for_test(int err, int count);

}  // namespace platform
