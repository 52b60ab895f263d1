// Capability detection against a recorded stand-in GL library: flags, the gating of the entry
// point groups, workarounds, switches and the log block.
#include <gtest/gtest.h>

#include "core/cmdline.h"
#include "core/log.h"
#include "core/thread_layer.h"
#include "render/gl_recorder.h"
#include "render/ogl_extensions.h"
#include "render/renderer_options.h"
#include "support/temp_dir.h"

namespace {

class Capabilities : public ::testing::Test {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "fast");
        ASSERT_TRUE(xer.open(tmp / "log.txt"));
        xer.setf(std::ios_base::fixed, std::ios_base::floatfield);   // as start-up sets it
        glExt = OGL_extensions{};
        reno = reno_class{};
        rec.strings[GL_VENDOR] = "Fake Vendor";
        rec.strings[GL_RENDERER] = "Fake Renderer";
        rec.integers[GL_MAX_TEXTURE_SIZE] = {4096};
        rec.integers[GL_MAX_TEXTURE_UNITS] = {4};
        rec.floats[GL_POINT_SIZE_RANGE] = {1, 64};
        gl_recorder_install(&rec);
        args({});
    }
    void TearDown() override {
        gl_recorder_install(nullptr);
        OGL_set_system_version_for_test(nullptr);
        xer.close();
    }
    void args(std::vector<const char*> extra) {
        extra.insert(extra.begin(), "program");
        cmdline = UTL_cmdline();
        cmdline.init_unix(static_cast<int>(extra.size()), extra.data());
    }
    std::string detect(const char* version, const char* extensions) {
        if (version) rec.strings[GL_VERSION] = version;
        if (extensions) rec.strings[GL_EXTENSIONS] = extensions;
        const std::string before = xer.contents_for_test();
        glExt.init_extensions();
        return xer.contents_for_test().substr(before.size());
    }

    testsupport::temp_dir tmp;
    gl_recorder rec;
};

TEST_F(Capabilities, VersionNumbers) {
    const struct {
        const char* text;
        int v;
    } cases[] = {{"2.1 NVIDIA-1.6.18", 210}, {"4.5 (Compatibility Profile) Mesa 22.3.6", 450}, {"1.4", 140},
                 {"2.0", 200}, {"1.5.x", 150}, {"banana", 100}, {"", 100}, {nullptr, 100}};
    for (const auto& c : cases) EXPECT_EQ(OGL_version_number(c.text), c.v) << (c.text ? c.text : "null");
}

TEST_F(Capabilities, VersionAndExtensionsDecideTheFlags) {
    detect("2.1 Fake", "GL_EXT_texture_filter_anisotropic");
    EXPECT_EQ(glExt.pbo_avail, 1);        // by version alone
    EXPECT_EQ(glExt.shad_lod_avail, 0);   // needs an extension below 3.0
    EXPECT_EQ(glExt.aniso_avail, 1);
    EXPECT_EQ(glExt.threaded_avail, 0);
    EXPECT_EQ(glExt.max_tex_size, 4096);

    glExt = OGL_extensions{};
    detect("1.4 Fake", "");
    EXPECT_EQ(glExt.sblend_avail, 1);
    EXPECT_EQ(glExt.vbo_avail, 0);
    EXPECT_EQ(glExt.glsl_avail, 0);
}

TEST_F(Capabilities, EntryPointGroupsLoadOnlyWhileTheirFlagIsSet) {
    detect("1.3 Fake", "GL_ARB_vertex_buffer_object GL_EXT_blend_func_separate GL_ARB_multitexture");
    EXPECT_NE(glExt.glBindBufferARB, nullptr);
    EXPECT_EQ(glExt.glGenBuffersARB, &MY_glGenBuffers);
    EXPECT_EQ(glExt.glDeleteBuffersARB, &MY_glDeleteBuffers);
    EXPECT_NE(glExt.glBlendFuncSeparateEXT, nullptr);
    EXPECT_NE(glExt.glCompressedTexImage2DARB, nullptr);   // 1.3 has texture compression
    EXPECT_EQ(glExt.glBindFramebufferEXT, nullptr);         // no framebuffer objects
    EXPECT_EQ(glExt.glUseProgramObjectARB, nullptr);
    EXPECT_EQ(glExt.glDrawBuffersARB, nullptr);

    // A cleared flag leaves what was loaded; buffer names go through the lock to the core call.
    rec.take();
    GLuint names[2] = {0, 0};
    glExt.glGenBuffersARB(2, names);
    glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, names[1]);
    EXPECT_EQ(rec.take(), (std::vector<std::string>{"glGenBuffers(2, ptr)",
                                                    "glBindBufferARB(GL_ARRAY_BUFFER_ARB, " +
                                                        std::to_string(names[1]) + ")"}));
}

TEST_F(Capabilities, AMissingEntryPointSwitchesItsFeatureOff) {
    rec.missing = {"glMapBufferARB", "glMapBuffer"};
    const std::string log = detect("1.4 Fake", "GL_ARB_vertex_buffer_object GL_ARB_pixel_buffer_object");
    EXPECT_EQ(glExt.vbo_avail, 0);
    EXPECT_EQ(glExt.pbo_avail, 0);
    EXPECT_NE(glExt.glUnmapBufferARB, nullptr);   // the rest of the group is still looked up
    EXPECT_NE(log.find("WARNING: extension missing proc glMapBufferARB.  This is a problem with your video "
                       "driver.\nDisabling PBOs because VBOs are not available.  This probably means that VBOs are "
                       "disabled for compatibility reasons.\n"),
              std::string::npos)
        << log;

    // A name missing with its suffix falls back to the core function.
    rec.missing = {"glGenBuffersARB"};
    EXPECT_NE(glGetProcAddress("glGenBuffersARB"), nullptr);
    rec.missing = {"glGenBuffersARB", "glGenBuffers"};
    EXPECT_EQ(glGetProcAddress("glGenBuffersARB"), nullptr);
}

TEST_F(Capabilities, DependenciesWorkaroundsAndSwitches) {
    const int tiger = 0x1048;
    OGL_set_system_version_for_test(&tiger);
    rec.strings[GL_RENDERER] = "Intel GMA 950 OpenGL Engine";
    std::string log = detect("2.0 Fake", "GL_EXT_framebuffer_object");
    EXPECT_EQ(glExt.glsl_avail, 0);
    EXPECT_EQ(glExt.framebuf_avail, 0);
    EXPECT_NE(log.find("Disabling GLSL for GMA 950.\nDisabling FBOs for GMA 950.\n"), std::string::npos) << log;

    glExt = OGL_extensions{};
    args({"--no_workaround", "--no_glsl", "--num_units=3"});
    log = detect(nullptr, nullptr);
    EXPECT_EQ(log.find("Disabling"), std::string::npos);
    EXPECT_EQ(glExt.framebuf_avail, 1);
    EXPECT_EQ(glExt.glsl_avail, 0);      // the switch acts after the dependencies...
    EXPECT_EQ(glExt.vshader_avail, 1);   // ...so the shader flags keep their values
    EXPECT_EQ(reno.tex_units, 3);

    // Without a readable system version, the version-bound workarounds are skipped.
    glExt = OGL_extensions{};
    args({});
    const int unknown = -1;
    OGL_set_system_version_for_test(&unknown);
    log = detect(nullptr, nullptr);
    EXPECT_EQ(glExt.framebuf_avail, 1);
    EXPECT_EQ(glExt.glsl_avail, 0);
}

TEST_F(Capabilities, TheLogBlock) {
    rec.strings[GL_SHADING_LANGUAGE_VERSION] = "1.20 Fake";
    rec.integers[GL_MAX_VERTEX_ATTRIBS_ARB] = {16};
    rec.integers[GL_MAX_FRAGMENT_UNIFORM_COMPONENTS_ARB] = {512};
    rec.integers[GL_MAX_TEXTURE_IMAGE_UNITS_ARB] = {16};
    rec.program_limits[GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB] = 64;
    const std::string log =
        detect("2.1 Fake", "GL_ARB_vertex_program GL_ARB_fragment_program GL_EXT_texture_filter_anisotropic");
    const std::string expected_start =
        "OpenGL Vendor    : Fake Vendor\nOpenGL Render    : Fake Renderer\nOpenGL Version   : 2.1 Fake (210)\n"
        "OpenGL Extensions: GL_ARB_vertex_program GL_ARB_fragment_program GL_EXT_texture_filter_anisotropic\n"
        "threaded_avail   : 0\ntex_clamp_avail  : 1\n";
    EXPECT_EQ(log.rfind(expected_start, 0), 0u) << log;
    for (const char* line :
         {"\nsblend_avail     : 1/1\n", "\nvprog_avail      : 1 (64)\n", "\nfprog_avail      : 1 (64/0/0/0)\n",
          "\nvshader_avail    : 1 (16/0/0/0/0/512)\n", "\nfshader_avail    : 1 (512)\n",
          "\nglsl_avail       : 1 (1.20 Fake/120)\n", "\nfirst-gen shaders: 1\n",
          "\nmax tex units    : 4 (16/0)\n", "\nmax iso filtering: 0.000000\n",
          "\nmax texture size : 4096 (hardware limit)\n", "\nmax point size   : 64.000000\n",
          "\nidx in vram      : 1\nuse_vsync1       : 0\nuse_vsync2       : 0\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
}

TEST_F(Capabilities, NullStringsReadAsEmpty) {
    rec.strings.erase(GL_VENDOR);
    rec.strings.erase(GL_RENDERER);
    const std::string log = detect("2.1 Fake", nullptr);
    EXPECT_NE(log.find("OpenGL Vendor    : \nOpenGL Render    : \n"), std::string::npos) << log;
    rec.strings.erase(GL_EXTENSIONS);
    glExt = OGL_extensions{};
    detect(nullptr, nullptr);
    EXPECT_EQ(glExt.aniso_avail, 0);
}

TEST_F(Capabilities, HardwareBelowTheMinimumEndsTheProgram) {
    const struct {
        const char* renderer;
        const char* version;
        const char* extensions;
        const char* first_line;
    } cases[] = {
        {"GDI Generic", "1.1", "", "Your card must at least support OpenGL 1.4 or higher."},
        {"GDI Generic", "1.1", "GL_EXT_blend_func_separate GL_ARB_multitexture",
         "You do not have OpenGL drivers installed!"},
        {"Old Card", "1.3", "", "Your card must at least support OpenGL 1.4 or higher."},
        {"Older Card", "1.2", "GL_EXT_blend_func_separate", "requires a graphics card with 16 MB of VRAM"},
    };
    for (const auto& c : cases) {
        rec.strings[GL_RENDERER] = c.renderer;
        args({"--qa_script"});
        EXPECT_EXIT(detect(c.version, c.extensions), ::testing::ExitedWithCode(1), "") << c.renderer;
        const std::string log = testsupport::read_file(tmp / "log.txt");
        EXPECT_NE(log.find(c.first_line), std::string::npos) << c.renderer;
        ASSERT_TRUE(xer.open(tmp / "log.txt"));
    }
    // --force_run only warns; llvmpipe is no old software renderer and raises nothing.
    rec.strings[GL_RENDERER] = "GDI Generic";
    args({"--qa_script", "--force_run"});
    const std::string log = detect("1.1", "");
    EXPECT_NE(log.find("You have used the force-run command inline option"), std::string::npos);
    rec.strings[GL_RENDERER] = "llvmpipe (LLVM 15.0.6, 256 bits)";
    args({"--qa_script"});
    const std::string quiet = detect("4.5 Mesa", "");
    EXPECT_EQ(quiet.find("3-D accelerator"), std::string::npos);
    rec.strings[GL_RENDERER] = "Mesa GLX Indirect";
    EXPECT_NE(detect("4.5 Mesa", "").find("I can not find a 3-D accelerator card"), std::string::npos);
}

TEST_F(Capabilities, TokenNames) {
    EXPECT_EQ(OGL_get_token_name(GL_RGBA8), "GL_RGBA8");
    EXPECT_EQ(OGL_get_token_name(GL_FRAMEBUFFER_UNSUPPORTED_EXT), "GL_FRAMEBUFFER_UNSUPPORTED_EXT");
    EXPECT_EQ(OGL_get_token_name(GL_TRIANGLE_FAN), "GL_TRIANGLE_FAN");
    EXPECT_EQ(OGL_get_token_name(0xABCDEF), "0x00abcdef");
}

// Workers ask for contexts of their own while threaded OpenGL is on; without a window none can be
// made, so the first worker turns it off with one warning and the rest go without.
TEST_F(Capabilities, AWorkerWithoutAContextTurnsThreadedOpenGLOff) {
    glExt.threaded_avail = 1;
    args({"--num_workers=2"});
    THREAD_init();
    THREAD_make_workers();
    EXPECT_EQ(glExt.threaded_avail, 0);
    THREAD_shutdown();
    args({});
    xer.flush();
    const std::string log = testsupport::read_file(tmp / "log.txt");
    const auto warn = log.find("There was a problem setting up OpenGL.");
    ASSERT_NE(warn, std::string::npos);
    EXPECT_EQ(log.find("There was a problem setting up OpenGL.", warn + 1), std::string::npos);
}

}  // namespace
