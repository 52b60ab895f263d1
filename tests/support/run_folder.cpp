#include "support/run_folder.h"

#include <fcntl.h>
#include <ftw.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace testsupport {

namespace {

std::string g_folder;
pid_t g_owner = 0;

int remove_entry(const char* path, const struct stat*, int type, struct FTW*) {
    if (type == FTW_DP || type == FTW_D || type == FTW_DNR) ::rmdir(path);
    else ::unlink(path);
    return 0;
}

int open_up(const char* path, const struct stat* st, int type, struct FTW*) {
    if (type == FTW_D || type == FTW_DNR) ::chmod(path, (st->st_mode & 07777) | S_IRWXU);
    return 0;
}

void sweep_at_exit() {
    // Only the program that made the folder sweeps it; forked children leave it to their parent.
    if (::getpid() == g_owner && !g_folder.empty()) {
        if (::chdir("/") != 0) return;
        remove_tree(g_folder);
    }
}

// A child that outlives the program: it waits until every holder of the pipe's write end is
// gone (the program and what it forked without running another program), then sweeps.
void start_sweeper(const std::string& folder) {
    int fds[2];
    if (::pipe(fds) != 0) return;
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return;
    }
    if (pid == 0) {
        ::setsid();   // out of the test's process group, so a kill of the group leaves it
        ::signal(SIGINT, SIG_IGN);
        ::signal(SIGHUP, SIG_IGN);
        const int null = ::open("/dev/null", O_RDWR);
        for (int fd = 0; fd < 3; ++fd) ::dup2(null, fd);
        const long open_max = ::sysconf(_SC_OPEN_MAX);
        for (int fd = 3; fd < (open_max > 0 ? open_max : 1024); ++fd)
            if (fd != fds[0]) ::close(fd);
        char byte;
        while (::read(fds[0], &byte, 1) != 0) {
        }
        if (::chdir("/") == 0) remove_tree(folder);
        ::_exit(0);
    }
    ::close(fds[0]);
    // Closed in any program the test starts: only the test program and its forks hold it.
    ::fcntl(fds[1], F_SETFD, FD_CLOEXEC);
}

}  // namespace

void remove_tree(const std::string& path) {
    ::nftw(path.c_str(), open_up, 32, FTW_PHYS);
    ::nftw(path.c_str(), remove_entry, 32, FTW_DEPTH | FTW_PHYS);
}

const std::string& run_folder() { return g_folder; }

void enter_run_folder() {
    if (const char* inherited = std::getenv("VENTARO_TEST_RUN_FOLDER"); inherited && *inherited) {
        // A death-test child started again: the folder is its parent's.
        g_folder = inherited;
        if (::chdir(g_folder.c_str()) != 0) std::perror(g_folder.c_str());
        return;
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/ventaro-test-run-XXXXXX";
    if (!::mkdtemp(tmpl.data())) {
        std::perror("mkdtemp");
        std::exit(2);
    }
    g_folder = tmpl;
    g_owner = ::getpid();
    ::setenv("TMPDIR", g_folder.c_str(), 1);
    ::setenv("VENTARO_TEST_RUN_FOLDER", g_folder.c_str(), 1);
    if (::chdir(g_folder.c_str()) != 0) {
        std::perror(g_folder.c_str());
        std::exit(2);
    }
    start_sweeper(g_folder);
    std::atexit(sweep_at_exit);
}

}  // namespace testsupport
