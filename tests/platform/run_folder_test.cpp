// A test program leaves nothing in the temporary folder, whichever way it ends: this program runs
// itself as the child test below, in a temporary folder of its own, and looks at what stays.
#include "support/run_folder.h"

#include <gtest/gtest.h>
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

extern char** environ;

namespace {

// How the child ends; only the child run sets it.
constexpr const char* kCase = "VENTARO_TEST_RUN_FOLDER_CASE";

void leave_things() {
    // What tests leave: a crash report in the current folder, a fixture folder under TMPDIR
    // that was never removed, and a folder the test made read-only.
    testsupport::write_file("stack_crawl.txt", "crawl");
    std::string kept = std::string(std::getenv("TMPDIR")) + "/ventaro-test-XXXXXX";
    ASSERT_NE(::mkdtemp(kept.data()), nullptr);
    testsupport::write_file(kept + "/c.png", "png");
    testsupport::write_file(kept + "/locked/MemoryLog.txt", "log");
    ::chmod((kept + "/locked").c_str(), 0500);
}

// A forked helper that outlives the test program a moment and writes where it ran.
void fork_straggler() {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::close(fds[1]);
        char byte;
        while (::read(fds[0], &byte, 1) > 0) {
        }
        const int fd = ::open("straggler.txt", O_WRONLY | O_CREAT, 0644);
        if (fd >= 0) ::close(fd);
        ::_exit(0);
    }
    ::close(fds[0]);   // the write end goes when this program ends
}

TEST(RunFolderChild, LeavesThingsBehindAndEndsAsItIsTold) {
    const char* how = std::getenv(kCase);
    if (!how) GTEST_SKIP() << "runs only as the child of RunFolder";
    const std::string mode = how;
    leave_things();
    fork_straggler();
    if (mode == "death") {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        EXPECT_DEATH(
            {
                leave_things();
                std::abort();
            },
            "");
    }
    if (mode == "fail") ADD_FAILURE() << "failing on purpose";
    if (mode == "abort") std::abort();
    if (mode == "kill") ::raise(SIGKILL);
}

std::vector<std::string> entries(const std::string& folder) {
    std::vector<std::string> out;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..") out.push_back(n);
        }
        ::closedir(d);
    }
    return out;
}

TEST(RunFolder, NothingStaysInTheTemporaryFolderWhicheverWayTheProgramEnds) {
    ASSERT_FALSE(testsupport::run_folder().empty());
    char here[4096];
    ASSERT_NE(::getcwd(here, sizeof here), nullptr);
    EXPECT_EQ(std::string(here), testsupport::run_folder()) << "the program runs in its run folder";

    struct end_case {
        const char* mode;
        bool passes;
    };
    for (const end_case c : {end_case{"pass", true}, {"fail", false}, {"death", true}, {"abort", false},
                             {"kill", false}}) {
        SCOPED_TRACE(c.mode);
        testsupport::temp_dir outer;
        const std::string self = "/proc/self/exe";
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string kv = *e;
            if (kv.rfind("TMPDIR=", 0) == 0 || kv.rfind("VENTARO_TEST_RUN_FOLDER=", 0) == 0) continue;
            env.push_back(kv);
        }
        env.push_back("TMPDIR=" + outer.path());
        env.push_back(std::string(kCase) + "=" + c.mode);
        std::vector<std::string> args = {self, "--gtest_filter=RunFolderChild.*"};
        std::vector<char*> argv, envp;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        ASSERT_EQ(::posix_spawn(&pid, self.c_str(), &actions, nullptr, argv.data(), envp.data()), 0);
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_EQ(WIFEXITED(status) && WEXITSTATUS(status) == 0, c.passes) << status;

        // The sweeper reports nothing; the folder emptying is the state to wait for.
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!entries(outer.path()).empty() && std::chrono::steady_clock::now() < give_up)
            std::this_thread::yield();
        std::string left;
        for (const std::string& n : entries(outer.path())) left += n + " ";
        EXPECT_EQ(left, "") << "left in the temporary folder";
    }
}

}  // namespace
