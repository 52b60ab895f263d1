// The file dialog in a real window under Xvfb over a folder tree with non-ASCII names and a link
// out of it: xdotool types a name and saves it once the dialog reports it is up. Set
// VENTARO_TEST_SCREENSHOT to a path to keep the picture of the open dialog.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "../render/recorded_draw.h"
#include "core/app_globals.h"
#include "core/shell_services.h"
#include "platform/clock.h"
#include "render/background.h"
#include "render/view.h"
#include "shell/event_pump.h"
#include "shell/windows.h"
#include "support/gui_window.h"
#include "support/framed_window.h"
#include "support/run_answering.h"
#include "support/screen_pixels.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"
#include "ui/file_dialog.h"
#include "ui/number_fields.h"
#include "ui/sliders.h"

namespace {

using testsupport::clocked_frame;
using testsupport::run_framing;

float g_fps = 20, g_level = 2;
int g_width = 320, g_scroll = 50;
char g_code[8] = "AB";
bool g_open_dialog = false;
int g_dialog_result = -1;
std::string g_path, g_open_marker;
int g_dialog_frames = 0;

void draw_host() {
    OGL_plot_back_col();
    BTN_flt_range(100, 400, &g_fps, 2, 0, 10, 99, "frame rate|(fps)");
    BTN_int_range(100, 330, &g_width, 4, 32, 2048, "width|(pix)");
    BTN_chars(100, 260, g_code, 4, "code");
    BTN_horz_slider(100, 180, 200, 50, 0, 10, &g_level, 1, "level", "loudness");
    BTN_vert_slider(0, 500, 100, 400, 0, 100, &g_scroll);
    if (g_open_dialog) {
        g_open_dialog = false;
        g_dialog_result = BTN_opensave(999, 0, &g_path);
    }
}

// The dialog's frames: the first tells the waiting script it is up; a dialog left open far too
// long is closed, so a broken script cannot hang the test.
void dialog_pass() {
    if (++g_dialog_frames == 1) testsupport::write_file(g_open_marker, "up");
    if (g_dialog_frames > 6000) wins.start_win(0);
    clocked_frame();
}

class DialogOnX : public testsupport::framed_window_test {};

TEST_F(DialogOnX, TheFileDialogSavesATypedNameInAFolderTree) {
    testsupport::xvfb server;
    ASSERT_TRUE(server.running());
    ASSERT_TRUE(testsupport::open_art_window_on(server, 800, 600)) << platform::window_error();
    const std::string saved_app_path = app_path;
    app_path = tmp.path() + "/tree/";
    for (const char* d : {"tree", "tree/Output", "tree/\xC3\x84rger", "tree/\xE6\x97\xA5\xE6\x9C\xAC",
                          "tree/my-files"})
        ::mkdir((tmp / d).c_str(), 0755);
    testsupport::write_file(tmp / "tree/readme.txt", "x");
    testsupport::write_file(tmp / "tree/Gr\xC3\xBC\xC3\x9F" "e.TXT", "x");
    ::symlink("/", (tmp / "tree/root_link").c_str());
    g_open_marker = tmp / "dialog_up";

    frame_hooks.app_update = &draw_host;
    wins.panel_id = -1;
    for (int i = 0; i < 10; ++i) clocked_frame();
    OGL_pix_specs(0);
    const std::string xid = testsupport::program_window(server.display());
    ASSERT_FALSE(xid.empty());
    ASSERT_EQ(run_framing({"xdotool", "windowfocus", "--sync", xid}), 0);

    void (*pump)() = g_shell.event_proc;
    g_shell.event_proc = &dialog_pass;
    g_open_dialog = true;
    const std::string shot = testsupport::screenshot_path(tmp / "dialog.png");
    // Waits until the dialog reports it is up, types a name, keeps a picture, saves.
    const std::string script = "while [ ! -e '" + g_open_marker + "' ]; do sleep 0.05; done; " +
                               "xdotool type --delay 80 neu && import -window " + xid + " '" + shot +
                               "' && xdotool key --delay 80 Return";
    EXPECT_EQ(run_framing({"sh", "-c", script}), 0);
    g_shell.event_proc = pump;
    EXPECT_EQ(g_dialog_result, 1);
    EXPECT_EQ(g_path, "neu");
    EXPECT_TRUE(testsupport::exists(shot));
    EXPECT_EQ(wins.id, 0);

    app_path = saved_app_path;
    frame_hooks.app_update = nullptr;
    cons.cons_nuke(0);
}

}  // namespace
