// The disc installer's screens in a real window under Xvfb (Mesa), driven frame by frame through
// the event seam as a person's clicks would be: the main menu without a disc, with a foreign disc
// and with a disc and installed copies, the Run screen, and an install across two discs that
// chooses two scenery tiles on the world map and finds only those installed. Set
// VENTARO_TEST_SCREENSHOT_DIR to a folder to keep a picture of every screen (dvd_*.png).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "../render/recorded_draw.h"
#include "core/app_globals.h"
#include "core/log.h"
#include "core/mouse_record.h"
#include "core/shared_constants.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/registration.h"
#include "platform/events.h"
#include "platform/install_media.h"
#include "platform/spawn.h"
#include "render/gl_api.h"
#include "render/view.h"
#include "shell/event_pump.h"
#include "install/prompts.h"
#include "support/disc_surroundings.h"
#include "support/disc_images.h"
#include "support/gl_pixels.h"
#include "support/gui_window.h"
#include "support/install_set.h"
#include "support/screen_pixels.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"
#include "wizard/demo_screens.h"
#include "wizard/dvd_install_flow.h"
#include "wizard/dvd_menu.h"
#include "wizard/world_map.h"

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

constexpr int kW = 800, kH = 600;
// Bottom-bar buttons (English art): Next's right edge at 770.
constexpr float kNextX = 770 - 89 / 2.0f, kBarY = 23;
constexpr float kFirstChoiceX = 500, kFirstChoiceY = 350;

// The frame loop's end: the back buffer is kept when asked, then shown.
struct frame_state {
    int frames = 0;
    bool keep = false;
    std::unique_ptr<frame_pixels> pixels;
};
frame_state g_frames;

void on_frame() {
    ++g_frames.frames;
    if (g_frames.keep) g_frames.pixels = std::make_unique<frame_pixels>(kW, kH);
    OGL_sbuff();
}

class DvdScreensGui : public ::testing::Test {
protected:
    // One X server and window for the suite: the video layer stays connected to its display.
    static void SetUpTestSuite() {
        drawtest::link_art_resources();
        server_ = new xvfb();
        if (!server_->running() || !open_art_window_on(*server_, kW, kH)) return;
        tman.load_texture(tex_fail_quit, tex_ref_elements, 0x48242, tex_load_now, "RESOURCE:elements_English.png");
        window_ = true;
    }
    static void TearDownTestSuite() {
        if (window_) cons.cons_nuke(0);
        window_ = false;
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(window_) << platform::window_error();
        ASSERT_TRUE(xer.open(t / "log.txt"));
        stg_set_initial();
        sim_info.clear();
        install_name = no_install_name;
        dvd_path.clear();
        dest_dir_path.clear();
        temp_path = t / "tmp/";
        write_file(temp_path + ".keep", "");
        dvd_install_reset_for_test();
        demo_screens_reset_for_test();
        world_map_reset_for_test();
        wizard_frame_reset_for_test();

        ogl_inited = 1;
        mnw.lang = 0;
        wins.panel_id = -1;
        platform::clear_test_input();
        frame_hooks.movie_per_frame = &on_frame;
        for (int i = 0; i < 3; ++i) MACIBM_event_proc();
        ASSERT_EQ(wins.panel_id, 0);
        OGL_pix_specs(0);
        frame_hooks.app_update = &APP_update;
        g_frames = frame_state{};
        const char* keep = std::getenv("VENTARO_TEST_SCREENSHOT_DIR");
        shots_ = keep && *keep ? std::string(keep) : t.path();
    }
    void TearDown() override {
        frame_hooks.app_update = nullptr;
        frame_hooks.movie_per_frame = nullptr;
        ogl_inited = 0;
        app_done = 0;
        g_wizard = demo_start;
        sim_info.clear();
        xer.close();
    }

    void frames(int n) {
        for (int i = 0; i < n; ++i) MACIBM_event_proc();
    }
    // Frames until the program reports the state; false when it never does.
    bool run_until(const std::function<bool()>& reached, int most = 3000) {
        for (int i = 0; i < most; ++i) {
            if (reached()) return true;
            MACIBM_event_proc();
        }
        return reached();
    }
    // A click as the event layer gets it: down, two frames, up, two frames.
    void click(float x, float y) {
        platform::set_test_mouse(nullptr, static_cast<int>(x), kH - static_cast<int>(y));
        platform::input_event e;
        e.kind = platform::ev_mouse_down;
        e.button = 1;
        platform::mouse_position(nullptr, e.x, e.y);
        platform::push_test_event(e);
        frames(2);
        e.kind = platform::ev_mouse_up;
        platform::push_test_event(e);
        frames(2);
    }
    // The screen as it stands, kept as a picture and read back for its pixels.
    const frame_pixels& shoot(const std::string& name) {
        std::fprintf(stderr, "shot %s at frame %d\n", name.c_str(), g_frames.frames);
        g_frames.keep = true;
        frames(2);
        g_frames.keep = false;
        const std::string xid = program_window(server_->display());
        EXPECT_EQ(run_with_display(server_->display(), {"import", "-window", xid.empty() ? "root" : xid, shots_ + "/" + name}),
                  0)
            << name;
        return *g_frames.pixels;
    }
    void mount(const std::string& folder) {
        around.mount(folder);
    }
    std::vector<std::string> make_copies(int n) {
        std::vector<std::string> out;
        std::string list;
        for (int i = 0; i < n; ++i) {
            const std::string copy = t / ("copy" + std::to_string(i) + "/");
            for (const char* sub : {"Airfoils", "Instructions", "Output", "Resources"}) fs::create_directories(copy + sub);
            out.push_back(copy);
            list += copy + "\n";
        }
        write_file(t / "config/ventaro_install.txt", list);
        return out;
    }
    // Pixels of a box that differ from the colour at its first corner: text or art drawn there.
    static int ink(const frame_pixels& px, int x0, int y0, int x1, int y1) {
        const rgb ground = px.at(x0, y0);
        int n = 0;
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) n += !(px.at(x, y) == ground);
        return n;
    }

    temp_dir t;
    disc_surroundings around{t};
    std::string shots_;
    static inline xvfb* server_ = nullptr;
    static inline bool window_ = false;
};

TEST_F(DvdScreensGui, TheMainMenuForNoDiscAForeignDiscAndADiscWithCopies) {
    g_wizard = dvd_start;
    const frame_pixels& none = shoot("dvd_menu_no_disc.png");
    EXPECT_GT(ink(none, 230, 420, 700, 445), 50) << "the insert text";
    EXPECT_EQ(ink(none, 380, 240, 620, 360), 0) << "no choices";

    // A disc of another product: its identification file names no set.
    write_file(t / "foreign/dvd_version.txt", "I\n900 version\nOTHER\n");
    mount(t / "foreign");
    ASSERT_TRUE(run_until([] { return !dvd_path.empty(); }));
    shoot("dvd_menu_foreign.png");
    EXPECT_EQ(install_name, no_install_name);

    // The install disc, with two copies on this computer: the choices.
    install_set set{"Set 9", {}};
    set.files.push_back({"All/Resources/a.txt", "a", false, {}});
    write_disc_set(t / "discs", set);
    const auto copies = make_copies(2);
    dvd_path.clear();
    mount(t / "discs/disk_0");
    g_wizard = dvd_pick_run_sim;   // a visit elsewhere, so the menu's first frame reads the copies again
    frames(1);
    g_wizard = dvd_start;
    ASSERT_TRUE(run_until([] { return stg.stage == 3; }));
    const frame_pixels& menu = shoot("dvd_menu_copies.png");
    EXPECT_GT(ink(menu, 390, 340, 610, 362), 50) << "Run Ventaro Now";
    EXPECT_GT(ink(menu, 390, 315, 610, 337), 50) << "Install A Second Copy";

    click(kFirstChoiceX, kFirstChoiceY);
    ASSERT_TRUE(run_until([] { return g_wizard == dvd_pick_run_sim; }));
    dest_dir_path.clear();
    frames(2);
    shoot("dvd_run_two_copies.png");
    click(250, 378);   // the second copy's radio button
    EXPECT_EQ(dest_dir_path, copies[1]);
}

TEST_F(DvdScreensGui, AnInstallAcrossTwoDiscsGetsOnlyTheTwoTilesChosen) {
    // The simulator's files and scenery in three tiles, too big for one disc.
    install_set set{"Set 9", {}};
    set.files.push_back({"All/Resources/big.dat", random_bytes(200000, 1), false, {}});
    struct tile {
        const char* path;
        int j, i;
    };
    const tile tiles[] = {{"All/Global Scenery/+40-130/+43-125.dsf", 5, 13},
                          {"All/Global Scenery/+10+020/+14+024.dsf", 20, 10},
                          {"All/Global Scenery/+30+140/+36+143.dsf", 32, 12}};
    for (size_t k = 0; k < std::size(tiles); ++k)
        set.files.push_back({tiles[k].path, random_bytes(150000, 10 + (unsigned)k), false, {}});
    // Scenery ships as 7z archives, made beside the master's files for the builder to take.
    write_master(t / "master", set);
    for (const auto& tl : tiles) {
        const std::string file = t / ("master/" + std::string(tl.path));
        const std::string leaf = file.substr(file.rfind('/') + 1);
        ASSERT_EQ(platform::run_and_wait("bsdtar", {"bsdtar", "--format", "7zip", "-cf", file + ".7z", "-C",
                                                    file.substr(0, file.rfind('/')), leaf}),
                  0);
    }
    fs::create_directories(t / "discs");
    build_from_master(1, t / "master/", t / "discs/", "", 400);
    ASSERT_TRUE(fs::exists(t / "discs/disk_1")) << "the set fits one disc";
    // An error question would wait for a person: it is answered, and it fails the test.
    std::vector<std::string> questions;
    set_abort_alert_answerer([&](const std::string& q) {
        questions.push_back(q);
        return 0;
    });

    mount(t / "discs/disk_0");
    g_wizard = dvd_start;
    ASSERT_TRUE(run_until([] { return stg.stage == 3; }));
    shoot("dvd_menu_welcome.png");
    click(kNextX, kBarY);
    ASSERT_TRUE(run_until([] { return g_wizard == dvd_pick_install; }));
    const frame_pixels& pick = shoot("dvd_pick_install.png");
    EXPECT_GT(ink(pick, 220, 40, 760, 130), 50) << "the disk figures";
    click(kNextX, kBarY);
    ASSERT_TRUE(run_until([] { return g_wizard == see_eula; }));
    click(250, 303);   // I agree
    click(kNextX, kBarY);
    ASSERT_TRUE(run_until([] { return g_wizard == dvd_scenery_install; }));
    const frame_pixels before = shoot("dvd_scenery_map.png");

    // The first two tiles, each clicked once in its middle.
    for (int k = 0; k < 2; ++k) click(world_map_left + 14 * tiles[k].j + 7, world_map_bottom + 14 * tiles[k].i + 7);
    EXPECT_EQ(stg.chosen_tiles[5][13], 1);
    EXPECT_EQ(stg.chosen_tiles[20][10], 1);
    EXPECT_EQ(stg.chosen_tiles[32][12], 0);
    const frame_pixels& map = shoot("dvd_scenery_two_tiles.png");
    // Each tile's middle shows its band: chosen, offered, or the base map where there is no scenery.
    // A chosen tile shows another band than before; every other tile looks as it did.
    const auto pixel = [](const frame_pixels& px, int j, int i) {
        return px.at(static_cast<int>(world_map_left + 14 * j + 7), static_cast<int>(world_map_bottom + 14 * i + 7));
    };
    const auto apart = [](const rgb& a, const rgb& b) { return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b); };
    EXPECT_GT(apart(pixel(before, 5, 13), pixel(map, 5, 13)), 40);
    EXPECT_GT(apart(pixel(before, 20, 10), pixel(map, 20, 10)), 40);
    for (const auto& [j, i] : std::vector<std::pair<int, int>>{{32, 12}, {0, 0}, {18, 9}, {6, 13}})
        EXPECT_LE(apart(pixel(before, j, i), pixel(map, j, i)), 3) << j << "," << i;

    // Disc 1's few files can all be in place within the click's own frames on a busy machine, so
    // the install may already have moved on to the disc change.
    click(kNextX, kBarY);
    ASSERT_TRUE(run_until([] { return g_wizard != dvd_scenery_install; }));
    ASSERT_TRUE(g_wizard == dvd_run_install || g_wizard == dvd_verify_disk_install ||
                g_wizard == dvd_switch_disk_install || g_wizard == dvd_done_install);
    if (g_wizard == dvd_run_install) shoot("dvd_installing.png");
    int changes = 0;
    for (;;) {
        ASSERT_TRUE(run_until([] { return g_wizard == dvd_switch_disk_install || g_wizard == dvd_done_install; }, 20000))
            << (questions.empty() ? "" : questions.back());
        if (g_wizard == dvd_done_install) break;
        ASSERT_LT(++changes, 5);
        frames(1);
        if (changes == 1) shoot("dvd_switch_disk.png");
        const int wanted = UTIL_switch_disk(0);
        EXPECT_TRUE(dvd_path.empty()) << "the disc was not let go";
        mount(t / ("discs/disk_" + std::to_string(wanted)));
        click(kNextX, kBarY);
    }
    set_abort_alert_answerer(nullptr);
    EXPECT_GE(changes, 1);
    EXPECT_EQ(questions, std::vector<std::string>{});
    EXPECT_EQ(num_install_errors, 0);
    shoot("dvd_done_install.png");

    // The copy holds the simulator and the two chosen tiles, each with the set's bytes.
    std::map<std::string, std::string> want = mac_copy_of(set);
    want.erase(std::string(tiles[2].path).substr(4));
    std::map<std::string, std::string> got;
    const std::string copy = t / "desk/Ventaro Meridian/";
    std::vector<std::string> names, files;
    for (const auto& e : fs::recursive_directory_iterator(copy)) {
        if (!e.is_regular_file()) continue;
        names.push_back(e.path().string().substr(copy.size()));
        files.push_back(e.path().string());
    }
    const std::vector<std::string> sums = md5_hex_of_files(files);
    for (size_t k = 0; k < names.size(); ++k) got[names[k]] = sums[k];
    EXPECT_EQ(got, want);
}

}  // namespace
