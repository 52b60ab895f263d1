// The binding cache against a recorded GL: first binds issue their calls, repeats issue none, the
// combine recipes, the placeholder switch and the units the cache refuses.
#include <gtest/gtest.h>

#include "render/gl_recorder.h"
#include "render/ogl_extensions.h"
#include "render/renderer_options.h"
#include "render/tex_bind.h"
#include "render/tex_obj.h"
#include "render/tman.h"

namespace {

using calls = std::vector<std::string>;

const calls kModulate = {"glTexEnvi(GL_TEXTURE_ENV, GL_RGB_SCALE, 1)", "glTexEnvi(GL_TEXTURE_ENV, GL_ALPHA_SCALE, 1)",
                         "glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, 8448)"};

calls operator+(calls a, const calls& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class Binding : public ::testing::Test {
protected:
    void SetUp() override {
        glExt = OGL_extensions{};
        glExt.combine_avail = 1;
        reno = reno_class{};
        reno.tex_units = reno.ff_tex_units = 4;
        TEX_reset_bind();
        gl_recorder_install(&rec);
    }
    void TearDown() override {
        *gKillTex.value = 0;
        gl_recorder_install(nullptr);
        TEX_reset_bind();
    }
    gl_recorder rec;
};

TEST_F(Binding, ARepeatedBindIsFreeUntilTheCacheIsReset) {
    TEX_bind_ref(12, 0, 0, GL_TEXTURE_2D);
    EXPECT_EQ(rec.take(), (calls{"glBindTexture(GL_TEXTURE_2D, 12)"} + kModulate));
    TEX_bind_ref(12, 0, 0, GL_TEXTURE_2D);
    EXPECT_EQ(rec.take(), calls{});
    // Another name on the same unit binds but leaves the environment alone.
    TEX_bind_ref(13, 0, 0, GL_TEXTURE_2D);
    EXPECT_EQ(rec.take(), calls{"glBindTexture(GL_TEXTURE_2D, 13)"});

    TEX_reset_bind();
    TEX_bind_ref(13, 0, 0, GL_TEXTURE_2D);
    EXPECT_EQ(rec.take(), (calls{"glBindTexture(GL_TEXTURE_2D, 13)"} + kModulate));
}

TEST_F(Binding, OtherUnitsAreSelectedForTheBindAndUnitZeroIsPutBack) {
    TEX_bind_ref(12, 2, 0, GL_TEXTURE_2D);
    EXPECT_EQ(rec.take(), (calls{"glActiveTexture(GL_TEXTURE2)", "glBindTexture(GL_TEXTURE_2D, 12)"} + kModulate +
                           calls{"glActiveTexture(GL_TEXTURE0)"}));
    TEX_bind_ref(12, 2, 0, GL_TEXTURE_2D);
    EXPECT_EQ(rec.take(), calls{});
    // Each unit keeps its own memory.
    TEX_bind_ref(12, 1, 0, GL_TEXTURE_2D);
    EXPECT_EQ(rec.matching({"glBindTexture"}), calls{"glBindTexture(GL_TEXTURE_2D, 12)"});
}

TEST_F(Binding, UnitsBeyondTheCacheAreRefusedWithoutACall) {
    for (int unit : {8, 9, 31, -1}) TEX_bind_ref(12, unit, 0, GL_TEXTURE_2D);
    EXPECT_EQ(rec.take(), calls{});
}

TEST_F(Binding, BindOnlyLeavesTheRecipeInForce) {
    TEX_bind_ref(12, 0, 3, GL_TEXTURE_2D);
    rec.take();
    TEX_bind_ref(14, 0, 33, GL_TEXTURE_2D);
    EXPECT_EQ(rec.take(), calls{"glBindTexture(GL_TEXTURE_2D, 14)"});
    // Bind-only is never remembered as an environment, so it always reaches the unit check...
    TEX_bind_ref(14, 0, 33, GL_TEXTURE_2D);
    EXPECT_EQ(rec.take(), calls{});
    // ...and recipe 3 is still the one the cache knows.
    TEX_bind_ref(14, 0, 3, GL_TEXTURE_2D);
    EXPECT_EQ(rec.take(), calls{});
}

TEST_F(Binding, RecipesSetTheirCombineFunctionsInOrder) {
    TEX_bind_ref(12, 0, 3, GL_TEXTURE_2D);
    EXPECT_EQ(rec.take(), (calls{"glBindTexture(GL_TEXTURE_2D, 12)", "glTexEnvi(GL_TEXTURE_ENV, GL_RGB_SCALE, 1)",
                                 "glTexEnvi(GL_TEXTURE_ENV, GL_ALPHA_SCALE, 1)",
                                 "glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, 34160)",
                                 "glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, 34165)",
                                 "glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB, 34168)",
                                 "glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB, 768)",
                                 "glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB, 5890)",
                                 "glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB, 768)",
                                 "glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE2_RGB, 34166)",
                                 "glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND2_RGB, 768)",
                                 "glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, 7681)",
                                 "glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA, 34168)",
                                 "glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_ALPHA, 770)"}));

    // Recipes with a constant set it first; scales come last.
    TEX_bind_ref(12, 0, 17, GL_TEXTURE_2D);
    const calls r17 = rec.take();
    ASSERT_GE(r17.size(), 4u);
    EXPECT_EQ(r17[3], "glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, ptr)");
    EXPECT_NE(std::find(r17.begin(), r17.end(), "glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB, 771)"), r17.end());
    TEX_bind_ref(12, 0, 6, GL_TEXTURE_2D);
    const calls r6 = rec.take();
    EXPECT_EQ(calls(r6.end() - 2, r6.end()), (calls{"glTexEnvi(GL_TEXTURE_ENV, GL_RGB_SCALE, 4)",
                                                    "glTexEnvi(GL_TEXTURE_ENV, GL_ALPHA_SCALE, 4)"}));
}

TEST_F(Binding, WithoutCombineSupportAndForOtherValuesTheModeIsSetAsItIs) {
    struct env_case {
        int combine, type;
        const char* mode;
    };
    for (const env_case c : {env_case{0, 3, "3"}, {1, 7, "7"}, {1, 13, "13"}, {1, GL_REPLACE, "7681"},
                             {1, GL_DECAL, "8449"}}) {
        glExt.combine_avail = c.combine;
        TEX_reset_bind();
        TEX_bind_ref(12, 0, c.type, GL_TEXTURE_2D);
        const calls got = rec.take();
        EXPECT_EQ(got.back(), std::string("glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, ") + c.mode + ")")
            << c.type;
        EXPECT_EQ(got.size(), 4u) << c.type;
    }
}

TEST_F(Binding, KillTexBindsThePlaceholderExceptTheInterfaceAtlas) {
    *gKillTex.value = 1;
    TEX_bind_ref(12, 0, 0, GL_TEXTURE_2D);
    EXPECT_EQ(rec.matching({"glBindTexture"}), calls{"glBindTexture(GL_TEXTURE_2D, 934)"});
    rec.take();

    // The atlas keeps its own texture so the interface stays readable.
    TEX_obj* atlas = new TEX_obj(359, 0, "atlas", 2, tex_fail_silent);
    atlas->gl_id = 77;
    tman.texes.resize(360, nullptr);
    tman.texes[359] = atlas;
    TEX_bind_ref(77, 0, 0, GL_TEXTURE_2D);
    EXPECT_EQ(rec.matching({"glBindTexture"}), calls{"glBindTexture(GL_TEXTURE_2D, 77)"});
    tman.texes[359] = nullptr;
    atlas->gl_id = 0;
    delete atlas;
}

TEST_F(Binding, TintsReachOnlyFixedFunctionUnits) {
    TEX_set_tint(0, 1, 0.5f, 0.25f, 1);
    EXPECT_EQ(rec.take(), calls{"glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, ptr)"});
    TEX_set_blend_level(3, 0.5f);
    EXPECT_EQ(rec.take(), (calls{"glActiveTexture(GL_TEXTURE3)", "glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, ptr)",
                                 "glActiveTexture(GL_TEXTURE0)"}));
    // GLSL counts 16 image units, but only 4 units have texture environments.
    reno.tex_units = 16;
    for (int unit : {4, 8, 15, -1}) {
        TEX_set_tint(unit, 1, 1, 1, 1);
        TEX_set_blend_level(unit, 1);
    }
    EXPECT_EQ(rec.take(), calls{});
    // A tint is not the cache's business: the next bind still issues its calls.
    TEX_bind_ref(12, 3, 0, GL_TEXTURE_2D);
    EXPECT_FALSE(rec.matching({"glBindTexture"}).empty());
}

}  // namespace
