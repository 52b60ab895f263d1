// Shader programs against a recorded GL: the generated lines before every stage, include
// expansion, the build's calls, binding through the record and the stack, conditional variants,
// the logs, and what a missing file or a failed build does.
#include "render/ogl_shader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/shell_services.h"
#include "core/stats.h"
#include "files/xmap.h"
#include "recorded_gl.h"
#include "support/temp_dir.h"

namespace {

using calls = std::vector<std::string>;
using testsupport::read_file;
using testsupport::write_file;

const std::string kDefines = "#define APL 1\n#define IBM 0\n#define LIN 0\n#define LIMITED 0\n#define HAS_GSHADER 0\n";
const std::string kVertexHead = "#define VSHADER 1\n#define GSHADER 0\n#define FSHADER 0\n";
const std::string kFragmentHead =
    "#define texture2DGradARB(a,b,c,d) texture2D(a,b)\n#define VSHADER 0\n#define GSHADER 0\n#define FSHADER 1\n";

class Shaders : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(xer.open(tmp / "log.txt"));
        glExt = OGL_extensions{};
        glExt.glsl_avail = glExt.shad_objs_avail = 1;
        gl_recorder_install(&rec);
        recgl::load_ext_slots();
        OGL_shader_set_folder_for_test(tmp.path());
        source("v.glsl", "void main() {}\n");
        source("f.glsl", "void main() { gl_FragColor = vec4(1.0); }\n");
    }
    void TearDown() override {
        OGL_shader::unbind_shaders();
        OGL_shader::stack.clear();
        gl_recorder_install(nullptr);
        OGL_shader_set_folder_for_test("");
        g_shell = shell_services{};
        xer.close();
    }
    void source(const std::string& name, const std::string& text) { write_file(tmp / ("Resources/shaders/" + name), text); }
    std::string log_text() { return xer.contents_for_test(); }

    testsupport::temp_dir tmp;
    gl_recorder rec;
};

TEST_F(Shaders, ABuildCompilesEachStageBehindItsGeneratedLinesAndLinks) {
    rec.next_name = 1;
    rec.locations = {{"a_pos", 5}, {"a_uv", 6}, {"u_tex", 3}};
    const char* uniforms[] = {"u_tex", "u_missing", nullptr};
    const char* attribs[] = {"a_pos", "a_uv", nullptr};
    OGL_shader s("v.glsl", nullptr, "f.glsl", nullptr, uniforms, attribs);
    EXPECT_EQ(s.vert_path, "Resources//shaders/v.glsl");
    EXPECT_EQ(s.geom_path, "");
    EXPECT_EQ(rec.take(), (calls{"glCreateProgramObjectARB()",
                                 "glCreateShaderObjectARB(GL_VERTEX_SHADER_ARB)",
                                 "glShaderSourceARB(2, 4, ptr, ptr)",
                                 "glCompileShaderARB(2)",
                                 "glGetObjectParameterivARB(2, GL_OBJECT_COMPILE_STATUS_ARB, ptr)",
                                 "glAttachObjectARB(1, 2)",
                                 "glCreateShaderObjectARB(GL_FRAGMENT_SHADER_ARB)",
                                 "glShaderSourceARB(3, 4, ptr, ptr)",
                                 "glCompileShaderARB(3)",
                                 "glGetObjectParameterivARB(3, GL_OBJECT_COMPILE_STATUS_ARB, ptr)",
                                 "glAttachObjectARB(1, 3)",
                                 "glBindAttribLocationARB(1, 5, ptr)",
                                 "glBindAttribLocationARB(1, 6, ptr)",
                                 "glLinkProgramARB(1)",
                                 "glGetObjectParameterivARB(1, GL_OBJECT_LINK_STATUS_ARB, ptr)",
                                 "glGetAttribLocationARB(1, ptr)",
                                 "glGetAttribLocationARB(1, ptr)",
                                 "glGetUniformLocationARB(1, ptr)",
                                 "glGetUniformLocationARB(1, ptr)"}));
    EXPECT_EQ(rec.shader_sources,
              (std::vector<std::string>{kVertexHead + kDefines + "// no prefix\n" + "void main() {}\n",
                                        kFragmentHead + kDefines + "// no prefix\n" +
                                            "void main() { gl_FragColor = vec4(1.0); }\n"}));
    EXPECT_EQ(s.get_attribute_loc(0), 5);
    EXPECT_EQ(s.get_attribute_loc(1), 6);
    EXPECT_EQ(s.get_uniform_loc(0), 3);
    EXPECT_EQ(s.get_uniform_loc(1), -1);
    EXPECT_THROW(s.get_uniform_loc(2), std::out_of_range);
    EXPECT_THROW(s.get_attribute_loc(-1), std::out_of_range);
    EXPECT_EQ(OGL_shader::shaders.count(&s), 1u);

    // A rebuild replaces the stage objects but keeps the program and forgets the uniform values.
    s.uniform_cache[0].kind = 1;
    s.reload(1);
    EXPECT_EQ(s.uniform_cache[0].kind, 0);
    const calls again = rec.take();
    EXPECT_EQ(calls(again.begin(), again.begin() + 3),
              (calls{"glDetachObjectARB(1, 2)", "glDeleteObjectARB(2)", "glCreateShaderObjectARB(GL_VERTEX_SHADER_ARB)"}));
    EXPECT_EQ(s.gl_id, 1u);
}

TEST_F(Shaders, TheGeneratedLinesFollowTheCapabilities) {
    source("g.glsl", "// geometry\n");
    struct caps_case {
        const char* name;
        int glsl_version, shad_lod, limited;
        const char* geometry;
        std::vector<std::string> heads;   // vertex, [geometry,] fragment: the stage lines and defines
    };
    const std::string geometry_head = "#version 120\n#extension GL_EXT_geometry_shader4 : enable\n"
                                      "#extension GL_EXT_bindable_uniform : enable\n"
                                      "#define VSHADER 0\n#define GSHADER 1\n#define FSHADER 0\n";
    const std::string with_geometry =
        "#define APL 1\n#define IBM 0\n#define LIN 0\n#define LIMITED 0\n#define HAS_GSHADER 1\n";
    const caps_case cases[] = {
        {"GLSL 1.10: no version line", 110, 0, 0, nullptr, {kVertexHead + kDefines, kFragmentHead + kDefines}},
        {"GLSL 1.20",
         120,
         0,
         0,
         nullptr,
         {"#version 120\n" + kVertexHead + kDefines, "#version 120\n" + kFragmentHead + kDefines}},
        {"texture LOD available",
         110,
         1,
         0,
         nullptr,
         {kVertexHead + kDefines,
          "#extension GL_ARB_shader_texture_lod : enable\n#define VSHADER 0\n#define GSHADER 0\n#define FSHADER 1\n" +
              kDefines}},
        {"first-generation shaders",
         110,
         0,
         1,
         nullptr,
         {kVertexHead + "#define APL 1\n#define IBM 0\n#define LIN 0\n#define LIMITED 1\n#define HAS_GSHADER 0\n",
          kFragmentHead + "#define APL 1\n#define IBM 0\n#define LIN 0\n#define LIMITED 1\n#define HAS_GSHADER 0\n"}},
        {"a geometry stage keeps its version line",
         110,
         0,
         0,
         "g.glsl",
         {kVertexHead + with_geometry, geometry_head + with_geometry, kFragmentHead + with_geometry}},
    };
    for (const caps_case& c : cases) {
        glExt.glsl_version = c.glsl_version;
        glExt.shad_lod_avail = c.shad_lod;
        glExt.first_gen_shaders = c.limited;
        rec.shader_sources.clear();
        OGL_shader s("v.glsl", c.geometry, "f.glsl", "#define P 1\n", nullptr, nullptr);
        ASSERT_EQ(rec.shader_sources.size(), c.heads.size()) << c.name;
        for (std::size_t i = 0; i < c.heads.size(); ++i)
            EXPECT_EQ(rec.shader_sources[i].substr(0, c.heads[i].size() + 12), c.heads[i] + "#define P 1\n")
                << c.name << " stage " << i;
        calls params;
        for (const std::string& m : rec.take())
            if (m.rfind("glProgramParameteriEXT", 0) == 0) params.push_back(m);
        const std::string p = "glProgramParameteriEXT(" + std::to_string(s.gl_id) + ", ";
        const calls want = c.geometry ? calls{p + "GL_GEOMETRY_VERTICES_OUT_EXT, 3)", p + "GL_GEOMETRY_INPUT_TYPE_EXT, 4)",
                                              p + "GL_GEOMETRY_OUTPUT_TYPE_EXT, 5)"}
                                      : calls{};
        EXPECT_EQ(params, want) << c.name;
    }
}

TEST_F(Shaders, IncludesExpandTenDeepAndBrokenOnesStayInTheText) {
    source("lib.glsl", "float lib;\n#include \"inner.glsl\"\n");
    source("inner.glsl", "float inner;");
    source("self.glsl", "x\n#include \"self.glsl\"\n");
    struct include_case {
        const char* name;
        std::string text;
        std::string want;
        std::string logged;
    };
    std::string ten_deep;
    for (int i = 0; i < 10; ++i) ten_deep += "x\n";
    ten_deep += "#include \"self.glsl\"\n";
    for (int i = 0; i < 10; ++i) ten_deep += "\n";
    const include_case cases[] = {
        {"nested", "a\n#include \"lib.glsl\"\nb\n", "a\nfloat lib;\nfloat inner;\n\nb\n", ""},
        {"a missing file stays and the search goes on",
         "#include \"gone.glsl\"\n#include \"inner.glsl\"",
         "#include \"gone.glsl\"\nfloat inner;",
         ""},
        {"no closing quote", "#include \"inner.glsl\"\n#include \"open", "float inner;\n#include \"open",
         "Aborted #include directive because there was no closign quote.\n"},
        {"a file that includes itself", "#include \"self.glsl\"\n", ten_deep,
         "Aborted #include directive because self.glsl is part of an include-infinite loop, or at least too many "
         "includes.\n"},
    };
    for (const include_case& c : cases) {
        source("top.glsl", c.text);
        const std::string before = log_text();
        xmap_class file(tmp / "Resources/shaders/top.glsl");
        std::string out;
        do_glsl_substitutions(file, out, 10);
        EXPECT_EQ(out, c.want) << c.name;
        EXPECT_EQ(log_text().substr(before.size()), c.logged) << c.name;
    }
}

TEST_F(Shaders, BindingGoesThroughTheRecordAndTheStack) {
    OGL_shader a("v.glsl", "", "f.glsl", "", nullptr, nullptr);
    OGL_shader b("v.glsl", "", "f.glsl", "", nullptr, nullptr);
    rec.take();
    a.bind();
    a.bind();
    EXPECT_EQ(rec.take(), calls{"glUseProgramObjectARB(" + std::to_string(a.gl_id) + ")"});
    OGL_shader::unbind_shaders();
    OGL_shader::unbind_shaders();
    EXPECT_EQ(rec.take(), calls{"glUseProgramObjectARB(0)"});
    EXPECT_EQ(OGL_shader::current_shader, nullptr);

    // Saved with nothing bound, restored to nothing bound; then a saved program comes back.
    OGL_shader::push();
    a.bind();
    OGL_shader::pop();
    EXPECT_EQ(OGL_shader::current_shader, nullptr);
    EXPECT_EQ(rec.take(), (calls{"glUseProgramObjectARB(" + std::to_string(a.gl_id) + ")", "glUseProgramObjectARB(0)"}));
    b.bind();
    OGL_shader::push();
    a.bind();
    OGL_shader::pop();
    EXPECT_EQ(OGL_shader::current_shader, &b);
    EXPECT_TRUE(OGL_shader::stack.empty());
}

TEST_F(Shaders, ConditionalVariantsAreBuiltOnFirstBindWithTheirDefines) {
    const OGL_conditional_t conds[] = {{"A", 2}, {"B", 3}, {nullptr, 0}};
    const char* uniforms[] = {"u", nullptr};
    OGL_shader_conditional family("v.glsl", nullptr, "f.glsl", uniforms, nullptr, conds, "// family\n");
    const int values[2] = {1, 2};
    EXPECT_EQ(family.id_from_flags(values), 5);
    int back[2] = {-1, -1};
    EXPECT_EQ(family.flags_from_id(5, back), 2);
    EXPECT_EQ(back[0], 1);
    EXPECT_EQ(back[1], 2);
    EXPECT_EQ(family.get_gl_id(5), 0u);   // nothing built yet
    EXPECT_EQ(family.get_uniform_loc(5, 0), -1);
    EXPECT_EQ(rec.take(), calls{});

    family.bind(5);
    ASSERT_EQ(rec.shader_sources.size(), 2u);
    EXPECT_EQ(rec.shader_sources[0], kVertexHead + kDefines + "// family\n#define A 1\n#define B 2\nvoid main() {}\n");
    const GLhandleARB id5 = family.get_gl_id(5);
    EXPECT_NE(id5, 0u);
    EXPECT_EQ(rec.matching({"glUseProgramObjectARB"}), calls{"glUseProgramObjectARB(" + std::to_string(id5) + ")"});
    rec.take();
    family.bind(5);
    EXPECT_EQ(rec.take(), calls{});
    family.bind(0);
    family.bind(5);
    EXPECT_EQ(rec.matching({"glCreateProgramObjectARB", "glUseProgramObjectARB"}),
              (calls{"glCreateProgramObjectARB()", "glUseProgramObjectARB(" + std::to_string(family.get_gl_id(0)) + ")",
                     "glUseProgramObjectARB(" + std::to_string(id5) + ")"}));
    OGL_shader::unbind_shaders();
}

TEST_F(Shaders, TheRemoteCommandRebuildsEveryProgram) {
    int id = 0;
    for (const UTL_remote_cmd* c = UTL_remote_cmd::cmd_list; c; c = c->link)
        if (std::string(c->name) == "Reload Pixel Shaders...") id = c->id;
    ASSERT_EQ(id, 1);
    OGL_shader a("v.glsl", "", "f.glsl", "", nullptr, nullptr);
    OGL_shader b("v.glsl", "", "f.glsl", "", nullptr, nullptr);
    rec.take();
    UTL_remote_cmd::invoke(nullptr, id);
    calls links = rec.matching({"glLinkProgramARB"});
    std::sort(links.begin(), links.end());
    calls want = {"glLinkProgramARB(" + std::to_string(a.gl_id) + ")", "glLinkProgramARB(" + std::to_string(b.gl_id) + ")"};
    std::sort(want.begin(), want.end());
    EXPECT_EQ(links, want);
}

TEST_F(Shaders, TheLogShowsFailedObjectsAndDumpsTheSources) {
    rec.object_params[GL_OBJECT_INFO_LOG_LENGTH_ARB] = 0;
    log_shader_obj("title.glsl", "#define X 1\n", 9);
    EXPECT_EQ(log_text(), "=====title.glsl=====\n   (prefix:\n#define X 1\nend prefix)\n\n");

    OGL_shader s("v.glsl", nullptr, "f.glsl", nullptr, nullptr, nullptr);
    rec.object_params[GL_OBJECT_SHADER_SOURCE_LENGTH_ARB] = 0;
    const std::string before = log_text();
    s.dump();
    EXPECT_EQ(log_text().substr(before.size()),
              "SHADER SOURCE FOR VERTEX SHADER: Resources//shaders/v.glsl\n\nSHADER SOURCE FOR FRAGMENT SHADER: "
              "Resources//shaders/f.glsl\n\n");
}

int g_warnings = 0;
testsupport::temp_dir* g_folder = nullptr;
gl_recorder* g_rec = nullptr;
// The second warning's dismissal comes after the file was mended.
void dismiss_and_mend(const std::string& a, const std::string&) {
    if (a.rfind("There was a problem processing a GLSL pixel shader.", 0) != 0) return;
    if (++g_warnings == 2) {
        write_file(*g_folder / "Resources/shaders/f.glsl", "// mended\n");
        g_rec->object_params[GL_OBJECT_COMPILE_STATUS_ARB] = 1;
    }
}

TEST_F(Shaders, AFailedRebuildWarnsAndTriesAgainUntilTheFileIsMended) {
    OGL_shader s("v.glsl", nullptr, "f.glsl", nullptr, nullptr, nullptr);
    rec.object_params[GL_OBJECT_COMPILE_STATUS_ARB] = 0;
    g_warnings = 0;
    g_folder = &tmp;
    g_rec = &rec;
    g_shell.native_box = &dismiss_and_mend;
    rec.shader_sources.clear();
    OGL_shader::reload_all_shaders(1);
    EXPECT_EQ(g_warnings, 2);
    ASSERT_EQ(rec.shader_sources.size(), 6u);   // three passes of two stages
    EXPECT_EQ(rec.shader_sources.back().substr(rec.shader_sources.back().size() - 10), "// mended\n");
    EXPECT_NE(log_text().find("=====Resources//shaders/v.glsl=====\n"), std::string::npos);
}

void build_from(const std::string& folder, const char* vert, int compiles) {
    if (::chdir(folder.c_str()) != 0) std::abort();
    static gl_recorder rec;
    rec.object_params[GL_OBJECT_COMPILE_STATUS_ARB] = compiles;
    gl_recorder_install(&rec);
    recgl::load_ext_slots();
    OGL_shader s(vert, nullptr, "f.glsl", nullptr, nullptr, nullptr);
}

TEST_F(Shaders, AMissingSourceOrAFailedFirstBuildQuits) {
    // Forked where it stands, so the crash's files land in this test's folder, which goes with it.
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(build_from(tmp.path(), "nope.glsl", 1), ::testing::ExitedWithCode(0),
                "We were unable to load the shader file: Resources//shaders/nope.glsl\n Re-run the Ventaro "
                "installer/updater to correct this problem.");
    EXPECT_EXIT(build_from(tmp.path(), "v.glsl", 0), ::testing::ExitedWithCode(0),
                "There was a problem processing a GLSL pixel shader. You may need to rerun the installer or update "
                "your graphics drivers.\nResources//shaders/v.glsl Resources//shaders/f.glsl");
    GTEST_FLAG_SET(death_test_style, "threadsafe");
}

}  // namespace
