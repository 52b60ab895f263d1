#include "render/ogl_state.h"

#include <algorithm>

#include "render/gl_api.h"
#include "render/renderer_options.h"

int num_units = 1;

namespace {

struct state_cache {
    bool filled = false;
    int fog = 1, tex = 0, lit = 1, alB = 0, alT = 0, deR = 1;
    int deW = 1;   // never read from OpenGL: the context starts with depth writes off
};
state_cache c;

void set_cap(GLenum cap, bool on) {
    if (on) gl.glEnable(cap);
    else gl.glDisable(cap);
}

}  // namespace

void OGL_setstate_forget_for_test() {
    c = state_cache{};
    num_units = 1;
}

void OGL_setstate(int fog, int units, int lit, int alpha, int depth_test, int depth_write) {
    OGL_setstate(static_cast<ogl_fog_mode>(fog), units, static_cast<ogl_lit_mode>(lit), static_cast<ogl_al_mode>(alpha),
                 static_cast<ogl_deR_mode>(depth_test), static_cast<ogl_deW_mode>(depth_write));
}

void OGL_setstate(ogl_fog_mode fog, int units, ogl_lit_mode lit, ogl_al_mode alpha, ogl_deR_mode depth_test,
                  ogl_deW_mode depth_write) {
    if (!c.filled) {
        c.filled = true;
        c.fog = gl.glIsEnabled(GL_FOG) ? 0 : 1;
        c.tex = gl.glIsEnabled(GL_TEXTURE_2D) ? num_units : 0;
        c.lit = gl.glIsEnabled(GL_LIGHTING) ? 0 : 1;
        c.alB = gl.glIsEnabled(GL_BLEND) ? 1 : 0;
        c.alT = gl.glIsEnabled(GL_ALPHA_TEST) ? 1 : 0;
        c.deR = gl.glIsEnabled(GL_DEPTH_TEST) ? 0 : 1;
    }

    if (fog != c.fog) set_cap(GL_FOG, fog == 0);

    int units_now = c.tex;
    if (units != c.tex) {
        set_cap(GL_TEXTURE_2D, units > 0);
        // The unit loops below and the binding cache know units 0 to 7 only.
        const int most = std::clamp(reno.tex_units, 0, ogl_cached_units);
        units_now = units < 0 ? 0 : std::min(units, most);
        num_units = units_now;
        if (units_now > 1 || c.tex > 1) {
            for (int k = 0; k < ogl_cached_units; ++k)
                if (c.tex <= k && units_now > k) {
                    gl.glActiveTexture(GL_TEXTURE0 + k);
                    gl.glEnable(GL_TEXTURE_2D);
                }
            for (int k = 0; k < ogl_cached_units; ++k)
                if (c.tex > k && units_now <= k) {
                    gl.glActiveTexture(GL_TEXTURE0 + k);
                    gl.glDisable(GL_TEXTURE_2D);
                }
            gl.glActiveTexture(GL_TEXTURE0);
        }
    }

    if (lit != c.lit) {
        set_cap(GL_LIGHTING, lit == 0);
        set_cap(GL_LIGHT0, lit == 0);
    }

    // Out-of-range modes change nothing and are recorded as neither blending nor testing.
    if (alpha >= 0 && alpha <= 3) {
        const bool blend = alpha == 1 || alpha == 3, test = alpha == 2 || alpha == 3;
        if (blend != (c.alB != 0)) set_cap(GL_BLEND, blend);
        if (test != (c.alT != 0)) set_cap(GL_ALPHA_TEST, test);
    }

    if (depth_test != c.deR) set_cap(GL_DEPTH_TEST, depth_test == 0);
    if (depth_write != c.deW) gl.glDepthMask(depth_write ? GL_FALSE : GL_TRUE);

    c.fog = fog;
    c.tex = units_now;
    c.lit = lit;
    c.alB = alpha == 1 || alpha == 3;
    c.alT = alpha == 2 || alpha == 3;
    c.deR = depth_test;
    c.deW = depth_write;
}
