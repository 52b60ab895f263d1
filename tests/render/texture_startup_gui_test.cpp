// Start-up's art, whole program: under a private X server the window shows the background
// picture start-up loaded, and the atlas's swatch decodes to the theme colour; damaged or misshapen art ends the run with the quit
// alert that names it instead of a crash.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <regex>
#include <thread>

#include "../../tools/art/atlas_table.h"
#include "core/memory.h"
#include "files/xmap.h"
#include "image_fixtures.h"
#include "render/tex_png.h"
#include "support/gl_pixels.h"
#include "support/program_run.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"

using namespace testsupport;

namespace {

// One texel of a picture as start-up decodes it (RGBA, gamma-corrected, rows bottom-up).
rgb texel_as_decoded(const std::string& path, int s, int t) {
    xmap_class file(path);
    unsigned char* pixels = nullptr;
    TEX_image_desc desc;
    if (!file.mem_start || !TEX_load_png(path, file, pixels, GL_RGBA, 0, 0, png_mode_exact, 1, desc)) return {};
    const unsigned char* p = pixels + (size_t(t) * size_t(desc.width) + size_t(s)) * 4;
    const rgb out{p[0], p[1], p[2]};
    xfree(pixels);
    return out;
}

// The atlas's background swatch as start-up decodes it.
rgb swatch_as_decoded(const std::string& atlas_path) {
    const art::Swatch& s = art::theme_swatches[0];
    return texel_as_decoded(atlas_path, s.s, s.t);
}

// One pixel of the X screen, through ImageMagick's import as a binary PPM.
rgb screen_pixel(const std::string& display, const std::string& ppm_path, int x, int y) {
    if (run_with_display(display, {"import", "-window", "root", "-depth", "8", "ppm:" + ppm_path}) != 0) return {};
    const std::string data = read_file(ppm_path);
    std::smatch m;
    if (!std::regex_search(data.begin(), data.begin() + std::min<size_t>(data.size(), 64), m,
                           std::regex("^P6\\s+(\\d+)\\s+(\\d+)\\s+255\\s")))
        return {};
    const int w = std::stoi(m[1]), h = std::stoi(m[2]);
    const size_t at = size_t(m[0].length()) + (size_t(y) * size_t(w) + size_t(x)) * 3;
    if (x < 0 || y < 0 || x >= w || y >= h || at + 3 > data.size()) return {};
    return {static_cast<unsigned char>(data[at]), static_cast<unsigned char>(data[at + 1]),
            static_cast<unsigned char>(data[at + 2])};
}

// The window's place on the screen, once it shows; w stays 0 when it never did.
struct place {
    int x = 0, y = 0, w = 0, h = 0;
};
place find_window(const std::string& display, std::future<program_result>& run) {
    for (int attempt = 0; attempt < 600; ++attempt) {
        if (run.wait_for(std::chrono::milliseconds(50)) == std::future_status::ready) break;
        std::string ids, text;
        if (run_with_display(display, {"xdotool", "search", "--onlyvisible", "--name", "Ventaro Installer"}, &ids) != 0)
            continue;
        if (run_with_display(display, {"xdotool", "getwindowgeometry", ids.substr(0, ids.find('\n'))}, &text) != 0)
            continue;
        std::smatch pos, size;
        if (std::regex_search(text, pos, std::regex("Position: (-?\\d+),(-?\\d+)")) &&
            std::regex_search(text, size, std::regex("Geometry: (\\d+)x(\\d+)")))
            return {std::stoi(pos[1]), std::stoi(pos[2]), std::stoi(size[1]), std::stoi(size[2])};
    }
    return {};
}

TEST(ArtAtStartup, TheWindowShowsTheBackgroundPictureAndTheSwatchIsTheThemeColour) {
    xvfb server;
    ASSERT_TRUE(server.running()) << "Xvfb did not start";
    temp_dir tmp;
    program_sandbox box(tmp.path());
    box.env["SDL_VIDEODRIVER"] = "x11";
    box.env["DISPLAY"] = server.display();
    box.env["VENTARO_TEST_EXIT_AFTER_FRAMES"] = "300";

    // Slot 39 as start-up reads it. The painter tags its pictures with the display's gamma, so the
    // correction keeps the colour the art table intends.
    const rgb theme = swatch_as_decoded(box.bundle() + "/Contents/Resources/interface.png");
    const unsigned swatch = art::theme_swatches[0].rgb;
    ASSERT_EQ(art::theme_swatches[0].slot, 39);
    EXPECT_EQ(theme, (rgb{int(swatch >> 16) & 255, int(swatch >> 8) & 255, int(swatch) & 255}));
    // The wizard draws the background picture pixel for pixel from the window's lower-left corner,
    // outside its panels near that corner.
    const int px = 5, py = 5;
    const rgb expected = texel_as_decoded(box.bundle() + "/Contents/Resources/background.png", px, py);

    auto run = std::async(std::launch::async, [&] { return box.run({"--lang=en"}, 180); });
    const place win = find_window(server.display(), run);
    ASSERT_GT(win.w, 0) << "the window never showed";
    rgb seen;
    for (int attempt = 0; attempt < 100 && run.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready;
         ++attempt) {
        seen = screen_pixel(server.display(), tmp / "screen.ppm", win.x + px, win.y + win.h - 1 - py);
        if (seen == expected) break;
    }
    const program_result r = run.get();
    EXPECT_EQ(seen, expected) << seen.r << "," << seen.g << "," << seen.b << " vs " << expected.r << ","
                              << expected.g << "," << expected.b;
    EXPECT_EQ(r.exit_code, 0) << r.err;
    const std::string log = read_file(box.log_path());
    for (const char* complaint : {"missing the texture", "WARNING: texture", "PNG error"})
        EXPECT_EQ(log.find(complaint), std::string::npos) << complaint;
}

std::string png_of(int w, int h) {
    imgfix::png_spec s;
    s.width = w;
    s.height = h;
    s.color_type = PNG_COLOR_TYPE_RGB_ALPHA;
    s.rows = imgfix::rows8(w, h, 4, [](int, int, int) { return 200; });
    return imgfix::make_png(s);
}

TEST(ArtAtStartup, DamagedOrMisshapenArtEndsTheRunWithTheAlertThatNamesIt) {
    const std::string atlas_alert = "I cannot open the graphics interface file!";
    const std::string missing_alert = "Trying to load a texture that you do not have!";
    std::string damaged = png_of(512, 512);
    damaged.resize(damaged.size() / 3);
    struct art_case {
        const char* name;
        const char* file;
        std::string bytes;   // empty: the file is removed
        std::string alert;
    };
    const art_case cases[] = {
        {"atlas too narrow", "interface.png", png_of(256, 512), atlas_alert},
        {"atlas too short for its swatches", "interface.png", png_of(512, 155), atlas_alert},
        {"atlas damaged", "interface.png", damaged, atlas_alert},
        {"atlas missing", "interface.png", "", atlas_alert},
        {"map damaged", "map.png", damaged, missing_alert},
        {"backdrop missing", "background.png", "", missing_alert},
    };
    for (const art_case& c : cases) {
        temp_dir tmp;
        program_sandbox box(tmp.path());
        const std::string target = box.bundle() + "/Contents/Resources/" + c.file;
        if (c.bytes.empty()) std::remove(target.c_str());
        else write_file(target, c.bytes);
        const program_result r = box.run({"--lang=en"});
        EXPECT_EQ(r.exit_code, 0) << c.name << "\n" << r.err;
        EXPECT_NE(r.err.find(c.alert), std::string::npos) << c.name << "\n" << r.err;
        const std::string log = read_file(box.log_path());
        EXPECT_NE(log.find("\n" + c.alert + "\n"), std::string::npos) << c.name << "\n" << log;
        if (c.alert == atlas_alert) {
            EXPECT_NE(log.find("\nResources/bitmaps/\n(QFutils/GenC/qf_init line 868)\n"), std::string::npos)
                << c.name;
        }
    }
}

TEST(ArtAtStartup, EveryLanguageFindsItsBottomBarArt) {
    for (const char* lang : {"en", "fr", "de", "ru", "it", "es"}) {
        temp_dir tmp;
        program_sandbox box(tmp.path());
        const program_result r = box.run({std::string("--lang=") + lang});
        EXPECT_EQ(r.exit_code, 0) << lang << "\n" << r.err;
        EXPECT_EQ(read_file(box.log_path()).find("do not have"), std::string::npos) << lang;
    }
}

}  // namespace
