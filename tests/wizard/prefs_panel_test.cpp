// The Preferences panel run frame by frame: how it opens and closes, what its widgets change at
// once, and which of those settings the preferences file keeps across a run.
#include "wizard/prefs_panel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/cmdline.h"
#include "files/preferences.h"
#include "files/http.h"
#include "install/install_state.h"
#include "support/panel_frames.h"
#include "ui/text_fields.h"
#include "wizard/wizard_frame.h"

namespace {

// Panel 2 is 700 x 380: centred in 800 x 600 at (50, 110).
constexpr float kX = 50, kY = 110;

class PrefsPanel : public testsupport::PanelFrames {
protected:
    void SetUp() override {
        PanelFrames::SetUp();
        ::setenv("XDG_CONFIG_HOME", tmp.path().c_str(), 1);
        reset_settings();
    }
    void TearDown() override {
        reset_settings();
        PanelFrames::TearDown();
    }
    static void reset_settings() {
        stg_set_initial();
        http.proxy_host.clear();
        http.proxy_port.clear();
        http.proxy_port_int = 0;
        cmdline = UTL_cmdline{};
    }
    // The right close box, which the shell handles for every ordinary panel.
    static void close_panel() { press(kX, kY, 690, 370); }
};

TEST_F(PrefsPanel, OpensCentredAndClosesOnlyByItsCloseBoxes) {
    struct row {
        float x, y;     // a press in the panel's top row
        bool closes;
    } rows[] = {
        {10, 370, true},   {690, 370, true},   {0, 360, true},   {700, 380, true},
        {350, 370, false}, {30, 370, false},   {690, 355, false},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << "press " << r.x << "," << r.y);
        frames = 0;
        float off_x = -1, off_y = -1;
        int panel = -1;
        std::string title;
        script = [&](int n) {
            if (n == 1) {
                panel = panel_in_frame;
                title = title_in_frame;
                off_x = wins.off_x;
                off_y = wins.off_y;
                press(kX, kY, r.x, r.y);
            }
            if (n == 4) close_panel();
        };
        handle_prefs();
        EXPECT_EQ(title, "Prefs");
        EXPECT_EQ(panel, 2);
        EXPECT_FLOAT_EQ(off_x, kX);
        EXPECT_FLOAT_EQ(off_y, kY);
        // A press is read by the next frame's pump, which closes the panel at once.
        EXPECT_EQ(frames, r.closes ? 2 : 5);
        EXPECT_EQ(wins.panel_id, 0);
    }
}

TEST_F(PrefsPanel, TheLogBoxTogglesAtOnce) {
    int seen_after_first = -1;
    script = [&](int n) {
        if (n == 1 || n == 3) press(kX, kY, 140, 254);
        if (n == 3) seen_after_first = stg.log_actions;
        if (n == 5) close_panel();
    };
    handle_prefs();
    EXPECT_EQ(seen_after_first, 1);
    EXPECT_EQ(stg.log_actions, 0);
}

TEST_F(PrefsPanel, TheProxyPortNumberFollowsItsTextEveryFrame) {
    const struct {
        const char* text;
        int number;
    } rows[] = {
        // Anything but a port from 1 to 65535 is refused: the last real port stays.
        {"", 0},    {"8080", 8080},   {"0080", 80},   {"80a", 80},   {"-1", 80},   {" 80", 80},
        {"65535", 65535}, {"65536", 65535}, {"0", 65535}, {"123456789", 65535},     {"1234567890", 65535},
    };
    std::size_t row = 0;
    std::vector<int> seen;
    http.proxy_port_int = 3128;   // stale number from the file: the text decides
    script = [&](int n) {
        (void)n;
        seen.push_back(http.proxy_port_int);
        if (row == std::size(rows)) {
            close_panel();
            ++row;
        } else if (row < std::size(rows)) {
            http.proxy_port = rows[row++].text;   // as if typed: the panel's next frame reads it
        }
    };
    handle_prefs();
    ASSERT_GE(seen.size(), std::size(rows) + 1);
    EXPECT_EQ(seen[0], 0);   // the empty text of the first frame
    for (std::size_t i = 0; i < std::size(rows); ++i) EXPECT_EQ(seen[i + 1], rows[i].number) << rows[i].text;
    // Closed on a refused text, the field goes back to the port in use.
    EXPECT_EQ(http.proxy_port, "65535");
    EXPECT_EQ(http.proxy_port_int, 65535);
}

TEST_F(PrefsPanel, ThePlatformPopupShowsMacintoshForAllPlatformsAndSetsTheChoice) {
    struct row {
        int start;     // the platform on opening; 0 is every platform (--os ALL)
        int item;      // the item pressed in the open list; -1 none
        int first;     // the platform after the first frame
        int last;      // after the pick
    } rows[] = {
        {0, 2, 0, 3},    // every platform shows as Macintosh and stays until Linux is picked
        {0, -1, 0, 0},   // looking at the list keeps every platform
        {1, 1, 1, 2},    {3, 0, 3, 1},
        {2, -1, 2, 2},   // a press beside the open list closes it and changes nothing
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << "start " << r.start << " item " << r.item);
        reset_settings();
        stg.platform_filter = r.start;
        frames = 0;
        int first = -1;
        script = [&](int n) {
            if (n == 1) {
                first = stg.platform_filter;
                press(kX, kY, 260, 303);   // opens the list; its release in place leaves it open
            }
            // The list puts the current item on the popup's line and the others 12 units apart.
            const int current = r.start < 1 ? 0 : r.start - 1;
            if (n == 4) press(kX, kY, r.item < 0 ? 600 : 250, 303 - 12.0f * static_cast<float>(r.item - current));
            if (n == 7) close_panel();
        };
        handle_prefs();
        EXPECT_EQ(first, r.first);
        EXPECT_EQ(stg.platform_filter, r.last);
    }
}

TEST_F(PrefsPanel, WhatIsTypedAndTickedLastsInThePreferencesFileButNotThePlatform) {
    const int kTab = 48, kBackspace = 51;
    const struct {
        const char* name;
        const char* host_before;
        const char* port_before;
        std::string host_keys;   // typed into the host field, which takes the focus and selects its text
        std::string port_keys;   // typed after Tab, which selects the port text
        bool tick_log;
        std::string host, port;
        int port_number;
        const char* file_lines;  // the file's log and proxy lines, in order
    } rows[] = {
        {"typed", "", "", "proxy.example.test", "8080", true, "proxy.example.test", "8080", 8080,
         "_log_actions 1\n_proxy_host proxy.example.test\n_proxy_port 8080\n_proxy_port_int 8080\n"},
        // A refused port is not kept: the one before it is.
        {"replaced and cut at 65", "old.example", "3128", std::string(70, 'h'), "80a", false, std::string(65, 'h'),
         "3128", 3128,
         "_log_actions 0\n_proxy_host hhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhh\n_proxy_port "
         "3128\n_proxy_port_int 3128\n"},
        {"emptied", "old.example", "3128", "\b", "\b", false, "", "", 0, "_log_actions 0\n_proxy_port_int 0\n"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        // Each row is a run of its own: the fields' shared editor starts fresh.
        reset_settings();
        BTN_text_fields_reset_for_test();
        http.proxy_host = r.host_before;
        http.proxy_port = r.port_before;
        stg.platform_filter = 3;
        frames = 0;
        // Keys as a person types them: at most ten in a frame (a field queues 64 keys and key-ups).
        auto type_keys = [&](const std::string& keys, int part) {
            if (keys == "\b") {
                if (part == 0) key(kBackspace, 8);
            } else if (static_cast<std::size_t>(part) * 10 < keys.size()) {
                type(keys.substr(static_cast<std::size_t>(part) * 10, 10));
            }
        };
        script = [&](int n) {
            if (n >= 1 && n < 10) type_keys(r.host_keys, n - 1);
            if (n == 11) key(kTab, 9);
            if (n >= 13 && n < 22) type_keys(r.port_keys, n - 13);
            if (n == 23 && r.tick_log) press(kX, kY, 140, 254);
            if (n == 25) close_panel();
        };
        handle_prefs();
        EXPECT_EQ(http.proxy_host, r.host);
        EXPECT_EQ(http.proxy_port, r.port);
        EXPECT_EQ(http.proxy_port_int, r.port_number);
        pref.IO_set(11, 1);

        const std::string file = testsupport::read_file(tmp / "Ventaro Installer.prf");
        std::string lines;
        for (std::size_t at = 0; at < file.size();) {
            const std::size_t eol = file.find('\n', at);
            const std::string line = file.substr(at, eol - at);
            if (line.rfind("_log", 0) == 0 || line.rfind("_proxy", 0) == 0) lines += line + "\n";
            at = eol == std::string::npos ? file.size() : eol + 1;
        }
        EXPECT_EQ(lines, r.file_lines);

        reset_settings();
        pref.IO_set(11, 0);
        EXPECT_EQ(http.proxy_host, r.host);
        EXPECT_EQ(http.proxy_port, r.port);
        EXPECT_EQ(http.proxy_port_int, r.port_number);
        EXPECT_EQ(stg.log_actions, r.tick_log ? 1 : 0);
        EXPECT_EQ(stg.platform_filter, 1);   // not kept: each run starts from --os or Mac
    }
}

// Opened by the wizard frame's Preferences button and closed in each way a user closes it: the
// application's frame runs once per frame, never inside itself, asks its screen once, and each
// frame swaps once; the frame that follows the panel shows the wizard whole.
int g_app_depth = 0, g_app_deepest = 0, g_screen_calls = 0;
void nested_app_update() {
    g_app_deepest = std::max(g_app_deepest, ++g_app_depth);
    APP_update();
    --g_app_depth;
}
int prefs_screen(int, wizard_screen& w) {
    ++g_screen_calls;
    w.title = "Welcome";
    w.show_prefs = 1;
    return 0;
}

TEST_F(PrefsPanel, ClosingItFromTheWizardRunsTheFrameOnceAndSwapsOnce) {
    const auto closers = std::vector<std::pair<const char*, std::function<void()>>>{
        {"close box", [] { close_panel(); }},
        {"Return", [] { key(36, 13); }},
        {"Escape", [] { key(53, 27); }},
    };
    // The Preferences button sits right of Quit, both left-aligned from 30 with 20 of frame each.
    const float quit_w = static_cast<float>(btn_cuts[1][0] - btn_cuts[0][0]) + 20;
    const float prefs_x = 30 + quit_w + 10 + static_cast<float>(btn_cuts[7][0] - btn_cuts[6][0]) / 2 + 10;
    load_art(tex_ref_background, 1024, 1024);
    wizard_frame_reset_for_test();
    g_wizard = &prefs_screen;
    const auto saved = frame_hooks.app_update;
    frame_hooks.app_update = &nested_app_update;
    for (const auto& [how, close] : closers) {
        SCOPED_TRACE(how);
        g_app_deepest = g_screen_calls = 0;
        script = nullptr;
        MACIBM_event_proc();
        ASSERT_EQ(wins.panel_id, 0);
        // The press on Preferences is read by the next frame, whose screen opens the panel.
        press(0, 0, prefs_x, 23);
        int swaps_at_close = -1, shown_at_close = -1, frames_at_open = -1;
        script = [&](int n) {
            if (n == frames_at_open + 2) {
                close();
                swaps_at_close = frames;
                shown_at_close = platform::window_swaps_for_test();
            }
        };
        frames_at_open = frames;
        g_screen_calls = 0;
        MACIBM_event_proc();
        EXPECT_EQ(wins.panel_id, 0);
        EXPECT_EQ(g_app_deepest, 1);
        EXPECT_EQ(g_screen_calls, 1);
        // After the close: the swap that shows the lit close boxes, then the one swap of the frame
        // that opened the panel, which shows the wizard again.
        EXPECT_EQ(frames, swaps_at_close + 1);
        EXPECT_EQ(platform::window_swaps_for_test(), shown_at_close + 1);
        rec.take();
        OGL_string(12, 500, 480, "Welcome", 540, cs_bold, just_centre);
        EXPECT_TRUE(drawtest::holds_batches(last_frame, rec.take()));
    }
    frame_hooks.app_update = saved;
    g_wizard = nullptr;
}

}  // namespace
