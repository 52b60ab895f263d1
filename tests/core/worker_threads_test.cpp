#include "core/worker_threads.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "core/thread_layer.h"
#include "core/log.h"
#include "support/temp_dir.h"

namespace {

struct gate {
    UTL_semaphore* sem = nullptr;
    gate() { UTL_semaphore_create(&sem, 0); }
    ~gate() { UTL_semaphore_destroy(sem); }
    void open(int n) {
        for (int i = 0; i < n; ++i) UTL_semaphore_inc(sem);
    }
};

// A task that optionally waits at a gate, then counts its run; the error it reports is its id.
struct work : UTL_work_task {
    explicit work(int id_, gate* g = nullptr) : id(id_), wait_at(g) {}
    int do_it() override {
        if (wait_at) UTL_semaphore_dec(wait_at->sem, -1);
        runs.fetch_add(1);
        return 0;
    }
    int check_error(std::string& message) override {
        message = "task " + std::to_string(id);
        return id;
    }
    int id;
    gate* wait_at;
    std::atomic<int> runs{0};
};

TEST(WorkerThreads, InFlightLimitAndRetiredQueue) {
    UTL_worker_threads pool(2, 3);
    EXPECT_EQ(pool.check_retired_tasks(), nullptr);
    EXPECT_EQ(pool.wait_retired_tasks(), nullptr) << "nothing outstanding ends a drain at once";

    gate g;
    std::vector<work*> tasks;
    for (int i = 1; i <= 4; ++i) tasks.push_back(new work(i, &g));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(pool.has_free_slot(), 1);
        pool.enqueue_task(tasks[i]);
    }
    EXPECT_EQ(pool.has_free_slot(), 0);
    pool.enqueue_task(tasks[3]);   // the limit is advice only
    EXPECT_EQ(pool.count_total_tasks(), 4);
    EXPECT_EQ(pool.check_retired_tasks(), nullptr) << "tasks still running are not retired";

    g.open(4);
    std::vector<int> codes;
    while (UTL_work_task* t = pool.wait_retired_tasks()) {
        std::string msg;
        codes.push_back(t->check_error(msg));
        EXPECT_EQ(msg, "task " + std::to_string(codes.back()));
        delete t;
        if (pool.count_total_tasks() == 2) {
            EXPECT_EQ(pool.has_free_slot(), 1);
        }
    }
    std::sort(codes.begin(), codes.end());
    EXPECT_EQ(codes, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(pool.count_total_tasks(), 0);
}

TEST(WorkerThreads, TaskHandedToASecondPoolCountsThereOnly) {
    UTL_worker_threads first(1, 1), second(1, 1);
    work t(7);
    first.enqueue_task(&t);
    UTL_work_task* back = first.wait_retired_tasks();
    ASSERT_EQ(back, &t);
    EXPECT_EQ(first.has_free_slot(), 1);
    second.enqueue_task(back);
    EXPECT_EQ(second.has_free_slot(), 0);
    EXPECT_EQ(second.wait_retired_tasks(), &t);
    EXPECT_EQ(t.runs.load(), 2);
}

std::atomic<int> exit_hook_runs{0};
void count_exit() { exit_hook_runs.fetch_add(1); }

// An owner that must not wait asks the threads to end and looks again later: queued tasks still
// run first, each thread runs the exit hook, and deleting the pool then finds them gone.
TEST(WorkerThreads, StopWithoutWaitingRunsQueuedTasksThenTheExitHookOnEachThread) {
    exit_hook_runs = 0;
    gate g;
    std::vector<std::unique_ptr<work>> tasks;
    for (int i = 0; i < 6; ++i) tasks.push_back(std::make_unique<work>(i, &g));
    auto* pool = new UTL_worker_threads(3, 10);
    for (auto& t : tasks) pool->enqueue_task(t.get());
    pool->request_stop(count_exit);
    pool->request_stop(count_exit);   // asking twice ends each thread once
    EXPECT_FALSE(pool->threads_ended()) << "the threads are held by their tasks";
    g.open(6);
    for (int i = 0; i < 6; ++i) EXPECT_NE(pool->wait_retired_tasks(), nullptr);
    for (long spins = 0; !pool->threads_ended() && spins < 100000000; ++spins) std::this_thread::yield();
    EXPECT_TRUE(pool->threads_ended());
    EXPECT_EQ(exit_hook_runs.load(), 3);
    delete pool;
    for (const auto& t : tasks) EXPECT_EQ(t->runs.load(), 1);
}

TEST(WorkerThreads, DestructionRunsTasksStillQueued) {
    std::vector<std::unique_ptr<work>> tasks;
    for (int i = 0; i < 20; ++i) tasks.push_back(std::make_unique<work>(i));
    {
        UTL_worker_threads pool(2, 30);
        for (auto& t : tasks) pool.enqueue_task(t.get());
    }
    for (const auto& t : tasks) EXPECT_EQ(t->runs.load(), 1);
}

// A worker that ends inside a task (as a quit alert makes it do) never retires that task and
// leaves the tasks behind it unrun: draining must still come to an end.
TEST(WorkerThreads, DrainEndsWhenTheWorkersAreGone) {
    struct ends_thread : UTL_work_task {
        int do_it() override { UTL_thread_exit(nullptr); }
        int check_error(std::string&) override { return 0; }
    } quitter;
    work after(2);
    UTL_worker_threads pool(1, 4);
    pool.enqueue_task(&quitter);
    pool.enqueue_task(&after);
    EXPECT_EQ(pool.wait_retired_tasks(), nullptr);
    EXPECT_EQ(after.runs.load(), 0);
}

struct raises_quit : UTL_work_task {
    int do_it() override {
        MACIBM_alert(0, "worker gave up", "", "", "", t_quit);
        return 0;
    }
    int check_error(std::string&) override { return 0; }
};

// With the thread layer up, the quit waits in its queue; the draining owner reports it, which
// ends the program normally instead of waiting forever for the lost task.
TEST(WorkerThreads, EarlyStopWithAQuitOnAWorkerEndsTheProgram) {
    const std::filesystem::path scratch = std::filesystem::current_path() / "early_stop.scratch";
    std::filesystem::create_directories(scratch);
    const std::string log_path = (scratch / "log.txt").string();
    // The program ends without joining its workers; a thread sanitizer would count that as a leak.
    setenv("TSAN_OPTIONS", "report_thread_leaks=0", 1);
    EXPECT_EXIT(
        {
            xer.open(log_path);
            THREAD_init();
            raises_quit quitter;
            work after(2);
            UTL_worker_threads pool(1, 4);
            pool.enqueue_task(&quitter);
            pool.enqueue_task(&after);
            while (pool.wait_retired_tasks()) {
            }
            std::exit(3);   // the drain returned without reporting the quit
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_NE(testsupport::read_file(log_path).find("worker gave up"), std::string::npos);
    std::filesystem::remove_all(scratch);
}

}  // namespace
