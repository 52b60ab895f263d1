#pragma once
// A fixed set of worker threads that run tasks for one owner thread and hand each back when it
// has run. The owner tops the pool up and collects finished tasks by polling.
#include <atomic>
#include <string>
#include <vector>

#include "core/threads.h"

class UTL_work_task {
public:
    virtual ~UTL_work_task() = default;
    // Runs on a worker thread; the result is not looked at.
    virtual int do_it() = 0;
    // On the owner thread once the task is back: an error code (0 for none) and its text.
    virtual int check_error(std::string& message) = 0;
};

class UTL_worker_threads {
public:
    UTL_worker_threads(int thread_count, int max_tasks);
    // Tasks still waiting run first; tasks not taken back are neither returned nor deleted.
    ~UTL_worker_threads();
    UTL_worker_threads(const UTL_worker_threads&) = delete;
    UTL_worker_threads& operator=(const UTL_worker_threads&) = delete;

    void enqueue_task(UTL_work_task* task);     // never refuses, whatever max_tasks says
    int has_free_slot();                        // 1 while fewer than max_tasks are in flight
    int count_total_tasks();                    // enqueued and not yet taken back
    UTL_work_task* check_retired_tasks();       // a finished task, or null, without waiting
    // The next finished task, waiting for it; null at once when nothing is outstanding, and null
    // when no worker is left to finish what is.
    UTL_work_task* wait_retired_tasks();

    // Asks every thread to end once the tasks already queued have run, without waiting for it;
    // at_exit, when given, runs on each thread as it ends (to let go of memory it keeps). Nothing
    // may be enqueued afterwards. Deleting the pool then only joins the threads.
    void request_stop(void (*at_exit)() = nullptr);
    // After request_stop: true once every thread has finished (at_exit included), so that
    // deleting the pool waits for nothing.
    bool threads_ended() const;

    static void* thread_func(void* pool);

private:
    UTL_message_queue<void*>* inbound_queue = nullptr;
    UTL_message_queue<void*>* retired_queue = nullptr;
    int max_tasks = 0;
    int outstanding = 0;
    std::vector<UTL_thread_t> thread_handles[3];
    std::atomic<int> live_threads{0};
    std::atomic<void (*)()> exit_hook{nullptr};
    bool stop_requested = false;
};
