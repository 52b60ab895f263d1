// The texture manager and texture objects against a recorded GL: loading files and staged images,
// sharing by path, releasing, the kill queue, the failure flags, and the misuse that ends the
// program.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <thread>

#include "core/frame_clock.h"
#include "core/log.h"
#include "core/thread_layer.h"
#include "image_fixtures.h"
#include "platform/clock.h"
#include "render/gl_recorder.h"
#include "render/ogl_extensions.h"
#include "render/renderer_options.h"
#include "render/tex_bind.h"
#include "render/tex_obj.h"
#include "render/tex_scratch.h"
#include "render/tman.h"
#include "shell/event_pump.h"
#include "support/temp_dir.h"

namespace {

using calls = std::vector<std::string>;

std::string rgba_png(int w, int h) {
    imgfix::png_spec s;
    s.width = w;
    s.height = h;
    s.color_type = PNG_COLOR_TYPE_RGB_ALPHA;
    s.rows = imgfix::rows8(w, h, 4, [](int x, int y, int c) { return c == 3 ? 255 : (x * 40 + y * 10 + c) & 255; });
    return imgfix::make_png(s);
}

// An 8 x 8 DXT1 picture with its whole chain (8 x 8, 4 x 4, 2 x 2, 1 x 1: 56 bytes), or without.
std::string dxt1_dds(bool chain) {
    return chain ? imgfix::make_dds(8, 8, 0x1007 | 0x20000, 0x4, "DXT1", 0x401008, 56)
                 : imgfix::make_dds(8, 8, 0x1007, 0x4, "DXT1", 0x1000, 32);
}

class Textures : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(xer.open(tmp / "log.txt"));
        glExt = OGL_extensions{};
        glExt.max_tex_size = 4096;
        glExt.tex_clamp_avail = 1;
        glExt.combine_avail = 1;
        reno = reno_class{};
        reno.tex_units = reno.ff_tex_units = 4;
        reno.tex_res = 5;
        gl_recorder_install(&rec);
        empty_manager();
        TEX_reset_bind();
        scratch_array = TEX_scratch_aligned_start();
        tman.TEX_init();
        rec.take();
    }
    void TearDown() override {
        empty_manager();
        gl_recorder_install(nullptr);
        tman_progress_message = nullptr;
        xer.close();
    }
    static void empty_manager() {
        for (TEX_obj* obj : tman.texes) delete obj;
        tman.texes.clear();
        tman.path_map.clear();
        for (auto* flag : {&tman.scene_fail, &tman.scene_fail_muted, &tman.plane_fail, &tman.plane_fail_muted,
                           &tman.instl_fail, &tman.instl_fail_muted})
            *flag = 0;
    }
    std::string file(const std::string& name, const std::string& bytes) {
        const std::string path = (tmp / name);
        testsupport::write_file(path, bytes);
        return path;
    }
    std::string log() { return xer.contents_for_test(); }
    // Runs a statement that must end the program with a crash alert, in the test's folder.
    void in_tmp() {
        if (chdir(tmp.path().c_str()) != 0) std::abort();
    }

    testsupport::temp_dir tmp;
    gl_recorder rec;
};

TEST_F(Textures, AFileLoadsAtItsRefWithTheCallsItsFlagsAskFor) {
    const std::string path = file("four.png", rgba_png(4, 4));
    EXPECT_EQ(tman.load_texture(tex_fail_quit, 100, 0x40242, tex_load_now, path), 100);
    // Unit 0 already modulates (the placeholder's upload set it), so only the name is bound.
    EXPECT_EQ(rec.take(), (calls{"glGenTextures(1, ptr)", "glBindTexture(GL_TEXTURE_2D, 1)",
                                 "glTexImage2D(GL_TEXTURE_2D, 0, 6408, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, ptr)",
                                 "glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, 10497)",
                                 "glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, 10497)",
                                 "glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, 9728)",
                                 "glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, 9728)", "glFlush()"}));
    EXPECT_EQ(tman.tex_dx_vis(100), 4);
    EXPECT_EQ(tman.tex_dy_tot(100), 4);
    EXPECT_EQ(tman.tex_vram(100), 64);
    EXPECT_EQ(tman.tex_mode(100), GL_RGBA);
    EXPECT_EQ(tman.get_path(100), path);
    EXPECT_EQ(tman.tex_loaded(100), 1);
    EXPECT_EQ(tman.tex_err(100), 0);
    // The upload bound through the cache, so binding the ref now costs nothing.
    tman.bind_ref(100, 0, 0);
    EXPECT_EQ(rec.take(), calls{});
}

TEST_F(Textures, ReloadingTheSameSizeUpdatesTheTextureInPlace) {
    const std::string path = file("map.png", rgba_png(256, 256));
    ASSERT_EQ(tman.load_texture(tex_fail_quit, 363, 0x48242, tex_load_now, path), 363);
    TEX_obj* first = tman.get_known_obj(363);
    rec.take();
    ASSERT_EQ(tman.load_texture(tex_fail_quit, 363, 0x48242, tex_load_now, path), 363);
    EXPECT_EQ(tman.get_known_obj(363), first);
    EXPECT_EQ(first->gl_id.load(), 1u);
    EXPECT_EQ(rec.matching({"glGen", "glTexImage2D", "glTexSubImage2D", "glDelete"}),
              calls{"glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 256, 256, GL_RGBA, GL_UNSIGNED_BYTE, ptr)"});
}

TEST_F(Textures, FlagsChooseWrappingFilteringAndMipmaps) {
    struct flag_case {
        const char* name;
        int flags;
        int clamp_avail, automini, aniso;
        calls expect;
    };
    const flag_case cases[] = {
        {"clamp both", 0x402, 1, 0, 0,
         {"glTexImage2D(GL_TEXTURE_2D, 0, 6408, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, ptr)",
          "glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, 33071)",
          "glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, 33071)",
          "glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, 9729)",
          "glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, 9729)"}},
        {"clamp s only, old clamp", 0x802, 0, 0, 0,
         {"glTexImage2D(GL_TEXTURE_2D, 0, 6408, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, ptr)",
          "glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, 10496)",
          "glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, 10497)",
          "glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, 9729)",
          "glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, 9729)"}},
        {"hardware mipmaps, anisotropy", 0x22, 1, 1, 1,
         {"glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, 1)",
          "glTexImage2D(GL_TEXTURE_2D, 0, 6408, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, ptr)",
          "glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, 10497)",
          "glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, 10497)",
          "glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, 1)",
          "glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, 9987)",
          "glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, 9729)"}},
        {"software mipmaps", 0x2022, 1, 1, 0,
         {"glTexImage2D(GL_TEXTURE_2D, 0, 32856, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, ptr)",
          "glTexImage2D(GL_TEXTURE_2D, 1, 32856, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, ptr)",
          "glTexImage2D(GL_TEXTURE_2D, 2, 32856, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, ptr)",
          "glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, 10497)",
          "glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, 10497)",
          "glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, 9987)",
          "glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, 9729)"}},
    };
    const std::string path = file("four.png", rgba_png(4, 4));
    int ref = 10;
    for (const flag_case& c : cases) {
        glExt.tex_clamp_avail = c.clamp_avail;
        glExt.automini_avail = c.automini;
        glExt.aniso_avail = c.aniso;
        ASSERT_EQ(tman.load_texture(tex_fail_quit, ref, c.flags, tex_load_now, path), ref) << c.name;
        EXPECT_EQ(rec.matching({"glTexImage2D", "glTexParameter"}), c.expect) << c.name;
        rec.take();
        ++ref;
    }
}

TEST_F(Textures, PicturesArePaddedToPowersOfTwoAndScaledToTheResolutionSetting) {
    struct size_case {
        const char* name;
        int w, h, flags, tex_res;
        int vis_w, vis_h, tot_w, tot_h;
        bool warned;
    };
    const size_case cases[] = {
        {"100 x 50 at full resolution", 100, 50, 0x42, 5, 100, 50, 128, 64, true},
        {"the same, warning silenced", 100, 50, 0x4042, 5, 100, 50, 128, 64, false},
        {"the same, other silencer", 100, 50, 0x8042, 5, 100, 50, 128, 64, false},
        {"1024 at one eighth", 1024, 1024, 0x42, 2, 128, 128, 128, 128, false},
        {"1024 at one eighth, always full", 1024, 1024, 0x40042, 2, 1024, 1024, 1024, 1024, false},
        {"1024 at one eighth, doubled", 1024, 1024, 0x10042, 2, 256, 256, 256, 256, false},
        {"64 x 2 never below one pixel", 64, 2, 0x42, 0, 32, 1, 32, 1, false},
    };
    int ref = 20;
    for (const size_case& c : cases) {
        reno.tex_res = c.tex_res;
        const std::string path = file(std::to_string(ref) + ".png", rgba_png(c.w, c.h));
        const std::size_t log_before = log().size();
        ASSERT_EQ(tman.load_texture(tex_fail_quit, ref, c.flags, tex_load_now, path), ref) << c.name;
        EXPECT_EQ(tman.tex_dx_vis(ref), c.vis_w) << c.name;
        EXPECT_EQ(tman.tex_dy_vis(ref), c.vis_h) << c.name;
        EXPECT_EQ(tman.tex_dx_tot(ref), c.tot_w) << c.name;
        EXPECT_EQ(tman.tex_dy_tot(ref), c.tot_h) << c.name;
        const std::string warning = "WARNING: texture " + path + " has a size that is not a power of 2; it may not "
                                                                 "render correctly.\n";
        EXPECT_EQ(log().substr(log_before) == warning, c.warned) << c.name << ": " << log().substr(log_before);
        ++ref;
    }
}

TEST_F(Textures, AMissingOrDamagedFileDrawsGreyAndReportsByItsFailMode) {
    std::string damaged = rgba_png(16, 16);
    damaged.resize(damaged.size() / 2);
    const std::string damaged_path = file("damaged.png", damaged);
    const std::string missing_path = (tmp / "nothing_here.png");

    // Mode 0: quiet; the ref is loaded but failed, and binds as the placeholder.
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(tman.load_texture(tex_fail_silent, 30, 0x42, tex_load_now, missing_path), 0);
    EXPECT_EQ(tman.load_texture(tex_fail_silent, 31, 0x42, tex_load_now, damaged_path), 0);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("PNG error!"), std::string::npos) << said;
    EXPECT_EQ(log().find("missing the texture"), std::string::npos);
    for (int ref : {30, 31}) {
        EXPECT_EQ(tman.tex_err(ref), 1);
        EXPECT_EQ(tman.tex_loaded(ref), 1);
        EXPECT_EQ(tman.tex_dx_vis(ref), 2);
        EXPECT_EQ(tman.get_known_obj(ref)->gl_id.load(), 0u);
    }
    rec.take();
    TEX_reset_bind();
    tman.bind_ref(31, 0, 0);
    EXPECT_EQ(rec.matching({"glBindTexture"}), calls{"glBindTexture(GL_TEXTURE_2D, 934)"});
    EXPECT_EQ(rec.matching({"glTexImage2D"}), calls{});

    // Modes 1 to 3: a log line and the family's flag.
    ::testing::internal::CaptureStderr();
    tman.load_texture(tex_fail_instl, 32, 0x42, tex_load_now, damaged_path);
    ::testing::internal::GetCapturedStderr();
    EXPECT_NE(log().find("WARNING: we are missing the texture: " + damaged_path + ".\n"), std::string::npos);
    EXPECT_EQ(tman.has_instl_load_fail(), 1);
    EXPECT_EQ(tman.has_scene_load_fail(), 0);
    tman.load_texture(tex_fail_scenery, 33, 0x42, tex_load_now, missing_path);
    tman.load_texture(tex_fail_plane, 34, 0x42, tex_load_now, missing_path);
    EXPECT_EQ(tman.has_scene_load_fail(), 1);
    EXPECT_EQ(tman.has_plane_load_fail(), 1);
}

TEST_F(Textures, EachFailureKindIsReportedOnceAndStaysMuted) {
    const std::string missing_path = (tmp / "nothing_here.png");
    tman.load_texture(tex_fail_instl, 40, 0x42, tex_load_now, missing_path);
    ::testing::internal::CaptureStderr();
    frame_hooks.texture_warnings();
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("Some textures could not be loaded."), std::string::npos) << said;
    EXPECT_NE(log().find("(QFutils/GenC/qf_event line 103)"), std::string::npos);
    EXPECT_EQ(tman.has_instl_load_fail(), 0);

    tman.load_texture(tex_fail_instl, 41, 0x42, tex_load_now, missing_path);
    EXPECT_EQ(tman.has_instl_load_fail(), 0);
    ::testing::internal::CaptureStderr();
    frame_hooks.texture_warnings();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    // A reset clears the record; the family stays muted.
    tman.reset_instl_load_fail();
    EXPECT_EQ(tman.instl_fail.load(), 0);
    EXPECT_EQ(tman.instl_fail_muted.load(), 1);
}

TEST_F(Textures, CompressedFilesArePreferredOnlyWhenAskedAndMustCarryTheirMips) {
    file("foo.png", rgba_png(8, 8));
    file("foo.dds", dxt1_dds(true));
    file("flat.png", rgba_png(8, 8));
    file("flat.dds", dxt1_dds(false));
    const std::string base = tmp.path() + "/";
    glExt.tex_comp_avail = 1;
    reno.use_comp_tex = 1;

    EXPECT_EQ(tman.load_texture(tex_fail_silent, 50, 0x42, tex_load_now, base + "foo.png"), 50);
    // The fixture's first block uses the transparent index, so the flip makes it DXT1 with alpha.
    EXPECT_EQ(tman.tex_mode(50), GL_COMPRESSED_RGBA_S3TC_DXT1_EXT);
    EXPECT_EQ(tman.has_alpha(50), 1);
    EXPECT_EQ(rec.matching({"glCompressedTexImage2D", "glTexImage2D"}),
              (calls{"glCompressedTexImage2D(GL_TEXTURE_2D, 0, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 8, 8, 0, 32, ptr)",
                     "glCompressedTexImage2D(GL_TEXTURE_2D, 1, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 4, 4, 0, 8, ptr)",
                     "glCompressedTexImage2D(GL_TEXTURE_2D, 2, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 2, 2, 0, 8, ptr)",
                     "glCompressedTexImage2D(GL_TEXTURE_2D, 3, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 1, 1, 0, 8, ptr)"}));
    rec.take();

    // 0x200: the PNG.
    EXPECT_EQ(tman.load_texture(tex_fail_silent, 51, 0x242, tex_load_now, base + "foo.png"), 51);
    EXPECT_EQ(tman.tex_mode(51), GL_RGBA);
    // Compression off: the PNG comes first in the plain order.
    reno.use_comp_tex = 0;
    EXPECT_EQ(tman.load_texture(tex_fail_silent, 52, 0x42, tex_load_now, base + "foo.dds"), 52);
    EXPECT_EQ(tman.tex_mode(52), GL_RGBA);
    // Without its own mip chain a DDS is as good as missing, whatever else lies next to it.
    reno.use_comp_tex = 1;
    EXPECT_EQ(tman.load_texture(tex_fail_silent, 53, 0x42, tex_load_now, base + "flat.png"), 0);
    EXPECT_EQ(tman.tex_err(53), 1);
}

TEST_F(Textures, APathWithoutExtensionTriesTheCandidatesThenItself) {
    const std::string base = tmp.path() + "/";
    file("plain", rgba_png(2, 2));
    EXPECT_EQ(tman.load_texture(tex_fail_silent, 60, 0x42, tex_load_now, base + "plain"), 60);
    EXPECT_EQ(tman.tex_dx_tot(60), 2);
    file("pic.png", rgba_png(4, 4));
    file("pic", rgba_png(2, 2));
    EXPECT_EQ(tman.load_texture(tex_fail_silent, 61, 0x42, tex_load_now, base + "pic"), 61);
    EXPECT_EQ(tman.tex_dx_tot(61), 4);
}

TEST_F(Textures, LoadsByPathAreSharedAfterWholeDotDotComponentsCollapse) {
    struct collapse_case {
        const char* in;
        const char* out;
    };
    for (const collapse_case c : {collapse_case{"a/b/../c.png", "a/c.png"}, {"/x/a/b/../../c", "/x/c"},
                                  {"a/b/..c.png", "a/b/..c.png"}, {"a/b/../", "a/"}, {"a/../c", "a/../c"},
                                  {"../c", "../c"}, {"a/b/..", "a"}, {"/x/a/b/../..", "/x"},
                                  {"a/..", "a/.."}, {"a/b/...", "a/b/..."}, {"", ""}})
        EXPECT_EQ(TEX_collapse_dotdot(c.in), c.out) << c.in;

    const std::string base = tmp.path() + "/";
    file("c.png", rgba_png(4, 4));
    TEX_obj* first = tman.load_texture_obj(tex_fail_silent, 0x42, tex_load_now, base + "c.png");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->ref, tex_first_dynamic_ref);
    rec.take();
    TEX_obj* again = tman.load_texture_obj(tex_fail_silent, 0x42, tex_load_now, base + "sub/../c.png");
    EXPECT_EQ(again, first);
    EXPECT_EQ(first->ref_count.load(), 2);
    EXPECT_EQ(rec.take(), calls{});   // nothing loaded the second time
    // A file named "..c.png" is a different texture.
    TEX_obj* other = tman.load_texture_obj(tex_fail_silent, 0x42, tex_load_now, base + "sub/..c.png");
    EXPECT_NE(other, first);
    EXPECT_EQ(tman.load_texture(tex_fail_silent, 0, 0x42, tex_load_now, base + "c.png"), first->ref);
}

TEST_F(Textures, DynamicRefsTakeTheFirstFreeSlotFrom1243) {
    const std::string base = tmp.path() + "/missing";
    for (int i = 0; i < 57; ++i)
        EXPECT_EQ(tman.load_texture(tex_fail_silent, 0, 0x42, tex_load_now, base + std::to_string(i)), 1243 + i);
    ASSERT_EQ(tman.texes.size(), 1300u);
    EXPECT_EQ(tman.load_texture(tex_fail_silent, 0, 0x42, tex_load_now, base + "next"), 1300);
    // A released slot is taken again.
    tman.get_known_obj(1250)->release_kill();
    EXPECT_EQ(tman.tex_exists(1250), 0);
    EXPECT_EQ(tman.load_texture(tex_fail_silent, 0, 0x42, tex_load_now, base + "again"), 1250);
}

TEST_F(Textures, ReleasingTheLastReferenceDeletesNowOrAtThePurge) {
    const std::string path = file("c.png", rgba_png(4, 4));
    TEX_obj* obj = tman.load_texture_obj(tex_fail_silent, 0x42, tex_load_now, path);
    tman.load_texture_obj(tex_fail_silent, 0x42, tex_load_now, path);
    rec.take();
    EXPECT_EQ(obj->release_kill(), 1);
    EXPECT_EQ(tman.tex_exists(obj->ref), 1);
    EXPECT_EQ(obj->release_kill(), 0);
    EXPECT_EQ(tman.tex_exists(tex_first_dynamic_ref), 0);
    EXPECT_TRUE(tman.path_map.empty());
    EXPECT_EQ(rec.take(), calls{"glDeleteTextures(1, ptr)"});

    // Suspended: kept, found again by the next load of its path, deleted by the purge once unused.
    TEX_obj* kept = tman.load_texture_obj(tex_fail_silent, 0x42, tex_load_now, path);
    EXPECT_EQ(kept->release_suspend(), 0);
    EXPECT_EQ(tman.load_texture_obj(tex_fail_silent, 0x42, tex_load_now, path), kept);
    tman.purge_unused_texes();
    EXPECT_EQ(tman.tex_exists(kept->ref), 1);
    EXPECT_EQ(kept->release_suspend(), 0);
    rec.take();
    tman.purge_unused_texes();
    EXPECT_EQ(tman.tex_exists(tex_first_dynamic_ref), 0);
    EXPECT_EQ(rec.take(), calls{"glDeleteTextures(1, ptr)"});
}

TEST_F(Textures, UnloadingAManualRefDeletesItsTextureAndTheCacheForgetsIt) {
    const std::string path = file("c.png", rgba_png(4, 4));
    tman.load_texture(tex_fail_silent, 70, 0x42, tex_load_now, path);
    tman.unload_texture(70);
    tman.unload_texture(70);    // already empty
    tman.unload_texture(-5);    // nothing there
    EXPECT_EQ(tman.tex_exists(70), 0);
    rec.take();
    // The deleted name may come back from the driver for another texture: it must really bind.
    TEX_bind_ref(1, 0, 0, GL_TEXTURE_2D);
    EXPECT_EQ(rec.matching({"glBindTexture"}), calls{"glBindTexture(GL_TEXTURE_2D, 1)"});
}

TEST_F(Textures, StagedImagesUploadFromTheStagingBuffer) {
    std::memset(scratch_array, 0x40, 1024 * 4 * 4);
    scratch_dx = 1024;
    scratch_dy = 4;
    EXPECT_EQ(tman.load_texture(tex_fail_silent, 360, 0x40203, tex_load_now, "scratch_array-fonts"), 360);
    EXPECT_EQ(rec.matching({"glTexImage2D"}),
              calls{"glTexImage2D(GL_TEXTURE_2D, 0, 6406, 1024, 4, 0, GL_ALPHA, GL_UNSIGNED_BYTE, ptr)"});
    EXPECT_EQ(tman.has_alpha(360), 1);
    EXPECT_EQ(tman.tex_vram(360), 4096);
    // The placeholder from start-up: 2 x 2 grey under its own fixed name.
    TEX_obj* gray = tman.get_known_obj(934);
    ASSERT_NE(gray, nullptr);
    EXPECT_EQ(gray->gl_id.load(), 934u);
    EXPECT_EQ(tman.tex_dx_tot(934), 2);
    EXPECT_EQ(tman.tex_mode(934), GL_RGB);

    struct alpha_case {
        int layout;
        int has_alpha;
    };
    int ref = 370;
    for (const alpha_case c : {alpha_case{1, 0}, {2, 1}, {3, 1}, {8, 0}}) {
        scratch_dx = scratch_dy = 4;
        tman.load_texture(tex_fail_silent, ref, 0x40200 | c.layout, tex_load_now, "scratch_array-test");
        EXPECT_EQ(tman.has_alpha(ref), c.has_alpha) << c.layout;
        ++ref;
    }
}

TEST_F(Textures, ALoadAfterAQuietSecondAnnouncesItself) {
    static calls shown;
    shown.clear();
    tman_progress_message = [](const std::string& m) { shown.push_back(m); };
    const std::string path = file("c.png", rgba_png(4, 4));
    platform::test_clock_set(5'000'000);
    xtim_reset_for_test();
    tman.load_texture(tex_fail_silent, 80, 0x42, tex_load_now, path);
    shown.clear();

    platform::test_clock_advance(1'500'000);
    tman.load_texture(tex_fail_silent, 81, 0x42, tex_load_now, path);
    tman.load_texture(tex_fail_silent, 82, 0x42, tex_load_now, path);   // right after: quiet
    platform::test_clock_advance(1'500'000);
    tman.load_texture(tex_fail_silent, 359, 0x42, tex_load_now, path);  // never announced
    platform::test_clock_advance(1'500'000);
    tman.load_texture(tex_fail_silent, 83, 0x42, tex_load_lazy, path);  // only load time 2 is
    platform::test_clock_advance(1'500'000);
    scratch_dx = scratch_dy = 2;
    tman.load_texture(tex_fail_silent, 84, 0x42, tex_load_now, "scratch_array-quiet");
    platform::test_clock_release();
    xtim_reset_for_test();
    EXPECT_EQ(shown, calls{"Loading bitmap " + path + "."});
}

TEST_F(Textures, WorkerThreadsHandTheirNamesToTheMainThread) {
    THREAD_init();
    const std::string path = file("c.png", rgba_png(4, 4));
    TEX_obj* obj = tman.load_texture_obj(tex_fail_silent, 0x42, tex_load_now, path);
    ASSERT_EQ(obj->gl_id.load(), 1u);
    rec.take();
    // The last holder lets go on a worker: the object goes, its name waits for the main thread.
    std::thread worker([obj] { obj->release_kill(); });
    worker.join();
    EXPECT_EQ(tman.tex_exists(tex_first_dynamic_ref), 0);
    EXPECT_EQ(rec.take(), calls{});
    TEX_bind_ref(1, 0, 0, GL_TEXTURE_2D);   // the cache still believes name 1 is bound
    EXPECT_EQ(rec.take(), calls{});
    frame_hooks.delete_textures();
    EXPECT_EQ(rec.take(), calls{"glDeleteTextures(1, ptr)"});
    frame_hooks.delete_textures();
    EXPECT_EQ(rec.take(), calls{});
    // The drained name is forgotten by the cache, so a texture that reuses it really binds.
    TEX_bind_ref(1, 0, 0, GL_TEXTURE_2D);
    EXPECT_EQ(rec.matching({"glBindTexture"}), calls{"glBindTexture(GL_TEXTURE_2D, 1)"});
    THREAD_shutdown();
}

using TexturesDeathTest = Textures;

TEST_F(TexturesDeathTest, MisuseEndsTheProgramWithItsAlert) {
    const std::string path = file("c.png", rgba_png(4, 4));
    const std::string wide = file("wide.png", rgba_png(4096, 1));
    EXPECT_DEATH((in_tmp(), tman.load_texture(tex_fail_silent, 1243, 0x42, tex_load_now, path)),
                 "Trying to bind too low or high a manual_ref! .*\nvalue: 1243");
    EXPECT_DEATH((in_tmp(), tman.load_texture(tex_fail_silent, -1, 0x42, tex_load_now, path)),
                 "Trying to bind too low or high a manual_ref! .*\nvalue: -1");
    EXPECT_DEATH((in_tmp(), tman.load_texture(tex_fail_silent, 5, 0x42, static_cast<tex_load_time>(3), path)),
                 "Trying to create an invalid texture load_time!");
    EXPECT_DEATH((in_tmp(), tman.unload_texture(1243)), "Error: dynamic textures should be released, not unloaded.");
    EXPECT_DEATH((in_tmp(), tman.bind_ref(5, 0, 0)), "Null texture - how\\? \nref=     5");
    EXPECT_DEATH((in_tmp(), tman.load_texture(tex_fail_silent, 5, 0x40, tex_load_now, path)),
                 "BAD color enum for tman");
    EXPECT_DEATH((in_tmp(), tman.load_texture(tex_fail_silent, 5, 0x200000, tex_load_now, path)),
                 "Trying to bind an invalid filter type!");
    EXPECT_DEATH((in_tmp(), tman.load_texture(tex_fail_silent, 5, 0x42, tex_load_now, wide)),
                 "greater than 2048! .*\nvalue: 4096");
    // A staged image said to be larger than the staging buffer would be read past its end.
    scratch_dx = scratch_dy = 4096;
    EXPECT_DEATH((in_tmp(), tman.load_texture(tex_fail_silent, 5, 0x42, tex_load_now, "scratch_array-huge")),
                 "greater than the hw size!");
}

TEST_F(TexturesDeathTest, AMissingArtFileWithFailModeFourQuits) {
    EXPECT_EXIT((in_tmp(), tman.load_texture(tex_fail_quit, 363, 0x48242, tex_load_now, tmp / "map.png")),
                ::testing::ExitedWithCode(0), "Trying to load a texture that you do not have!");
}

}  // namespace
