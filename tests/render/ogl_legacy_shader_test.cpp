// Plain textured drawing's shader against a recorded GL: which variant each state picks, the
// uniforms sent once per value, and what happens without GLSL.
#include "render/ogl_legacy_shader.h"

#include <gtest/gtest.h>

#include "draw_fixture.h"
#include "recorded_gl.h"
#include "render/ogl_framebuffer.h"
#include "render/ogl_shader.h"
#include "render/palette.h"

namespace {

using calls = std::vector<std::string>;

class LegacyShader : public ::testing::Test {
protected:
    void SetUp() override {
        drawtest::link_bundle_resources({"shaders"});
        glExt = OGL_extensions{};
        glExt.glsl_avail = glExt.shad_objs_avail = 1;
        reno = reno_class{};
        reno.tex_units = reno.ff_tex_units = 4;
        gl_recorder_install(&rec);
        recgl::load_ext_slots();
        OGL_setstate_forget_for_test();
        OGL_legacy_shader_forget_for_test();
        rec.locations = {{"u_tex0", 10}, {"u_tex1", 11}, {"u_gamma", 12}};
        saved_gamma = colr.display_gamma;
    }
    void TearDown() override {
        OGL_shader::unbind_shaders();
        OGL_legacy_shader_forget_for_test();
        OGL_framebuffer::mTypeNow = 0;
        colr.display_gamma = saved_gamma;
        gl_recorder_install(nullptr);
        OGL_setstate_forget_for_test();
    }
    // The shader and uniform calls of one call, and whether fixed-function fog was switched on.
    calls shader_calls() {
        const calls c = rec.matching({"glUseProgramObjectARB", "glUniform", "glEnable(GL_FOG)"});
        rec.take();
        return c;
    }
    std::string use(int id) {
        return "glUseProgramObjectARB(" + std::to_string(OGL_legacy_shader()->get_gl_id(id)) + ")";
    }

    gl_recorder rec;
    float saved_gamma = 0;
};

TEST_F(LegacyShader, TheStatePicksTheVariantAndUniformsAreSentOncePerValue) {
    OGL_set_legacy_shader(1, 1, 1, 0, 1, 1);
    ASSERT_NE(OGL_legacy_shader(), nullptr);
    EXPECT_EQ(shader_calls(), (calls{use(2), "glUniform1iARB(10, 0)"}));
    EXPECT_NE(rec.shader_sources[0].find("#define HAS_GSHADER 0\n#define FOG 0\n#define NUM_TU 1\n#define GAMMA 0\n#define LIT 0\n"),
              std::string::npos);
    OGL_set_legacy_shader(1, 1, 1, 0, 1, 1);
    EXPECT_EQ(shader_calls(), calls{});

    // Fog asked for: the shader's fog (FOG 1), never fixed-function fog. Two textures, lit.
    OGL_set_legacy_shader(0, 2, 0, 1, 0, 0);
    EXPECT_EQ(shader_calls(), (calls{use(1 + 2 * 2 + 12), "glUniform1iARB(10, 0)", "glUniform1iARB(11, 1)"}));
    // Back to variant 2: its uniform is still known.
    OGL_set_legacy_shader(1, 1, 1, 0, 1, 1);
    EXPECT_EQ(shader_calls(), calls{use(2)});
    OGL_set_legacy_shader(1, 0, 1, 0, 1, 1);
    EXPECT_EQ(shader_calls(), calls{use(0)});
}

TEST_F(LegacyShader, FloatingPointTargetsGetTheGammaPair) {
    colr.display_gamma = 2.2f;
    OGL_framebuffer::mTypeNow = 2;
    OGL_set_legacy_shader(1, 1, 1, 0, 1, 1);
    EXPECT_EQ(shader_calls(), (calls{use(2 + 6), "glUniform1iARB(10, 0)", "glUniform2fARB(12, 2.2, 0.454545)"}));
    const OGL_shader::uniform_cache_t& cached = OGL_legacy_shader()->variant(8)->uniform_cache[2];
    EXPECT_EQ(cached.kind, 6);
    EXPECT_EQ(cached.v[1], 1.0f / 2.2f);
    OGL_framebuffer::mTypeNow = 1;
    OGL_set_legacy_shader(1, 1, 1, 0, 1, 1);
    EXPECT_EQ(shader_calls(), calls{});
    colr.display_gamma = 1.8f;
    OGL_set_legacy_shader(1, 1, 1, 0, 1, 1);
    EXPECT_EQ(shader_calls(), (calls{"glUniform2fARB(12, 1.8, 0.555556)"}));
}

TEST_F(LegacyShader, UniformsAVariantLacksAreSkipped) {
    rec.locations = {{"u_tex1", 11}};
    OGL_set_legacy_shader(1, 2, 1, 0, 1, 1);
    EXPECT_EQ(shader_calls(), (calls{use(4), "glUniform1iARB(11, 1)"}));
}

TEST_F(LegacyShader, WithoutGlslOnlyTheFixedFunctionStateIsSetAndFogStaysOff) {
    glExt.glsl_avail = 0;
    OGL_set_legacy_shader(0, 1, 1, 0, 1, 1);
    EXPECT_EQ(rec.matching({"glEnable"}), calls{"glEnable(GL_TEXTURE_2D)"});
    EXPECT_EQ(shader_calls(), calls{});
    EXPECT_EQ(OGL_legacy_shader(), nullptr);
}

}  // namespace
