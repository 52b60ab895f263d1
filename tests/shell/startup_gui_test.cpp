// The whole program under a private X server: its window, its log and its end.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <regex>
#include <thread>

#include "support/program_run.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"

using namespace testsupport;

namespace {

struct geometry {
    int x = -1, y = -1, w = 0, h = 0;
};

// Finds the program's window and reads its place and size, polling until it shows.
geometry find_window(const std::string& display, std::future<program_result>& run) {
    for (int attempt = 0; attempt < 600; ++attempt) {
        if (run.wait_for(std::chrono::milliseconds(50)) == std::future_status::ready) break;
        std::string ids;
        if (run_with_display(display, {"xdotool", "search", "--onlyvisible", "--name", "Ventaro Installer"}, &ids) != 0)
            continue;
        const std::string id = ids.substr(0, ids.find('\n'));
        std::string text;
        if (run_with_display(display, {"xdotool", "getwindowgeometry", id}, &text) != 0) continue;
        std::smatch m;
        geometry g;
        if (std::regex_search(text, m, std::regex("Position: (-?\\d+),(-?\\d+)"))) {
            g.x = std::stoi(m[1]);
            g.y = std::stoi(m[2]);
        }
        if (std::regex_search(text, m, std::regex("Geometry: (\\d+)x(\\d+)"))) {
            g.w = std::stoi(m[1]);
            g.h = std::stoi(m[2]);
            return g;
        }
    }
    return {};
}

class StartupOnX : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.running()) << "Xvfb did not start";
        box.env["SDL_VIDEODRIVER"] = "x11";
        box.env["DISPLAY"] = server.display();
        // Long enough to look at the window; the run ends by itself.
        box.env["VENTARO_TEST_EXIT_AFTER_FRAMES"] = "150";
    }

    xvfb server;
    temp_dir tmp;
    program_sandbox box{tmp.path()};
};

TEST_F(StartupOnX, OpensAnEightHundredBySixHundredWindowLogsTheGraphicsAndEndsCleanly) {
    auto run = std::async(std::launch::async, [&] { return box.run({"--lang=en"}, 120); });
    const geometry g = find_window(server.display(), run);
    const program_result r = run.get();

    EXPECT_EQ(g.w, 800);
    EXPECT_EQ(g.h, 600);
    EXPECT_EQ(g.x, 0);
    EXPECT_EQ(g.y, 40);
    EXPECT_EQ(r.exit_code, 0) << r.err;

    const std::string log = read_file(box.log_path());
    for (const char* line : {"\nAGL_RGBA         : 1\n", "\nAGL_DOUBLEBUFFER : 1\n", "\nAGL_RED_SIZE     : 8\n",
                             "\nAGL_DEPTH_SIZE   : ", "\nOpenGL Vendor    : ", "\nOpenGL Render    : llvmpipe",
                             "\nOpenGL Version   : ", "\nthreaded_avail   : 0\n", "\nvbo_avail        : 1\n",
                             "\nmax texture size : ", "\nidx in vram      : 1\n", "\nuse_vsync2       : 0\n",
                             "\nCPU count        : ", "\nClean exit from threads.\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log.substr(0, 3000);
    // The pixel format comes before the capabilities, and the thread layer stops last.
    EXPECT_LT(log.find("AGL_RGBA"), log.find("OpenGL Vendor"));
    EXPECT_EQ(log.rfind("Clean exit from threads.\n"), log.size() - std::string("Clean exit from threads.\n").size());
    // A display of 1280x1024 keeps the window: the display is listed once, at the end.
    EXPECT_EQ(r.out, "Activate evt.\nDisplay 0: 0.000000,0.000000,1280.000000,1024.000000\n");
}

TEST_F(StartupOnX, ASmallDisplayRunsFullScreenAtTenTwentyFourAndIsRestoredAtExit) {
    box.env["VENTARO_TEST_DISPLAY_MODES"] = "800x600x24@60,640x480x24@60,1024x768x16@60,1024x768x24@60,1280x1024x24@60";
    auto run = std::async(std::launch::async, [&] { return box.run({"--lang=en"}, 120); });
    const geometry g = find_window(server.display(), run);
    const program_result r = run.get();

    EXPECT_EQ(g.x, 0);
    EXPECT_EQ(g.y, 0);
    EXPECT_EQ(g.w, 1024);
    EXPECT_EQ(g.h, 768);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    // Switched to the best mode of at least 1024x768 before the window, back to 800x600 at exit.
    const std::string switched = "Display 0: 0.000000,0.000000,1024.000000,768.000000\n";
    const std::string restored = "Display 0: 0.000000,0.000000,800.000000,600.000000\n";
    ASSERT_NE(r.out.find(switched), std::string::npos) << r.out;
    EXPECT_EQ(r.out.rfind(restored), r.out.size() - restored.size()) << r.out;
    EXPECT_LT(r.out.find(switched), r.out.find(restored));
}

}  // namespace

namespace {

TEST(StartupLanguage, TheCommandLineOrTheSystemPicksTheLanguageAndItsTranslationIsLoaded) {
    testsupport::temp_dir tmp;
    testsupport::program_sandbox box(tmp.path());
    box.env["LANGUAGE"] = "de_DE";
    box.env["LANG"] = box.env["LC_ALL"] = box.env["LC_MESSAGES"] = "";
    const testsupport::program_result fr = box.run({"--lang=fr"});
    EXPECT_EQ(fr.exit_code, 0) << fr.err;
    EXPECT_NE(testsupport::read_file(box.log_path()).find(" ==== CHANGING LANGUAGE TO: Fran\xC3\xA7" "ais. ====\n"),
              std::string::npos);

    const testsupport::program_result de = box.run({});
    EXPECT_EQ(de.exit_code, 0) << de.err;
    EXPECT_NE(testsupport::read_file(box.log_path()).find(" ==== CHANGING LANGUAGE TO: Deutsch. ====\n"),
              std::string::npos);

    // No language anywhere: the chooser (answered unattended) leaves English, which loads nothing.
    box.env["LANGUAGE"] = "";
    const testsupport::program_result none = box.run({});
    EXPECT_EQ(none.exit_code, 0) << none.err;
    EXPECT_EQ(testsupport::read_file(box.log_path()).find("CHANGING LANGUAGE"), std::string::npos);
}

}  // namespace
