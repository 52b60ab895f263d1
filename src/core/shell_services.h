#pragma once
// What the layers below the window shell need of it. The shell fills these in when it starts;
// without a shell (tools, most tests) the defaults stand: one window, no contexts for workers,
// nothing to tear down, alerts in the native box only.
#include <string>

struct shell_services {
    void (*teardown)() = nullptr;               // restores the display mode and disposes of the windows
    int (*window_count)() = nullptr;            // open windows
    void* (*make_loader_context)() = nullptr;   // a context sharing the main window's, for a worker
    int (*set_loader_context)(void*) = nullptr; // makes it current on the calling thread; 1 on success
    // The system's standard stop alert with its two texts; blocks until dismissed.
    void (*native_box)(const std::string& main_text, const std::string& secondary_text) = nullptr;
    // The alert panel (994) or the language chooser (type 0): runs its own frames until it closes.
    void (*alert_panel)(int return_panel, const std::string& l1, const std::string& l2, const std::string& l3,
                        const std::string& l4, int type, const std::string& suffix) = nullptr;
    // One pass of the frame pump (events, the open panel's frame, the swap), for modal loops
    // below the shell; set as soon as the pump is linked in.
    void (*event_proc)() = nullptr;
    // Shows the frame: swaps the main window's buffers.
    void (*swap_buffers)() = nullptr;
};

extern shell_services g_shell;

int shell_window_count();                       // 1 without a shell
void* shell_make_loader_context();              // null without a shell
int shell_set_loader_context(void* context);    // 0 without a shell or context
void shell_event_proc();                        // nothing without a frame pump

// Owners of worker pools register a function that stops their pool; a quitting alert runs them
// all (most recent first) before the thread layer stops and the process ends.
void shell_at_quit(void (*stop)());
void shell_forget_at_quit(void (*stop)());
void shell_run_quit_stoppers();

// Takes the framework down; with save 1 the preferences are written and the thread layer stopped
// first. Does not end the process.
void MACIBM_finishup(int save);

// What MACIBM_finishup calls to write the installer's preferences; the preference file sets it
// as it is linked in. Unset, there are none to write.
extern void (*finishup_save_preferences)();
