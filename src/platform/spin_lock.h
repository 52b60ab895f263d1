#pragma once
// A spin lock held in one int word: 0 free, 1 taken. No owner, not re-entrant.
// Meant for a few instructions of work; a waiter yields the processor now and then
// so a preempted holder can finish.
namespace platform {

void spin_lock_acquire(int* word);
bool spin_lock_try(int* word);
void spin_lock_release(int* word);

}  // namespace platform
