#include "render/renderer_options.h"

#include <algorithm>
#include <iterator>

#include "render/ogl_extensions.h"

reno_class reno;

void reno_class::reno_init() {
    // First-generation GLSL hardware cannot run the feature shaders.
    const int shaders = glExt.glsl_avail && !glExt.first_gen_shaders ? 1 : 0;
    opt_a = 1;
    opt_factor = 1.0f;
    opt_b = opt_c = 1;
    shader_opt_a = shaders;
    opt_d = 0;
    opt_e = opt_f = opt_g = opt_h = 1;
    // Compared before the cast, so a huge factor never meets an int conversion.
    aniso_level = max_aniso < 4 ? static_cast<int>(max_aniso) : 4;
    use_comp_tex = 1;
    opt_i = 1;
    opt_j = 0;
    shader_opt_b = shader_opt_c = shader_opt_d = shaders;
    std::fill(std::begin(opt_k), std::end(opt_k), 0);
    opt_l = opt_m = 1;
}
