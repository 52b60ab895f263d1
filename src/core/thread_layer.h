#pragma once
// The thread layer: which thread is the main one, the queues that carry alerts raised on other
// threads to it, the general pool and run loop, asynchronous calls, and framework threads.
#include <string>

#include "core/thread_pool.h"
#include "core/threads.h"
#include "core/alert.h"

// An alert carried between threads. A value that is queued, never thrown.
class exce_class {
public:
    exce_class();
    exce_class(std::string m1, std::string m2, std::string m3, std::string m4, const char* file, int line,
               int type);
    exce_class(const exce_class&) = default;
    exce_class& operator=(const exce_class&) = default;
    virtual ~exce_class();

    void MakeFatal() { type = t_crash; }
    // On the main thread (or with the layer down) this is the alert itself.
    void Report() const;
    void LogAndContinue() const;

    std::string msg1, msg2, msg3, msg4;
    const char* file;   // a literal that lives for the whole run
    int line;
    int type;           // t_lang, t_warn, t_quit or t_crash
};

// One asynchronous call: func(arg) run on a pool thread, or at once when the pool has none.
class THREAD_call : public UTL_pool_task {
public:
    THREAD_call(void* (*func)(void*), void* arg);
    ~THREAD_call() override;
    int do_it(int thread_index) override;
    const char* get_debug_name() override { return "THREAD_call async call"; }

    UTL_message_queue<void*>* done_queue;
    void* (*func)(void*);
    void* arg;
    void* result = nullptr;
};

extern UTL_threadpool* g_threadpool;

// What the threads need of the OpenGL layer, which fills it in as it is linked in; unset, threaded
// OpenGL counts as available (as it does before detection) and a failure changes nothing.
struct thread_gl_hooks_t {
    int (*threaded_avail)() = nullptr;    // 1 while workers may have contexts of their own
    void (*threaded_failed)() = nullptr;  // a worker's context could not be made: warn, stop asking
};
extern thread_gl_hooks_t thread_gl_hooks;

void THREAD_init();
void THREAD_make_workers();
int THREAD_is_main_thread();
int THREAD_is_inited();
// Warnings are queued and the caller goes on; quits and crashes are queued and, off the main
// thread, end the calling thread here. The language chooser is dropped.
void THREAD_send_exception(const exce_class& e);
// Reports queued quits and crashes, then (when asked) queued warnings, oldest first.
void THREAD_check_exception(int include_warnings);
THREAD_call* THREAD_run_async(void* (*func)(void*), void* arg);
// 1 once the call has finished; waits up to wait_ms (-1 without limit, 0 polls).
int THREAD_is_done(THREAD_call* call, int wait_ms);
// The call's result; deletes the call.
void* THREAD_cleanup(THREAD_call* call);
// Starts a framework thread and returns once it runs.
void THREAD_create(void* (*func)(void*), void* arg, UTL_thread_t* thread_out, UTL_thread_t* handle2_out,
                   UTL_thread_t* handle3_out, int wants_context);
void* THREAD_launch(void* start_info);
void THREAD_shutdown();
