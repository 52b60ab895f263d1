// Keys typed with xdotool into the real window under Xvfb reach the focused-widget hook with the
// right vkey, flags and characters.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "core/cmdline.h"
#include "core/mouse_record.h"
#include "platform/events.h"
#include "platform/video.h"
#include "render/ogl_extensions.h"
#include "shell/event_pump.h"
#include "shell/keys.h"
#include "shell/windows.h"
#include "support/gui_window.h"
#include "support/xvfb.h"
#include "render/panel_record.h"

namespace {

struct typed {
    uint32_t ch;
    int vkey, flags;
    bool operator==(const typed&) const = default;
};
std::vector<typed> g_keys;
int record_key(uint32_t ch, int vkey, int flags) {
    g_keys.push_back({ch, vkey, flags});
    return 1;
}

TEST(KeysOnX, TypedKeysArriveWithVkeyFlagsAndCharacters) {
    testsupport::xvfb server;
    ASSERT_TRUE(server.running());
    ASSERT_TRUE(testsupport::open_window_on(server, 320, 200)) << platform::window_error();
    keys_hooks.dispatch_to_focus = &record_key;

    const std::string id = std::to_string(platform::window_id(cons.windows[0]));
    for (int i = 0; i < 10; ++i) MACIBM_event_proc();   // mapped and focused
    std::string xid;
    ASSERT_EQ(testsupport::run_with_display(server.display(),
                                            {"xdotool", "search", "--name", "Ventaro Installer"}, &xid), 0);
    xid = xid.substr(0, xid.find('\n'));
    ASSERT_EQ(testsupport::run_with_display(server.display(), {"xdotool", "windowfocus", "--sync", xid}), 0);
    // Each press and release spelled out, so the modifiers are held exactly around their key.
    ASSERT_EQ(testsupport::run_with_display(
                  server.display(), {"xdotool", "keydown", "shift", "keydown", "a", "keyup", "a", "keyup", "shift",
                                     "key", "1", "key", "Return", "keydown", "ctrl", "keydown", "period", "keyup",
                                     "period", "keyup", "ctrl", "key", "KP_Enter", "key", "Escape"}),
              0);
    for (int frame = 0; frame < 300 && g_keys.size() < 12; ++frame) MACIBM_event_proc();

    // Each key down (flag 8) and up (16); the up carries its down's character.
    const std::vector<typed> expected = {
        {'A', 65, 9},  {'A', 65, 17}, {'1', 49, 8}, {'1', 49, 16}, {13, 13, 8},  {13, 13, 16},
        {'.', 185, 12}, {'.', 185, 20},  {0, 188, 8},  {0, 188, 16},  {27, 27, 8},  {27, 27, 16},
    };
    std::string seen;
    for (const typed& k : g_keys)
        seen += "{" + std::to_string(k.ch) + "," + std::to_string(k.vkey) + "," + std::to_string(k.flags) + "} ";
    EXPECT_EQ(g_keys, expected) << seen;

    keys_hooks.dispatch_to_focus = nullptr;
    cons.cons_nuke(0);
    platform::video_stop();
}

}  // namespace
