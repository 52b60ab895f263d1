#include "core/thread_pool.h"

#include "core/thread_layer.h"

namespace {
struct pool_thread_info {
    UTL_threadpool* pool;
    int index;
};

template <typename T>
UTL_message_queue<T>* make_queue() {
    UTL_message_queue<T>* q = UTL_message_queue_create<T>();
    if (!q) __MACIBM_alert(0, "Unable to create a thread queue.", "", "", "", t_crash, __FILE__, __LINE__);
    return q;
}

UTL_semaphore* make_semaphore() {
    UTL_semaphore* s = nullptr;
    if (UTL_semaphore_create(&s, 0) != 0)
        __MACIBM_alert(0, "Unable to create a thread semaphore.", "", "", "", t_crash, __FILE__, __LINE__);
    return s;
}
}  // namespace

// ---- pool ----

UTL_threadpool::UTL_threadpool(int thread_count) {
    queue = make_queue<UTL_pool_task*>();
    if (thread_count < 0) thread_count = 0;
    for (auto& h : thread_handles) h.resize(static_cast<std::size_t>(thread_count));
    for (int i = 0; i < thread_count; ++i) {
        auto* info = new pool_thread_info{this, i + 1};
        THREAD_create(thread_func, info, &thread_handles[0][i], &thread_handles[1][i], &thread_handles[2][i], 1);
    }
}

UTL_threadpool::~UTL_threadpool() {
    const int n = get_num_threads();
    std::vector<UTL_pool_task*> stops(static_cast<std::size_t>(n), nullptr);
    UTL_message_queue_multi_write(queue, stops.data(), n, 0);
    for (int i = 0; i < n; ++i) UTL_thread_join(&thread_handles[0][i], &thread_handles[1][i]);
    UTL_message_queue_destroy(queue);
}

void* UTL_threadpool::thread_func(void* start_info) {
    auto* info = static_cast<pool_thread_info*>(start_info);
    UTL_threadpool* pool = info->pool;
    const int index = info->index;
    delete info;
    while (UTL_pool_task* task = UTL_message_queue_read(pool->queue, -1)) pool->run_one(task, index);
    return nullptr;
}

void UTL_threadpool::run_one(UTL_pool_task* task, int thread_index) {
    if (task->do_it(thread_index)) delete task;
    pending.fetch_sub(1, std::memory_order_acq_rel);
}

void UTL_threadpool::queue_entries(UTL_pool_task* const* entries, int count, int at_front) {
    if (count <= 0) return;
    pending.fetch_add(count, std::memory_order_acq_rel);
    UTL_message_queue_multi_write(queue, entries, count, at_front);
}

void UTL_threadpool::queue_task(UTL_pool_task* task, int at_front) { queue_entries(&task, 1, at_front); }

void UTL_threadpool::queue_tasks(UTL_pool_task** first, UTL_pool_task** last, int at_front) {
    queue_entries(first, static_cast<int>(last - first), at_front);
}

void UTL_threadpool::queue_task_multi(UTL_pool_task* task, int count, int at_front) {
    if (count <= 0) return;
    std::vector<UTL_pool_task*> copies(static_cast<std::size_t>(count), task);
    queue_entries(copies.data(), count, at_front);
}

int UTL_threadpool::edit_nuke(std::vector<UTL_pool_task*>& items, void* task_set) {
    const auto* doomed = static_cast<const std::set<UTL_pool_task*>*>(task_set);
    const std::size_t before = items.size();
    std::erase_if(items, [doomed](UTL_pool_task* t) { return doomed->count(t) != 0; });
    return static_cast<int>(before - items.size());
}

int UTL_threadpool::remove_tasks(std::set<UTL_pool_task*>* tasks) {
    const int removed = UTL_message_queue_edit(queue, edit_nuke, tasks);
    pending.fetch_sub(removed, std::memory_order_acq_rel);
    return removed;
}

int UTL_threadpool::help_a_bit() {
    UTL_pool_task* task = UTL_message_queue_read(queue, 0);
    if (!task) return 0;
    run_one(task, 0);
    return 1;
}

int UTL_threadpool::empty() { return pending.load(std::memory_order_acquire) == 0 ? 1 : 0; }

int UTL_threadpool::get_num_threads() { return static_cast<int>(thread_handles[0].size()); }

// ---- sync ----

UTL_threadpool_sync::UTL_threadpool_sync(UTL_threadpool* pool_, const char* debug_name_)
    : sem(make_semaphore()), pool(pool_), debug_name(debug_name_) {}

UTL_threadpool_sync::~UTL_threadpool_sync() { UTL_semaphore_destroy(sem); }

void UTL_threadpool_sync::queue_me(void (*func_)(void*), void* arg_, int delete_when_done_, int at_front) {
    func = func_;
    arg = arg_;
    delete_when_done = delete_when_done_;
    arrived.store(0, std::memory_order_relaxed);
    expected = pool->get_num_threads();
    pool->queue_task_multi(this, expected, at_front);
}

int UTL_threadpool_sync::do_it(int) {
    if (arrived.fetch_add(1, std::memory_order_acq_rel) + 1 == expected) {
        if (func) func(arg);
        for (int i = 1; i < expected; ++i) UTL_semaphore_inc(sem);
    } else {
        UTL_semaphore_dec(sem, -1);
    }
    // The last one out is the only one that may hand the object to the pool for deletion.
    const bool last_out = arrived.fetch_sub(1, std::memory_order_acq_rel) - 1 == 0;
    return last_out && delete_when_done ? 1 : 0;
}

// ---- swarm ----

UTL_threadpool_swarm::UTL_threadpool_swarm(const std::string& debug_name_)
    : debug_name(debug_name_), task_queue(make_queue<UTL_pool_task*>()), sem(make_semaphore()) {}

UTL_threadpool_swarm::~UTL_threadpool_swarm() {
    UTL_message_queue_destroy(task_queue);
    UTL_semaphore_destroy(sem);
}

void UTL_threadpool_swarm::add_task(UTL_pool_task* task) { UTL_message_queue_write(task_queue, task); }

void UTL_threadpool_swarm::launch_workers(UTL_threadpool* pool) {
    const int n = pool->get_num_threads();
    count += n;
    pool->queue_task_multi(this, n, 1);
}

int UTL_threadpool_swarm::do_it(int thread_index) {
    while (UTL_pool_task* task = UTL_message_queue_read(task_queue, 0))
        if (task->do_it(thread_index)) delete task;
    UTL_semaphore_inc(sem);
    return 0;
}

void UTL_threadpool_swarm::help_and_wait() {
    while (UTL_pool_task* task = UTL_message_queue_read(task_queue, 0))
        if (task->do_it(-1)) delete task;
    for (int i = 0; i < count; ++i) UTL_semaphore_dec(sem, -1);
    count = 0;
}

// ---- barrier ----

UTL_threadpool_barrier::UTL_threadpool_barrier(UTL_threadpool* pool_, const char* debug_name_)
    : task_queue(make_queue<UTL_pool_task*>()), sem(make_semaphore()), pool(pool_), debug_name(debug_name_) {}

UTL_threadpool_barrier::~UTL_threadpool_barrier() {
    UTL_message_queue_destroy(task_queue);
    UTL_semaphore_destroy(sem);
}

void UTL_threadpool_barrier::halt_pool_start(int at_front) {
    pool->queue_task_multi(this, pool->get_num_threads(), at_front);
}

void UTL_threadpool_barrier::halt_pool_finish() {
    for (int i = 0, n = pool->get_num_threads(); i < n; ++i) UTL_semaphore_dec(sem, -1);
}

void UTL_threadpool_barrier::queue_task(UTL_pool_task* task) { UTL_message_queue_write(task_queue, task); }

void UTL_threadpool_barrier::restart_pool() {
    const int n = pool->get_num_threads();
    std::vector<UTL_pool_task*> stops(static_cast<std::size_t>(n), nullptr);
    UTL_message_queue_multi_write(task_queue, stops.data(), n, 0);
    for (int i = 0; i < n; ++i) UTL_semaphore_dec(sem, -1);
}

int UTL_threadpool_barrier::do_it(int thread_index) {
    UTL_semaphore_inc(sem);
    while (UTL_pool_task* task = UTL_message_queue_read(task_queue, -1))
        if (task->do_it(thread_index)) delete task;
    UTL_semaphore_inc(sem);
    return 0;
}

// ---- run loop ----

namespace {
UTL_message_queue<UTL_runloop_task*>* s_runloop_q = nullptr;

int run_waiting(int max) {
    if (!s_runloop_q) return 0;
    int ran = 0;
    while (max < 0 || ran < max) {
        UTL_runloop_task* task = UTL_message_queue_read(s_runloop_q, 0);
        if (!task) break;
        task->run();
        ++ran;
    }
    return ran;
}
}  // namespace

void UTL_runloop_init() {
    if (!s_runloop_q) s_runloop_q = make_queue<UTL_runloop_task*>();
}

void UTL_runloop_shutdown() {
    UTL_message_queue_destroy(s_runloop_q);
    s_runloop_q = nullptr;
}

void UTL_runloop_queue(UTL_runloop_task* task) {
    if (s_runloop_q) UTL_message_queue_write(s_runloop_q, task);
}

int UTL_runloop_drain() { return run_waiting(-1); }

int UTL_runloop_run(int max) { return max == 0 ? 0 : run_waiting(max); }
