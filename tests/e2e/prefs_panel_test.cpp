// The Preferences panel in the whole program on a private X server: opened from the bottom bar,
// filled in by typing and a click, shut by its close box, and kept in the preferences file when
// the user leaves by Quit. Set VENTARO_TEST_SHOTS to a folder for a picture of the open panel.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "support/program_run.h"
#include "support/screen_driver.h"
#include "support/screen_pixels.h"
#include "support/temp_dir.h"
#include "support/xdo.h"
#include "support/xvfb.h"

using namespace testsupport;

namespace {

// The program on the private X server, running until it is ended, with its screen log.
void on_display(program_sandbox& box, const xvfb& x) {
    box.env["SDL_VIDEODRIVER"] = "x11";
    box.env["DISPLAY"] = x.display();
    box.env["VENTARO_TEST_EXIT_AFTER_FRAMES"] = "0";
    box.env["VENTARO_TEST_SCREEN_LOG"] = "1";
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
    screen_driver s(d, box.out_path(), run);

    ASSERT_TRUE(s.wait_line("screen: Welcome")) << run.err();
    ASSERT_TRUE(s.click(kPrefsX, kBarY)) << s.log();
    ASSERT_TRUE(s.wait_line("panel 2")) << run.err() << s.log();
    // The host field takes the keyboard when the panel opens; each key is taken by a frame before
    // the next is sent, so Tab moves the focus only after the host is in.
    ASSERT_TRUE(s.type("proxy.example.test")) << s.log();
    ASSERT_TRUE(s.key("Tab")) << s.log();
    ASSERT_TRUE(s.type("3128")) << s.log();
    ASSERT_TRUE(s.click(kPanelX + 140, kPanelY + 254)) << s.log();   // the log box
    if (const char* dir = std::getenv("VENTARO_TEST_SHOTS")) d.screenshot(std::string(dir) + "/prefs panel.png");
    ASSERT_TRUE(s.click(kPanelX + 690, kPanelY + 370)) << s.log();   // the close box
    ASSERT_TRUE(s.wait_line("panel 0")) << s.log();
    ASSERT_TRUE(s.click(kQuitX, kBarY)) << s.log();
    EXPECT_EQ(run.wait_exit(120), 0) << run.err();

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
    screen_driver s(d, box.out_path(), run);
    ASSERT_TRUE(s.wait_line("screen: Welcome")) << run.err();
    ASSERT_TRUE(s.click(kPrefsX, kBarY)) << s.log();
    ASSERT_TRUE(s.wait_line("panel 2")) << run.err() << s.log();

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

    ASSERT_TRUE(s.click(kPanelX + 690, kPanelY + 370)) << s.log();   // the close box
    ASSERT_TRUE(s.wait_line("panel 0")) << s.log();
    ASSERT_TRUE(s.click(kQuitX, kBarY)) << s.log();
    EXPECT_EQ(run.wait_exit(120), 0) << run.err();

    const std::string prefs = read_file(box.home() + "/.config/Ventaro Installer.prf");
    for (const char* line : {"\n_proxy_port 3128\n", "\n_proxy_port_int 3128\n"})
        EXPECT_NE(prefs.find(line), std::string::npos) << line << " in\n" << prefs;
    EXPECT_EQ(prefs.find("70000"), std::string::npos) << prefs;
}

}  // namespace
