#include "support/disc_images.h"

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "platform/spawn.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace testsupport {

namespace {

bool on_path(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':'))
        if (!dir.empty() && ::access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    // mksquashfs lives in /usr/sbin on some systems, outside an ordinary user's PATH.
    return ::access(("/usr/sbin/" + program).c_str(), X_OK) == 0;
}

std::string find_program(const std::string& program) {
    return ::access(("/usr/sbin/" + program).c_str(), X_OK) == 0 ? "/usr/sbin/" + program : program;
}

}  // namespace

bool disc_mounts_possible(std::string* why) {
    static std::once_flag once;
    static std::string reason;
    std::call_once(once, [] {
        if (::geteuid() != 0) {
            reason = "mounting disc images needs root";
            return;
        }
        if (!on_path("mksquashfs") || !on_path("mount") || !on_path("umount")) {
            reason = "mksquashfs, mount or umount is missing (scripts/bootstrap installs them)";
            return;
        }
        if (::unshare(CLONE_NEWNS) != 0) {
            reason = std::string("no mount namespace of our own: ") + std::strerror(errno);
            return;
        }
        // Mounts made here must not show up in the system's namespace.
        if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            reason = std::string("cannot make the mounts private: ") + std::strerror(errno);
            return;
        }
    });
    if (why) *why = reason;
    return reason.empty();
}

void make_disc_image(const std::string& folder, const std::string& image) {
    const int r = platform::run_and_wait(find_program("mksquashfs"),
                                         {"mksquashfs", folder, image, "-noappend", "-quiet", "-no-progress"});
    if (r != 0) throw std::runtime_error("mksquashfs failed for " + folder);
}

void mount_disc(const std::string& image, const std::string& mount_point) {
    fs::create_directories(mount_point);
    // The machine's few loop devices are shared with every test running beside this one: a
    // mount that finds none free is tried again once another may have been let go.
    for (int attempt = 0;; ++attempt) {
        if (platform::run_and_wait("mount", {"mount", "-o", "loop,ro", image, mount_point}) == 0) return;
        if (attempt == 100) throw std::runtime_error("cannot mount " + image + " at " + mount_point);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
}

void unmount_disc(const std::string& mount_point) {
    if (platform::run_and_wait("umount", {"umount", mount_point}) != 0)
        throw std::runtime_error("cannot unmount " + mount_point);
}

bool is_mounted(const std::string& mount_point) {
    std::ifstream in("/proc/self/mounts");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string device, target;
        if (fields >> device >> target && target == mount_point) return true;
    }
    return false;
}

}  // namespace testsupport
