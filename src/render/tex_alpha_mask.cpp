#include "render/tex_alpha_mask.h"

#include <cstdint>

#include "core/log.h"
#include "render/gl_api.h"
#include "render/ogl_state.h"
#include "render/tex_scratch.h"
#include "render/tman.h"

void TEX_make_alpha_mask(int ref, int smooth) {
    OGL_setstate(ogl_fog_off, 1, ogl_lit_off, ogl_al_blend, ogl_deR_off, ogl_deW_off);
    tman.bind_ref(ref, 0, 0);
    const int w = static_cast<int>(tman.tex_dx_tot(ref)), h = static_cast<int>(tman.tex_dy_tot(ref));
    // The read-back lands in the staging buffer; a texture larger than it would overrun it.
    if (w < 1 || h < 1 || int64_t(w) * h * 4 > int64_t(scratch_array_bytes)) {
        xer << "WARNING: no alpha mask for texture " << ref << ": " << w << "x" << h
            << " does not fit the staging buffer.\n";
        return;
    }
    unsigned char* px = scratch_array;
    gl.glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, px);

    const int64_t count = int64_t(w) * h;
    for (int64_t i = 0; i < count; ++i) {
        unsigned char* p = px + i * 4;
        p[3] = static_cast<unsigned char>(255 - p[0]);
        p[0] = p[1] = p[2] = 0;
    }
    if (smooth) {
        // In place, row by row from the first stored row: the neighbours already passed count
        // with their new values.
        for (int y = 1; y < h - 1; ++y)
            for (int x = 1; x < w - 1; ++x) {
                int sum = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) sum += px[((int64_t(y) + dy) * w + x + dx) * 4 + 3];
                px[(int64_t(y) * w + x) * 4 + 3] = static_cast<unsigned char>(sum / 9);
            }
    }
    gl.glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, px);
}
