#include "render/view.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "core/app_globals.h"
#include "core/frame_clock.h"
#include "core/shell_services.h"
#include "render/camera.h"
#include "render/gl_api.h"
#include "render/matrix.h"
#include "render/palette.h"
#include "render/panel_record.h"

float local_transform[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

namespace {

// The shell opens panels before its window exists in unit tests, and never draws then.
bool have_gl() { return gl.glViewport != nullptr; }

// Towards zero, as OpenGL's integer arguments want; out-of-range values saturate instead of
// being undefined.
int trunc_int(double v) {
    if (std::isnan(v)) return 0;
    if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
    if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
    return static_cast<int>(v);
}

void viewport(double x, double y, double w, double h) {
    if (have_gl()) gl.glViewport(trunc_int(x), trunc_int(y), trunc_int(w), trunc_int(h));
}

}  // namespace

void OGL_pix_specs(int) {
    wins.scale = 1.0f;
    wins.view_left = 0;
    wins.view_bottom = 0;
    wins.view_right = static_cast<float>(wins.win_px_w);
    wins.view_top = static_cast<float>(wins.win_px_h);
    wins.ui_off_x = std::max(0.0f, (static_cast<float>(wins.win_px_w) - 1024.0f) * 0.5f);
    if (wins.panel_id == -1) wins.ui_off_x = 0;
    if (wins.panel_id >= 0) OGL_viewport(2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1.0f, 0, 1);
}

void OGL_viewport(int type, float left, float vx, float bottom, float vy, float right, float vx2, float near,
                  float top, float vy2, float far, float divisor, int keep_aspect, int full_window) {
    if (full_window && type == 2) {
        left = wins.view_left;
        bottom = wins.view_bottom;
        right = wins.view_right;
        top = wins.view_top;
        near = -1;
        far = 1;
        vx = 0;
        vy = 0;
        vx2 = static_cast<float>(wins.win_px_w);
        vy2 = static_cast<float>(wins.win_px_h);
    }
    if (type == 3) {
        // The bounds come as slopes at unit distance.
        left *= near;
        bottom *= near;
        right *= near;
        top *= near;
        vx *= wins.scale;
        vy *= wins.scale;
        vx2 *= wins.scale;
        vy2 *= wins.scale;
    }
    const float w = vx2 - vx;
    const float h = vy2 - vy;
    if (keep_aspect) {
        bottom *= h / w;
        top *= h / w;
    }

    const bool gl_ok = have_gl();
    if (gl_ok) {
        gl.glMatrixMode(GL_PROJECTION);
        gl.glLoadIdentity();
    }
    if (type == 2) xcam.SetupOrtho(left / divisor, right / divisor, bottom / divisor, top / divisor, near, far);
    else if (type == 3) xcam.SetupFrustum(left / divisor, right / divisor, bottom / divisor, top / divisor, near, far);
    viewport(vx, vy, w, h);
    xcam.Identity();
    if (!gl_ok) return;
    gl.glMatrixMode(GL_PROJECTION);
    gl.glLoadMatrixf(xcam.projection);
    gl.glMatrixMode(GL_MODELVIEW);
    gl.glLoadMatrixf(xcam.modelview);
    xcam.modelview_stale = false;
}

void OGL_screensize(int type, float x1, float y1, float x2, float y2) {
    if (type == 2) {
        viewport(0, 0, wins.win_px_w, wins.win_px_h);
    } else if (type == 3) {
        const float s = wins.scale;
        viewport(x1 * s, y1 * s, x2 * s - x1 * s, y2 * s - y1 * s);
    } else {
        viewport(x1, y1, x2 - x1, y2 - y1);
    }
}

void OGL_scissors(float x, float y, float width, float height) {
    const float s = wins.scale;
    const float x1 = (x + wins.off_x) * s;
    const float y1 = (y + wins.off_y) * s;
    const float x2 = (x + wins.off_x + width) * s;
    const float y2 = (y + wins.off_y + height) * s;
    const int w = std::max(0, trunc_int(x2 - x1));
    const int h = std::max(0, trunc_int(y2 - y1));
    if (!have_gl()) return;
    gl.glEnable(GL_SCISSOR_TEST);
    gl.glScissor(trunc_int(x1), trunc_int(y1), w, h);
}

void OGL_scissors_end() {
    if (have_gl()) gl.glDisable(GL_SCISSOR_TEST);
}

void OGL_sbuff() {
    float r = 1, g = 1, b = 1;
    if (colr.fade > 0) {
        g = b = std::clamp(1.0f - 2.0f * colr.fade, 0.0f, 1.0f);
    } else if (colr.mono) {
        r = b = 0;
    }
    if (have_gl()) {
        const float a = ren.alpha;
        if (static_cast<double>(a) > 0.99) gl.glColor3f(r, g, b);
        else gl.glColor4f(r, g, b, a);
    }
    xtim_class::profile_chart("sb1", 0);
    if (g_shell.swap_buffers) g_shell.swap_buffers();
    xtim_class::profile_chart("sb2", 0);
}

void OGL_set_local_transform(const float m[16]) { std::copy(m, m + 16, local_transform); }

void OGL_reset_local_transform() { setIdentityMatrixf(local_transform); }

float* OGL_get_local_transform() { return local_transform; }
