// The renderer options' start values: the anisotropic level from the detected factor, the
// compressed-texture preference, and the shader switches following the GLSL capability.
#include <gtest/gtest.h>

#include "render/ogl_extensions.h"
#include "render/renderer_options.h"

namespace {

class RendererOptions : public ::testing::Test {
protected:
    void TearDown() override {
        glExt = OGL_extensions{};
        reno = reno_class{};
    }
};

TEST_F(RendererOptions, AtProgramStartOnlyOneSwitchIsOn) {
    const reno_class fresh;
    EXPECT_EQ(fresh.opt_on_at_start, 1);
    EXPECT_EQ(fresh.aniso_level, 0);
    EXPECT_EQ(fresh.use_comp_tex, 0);
    EXPECT_EQ(fresh.max_aniso, 0);
    EXPECT_EQ(fresh.tex_res, 0);
    EXPECT_EQ(fresh.alias_req, 0);
}

TEST_F(RendererOptions, InitGivesTheStartValues) {
    struct init_case {
        float max_aniso;
        int glsl, first_gen;
        int aniso_level, shaders;
    };
    const init_case cases[] = {
        {16, 1, 0, 4, 1}, {2, 1, 0, 2, 1}, {2.9f, 0, 0, 2, 0}, {1, 1, 1, 1, 0}, {4, 0, 1, 4, 0}, {1e30f, 1, 0, 4, 1},
    };
    for (const init_case& c : cases) {
        reno = reno_class{};
        glExt = OGL_extensions{};
        glExt.glsl_avail = c.glsl;
        glExt.first_gen_shaders = c.first_gen;
        reno.max_aniso = c.max_aniso;
        reno.tex_res = 5;
        reno.use_vsync1 = 1;
        reno.reno_init();
        EXPECT_EQ(reno.aniso_level, c.aniso_level) << c.max_aniso;
        EXPECT_EQ(reno.use_comp_tex, 1);
        for (int s : {reno.shader_opt_a, reno.shader_opt_b, reno.shader_opt_c, reno.shader_opt_d})
            EXPECT_EQ(s, c.shaders) << c.glsl << c.first_gen;
        // The switches with fixed start values, in record order.
        EXPECT_EQ(reno.opt_a, 1);
        EXPECT_EQ(reno.opt_factor, 1.0f);
        EXPECT_EQ(reno.opt_b + reno.opt_c, 2);
        EXPECT_EQ(reno.opt_d, 0);
        EXPECT_EQ(reno.opt_e + reno.opt_f + reno.opt_g + reno.opt_h, 4);
        EXPECT_EQ(reno.opt_i, 1);
        EXPECT_EQ(reno.opt_j, 0);
        for (int k : reno.opt_k) EXPECT_EQ(k, 0);
        EXPECT_EQ(reno.opt_l + reno.opt_m, 2);
        // What the shell and the detection set stays.
        EXPECT_EQ(reno.tex_res, 5);
        EXPECT_EQ(reno.use_vsync1, 1);
        EXPECT_EQ(reno.max_aniso, c.max_aniso);
        EXPECT_EQ(reno.opt_on_at_start, 1);
    }
}

}  // namespace
