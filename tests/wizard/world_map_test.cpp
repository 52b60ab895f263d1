// The world-map tile picker drawn into a recorded GL: where the map and each tile's picture lie
// and which band of the picture they show, and what presses, drags and the two buttons do to the
// chosen tiles and the disk figures.
#include "wizard/world_map.h"

#include <gtest/gtest.h>

#include "../../tools/map/map_layout.h"
#include "../render/recorded_draw.h"
#include "install/install_filter.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "wizard/label_cuts.h"

namespace {

using namespace drawtest;

class WorldMap : public RecordedDraw {
protected:
    void SetUp() override {
        RecordedDraw::SetUp();
        load_art(tex_ref_map, 512, 1024);
        world_map_reset_for_test();
        stg_set_initial();
        std::memset(stg.chosen_tiles, 0, sizeof stg.chosen_tiles);
        std::memset(stg.offered_tiles, 0, sizeof stg.offered_tiles);
        sim_info.clear();
        set_install_filter(1, 1);
        rec.take();
    }
    void TearDown() override {
        sim_info.clear();
        RecordedDraw::TearDown();
    }
    // One frame of the picker with the mouse at (x, y): press is the button going down this
    // frame, held that it is down.
    calls frame(float x, float y, bool press, bool held) {
        mnw.mouse_x = x;
        mnw.mouse_y = y;
        mnw.click_hit = press;
        mnw.mouse_held = held;
        UTIL_world_map();
        mnw.click_hit = 0;
        return rec.take();
    }
    // A click (press, then release) at a point.
    void click(float x, float y) {
        frame(x, y, true, true);
        frame(x, y, false, false);
    }
    static float cx(int j) { return world_map_left + 14.0f * j + 7; }
    static float cy(int i) { return world_map_bottom + 14.0f * i + 7; }
    static int chosen_count() {
        int n = 0;
        for (auto& c : stg.chosen_tiles)
            for (int t : c) n += t != 0;
        return n;
    }
};

TEST_F(WorldMap, TheBaseMapAndEachOfferedTileShowTheirSquareOfTheirBand) {
    // The widget's bands are the painter's.
    for (int b = 0; b < 3; ++b) EXPECT_EQ(world_map_band_bottom[b], world_map::band_bottom[b]);
    EXPECT_EQ(world_map_tile * world_map_columns, world_map::band_width);
    EXPECT_EQ(world_map_tile * world_map_rows, world_map::band_height);
    EXPECT_EQ(world_map_tile, world_map::tile);

    struct tile_case {
        int j, i, chosen;
    };
    const tile_case tiles[] = {{0, 0, 0}, {35, 17, 1}, {20, 10, 0}, {7, 13, 1}};
    for (const auto& t : tiles) {
        stg.offered_tiles[t.j][t.i] = 1;
        stg.chosen_tiles[t.j][t.i] = t.chosen;
    }
    stg.chosen_tiles[3][3] = 1;   // chosen, but without scenery: no picture
    wins.off_x = 10;
    wins.off_y = 20;
    tman.bind_ref(tex_ref_interface, 0, 0);   // the map must bind its own picture
    const calls made = frame(-50, -50, false, false);
    EXPECT_NE(std::find(made.begin(), made.end(), "glBindTexture(GL_TEXTURE_2D, " + std::to_string(gl_name(tex_ref_map)) + ")"),
              made.end());
    const auto batches = quad_batches(made);
    ASSERT_FALSE(batches.empty());
    const auto& q = batches[0];
    ASSERT_EQ(q.size(), 4u * (1 + std::size(tiles)));
    const corner base[4] = {{0, 0, 258, 170}, {0, 252.0 / 1024, 258, 422}, {504.0 / 512, 252.0 / 1024, 762, 422},
                            {504.0 / 512, 0, 762, 170}};
    for (int k = 0; k < 4; ++k) {
        EXPECT_NEAR(q[k].s, base[k].s, 1e-6);
        EXPECT_NEAR(q[k].t, base[k].t, 1e-6);
        EXPECT_NEAR(q[k].x, base[k].x, 1e-4);
        EXPECT_NEAR(q[k].y, base[k].y, 1e-4);
    }
    // Tiles follow column by column, each (left, bottom), (left, top), (right, top), (right, bottom).
    const tile_case in_order[] = {{0, 0, 0}, {7, 13, 1}, {20, 10, 0}, {35, 17, 1}};
    for (size_t n = 0; n < std::size(in_order); ++n) {
        const auto& t = in_order[n];
        const double band = t.chosen ? 504 : 252;
        const double l = 258 + 14.0 * t.j, b = 170 + 14.0 * t.i;
        const double s0 = 14.0 * t.j / 512, s1 = 14.0 * (t.j + 1) / 512;
        const double t0 = (band + 14.0 * t.i) / 1024, t1 = (band + 14.0 * (t.i + 1)) / 1024;
        const corner want[4] = {{s0, t0, l, b}, {s0, t1, l, b + 14}, {s1, t1, l + 14, b + 14}, {s1, t0, l + 14, b}};
        for (int k = 0; k < 4; ++k) {
            const corner& got = q[4 + 4 * n + k];
            EXPECT_NEAR(got.s, want[k].s, 1e-6) << t.j << "," << t.i;
            EXPECT_NEAR(got.t, want[k].t, 1e-6) << t.j << "," << t.i;
            EXPECT_NEAR(got.x, want[k].x, 1e-4) << t.j << "," << t.i;
            EXPECT_NEAR(got.y, want[k].y, 1e-4) << t.j << "," << t.i;
        }
    }
    // No drag, no outline.
    EXPECT_EQ(std::find(made.begin(), made.end(), "glBegin(GL_LINE_LOOP)"), made.end());
}

TEST_F(WorldMap, AClickInsideATileFlipsItInTheFrameOfThePress) {
    frame(cx(5), cy(3), true, true);
    EXPECT_EQ(stg.chosen_tiles[5][3], 1);
    EXPECT_EQ(chosen_count(), 1);
    frame(cx(5), cy(3), false, false);
    click(cx(5), cy(3));
    EXPECT_EQ(stg.chosen_tiles[5][3], 0);
    EXPECT_EQ(chosen_count(), 0);
}

TEST_F(WorldMap, APressOnASharedEdgeTakesItsValueFromTheLastTileVisitedAndChangesNothingYet) {
    struct edge_case {
        const char* what;
        float x, y;
        int j_low, i_low, j_high, i_high;   // the two tiles that share the edge
    };
    const edge_case cases[] = {
        {"between columns", world_map_left + 14 * 6, cy(3), 5, 3, 6, 3},
        {"between rows", cx(9), world_map_bottom + 14 * 8, 9, 7, 9, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::memset(stg.chosen_tiles, 0, sizeof stg.chosen_tiles);
        stg.chosen_tiles[c.j_high][c.i_high] = 1;   // the later tile says: unchoose
        frame(c.x, c.y, true, true);
        EXPECT_EQ(stg.chosen_tiles[c.j_low][c.i_low], 0);
        EXPECT_EQ(stg.chosen_tiles[c.j_high][c.i_high], 1);
        // Into the later tile: the value written is the one the press decided.
        frame(cx(c.j_high), cy(c.i_high), false, true);
        EXPECT_EQ(stg.chosen_tiles[c.j_high][c.i_high], 0);
        frame(cx(c.j_high), cy(c.i_high), false, false);
    }
}

TEST_F(WorldMap, ADragWritesThePressValueOverEveryTileItTouchesAndShrinkingRestoresNothing) {
    for (int j = 2; j <= 6; ++j)
        for (int i = 2; i <= 6; ++i) stg.chosen_tiles[j][i] = 1;
    stg.offered_tiles[4][4] = 1;   // scenery or not, all the same
    frame(cx(2), cy(2), true, true);   // on a chosen tile: the drag unchooses
    const calls made = frame(cx(5), cy(4), false, true);
    for (int j = 2; j <= 6; ++j)
        for (int i = 2; i <= 6; ++i) EXPECT_EQ(stg.chosen_tiles[j][i], j <= 5 && i <= 4 ? 0 : 1) << j << "," << i;
    // The outline runs through the mouse and the press, drawn after the map.
    const auto loop = std::find(made.begin(), made.end(), "glBegin(GL_LINE_LOOP)");
    ASSERT_NE(loop, made.end());
    const std::vector<gl_call> v = parse_all(calls(loop + 1, loop + 5));
    const float pts[4][2] = {{cx(5), cy(4)}, {cx(2), cy(4)}, {cx(2), cy(2)}, {cx(5), cy(2)}};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(v[k].name, "glVertex2f");
        EXPECT_NEAR(v[k].num[0], pts[k][0], 1e-3);
        EXPECT_NEAR(v[k].num[1], pts[k][1], 1e-3);
    }
    frame(cx(3), cy(3), false, true);
    EXPECT_EQ(stg.chosen_tiles[5][4], 0);
    EXPECT_EQ(stg.chosen_tiles[4][3], 0);
    frame(cx(3), cy(3), false, false);
    EXPECT_EQ(stg.chosen_tiles[6][6], 1);
}

TEST_F(WorldMap, APressOutsideTheGridLeavesTheValueOfTheLastPressOnATile) {
    stg.chosen_tiles[1][1] = 1;
    frame(100, 300, true, true);   // left of the map, before any press on a tile
    frame(cx(1), cy(1), false, true);
    EXPECT_EQ(stg.chosen_tiles[1][1], 0);
    frame(cx(1), cy(1), false, false);

    click(cx(10), cy(10));   // an unchosen tile: later drags choose
    frame(100, 300, true, true);
    frame(cx(0), cy(1), false, true);
    EXPECT_EQ(stg.chosen_tiles[0][1], 1);
    EXPECT_EQ(stg.chosen_tiles[0][0], 0);   // the rectangle reaches row 1 only
}

TEST_F(WorldMap, TheTwoButtonsSetEveryTileAndTheDiskFiguresFollowInTheSameFrame) {
    // One scenery file in tile (5, 3), missing from the copy.
    file_history_struct h;
    file_version_struct v;
    v.path = "Ventaro 9/Global Scenery/+40-130/+43-125.dsf";
    v.sig_want = std::string(32, 'a');
    v.sig_have = "NONE";
    v.global_scenery = 1;
    v.lon_index = 5;
    v.lat_index = 3;
    v.comp_size = 30;
    v.uncomp_size = 100;
    h.versions.push_back(v);
    sim_info.push_back(h);
    stg.offered_tiles[5][3] = 1;
    recalc_disk_sizes();
    EXPECT_EQ(stg.files_to_get, 0);

    frame(cx(5), cy(3), true, true);
    EXPECT_EQ(stg.files_to_get, 1);
    EXPECT_FLOAT_EQ(stg.needed_space, 100);
    frame(cx(5), cy(3), false, false);

    // The clear button's right edge at 770, its frame 20 wider than its label; select-all ends
    // 5 units left of that frame.
    const int clear_w = btn_cuts[5][0] - btn_cuts[4][0];
    const float clear_x = 770 - clear_w / 2.0f;
    const float all_x = 765 - (clear_w + 20) - (btn_cuts[4][0] - btn_cuts[3][0]) / 2.0f;
    frame(all_x, 130, true, true);
    EXPECT_EQ(chosen_count(), 36 * 18);
    frame(all_x, 130, false, false);
    frame(clear_x, 130, true, true);
    EXPECT_EQ(chosen_count(), 0);
    EXPECT_EQ(stg.files_to_get, 0);
    frame(clear_x, 130, false, false);
    frame(all_x, 130, true, true);
    EXPECT_EQ(stg.files_to_get, 1);
}

}  // namespace
