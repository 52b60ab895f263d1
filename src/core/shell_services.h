#pragma once
// What the layers below the window shell need of it. The shell fills these in when it starts;
// without a shell (tools, most tests) the defaults stand: one window, no contexts for workers,
// nothing to tear down.

struct shell_services {
    void (*teardown)() = nullptr;               // restores the display mode and disposes of the windows
    int (*window_count)() = nullptr;            // open windows
    void* (*make_loader_context)() = nullptr;   // a context sharing the main window's, for a worker
    int (*set_loader_context)(void*) = nullptr; // makes it current on the calling thread; 1 on success
};

extern shell_services g_shell;

int shell_window_count();                       // 1 without a shell
void* shell_make_loader_context();              // null without a shell
int shell_set_loader_context(void* context);    // 0 without a shell or context

// Takes the framework down; with save 1 the preferences are written and the thread layer stopped
// first. Does not end the process.
void MACIBM_finishup(int save);
