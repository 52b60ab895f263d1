// The key-assignment panel driven by whole frames of the pump: its layout, selecting a binding,
// giving it a key (which no other binding keeps), adding and deleting bindings, scrolling the
// list, and choosing the command through the browser's groups, items and path field.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "../ui/widget_frames.h"
#include "core/command_registry.h"
#include "core/shell_services.h"
#include "shell/keys.h"
#include "ui/file_dialog.h"
#include "ui/focus.h"
#include "ui/text_fields.h"

namespace {

using widgettest::WidgetFrames;

class KeysWind : public WidgetFrames {
protected:
    void SetUp() override {
        WidgetFrames::SetUp();
        wins.win_px_w = 1024;
        wins.win_px_h = 768;
        wins.start_win(0);
        keys = keys_class();
        keys.keys_io(0);
        key_edit = -1;
        k_cen = 0;
        focus_id = 0;
        BTN_text_fields_reset_for_test();
        draw();
    }
    void TearDown() override {
        keys = keys_class();
        BTN_text_fields_reset_for_test();
        WidgetFrames::TearDown();
    }
    void draw() {
        frame([] { keys.keys_wind(0); });
    }
    void click(float x, float y) {
        point(x, y);
        press();
        draw();
        release();
        draw();
    }
    void key(int code, uint32_t ch) {
        for (const int kind : {platform::ev_key_down, platform::ev_key_up}) {
            platform::input_event e;
            e.kind = kind;
            e.key_code = code;
            e.ch = ch;
            e.lower = ch;
            e.upper = ch >= 'a' && ch <= 'z' ? ch - 32 : ch;
            platform::push_test_event(e);
        }
        draw();
    }
    // The list row of the binding that runs path.
    static int row_of(const std::string& path) {
        const int c = cmnd.get_cmnd_by_name(path);
        for (std::size_t r = 0; r < keys.bindings.size(); ++r)
            if (keys.bindings[r].cmnd == c) return static_cast<int>(r);
        return -1;
    }
    static float row_y(int r) { return 689 - 20.0f * static_cast<float>(r - k_cen); }
    static std::string path_of_row(int r) { return cmnd.paths[static_cast<std::size_t>(keys.bindings[r].cmnd)]; }
};

TEST_F(KeysWind, FramesLieWhereTheLayoutPutsThem) {
    // The list (345 wide from 10, and 20 more for its slider), the column 184 wide, the rest.
    EXPECT_FLOAT_EQ(wx1, 385);
    EXPECT_FLOAT_EQ(wx2, 385 + 184 + 10);
    EXPECT_FLOAT_EQ(wx3, 1024);
    frame([] { keys.keys_wind(1); });
    EXPECT_FLOAT_EQ(wx1, 385);   // 365 wide, no gap
}

TEST_F(KeysWind, ARowIsSelectedByAClickAndLetGoByAnother) {
    const int r = row_of("sim/general/left");
    ASSERT_GE(r, 0);
    click(78, row_y(r));
    EXPECT_EQ(key_edit, r);
    click(78, row_y(r));
    EXPECT_EQ(key_edit, -1);
}

TEST_F(KeysWind, TheSelectedBindingTakesTheNextKeyAndNoOtherKeepsIt) {
    const int left = row_of("sim/general/left"), pan = row_of("sim/general/rot_left");
    ASSERT_EQ(keys.bindings[static_cast<std::size_t>(pan)].vkey, 'Q');
    click(78, row_y(left));
    key(12, 'q');
    EXPECT_EQ(keys.bindings[static_cast<std::size_t>(left)].vkey, 'Q');
    EXPECT_EQ(keys.bindings[static_cast<std::size_t>(left)].flags, 0);
    EXPECT_EQ(keys.bindings[static_cast<std::size_t>(pan)].vkey, 0);
    // The same key with shift is another combination: the fast pan keeps it.
    EXPECT_EQ(keys.bindings[static_cast<std::size_t>(row_of("sim/general/rot_left_fast"))].vkey, 'Q');
}

TEST_F(KeysWind, AddingScrollsToTheNewBindingsAndDeletingRemovesTheSelectedOne) {
    const std::size_t defaults = keys.bindings.size();
    ASSERT_EQ(defaults, 26u);
    for (int i = 0; i < 9; ++i) click(wx1 + 92, 25);
    ASSERT_EQ(keys.bindings.size(), 35u);
    EXPECT_EQ(keys.bindings.back().vkey, 0);
    EXPECT_EQ(keys.bindings.back().cmnd, cmnd.get_cmnd_by_name("sim/operation/none"));
    EXPECT_EQ(k_cen, 1);   // the last 34 shown
    click(wx1 - 15, 690);  // the slider's top arrow
    EXPECT_EQ(k_cen, 0);

    const int shot = row_of("sim/operation/screenshot");
    click(78, row_y(shot));
    click(wx1 + 92, 45);
    EXPECT_EQ(keys.bindings.size(), 34u);
    EXPECT_EQ(row_of("sim/operation/screenshot"), -1);
}

TEST_F(KeysWind, TheBrowserPicksAGroupThenAnItemAndThePathFieldNamesAnyCommand) {
    const int r = row_of("sim/general/left");
    click(78, row_y(r));
    // The groups of "sim/", in the registry's order: none, operation, general.
    click(wx1 + 18, 688 - 15 + 4);
    EXPECT_EQ(path_of_row(r), "sim/operation/screenshot");   // a new group runs its first command
    // The items of "sim/operation/": screenshot, quicktime_record_toggle, quit.
    click(wx2 + 18, 685 - 2 * 15 + 4);
    EXPECT_EQ(path_of_row(r), "sim/operation/quit");

    // Edited in the field: a half-typed path names no command, the whole one does.
    click(700, 734);
    ASSERT_NE(focus_id, 0);
    key(51, 8);
    key(51, 8);
    EXPECT_EQ(path_of_row(r), "sim/none/none");
    key(34, 'i');
    key(17, 't');
    EXPECT_EQ(path_of_row(r), "sim/operation/quit");
}

// The file dialog's frames while it is open over the panel: each runs the next scripted input.
std::vector<std::function<void()>> g_dialog_steps;
std::size_t g_dialog_step = 0;
void dialog_pass() {
    if (g_dialog_step < g_dialog_steps.size()) g_dialog_steps[g_dialog_step++]();
    else wins.start_win(0);   // a script that ran out closes the dialog
    platform::test_clock_advance(16667);
    MACIBM_event_proc();
}

TEST_F(KeysWind, TheFolderButtonPicksACommandInTheFileDialog) {
    const int r = row_of("sim/general/left");
    click(78, row_y(r));
    BTN_file_dialog_reset_for_test();
    auto key_step = [](int code, uint32_t ch) {
        return [=] {
            for (const int kind : {platform::ev_key_down, platform::ev_key_up}) {
                platform::input_event e;
                e.kind = kind;
                e.key_code = code;
                e.ch = e.lower = e.upper = ch;
                platform::push_test_event(e);
            }
        };
    };
    // Opened in sim/general/: up to sim/, into operation by its initial, then quit likewise.
    g_dialog_steps = {
        [] {
            platform::test_clock_advance(1100000);   // not a double click with the button's
            point(20, 180);
            press();
        },
        [] { release(); },
        key_step(117, 0),        // forward Delete: up a level
        key_step(31, 'o'),
        key_step(36, 13),        // Return enters the folder
        [] { platform::test_clock_advance(1100000); },
        key_step(12, 'q'),       // quicktime_record_toggle comes first
        key_step(32, 'u'),
        key_step(34, 'i'),
        key_step(17, 't'),       // now quit
        key_step(36, 13),        // Return chooses the command
    };
    g_dialog_step = 0;
    void (*pump)() = g_shell.event_proc;
    g_shell.event_proc = &dialog_pass;
    click(590 - 17, 733);   // the folder button left of the path field
    g_shell.event_proc = pump;
    EXPECT_EQ(g_dialog_step, g_dialog_steps.size());
    draw();
    EXPECT_EQ(path_of_row(r), "sim/operation/quit");
}

}  // namespace
