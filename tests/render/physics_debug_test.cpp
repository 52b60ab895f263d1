// The physics marks drawn against a recorded GL: colours, batches and point sizes, marks kept
// until a purge.
#include "render/physics_debug.h"

#include <gtest/gtest.h>

#include "render/gl_recorder.h"
#include "render/ogl_state.h"
#include "render/renderer_options.h"

namespace {

using calls = std::vector<std::string>;

TEST(PhysicsMarks, DrawnInOnePassAndKeptUntilPurged) {
    gl_recorder rec;
    gl_recorder_install(&rec);
    reno.tex_units = 4;
    OGL_setstate_forget_for_test();
    OGL_setstate(1, 0, 1, 1, 1, 1);
    rec.take();

    const float a[3] = {1, 2, 3}, zero[3] = {0, 0, 0}, p2[3] = {4, 5, 6}, p3[3] = {7, 8, 9}, cg[3] = {0, 1, 0},
                probe[3] = {9, 9, 9};
    OGL_show_force(a, zero);
    OGL_show_tri(a, p2, p3);
    OGL_show_cg(cg);
    OGL_show_probe(probe);
    const calls once = {"glBegin(1)",   // GL_LINES
                        "glColor3f(0, 1, 0)", "glVertex3fv(ptr)", "glColor3f(1, 0, 0)", "glVertex3fv(ptr)",
                        "glColor3f(0.4, 0.4, 1)",
                        "glVertex3fv(ptr)", "glVertex3fv(ptr)", "glVertex3fv(ptr)", "glVertex3fv(ptr)",
                        "glVertex3fv(ptr)", "glVertex3fv(ptr)",
                        "glEnd()",
                        "glColor4f(0.5, 0.5, 0.5, 0.2)",
                        "glBegin(GL_TRIANGLES)", "glVertex3fv(ptr)", "glVertex3fv(ptr)", "glVertex3fv(ptr)", "glEnd()",
                        "glPointSize(4)", "glColor3f(1, 0.8, 0)",
                        "glBegin(0)", "glVertex3fv(ptr)", "glEnd()",
                        "glPointSize(1)", "glColor4f(1, 1, 1, 0.9)",
                        "glBegin(0)", "glVertex3fv(ptr)", "glEnd()"};
    OGL_draw_and_purge_physics(false);
    EXPECT_EQ(rec.take(), once);
    OGL_draw_and_purge_physics(true);
    EXPECT_EQ(rec.take(), once);
    OGL_draw_and_purge_physics(false);
    for (const std::string& c : rec.take()) EXPECT_NE(c, "glVertex3fv(ptr)");
    gl_recorder_install(nullptr);
    OGL_setstate_forget_for_test();
}

}  // namespace
