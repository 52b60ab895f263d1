#include "core/shell_services.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "core/cmdline.h"
#include "core/log.h"
#include "core/thread_layer.h"

shell_services g_shell;
void (*finishup_save_preferences)() = nullptr;

namespace {
std::mutex g_stoppers_lock;
std::vector<void (*)()>& stoppers() {
    static std::vector<void (*)()> s;
    return s;
}
}  // namespace

int shell_window_count() { return g_shell.window_count ? g_shell.window_count() : 1; }

void* shell_make_loader_context() { return g_shell.make_loader_context ? g_shell.make_loader_context() : nullptr; }

int shell_set_loader_context(void* context) {
    if (!context || !g_shell.set_loader_context) return 0;
    return g_shell.set_loader_context(context);
}

void shell_at_quit(void (*stop)()) {
    std::lock_guard<std::mutex> hold(g_stoppers_lock);
    stoppers().push_back(stop);
}

void shell_forget_at_quit(void (*stop)()) {
    std::lock_guard<std::mutex> hold(g_stoppers_lock);
    auto& s = stoppers();
    s.erase(std::remove(s.begin(), s.end(), stop), s.end());
}

void shell_run_quit_stoppers() {
    std::vector<void (*)()> run;
    {
        std::lock_guard<std::mutex> hold(g_stoppers_lock);
        run.swap(stoppers());
    }
    for (auto it = run.rbegin(); it != run.rend(); ++it) (*it)();
}

void MACIBM_finishup(int save) {
    if (save) {
        // Unattended runs leave the user's preferences alone.
        if (!cmdline.has_option("--fps_test") && !cmdline.has_option("--qa_script") && finishup_save_preferences)
            finishup_save_preferences();
        THREAD_shutdown();
    }
    if (g_shell.teardown) g_shell.teardown();
    xer.close();
}

void shell_event_proc() {
    if (g_shell.event_proc) g_shell.event_proc();
}
