// The disc installer as a whole program on a private X server, clicked through as a person would,
// with real discs: squashfs images of a built disc set, loop-mounted read-only in a mount
// namespace of this test's own. The main menu with no disc, with discs that are not this set's,
// and with a disc and an installed copy (Run starts the copy, Install A Second Copy goes on); and
// an install across two discs that picks two scenery tiles on the world map, swapping the discs
// when asked. Mounting needs root: elsewhere the tests say so and skip.
// VENTARO_TEST_SHOTS names a folder that keeps a picture of every screen.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/spawn.h"
#include "support/disc_images.h"
#include "support/install_set.h"
#include "support/log_wait.h"
#include "support/program_run.h"
#include "support/screen_driver.h"
#include "support/screen_pixels.h"
#include "support/temp_dir.h"
#include "support/xdo.h"
#include "support/xvfb.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

struct point {
    float x, y;
};
constexpr point kNext{770 - 89 / 2.0f, 23};   // English art; also Continue on the disc change screen
constexpr point kAgreeBox{250, 303};
constexpr point kFirstChoice{500, 350};    // Run Ventaro Now
constexpr point kSecondChoice{500, 326};   // Install A Second Copy of Ventaro
// The world map's lower-left corner and its tiles' size.
constexpr float kMapLeft = 248, kMapBottom = 150, kTile = 14;

const char* const kMenuTitle = "screen: Ventaro 9 Installer";

// Tiles of scenery by their folder and file, and their place on the map (column, row).
struct tile {
    const char* path;
    int j, i;
};
const tile kTiles[] = {{"All/Global Scenery/+40-130/+43-125.dsf", 5, 13},
                       {"All/Global Scenery/+10+020/+14+024.dsf", 20, 10},
                       {"All/Global Scenery/+30+140/+36+143.dsf", 32, 12}};

point tile_middle(int j, int i) { return {kMapLeft + kTile * j + kTile / 2, kMapBottom + kTile * i + kTile / 2}; }

// A pixel of the picture at interface point (x, y), y counted up from the bottom.
rgb pixel(const screen_pixels& p, int x, int y) {
    const size_t at = (size_t(599 - y) * size_t(p.width) + size_t(x)) * 3;
    return {p.rgb[at], p.rgb[at + 1], p.rgb[at + 2]};
}
int apart(const rgb& a, const rgb& b) { return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b); }
// Pixels of the box [x0, x1] x [y0, y1] unlike the colour at its first corner: text or art there.
int ink(const screen_pixels& p, int x0, int y0, int x1, int y1) {
    const rgb ground = pixel(p, x0, y0);
    int n = 0;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) n += apart(pixel(p, x, y), ground) != 0;
    return n;
}

class DiscInstall : public ::testing::Test {
protected:
    // The mount namespace is made before any thread or helper process exists.
    static void SetUpTestSuite() { mountable_ = disc_mounts_possible(&why_); }

    void SetUp() override {
        if (!mountable_) GTEST_SKIP() << "disc images cannot be mounted here: " << why_;
        x = std::make_unique<xvfb>();
        ASSERT_TRUE(x->running());
        box = std::make_unique<program_sandbox>(t.path(), program_bundle{VENTARO_TEST_DISC_BUNDLE, "Ventaro Disc Installer"});
        box->env["SDL_VIDEODRIVER"] = "x11";
        box->env["DISPLAY"] = x->display();
        box->env["VENTARO_TEST_EXIT_AFTER_FRAMES"] = "0";
        box->env["VENTARO_TEST_SCREEN_LOG"] = "1";
        drive = t.path() + "/drive";
    }
    void TearDown() override {
        driver.reset();
        window.reset();
        run.reset();
        while (!drive.empty() && is_mounted(drive)) unmount_disc(drive);
    }

    // The simulator's files and scenery in three tiles, built as a set of two discs, each disc
    // an image.
    void build_two_discs() {
        set = install_set{"Set 9", {}};
        set.files.push_back({"All/Resources/big.dat", random_bytes(200000, 1), false, {}});
        for (size_t k = 0; k < std::size(kTiles); ++k)
            set.files.push_back({kTiles[k].path, random_bytes(150000, 10 + unsigned(k)), false, {}});
        write_master(t / "master", set);
        // Scenery ships as 7z archives, lying beside the master's files for the builder to take.
        for (const tile& tl : kTiles) {
            const std::string file = t / ("master/" + std::string(tl.path));
            const std::string folder = file.substr(0, file.rfind('/')), leaf = file.substr(file.rfind('/') + 1);
            ASSERT_EQ(platform::run_and_wait("bsdtar", {"bsdtar", "--format", "7zip", "-cf", file + ".7z", "-C", folder, leaf}),
                      0);
        }
        fs::create_directories(t / "discs");
        testing::internal::CaptureStdout();   // the builder's disk lines
        build_from_master(1, t / "master/", t / "discs/", "", 400);
        testing::internal::GetCapturedStdout();
        ASSERT_TRUE(fs::exists(t / "discs/disk_1")) << "the set fits one disc";
        // A third disk, when the builder lays out its folders, holds no file of the set.
        if (fs::exists(t / "discs/disk_2")) {
            for (const auto& e : fs::recursive_directory_iterator(t / "discs/disk_2"))
                ASSERT_FALSE(e.is_regular_file() && e.path().filename() != "dvd_version.txt")
                    << "the set needs more than two discs: " << e.path();
        }
        for (int n = 0; n < 2; ++n)
            make_disc_image(t / ("discs/disk_" + std::to_string(n)), disc_image(n));
    }
    std::string disc_image(int n) const { return t / ("disc " + std::to_string(n + 1) + ".sqfs"); }

    // A disc that is not one of this set's: its identification file as given, nothing else.
    void mount_foreign_disc(const std::string& version_text) {
        const std::string folder = t / "foreign";
        fs::remove_all(folder);
        while (is_mounted(drive)) unmount_disc(drive);
        write_file(folder + "/dvd_version.txt", version_text);
        make_disc_image(folder, t / "foreign.sqfs");
        mount_disc(t / "foreign.sqfs", drive);
    }

    // A copy installed and registered earlier, whose application leaves a note of its start.
    std::string installed_copy() {
        const std::string copy = t / "copies/Ventaro 9/";
        for (const char* sub : {"Airfoils", "Instructions", "Output", "Resources"}) fs::create_directories(copy + sub);
        const std::string app = copy + "Ventaro.app/Contents/";
        write_file(app + "Info.plist",
                   "<plist><dict><key>CFBundleExecutable</key><string>Ventaro</string></dict></plist>\n");
        write_file(app + "MacOS/Ventaro", "#!/bin/sh\necho started \"$@\" > '" + copy + "Output/started.txt'\n");
        ::chmod((app + "MacOS/Ventaro").c_str(), 0755);
        write_file(box->home() + "/.config/ventaro_install.txt", copy + "\n");
        return copy;
    }

    void start() {
        run = std::make_unique<program_sandbox::running>(box->start({"--lang=en"}));
        window = std::make_unique<xdo>(x->display(), run->pid());
        ASSERT_TRUE(window->found()) << run->err();
        driver = std::make_unique<screen_driver>(*window, box->out_path(), *run);
    }
    // Stops the run and starts afresh with a new screen log.
    void stop() {
        driver.reset();
        window.reset();
        run.reset();
        fs::remove(box->out_path());
    }

    bool log_holds(const std::string& text, int timeout_seconds = 180) const {
        return wait_for_file(
            box->out_path(), [&](const std::string& log) { return log.find(text) != std::string::npos; },
            timeout_seconds, [&] { return run->alive(); });
    }
    int count_in_log(const std::string& text) const {
        const std::string log = read_file(box->out_path());
        int n = 0;
        for (size_t at = 0; (at = log.find(text, at)) != std::string::npos; at += text.size()) ++n;
        return n;
    }

    // A picture of the window a few frames on, kept when VENTARO_TEST_SHOTS names a folder.
    screen_pixels shot(const std::string& name) {
        screen_pixels p;
        EXPECT_TRUE(driver->frames(3)) << name << "\n" << driver->log() << run->err();
        const char* dir = std::getenv("VENTARO_TEST_SHOTS");
        const std::string png = (dir && *dir ? std::string(dir) : t.path()) + "/disc " + name + ".png";
        EXPECT_TRUE(p.take(*window, x->display(), png)) << name;
        EXPECT_GE(p.width, 800) << name;
        EXPECT_GE(p.height, 600) << name;
        if (p.width < 800 || p.height < 600) p.rgb.assign(size_t(800) * 600 * 3, 0), p.width = 800, p.height = 600;
        EXPECT_GT(p.dark_pixels(220, 472, 780, 494), 30) << name << ": the title";
        return p;
    }

    // Every file below root and its MD5, by its path below root.
    static std::map<std::string, std::string> tree(const std::string& root) {
        std::vector<std::string> names, files;
        for (const auto& e : fs::recursive_directory_iterator(root)) {
            if (!e.is_regular_file() || e.is_symlink()) continue;
            names.push_back(e.path().string().substr(root.size()));
            files.push_back(e.path().string());
        }
        const std::vector<std::string> sums = md5_hex_of_files(files);
        std::map<std::string, std::string> out;
        for (size_t k = 0; k < names.size(); ++k) out[names[k]] = sums[k];
        return out;
    }

    temp_dir t;
    std::unique_ptr<xvfb> x;
    std::unique_ptr<program_sandbox> box;
    std::unique_ptr<program_sandbox::running> run;
    std::unique_ptr<xdo> window;
    std::unique_ptr<screen_driver> driver;
    std::string drive;   // the drive's mount point
    install_set set;

    static inline bool mountable_ = false;
    static inline std::string why_;
};

// The menu's text (under the title) and where its choices would be.
constexpr int kTextBox[4] = {230, 400, 700, 450};
constexpr int kChoiceBox[4] = {380, 240, 620, 365};

TEST_F(DiscInstall, TheMainMenuWithNoDiscWithForeignDiscsAndWithADiscAndACopy) {
    build_two_discs();
    const std::string copy = installed_copy();

    // No disc: the request for disc one, no choices, and Next goes nowhere.
    start();
    ASSERT_TRUE(driver->wait_line(kMenuTitle)) << run->err();
    const screen_pixels none = shot("menu no disc");
    EXPECT_GT(ink(none, kTextBox[0], kTextBox[1], kTextBox[2], kTextBox[3]), 50) << "the insert text";
    EXPECT_EQ(ink(none, kChoiceBox[0], kChoiceBox[1], kChoiceBox[2], kChoiceBox[3]), 0) << "no choices";
    ASSERT_TRUE(driver->click(kNext.x, kNext.y));
    ASSERT_TRUE(driver->frames(3));
    EXPECT_EQ(count_in_log("screen: "), 1) << driver->log();
    stop();

    // A disc of another product: it says so, with no choices, and leads nowhere.
    mount_foreign_disc("I\n900 version\nOTHER\n");
    start();
    ASSERT_TRUE(driver->wait_line(kMenuTitle)) << run->err();
    const screen_pixels foreign = shot("menu foreign disc");
    EXPECT_GT(ink(foreign, kTextBox[0], kTextBox[1], kTextBox[2], kTextBox[3]), 50) << "the text";
    int differ = 0;
    for (int y = kTextBox[1]; y <= kTextBox[3]; ++y)
        for (int xx = kTextBox[0]; xx <= kTextBox[2]; ++xx) differ += apart(pixel(foreign, xx, y), pixel(none, xx, y)) != 0;
    EXPECT_GT(differ, 50) << "another text than the request for disc one";
    EXPECT_EQ(ink(foreign, kChoiceBox[0], kChoiceBox[1], kChoiceBox[2], kChoiceBox[3]), 0) << "no choices";
    ASSERT_TRUE(driver->click(kNext.x, kNext.y));
    ASSERT_TRUE(driver->frames(3));
    EXPECT_EQ(count_in_log("screen: "), 1) << driver->log();
    stop();

    // A disc that names a set but lacks its manifest: the scan's alert, before any screen.
    mount_foreign_disc("I\n900 version\nDVD\n\nVERSION Other Set\n");
    start();
    ASSERT_TRUE(driver->wait_line("panel 994")) << run->err() << driver->log();
    EXPECT_EQ(count_in_log("screen: "), 0) << driver->log();
    EXPECT_NE(wait_for_text(box->log_path(), "DVD scan: The installer cannot extract a file.", 60), std::string::npos);
    stop();
    unmount_disc(drive);

    // Disc one and a copy: Run and Install A Second Copy. Run starts the copy and ends the installer.
    mount_disc(disc_image(0), drive);
    start();
    ASSERT_TRUE(driver->wait_line(kMenuTitle)) << run->err();
    const screen_pixels menu = shot("menu disc and copy");
    EXPECT_GT(ink(menu, 390, 340, 610, 362), 50) << "Run Ventaro Now";
    EXPECT_GT(ink(menu, 390, 315, 610, 337), 50) << "Install A Second Copy";
    ASSERT_TRUE(driver->click(kFirstChoice.x, kFirstChoice.y));
    EXPECT_EQ(run->wait_exit(60), 1) << run->err();
    EXPECT_TRUE(wait_for_file(copy + "Output/started.txt", [](const std::string& s) { return s == "started\n"; }, 60))
        << read_file(copy + "Output/started.txt");
    stop();

    // The same menu's second choice goes on to the destination of a second copy.
    start();
    ASSERT_TRUE(driver->wait_line(kMenuTitle)) << run->err();
    ASSERT_TRUE(driver->click(kSecondChoice.x, kSecondChoice.y));
    ASSERT_TRUE(log_holds("screen: Pick Install Destination for ")) << driver->log() << run->err();
    shot("pick destination second copy");
    EXPECT_TRUE(run->alive());
}

TEST_F(DiscInstall, AnInstallAcrossTwoDiscsGetsTheSimulatorAndOnlyTheTwoTilesChosen) {
    build_two_discs();
    mount_disc(disc_image(0), drive);
    start();

    ASSERT_TRUE(driver->wait_line(kMenuTitle)) << run->err();
    shot("1 welcome");
    ASSERT_TRUE(driver->click(kNext.x, kNext.y));
    ASSERT_TRUE(log_holds("screen: Pick Install Destination for ")) << driver->log() << run->err();
    shot("2 pick destination");
    ASSERT_TRUE(driver->click(kNext.x, kNext.y));
    ASSERT_TRUE(driver->wait_line("screen: End User License Agreement")) << driver->log();
    ASSERT_TRUE(driver->click(kAgreeBox.x, kAgreeBox.y));
    shot("3 license");
    ASSERT_TRUE(driver->click(kNext.x, kNext.y));
    ASSERT_TRUE(driver->wait_line("screen: Select Scenery")) << driver->log();
    const screen_pixels before = shot("4 world map");

    // The first two tiles, each clicked once in its middle.
    for (int k = 0; k < 2; ++k) {
        const point p = tile_middle(kTiles[k].j, kTiles[k].i);
        ASSERT_TRUE(driver->click(p.x, p.y)) << k;
    }
    const screen_pixels chosen = shot("5 world map two tiles");
    // A chosen tile shows another band than before; the third tile, the sea and a tile with no
    // scenery look as they did.
    const auto at = [](const screen_pixels& p, int j, int i) {
        const point m = tile_middle(j, i);
        return pixel(p, int(m.x), int(m.y));
    };
    for (int k = 0; k < 2; ++k)
        EXPECT_GT(apart(at(before, kTiles[k].j, kTiles[k].i), at(chosen, kTiles[k].j, kTiles[k].i)), 40) << k;
    for (const auto& [j, i] : std::vector<std::pair<int, int>>{{32, 12}, {0, 0}, {18, 9}, {6, 13}})
        EXPECT_LE(apart(at(before, j, i), at(chosen, j, i)), 3) << j << "," << i;

    ASSERT_TRUE(driver->click(kNext.x, kNext.y));
    ASSERT_TRUE(driver->wait_line("screen: Installing Ventaro")) << driver->log();
    shot("6 installing");

    // Disc two when asked, as a person swaps discs: out with the one in the drive, in with the next.
    const std::string change = "screen: Installing Ventaro - Please Change DVDs\n";
    const std::string done = "screen: Finished Installing Ventaro\n";
    ASSERT_TRUE(log_holds(change, 300) || log_holds(done, 1)) << driver->log() << run->err();
    ASSERT_EQ(count_in_log(change), 1) << "the install never asked for disc two";
    ASSERT_TRUE(driver->frames(2));
    shot("7 change discs");
    if (is_mounted(drive)) unmount_disc(drive);
    mount_disc(disc_image(1), drive);
    ASSERT_TRUE(driver->click(kNext.x, kNext.y));
    ASSERT_TRUE(log_holds(done, 300)) << driver->log() << run->err();
    EXPECT_EQ(count_in_log(change), 1) << driver->log();
    EXPECT_EQ(count_in_log("question: "), 0) << driver->log();
    shot("8 finished");

    // The copy holds the simulator and the two chosen tiles, each with the set's bytes.
    const std::string registered = read_file(box->home() + "/.config/ventaro_install.txt");
    ASSERT_FALSE(registered.empty());
    const std::string copy = registered.substr(0, registered.find('\n'));
    std::map<std::string, std::string> want = mac_copy_of(set);
    ASSERT_EQ(want.erase(std::string(kTiles[2].path).substr(4)), 1u);
    EXPECT_EQ(tree(copy), want);
}

}  // namespace
