// The legacy shader on Mesa: every variant of "legacy.glsl" compiles and links, and the pixels
// show what each condition does: textures modulated in, the target gamma, fog and light 0.
#include <gtest/gtest.h>

#include <cmath>

#include "offscreen_gl.h"
#include "draw_fixture.h"
#include "render/ogl_framebuffer.h"
#include "render/ogl_legacy_shader.h"
#include "render/ogl_shader.h"
#include "render/palette.h"
#include "render/tex_bind.h"
#include "support/gl_pixels.h"

namespace {

using testsupport::read_back;
using testsupport::rgb;
constexpr int kSide = 32;

GLuint flat_texture(unsigned char r, unsigned char g, unsigned char b) {
    const unsigned char px[16] = {r, g, b, 255, r, g, b, 255, r, g, b, 255, r, g, b, 255};
    return offscreen::texture_2x2(px);
}

// One quad over the window at depth z, facing +z, coloured c, with texture coordinates on units 0 and 1.
void quad(float r, float g, float b, float z) {
    gl.glColor4f(r, g, b, 1);
    gl.glNormal3f(0, 0, 1);
    const float corners[4][2] = {{0, 0}, {0, kSide}, {kSide, kSide}, {kSide, 0}};
    gl.glBegin(GL_QUADS);
    for (const auto& c : corners) {
        gl.glMultiTexCoord2f(GL_TEXTURE0, c[0] / kSide, c[1] / kSide);
        gl.glMultiTexCoord2f(GL_TEXTURE1, c[0] / kSide, c[1] / kSide);
        gl.glVertex3f(c[0], c[1], z);
    }
    gl.glEnd();
}

bool near(const rgb& got, const rgb& want) {
    return std::abs(got.r - want.r) <= 2 && std::abs(got.g - want.g) <= 2 && std::abs(got.b - want.b) <= 2;
}

class LegacyOnMesa : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        drawtest::link_bundle_resources({"shaders"});
        ready = offscreen::open_gl(kSide, kSide);
    }
    void SetUp() override {
        ASSERT_TRUE(ready);
        ASSERT_EQ(glExt.glsl_avail, 1);
        offscreen::pixel_view(kSide, kSide);
        gl.glClearColor(0, 0, 0, 1);
        gl.glClear(GL_COLOR_BUFFER_BIT);
    }
    void TearDown() override {
        OGL_shader::unbind_shaders();
        OGL_framebuffer::mTypeNow = 0;
    }
    static inline bool ready = false;
};

TEST_F(LegacyOnMesa, EveryVariantBuilds) {
    for (int lit = 0; lit < 2; ++lit)
        for (int gamma = 0; gamma < 2; ++gamma)
            for (int textures = 0; textures < 3; ++textures)
                for (int fog = 0; fog < 2; ++fog) {
                    OGL_framebuffer::mTypeNow = gamma;
                    OGL_set_legacy_shader(fog ? 0 : 1, textures, lit ? 0 : 1, 0, 1, 1);
                    const int id = fog + 2 * textures + 6 * gamma + 12 * lit;
                    ASSERT_NE(OGL_legacy_shader()->variant(id), nullptr) << id;
                    EXPECT_EQ(OGL_shader::current_shader, OGL_legacy_shader()->variant(id)) << id;
                }
    EXPECT_EQ(OGL_legacy_shader()->variants.size(), 24u);
    EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(LegacyOnMesa, ThePixelsFollowTheConditions) {
    const GLuint orange = flat_texture(255, 128, 64), grey = flat_texture(128, 128, 128);
    gl.glActiveTexture(GL_TEXTURE1);
    gl.glBindTexture(GL_TEXTURE_2D, grey);
    gl.glActiveTexture(GL_TEXTURE0);
    gl.glBindTexture(GL_TEXTURE_2D, orange);
    TEX_reset_bind();

    const float fog_colour[4] = {0, 1, 0, 1};
    gl.glFogi(GL_FOG_MODE, GL_LINEAR);
    gl.glFogf(GL_FOG_START, 0);
    gl.glFogf(GL_FOG_END, 2);
    gl.glFogfv(GL_FOG_COLOR, fog_colour);
    const float no_ambient[4] = {0, 0, 0, 1}, white[4] = {1, 1, 1, 1}, from_front[4] = {0, 0, 1, 0},
                from_behind[4] = {0, 0, -1, 0};
    gl.glLightModelfv(GL_LIGHT_MODEL_AMBIENT, no_ambient);
    gl.glLightfv(GL_LIGHT0, GL_AMBIENT, no_ambient);
    gl.glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    colr.display_gamma = 2.0f;

    const struct {
        const char* name;
        int fog, textures, lit, target_type;
        const float* light;
        float r, g, b, z;
        rgb want;
    } cases[] = {
        {"colour alone", 1, 0, 1, 0, nullptr, 0.2f, 0.4f, 0.6f, 0, {51, 102, 153}},
        {"one texture, white", 1, 1, 1, 0, nullptr, 1, 1, 1, 0, {255, 128, 64}},
        {"one texture, half colour", 1, 1, 1, 0, nullptr, 0.5f, 0.5f, 0.5f, 0, {128, 64, 32}},
        {"two textures multiply", 1, 2, 1, 0, nullptr, 1, 1, 1, 0, {128, 64, 32}},
        {"linear target: gamma decoded", 1, 0, 1, 1, nullptr, 0.5f, 0.5f, 0.5f, 0, {64, 64, 64}},
        {"far away: all fog", 0, 0, 1, 0, nullptr, 1, 0, 0, -5, {0, 255, 0}},
        {"half-way into fog", 0, 0, 1, 0, nullptr, 1, 0, 0, -1, {128, 128, 0}},
        {"lit from the front", 1, 0, 0, 0, from_front, 0.4f, 0.8f, 1, 0, {102, 204, 255}},
        {"lit from behind", 1, 0, 0, 0, from_behind, 0.4f, 0.8f, 1, 0, {0, 0, 0}},
    };
    for (const auto& c : cases) {
        gl.glMatrixMode(GL_MODELVIEW);
        gl.glLoadIdentity();
        if (c.light) gl.glLightfv(GL_LIGHT0, GL_POSITION, c.light);
        gl.glClear(GL_COLOR_BUFFER_BIT);
        OGL_framebuffer::mTypeNow = c.target_type;
        OGL_set_legacy_shader(c.fog, c.textures, c.lit, 0, 1, 1);
        quad(c.r, c.g, c.b, c.z);
        OGL_shader::unbind_shaders();
        OGL_framebuffer::mTypeNow = 0;
        const rgb got = read_back(kSide / 2, kSide / 2);
        EXPECT_TRUE(near(got, c.want)) << c.name << ": " << got << " want " << c.want;
    }
    // Fixed-function fog was never switched on along the way.
    EXPECT_FALSE(gl.glIsEnabled(GL_FOG));
    gl.glDeleteTextures(1, &orange);
    gl.glDeleteTextures(1, &grey);
}

}  // namespace
