#include "core/thread_pool.h"

#include "core/thread_layer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>


namespace {

// Records its name when it runs; the owner keeps it unless it asks to be deleted.
struct note_task : UTL_pool_task {
    note_task(std::string n, std::vector<std::string>* log, int delete_me = 0, std::atomic<int>* gone = nullptr)
        : name(std::move(n)), out(log), self_delete(delete_me), deleted(gone) {}
    ~note_task() override {
        if (deleted) deleted->fetch_add(1);
    }
    int do_it(int thread_index) override {
        last_index = thread_index;
        if (out) out->push_back(name);
        runs.fetch_add(1);
        return self_delete;
    }
    const char* get_debug_name() override { return name.c_str(); }

    std::string name;
    std::vector<std::string>* out;
    int self_delete;
    std::atomic<int>* deleted;
    std::atomic<int> runs{0};
    int last_index = 99;
};

struct ThreadPool : ::testing::Test {
    void SetUp() override { thread_gl_hooks.threaded_avail = [] { return 0; }; }
};

TEST_F(ThreadPool, WithoutThreadsTasksWaitForHelpAndKeepTheirOrder) {
    auto* pool = new UTL_threadpool(0);
    EXPECT_EQ(pool->get_num_threads(), 0);
    std::vector<std::string> ran;
    note_task a("a", &ran), b("b", &ran), x("x", &ran), y("y", &ran), z("z", &ran), dropped("dropped", &ran);
    EXPECT_EQ(pool->help_a_bit(), 0);
    EXPECT_EQ(pool->empty(), 1);

    pool->queue_task(&a, 0);
    pool->queue_task(&b, 0);
    UTL_pool_task* front[] = {&x, &y};
    pool->queue_tasks(front, front + 2, 1);
    pool->queue_task(&z, 0);
    EXPECT_EQ(pool->empty(), 0);
    while (pool->help_a_bit()) {
    }
    EXPECT_EQ(ran, (std::vector<std::string>{"x", "y", "a", "b", "z"}));
    EXPECT_EQ(a.last_index, 0);
    EXPECT_EQ(pool->empty(), 1);

    pool->queue_task(&dropped, 0);
    delete pool;
    EXPECT_EQ(dropped.runs.load(), 0) << "a pool without threads drops what waits";
}

TEST_F(ThreadPool, RemoveTakesOnlyWaitingTasksAndUncountsThem) {
    UTL_threadpool pool(0);
    std::vector<std::string> ran;
    note_task a("a", &ran), b("b", &ran), c("c", &ran), never_queued("n", &ran);
    for (auto* t : {&a, &b, &c}) pool.queue_task(t, 0);
    std::set<UTL_pool_task*> doomed = {&b, &never_queued};
    EXPECT_EQ(pool.remove_tasks(&doomed), 1);
    std::set<UTL_pool_task*> absent = {&never_queued};
    EXPECT_EQ(pool.remove_tasks(&absent), 0);
    EXPECT_EQ(pool.help_a_bit(), 1);
    EXPECT_EQ(pool.help_a_bit(), 1);
    EXPECT_EQ(pool.help_a_bit(), 0);
    EXPECT_EQ(pool.empty(), 1) << "pending must fall by exactly the number removed";
    EXPECT_EQ(ran, (std::vector<std::string>{"a", "c"}));
}

TEST_F(ThreadPool, TasksAskingForDeletionAreDeletedOthersKept) {
    std::atomic<int> gone{0};
    note_task kept("kept", nullptr, 0, &gone);
    {
        UTL_threadpool pool(3);
        for (int i = 0; i < 50; ++i) pool.queue_task(new note_task("temp", nullptr, 1, &gone), i % 2);
        pool.queue_task(&kept, 0);
        // Destruction waits for every queued task.
    }
    EXPECT_EQ(gone.load(), 50);
    EXPECT_EQ(kept.runs.load(), 1);
}

TEST_F(ThreadPool, SyncRunsItsFunctionOnceWhenEveryThreadHasArrived) {
    std::atomic<int> gone{0};
    struct counting_sync : UTL_threadpool_sync {
        counting_sync(UTL_threadpool* p, std::atomic<int>* g) : UTL_threadpool_sync(p, "sync"), gone(g) {}
        ~counting_sync() override { gone->fetch_add(1); }
        std::atomic<int>* gone;
    };
    struct meeting {
        std::atomic<int> calls{0};
        std::atomic<int> busy{0};
        int busy_at_call = -1;
    } m;
    {
        UTL_threadpool pool(4);
        // Tasks still running when the sync is queued must all be finished before func runs.
        struct slow : UTL_pool_task {
            explicit slow(meeting* mm) : m(mm) {}
            int do_it(int) override {
                m->busy.fetch_add(1);
                for (int i = 0; i < 20000; ++i) std::atomic_signal_fence(std::memory_order_seq_cst);
                m->busy.fetch_sub(1);
                return 1;
            }
            const char* get_debug_name() override { return "slow"; }
            meeting* m;
        };
        for (int i = 0; i < 8; ++i) pool.queue_task(new slow(&m), 0);
        auto* sync = new counting_sync(&pool, &gone);
        sync->queue_me(
            [](void* p) {
                auto* mm = static_cast<meeting*>(p);
                mm->busy_at_call = mm->busy.load();
                mm->calls.fetch_add(1);
            },
            &m, 1, 0);
    }
    EXPECT_EQ(m.calls.load(), 1);
    EXPECT_EQ(m.busy_at_call, 0);
    EXPECT_EQ(gone.load(), 1) << "deleted once, by its last thread";
}

TEST_F(ThreadPool, SwarmRunsEveryTaskBeforeHelpAndWaitReturns) {
    for (int threads : {0, 3}) {
        UTL_threadpool pool(threads);
        UTL_threadpool_swarm swarm("swarm");
        std::atomic<int> gone{0};
        for (int i = 0; i < 100; ++i) swarm.add_task(new note_task("t", nullptr, 1, &gone));
        swarm.launch_workers(&pool);
        swarm.help_and_wait();
        EXPECT_EQ(gone.load(), 100) << threads << " threads";
    }
}

TEST_F(ThreadPool, BarrierParksThePoolAndFeedsItAPrivateQueue) {
    UTL_threadpool pool(3);
    UTL_threadpool_barrier barrier(&pool, "barrier");
    barrier.halt_pool_start(1);
    barrier.halt_pool_finish();

    std::vector<std::string> ordinary_ran;
    note_task ordinary("ordinary", &ordinary_ran);
    pool.queue_task(&ordinary, 0);
    std::atomic<int> gone{0};
    for (int i = 0; i < 10; ++i) barrier.queue_task(new note_task("parked", nullptr, 1, &gone));
    barrier.restart_pool();
    // The barrier's tasks were queued ahead of its stop signals, so all ran while parked.
    EXPECT_EQ(gone.load(), 10);
    while (!pool.empty()) std::this_thread::yield();
    EXPECT_EQ(ordinary.runs.load(), 1);

    UTL_threadpool idle(0);
    UTL_threadpool_barrier nothing(&idle, "none");
    nothing.halt_pool_start(0);
    nothing.halt_pool_finish();
    nothing.restart_pool();
    EXPECT_EQ(idle.empty(), 1);
}

struct loop_task : UTL_runloop_task {
    explicit loop_task(int* c, bool requeue = false) : count(c), again(requeue) {}
    void run() override {
        ++*count;
        if (again) {
            again = false;
            UTL_runloop_queue(this);
        }
    }
    int* count;
    bool again;
};

TEST(RunLoop, RunAndDrainCounts) {
    UTL_runloop_init();
    int n = 0;
    loop_task t1(&n), t2(&n), t3(&n), requeues(&n, true);
    struct row {
        int max, queued, expected;
    };
    for (const row r : {row{0, 3, 0}, row{5, 0, 3}, row{2, 3, 2}, row{-1, 0, 1}}) {
        for (int i = 0; i < r.queued; ++i) UTL_runloop_queue(i == 0 ? &t1 : i == 1 ? &t2 : &t3);
        EXPECT_EQ(UTL_runloop_run(r.max), r.expected) << "max " << r.max;
    }
    UTL_runloop_queue(&requeues);
    EXPECT_EQ(UTL_runloop_drain(), 2) << "tasks queued while draining run too";

    UTL_runloop_queue(&t1);
    UTL_runloop_shutdown();
    // Nothing dangles: the loop is simply gone.
    UTL_runloop_queue(&t2);
    EXPECT_EQ(UTL_runloop_drain(), 0);
    EXPECT_EQ(UTL_runloop_run(3), 0);
    EXPECT_EQ(n, 8);
}

}  // namespace
