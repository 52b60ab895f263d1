// Screenshots against a recorded GL (the centred read of a large window) and the numbered names
// that screenshots and movies are saved under.
#include "render/screenshot.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "render/gl_recorder.h"
#include "support/temp_dir.h"
#include "render/panel_record.h"

namespace {

using calls = std::vector<std::string>;
using testsupport::temp_dir;
using testsupport::write_file;

// Runs with the current folder in a fresh temporary folder.
class InTempFolder : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(::getcwd(was, sizeof was), nullptr);
        ASSERT_EQ(::chdir(tmp.path().c_str()), 0);
    }
    void TearDown() override { ASSERT_EQ(::chdir(was), 0); }
    temp_dir tmp;
    char was[PATH_MAX] = {};
};

TEST_F(InTempFolder, NamesTakeTheFirstFreeNumber) {
    std::string path;
    EXPECT_EQ(gimme_png_mov_paths("Ventaro screenshot_", ".png", path), 0);
    EXPECT_EQ(path, "Ventaro screenshot__1.png");
    write_file("Ventaro screenshot__1.png", "x");
    write_file("Ventaro screenshot__2.png", "x");
    gimme_png_mov_paths("Ventaro screenshot_", ".png", path);
    EXPECT_EQ(path, "Ventaro screenshot__3.png");
    ::unlink("Ventaro screenshot__1.png");
    gimme_png_mov_paths("Ventaro screenshot_", ".png", path);
    EXPECT_EQ(path, "Ventaro screenshot__1.png");
    ::unlink("Ventaro screenshot__2.png");

    const struct {
        const char* base;
        const char* extension;
        const char* want;
    } cases[] = {{"Ventaro ", ".mov", "Ventaro _1.mov"},
                 {"clip.mov", ".mov", "clip_1.mov"},
                 {"shot.png", ".mov", "shot_1.mov"},
                 {".mov", ".mov", ".mov_1.mov"},   // not longer than four characters
                 {"a.b", ".png", "a.b_1.png"}};
    for (const auto& c : cases) {
        gimme_png_mov_paths(c.base, c.extension, path);
        EXPECT_EQ(path, c.want) << c.base;
    }
    // A folder of that name is not a file, so it does not take the number.
    ASSERT_EQ(::mkdir("take_1.mov", 0700), 0);
    gimme_png_mov_paths("take", ".mov", path);
    EXPECT_EQ(path, "take_1.mov");
    ::rmdir("take_1.mov");
}

void ask_for_a_name_from(const std::string& base) {
    std::string path;
    gimme_png_mov_paths(base, ".png", path);
}

TEST_F(InTempFolder, AnOverlongNameIsACrashAlert) {
    // Forked where it stands, so the crash's files land in this test's folder, which goes with it.
    GTEST_FLAG_SET(death_test_style, "fast");
    std::string path;
    gimme_png_mov_paths(std::string(499, 'a'), ".png", path);   // the base alone is measured
    EXPECT_EQ(path.size(), 499u + 6u);
    EXPECT_DEATH(ask_for_a_name_from(std::string(500, 'a')), "String too long!");
    GTEST_FLAG_SET(death_test_style, "threadsafe");
}

TEST(Screenshot, AWindowLargerThan2048IsReadAroundItsCentre) {
    gl_recorder rec;
    gl_recorder_install(&rec);
    const wins_class saved = wins;
    wins.win_px_w = 2560;
    wins.win_px_h = 1600;
    OGL_screenshot(0);
    wins.win_px_w = 801;
    wins.win_px_h = 600;
    OGL_screenshot(0);
    EXPECT_EQ(rec.take(), (calls{"glReadPixels(256, 0, 2048, 1600, GL_RGB, GL_UNSIGNED_BYTE, ptr)",
                                 "glReadPixels(0, 0, 801, 600, GL_RGB, GL_UNSIGNED_BYTE, ptr)"}));
    wins = saved;
    gl_recorder_install(nullptr);
}

}  // namespace
