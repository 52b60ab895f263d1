#pragma once
// The disc installer as a whole program on a private X server, clicked through as a person would,
// with real discs: squashfs images of a disc set built from an install set, loop-mounted
// read-only in a mount namespace of the test process's own. Mounting needs root: elsewhere the
// tests say so and skip. VENTARO_TEST_SHOTS names a folder that keeps a picture of every screen
// a test shoots ("disc <name>.png").
//
//   class Repair : public disc_run {};
//   TEST_F(Repair, ...) {
//       build_two_discs(set, 400);
//       mount_disc(disc_image(0), drive);
//       start();
//       ASSERT_TRUE(driver->wait_line(kMenuTitle));
//       ASSERT_TRUE(driver->click(choice(2).x, choice(2).y));
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/install_set.h"
#include "support/program_run.h"
#include "support/screen_driver.h"
#include "support/screen_pixels.h"
#include "support/temp_dir.h"
#include "support/xdo.h"
#include "support/xvfb.h"

namespace testsupport {

// A point of the window in interface units, y up from the bottom.
struct point {
    float x, y;
};
constexpr point kNext{770 - 89 / 2.0f, 23};   // English art; also Continue on the disc change screen
// The main menu's choices, first at the top, 25 units apart.
constexpr point choice(int n) { return {500, 350 - 25.0f * float(n)}; }
// The engine's keep-or-overwrite question (panel 996, 750 x 146, centred): its first button.
constexpr point kOverwriteOldFile{25 + 96, 227 + 53};

const char* const kMenuTitle = "screen: Ventaro 9 Installer";

// The world map's lower-left corner and its tiles' size.
constexpr float kMapLeft = 248, kMapBottom = 150, kTile = 14;
inline point tile_middle(int j, int i) {
    return {kMapLeft + kTile * float(j) + kTile / 2, kMapBottom + kTile * float(i) + kTile / 2};
}

// A pixel of the picture at interface point (x, y), y counted up from the bottom.
rgb pixel(const screen_pixels& p, int x, int y);
int apart(const rgb& a, const rgb& b);
// Pixels of the box [x0, x1] x [y0, y1] unlike the colour at its first corner: text or art there.
int ink(const screen_pixels& p, int x0, int y0, int x1, int y1);

class disc_run : public ::testing::Test {
protected:
    // The mount namespace is made before any thread or helper process exists.
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    // Lays the set out as a master folder and builds it as a set of exactly two discs, a disc
    // full after disk_full_kb kilobytes of archives; disc_image(n) is disc n + 1.
    void build_two_discs(const install_set& s, float disk_full_kb);
    std::string disc_image(int n) const;
    // True when disc n + 1 holds the archive of the set file at master path.
    bool disc_holds(int n, const std::string& path) const;
    // Out with the disc in the drive, in with disc n + 1, as a person swaps discs.
    void swap_to_disc(int n);
    // A disc that is not one of this set's: its identification file as given, nothing else.
    void mount_foreign_disc(const std::string& version_text);

    // Makes folder (ending in '/') a copy the installer knows of: the folders an installed copy
    // has, and the registration that lists it.
    void register_copy(const std::string& folder);

    void start(const std::vector<std::string>& args = {"--lang=en"});
    // Stops the run and starts afresh with a new screen log.
    void stop();

    bool log_holds(const std::string& text, int timeout_seconds = 180) const;
    int count_in_log(const std::string& text) const;
    // The text the screen log gave the latest screen of this title ("" when none), its line ends
    // written as the log writes them: "\n".
    std::string screen_text(const std::string& title) const;

    // A picture of the window a few frames on, kept when VENTARO_TEST_SHOTS names a folder.
    screen_pixels shot(const std::string& name);
    // A picture of a screen that may be gone a few frames on (a scan, a short install): taken
    // with the program stopped as soon as the screen log names the screen the nth time, then let
    // go. True when the program still showed that screen; otherwise no picture is kept.
    bool frozen_shot(const std::string& name, const std::string& screen_line, int nth = 1);

    // Every file below root (hidden ones too) and its MD5, by its path below root.
    static std::map<std::string, std::string> tree(const std::string& root);

    temp_dir t;
    std::unique_ptr<xvfb> x;
    std::unique_ptr<program_sandbox> box;
    std::unique_ptr<program_sandbox::running> run;
    std::unique_ptr<xdo> window;
    std::unique_ptr<screen_driver> driver;
    std::string drive;   // the drive's mount point
    install_set set;

private:
    std::string shot_path(const std::string& name) const;

    static inline bool mountable_ = false;
    static inline std::string why_;
};

}  // namespace testsupport
