#pragma once
// The wizard's frame: every frame APP_update draws the background, the side panels and the step
// list, asks the current screen function what this frame shows, draws that with the bottom bar
// (Quit, Preferences, Order, Back, Next) and moves to the screen the user or the screen chose.
// Screens describe one frame at a time and never write g_wizard themselves.
#include <string>
#include <vector>
#include "wizard/label_cuts.h"

struct wizard_screen;
// Nonzero first argument: this screen was not the one called in the previous frame. A nonzero
// result asks to move to next_screen.
using screen_func = int (*)(int first_frame, wizard_screen& screen);

struct wizard_screen {
    std::string title;
    std::string text;
    screen_func back_screen = nullptr;    // none disables Back
    screen_func next_screen = nullptr;    // none disables Next; wizard_quit marks a last screen
    float progress = -1.0f;               // 0..1; negative: no bar
    std::string progress_text;
    int show_prefs = 0;
    std::vector<std::string> choice_labels;   // top to bottom
    std::vector<screen_func> choice_screens;  // parallel to choice_labels
    bool (*quit_func)() = nullptr;            // asked by Quit whether to end; none ends at once
};

extern screen_func g_wizard;                  // the current screen; none ends the program
extern std::vector<std::string> step_names;   // the current flow's steps, filled by its first screen
extern std::vector<screen_func> step_funcs;


// The maker's order page, opened by the Order button.
extern const char* const order_page_url;

void APP_update();
// The window's close button, given to the event layer as its quit hook: the same as a press of
// Quit (the screen's quit_func is asked), taken at the next wizard frame. A close that comes while
// a question or alert is open is that question's to answer: it is dropped, so the answer stands.
void wizard_close_request();
// One bottom-bar button with its bottom edge at y. align: 1 left edge at x, 0 centred, -1 right
// edge at x. *width receives the frame's width. style 2 is the disabled look. 1 when the mouse
// button went down inside it this frame, enabled or not.
int interface_rect(float x, float y, int label, int align, int* width, int enabled, int style);
// The end of the road: sets app_done.
int wizard_quit(int first_frame, wizard_screen& screen);
void function_key(int key);
void APP_handlemenu(int command);

// The title in English for the screen log (VENTARO_TEST_SCREEN_LOG); screens set it with their
// translated title through wizard_title, its placeholder filled with *value when given.
void wizard_title(wizard_screen& screen, const std::string& english, const std::string* value = nullptr);
// Writes the screen log's line of a screen's first frame; main calls it after each frame, once
// that frame is swapped.
void wizard_screen_log_flush();
// Forgets the frame's remembered screen (tests start each case from nothing).
void wizard_frame_reset_for_test();
