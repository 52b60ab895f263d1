// A screenshot on Mesa: the PNG file holds exactly the frame's pixels, bottom row last in the
// file as a picture shows it, and the next one takes the next number.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <vector>

#include "core/memory.h"
#include "files/xmap.h"
#include "offscreen_gl.h"
#include "render/ogl_state.h"
#include "render/screenshot.h"
#include "render/tex_png.h"
#include "support/temp_dir.h"

namespace {

constexpr int kW = 96, kH = 64;

TEST(ScreenshotOnMesa, TheFileHoldsTheFrame) {
    ASSERT_TRUE(offscreen::open_gl(kW, kH));
    testsupport::temp_dir tmp;
    char was[PATH_MAX] = {};
    ASSERT_NE(::getcwd(was, sizeof was), nullptr);
    ASSERT_EQ(::chdir(tmp.path().c_str()), 0);

    // A frame no two rows or columns of which are alike.
    offscreen::pixel_view(kW, kH);
    OGL_setstate(1, 0, 1, 0, 1, 1);
    gl.glBegin(GL_POINTS);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            gl.glColor3ub(static_cast<GLubyte>(x * 2), static_cast<GLubyte>(y * 3), static_cast<GLubyte>((x * y) % 256));
            gl.glVertex2f(x + 0.5f, y + 0.5f);
        }
    gl.glEnd();
    std::vector<unsigned char> frame(kW * kH * 3);
    gl.glReadPixels(0, 0, kW, kH, GL_RGB, GL_UNSIGNED_BYTE, frame.data());
    ASSERT_EQ(frame[(5 * kW + 7) * 3 + 1], 15);   // the drawing took

    OGL_screenshot(1);
    OGL_screenshot(1);
    EXPECT_TRUE(testsupport::exists(tmp / "Ventaro screenshot__2.png"));
    xmap_class file(tmp / "Ventaro screenshot__1.png");
    ASSERT_NE(file.mem_start, nullptr);
    unsigned char* pixels = nullptr;
    TEX_image_desc desc;
    ASSERT_EQ(TEX_load_png("shot", file, pixels, GL_RGB, 0, 0, png_mode_exact, 0, desc), 1);
    EXPECT_EQ(desc.width, kW);
    EXPECT_EQ(desc.height, kH);
    const std::vector<unsigned char> saved(pixels, pixels + kW * kH * 3);   // rows bottom-up, as read
    xfree(pixels);
    EXPECT_TRUE(saved == frame);
    ASSERT_EQ(::chdir(was), 0);
}

}  // namespace
