// The wizard's bottom bar in each of the six languages, in the whole program on a private X
// server: the Welcome screen's bar carries its five buttons, each apart from the next, and
// the run ends once the test's exit file appears. Set VENTARO_TEST_SHOTS to a folder to keep the
// pictures ("bar <language>.png").
#include <gtest/gtest.h>

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

// How many separate light buttons cross a row of the bar (rows from the top): runs of at least
// ten light pixels on the dark backdrop.
int button_runs(const screen_pixels& shot, int row) {
    const unsigned char* base = &shot.rgb[static_cast<std::size_t>(row) * shot.width * 3];
    int runs = 0, length = 0;
    for (int x = 0; x <= 800; ++x) {
        const unsigned char* p = base + x * 3;
        const bool light = x < 800 && (p[0] + p[1] + p[2]) / 3 > 180;
        if (light) {
            ++length;
        } else {
            if (length >= 10) ++runs;
            length = 0;
        }
    }
    return runs;
}

TEST(BottomBarRun, EachLanguageShowsFiveSeparateButtonsAndTheExitFileEndsTheRun) {
    const char* const langs[] = {"en", "fr", "de", "ru", "it", "es"};
    for (const char* lang : langs) {
        SCOPED_TRACE(lang);
        temp_dir t;
        xvfb x;
        ASSERT_TRUE(x.running());
        program_sandbox box(t.path());
        box.env["SDL_VIDEODRIVER"] = "x11";
        box.env["DISPLAY"] = x.display();
        box.env["VENTARO_TEST_EXIT_AFTER_FRAMES"] = "0";
        box.env["VENTARO_TEST_SCREEN_LOG"] = "1";
        box.env["VENTARO_TEST_EXIT_FILE"] = t / "stop";
        auto run = box.start({std::string("--lang=") + lang});
        xdo d(x.display(), run.pid());
        ASSERT_TRUE(d.found()) << run.err();
        screen_driver s(d, box.out_path(), run);
        ASSERT_TRUE(s.wait_count("screen: Welcome", 1)) << run.err() << s.log();
        ASSERT_TRUE(s.frames(2)) << s.log();

        const char* dir = std::getenv("VENTARO_TEST_SHOTS");
        const std::string png = (dir ? std::string(dir) : t.path()) + "/bar " + lang + ".png";
        screen_pixels shot;
        ASSERT_TRUE(shot.take(d, x.display(), png));
        ASSERT_EQ(shot.width, 800);
        // Across the buttons above their labels (y 31 from the bottom) the five stand apart.
        EXPECT_EQ(button_runs(shot, 600 - 31), 5);

        write_file(t / "stop", "");
        EXPECT_EQ(run.wait_exit(120), 0) << run.err();
    }
}

}  // namespace
