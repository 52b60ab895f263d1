#pragma once
// The program's windows and their OpenGL contexts. For now the window count and the loader
// context that worker threads would share; window creation arrives with the shell.

using ogl_context_t = void*;

class cons_class {
public:
    // n < 0: the number of open windows. 1 or 2: asks for that many and answers 0.
    int num_cons(int n);
    // A context sharing the main window's, for a worker thread; null when none can be made.
    ogl_context_t cons_make_loader();

    int sec_mon_inuse = 0;   // nonzero asks for a second window

private:
    int open_ = 1;
};

extern cons_class cons;

// Makes the context current on the calling thread; 1 on success.
int MACIBM_set_context_loader(ogl_context_t context);
