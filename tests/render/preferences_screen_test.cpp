// The screen-mode preference file. Its values live for the whole run, so this suite has a
// process of its own and its steps run in order in one test.
#include "files/preferences.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "render/renderer_options.h"
#include "core/log.h"
#include "core/mouse_record.h"
#include "core/shell_services.h"
#include "support/temp_dir.h"
#include "render/panel_record.h"

TEST(ScreenPreferences, ReadThenWriteThenReadBack) {
    testsupport::temp_dir tmp;
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(tmp.path());
    std::filesystem::create_directories("Output/preferences");
    ASSERT_TRUE(xer.open(tmp / "log.txt"));
    const std::string path = "Output/preferences/Screen Res.prf";

    // A first read from a file without the live-mode keys: the mode is cleared, the window size made sane.
    wins.full_screen = 1;
    wins.full_w = 1600;
    wins.full_bpp = 32;
    wins.full_hz = 60;
    testsupport::write_file(path, "I\n10 version\n_x_res_wind_PLN 800\n_use_vsync2 1\n_lang 3\n_sec_mon_inuse 1\n");
    pref.IO_set(10, 0);
    EXPECT_EQ(wins.full_screen + wins.full_w + wins.full_h + wins.full_bpp + wins.full_hz, 0);
    EXPECT_EQ(wins.windowed_w, 1024);
    EXPECT_EQ(wins.windowed_h, 768);
    EXPECT_EQ(reno.use_vsync2, 1);
    EXPECT_EQ(mnw.lang, 3);
    EXPECT_EQ(shell_window_count(), 1) << "a second window is never asked for by the file";

    // A write takes the live mode and carries the other kinds' values along.
    wins.full_screen = 1;
    wins.windowed_w = 1280;
    wins.windowed_h = 5;
    wins.full_w = 1920;
    wins.full_h = 1080;
    wins.full_hz = 75;
    wins.full_bpp = 24;
    pref.IO_set(10, 1);
    EXPECT_EQ(wins.windowed_h, 768) << "the size is made sane after writing too";
    EXPECT_EQ(mnw.prefs_found, 1);
    const std::string text = testsupport::read_file(path);
    EXPECT_EQ(text.rfind("I\n10 version\n_x_res_wind_PLN 800\n_y_res_wind_PLN 0\n", 0), 0u) << text;
    for (const char* line : {"\n_x_res_wind_ALL 1280\n", "\n_y_res_wind_ALL 5\n", "\n_x_res_full_ALL 1920\n",
                             "\n_is_full_ALL 1\n_bpp_full_ALL 24\n_hz_full_ALL 75\n",
                             "\n_use_vsync1 0\n_use_vsync2 1\n_lang 3\n_alias_req 0\n_keylist_up 0\n_prefs_found 1\n"
                             "_sec_mon_inuse 0\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;

    wins = wins_class{};
    pref.IO_set(10, 0);
    EXPECT_EQ(wins.full_w, 1920);
    EXPECT_EQ(wins.full_hz, 75);
    EXPECT_EQ(wins.windowed_w, 1280);

    // The calibration file has a header and nothing else.
    pref.IO_set(12, 1);
    EXPECT_EQ(testsupport::read_file("Output/preferences/Calibration.prf"), "I\n10 version\n");

    xer.close();
    std::filesystem::current_path(cwd);
}
