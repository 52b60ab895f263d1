#pragma once
// The program's windows and their OpenGL contexts: up to two windows, each with a context (the
// second sharing the first's objects), one pixel format chosen with an anti-aliasing ladder, and
// the moves between windowed and full-screen use.
#include "platform/gl_window.h"
#include "render/view.h"   // OGL_pix_specs, called after every size change

using ogl_context_t = void*;

class cons_class {
public:
    // Creates window and context `index` (0 or 1); 1 on success, 0 on failure.
    int cons_make(int index);
    // n < 0: the window count. 1 or 2: opens or closes the second window; answers 0.
    int num_cons(int n);
    // Disposes of a window and clears its slot; its context stays.
    void cons_nuke(int index);
    // A context sharing context 0, for a worker thread; null when none can be made.
    ogl_context_t cons_make_loader();

    bool pixel_format_chosen = false;
    int pixel_format_samples = 0;
    platform::gl_window* windows[2] = {nullptr, nullptr};
    ogl_context_t contexts[2] = {nullptr, nullptr};
    int sec_mon_inuse = 0;   // nonzero asks for a second window on a second monitor

private:
    int count_ = 1;
};

extern cons_class cons;

// A window with content (x, y, w, h) in screen pixels, framed and movable when draggable (a
// draggable window asked for at y = 0 goes to y = 40); null when it cannot be made.
platform::gl_window* APL_make_window(int x, int y, int w, int h, int draggable);
void MACIBM_make_window_draggable(int index, int draggable);
// 0 windowed, 1 or 2 full screen.
void MACIBM_go_full_screen(int mode);
void MACIBM_live_resize(int w, int h);

// Makes the context current on the calling thread; 1 on success.
int MACIBM_set_context_loader(ogl_context_t context);
