// The second window under Xvfb: it opens right of the first with a context sharing the first's
// objects, the state and binding caches start over for it, and it closes again.
#include <gtest/gtest.h>

#include <string>

#include "core/log.h"
#include "platform/gl_window.h"
#include "render/gl_api.h"
#include "render/gl_recorder.h"
#include "render/ogl_state.h"
#include "render/tex_bind.h"
#include "shell/windows.h"
#include "support/gui_window.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"
#include "../render/recorded_draw.h"

namespace {

TEST(SecondWindowOnX, OpensRightOfTheFirstWithFreshCachesAndCloses) {
    drawtest::link_art_resources();
    testsupport::temp_dir tmp;
    ASSERT_TRUE(xer.open(tmp / "log.txt"));
    testsupport::xvfb server;
    ASSERT_TRUE(server.running());
    ASSERT_TRUE(testsupport::open_art_window_on(server, 800, 600)) << platform::window_error();

    // What the first context was left with.
    OGL_setstate(ogl_fog_on, 1, ogl_lit_on, ogl_al_blend, ogl_deR_on, ogl_deW_on);
    GLuint name = 0;
    gl.glGenTextures(1, &name);
    TEX_bind_ref(static_cast<int>(name), 0, tex_env_modulate, GL_TEXTURE_2D);

    cons.num_cons(2);
    ASSERT_EQ(cons.num_cons(-1), 2);
    ASSERT_NE(cons.windows[1], nullptr);
    int x = 0, y = 0, w = 0, h = 0;
    platform::window_content_bounds(cons.windows[1], x, y, w, h);
    EXPECT_EQ(x, 800);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 600);
    EXPECT_EQ(num_units, 0);   // the state cache starts from no texturing

    // The binding cache forgot the first context's binding: binding it again reaches OpenGL.
    gl_recorder rec;
    gl_recorder_install(&rec);
    TEX_bind_ref(static_cast<int>(name), 0, tex_env_modulate, GL_TEXTURE_2D);
    gl_recorder_install(nullptr);
    bool bound = false;
    for (const std::string& c : rec.take()) bound = bound || c.rfind("glBindTexture(", 0) == 0;
    EXPECT_TRUE(bound);

    // A driver that refuses the swap interval is named once, in its own words.
    xer.flush();
    const std::string log = testsupport::read_file(tmp / "log.txt");
    const std::string warning = "WARNING: I could not set vertical sync to ";
    const std::size_t first = log.find(warning);
    EXPECT_EQ(first == std::string::npos ? first : log.find(warning, first + 1), std::string::npos) << log;
    EXPECT_EQ(log.find("the driver returned error -1."), std::string::npos) << log;

    cons.num_cons(1);
    EXPECT_EQ(cons.num_cons(-1), 1);
    EXPECT_EQ(cons.windows[1], nullptr);
    cons.cons_nuke(0);
    xer.close();
}

}  // namespace
