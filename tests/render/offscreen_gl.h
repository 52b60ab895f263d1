#pragma once
// A real OpenGL context for render tests without an X server: a w x h window of SDL's offscreen
// driver (Mesa), the capabilities detected, the renderer options, the staging buffer and the
// texture manager set up as start-up sets them, and the panel record told the window's size.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/gl_window.h"
#include "render/gl_api.h"
#include "render/ogl_extensions.h"
#include "render/ogl_state.h"
#include "render/renderer_options.h"
#include "render/tex_scratch.h"
#include "render/tman.h"
#include "render/panel_record.h"

namespace offscreen {

// Kept for the whole test program, like the program's own window.
inline platform::gl_window* window = nullptr;
inline platform::gl_context context = nullptr;

// False (with the reason in a test failure) when no context could be made.
inline bool open_gl(int w, int h) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    window = platform::window_create(0, 0, w, h, false, false, 0);
    if (!window) {
        ADD_FAILURE() << platform::window_error();
        return false;
    }
    context = platform::context_create(window, nullptr);
    if (!context || !platform::context_make_current(window, context)) {
        ADD_FAILURE() << platform::window_error();
        return false;
    }
    if (gl_api_load(&platform::gl_proc_address) != 0) return false;
    glExt.init_extensions();
    reno.reno_init();
    gl.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    gl.glPixelStorei(GL_PACK_ALIGNMENT, 1);
    gl.glEnableClientState(GL_VERTEX_ARRAY);
    scratch_array = TEX_scratch_aligned_start();
    tman.TEX_init();
    wins.win_px_w = w;
    wins.win_px_h = h;
    wins.view_right = static_cast<float>(w);
    wins.view_top = static_cast<float>(h);
    wins.scale = 1.0f;
    return true;
}

// An orthographic view of the whole w x h drawable, one unit a pixel, depth -10 to 10.
inline void pixel_view(int w, int h) {
    gl.glViewport(0, 0, w, h);
    gl.glMatrixMode(GL_PROJECTION);
    gl.glLoadIdentity();
    gl.glOrtho(0, w, 0, h, -10, 10);
    gl.glMatrixMode(GL_MODELVIEW);
    gl.glLoadIdentity();
}

// A 2 x 2 RGBA texture with nearest filtering, bound on the current unit: the texels bottom row
// first, left to right.
inline GLuint texture_2x2(const unsigned char (&texels)[16]) {
    GLuint name = 0;
    gl.glGenTextures(1, &name);
    gl.glBindTexture(GL_TEXTURE_2D, name);
    gl.glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return name;
}

struct colour8 {
    int r, g, b;
};

// The w x h drawable in two colours: the upper half top, the lower half bottom.
inline void top_and_bottom(int w, int h, colour8 top, colour8 bottom) {
    pixel_view(w, h);
    OGL_setstate(1, 0, 1, 0, 1, 1);
    gl.glClearColor(static_cast<float>(bottom.r) / 255.0f, static_cast<float>(bottom.g) / 255.0f,
                    static_cast<float>(bottom.b) / 255.0f, 1);
    gl.glClear(GL_COLOR_BUFFER_BIT);
    gl.glColor3ub(static_cast<GLubyte>(top.r), static_cast<GLubyte>(top.g), static_cast<GLubyte>(top.b));
    gl.glBegin(GL_QUADS);
    gl.glVertex2f(0, static_cast<float>(h / 2));
    gl.glVertex2f(0, static_cast<float>(h));
    gl.glVertex2f(static_cast<float>(w), static_cast<float>(h));
    gl.glVertex2f(static_cast<float>(w), static_cast<float>(h / 2));
    gl.glEnd();
}

}  // namespace offscreen
