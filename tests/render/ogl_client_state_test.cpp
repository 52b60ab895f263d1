// The client-array cache against a recorded GL: only changed arrays are switched, units past the
// renderer's count are remembered but never switched, and client unit 0 is selected at the end.
#include "render/ogl_client_state.h"

#include <gtest/gtest.h>

#include "render/gl_recorder.h"
#include "render/renderer_options.h"

namespace {

using calls = std::vector<std::string>;

class ClientArrays : public ::testing::Test {
protected:
    void SetUp() override {
        reno = reno_class{};
        reno.tex_units = 4;
        OGL_setclientstate_forget_for_test();
        gl_recorder_install(&rec);
    }
    void TearDown() override {
        gl_recorder_install(nullptr);
        OGL_setclientstate_forget_for_test();
    }
    gl_recorder rec;
};

TEST_F(ClientArrays, OnlyChangesAreSwitched) {
    const std::string unit0 = "glClientActiveTexture(GL_TEXTURE0)";
    const struct {
        const char* name;
        ogl_nrm_mode normals;
        ogl_col_mode colors;
        unsigned char units;
        calls want;
    } steps[] = {
        {"normals alone", ogl_nrm_on, ogl_col_off, 0, {"glEnableClientState(GL_NORMAL_ARRAY)", unit0}},
        {"the same again", ogl_nrm_on, ogl_col_off, 0, {unit0}},
        {"colours and unit 0 for normals",
         ogl_nrm_off,
         ogl_col_on,
         1,
         {"glEnableClientState(GL_COLOR_ARRAY)", "glDisableClientState(GL_NORMAL_ARRAY)",
          "glEnableClientState(GL_TEXTURE_COORD_ARRAY)", unit0}},
        {"unit 2 on", ogl_nrm_off, ogl_col_on, 1 | 4,
         {"glClientActiveTexture(GL_TEXTURE2)", "glEnableClientState(GL_TEXTURE_COORD_ARRAY)", unit0}},
        {"unit 2 dropped, unit 3 added",
         ogl_nrm_off,
         ogl_col_on,
         1 | 8,
         {"glClientActiveTexture(GL_TEXTURE2)", "glDisableClientState(GL_TEXTURE_COORD_ARRAY)",
          "glClientActiveTexture(GL_TEXTURE3)", "glEnableClientState(GL_TEXTURE_COORD_ARRAY)", unit0}},
        {"unit 5 of 4 is only remembered", ogl_nrm_off, ogl_col_on, 1 | 8 | 32, {unit0}},
        {"and dropping it switches nothing", ogl_nrm_off, ogl_col_on, 1 | 8, {unit0}},
        {"everything off",
         ogl_nrm_off,
         ogl_col_off,
         0,
         {"glDisableClientState(GL_COLOR_ARRAY)", "glDisableClientState(GL_TEXTURE_COORD_ARRAY)",
          "glClientActiveTexture(GL_TEXTURE3)", "glDisableClientState(GL_TEXTURE_COORD_ARRAY)", unit0}},
    };
    for (const auto& s : steps) {
        OGL_setclientstate(s.normals, s.colors, s.units);
        EXPECT_EQ(rec.take(), s.want) << s.name;
    }
}

}  // namespace
