#pragma once
// The install-set builder's tests: a small master folder of tiny non-empty files (the skeleton
// every master holds, and a few of the test's own), built into out/; builds that must stop are
// run in a child process, and the crash alert's four lines are read back from the log.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/shared_constants.h"
#include "files/md5.h"
#include "install/builder_compress.h"
#include "install/builder_display.h"
#include "install/install_builder.h"
#include "support/install_set.h"
#include "support/temp_dir.h"

namespace testsupport {

using alert_lines = std::array<std::string, 4>;

class BuilderTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The child must share this test's folder.
        GTEST_FLAG_SET(death_test_style, "fast");
        ASSERT_TRUE(xer.open(t / "log.txt"));
        set.name = "Test Set";
        for (const char* path : {"All/Aircraft/a.acf", "All/Aircraft/b.acf", "All/Airfoils/c.afl",
                                 "All/Instructions/Read Me.txt", "All/Resources/sounds/engine.wav",
                                 "Macintosh/Ventaro.app/Contents/MacOS/Ventaro", "Windows/Ventaro.dat",
                                 "Linux/Ventaro-x86_64", "All/Weapons/missile.wpn", "All/Output/keep.txt"})
            set.files.push_back({path, std::string("contents of ") + path, false, {}});
    }
    void TearDown() override {
        xer.close();
        g_builder_display = builder_display{};
        comp_md5 = &calc_file_md5;
    }

public:
    std::string master() const { return t / "master/"; }
    std::string out() const { return t / "out/"; }
    std::string previous() const { return t / "previous.txt"; }
    std::string web_set() const { return out() + version_string + "/"; }

    // Writes the master folder and the previous manifest of the set.
    void lay_out() {
        write_master(t / "master", set);
        write_file(previous(), previous_manifest_text(set));
    }
    // A disc set goes into disk folders of an output folder that is there already.
    void build(int type = 0, float disk_kb = 7670000.0f, int threads = 0) {
        if (type == 1) std::filesystem::create_directories(out());
        build_from_master(type, master(), out(), previous(), disk_kb, threads);
    }
    // The build's crash alert, run in a child process from the current master folder.
    alert_lines crash_of(int type = 0, float disk_kb = 7670000.0f) {
        EXPECT_TRUE(xer.open(t / "log.txt"));
        EXPECT_EXIT(
            {
                // The crash leaves its stack crawl and memory report in the current folder.
                if (::chdir(t.path().c_str()) != 0) std::_Exit(9);
                build(type, disk_kb);
                std::_Exit(0);
            },
            ::testing::KilledBySignal(SIGABRT), "");
        return last_alert(read_file(t / "log.txt"));
    }
    // The four lines before the builder's source line at the end of the log.
    static alert_lines last_alert(const std::string& log) {
        alert_lines lines;
        size_t end = log.rfind("\n(Installer-f/make_installer line ");
        if (end == std::string::npos) return lines;
        for (int i = 3; i >= 0; --i) {
            const size_t start = log.rfind('\n', end - 1);
            if (start == std::string::npos) return alert_lines{};
            lines[i] = log.substr(start + 1, end - start - 1);
            end = start;
        }
        return lines;
    }

    temp_dir t;
    install_set set;
};

}  // namespace testsupport
