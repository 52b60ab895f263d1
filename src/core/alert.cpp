#include "core/alert.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/app_globals.h"
#include "core/cmdline.h"
#include "core/log.h"
#include "core/memory_report.h"
#include "core/shell_services.h"
#include "core/stack_crawl.h"
#include "core/thread_layer.h"

namespace {
int in_alert = 0;
// Set while the "String too long!" alert is on its way, so its own over-long line is cut
// instead of raising the same alert again without end.
int too_long_pending = 0;

constexpr std::size_t kLongestBoxText = 499;

void show_native_box(const std::string& a, const std::string& b) {
    if (g_shell.native_box) g_shell.native_box(a, b);
    else std::fprintf(stderr, "%s\n%s\n", a.c_str(), b.c_str());
}

// A text the box refuses raises the crash alert (which, being nested, ends the program).
std::string box_text(const std::string& text) {
    if (text.size() <= kLongestBoxText) return text;
    if (too_long_pending) return text.substr(0, kLongestBoxText);
    too_long_pending = 1;
    __MACIBM_alert(0, "String too long!", text, "", "", t_crash, "QFutils/GenH/qf_string", 129);
    return text.substr(0, kLongestBoxText);   // not reached: the nested alert ends the program
}

// Ends the process without running static destructors: worker threads that are still busy must
// not find the objects they use torn down under them.
[[noreturn]] void end_process(int code) {
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(code);
}

// A quitting alert stops the engine's pools and the thread layer before anything else goes.
void stop_threads() {
    shell_run_quit_stoppers();
    if (THREAD_is_inited() && THREAD_is_main_thread()) THREAD_shutdown();
}
}  // namespace

int MACIBM_in_alert() { return in_alert; }

void __MACIBM_alert(int return_panel, const std::string& l1, const std::string& l2, const std::string& l3,
                    const std::string& l4, int type, const char* file, int line) {
    // Off the main thread the alert travels to it; quits and crashes end this thread in there.
    if (THREAD_is_inited() && !THREAD_is_main_thread()) {
        THREAD_send_exception(exce_class(l1, l2, l3, l4, file, line, type));
        return;
    }
    const std::string suffix = std::string("(") + file + " line " + std::to_string(line) + ")";

    if (type == t_crash) {
        if (FILE* crawl = std::fopen("stack_crawl.txt", "a")) {
            UTL_dump_stack(crawl, nullptr, nullptr);
            std::fclose(crawl);
        }
    }

    // Unattended runs only log; nothing is shown and quits and crashes end with code 1.
    if (cmdline.has_option("--fps_test") || cmdline.has_option("--qa_script")) {
        xer << l1 << "\n" << l2 << "\n" << l3 << "\n" << l4 << "\n" << suffix << "\n";
        xer.flush();
        if (type == t_quit || type == t_crash) {
            stop_threads();
            xer.flush();
            end_process(1);
        }
        return;
    }

    const bool nested = in_alert != 0;
    in_alert = 1;

    if (nested || !ogl_inited || !g_shell.alert_panel) {
        const std::string a = box_text(l1 + " " + l2);
        const std::string b = box_text(l3 + " " + l4);
        show_native_box(a, b);
    } else if (!(l1.empty() && l2.empty() && l3.empty() && l4.empty()) || type == t_lang) {
        g_shell.alert_panel(return_panel, l1, l2, l3, l4, type, suffix);
    }

    const bool ending = type == t_quit || type == t_crash || nested;
    if (type != t_lang || nested) {
        // The memory report comes first, so the alert's own lines close the log.
        if (ending) dump_mem_stats("MACIBM_alert (with code t_crash or t_quit)");
        xer << "\n" << l1 << "\n" << l2 << "\n" << l3 << "\n" << l4 << "\n" << suffix << "\n";
        xer.flush();
    }

    if (ending) {
        stop_threads();
        MACIBM_finishup(0);
        app_done = 1;
        if (type == t_crash || nested) std::abort();
        end_process(0);
    }
    in_alert = 0;
}
