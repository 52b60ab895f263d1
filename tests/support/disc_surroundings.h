#pragma once
// What a disc screen test runs in: its own desktop and preference folders beneath the test's
// folder, and a mount table of its own with the install disc mounted or none. The environment
// and the system's mount table come back when it goes.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/install_media.h"
#include "support/temp_dir.h"

namespace testsupport {

class disc_surroundings {
public:
    explicit disc_surroundings(const temp_dir& t) : t_(t) {
        for (const char* name : {"XDG_DESKTOP_DIR", "XDG_CONFIG_HOME"}) {
            const char* v = std::getenv(name);
            saved_.emplace_back(name, v ? v : "");
        }
        std::filesystem::create_directories(t / "desk");
        std::filesystem::create_directories(t / "config");
        setenv("XDG_DESKTOP_DIR", (t / "desk").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (t / "config").c_str(), 1);
        mount("");
        platform_set_mount_table(t / "mounts");
    }
    ~disc_surroundings() {
        platform_set_mount_table("");
        for (const auto& [k, v] : saved_) setenv(k.c_str(), v.c_str(), 1);
    }
    disc_surroundings(const disc_surroundings&) = delete;
    disc_surroundings& operator=(const disc_surroundings&) = delete;

    // The disc's volume mounted at folder; "" takes it out.
    void mount(const std::string& folder) {
        write_file(t_ / "mounts",
                   "proc /proc proc rw 0 0\n" + (folder.empty() ? "" : "/dev/sr0 " + folder + " squashfs ro 0 0\n"));
    }

private:
    const temp_dir& t_;
    std::vector<std::pair<std::string, std::string>> saved_;
};

}  // namespace testsupport
