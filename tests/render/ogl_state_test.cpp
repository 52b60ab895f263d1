// The fixed-function state cache against a recorded GL: what the first call reads, and that every
// later call issues exactly the switches that differ.
#include <gtest/gtest.h>

#include "render/gl_recorder.h"
#include "render/ogl_state.h"
#include "render/renderer_options.h"

namespace {

using calls = std::vector<std::string>;

class StateCache : public ::testing::Test {
protected:
    void SetUp() override {
        reno = reno_class{};
        reno.tex_units = 4;
        OGL_setstate_forget_for_test();
        gl_recorder_install(&rec);
    }
    void TearDown() override {
        gl_recorder_install(nullptr);
        OGL_setstate_forget_for_test();
    }
    // Primes the cache (the recorder answers every glIsEnabled with false) and forgets the calls.
    void prime(int fog, int units, int lit, int alpha, int depth_test, int depth_write) {
        OGL_setstate(fog, units, lit, alpha, depth_test, depth_write);
        rec.take();
    }

    gl_recorder rec;
};

TEST_F(StateCache, TheFirstCallReadsTheSwitchesOnceAndARepeatIssuesNothing) {
    OGL_setstate(1, 0, 1, 1, 1, 1);
    EXPECT_EQ(rec.take(), (calls{"glIsEnabled(GL_FOG)", "glIsEnabled(GL_TEXTURE_2D)", "glIsEnabled(GL_LIGHTING)",
                                 "glIsEnabled(GL_BLEND)", "glIsEnabled(GL_ALPHA_TEST)", "glIsEnabled(GL_DEPTH_TEST)",
                                 "glEnable(GL_BLEND)"}));
    // Depth writes start as off without asking: the first call with depth_write 1 leaves them.
    OGL_setstate(1, 0, 1, 1, 1, 1);
    EXPECT_EQ(rec.take(), calls{});
}

TEST_F(StateCache, OnlyWhatDiffersReachesOpenGL) {
    struct step {
        const char* name;
        int before[6];
        int after[6];
        calls expect;
    };
    const step steps[] = {
        {"every switch on", {1, 0, 1, 0, 1, 1}, {0, 1, 0, 3, 0, 0},
         {"glEnable(GL_FOG)", "glEnable(GL_TEXTURE_2D)", "glEnable(GL_LIGHTING)", "glEnable(GL_LIGHT0)",
          "glEnable(GL_BLEND)", "glEnable(GL_ALPHA_TEST)", "glEnable(GL_DEPTH_TEST)", "glDepthMask(GL_TRUE)"}},
        {"every switch off", {0, 1, 0, 3, 0, 0}, {1, 0, 1, 0, 1, 1},
         {"glDisable(GL_FOG)", "glDisable(GL_TEXTURE_2D)", "glDisable(GL_LIGHTING)", "glDisable(GL_LIGHT0)",
          "glDisable(GL_BLEND)", "glDisable(GL_ALPHA_TEST)", "glDisable(GL_DEPTH_TEST)", "glDepthMask(GL_FALSE)"}},
        {"two units back to none", {1, 2, 1, 1, 1, 1}, {1, 0, 1, 1, 1, 1},
         {"glDisable(GL_TEXTURE_2D)", "glActiveTexture(GL_TEXTURE0)", "glDisable(GL_TEXTURE_2D)",
          "glActiveTexture(GL_TEXTURE1)", "glDisable(GL_TEXTURE_2D)", "glActiveTexture(GL_TEXTURE0)"}},
        {"one unit to three", {1, 1, 1, 1, 1, 1}, {1, 3, 1, 1, 1, 1},
         {"glEnable(GL_TEXTURE_2D)", "glActiveTexture(GL_TEXTURE1)", "glEnable(GL_TEXTURE_2D)",
          "glActiveTexture(GL_TEXTURE2)", "glEnable(GL_TEXTURE_2D)", "glActiveTexture(GL_TEXTURE0)"}},
        {"one unit to none: no unit loop", {1, 1, 1, 1, 1, 1}, {1, -3, 1, 1, 1, 1}, {"glDisable(GL_TEXTURE_2D)"}},
        {"alpha test joins blending", {1, 0, 1, 1, 1, 1}, {1, 0, 1, 3, 1, 1}, {"glEnable(GL_ALPHA_TEST)"}},
        {"blending gives way to the test", {1, 0, 1, 1, 1, 1}, {1, 0, 1, 2, 1, 1},
         {"glDisable(GL_BLEND)", "glEnable(GL_ALPHA_TEST)"}},
        {"an unknown alpha mode changes nothing", {1, 0, 1, 3, 1, 1}, {1, 0, 1, 7, 1, 1}, {}},
    };
    for (const step& s : steps) {
        OGL_setstate_forget_for_test();
        prime(s.before[0], s.before[1], s.before[2], s.before[3], s.before[4], s.before[5]);
        OGL_setstate(s.after[0], s.after[1], s.after[2], s.after[3], s.after[4], s.after[5]);
        EXPECT_EQ(rec.take(), s.expect) << s.name;
    }
}

TEST_F(StateCache, AnUnknownAlphaModeIsRecordedAsNeitherBlendingNorTesting) {
    prime(1, 0, 1, 3, 1, 1);
    OGL_setstate(1, 0, 1, 9, 1, 1);
    rec.take();
    OGL_setstate(1, 0, 1, 3, 1, 1);
    EXPECT_EQ(rec.take(), (calls{"glEnable(GL_BLEND)", "glEnable(GL_ALPHA_TEST)"}));
}

TEST_F(StateCache, UnitsAreClampedToTheRenderersCountAndTheRepeatStillDiffers) {
    prime(1, 0, 1, 1, 1, 1);
    OGL_setstate(1, 5, 1, 1, 1, 1);
    EXPECT_EQ(rec.take(), (calls{"glEnable(GL_TEXTURE_2D)", "glActiveTexture(GL_TEXTURE0)", "glEnable(GL_TEXTURE_2D)",
                                 "glActiveTexture(GL_TEXTURE1)", "glEnable(GL_TEXTURE_2D)",
                                 "glActiveTexture(GL_TEXTURE2)", "glEnable(GL_TEXTURE_2D)",
                                 "glActiveTexture(GL_TEXTURE3)", "glEnable(GL_TEXTURE_2D)",
                                 "glActiveTexture(GL_TEXTURE0)"}));
    EXPECT_EQ(num_units, 4);
    // 5 differs from the recorded 4, so the call is not free, but nothing new is enabled.
    OGL_setstate(1, 5, 1, 1, 1, 1);
    EXPECT_EQ(rec.take(), (calls{"glEnable(GL_TEXTURE_2D)", "glActiveTexture(GL_TEXTURE0)"}));
}

TEST_F(StateCache, NoUnitBeyondTheCachesEightIsEverSelected) {
    reno.tex_units = 16;   // image units counted in with GLSL
    prime(1, 0, 1, 1, 1, 1);
    OGL_setstate(1, 12, 1, 1, 1, 1);
    EXPECT_EQ(num_units, 8);
    calls expect{"glEnable(GL_TEXTURE_2D)"};
    for (int k = 0; k < 8; ++k) {
        expect.push_back("glActiveTexture(GL_TEXTURE" + std::to_string(k) + ")");
        expect.push_back("glEnable(GL_TEXTURE_2D)");
    }
    expect.push_back("glActiveTexture(GL_TEXTURE0)");
    EXPECT_EQ(rec.take(), expect);
}

TEST_F(StateCache, TheFirstCallStartsFromWhatOpenGLHasOn) {
    // A context that already blends and textures one unit: asking for just that issues nothing.
    const auto recorded = gl.glIsEnabled;
    gl.glIsEnabled = [](GLenum cap) -> GLboolean { return cap == GL_BLEND || cap == GL_TEXTURE_2D; };
    OGL_setstate(1, 1, 1, 1, 1, 1);
    gl.glIsEnabled = recorded;
    EXPECT_EQ(rec.take(), calls{});
}

}  // namespace
