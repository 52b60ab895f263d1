// The install-set builder's program: its progress strip in the window, Q stopping the build, and
// a whole build that ends with the release checklist.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>

#include "core/shared_constants.h"
#include "support/gui_window.h"
#include "support/install_set.h"
#include "support/log_wait.h"
#include "support/program_run.h"
#include "support/temp_dir.h"
#include "support/xdo.h"
#include "support/xvfb.h"
#include "picture.h"

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

class BuilderProgram : public ::testing::Test {
protected:
    void SetUp() override {
        install_set set{"Builder Run", {}};
        for (int i = 0; i < 40; ++i)
            set.files.push_back({"All/Aircraft/fleet/plane " + std::to_string(i) + ".acf", "plane " + std::to_string(i), false, {}});
        write_master(t / "master", set);
        write_file(t / "previous.txt", previous_manifest_text(set));
        box = std::make_unique<program_sandbox>(t / "box", builder_program());
    }
    std::vector<std::string> args() const {
        return {"--lang=en", "--src_fold=" + t / "master/", "--dst_fold_base=" + t / "out/",
                "--old_dir_path=" + t / "previous.txt"};
    }
    bool wait_for_output(const std::string& needle, int seconds) const {
        return wait_for_text(box->out_path(), needle, seconds) != std::string::npos;
    }

    temp_dir t;
    std::unique_ptr<program_sandbox> box;
};

TEST_F(BuilderProgram, ItsProgressStripRunsAlongTheWindowsBottomAndQStopsTheBuild) {
    xvfb x;
    ASSERT_TRUE(x.running());
    box->env["SDL_VIDEODRIVER"] = "x11";
    box->env["DISPLAY"] = x.display();
    box->env["VENTARO_TEST_SCREEN_LOG"] = "1";
    box->env["VENTARO_TEST_BUILDER_KEY_WAIT"] = "1";
    auto run = box->start(args());
    xdo d(x.display(), run.pid());
    ASSERT_TRUE(d.found()) << run.err();
    ASSERT_TRUE(wait_for_output("builder: reg: 0: total files to compress: 53. now doing: 20.", 120))
        << run.err() << read_file(box->out_path());

    const std::string png = screenshot_path(t / "builder strip.png");
    ASSERT_TRUE(d.screenshot(png));
    Picture shot;
    ASSERT_TRUE(read_picture(png, shot));
    ASSERT_EQ(shot.width, 800);
    // A light strip 30 rows high across the whole window, with dark text on its two lines; the
    // window above it is not the strip's colour.
    int light = 0, dark_upper = 0, dark_lower = 0;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 800; ++x) {
            const unsigned c = shot.rgb(x, y);
            if (c == 0xffffff) ++light;
            const bool dark = ((c >> 16) & 0xff) < 100 && ((c >> 8) & 0xff) < 100 && (c & 0xff) < 100;
            if (dark && x >= 10 && x < 600) (y >= 15 ? dark_upper : dark_lower) += 1;
        }
    }
    EXPECT_GT(light, 800 * 30 * 8 / 10);
    EXPECT_GT(dark_upper, 100);
    EXPECT_GT(dark_lower, 100);
    EXPECT_NE(shot.rgb(400, 31), 0xffffffu);
    EXPECT_NE(shot.rgb(400, 300), 0xffffffu);

    d.key("q");
    EXPECT_EQ(run.wait_exit(60), 128 + SIGABRT) << run.err();
    EXPECT_NE(read_file(box->log_path()).find("\nYou hit Q dumbass!\n\n\n\n(Installer-f/make_installer line "),
              std::string::npos);
}

TEST_F(BuilderProgram, AWholeBuildEndsWithTheReleaseChecklist) {
    const program_result r = box->run(args(), 120);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    const std::string set = t / ("out/" + version_string + "/");
    EXPECT_TRUE(fs::exists(set + "directory.txt.zip"));
    EXPECT_TRUE(fs::exists(set + "All/Aircraft/fleet/plane 39.acf.zip"));
    EXPECT_TRUE(fs::exists(t / "out/dvd_version.txt"));
    EXPECT_NE(read_file(box->log_path()).find("\nOK compression is done. Checklist if doing net:\n"), std::string::npos);
}

}  // namespace
