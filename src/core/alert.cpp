#include "core/alert.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/cmdline.h"
#include "core/memory_report.h"
#include "core/stack_crawl.h"
#include "core/thread_layer.h"
#include "core/app_globals.h"
#include "core/log.h"
#include "core/shell_services.h"

namespace {
int in_alert = 0;

// Until the window exists the standard alert box stands in: the two texts go to standard error.
void show_native_box(const std::string& a, const std::string& b) {
    std::fprintf(stderr, "%s\n%s\n", a.c_str(), b.c_str());
}
}  // namespace

void __MACIBM_alert(int return_panel, const std::string& l1, const std::string& l2, const std::string& l3,
                    const std::string& l4, int type, const char* file, int line) {
    (void)return_panel;
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
        if (type == t_quit || type == t_crash) std::exit(1);
        return;
    }

    const bool nested = in_alert != 0;
    in_alert = 1;

    if (type != t_lang || nested) {
        std::string a = l1 + " " + l2, b = l3 + " " + l4;
        if (!(l1.empty() && l2.empty() && l3.empty() && l4.empty())) show_native_box(a, b);
    }

    const bool ending = type == t_quit || type == t_crash || nested;
    if (type != t_lang || nested) {
        // The memory report comes first, so the alert's own lines close the log.
        if (ending) dump_mem_stats("MACIBM_alert (with code t_crash or t_quit)");
        xer << "\n" << l1 << "\n" << l2 << "\n" << l3 << "\n" << l4 << "\n" << suffix << "\n";
        xer.flush();
    }

    if (ending) {
        MACIBM_finishup(0);
        app_done = 1;
        if (type == t_crash || nested) std::abort();
        std::exit(0);
    }
    in_alert = 0;
}
