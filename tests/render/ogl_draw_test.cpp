// The drawing primitives against a recorded GL: the palette colour rule and the spectrum, the
// exact vertices of rectangles, lines, triangles and quads in a moved panel, circles and arcs,
// and the 3-D pieces.
#include "render/ogl_draw.h"

#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <functional>

#include "draw_fixture.h"

namespace {

using namespace drawtest;

class Primitives : public RecordedDraw {
protected:
    // The colour call the last primitive made.
    gl_call colour_of(const calls& made) {
        for (const std::string& c : made)
            if (c.rfind("glColor", 0) == 0) return parse(c);
        return {};
    }
};

void expect_colour(const gl_call& c, const char* name, std::vector<double> want, const std::string& what) {
    EXPECT_EQ(c.name, name) << what;
    ASSERT_EQ(c.num.size(), want.size()) << what;
    for (std::size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(c.num[i], want[i], 1e-5) << what << " arg " << i;
}

TEST_F(Primitives, ThePaletteRuleScalesFadesAndPicksTheColourCall) {
    struct rule_case {
        const char* name;
        int slot;
        float alpha;
        std::function<void()> setup;
        const char* call;
        std::vector<double> want;
    };
    const auto bright = [] {
        colr.bright[0] = 0.5f;
        colr.bright[2] = 0.25f;
        colr.bright[4] = 0.5f;
    };
    const rule_case cases[] = {
        {"plain slot", 1, 1.0f, [] {}, "glColor3f", {1, 0.2, 0.2}},
        {"slot 38 is scaled", 38, 1.0f, bright, "glColor3f", {0.5, 0.25, 0.5}},
        {"slot 39 is not", 57, 1.0f, bright, "glColor3f", {1, 1, 1}},
        {"alpha 0.98 gives four components", 57, 0.98f, [] {}, "glColor4f", {1, 1, 1, 0.98}},
        {"alpha 0.995 gives three", 57, 0.995f, [] {}, "glColor3f", {1, 1, 1}},
        {"the ren factor multiplies", 57, 1.0f, [] { ren.alpha = 0.5f; }, "glColor4f", {1, 1, 1, 0.5}},
        {"full fade: red of the sum", 3, 1.0f, [] { colr.fade = 0.5f; }, "glColor3f", {1, 0, 0}},
        {"full fade of black", 11, 1.0f, [] { colr.fade = 0.7f; }, "glColor3f", {0.01, 0, 0}},
        {"half fade", 3, 1.0f, [] { colr.fade = 0.25f; }, "glColor3f", {0.85, 0.35, 0.35}},
        {"green monochrome", 6, 1.0f, [] { colr.mono = 1; }, "glColor3f", {0, 0.9, 0}},
        {"fade wins over monochrome", 6, 1.0f, [] { colr.mono = 1; colr.fade = 0.5f; }, "glColor3f", {0.9, 0, 0}},
        {"a slot outside the palette is black", 500, 1.0f, [] {}, "glColor3f", {0, 0, 0}},
    };
    for (const rule_case& c : cases) {
        c.setup();
        OGL_set_palette_color(c.slot, c.alpha);
        const calls made = rec.take();
        ASSERT_EQ(made.size(), 1u) << c.name;
        expect_colour(parse(made[0]), c.call, c.want, c.name);
        for (float& b : colr.bright) b = 1.0f;
        colr.fade = 0;
        colr.mono = 0;
        ren.alpha = 1.0f;
    }
}

TEST_F(Primitives, TheSpectrumRunsThroughItsStopsAndClampsBothEnds) {
    struct spec_case {
        float value;
        std::vector<double> want;
    };
    const spec_case cases[] = {
        {-1.0f, {0, 0, 0}},          {0.0f, {0, 0, 0}},          {1.0f / 12, {0.5, 0, 0}},
        {1.0f / 6, {1, 0, 0}},       {0.25f, {1, 0.16, 0.04}},   {0.5f, {1, 1, 0}},
        {1.0f, {0.8, 0, 0.8}},       {2.0f, {0.8, 0, 0.8}},      {11.0f / 12, {0.4, 0, 0.9}},
    };
    for (const spec_case& c : cases) {
        OGL_spectrum_rgb(c.value);
        const calls made = rec.take();
        ASSERT_EQ(made.size(), 1u) << c.value;
        expect_colour(parse(made[0]), "glColor3f", c.want, "value " + std::to_string(c.value));
    }
    // The rule's later steps apply: the fade and the ren factor, never the brightness factors.
    colr.bright[0] = 0.1f;
    colr.fade = 0.5f;
    ren.alpha = 0.5f;
    OGL_spectrum_rgb(0.5f);
    expect_colour(parse(rec.take().at(0)), "glColor4f", {1, 0, 0, 0.5}, "faded");
}

TEST_F(Primitives, FlatShapesLandOnThePanelOffsetsAndOutlinesOnPixelCentres) {
    wins.off_x = 10;
    wins.off_y = 20;
    struct shape_case {
        const char* name;
        std::function<void()> draw;
        calls expect;
    };
    const shape_case cases[] = {
        {"fillrect", [] { OGL_fillrect(57, 1, 1, 2, 30, 40); },
         {"glColor3f(1, 1, 1)", "glBegin(GL_QUADS)", "glVertex2f(11, 22)", "glVertex2f(11, 62)", "glVertex2f(41, 62)",
          "glVertex2f(41, 22)", "glEnd()"}},
        {"framerect", [] { OGL_framerect(57, 1, 1, 2, 30, 40); },
         {"glColor3f(1, 1, 1)", "glBegin(GL_LINE_LOOP)", "glVertex2f(11.5, 22.5)", "glVertex2f(11.5, 62.5)",
          "glVertex2f(41.5, 62.5)", "glVertex2f(41.5, 22.5)", "glEnd()"}},
        {"grayrect in slot 12", [] { OGL_grayrect(1, 2, 31, 42, 0.5f); },
         {"glColor4f(0, 0, 0, 0.5)", "glBegin(GL_QUADS)", "glVertex2f(11, 22)", "glVertex2f(11, 62)",
          "glVertex2f(41, 62)", "glVertex2f(41, 22)", "glEnd()"}},
        {"line", [] { OGL_line(1, 1, 0, 0, 5, 7); },
         {"glColor3f(1, 0.2, 0.2)", "glBegin(1)", "glVertex2f(10.5, 20.5)", "glVertex2f(15.5, 27.5)",
          "glEnd()"}},
        {"filltri", [] { OGL_filltri(57, 1, 0, 0, 0, 10, 10, 0); },
         {"glColor3f(1, 1, 1)", "glBegin(GL_TRIANGLES)", "glVertex2f(10.5, 20.5)", "glVertex2f(10.5, 30.5)",
          "glVertex2f(20.5, 20.5)", "glEnd()"}},
        {"2dquad without a texture", [] {
             OGL_2dquad(0, 57, 1, 0, 0, 0, 0, 0, 8, 0, 1, 8, 8, 1, 1, 8, 0, 1, 0, 1, ogl_al_blend, 0);
         },
         {"glEnable(GL_TEXTURE_2D)", "glColor3f(1, 1, 1)", "glBegin(GL_QUADS)", "glTexCoord2f(0, 0)",
          "glVertex2f(10, 20)", "glTexCoord2f(0, 1)", "glVertex2f(10, 28)", "glTexCoord2f(1, 1)",
          "glVertex2f(18, 28)", "glTexCoord2f(1, 0)", "glVertex2f(18, 20)", "glEnd()"}},
    };
    for (const shape_case& c : cases) {
        c.draw();
        EXPECT_EQ(rec.take(), c.expect) << c.name;
        OGL_setstate(1, 0, 1, 1, 1, 1);
        rec.take();
    }
}

TEST_F(Primitives, TexturedQuadsBindOnUnitZeroBeforeTheColour) {
    const std::string bind = "glBindTexture(GL_TEXTURE_2D, " + std::to_string(gl_name(tex_ref_interface)) + ")";
    OGL_2dquad_d(tex_ref_interface, 57, 0.5f, 5, 6, 0.25f, 0.5f, 20, 10, 0.125f, 0.0625f, ogl_al_blend_test);
    const calls made = rec.take();
    const calls want = {"glEnable(GL_TEXTURE_2D)", "glEnable(GL_ALPHA_TEST)", bind,
                        "glColor4f(1, 1, 1, 0.5)", "glBegin(GL_QUADS)", "glTexCoord2f(0.25, 0.5)", "glVertex2f(5, 6)",
                        "glTexCoord2f(0.25, 0.5625)", "glVertex2f(5, 16)", "glTexCoord2f(0.375, 0.5625)",
                        "glVertex2f(25, 16)", "glTexCoord2f(0.375, 0.5)", "glVertex2f(25, 6)", "glEnd()"};
    // The bind may also set the unit's environment the first time.
    calls without_env;
    for (const std::string& c : made)
        if (c.rfind("glTexEnvi", 0) != 0) without_env.push_back(c);
    EXPECT_EQ(without_env, want);
}

TEST_F(Primitives, CirclesAndArcs) {
    // An outline always has 73 vertices, the first straight up and equal to the last.
    for (const float r : {0.0f, 5.0f, 100.0f}) {
        OGL_framecircle(57, 1, 100, 100, r);
        const auto cs = parse_all(rec.take());
        std::vector<gl_call> v;
        for (const gl_call& c : cs)
            if (c.name == "glVertex2f") v.push_back(c);
        ASSERT_EQ(v.size(), 73u) << r;
        EXPECT_NEAR(v.front().num[0], 100.5, 1e-4);
        EXPECT_NEAR(v.front().num[1], 100.5 + r, 1e-4);
        EXPECT_EQ(v.front().text, v.back().text);
        EXPECT_NEAR(v[18].num[0], 100.5 + r, 1e-4) << "90 degrees is to the right";
        EXPECT_NEAR(v[18].num[1], 100.5, 1e-3);
    }

    // A filled disc: one line per unit of height, each as wide as the circle there.
    OGL_fillcircle(57, 1, 50, 50, 2);
    std::vector<double> halves;
    const auto cs = parse_all(rec.take());
    for (std::size_t i = 0; i + 1 < cs.size(); ++i)
        if (cs[i].name == "glVertex2f" && cs[i + 1].name == "glVertex2f") {
            halves.push_back((cs[i + 1].num[0] - cs[i].num[0]) / 2);
            EXPECT_EQ(cs[i].num[1], cs[i + 1].num[1]);
        }
    ASSERT_EQ(halves.size(), 5u);
    const double want[] = {0, std::sqrt(3.0), 2, std::sqrt(3.0), 0};
    for (int i = 0; i < 5; ++i) EXPECT_NEAR(halves[i], want[i], 1e-4) << i;
    OGL_fillcircle(57, 1, 50, 50, 0);
    EXPECT_EQ(rec.matching({"glVertex2f"}), (calls{"glVertex2f(50.5, 50.5)", "glVertex2f(50.5, 50.5)"}));
    rec.take();
    OGL_fillcircle(57, 1, 50, 50, -1);
    EXPECT_EQ(rec.take(), calls{});

    // Arcs: an inner and an outer vertex per degree, no half unit, the ren alpha only.
    ren.alpha = 0.5f;
    OGL_arc(57, 10, 10, 4, 8, 30, 30);
    EXPECT_EQ(rec.matching({"glColor", "glBegin", "glEnd"}),
              (calls{"glColor4f(1, 1, 1, 0.5)", "glBegin(GL_QUAD_STRIP)", "glEnd()"}));
    auto v = parse_all(rec.matching({"glVertex2f"}));
    ASSERT_EQ(v.size(), 2u);
    EXPECT_NEAR(v[0].num[0], 12, 1e-5);
    EXPECT_NEAR(v[0].num[1], 10 + 4 * std::cos(M_PI / 6), 1e-5);
    EXPECT_NEAR(v[1].num[0], 14, 1e-5);
    rec.take();
    OGL_arc(57, 10, 10, 4, 8, 0, 90);
    v = parse_all(rec.matching({"glVertex2f"}));
    ASSERT_EQ(v.size(), 182u);
    EXPECT_NEAR(v.back().num[0], 18, 1e-5);
    EXPECT_NEAR(v.back().num[1], 10, 1e-5);
    rec.take();
    OGL_arc(57, 10, 10, 4, 8, 90, 0);
    EXPECT_EQ(rec.matching({"glVertex2f"}), calls{});
}

TEST_F(Primitives, ThreeDimensionalPieces) {
    const float a[3] = {0, 0, 0}, b[3] = {0, 1, 0}, c[3] = {1, 1, 0}, d[3] = {1, 0, 0};
    OGL_3dquad(a, b, c, d);
    EXPECT_EQ(rec.take(), (calls{"glNormal3f(0, 0, 1)", "glTexCoord2f(1, 1)", "glVertex3fv(ptr)", "glTexCoord2f(1, 0)",
                                 "glVertex3fv(ptr)", "glTexCoord2f(0, 0)", "glVertex3fv(ptr)", "glTexCoord2f(0, 1)",
                                 "glVertex3fv(ptr)"}));
    // Three points on one line: the normal points up.
    const float e[3] = {2, 0, 0};
    OGL_3dquad_st(a, d, e, b, 0.1f, 0.2f, 0.3f, 0.4f);
    EXPECT_EQ(rec.matching({"glNormal3f", "glTexCoord2f"}),
              (calls{"glNormal3f(0, 1, 0)", "glTexCoord2f(0.1, 0.2)", "glTexCoord2f(0.1, 0.4)", "glTexCoord2f(0.3, 0.4)",
                     "glTexCoord2f(0.3, 0.2)"}));
    rec.take();

    OGL_3dline(1, 2, 3, 4, 5, 6);
    EXPECT_EQ(rec.take(), (calls{"glVertex3f(1, 2, 3)", "glVertex3f(4, 5, 6)"}));

    OGL_cube(1, 2, 3, 4, 5, 6, 0, 1, 0.25f, 0.75f);
    const calls cube = rec.take();
    EXPECT_EQ(cube.front(), "glPushMatrix()");
    EXPECT_EQ(cube[1], "glTranslatef(1, 2, 3)");
    EXPECT_EQ(cube.back(), "glPopMatrix()");
    long strip = 0, quads = 0;
    bool in_strip = false;
    for (const std::string& s : cube) {
        if (s == "glBegin(GL_QUAD_STRIP)") in_strip = true;
        else if (s == "glBegin(GL_QUADS)") in_strip = false;
        else if (s.rfind("glVertex3f", 0) == 0) ++(in_strip ? strip : quads);
    }
    EXPECT_EQ(strip, 10);   // four walls, back to the first corner
    EXPECT_EQ(quads, 8);    // top and bottom
    EXPECT_EQ(parse(cube[4]).name, "glTexCoord2f");
    EXPECT_EQ(cube[5], "glVertex3f(-2, 5, -3)");   // the first corner's top

    OGL_disc(0, 0, 0, 10);
    const calls disc = rec.take();
    int fans = 0, strips = 0, vertices = 0;
    for (const std::string& s : disc) {
        fans += s == "glBegin(GL_TRIANGLE_FAN)";
        strips += s == "glBegin(GL_QUAD_STRIP)";
        vertices += s.rfind("glVertex3f", 0) == 0;
    }
    EXPECT_EQ(fans, 2);
    EXPECT_EQ(strips, 3);
    EXPECT_EQ(vertices, 2 * 14 + 3 * 26);
    // The front fan starts at its centre, then the front ring at 0 degrees.
    const auto front = std::find(disc.begin(), disc.end(), "glNormal3f(1, 0, 0)");
    ASSERT_NE(front, disc.end());
    EXPECT_EQ(front[1], "glVertex3f(10, 0, 0)");
    EXPECT_EQ(front[2], "glVertex3f(10, 3.8, -0)");
}

}  // namespace
