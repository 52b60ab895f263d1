#pragma once
// Threads, critical sections, the counting semaphore and the message queue that every part of
// the program uses to hand pointers from one thread to another.
#include <pthread.h>

#include <atomic>
#include <list>
#include <vector>

#include "platform/semaphore.h"
#include "platform/spin_lock.h"

// ---- threads -------------------------------------------------------------------------------

using UTL_thread_t = pthread_t;
using UTL_thread_func = void* (*)(void*);

// Starts a joinable thread with default attributes; the identity lands in all three slots.
// A thread that cannot be started is a crash alert.
void UTL_thread_create(UTL_thread_func func, void* arg, UTL_thread_t* thread, UTL_thread_t* handle2,
                       UTL_thread_t* handle3);
// The thread's exit value, or null (and a log line) when the wait fails.
void* UTL_thread_join(UTL_thread_t* thread, UTL_thread_t* handle2);
int UTL_thread_murder(UTL_thread_t* thread);
[[noreturn]] void UTL_thread_exit(void* value);
UTL_thread_t UTL_get_current_thread();
int UTL_count_processors();
void UTL_sleep(int ms);

// ---- critical sections: a spin lock in one int ------------------------------------------------

inline void UTL_critical_section_create(int* cs) { *cs = 0; }
inline void UTL_critical_section_destroy(int*) {}
inline void UTL_critical_section_lock(int* cs) { platform::spin_lock_acquire(cs); }
inline void UTL_critical_section_unlock(int* cs) { platform::spin_lock_release(cs); }

// ---- counting semaphore -----------------------------------------------------------------------

// Stays in user space until a thread really has to block: count > 0 is units available,
// count < 0 is minus the number of threads committed to block on the kernel semaphore.
struct UTL_semaphore {
    std::atomic<int> count{0};
    platform::kernel_semaphore sem{};
};

// 0 and *out set on success; otherwise the error, *out null and nothing left behind.
int UTL_semaphore_create(UTL_semaphore** out, int initial_count);
void UTL_semaphore_destroy(UTL_semaphore* s);
void UTL_semaphore_inc(UTL_semaphore* s);
// timeout_ms: -1 waits without limit, 0 polls, n > 0 waits at most n ms. 1 when a unit was taken.
int UTL_semaphore_dec(UTL_semaphore* s, int timeout_ms);
// The kernel half of a wait; 1 when woken.
int UTL_platform_semaphore_dec(UTL_semaphore* s, int timeout_ms);

// ---- message queue ----------------------------------------------------------------------------

// Unbounded queue of pointers, oldest first. It never owns what the pointers point to.
template <typename T>
struct UTL_message_queue {
    int lock = 0;
    UTL_semaphore* available = nullptr;
    std::list<T> items;
};

// Null when the queue's semaphore could not be made.
template <typename T>
UTL_message_queue<T>* UTL_message_queue_create() {
    auto* q = new UTL_message_queue<T>;
    UTL_critical_section_create(&q->lock);
    if (UTL_semaphore_create(&q->available, 0) != 0) {
        delete q;
        return nullptr;
    }
    return q;
}

// No thread may still be using the queue. Items left in it stay with their owners.
template <typename T>
void UTL_message_queue_destroy(UTL_message_queue<T>* q) {
    if (!q) return;
    UTL_critical_section_destroy(&q->lock);
    UTL_semaphore_destroy(q->available);
    delete q;
}

template <typename T>
void UTL_message_queue_write(UTL_message_queue<T>* q, T item) {
    UTL_critical_section_lock(&q->lock);
    q->items.push_back(item);
    UTL_critical_section_unlock(&q->lock);
    UTL_semaphore_inc(q->available);
}

// The batch keeps its own order, in front of what was queued or behind it.
template <typename T>
void UTL_message_queue_multi_write(UTL_message_queue<T>* q, const T* items, int count, int at_front) {
    if (count < 0) count = 0;
    UTL_critical_section_lock(&q->lock);
    q->items.insert(at_front ? q->items.begin() : q->items.end(), items, items + count);
    UTL_critical_section_unlock(&q->lock);
    for (int i = 0; i < count; ++i) UTL_semaphore_inc(q->available);
}

// The oldest item, or null when the time-out passed (a queued null reads the same).
template <typename T>
T UTL_message_queue_read(UTL_message_queue<T>* q, int timeout_ms) {
    for (;;) {
        if (!UTL_semaphore_dec(q->available, timeout_ms)) return nullptr;
        UTL_critical_section_lock(&q->lock);
        if (!q->items.empty()) {
            T item = q->items.front();
            q->items.pop_front();
            UTL_critical_section_unlock(&q->lock);
            return item;
        }
        UTL_critical_section_unlock(&q->lock);
        // An edit took the item this unit stood for.
        if (timeout_ms != -1) return nullptr;
    }
}

// Runs the callback on a copy of the waiting items under the queue's lock; the callback may remove
// and reorder items, adds none, and returns how many it removed. Keep it short: the lock spins.
template <typename T>
int UTL_message_queue_edit(UTL_message_queue<T>* q, int (*callback)(std::vector<T>& items, void* ref), void* ref) {
    UTL_critical_section_lock(&q->lock);
    std::vector<T> v(q->items.begin(), q->items.end());
    const int removed = callback(v, ref);
    q->items.assign(v.begin(), v.end());
    for (int i = 0; i < removed; ++i)
        if (!UTL_semaphore_dec(q->available, 0)) break;
    UTL_critical_section_unlock(&q->lock);
    return removed;
}
