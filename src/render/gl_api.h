#pragma once
// Every OpenGL call of the program goes through the table `gl` (core entry points, listed in
// gl_core_list.h) or through the extension slots of `glExt` (ogl_extensions.h). Nothing links
// the GL library itself: the table is filled by name from the current context's library, and a
// test may fill it with a recorder instead (gl_recorder.h).
//
//   gl.glBindTexture(GL_TEXTURE_2D, name);
//
// To reach one more core entry point, add its line to gl_core_list.h.
#include <SDL_opengl.h>

#include <string>
#include <vector>

#include "render/gl_core_list.h"

struct gl_api_t {
#define VENTARO_GL_SLOT(ret, name, params, args, kinds) ret(APIENTRY* name) params = nullptr;
    VENTARO_GL_CORE_FUNCS(VENTARO_GL_SLOT)
#undef VENTARO_GL_SLOT
};

extern gl_api_t gl;

using gl_proc_t = void (*)();
using gl_proc_loader_t = gl_proc_t (*)(const char* name);

// Fills `gl` through the loader and keeps the loader for gl_api_proc. Returns how many core entry
// points the library lacks (their names go to missing when given); those slots stay null.
int gl_api_load(gl_proc_loader_t loader, std::vector<std::string>* missing = nullptr);
// Looks a name up through the loader in force; null without one or when the library lacks it.
gl_proc_t gl_api_proc(const char* name);
// The loader in force (null before gl_api_load).
gl_proc_loader_t gl_api_loader();
// Every core entry point's name, in list order.
const std::vector<const char*>& gl_api_names();
