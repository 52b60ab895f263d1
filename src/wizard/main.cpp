#include <unistd.h>

#include <string>

#include "core/app_globals.h"
#include "core/mouse_record.h"
#include "platform/test_switches.h"
#include "render/tman.h"
#include "shell/event_pump.h"
#include "shell/leak_suppressions.h"
#include "shell/startup.h"
#include "ui/menus.h"
#include "render/panel_record.h"
#include "wizard/app_start.h"
#include "wizard/question_panels.h"
#include "wizard/wizard_frame.h"

// The road this program was built for names its first screen (VENTARO_START_SCREEN in the build).
#ifndef VENTARO_START_SCREEN
#define VENTARO_START_SCREEN demo_start
#endif
int VENTARO_START_SCREEN(int first_frame, wizard_screen& screen);

namespace {
// The bottom bar's labels are painted into the art, one picture per language.
void load_bottom_bar_art() {
    static const char* const kLanguages[] = {"English", "French", "German", "Russian", "Italian", "Spanish"};
    const int lang = mnw.lang >= 0 && mnw.lang < 6 ? mnw.lang : 0;
    tman.load_texture(tex_fail_quit, tex_ref_elements, 0x48242, tex_load_now,
                      std::string("RESOURCE:elements_") + kLanguages[lang] + ".png");
}
}  // namespace

int main(int argc, char** argv) {
    const std::string temp_folder = relaunch_off_install_dvd();
    MACIBM_init(argc, argv);
    offer_question_panels();
    load_bottom_bar_art();
    wizard_start_state(argc, argv, temp_folder);

    g_wizard = &VENTARO_START_SCREEN;
    frame_hooks.app_update = &APP_update;
    frame_hooks.quit_request = &wizard_close_request;
    const int frame_limit = platform::test_switches_now().exit_after_frames;
    const std::string exit_file = platform::test_switches_now().exit_file;
    for (int frames = 0; !app_done;) {
        MACIBM_event_proc();
        wizard_screen_log_flush();
        if (frame_limit && ++frames >= frame_limit) app_done = 1;
        if (!exit_file.empty() && ::access(exit_file.c_str(), F_OK) == 0) app_done = 1;
    }

    MACIBM_finishup(1);
    return 0;
}
