#include "render/tex_bind.h"

#include <algorithm>

#include "render/gl_api.h"
#include "render/ogl_extensions.h"
#include "render/ogl_state.h"
#include "render/renderer_options.h"
#include "render/tex_flags.h"
#include "render/tex_obj.h"
#include "render/tman.h"

UTL_stat gKillTex("perf/kill_tex", stat_setting, 0.0f);

namespace {

int o_tex[ogl_cached_units] = {-1, -1, -1, -1, -1, -1, -1, -1};
int o_mod[ogl_cached_units] = {-1, -1, -1, -1, -1, -1, -1, -1};

// One combine argument: a source and its operand.
struct arg {
    GLenum src;
    GLenum op;
};
constexpr arg P{GL_PREVIOUS, GL_SRC_COLOR}, T{GL_TEXTURE, GL_SRC_COLOR}, K{GL_CONSTANT, GL_SRC_COLOR},
    V{GL_PRIMARY_COLOR, GL_SRC_COLOR};
constexpr arg Pa{GL_PREVIOUS, GL_SRC_ALPHA}, Ta{GL_TEXTURE, GL_SRC_ALPHA}, Ka{GL_CONSTANT, GL_SRC_ALPHA};
constexpr arg one_minus_Pa{GL_PREVIOUS, GL_ONE_MINUS_SRC_ALPHA};
constexpr arg none{0, 0};

struct recipe {
    int type;
    GLenum rgb_func;
    arg rgb[3];
    GLenum alpha_func;
    arg alpha[3];
    int rgb_scale = 0;     // 0: left at 1
    int alpha_scale = 0;
    float k = -1.0f;       // >= 0: the environment colour (k, k, k, k) first
};

// The recipes by environment value: combine functions with their arguments in order.
const recipe kRecipes[] = {
    {1, GL_ADD, {P, T, none}, GL_REPLACE, {Pa, none, none}},
    {2, GL_ADD, {P, T, none}, GL_ADD, {Pa, Ta, none}},
    {3, GL_INTERPOLATE, {P, T, K}, GL_REPLACE, {Pa, none, none}},
    {4, GL_INTERPOLATE, {P, T, K}, GL_INTERPOLATE, {Pa, Ta, Ka}},
    {5, GL_MODULATE, {P, K, none}, GL_REPLACE, {Pa, none, none}, 4},
    {6, GL_MODULATE, {P, K, none}, GL_MODULATE, {Pa, Ka, none}, 4, 4},
    {14, GL_MODULATE, {P, T, none}, GL_REPLACE, {Ta, none, none}, 0, 1},
    {15, GL_REPLACE, {P, none, none}, GL_SUBTRACT, {Ta, Pa, none}, 0, 4},
    {16, GL_REPLACE, {P, none, none}, GL_MODULATE, {one_minus_Pa, Ta, none}},
    {17, GL_MODULATE, {P, one_minus_Pa, none}, GL_REPLACE, {Ka, none, none}, 0, 0, 1.0f},
    {18, GL_REPLACE, {P, none, none}, GL_REPLACE, {Pa, none, none}},
    {19, GL_REPLACE, {P, none, none}, GL_REPLACE, {Ka, none, none}, 0, 0, 1.0f},
    {20, GL_MODULATE, {P, T, none}, GL_REPLACE, {Ka, none, none}, 0, 0, 1.0f},
    {21, GL_MODULATE, {P, T, none}, GL_REPLACE, {Pa, none, none}, 0, 1},
    {22, GL_REPLACE, {Ta, none, none}, GL_REPLACE, {Ka, none, none}, 0, 0, 1.0f},
    {23, GL_REPLACE, {P, none, none}, GL_REPLACE, {Ta, none, none}},
    {24, GL_INTERPOLATE, {T, P, Ta}, GL_REPLACE, {Pa, none, none}},
    {25, GL_INTERPOLATE, {T, P, Pa}, GL_REPLACE, {Pa, none, none}},
    {26, GL_MODULATE, {P, Ta, none}, GL_REPLACE, {Pa, none, none}},
    {27, GL_INTERPOLATE, {T, P, K}, GL_INTERPOLATE, {Ta, Pa, Ka}},
    {28, GL_INTERPOLATE, {T, K, Ta}, GL_REPLACE, {Pa, none, none}},
    {29, GL_MODULATE, {P, V, none}, GL_REPLACE, {Pa, none, none}},
    {30, GL_MODULATE, {P, K, none}, GL_MODULATE, {Pa, Ka, none}},
    {31, GL_INTERPOLATE, {P, K, T}, GL_REPLACE, {Pa, none, none}, 0, 0, 0.0f},
    {32, GL_INTERPOLATE, {V, K, T}, GL_REPLACE, {Ta, none, none}, 0, 0, 0.0f},
};

const recipe* find_recipe(int type) {
    for (const recipe& r : kRecipes)
        if (r.type == type) return &r;
    return nullptr;
}

void set_recipe(const recipe& r) {
    static constexpr GLenum rgb_src[3] = {GL_SOURCE0_RGB, GL_SOURCE1_RGB, GL_SOURCE2_RGB};
    static constexpr GLenum rgb_op[3] = {GL_OPERAND0_RGB, GL_OPERAND1_RGB, GL_OPERAND2_RGB};
    static constexpr GLenum alpha_src[3] = {GL_SOURCE0_ALPHA, GL_SOURCE1_ALPHA, GL_SOURCE2_ALPHA};
    static constexpr GLenum alpha_op[3] = {GL_OPERAND0_ALPHA, GL_OPERAND1_ALPHA, GL_OPERAND2_ALPHA};
    gl.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
    if (r.k >= 0.0f) {
        const GLfloat k[4] = {r.k, r.k, r.k, r.k};
        gl.glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, k);
    }
    gl.glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, static_cast<GLint>(r.rgb_func));
    for (int i = 0; i < 3 && r.rgb[i].src; ++i) {
        gl.glTexEnvi(GL_TEXTURE_ENV, rgb_src[i], static_cast<GLint>(r.rgb[i].src));
        gl.glTexEnvi(GL_TEXTURE_ENV, rgb_op[i], static_cast<GLint>(r.rgb[i].op));
    }
    gl.glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, static_cast<GLint>(r.alpha_func));
    for (int i = 0; i < 3 && r.alpha[i].src; ++i) {
        gl.glTexEnvi(GL_TEXTURE_ENV, alpha_src[i], static_cast<GLint>(r.alpha[i].src));
        gl.glTexEnvi(GL_TEXTURE_ENV, alpha_op[i], static_cast<GLint>(r.alpha[i].op));
    }
    if (r.rgb_scale) gl.glTexEnvi(GL_TEXTURE_ENV, GL_RGB_SCALE, r.rgb_scale);
    if (r.alpha_scale) gl.glTexEnvi(GL_TEXTURE_ENV, GL_ALPHA_SCALE, r.alpha_scale);
}

// The interface atlas's own name: the one texture "perf/kill_tex" leaves alone, so the interface
// stays readable while everything else turns grey.
bool is_interface_atlas(int name) {
    const TEX_obj* atlas = tman.get_known_obj(tex_ref_interface);
    return atlas && name != 0 && static_cast<unsigned>(name) == atlas->gl_id.load();
}

void set_env_colour(int unit, const GLfloat colour[4]) {
    if (unit < 0 || unit >= std::min(reno.ff_tex_units, ogl_cached_units)) return;
    if (unit > 0) gl.glActiveTexture(GL_TEXTURE0 + unit);
    gl.glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, colour);
    if (unit > 0) gl.glActiveTexture(GL_TEXTURE0);
}

}  // namespace

void TEX_bind_ref(int name, int unit, int type, unsigned long target) {
    if (unit < 0 || unit >= ogl_cached_units) return;
    const int e = type == 0 ? GL_MODULATE : type;
    if (*gKillTex.value != 0.0f && !is_interface_atlas(name)) name = tex_ref_blank_gray;
    if (name == o_tex[unit] && e == o_mod[unit]) return;

    if (unit > 0) gl.glActiveTexture(GL_TEXTURE0 + unit);
    if (name != o_tex[unit]) {
        gl.glBindTexture(static_cast<GLenum>(target), static_cast<GLuint>(name));
        o_tex[unit] = name;
    }
    if (type != tex_env_bind_only && e != o_mod[unit]) {
        o_mod[unit] = e;
        gl.glTexEnvi(GL_TEXTURE_ENV, GL_RGB_SCALE, 1);
        gl.glTexEnvi(GL_TEXTURE_ENV, GL_ALPHA_SCALE, 1);
        const recipe* r = glExt.combine_avail ? find_recipe(type) : nullptr;
        if (r) set_recipe(*r);
        else gl.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, e);
    }
    if (unit > 0) gl.glActiveTexture(GL_TEXTURE0);
}

void TEX_reset_bind() {
    std::fill(std::begin(o_tex), std::end(o_tex), -1);
    std::fill(std::begin(o_mod), std::end(o_mod), -1);
}

void TEX_set_blend_level(int unit, float level) {
    const GLfloat c[4] = {level, level, level, level};
    set_env_colour(unit, c);
}

void TEX_set_tint(int unit, float r, float g, float b, float a) {
    const GLfloat c[4] = {r, g, b, a};
    set_env_colour(unit, c);
}
