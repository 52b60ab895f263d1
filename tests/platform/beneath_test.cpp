#include "platform/beneath.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <functional>
#include <string>

#include "support/temp_dir.h"

using testsupport::exists;
using testsupport::read_file;
using testsupport::temp_dir;
using testsupport::write_file;

namespace {

// root/ holds a real folder, a link to it and a link out; outside/ must never change.
class Beneath : public ::testing::Test {
protected:
    void SetUp() override {
        write_file(t / "root/sub/file", "inside");
        write_file(t / "outside/victim", "precious");
        ::chmod((t / "outside/victim").c_str(), 0600);
        ASSERT_EQ(::symlink("sub", (t / "root/inner").c_str()), 0);
        ASSERT_EQ(::symlink((t / "outside").c_str(), (t / "root/esc").c_str()), 0);
        ASSERT_EQ(::symlink("../outside", (t / "root/up").c_str()), 0);
        root = ::open((t / "root").c_str(), O_PATH | O_DIRECTORY);
        ASSERT_GE(root, 0);
    }
    void TearDown() override {
        ::close(root);
        platform::beneath_force_walk_for_test(false);
    }
    mode_t mode_of(const std::string& p) {
        struct stat st;
        return ::lstat(p.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
    }
    temp_dir t;
    int root = -1;
};

// Every operation through a link that leaves the root is refused and changes nothing outside.
TEST_F(Beneath, OperationsThroughALinkOutAreRefused) {
    const struct {
        const char* what;
        std::function<int(int)> op;
    } ops[] = {
        {"mkdir", [](int r) { return platform::mkdir_beneath(r, "esc/made", 0755); }},
        {"unlink", [](int r) { return platform::unlink_beneath(r, "esc/victim"); }},
        {"rmdir", [](int r) { return platform::rmdir_beneath(r, "up/../outside"); }},
        {"rename", [](int r) { return platform::rename_beneath(r, "esc/", "victim", "moved"); }},
        {"chmod through the folder", [](int r) { return platform::chmod_beneath(r, "esc/victim", 0777); }},
        {"chmod of a link out", [](int r) {
             return ::symlinkat("../outside/victim", r, "vl") == 0 ? platform::chmod_beneath(r, "vl", 0777) : -1;
         }},
        {"open", [](int r) { return platform::open_beneath(r, "up/victim", O_WRONLY | O_TRUNC) < 0 ? errno : 0; }},
        {"count", [](int r) { return platform::count_visible_beneath(r, "esc") < 0 ? errno : 0; }},
    };
    for (const bool walk : {false, true}) {
        platform::beneath_force_walk_for_test(walk);
        for (const auto& o : ops) {
            SCOPED_TRACE(std::string(o.what) + (walk ? " (walking)" : ""));
            EXPECT_NE(o.op(root), 0);
            EXPECT_EQ(read_file(t / "outside/victim"), "precious");
            EXPECT_EQ(mode_of(t / "outside/victim"), 0600u);
            EXPECT_FALSE(exists(t / "outside/made"));
            EXPECT_FALSE(exists(t / "outside/moved"));
            ::unlinkat(root, "vl", 0);
        }
    }
}

// A whole tree goes, hidden entries and links included; what the links lead to stays.
TEST_F(Beneath, RemovingATreeTakesEverythingAndFollowsNoLink) {
    write_file(t / "root/sub/.hidden", "h");
    write_file(t / "root/sub/deeper/.vtz1_2", "staged");
    ASSERT_EQ(::symlink((t / "outside").c_str(), (t / "root/sub/deeper/out").c_str()), 0);
    EXPECT_EQ(platform::remove_tree_beneath(root, "sub"), 0);
    EXPECT_FALSE(exists(t / "root/sub"));
    EXPECT_EQ(read_file(t / "outside/victim"), "precious");
    EXPECT_EQ(platform::remove_tree_beneath(root, "sub"), 0);     // already gone
    EXPECT_EQ(platform::remove_tree_beneath(root, "esc"), 0);     // a link: only the link goes
    EXPECT_EQ(read_file(t / "outside/victim"), "precious");
    EXPECT_EQ(platform::remove_tree_beneath(root, "up/victim"), EXDEV);
}

TEST_F(Beneath, OperationsInsideTheRootWork) {
    EXPECT_EQ(platform::mkdir_beneath(root, "sub/made", 0755), 0);
    EXPECT_EQ(platform::mkdir_beneath(root, "sub/made", 0755), EEXIST);
    EXPECT_EQ(platform::rename_beneath(root, "sub/", "made", "renamed"), 0);
    EXPECT_EQ(platform::count_visible_beneath(root, "sub"), 2);
    EXPECT_EQ(platform::rmdir_beneath(root, "sub/renamed"), 0);
    EXPECT_EQ(platform::chmod_beneath(root, "inner/file", 0700), 0) << "a link inside is followed";
    EXPECT_EQ(mode_of(t / "root/sub/file"), 0700u);
    struct stat st;
    EXPECT_EQ(platform::lstat_beneath(root, "inner", st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(platform::unlink_beneath(root, "esc"), 0) << "a link out can itself be deleted";
    EXPECT_TRUE(exists(t / "outside/victim"));
    EXPECT_EQ(platform::unlink_beneath(root, "inner/file"), 0);
    EXPECT_FALSE(exists(t / "root/sub/file"));
}

// Some container sandboxes answer openat2 with EPERM rather than ENOSYS: the walk must take over,
// so files in subfolders can still be opened, and links out are still refused.
TEST_F(Beneath, ASandboxThatRefusesOpenat2WithEpermFallsBackToTheWalk) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        struct sock_filter filter[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, arch)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_openat2, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EPERM & SECCOMP_RET_DATA)),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        };
        struct sock_fprog prog = {sizeof filter / sizeof filter[0], filter};
        if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &prog) != 0)
            ::_exit(10);
        const int in_sub = platform::open_beneath(root, "sub/file", O_RDONLY);
        if (in_sub < 0) ::_exit(1);
        const int out = platform::open_beneath(root, "esc/victim", O_RDONLY);
        if (out >= 0) ::_exit(2);
        ::_exit(platform::mkdir_beneath(root, "sub/made", 0755) == 0 ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 10) GTEST_SKIP() << "seccomp filters are not allowed here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(exists(t / "root/sub/made"));
}

}  // namespace
