#include "render/ogl_client_state.h"

#include "render/gl_api.h"
#include "render/renderer_options.h"

namespace {
int old_normals = 0;
int old_colors = 0;
int old_texes[8] = {};

void client_array(bool on, GLenum array) {
    if (on) gl.glEnableClientState(array);
    else gl.glDisableClientState(array);
}
}  // namespace

void OGL_setclientstate(ogl_nrm_mode normals, ogl_col_mode colors, unsigned char units) {
    if (normals && !old_normals) gl.glEnableClientState(GL_NORMAL_ARRAY);
    if (colors && !old_colors) gl.glEnableClientState(GL_COLOR_ARRAY);
    if (!normals && old_normals) gl.glDisableClientState(GL_NORMAL_ARRAY);
    if (!colors && old_colors) gl.glDisableClientState(GL_COLOR_ARRAY);
    // Unit 0 is the client unit every call leaves selected.
    const int want0 = units & 1;
    if (want0 != old_texes[0]) client_array(want0, GL_TEXTURE_COORD_ARRAY);
    for (int u = 1; u < 8; ++u) {
        if (reno.tex_units <= u) continue;
        const int want = (units >> u) & 1;
        if (want == old_texes[u]) continue;
        gl.glClientActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(u));
        client_array(want, GL_TEXTURE_COORD_ARRAY);
    }
    gl.glClientActiveTexture(GL_TEXTURE0);
    old_normals = normals;
    old_colors = colors;
    for (int u = 0; u < 8; ++u) old_texes[u] = (units >> u) & 1;
}

void OGL_setclientstate_forget_for_test() {
    old_normals = old_colors = 0;
    for (int& t : old_texes) t = 0;
}
