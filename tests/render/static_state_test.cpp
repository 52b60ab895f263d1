// What the rendering files have built before main runs: their statistics at 0 under their kinds,
// the shader reload command as the first remote command, the movie recorder idle with the movie
// library entered, and empty lists.
#include <gtest/gtest.h>

#include <string>

#include "core/memory_report.h"
#include "core/stats.h"
#include "render/ogl_chunkybuffer.h"
#include "render/ogl_framebuffer.h"
#include "render/ogl_shader.h"
#include "render/ogl_xdl.h"
#include "render/qtim.h"
#include "render/tex_bind.h"

namespace {

TEST(RenderingStaticState, BuiltBeforeMain) {
    UTL_stat::init_stats();
    const struct {
        UTL_stat* stat;
        const char* name;
        UTL_stat_type kind;
    } stats[] = {{&g_mem_used, "memory/chunky_buffers", stat_level},
                 {&g_fbo_flushes, "fbo/flush_per_frame", stat_per_frame},
                 {&gKillTex, "perf/kill_tex", stat_setting},
                 {&num_xdl_draw, "xdl/num_xdl_draw", stat_per_frame},
                 {&num_xdl_vert, "xdl/num_xdl_vert", stat_per_frame},
                 {&num_xdl, "xdl/num_xdl", stat_level},
                 {&num_xdl_group, "xdl/num_xdl_group", stat_level},
                 {&num_xdl_group_map, "xdl/num_xdl_group_map", stat_level}};
    for (const auto& s : stats) {
        EXPECT_EQ(std::string(s.stat->name), s.name);
        EXPECT_EQ(all_stats()[s.kind].count(s.stat), 1u) << s.name;
        EXPECT_EQ(*s.stat->value, 0.0f) << s.name;
    }

    const UTL_remote_cmd *reload = nullptr, *dump = nullptr;
    for (const UTL_remote_cmd* c = UTL_remote_cmd::cmd_list; c; c = c->link) {
        if (std::string(c->name) == "Reload Pixel Shaders...") reload = c;
        if (std::string(c->name) == "Dump Memory Info") dump = c;
    }
    ASSERT_EQ(reload, &cmd_do_pick_tex);
    ASSERT_NE(dump, nullptr);
    EXPECT_EQ(reload->id, 1);
    EXPECT_EQ(dump->id, 2);
    EXPECT_EQ(reload->callback, &do_reload);
    EXPECT_EQ(dump->callback, &DumpMemCmd);

    EXPECT_EQ(qtim.qt_ok, 1);
    EXPECT_EQ(qtim.mov_mode, 0);
    EXPECT_EQ(qtim.mov_dx, 320);
    EXPECT_EQ(qtim.mov_fps, 20.0f);
    EXPECT_TRUE(usable_buffers.empty());
    EXPECT_TRUE(OGL_shader::stack.empty());
    EXPECT_TRUE(OGL_shader::shaders.empty());
    EXPECT_EQ(OGL_framebuffer::mTypeNow, 0);
}

}  // namespace
