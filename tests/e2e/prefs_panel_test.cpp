// The Preferences panel in the whole program on a private X server: opened from the bottom bar,
// filled in by typing and a click, shut by its close box, and kept in the preferences file when
// the user leaves by Quit. Set VENTARO_TEST_SHOTS to a folder for a picture of the open panel.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "support/program_run.h"
#include "support/screen_pixels.h"
#include "support/temp_dir.h"
#include "support/xdo.h"
#include "support/xvfb.h"

using namespace testsupport;

namespace {

// One pixel of a picture (x right, y down from the top-left), as ImageMagick names its colour.
std::string pixel(const std::string& png, int x, int y) {
    const std::string command =
        "convert '" + png + "' -format '%[pixel:p{" + std::to_string(x) + "," + std::to_string(y) + "}]' info:";
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[128];
        while (std::fgets(buf, sizeof buf, p)) out += buf;
        ::pclose(p);
    }
    return out;
}

// Waits until the window shows a panel's title bar across its top (y from the bottom), where the
// wizard shows its background; false on time-out.
bool wait_for_panel(const xdo& d, const std::string& png, float top_y, int timeout_seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (d.screenshot(png)) {
            const std::string bar = pixel(png, 400, 600 - static_cast<int>(top_y) + 8);
            const std::string above = pixel(png, 400, 600 - static_cast<int>(top_y) - 20);
            if (!bar.empty() && bar != above) return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

// The program on the private X server, running until it is ended, with its screen log.
void on_display(program_sandbox& box, const xvfb& x) {
    box.env["SDL_VIDEODRIVER"] = "x11";
    box.env["DISPLAY"] = x.display();
    box.env["VENTARO_TEST_EXIT_AFTER_FRAMES"] = "0";
    box.env["VENTARO_TEST_SCREEN_LOG"] = "1";
}

// Waits until the program reports its Welcome screen; false on time-out.
bool wait_for_welcome(const program_sandbox& box) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (read_file(box.out_path()).find("screen: Welcome\n") == std::string::npos) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// English bottom bar: Quit from x 30, 56 wide; Preferences 40 units after it, 86 wide.
constexpr float kQuitX = 30 + 56 / 2.0f, kPrefsX = 30 + 56 + 40 + 86 / 2.0f, kBarY = 23;
// Panel 2 (700 x 380) sits at (50, 110) of the 800 x 600 window.
constexpr float kPanelX = 50, kPanelY = 110;

TEST(PrefsPanelRun, WhatIsSetInThePanelIsSavedWhenTheUserQuits) {
    temp_dir t;
    xvfb x;
    ASSERT_TRUE(x.running());
    program_sandbox box(t.path());
    on_display(box, x);
    auto run = box.start({"--lang=en"});
    xdo d(x.display(), run.pid());
    ASSERT_TRUE(d.found()) << run.err();

    ASSERT_TRUE(wait_for_welcome(box)) << run.err();
    // A press in the program's first frames can go unseen.
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));

    d.click(kPrefsX, kBarY);
    ASSERT_TRUE(wait_for_panel(d, t / "shot.png", kPanelY + 380, 30)) << run.err();
    // The host field takes the keyboard when the panel opens. Keys reach the field that has the
    // focus when they are read, and Tab moves it at once: a frame must pass between the two.
    d.type("proxy.example.test");
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    d.key("Tab");
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    d.type("3128");
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    d.click(kPanelX + 140, kPanelY + 254);   // the log box
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    if (const char* dir = std::getenv("VENTARO_TEST_SHOTS")) d.screenshot(std::string(dir) + "/prefs panel.png");
    d.click(kPanelX + 690, kPanelY + 370);   // the close box
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    d.click(kQuitX, kBarY);
    EXPECT_EQ(run.wait_exit(30), 0) << run.err();

    const std::string prefs = read_file(box.home() + "/.config/Ventaro Installer.prf");
    for (const char* line : {"\n_log_actions 1\n", "\n_proxy_host proxy.example.test\n", "\n_proxy_port 3128\n",
                             "\n_proxy_port_int 3128\n"})
        EXPECT_NE(prefs.find(line), std::string::npos) << line << " in\n" << prefs;
}

// A port outside 1..65535 from an earlier session: the panel warns inside its proxy sub-panel,
// and what the program saves is the port still in use, not the refused text.
TEST(PrefsPanelRun, ARefusedPortIsWarnedInsideThePanelAndNeverSaved) {
    temp_dir t;
    xvfb x;
    ASSERT_TRUE(x.running());
    program_sandbox box(t.path());
    on_display(box, x);
    auto run = box.start({"--lang=en", "--pref:_proxy_port=70000", "--pref:_proxy_port_int=3128"});
    xdo d(x.display(), run.pid());
    ASSERT_TRUE(d.found()) << run.err();
    ASSERT_TRUE(wait_for_welcome(box)) << run.err();

    // The first press of the run can go unseen: press until the panel shows.
    bool open = false;
    for (int i = 0; i < 5 && !open; ++i) {
        d.click(kPrefsX, kBarY, 300);
        open = wait_for_panel(d, t / "shot.png", kPanelY + 380, 10);
    }
    ASSERT_TRUE(open) << run.err();

    // The warning, right of the port field, inside the proxy sub-panel (x 10..690, y 10..80 of the
    // panel); nothing dark below that sub-panel's bottom edge.
    screen_pixels shot;
    int warning = 0;
    for (auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
         warning < 30 && std::chrono::steady_clock::now() < end;) {
        ASSERT_TRUE(shot.take(d, x.display(), t / "panel.png"));
        warning = shot.dark_pixels(int(kPanelX) + 550, int(kPanelY) + 12, int(kPanelX) + 688, int(kPanelY) + 62);
    }
    EXPECT_GE(warning, 30);
    EXPECT_EQ(shot.dark_pixels(int(kPanelX) + 12, int(kPanelY) + 1, int(kPanelX) + 688, int(kPanelY) + 9), 0);

    d.click(kPanelX + 690, kPanelY + 370, 300);   // the close box
    bool closed = false;
    for (auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
         !closed && std::chrono::steady_clock::now() < end;) {
        ASSERT_TRUE(shot.take(d, x.display(), t / "closed.png"));
        closed = shot.dark_pixels(int(kPanelX) + 550, int(kPanelY) + 12, int(kPanelX) + 688, int(kPanelY) + 62) < 30;
    }
    ASSERT_TRUE(closed);
    int code = -1;
    for (int i = 0; i < 4 && code == -1; ++i) {
        d.click(kQuitX, kBarY, 300);
        code = run.wait_exit(10);
    }
    EXPECT_EQ(code, 0) << run.err();

    const std::string prefs = read_file(box.home() + "/.config/Ventaro Installer.prf");
    for (const char* line : {"\n_proxy_port 3128\n", "\n_proxy_port_int 3128\n"})
        EXPECT_NE(prefs.find(line), std::string::npos) << line << " in\n" << prefs;
    EXPECT_EQ(prefs.find("70000"), std::string::npos) << prefs;
}

}  // namespace
