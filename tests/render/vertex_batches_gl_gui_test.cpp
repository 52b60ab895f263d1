// Vertex batches on Mesa: batches packed into buffer objects and into memory draw what was
// recorded (colours, a fan turned into triangles, texture coordinates), and positions rewritten
// through a mapped buffer move the drawing.
#include <gtest/gtest.h>

#include <vector>

#include "offscreen_gl.h"
#include "render/ogl_client_state.h"
#include "render/ogl_state.h"
#include "render/ogl_xdl.h"
#include "render/tex_bind.h"
#include "support/gl_pixels.h"

namespace {

using testsupport::read_back;
using testsupport::rgb;
constexpr int kSide = 64;
constexpr rgb kRed{255, 0, 0}, kBlue{0, 0, 255}, kBlack{0, 0, 0};

// A rectangle as a fan of four corners, one colour.
void fan(xdl* x, float x0, float y0, float x1, float y1, float r, float g, float b) {
    const float p[12] = {x0, y0, 0, x0, y1, 0, x1, y1, 0, x1, y0, 0};
    const float c[16] = {r, g, b, 1, r, g, b, 1, r, g, b, 1, r, g, b, 1};
    xdl_add_command(x, GL_TRIANGLE_FAN, 4, p, nullptr, c, nullptr, nullptr);
}

void shift_x(float* first, int count, int stride, int kind, void* by) {
    if (kind != 0) return;
    for (int i = 0; i < count; ++i) first[i * stride] += *static_cast<float*>(by);
}

class BatchesOnMesa : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ready = offscreen::open_gl(kSide, kSide); }
    void SetUp() override {
        ASSERT_TRUE(ready);
        ASSERT_EQ(glExt.vbo_avail, 1);
        offscreen::pixel_view(kSide, kSide);
        OGL_setstate(1, 0, 1, 0, 1, 1);
        clear();
    }
    void TearDown() override {
        xdl_texmap(0, 0, 0);
        OGL_setclientstate(ogl_nrm_off, ogl_col_off, 0);
        OGL_bind_vbo(0);
        OGL_bind_vbo_ind(0);
    }
    static void clear() {
        gl.glClearColor(0, 0, 0, 1);
        gl.glClear(GL_COLOR_BUFFER_BIT);
    }
    static inline bool ready = false;
};

TEST_F(BatchesOnMesa, PackedBatchesDrawFromBufferObjectsAndMemory) {
    for (const xdl_storage_option storage : {xdl_store_static, xdl_store_stream, xdl_store_memory}) {
        xdl_group* g = xdl_allocate_group(storage);
        xdl* left = xdl_allocate(g, GL_TRIANGLES, 0, 1, 0, 0, 0);
        xdl* corner = xdl_allocate(g, GL_QUADS, 0, 1, 0, 0, 1);
        fan(left, 0, 0, 32, 64, 1, 0, 0);
        const float p[12] = {40, 40, 0, 40, 60, 0, 60, 60, 0, 60, 40, 0};
        const float c[16] = {0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1};
        xdl_add_command(corner, GL_QUADS, 4, p, nullptr, c, nullptr, nullptr);
        xdl_finish(left, nullptr);
        xdl_finish(corner, nullptr);
        ASSERT_EQ(xdl_finalize_group(g), g);
        EXPECT_EQ(g->vert_buf.vbo != 0, storage != xdl_store_memory) << storage;

        clear();
        xdl_texmap(0, 0, 1);
        xdl_draw(left, 0);
        xdl_draw(corner, 0);
        EXPECT_EQ(read_back(5, 5), kRed) << storage;
        EXPECT_EQ(read_back(31, 60), kRed) << storage;
        EXPECT_EQ(read_back(50, 50), kBlue) << storage;
        EXPECT_EQ(read_back(50, 20), kBlack) << storage;
        EXPECT_EQ(read_back(35, 50), kBlack) << storage;

        // Half the elements: the fan's first triangle only (lower-left half of the rectangle).
        clear();
        xdl_draw(left, 0.5f);
        EXPECT_EQ(read_back(2, 60), kRed) << storage;
        EXPECT_EQ(read_back(30, 2), kBlack) << storage;

        // Moved 32 to the right through the mapped store, then drawn again.
        float by = 32;
        xdl_process(nullptr, left, &shift_x, &by);
        xdl_process(left, nullptr, &shift_x, &by);
        clear();
        xdl_draw(left, 0);
        EXPECT_EQ(read_back(5, 5), kBlack) << storage;
        EXPECT_EQ(read_back(40, 5), kRed) << storage;
        xdl_destroy(left);
        xdl_destroy(corner);
    }
    EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(BatchesOnMesa, TextureCoordinatesReachTheirUnit) {
    const unsigned char px[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
    GLuint tex = offscreen::texture_2x2(px);
    gl.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    TEX_reset_bind();
    OGL_setstate(1, 1, 1, 0, 1, 1);

    xdl_group* g = xdl_allocate_group(xdl_store_static);
    xdl* x = xdl_allocate(g, GL_QUADS, 0, 0, 0, 1, 1);   // second coordinates only
    const float p[12] = {0, 0, 0, 0, 64, 0, 64, 64, 0, 64, 0, 0};
    const float uv[8] = {0, 0, 0, 1, 1, 1, 1, 0};
    xdl_add_command(x, GL_QUADS, 4, p, nullptr, nullptr, nullptr, uv);
    xdl_finish(x, nullptr);
    xdl_finalize_group(g);
    xdl_texmap(0, 1, 0);
    xdl_draw(x, 0);
    EXPECT_EQ(read_back(10, 10), kRed);
    EXPECT_EQ(read_back(50, 10), (rgb{0, 255, 0}));
    EXPECT_EQ(read_back(10, 50), kBlue);
    EXPECT_EQ(read_back(50, 50), (rgb{255, 255, 255}));
    xdl_destroy(x);
    gl.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    OGL_setstate(1, 0, 1, 0, 1, 1);
    gl.glDeleteTextures(1, &tex);
    TEX_reset_bind();
}

}  // namespace
