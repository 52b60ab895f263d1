// Render targets against a recorded GL: the objects a target makes, what a first and a later
// pass cost, the copy path's halving, nesting, depth-only and G-buffer targets, the blits, and
// an incomplete framebuffer falling back to the copy path with its attachment log.
#include "render/ogl_framebuffer.h"

#include <gtest/gtest.h>

#include "core/log.h"
#include "draw_fixture.h"
#include "recorded_gl.h"
#include "render/ogl_legacy_shader.h"
#include "render/ogl_shader.h"
#include "support/temp_dir.h"

namespace {

using calls = std::vector<std::string>;
const calls kFramebufferCalls = {"glGenFramebuffers", "glGenRenderbuffers", "glBindFramebuffer", "glBindRenderbuffer",
                                 "glFramebuffer", "glRenderbufferStorage", "glCheckFramebuffer", "glDrawBuffer",
                                 "glReadBuffer", "glBlitFramebuffer", "glGenerateMipmap", "glCopyTexSubImage2D",
                                 "glDeleteFramebuffers", "glDeleteRenderbuffers"};

class Targets : public drawtest::RecordedDraw {
protected:
    void SetUp() override {
        drawtest::link_bundle_resources({"shaders"});
        RecordedDraw::SetUp();
        ASSERT_TRUE(xer.open(tmp / "log.txt"));
        recgl::load_ext_slots();
        glExt.framebuf_avail = glExt.frameblit_avail = glExt.drawbuf_avail = 1;
        wins.win_px_w = 1024;
        wins.win_px_h = 768;
        wins.view_right = 1024;
        wins.view_top = 768;
        wins.ui_off_x = 64;
        rec.next_name = 100;
    }
    void TearDown() override {
        OGL_legacy_shader_forget_for_test();
        OGL_framebuffer::mTypeNow = 0;
        OGL_framebuffer::mObjNow = nullptr;
        for (int ref = 1100; ref < 1110; ++ref)
            if (tman.tex_exists(ref)) tman.unload_texture(ref);
        RecordedDraw::TearDown();
        xer.close();
    }
    calls fb_calls() {
        const calls c = rec.matching(kFramebufferCalls);
        rec.take();
        return c;
    }
    testsupport::temp_dir tmp;
};

TEST_F(Targets, AFirstPassMakesTheAttachmentsALaterOneOnlyBinds) {
    rec.integers[GL_FRAMEBUFFER_BINDING_EXT] = {7};
    OGL_framebuffer t(1100, 2, 1, 256, 128, 0, 0, "one");
    EXPECT_EQ(fb_calls(), (calls{"glGenFramebuffersEXT(1, ptr)", "glGenRenderbuffersEXT(1, ptr)",
                                 "glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 100)",
                                 "glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 7)",
                                 "glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 101)",
                                 "glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0)"}));
    t.begin_render(1);
    const unsigned tex = gl_name(1100);
    EXPECT_EQ(tman.get_path(1100), "fbo-one-fbo");
    EXPECT_EQ(tman.tex_dx_tot(1100), 256);
    EXPECT_EQ(fb_calls(),
              (calls{"glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 100)",
                     "glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, " +
                         std::to_string(tex) + ", 0)",
                     "glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 101)",
                     "glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, 256, 128)",
                     "glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, "
                     "101)",
                     "glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT)"}));
    // Inside the pass the window is the target.
    EXPECT_EQ(wins.win_px_w, 256);
    EXPECT_EQ(wins.win_px_h, 128);
    EXPECT_EQ(wins.view_right, 256);
    EXPECT_EQ(wins.view_top, 128);
    EXPECT_EQ(wins.ui_off_x, 0);
    EXPECT_EQ(OGL_framebuffer::mObjNow, &t);
    EXPECT_EQ(OGL_framebuffer::mTypeNow, 0);
    const float flushes = *g_fbo_flushes.value;
    t.end_render();
    EXPECT_EQ(*g_fbo_flushes.value, flushes + 1);
    EXPECT_EQ(fb_calls(), calls{"glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 7)"});
    EXPECT_EQ(wins.win_px_w, 1024);
    EXPECT_EQ(wins.view_top, 768);
    EXPECT_EQ(wins.ui_off_x, 64);
    EXPECT_EQ(OGL_framebuffer::mObjNow, nullptr);

    t.begin_render(1);
    EXPECT_EQ(rec.take(), (calls{"glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, ptr)",
                                 "glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 100)"}));
    t.end_render();
    // A new size makes the next pass build the texture and attachments again.
    t.set_render_size(64, 64);
    t.begin_render(1);
    EXPECT_EQ(tman.tex_dx_tot(1100), 64);
    EXPECT_EQ(rec.matching({"glRenderbufferStorageEXT"}),
              calls{"glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, 64, 64)"});
    t.end_render();
    rec.take();
}

TEST_F(Targets, MipmappedTargetsRegenerateTheirMipsAtTheEndOfEachPass) {
    OGL_framebuffer t(1100, 0x20 | 2, 0, 64, 64, 0, 0, "mips");
    t.begin_render(1);
    rec.take();
    t.end_render();
    EXPECT_EQ(rec.matching({"glBindTexture", "glGenerateMipmapEXT"}),
              (calls{"glBindTexture(GL_TEXTURE_2D, " + std::to_string(gl_name(1100)) + ")",
                     "glGenerateMipmapEXT(GL_TEXTURE_2D)"}));
}

TEST_F(Targets, TheCopyPathHalvesToTheWindowAndCopiesTheCorner) {
    glExt.framebuf_avail = 0;
    OGL_framebuffer t(1100, 2, 3, 2048, 2048, 0, 0, "big");
    EXPECT_EQ(fb_calls(), calls{});
    t.begin_render(1);
    EXPECT_EQ(t.pass_dx, 1024);
    EXPECT_EQ(t.pass_dy, 512);
    EXPECT_EQ(tman.get_path(1100), "fbo-big-copytex");
    EXPECT_EQ(tman.tex_dx_tot(1100), 1024);
    EXPECT_EQ(tman.tex_dy_tot(1100), 512);
    EXPECT_EQ(wins.win_px_h, 512);
    t.end_render();
    EXPECT_EQ(fb_calls(), calls{"glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, 1024, 512)"});
    EXPECT_EQ(wins.win_px_h, 768);
}

TEST_F(Targets, PassesNestAndRestoreWhatTheyFound) {
    OGL_framebuffer a(1100, 2 | 0x1000, 0, 512, 256, 0, 0, "a");
    OGL_framebuffer b(1102, 2, 4, 128, 64, 0, 0, "b");
    a.begin_render(1);
    EXPECT_EQ(OGL_framebuffer::mTypeNow, 1);
    b.begin_render(1);
    EXPECT_EQ(OGL_framebuffer::mTypeNow, 2);
    EXPECT_EQ(OGL_framebuffer::mObjNow, &b);
    EXPECT_EQ(wins.win_px_w, 128);
    b.end_render();
    EXPECT_EQ(OGL_framebuffer::mTypeNow, 1);
    EXPECT_EQ(OGL_framebuffer::mObjNow, &a);
    EXPECT_EQ(wins.win_px_w, 512);
    EXPECT_EQ(wins.view_top, 256);
    EXPECT_EQ(wins.ui_off_x, 0);
    a.end_render();
    EXPECT_EQ(OGL_framebuffer::mTypeNow, 0);
    EXPECT_EQ(wins.win_px_w, 1024);
    EXPECT_EQ(wins.ui_off_x, 64);
}

TEST_F(Targets, DepthOnlyAndGBufferTargetsAttachTheirTextures) {
    OGL_framebuffer depth(1100, 0x7, 0, 64, 64, 0, 0, "shadow");
    rec.take();
    depth.begin_render(1);
    const std::string dtex = std::to_string(gl_name(1100));
    EXPECT_EQ(fb_calls(), (calls{"glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 100)", "glDrawBuffer(0)", "glReadBuffer(0)",
                                 "glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_TEXTURE_2D, " +
                                     dtex + ", 0)",
                                 "glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT)"}));
    depth.end_render();

    glExt.texture_rg = 1;
    OGL_framebuffer g(1102, 2, 4, 32, 32, 0, 0, "deferred");
    rec.take();
    g.begin_render(1);
    EXPECT_EQ(tman.get_path(1102), "fbo-deferred-fbo_gbuf1_alb");
    EXPECT_EQ(tman.get_path(1103), "fbo-deferred-fbo_gbuf1_pos");
    EXPECT_EQ(tman.get_path(1104), "fbo-deferred-fbo_gbuf2_nrm");
    EXPECT_EQ(tman.get_path(1105), "fbo-deferred-fbo_gbuf3_lit");
    calls want = {"glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, " + std::to_string(g.fbo_id) + ")"};
    for (int i = 0; i < 4; ++i)
        want.push_back("glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT" + std::to_string(i) +
                       "_EXT, GL_TEXTURE_2D, " + std::to_string(gl_name(1102 + i)) + ", 0)");
    want.push_back("glDrawBuffersARB(4, ptr)");
    want.push_back("glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT)");
    EXPECT_EQ(rec.matching(kFramebufferCalls), want);
    g.end_render();
}

TEST_F(Targets, BlitsUseTheDriverBetweenLikeKindsAndDrawOtherwise) {
    OGL_framebuffer a(1100, 2, 0, 256, 128, 0, 0, "a");
    OGL_framebuffer b(1102, 2, 0, 64, 64, 0, 0, "b");
    OGL_framebuffer gbuf(1104, 2, 4, 64, 64, 0, 0, "g");
    a.begin_render(1);
    a.end_render();
    gbuf.begin_render(1);
    gbuf.end_render();
    rec.take();
    // b has no texture yet: one empty pass makes its attachments first.
    a.blit_to(&b);
    EXPECT_EQ(fb_calls(), (calls{"glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 101)",
                                 "glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, "
                                 "GL_TEXTURE_2D, " +
                                     std::to_string(gl_name(1102)) + ", 0)",
                                 "glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT)",
                                 "glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0)",
                                 "glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, 100)",
                                 "glBindFramebufferEXT(GL_DRAW_FRAMEBUFFER_EXT, 101)",
                                 "glBlitFramebufferEXT(0, 0, 256, 128, 0, 0, 64, 64, 0x4000, GL_LINEAR)",
                                 "glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0)"}));
    a.blit_to(nullptr);
    EXPECT_EQ(rec.matching({"glBlitFramebufferEXT"}),
              calls{"glBlitFramebufferEXT(0, 0, 256, 128, 0, 0, 1024, 768, 0x4000, GL_LINEAR)"});
    rec.take();

    // A target whose picture came by the copy path has no framebuffer object to blit from.
    OGL_framebuffer copied(1106, 2, 0, 64, 64, 0, 0, "copied");
    copied.begin_render(0);
    copied.end_render();
    rec.take();
    copied.blit_to(nullptr);
    EXPECT_EQ(rec.matching({"glBlitFramebufferEXT"}), calls{});
    EXPECT_EQ(rec.matching({"glVertex2f"}).size(), 4u);
    rec.take();

    // From a G-buffer, or with driver blits off: a textured quad over the window.
    glExt.glsl_avail = glExt.shad_objs_avail = 1;
    gbuf.blit_to(nullptr);
    const calls drawn = rec.take();
    calls quad;
    for (const std::string& c : drawn)
        if (c.rfind("glTexCoord2f", 0) == 0 || c.rfind("glVertex2f", 0) == 0 || c.rfind("glViewport", 0) == 0 ||
            c.rfind("glOrtho", 0) == 0 || c.rfind("glPushAttrib", 0) == 0 || c.rfind("glBlit", 0) == 0)
            quad.push_back(c);
    EXPECT_EQ(quad, (calls{"glPushAttrib(0x800)", "glViewport(0, 0, 1024, 768)", "glOrtho(0, 1024, 0, 768, -1, 1)",
                           "glTexCoord2f(0, 0)", "glVertex2f(0, 0)", "glTexCoord2f(0, 1)", "glVertex2f(0, 768)",
                           "glTexCoord2f(1, 1)", "glVertex2f(1024, 768)", "glTexCoord2f(1, 0)", "glVertex2f(1024, 0)"}));
    EXPECT_EQ(OGL_shader::current_shader, nullptr);   // the legacy shader was bound and let go
    EXPECT_NE(OGL_legacy_shader()->variant(2), nullptr);
}

TEST_F(Targets, AnIncompleteFramebufferIsLoggedAndThePassGoesOnByCopying) {
    rec.framebuffer_status = GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT_EXT;
    OGL_framebuffer t(1100, 2, 0, 256, 256, 0, 0, "broken");
    OGL_framebuffer other(1102, 2, 0, 64, 64, 0, 0, "other");
    rec.take();
    t.begin_render(1);
    EXPECT_EQ(glExt.framebuf_avail, 0);
    // The texture made for the object has the pass's size, so the copy path keeps it.
    EXPECT_EQ(tman.get_path(1100), "fbo-broken-fbo");
    EXPECT_EQ(OGL_framebuffer::mObjNow, &t);
    EXPECT_EQ(wins.win_px_w, 256);
    EXPECT_EQ(rec.matching({"glDeleteFramebuffersEXT", "glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0)"}),
              (calls{"glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0)", "glDeleteFramebuffersEXT(1, ptr)"}));
    const std::string log = xer.contents_for_test();
    EXPECT_NE(log.find("FBO broken ID: 0 is not a real FBO object.\n"), std::string::npos);
    EXPECT_NE(log.find("There was a problem setting up OpenGL."), std::string::npos);
    t.end_render();
    EXPECT_EQ(OGL_framebuffer::mObjNow, nullptr);
    EXPECT_EQ(wins.win_px_w, 1024);
    EXPECT_EQ(rec.matching({"glCopyTexSubImage2D"}),
              calls{"glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, 256, 256)"});
    rec.take();
    // From now on every target copies; destructors delete nothing.
    other.begin_render(1);
    other.end_render();
    EXPECT_EQ(fb_calls(), calls{"glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, 64, 64)"});
}

}  // namespace
