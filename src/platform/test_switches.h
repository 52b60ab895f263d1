#pragma once
// Every VENTARO_TEST_* environment variable of the window shell, read here and nowhere else.
// Only tests set them; an ordinary run has none and behaves as the product does.
//
//   VENTARO_TEST_UNATTENDED=1
//       Nobody is at the screen: the native alert box writes its two texts to standard error
//       instead of opening a window, and the alert panel (and the language chooser) answers its
//       own button after the first frame it has drawn. No test ever waits on a person.
//   VENTARO_TEST_DISPLAY_MODES=WxHxBPP[@HZ],...
//       A made-up display instead of the real one: the first mode is the display's mode at start,
//       the list is every mode it offers (e.g. "800x600x32@60,1024x768x32@60,1280x1024x32@75").
//       Switching modes changes only this made-up display; a full-screen window is a plain
//       window of the mode's size at (0, 0) on the real screen. Reaches the small-display path
//       under Xvfb, whose one mode cannot change.
//   VENTARO_TEST_EXIT_AFTER_FRAMES=N
//       The program's frame loop ends (as if the window were closed) after N frames.
//   VENTARO_TEST_MOUNT_TABLE=PATH
//       The install DVD is looked for in this file (the format of /proc/self/mounts) instead of
//       the system's mount table, so a test can make any folder the mounted DVD.
//   VENTARO_TEST_DISC_FOLDER=PATH
//       A plain folder that counts as a mounted volume, looked at before the mount table: with
//       "dvd_version.txt" at its root it is the install DVD. Ejecting it takes it off the list for
//       the rest of the run, as unmounting a disc would. In-process tests change it with
//       platform_set_test_disc_folder (platform/install_media.h).
//   VENTARO_TEST_REPORT_START=1
//       Once the installer's start-up is done, one line on standard error gives what it read:
//       "start: os_filter=N path='...' temp='...' install_name='...' installed=N". The wizard's
//       screens are what shows these to a user.
//   VENTARO_TEST_SCREEN_LOG=1
//       Once the first frame of each wizard screen is swapped, one line on standard output:
//       "screen: <English title>", followed by " = <title shown>" when the language shows another.
//       A screen without a title gives "screen: " alone. A screen with a text follows it with
//       "text: <the text as shown>", its line ends written as the two characters "\n". Once the
//       first frame of one of the engine's questions is swapped: "question: <its message>" (for
//       the keep-or-overwrite question, its first line and the file).
//       The install-set builder's program likewise writes "builder: <first line>" once each
//       progress strip is swapped.
//       Every frame also reports, once it is swapped, the input it took and what changed, in
//       interface units (y up from the window's bottom, rounded): "pointer X Y" when the pointer
//       moved, "press X Y" and "release X Y" for the mouse button, "key CODE" (the key's code)
//       for a key going down, and "panel N" when another panel became current (0 the screen).
//       A test that sends input waits for its line: the frame that took it is over.
//   VENTARO_TEST_EXIT_FILE=PATH
//       The program's frame loop ends (as if the window were closed) after the first frame that
//       finds this file present: a test ends a run at a point it chose.
//   VENTARO_TEST_FRAME_LOG=1
//       When the wizard leaves a screen, one line on standard output, written at that moment:
//       "frames: <English title> frames=N work_ms=W other_ms=O longest_other_ms=L" with the number
//       of frames the screen was current, the time its own calls took, and the time from the end
//       of one of its calls to the start of the next (drawing, the buffer swap, the wait for
//       events) in all and at most. The window benchmark reads it.
//   VENTARO_TEST_BUILDER_KEY_WAIT=1
//       The install-set builder's look for the quit key waits until a key goes down, instead of
//       taking only what is queued: its progress strip stays on the screen until the test has
//       seen it and presses a key.
//
// The OS-version override VENTARO_TEST_OS_VERSION of the memory front-end is read in
// core/memory.cpp, which is below this layer's callers.
#include <string>
#include <vector>

namespace platform {

struct test_switches {
    bool unattended = false;
    std::string display_modes;    // empty: the real display
    int exit_after_frames = 0;    // 0: run until the window closes
    std::string mount_table;      // empty: the system's
    std::string disc_folder;      // empty: none
    bool report_start = false;
    bool screen_log = false;
    bool frame_log = false;
    bool builder_key_wait = false;
    std::string exit_file;        // empty: none
};

const test_switches& test_switches_now();
// Reads the environment again (tests that change it in-process).
void test_switches_reload();

}  // namespace platform
