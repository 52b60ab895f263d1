// The background against a recorded GL: the colour fill covers the window in any panel, the
// start-up build cuts the picture into its sixteen tiles (checked texel by texel), a later build
// changes nothing, the tiles are placed and culled as the window needs, the depth-mask pass,
// and a picture larger than the staging image is refused instead of overrunning it.
#include "render/background.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <map>

#include "core/log.h"
#include "image_fixtures.h"
#include "draw_fixture.h"
#include "support/temp_dir.h"

namespace {

using namespace drawtest;

// The pixel a test picture holds at (x, y), y counted from its top row as the file stores it.
uint8_t channel(int x, int y, int c) {
    switch (c) {
    case 0: return static_cast<uint8_t>(x & 255);
    case 1: return static_cast<uint8_t>(y & 255);
    case 2: return static_cast<uint8_t>((x >> 8) * 16 + (y >> 8));
    default: return 255;
    }
}

std::string picture(int w, int h) {
    imgfix::png_spec s;
    s.width = w;
    s.height = h;
    s.color_type = PNG_COLOR_TYPE_RGB_ALPHA;
    s.rows = imgfix::rows8(w, h, 4, channel);
    return imgfix::make_png(s);
}

// Every tile upload, by the texture name bound when it was made.
std::vector<std::vector<uint8_t>> g_uploads;
void APIENTRY keep_upload(GLenum, GLint, GLint, GLint, GLsizei w, GLsizei h, GLenum, GLenum, const GLvoid* p) {
    const auto* b = static_cast<const uint8_t*>(p);
    g_uploads.emplace_back(b, b + static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4);
}

class Background : public RecordedDraw {
protected:
    void SetUp() override {
        RecordedDraw::SetUp();
        ASSERT_TRUE(xer.open(tmp / "log.txt"));
        ASSERT_EQ(chdir(tmp.path().c_str()), 0);
        g_uploads.clear();
        wins.panel_id = -1;
    }
    void TearDown() override {
        RecordedDraw::TearDown();
        back_dx = back_dy = 0;
        xer.close();
    }
    void put_picture(int w, int h) { testsupport::write_file(tmp / (bmp_path + "intro.png"), picture(w, h)); }
    // Builds with the uploads kept.
    void build() {
        gl.glTexSubImage2D = keep_upload;
        OGL_make_back_tex();
    }
    uint8_t corrected(uint8_t v) const { return colr.gamma_differs ? colr.gamma_ramp[v] : v; }

    testsupport::temp_dir tmp;
};

TEST_F(Background, TheColourFillCoversTheWindowWhateverThePanel) {
    wins.panel_id = 2;
    wins.off_x = 112;
    wins.off_y = 84;
    colr.col_assign(39, 0.2f, 0.3f, 0.4f);
    OGL_plot_back_col();
    EXPECT_EQ(rec.take(), (calls{"glColor3f(0.2, 0.3, 0.4)", "glBegin(GL_QUADS)", "glVertex2f(0, 0)",
                                 "glVertex2f(0, 600)", "glVertex2f(800, 600)", "glVertex2f(800, 0)", "glEnd()"}));
}

TEST_F(Background, TheStartupBuildCutsThePictureIntoSixteenTiles) {
    put_picture(700, 600);
    build();
    EXPECT_EQ(back_dx, 700);
    EXPECT_EQ(back_dy, 600);
    EXPECT_EQ(back_colr, 0);
    ASSERT_EQ(g_uploads.size(), 16u);
    for (int ref = 397; ref <= 412; ++ref) EXPECT_TRUE(tman.tex_loaded(ref)) << ref;

    // Tile r, c holds the grid's texels from (512c, 512r), rows bottom-up; the picture fills the
    // grid's lower-left corner and the rest is transparent black.
    struct probe {
        int r, c, x, y;   // tile and texel in it
    };
    const probe probes[] = {{0, 0, 0, 0}, {0, 0, 511, 511}, {0, 1, 0, 0}, {0, 1, 187, 87}, {0, 1, 188, 87},
                            {1, 0, 3, 87}, {1, 0, 3, 88}, {3, 3, 511, 511}};
    for (const probe& p : probes) {
        const int gx = 512 * p.c + p.x, gy = 512 * p.r + p.y;
        const uint8_t* t = &g_uploads[static_cast<std::size_t>(4 * p.r + p.c)][(static_cast<std::size_t>(p.y) * 512 +
                                                                                 static_cast<std::size_t>(p.x)) * 4];
        const bool inside = gx < 700 && gy < 600;
        const int file_row = 600 - 1 - gy;
        for (int ch = 0; ch < 4; ++ch) {
            const uint8_t want = !inside ? 0 : ch == 3 ? channel(gx, file_row, ch) : corrected(channel(gx, file_row, ch));
            EXPECT_EQ(t[ch], want) << "tile " << p.r << "," << p.c << " texel " << p.x << "," << p.y << " channel " << ch;
        }
    }
    EXPECT_EQ(rec.matching({"glTexSubImage2D"}).size(), 0u) << "uploads went through the hook";

    // Once the program runs, a build only takes the lock.
    wins.panel_id = 0;
    rec.take();
    build();
    EXPECT_EQ(rec.take(), calls{});
    EXPECT_EQ(g_uploads.size(), 16u);
}

TEST_F(Background, TheTilesArePlacedForTheWindowAndCulledOutsideIt) {
    put_picture(64, 64);
    build();
    std::map<unsigned, int> ref_of_name;
    for (int ref = 397; ref <= 412; ++ref) ref_of_name[gl_name(ref)] = ref;
    // The cells drawn: the tile bound for each quad and the quad's corners.
    auto drawn = [&] {
        std::vector<std::pair<int, std::vector<corner>>> out;
        int bound = -1;
        const calls made = rec.take();
        for (std::size_t i = 0; i < made.size(); ++i) {
            const gl_call c = parse(made[i]);
            if (made[i] == "glDisable(GL_TEXTURE_2D)") bound = -1;
            if (c.name == "glBindTexture") bound = ref_of_name.count(unsigned(c.num[1])) ? ref_of_name[unsigned(c.num[1])] : -1;
            if (made[i] == "glBegin(GL_QUADS)") {
                std::vector<gl_call> quad;
                for (++i; made[i] != "glEnd()"; ++i) quad.push_back(parse(made[i]));
                out.push_back({bound, corners(quad)});
            }
        }
        return out;
    };

    // A 2048 x 2048 picture at start-up in an 800 x 600 window: right edge 800, left -1248, top
    // 1112, bottom -936; only the four cells that reach into the window are drawn, no fill.
    back_dx = back_dy = 2048;
    rec.take();
    OGL_plot_back_tex(0);
    auto cells = drawn();
    ASSERT_EQ(cells.size(), 4u);
    const int refs[] = {403, 404, 407, 408};
    const double lefts[] = {-224, 288, -224, 288}, bottoms[] = {-424, -424, 88, 88};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(cells[i].first, refs[i]) << i;
        ASSERT_EQ(cells[i].second.size(), 4u);
        const auto& q = cells[i].second;
        EXPECT_EQ(q[0].x, lefts[i]);
        EXPECT_EQ(q[0].y, bottoms[i]);
        EXPECT_EQ(q[2].x, lefts[i] + 512);
        EXPECT_EQ(q[2].y, bottoms[i] + 512);
        EXPECT_EQ(q[0].s, 0);
        EXPECT_EQ(q[0].t, 0);
        EXPECT_EQ(q[1].t, 1);
        EXPECT_EQ(q[2].s, 1);
    }

    // A picture smaller than the window hangs from its top-left corner over the colour fill.
    back_dx = 700;
    back_dy = 300;
    OGL_plot_back_tex(0);
    cells = drawn();
    ASSERT_EQ(cells.size(), 17u);
    EXPECT_EQ(cells[0].first, -1) << "the colour fill comes first";
    EXPECT_EQ(cells[1].second[0].x, 0);
    EXPECT_EQ(cells[1].second[0].y, 300);
    EXPECT_EQ(cells[16].second[2].x, 700);
    EXPECT_EQ(cells[16].second[2].y, 600);

    // Once the program runs the picture stands on the bottom at the interface's left offset.
    wins.panel_id = 0;
    wins.ui_off_x = 128;
    OGL_plot_back_tex(0);
    cells = drawn();
    ASSERT_EQ(cells.size(), 16u);
    EXPECT_EQ(cells[0].second[0].x, 128);
    EXPECT_EQ(cells[0].second[0].y, 0);
    EXPECT_EQ(cells[15].second[2].x, 828);
    EXPECT_EQ(cells[15].second[2].y, 300);

    // Before a build the rectangle is empty and nothing is bound or drawn.
    back_dx = back_dy = 0;
    OGL_plot_back_tex(0);
    EXPECT_TRUE(drawn().empty());
}

TEST_F(Background, TheDepthMaskPassWritesOnlyDepthAndRestoresTheState) {
    put_picture(64, 64);
    build();
    wins.panel_id = 0;
    rec.take();
    OGL_plot_back_tex(1);
    const calls made = rec.matching({"glAlphaFunc", "glColorMask", "glDepthRange", "glDepthMask", "glEnable",
                                     "glDisable"});
    EXPECT_EQ(made, (calls{"glDisable(GL_BLEND)", "glEnable(GL_ALPHA_TEST)", "glEnable(GL_DEPTH_TEST)", "glDepthMask(GL_TRUE)", "glAlphaFunc(GL_GEQUAL, 1)",
                           "glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE)", "glDepthRange(0, 0)",
                           "glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE)", "glDepthRange(0, 1)",
                           "glAlphaFunc(GL_GREATER, 0)"}));
}

TEST_F(Background, APictureLargerThanTheStagingImageIsRefused) {
    GTEST_FLAG_SET(death_test_style, "fast");
    // The largest that fits, in either direction, builds.
    for (const auto& [w, h] : {std::pair{2048, 4}, std::pair{4, 2048}}) {
        back_dx = back_dy = 0;
        put_picture(w, h);
        build();
        EXPECT_EQ(back_dx, w);
        EXPECT_EQ(back_dy, h);
    }
    // One more texel either way is the quit alert naming the picture; nothing is written past the
    // staging image (the sanitizer would stop the child).
    for (const auto& [w, h] : {std::pair{2049, 4}, std::pair{4, 2049}}) {
        put_picture(w, h);
        EXPECT_EXIT(build(), ::testing::ExitedWithCode(0), "") << w << "x" << h;
        const std::string log = testsupport::read_file(tmp / "log.txt");
        EXPECT_NE(log.find("Trying to load a texture that you do not have!"), std::string::npos) << log;
        EXPECT_NE(log.find("intro.png"), std::string::npos);
    }
}

}  // namespace
