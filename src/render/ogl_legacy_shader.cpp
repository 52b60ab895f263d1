#include "render/ogl_legacy_shader.h"

#include <memory>

#include "render/ogl_extensions.h"
#include "render/ogl_framebuffer.h"
#include "render/ogl_shader.h"
#include "render/palette.h"

namespace {

const char* const kUniforms[] = {"u_tex0", "u_tex1", "u_gamma", nullptr};
const OGL_conditional_t kSyms[] = {{"FOG", 2}, {"NUM_TU", 3}, {"GAMMA", 2}, {"LIT", 2}, {nullptr, 0}};
enum { u_tex0 = 0, u_tex1 = 1, u_gamma = 2 };
enum { kind_int = 1, kind_vec2 = 6 };

// Built on first use, so it is destroyed at exit before the shader module's own tables.
std::unique_ptr<OGL_shader_conditional>& legacy_shader() {
    static std::unique_ptr<OGL_shader_conditional> shader;
    return shader;
}

void send_sampler(OGL_shader* s, int uniform, int unit) {
    const int loc = s->get_uniform_loc(uniform);
    OGL_shader::uniform_cache_t& c = s->uniform_cache[static_cast<std::size_t>(uniform)];
    if (loc == -1 || (c.kind == kind_int && c.v[0] == static_cast<float>(unit))) return;
    c.kind = kind_int;
    c.v[0] = static_cast<float>(unit);
    glExt.glUniform1iARB(loc, unit);
}

void send_gamma(OGL_shader* s, float g) {
    const int loc = s->get_uniform_loc(u_gamma);
    OGL_shader::uniform_cache_t& c = s->uniform_cache[u_gamma];
    const float inverse = 1.0f / g;
    if (loc == -1 || (c.kind == kind_vec2 && c.v[0] == g && c.v[1] == inverse)) return;
    c.kind = kind_vec2;
    c.v[0] = g;
    c.v[1] = inverse;
    glExt.glUniform2fARB(loc, g, inverse);
}

}  // namespace

void OGL_set_legacy_shader(ogl_fog_mode fog, int textures, ogl_lit_mode lit, ogl_al_mode alpha,
                           ogl_deR_mode depth_test, ogl_deW_mode depth_write) {
    OGL_setstate(ogl_fog_off, textures, lit, alpha, depth_test, depth_write);
    if (!glExt.glsl_avail) return;
    std::unique_ptr<OGL_shader_conditional>& shader = legacy_shader();
    if (!shader)
        shader = std::make_unique<OGL_shader_conditional>("legacy.glsl", nullptr, "legacy.glsl", kUniforms, nullptr,
                                                          kSyms, nullptr);
    const int gamma = OGL_framebuffer::mTypeNow == 1 || OGL_framebuffer::mTypeNow == 2;
    const int values[4] = {fog == ogl_fog_on, textures, gamma, lit == ogl_lit_on};
    const int id = shader->id_from_flags(values);
    shader->bind(id);
    OGL_shader* s = shader->variant(id);
    if (textures >= 1) send_sampler(s, u_tex0, 0);
    if (textures >= 2) send_sampler(s, u_tex1, 1);
    if (gamma) send_gamma(s, colr.display_gamma);
}

void OGL_set_legacy_shader(int fog, int textures, int lit, int alpha, int depth_test, int depth_write) {
    OGL_set_legacy_shader(static_cast<ogl_fog_mode>(fog), textures, static_cast<ogl_lit_mode>(lit),
                          static_cast<ogl_al_mode>(alpha), static_cast<ogl_deR_mode>(depth_test),
                          static_cast<ogl_deW_mode>(depth_write));
}

OGL_shader_conditional* OGL_legacy_shader() { return legacy_shader().get(); }

void OGL_legacy_shader_forget_for_test() { legacy_shader().reset(); }
