#pragma once
// The general thread pool: n threads running tasks from one shared queue, plus three task kinds
// that act on the whole pool (a meeting point, a shared task list, and a parking barrier).
// Also the run loop: a queue of tasks that a thread drains when it chooses to.
#include <atomic>
#include <set>
#include <string>
#include <vector>

#include "core/threads.h"

// Thread index passed to do_it: 1..n for pool threads, 0 for a helper, -1 for the task's own caller.
class UTL_pool_task {
public:
    virtual ~UTL_pool_task() = default;
    // Nonzero: the pool deletes the task once it has run.
    virtual int do_it(int thread_index) = 0;
    virtual const char* get_debug_name() = 0;
};

class UTL_threadpool {
public:
    explicit UTL_threadpool(int thread_count);
    // Every task queued before has run when it returns; with no threads, waiting tasks are dropped.
    ~UTL_threadpool();
    UTL_threadpool(const UTL_threadpool&) = delete;
    UTL_threadpool& operator=(const UTL_threadpool&) = delete;

    void queue_task(UTL_pool_task* task, int at_front);
    // The tasks in [first, last), in array order.
    void queue_tasks(UTL_pool_task** first, UTL_pool_task** last, int at_front);
    // count references to one task, so count threads each run it once.
    void queue_task_multi(UTL_pool_task* task, int count, int at_front);
    // Takes the waiting tasks named in the set out of the queue (not deleting them); how many.
    int remove_tasks(std::set<UTL_pool_task*>* tasks);
    // Runs one waiting task on the caller; 1 when there was one.
    int help_a_bit();
    int empty();
    int get_num_threads();

    static void* thread_func(void* start_info);
    static int edit_nuke(std::vector<UTL_pool_task*>& items, void* task_set);

private:
    void queue_entries(UTL_pool_task* const* entries, int count, int at_front);
    void run_one(UTL_pool_task* task, int thread_index);

    std::vector<UTL_thread_t> thread_handles[3];
    UTL_message_queue<UTL_pool_task*>* queue = nullptr;
    std::atomic<int> pending{0};   // queued and not yet finished
};

// Every pool thread meets here; the last to arrive runs func, then all go on.
class UTL_threadpool_sync : public UTL_pool_task {
public:
    UTL_threadpool_sync(UTL_threadpool* pool, const char* debug_name);
    ~UTL_threadpool_sync() override;
    // delete_when_done: the pool deletes this object once every thread has passed.
    void queue_me(void (*func)(void*), void* arg, int delete_when_done, int at_front);
    int do_it(int thread_index) override;
    const char* get_debug_name() override { return debug_name; }

private:
    UTL_semaphore* sem = nullptr;
    UTL_threadpool* pool;
    void (*func)(void*) = nullptr;
    void* arg = nullptr;
    std::atomic<int> arrived{0};
    int expected = 0;
    int delete_when_done = 0;
    const char* debug_name;
};

// The pool threads and the caller drain a private task list together.
class UTL_threadpool_swarm : public UTL_pool_task {
public:
    explicit UTL_threadpool_swarm(const std::string& debug_name);
    ~UTL_threadpool_swarm() override;
    void add_task(UTL_pool_task* task);
    void launch_workers(UTL_threadpool* pool);
    // Returns once every task added so far has run and no pool thread is inside the swarm.
    void help_and_wait();
    int do_it(int thread_index) override;
    const char* get_debug_name() override { return debug_name.c_str(); }

private:
    std::string debug_name;
    int count = 0;   // copies launched and not yet waited for
    UTL_message_queue<UTL_pool_task*>* task_queue = nullptr;
    UTL_semaphore* sem = nullptr;
};

// Parks every pool thread so the caller can feed them a private queue, then releases them.
class UTL_threadpool_barrier : public UTL_pool_task {
public:
    UTL_threadpool_barrier(UTL_threadpool* pool, const char* debug_name);
    ~UTL_threadpool_barrier() override;
    void halt_pool_start(int at_front);
    void halt_pool_finish();   // returns once every pool thread is parked
    void queue_task(UTL_pool_task* task);
    void restart_pool();       // returns once every pool thread has left
    int do_it(int thread_index) override;
    const char* get_debug_name() override { return debug_name; }

private:
    UTL_message_queue<UTL_pool_task*>* task_queue = nullptr;
    UTL_semaphore* sem = nullptr;
    UTL_threadpool* pool;
    const char* debug_name;
};

class UTL_runloop_task {
public:
    virtual ~UTL_runloop_task() = default;
    virtual void run() = 0;
};

void UTL_runloop_init();
// Tasks still queued are neither run nor deleted. Queueing or draining afterwards does nothing.
void UTL_runloop_shutdown();
void UTL_runloop_queue(UTL_runloop_task* task);
int UTL_runloop_drain();
// At most max tasks (all waiting ones when max is negative); the number run.
int UTL_runloop_run(int max);
