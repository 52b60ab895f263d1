#include "core/thread_layer.h"

#include <cxxabi.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <exception>

#include "core/cmdline.h"
#include "core/app_globals.h"
#include "core/log.h"
#include "core/shell_services.h"

namespace {
const char* const layer_file = "QFutils/Thread/qf_thread";

UTL_thread_t main_thread{};
int threads_inited = 0;
UTL_message_queue<exce_class*>* warn_exce = nullptr;
UTL_message_queue<exce_class*>* quit_exce = nullptr;

struct thread_launch_info {
    void* (*func)(void*);
    void* arg;
    UTL_message_queue<void*>* start_queue;
    int wants_context;
    void* loader_context;
};

void report_all(UTL_message_queue<exce_class*>* q) {
    if (!q) return;
    while (exce_class* e = UTL_message_queue_read(q, 0)) {
        e->Report();
        delete e;
    }
}

void discard_all(UTL_message_queue<exce_class*>* q) {
    if (!q) return;
    while (exce_class* e = UTL_message_queue_read(q, 0)) delete e;
    UTL_message_queue_destroy(q);
}

// The leading decimal digits of a text, with an optional sign; 0 when there are none.
int leading_int(const std::string& text) {
    const long v = std::strtol(text.c_str(), nullptr, 10);
    return static_cast<int>(std::clamp<long>(v, INT_MIN / 2, INT_MAX / 2));
}
}  // namespace

UTL_threadpool* g_threadpool = nullptr;
thread_gl_hooks_t thread_gl_hooks;

namespace {
int threaded_gl() { return thread_gl_hooks.threaded_avail ? thread_gl_hooks.threaded_avail() : 1; }
void threaded_gl_failed() {
    if (thread_gl_hooks.threaded_failed) thread_gl_hooks.threaded_failed();
}
}  // namespace

// ---- exce_class ----

exce_class::exce_class() : file("no exception"), line(0), type(t_crash) {}

exce_class::exce_class(std::string m1, std::string m2, std::string m3, std::string m4, const char* file_, int line_,
                       int type_)
    : msg1(std::move(m1)), msg2(std::move(m2)), msg3(std::move(m3)), msg4(std::move(m4)), file(file_), line(line_),
      type(type_) {}


exce_class::~exce_class() = default;

void exce_class::Report() const {
    if (THREAD_is_main_thread() || !threads_inited) {
        __MACIBM_alert(0, msg1, msg2, msg3, msg4, type, file, line);
        return;
    }
    xer << "EXCEPTION REPORTED FROM THREAD!!  File: " << file << ", line " << line << ".\n";
    xer << msg1 << "\n" << msg2 << "\n" << msg3 << "\n" << msg4 << "\n";
    xer.flush();
    app_done = 1;
    MACIBM_finishup(1);
}

void exce_class::LogAndContinue() const {
    xer << "Logging " << (type == 0 ? "non-fatal" : "fatal") << " Exception thrown from file: " << file << ", line "
        << line << ".\n";
    xer << msg1 << "\n" << msg2 << "\n" << msg3 << "\n" << msg4 << "\n";
    xer.flush();
}

// ---- asynchronous calls ----

THREAD_call::THREAD_call(void* (*func_)(void*), void* arg_)
    : done_queue(UTL_message_queue_create<void*>()), func(func_), arg(arg_) {
    if (!done_queue) __MACIBM_alert(0, "Unable to create a thread queue.", "", "", "", t_crash, __FILE__, __LINE__);
}

THREAD_call::~THREAD_call() { UTL_message_queue_destroy(done_queue); }

int THREAD_call::do_it(int) {
    result = func(arg);
    UTL_message_queue_write(done_queue, static_cast<void*>(this));
    return 0;
}

namespace {
bool pool_has_threads() { return g_threadpool && g_threadpool->get_num_threads() > 0; }
}  // namespace

THREAD_call* THREAD_run_async(void* (*func)(void*), void* arg) {
    auto* call = new THREAD_call(func, arg);
    if (pool_has_threads()) g_threadpool->queue_task(call, 1);
    else call->do_it(-1);
    return call;
}

int THREAD_is_done(THREAD_call* call, int wait_ms) {
    THREAD_check_exception(0);
    if (!pool_has_threads()) return 1;
    void* notice = UTL_message_queue_read(call->done_queue, wait_ms);
    THREAD_check_exception(0);
    return notice ? 1 : 0;
}

void* THREAD_cleanup(THREAD_call* call) {
    THREAD_check_exception(0);
    void* result = call->result;
    delete call;
    return result;
}

// ---- the layer ----

void THREAD_init() {
    // POSIX threads need no start-up, so what can fail here is making the alert queues.
    warn_exce = UTL_message_queue_create<exce_class*>();
    quit_exce = UTL_message_queue_create<exce_class*>();
    if (!warn_exce || !quit_exce) {
        UTL_message_queue_destroy(warn_exce);
        UTL_message_queue_destroy(quit_exce);
        warn_exce = quit_exce = nullptr;
        __MACIBM_alert(0, "Unable to initialize MP services.", "", "", "", t_crash, layer_file, 137);
        return;
    }
    main_thread = UTL_get_current_thread();
    threads_inited = 1;
}

void THREAD_make_workers() {
    int n = UTL_count_processors();
    xer << "CPU count        : " << n << "\n";
    if (cmdline.has_option("--num_workers")) n = leading_int(cmdline.get_option("--num_workers")) + 1;
    const int threads = threaded_gl() ? std::max(n - 1, 1) : 0;
    g_threadpool = new UTL_threadpool(threads);
    UTL_runloop_init();
}

int THREAD_is_main_thread() { return pthread_equal(UTL_get_current_thread(), main_thread) ? 1 : 0; }

int THREAD_is_inited() { return threads_inited; }

void THREAD_send_exception(const exce_class& e) {
    if (!threads_inited) {
        // Nobody polls the queues any more: the alert goes straight to the user.
        e.Report();
        return;
    }
    if (e.type == t_warn) {
        UTL_message_queue_write(warn_exce, new exce_class(e));
    } else if (e.type == t_quit || e.type == t_crash) {
        UTL_message_queue_write(quit_exce, new exce_class(e));
        if (!THREAD_is_main_thread()) UTL_thread_exit(nullptr);
    }
}

void THREAD_check_exception(int include_warnings) {
    report_all(quit_exce);
    if (include_warnings) report_all(warn_exce);
}

void THREAD_create(void* (*func)(void*), void* arg, UTL_thread_t* thread_out, UTL_thread_t* handle2_out,
                   UTL_thread_t* handle3_out, int wants_context) {
    thread_launch_info info{func, arg, nullptr, 0, nullptr};
    int requested = threaded_gl() ? wants_context : 0;
    info.wants_context = requested;
    if (requested) {
        info.loader_context = shell_make_loader_context();
        if (!info.loader_context) {
            requested = 0;
            info.wants_context = 0;
            threaded_gl_failed();
        }
    }
    info.start_queue = UTL_message_queue_create<void*>();
    if (!info.start_queue) {
        __MACIBM_alert(0, "Unable to create a thread queue.", "", "", "", t_crash, __FILE__, __LINE__);
        return;
    }
    UTL_thread_create(THREAD_launch, &info, thread_out, handle2_out, handle3_out);
    UTL_message_queue_read(info.start_queue, -1);
    UTL_message_queue_destroy(info.start_queue);
    if (info.wants_context != requested) threaded_gl_failed();
}

// The forced-unwind handler binds a reference to the runtime's null exception object, which
// the null-reference sanitizer would stop on.
__attribute__((no_sanitize("null"))) void* THREAD_launch(void* start_info) {
    auto* info = static_cast<thread_launch_info*>(start_info);
    if (info->wants_context && !shell_set_loader_context(info->loader_context)) info->wants_context = 0;
    void* (*func)(void*) = info->func;
    void* arg = info->arg;
    UTL_message_queue_write(info->start_queue, static_cast<void*>(nullptr));   // info is gone after this

    try {
        return func(arg);
    } catch (abi::__forced_unwind&) {
        // A thread ending itself (a quit raised on it) unwinds like this; it must get through.
        throw;
    } catch (exce_class& e) {
        exce_class fatal(e);
        fatal.MakeFatal();
        THREAD_send_exception(fatal);
    } catch (std::exception& e) {
        THREAD_send_exception(exce_class("Caught an unhandled C++ exception", e.what(), "", "", layer_file, 249, t_crash));
    } catch (...) {
        THREAD_send_exception(exce_class("Caught an unhandled unknown exception", "", "", "", layer_file, 251, t_crash));
    }
    return nullptr;
}

void THREAD_shutdown() {
    delete g_threadpool;
    g_threadpool = nullptr;
    UTL_runloop_shutdown();
    // Alerts nobody reported die with their queues.
    discard_all(warn_exce);
    discard_all(quit_exce);
    warn_exce = quit_exce = nullptr;
    threads_inited = 0;
    xer << "Clean exit from threads.\n";
}
