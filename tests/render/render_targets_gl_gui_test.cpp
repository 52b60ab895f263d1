// Render targets on Mesa: a picture drawn into a framebuffer object and into the copy path lands
// in the target's texture, and each way of blitting it shows it on the window; the attachment
// log of a real framebuffer.
#include <gtest/gtest.h>

#include <vector>

#include "core/log.h"
#include "offscreen_gl.h"
#include "draw_fixture.h"
#include "render/ogl_framebuffer.h"
#include "render/ogl_legacy_shader.h"
#include "render/ogl_shader.h"
#include "render/ogl_state.h"
#include "render/tex_bind.h"
#include "render/tex_obj.h"
#include "support/gl_pixels.h"
#include "support/temp_dir.h"

namespace {

using testsupport::read_back;
using testsupport::rgb;
constexpr int kW = 256, kH = 256;
constexpr rgb kRed{255, 0, 0}, kBlue{0, 0, 255}, kBlack{0, 0, 0};

class RealTargets : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        drawtest::link_bundle_resources({"shaders"});
        ready = offscreen::open_gl(kW, kH);
    }
    void SetUp() override {
        ASSERT_TRUE(ready);
        ASSERT_EQ(glExt.framebuf_avail, 1);
        ASSERT_EQ(glExt.frameblit_avail, 1);
        ASSERT_EQ(glExt.glsl_avail, 1);
        ASSERT_TRUE(xer.open(tmp / "log.txt"));
    }
    void TearDown() override {
        glExt.framebuf_avail = glExt.frameblit_avail = glExt.glsl_avail = 1;
        xer.close();
    }

    // Blue, with the left half red, in whatever is being drawn into (the window's size is the pass's).
    static void draw_halves() {
        offscreen::pixel_view(wins.win_px_w, wins.win_px_h);
        OGL_setstate(1, 0, 1, 0, 1, 1);
        gl.glClearColor(0, 0, 1, 1);
        gl.glClear(GL_COLOR_BUFFER_BIT);
        const float w = static_cast<float>(wins.win_px_w), h = static_cast<float>(wins.win_px_h);
        gl.glColor3f(1, 0, 0);
        gl.glBegin(GL_QUADS);
        gl.glVertex2f(0, 0);
        gl.glVertex2f(0, h);
        gl.glVertex2f(w / 2, h);
        gl.glVertex2f(w / 2, 0);
        gl.glEnd();
    }
    // The texture of a ref, read back from OpenGL, as rows bottom-up.
    static std::vector<unsigned char> texture_pixels(int ref) {
        const int w = static_cast<int>(tman.tex_dx_tot(ref)), h = static_cast<int>(tman.tex_dy_tot(ref));
        std::vector<unsigned char> px(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4);
        gl.glBindTexture(GL_TEXTURE_2D, tman.get_known_obj(ref)->gl_id.load());
        gl.glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
        TEX_reset_bind();
        return px;
    }
    static rgb texel(const std::vector<unsigned char>& px, int w, int x, int y) {
        const unsigned char* p = &px[(static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)) * 4];
        return {p[0], p[1], p[2]};
    }
    static void clear_window() {
        offscreen::pixel_view(kW, kH);
        gl.glClearColor(0, 0, 0, 1);
        gl.glClear(GL_COLOR_BUFFER_BIT);
    }
    static void expect_halves_on_window(const char* how) {
        EXPECT_EQ(read_back(40, 128), kRed) << how;
        EXPECT_EQ(read_back(216, 128), kBlue) << how;
        EXPECT_EQ(read_back(40, 250), kRed) << how;
    }

    static inline bool ready = false;
    testsupport::temp_dir tmp;
};

TEST_F(RealTargets, AFramebufferObjectHoldsTheDrawingAndEveryBlitShowsIt) {
    OGL_framebuffer target(1100, 2, 1, 64, 32, 0, 0, "halves");
    target.begin_render(1);
    EXPECT_EQ(wins.win_px_w, 64);
    draw_halves();
    target.end_render();
    EXPECT_EQ(wins.win_px_w, kW);
    const std::vector<unsigned char> px = texture_pixels(1100);
    EXPECT_EQ(texel(px, 64, 5, 5), kRed);
    EXPECT_EQ(texel(px, 64, 31, 31), kRed);
    EXPECT_EQ(texel(px, 64, 32, 0), kBlue);
    EXPECT_EQ(texel(px, 64, 63, 31), kBlue);

    // The driver's blit, then the textured quad through the legacy shader, then without GLSL.
    const struct {
        const char* how;
        int blit, glsl;
    } ways[] = {{"framebuffer blit", 1, 1}, {"legacy shader", 0, 1}, {"fixed function", 0, 0}};
    for (const auto& w : ways) {
        glExt.frameblit_avail = w.blit;
        glExt.glsl_avail = w.glsl;
        clear_window();
        target.blit_to(nullptr);
        expect_halves_on_window(w.how);
        EXPECT_EQ(OGL_shader::current_shader, nullptr) << w.how;
    }

    // Into another target of another size, then onto the window from there.
    glExt.frameblit_avail = 1;
    OGL_framebuffer copy(1102, 2, 0, 128, 128, 0, 0, "copy");
    target.blit_to(&copy);
    const std::vector<unsigned char> scaled = texture_pixels(1102);
    EXPECT_EQ(texel(scaled, 128, 10, 64), kRed);
    EXPECT_EQ(texel(scaled, 128, 120, 64), kBlue);
    clear_window();
    copy.blit_to(nullptr);
    expect_halves_on_window("second target");
}

TEST_F(RealTargets, TheCopyPathDrawsInTheCornerAndCopiesIt) {
    glExt.framebuf_avail = 0;   // as --no_fbos leaves it: the driver's blit still there
    OGL_framebuffer target(1104, 2, 0, 1024, 64, 0, 0, "corner");
    target.begin_render(1);
    EXPECT_EQ(wins.win_px_w, 256);   // halved to fit the window
    EXPECT_EQ(wins.win_px_h, 64);
    draw_halves();
    target.end_render();
    const std::vector<unsigned char> px = texture_pixels(1104);
    ASSERT_EQ(px.size(), 256u * 64u * 4u);
    EXPECT_EQ(texel(px, 256, 0, 0), kRed);
    EXPECT_EQ(texel(px, 256, 127, 63), kRed);
    EXPECT_EQ(texel(px, 256, 128, 0), kBlue);
    EXPECT_EQ(texel(px, 256, 255, 63), kBlue);
    clear_window();
    target.blit_to(nullptr);
    expect_halves_on_window("copied target");
}

TEST_F(RealTargets, TheAttachmentLogDescribesARealFramebuffer) {
    OGL_framebuffer target(1106, 2, 1, 32, 16, 0, 0, "logged");
    target.begin_render(1);
    const std::string status = fbo_status("logged", GL_FRAMEBUFFER_COMPLETE_EXT);
    target.end_render();
    EXPECT_EQ(status, "GL_FRAMEBUFFER_COMPLETE_EXT");
    const std::string log = xer.contents_for_test();
    const std::string tex = std::to_string(tman.get_known_obj(1106)->gl_id.load());
    const std::string want_head = "Info for FBO: " + std::to_string(target.fbo_id) + " (logged)\n"
                                  "   Attachment GL_COLOR_ATTACHMENT0_EXT: GL_TEXTURE " + tex + "\n"
                                  "       Mip level 0: 32 x 16 format = GL_RGBA8\n"
                                  "       Red: 8, Green: 8, Blue: 8 Alpha: 8\n"
                                  "       Depth bits: 0 Stencil: 0\n"
                                  "   Attachment GL_COLOR_ATTACHMENT1_EXT: 0\n";
    EXPECT_EQ(log.substr(0, want_head.size()), want_head);
    EXPECT_NE(log.find("   Attachment GL_DEPTH_ATTACHMENT_EXT: GL_RENDERBUFFER " + std::to_string(target.depth_rb) +
                       "\n       32 x 16 format = GL_DEPTH_COMPONENT24_ARB"),
              std::string::npos)
        << log;
    // Nothing bound: not a framebuffer object.
    EXPECT_EQ(fbo_status("window", GL_FRAMEBUFFER_COMPLETE_EXT), "GL_FRAMEBUFFER_COMPLETE_EXT");
    EXPECT_NE(xer.contents_for_test().find("FBO window ID: 0 is not a real FBO object.\n"), std::string::npos);
}

}  // namespace
