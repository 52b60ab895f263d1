#include "core/thread_layer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/cmdline.h"
#include "core/log.h"
#include "support/temp_dir.h"

namespace {

// Each test gets its own log and a thread layer that is up, with no pool threads. Death tests
// re-run the test in a child process, so the log lives in a folder both can name.
// The OpenGL layer as the thread layer sees it: whether workers may have contexts, and how often
// it was told one could not be made.
int threaded = 0;
int threaded_failures = 0;

struct ThreadLayer : ::testing::Test {
    const std::filesystem::path scratch = std::filesystem::current_path() /
        (std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".scratch");
    const std::string log_path = (scratch / "log.txt").string();

    void SetUp() override {
        std::filesystem::create_directories(scratch);
        ASSERT_TRUE(xer.open(log_path));
        threaded = 0;
        threaded_failures = 0;
        thread_gl_hooks.threaded_avail = [] { return threaded; };
        thread_gl_hooks.threaded_failed = [] {
            if (threaded) ++threaded_failures;
            threaded = 0;
        };
        THREAD_init();
    }
    void TearDown() override {
        if (THREAD_is_inited()) THREAD_shutdown();
        xer.close();
        std::filesystem::remove_all(scratch);
    }
    // For the child of a death test: a crash writes its stack crawl into the current folder.
    void enter_scratch() const {
        if (chdir(scratch.c_str()) != 0) std::abort();
    }
    std::string log() { return xer.contents_for_test(); }

    // Runs body on a plain thread (not the main one) and waits for it to end.
    template <typename F>
    static void on_worker(F body) {
        auto* fn = new F(std::move(body));
        UTL_thread_t t{}, h2{}, h3{};
        UTL_thread_create(
            [](void* p) -> void* {
                auto* f = static_cast<F*>(p);
                (*f)();
                return nullptr;
            },
            fn, &t, &h2, &h3);
        UTL_thread_join(&t, &h2);
        delete fn;
    }
};

TEST_F(ThreadLayer, WorkerWarningsWaitForTheMainThreadInOrderAndTypeZeroIsDropped) {
    std::atomic<int> carried_on{0};
    on_worker([&] {
        MACIBM_alert(0, "first warning", "", "", "", t_warn);
        MACIBM_alert(0, "chooser", "", "", "", t_lang);
        MACIBM_alert(0, "second warning", "", "", "", t_warn);
        carried_on = 1;
    });
    EXPECT_EQ(carried_on.load(), 1);
    EXPECT_EQ(log().find("warning"), std::string::npos) << "nothing is shown from the worker itself";

    THREAD_check_exception(0);
    EXPECT_EQ(log().find("warning"), std::string::npos) << "warnings wait for a check that includes them";

    THREAD_check_exception(1);
    const std::string text = log();
    const auto first = text.find("first warning"), second = text.find("second warning");
    ASSERT_NE(first, std::string::npos);
    ASSERT_NE(second, std::string::npos);
    EXPECT_LT(first, second);
    EXPECT_EQ(text.find("chooser"), std::string::npos);
}

TEST_F(ThreadLayer, AQuitOnAWorkerEndsThatThreadInsideTheCall) {
    std::atomic<int> after_call{0};
    on_worker([&] {
        MACIBM_alert(0, "worker quits", "", "", "", t_quit);
        after_call = 1;
    });
    EXPECT_EQ(after_call.load(), 0);
    EXPECT_EQ(log().find("worker quits"), std::string::npos) << "the quit waits in its queue";
}

TEST_F(ThreadLayer, QuitsAreReportedBeforeWarnings) {
    on_worker([] { MACIBM_alert(0, "a warning", "", "", "", t_warn); });
    on_worker([] { MACIBM_alert(0, "the quit", "", "", "", t_quit); });
    EXPECT_EXIT(THREAD_check_exception(1), ::testing::ExitedWithCode(0), "");
    const std::string text = testsupport::read_file(log_path);
    EXPECT_NE(text.find("the quit"), std::string::npos);
    EXPECT_EQ(text.find("a warning"), std::string::npos) << "a reported quit ends the program first";
}

TEST_F(ThreadLayer, AQuitSentOnTheMainThreadIsQueuedAndReturns) {
    THREAD_send_exception(exce_class("main quit", "", "", "", "here.cpp", 7, t_quit));
    EXPECT_EXIT(THREAD_check_exception(0), ::testing::ExitedWithCode(0), "");
    EXPECT_NE(testsupport::read_file(log_path).find("main quit\n\n\n\n(here.cpp line 7)"), std::string::npos);
}

TEST_F(ThreadLayer, AfterShutdownAlertsGoStraightToTheAlertCall) {
    THREAD_shutdown();
    EXPECT_NE(log().find("Clean exit from threads."), std::string::npos);
    on_worker([] { MACIBM_alert(0, "direct warning", "", "", "", t_warn); });
    EXPECT_NE(log().find("direct warning"), std::string::npos);
}

TEST_F(ThreadLayer, DefaultAlertRecordAndItsLogLine) {
    const exce_class e;
    EXPECT_STREQ(e.file, "no exception");
    EXPECT_EQ(e.line, 0);
    EXPECT_EQ(e.type, t_crash);
    e.LogAndContinue();
    exce_class chooser("a", "b", "c", "d", "f.cpp", 3, t_lang);
    chooser.LogAndContinue();
    EXPECT_EQ(log(),
              "Logging fatal Exception thrown from file: no exception, line 0.\n\n\n\n\n"
              "Logging non-fatal Exception thrown from file: f.cpp, line 3.\na\nb\nc\nd\n");
}

void* add_one(void* p) { return static_cast<char*>(p) + 1; }

TEST_F(ThreadLayer, WithoutPoolThreadsAnAsyncCallRunsBeforeItReturns) {
    THREAD_make_workers();
    ASSERT_NE(g_threadpool, nullptr);
    EXPECT_EQ(g_threadpool->get_num_threads(), 0);
    THREAD_call* call = THREAD_run_async(add_one, reinterpret_cast<void*>(41));
    EXPECT_EQ(call->result, reinterpret_cast<void*>(42));
    EXPECT_EQ(THREAD_is_done(call, 0), 1);
    EXPECT_EQ(THREAD_cleanup(call), reinterpret_cast<void*>(42));
    EXPECT_NE(log().find("CPU count        : "), std::string::npos);
}

TEST_F(ThreadLayer, PoolSizeFromProcessorsAndNumWorkers) {
    struct row {
        int threaded;
        const char* option;   // null: no --num_workers
        int expected;         // -1: processors - 1, at least 1
    };
    const row rows[] = {
        {1, "--num_workers=0", 1}, {1, "--num_workers=3", 3}, {1, nullptr, -1}, {0, "--num_workers=3", 0},
    };
    for (const row& r : rows) {
        std::vector<const char*> argv = {"prog"};
        if (r.option) argv.push_back(r.option);
        cmdline = UTL_cmdline();
        cmdline.init_unix(static_cast<int>(argv.size()), argv.data());
        threaded = r.threaded;
        threaded_failures = 0;
        THREAD_make_workers();
        const int want = r.expected >= 0 ? r.expected : std::max(UTL_count_processors() - 1, 1);
        EXPECT_EQ(g_threadpool->get_num_threads(), want) << (r.option ? r.option : "no option");
        if (r.threaded) {
            // No worker context can be made here, so the flag drops, once.
            EXPECT_EQ(threaded, 0);
            EXPECT_EQ(threaded_failures, 1);
        }
        THREAD_shutdown();
        THREAD_init();
    }
    cmdline = UTL_cmdline();
}

TEST_F(ThreadLayer, AsyncCallOnAPoolThread) {
    threaded = 0;
    g_threadpool = new UTL_threadpool(2);
    THREAD_call* call = THREAD_run_async(
        [](void* p) -> void* {
            *static_cast<int*>(p) = THREAD_is_main_thread();
            return p;
        },
        new int(-1));
    EXPECT_EQ(THREAD_is_done(call, -1), 1);
    auto* ran_on_main = static_cast<int*>(THREAD_cleanup(call));
    EXPECT_EQ(*ran_on_main, 0);
    delete ran_on_main;
}

// Escaping exceptions turn into crash alerts; a thread ending itself is not one of them.
TEST_F(ThreadLayer, ThreadEntryTurnsEscapingExceptionsIntoCrashes) {
    struct row {
        void* (*func)(void*);
        const char* expected;
    };
    const row rows[] = {
        {[](void*) -> void* { throw std::runtime_error("boom"); }, "Caught an unhandled C++ exception\nboom\n"},
        {[](void*) -> void* { throw 5; }, "Caught an unhandled unknown exception\n"},
        {[](void*) -> void* { throw exce_class("own alert", "", "", "", "x.cpp", 9, t_warn); }, "own alert\n"},
    };
    for (const row& r : rows) {
        UTL_thread_t t{}, h2{}, h3{};
        THREAD_create(r.func, nullptr, &t, &h2, &h3, 0);
        UTL_thread_join(&t, &h2);
        EXPECT_DEATH(
            {
                enter_scratch();
                THREAD_check_exception(0);
            },
            "");
        EXPECT_NE(testsupport::read_file(log_path).find(r.expected), std::string::npos) << r.expected;
        THREAD_shutdown();
        THREAD_init();
    }

    UTL_thread_t t{}, h2{}, h3{};
    THREAD_create(
        [](void*) -> void* {
            MACIBM_alert(0, "quit from a framework thread", "", "", "", t_quit);
            return nullptr;
        },
        nullptr, &t, &h2, &h3, 0);
    UTL_thread_join(&t, &h2);
    EXPECT_EXIT(THREAD_check_exception(0), ::testing::ExitedWithCode(0), "");
    const std::string text = testsupport::read_file(log_path);
    EXPECT_NE(text.find("quit from a framework thread"), std::string::npos);
    EXPECT_EQ(text.find("unknown exception"), std::string::npos);
}

}  // namespace
