#pragma once
// A recorded GL for the tests of code that calls extension entry points: every slot of glExt
// filled from the recorder (buffer names through the locked pair, as detection sets them).
#include "render/gl_recorder.h"
#include "render/ogl_extensions.h"

namespace recgl {

inline void load_ext_slots() {
#define VENTARO_FILL_SLOT(flag, ret, name, params, args, kinds) \
    glExt.name = reinterpret_cast<decltype(glExt.name)>(gl_api_proc(#name));
    VENTARO_GL_EXT_FUNCS(VENTARO_FILL_SLOT)
#undef VENTARO_FILL_SLOT
    glExt.glGenBuffersARB = &MY_glGenBuffers;
    glExt.glDeleteBuffersARB = &MY_glDeleteBuffers;
}

}  // namespace recgl
