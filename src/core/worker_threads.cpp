#include "core/worker_threads.h"

#include "core/thread_layer.h"

namespace {
// How long a draining owner waits before it looks at the alerts again.
constexpr int drain_slice_ms = 50;

UTL_message_queue<void*>* make_queue() {
    UTL_message_queue<void*>* q = UTL_message_queue_create<void*>();
    if (!q) __MACIBM_alert(0, "Unable to create a thread queue.", "", "", "", t_crash, __FILE__, __LINE__);
    return q;
}

// Counts a worker out however it ends, also when a quit raised in a task unwinds it.
struct live_guard {
    std::atomic<int>& live;
    ~live_guard() { live.fetch_sub(1, std::memory_order_acq_rel); }
};
}  // namespace

UTL_worker_threads::UTL_worker_threads(int thread_count, int max_tasks_) : max_tasks(max_tasks_) {
    inbound_queue = make_queue();
    retired_queue = make_queue();
    if (thread_count < 0) thread_count = 0;
    for (auto& h : thread_handles) h.resize(static_cast<std::size_t>(thread_count));
    live_threads.store(thread_count, std::memory_order_release);
    for (int i = 0; i < thread_count; ++i)
        UTL_thread_create(thread_func, this, &thread_handles[0][i], &thread_handles[1][i], &thread_handles[2][i]);
}

UTL_worker_threads::~UTL_worker_threads() {
    const int n = static_cast<int>(thread_handles[0].size());
    if (!stop_requested) request_stop();
    for (int i = 0; i < n; ++i) UTL_thread_join(&thread_handles[0][i], &thread_handles[1][i]);
    UTL_message_queue_destroy(inbound_queue);
    UTL_message_queue_destroy(retired_queue);
}

void UTL_worker_threads::request_stop(void (*at_exit)()) {
    if (stop_requested) return;
    stop_requested = true;
    exit_hook.store(at_exit, std::memory_order_release);
    const int n = static_cast<int>(thread_handles[0].size());
    std::vector<void*> stops(static_cast<std::size_t>(n), nullptr);
    UTL_message_queue_multi_write(inbound_queue, stops.data(), n, 0);
}

bool UTL_worker_threads::threads_ended() const { return live_threads.load(std::memory_order_acquire) == 0; }

void* UTL_worker_threads::thread_func(void* pool_ptr) {
    auto* pool = static_cast<UTL_worker_threads*>(pool_ptr);
    live_guard guard{pool->live_threads};
    while (void* entry = UTL_message_queue_read(pool->inbound_queue, -1)) {
        auto* task = static_cast<UTL_work_task*>(entry);
        task->do_it();
        UTL_message_queue_write(pool->retired_queue, entry);
    }
    if (void (*hook)() = pool->exit_hook.load(std::memory_order_acquire)) hook();
    return nullptr;
}

void UTL_worker_threads::enqueue_task(UTL_work_task* task) {
    ++outstanding;
    UTL_message_queue_write(inbound_queue, static_cast<void*>(task));
}

int UTL_worker_threads::has_free_slot() { return outstanding < max_tasks ? 1 : 0; }

int UTL_worker_threads::count_total_tasks() { return outstanding; }

UTL_work_task* UTL_worker_threads::check_retired_tasks() {
    void* entry = UTL_message_queue_read(retired_queue, 0);
    if (!entry) return nullptr;
    --outstanding;
    return static_cast<UTL_work_task*>(entry);
}

UTL_work_task* UTL_worker_threads::wait_retired_tasks() {
    if (outstanding <= 0) return nullptr;
    for (;;) {
        if (void* entry = UTL_message_queue_read(retired_queue, drain_slice_ms)) {
            --outstanding;
            return static_cast<UTL_work_task*>(entry);
        }
        // A worker that raised a quit or crash ended inside that alert and will never retire its
        // task. The alert waits in the thread layer's queue; reporting it ends the program.
        if (THREAD_is_inited() && THREAD_is_main_thread()) THREAD_check_exception(0);
        // With every worker gone, nothing outstanding can come back any more.
        if (live_threads.load(std::memory_order_acquire) == 0) {
            if (void* entry = UTL_message_queue_read(retired_queue, 0)) {
                --outstanding;
                return static_cast<UTL_work_task*>(entry);
            }
            return nullptr;
        }
    }
}
