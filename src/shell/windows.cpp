#include "shell/windows.h"

cons_class cons;

int cons_class::num_cons(int n) {
    if (n < 0) return open_;
    if (n == 1 || n == 2) open_ = n;
    return 0;
}

// No pixel format exists yet, so there is nothing to make a context from.
ogl_context_t cons_class::cons_make_loader() { return nullptr; }

int MACIBM_set_context_loader(ogl_context_t context) { return context != nullptr ? 1 : 0; }
