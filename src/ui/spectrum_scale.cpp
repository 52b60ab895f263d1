// The spectrum bar with its two end values: the bar is the palette's, the numbers are text.
#include <algorithm>

#include "render/gl_api.h"
#include "render/ogl_state.h"
#include "render/palette.h"
#include "render/panel_record.h"
#include "ui/tt_font.h"

void colr_class::spectrum_plot_scale(float x, float y, float height, float min, float max, int decimals) {
    spec_max = max;
    spec_min = min;
    OGL_number(0, x + 4, y + height - 4, max, 5, decimals, cs_regular, sft_plain, just_left);
    OGL_number(0, x + 4, y - 4, min, 5, decimals, cs_regular, sft_plain, just_left);
    spec_range = max - min;

    OGL_setstate(ogl_fog_off, 0, ogl_lit_off, ogl_al_blend, ogl_deR_off, ogl_deW_off);
    gl.glPointSize(4);
    gl.glBegin(GL_POINTS);
    // The bar stands in the open panel, beside its labels.
    const float X = x + wins.off_x, Y = y + wins.off_y;
    for (int k = 0; static_cast<float>(k) < height; ++k) {
        const float v = std::clamp(min + (max - min) / height * static_cast<float>(k), std::min(min, max),
                                   std::max(min, max));
        // An empty range shows the first colour instead of dividing by zero.
        const float at = spec_range != 0 ? (v - min) / spec_range * static_cast<float>(spectrum_count) : 0.0f;
        const int i = at >= static_cast<float>(spectrum_count - 1) ? spectrum_count - 1 : at > 0 ? static_cast<int>(at) : 0;
        gl.glColor4f(spectrum[i][0], spectrum[i][1], spectrum[i][2], 1.0f);
        gl.glVertex2f(X, Y + static_cast<float>(k));
    }
    gl.glEnd();
    gl.glPointSize(1);
}
