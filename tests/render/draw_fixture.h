#pragma once
// What the drawing tests share: a recorded GL with the state cache primed, the texture manager
// holding the widget atlas (359) and the bottom-bar art (362) at their real sizes, the degree
// tables, clean palette modifiers and panel record, and a parser for the recorded calls.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/app_globals.h"
#include "core/mouse_record.h"
#include "core/shared_constants.h"
#include "platform/bundle.h"
#include "render/gl_recorder.h"
#include "render/ogl_extensions.h"
#include "render/ogl_state.h"
#include "render/palette.h"
#include "render/renderer_options.h"
#include "render/tex_bind.h"
#include "render/tex_obj.h"
#include "render/tex_scratch.h"
#include "render/tman.h"
#include "render/ogl_draw.h"
#include "render/panel_record.h"

namespace drawtest {

using calls = std::vector<std::string>;

// One recorded call split into its name and arguments; numbers parse as numbers, anything else
// (enum names, "ptr") is kept in text.
struct gl_call {
    std::string name;
    std::vector<std::string> text;
    std::vector<double> num;   // NaN where the argument is not a number
};

inline gl_call parse(const std::string& s) {
    gl_call c;
    const std::size_t open = s.find('(');
    c.name = s.substr(0, open);
    const std::string inner = s.substr(open + 1, s.size() - open - 2);
    std::size_t at = 0;
    while (at < inner.size()) {
        std::size_t comma = inner.find(", ", at);
        if (comma == std::string::npos) comma = inner.size();
        const std::string arg = inner.substr(at, comma - at);
        char* end = nullptr;
        const double v = std::strtod(arg.c_str(), &end);
        c.text.push_back(arg);
        c.num.push_back(end && *end == '\0' && !arg.empty() ? v : std::nan(""));
        at = comma + 2;
    }
    return c;
}

inline std::vector<gl_call> parse_all(const calls& made) {
    std::vector<gl_call> out;
    for (const std::string& s : made) out.push_back(parse(s));
    return out;
}

// Quads as the drawing functions send them: per corner a texture coordinate then a vertex.
struct corner {
    double s, t, x, y;
};
inline std::vector<corner> corners(const std::vector<gl_call>& cs) {
    std::vector<corner> out;
    double s = 0, t = 0;
    for (const gl_call& c : cs) {
        if (c.name == "glTexCoord2f") {
            s = c.num[0];
            t = c.num[1];
        } else if (c.name == "glVertex2f") {
            out.push_back({s, t, c.num[0], c.num[1]});
        }
    }
    return out;
}

// The files a test needs as "RESOURCE:" names, linked from the built bundle next to the test
// program (whose own folder stands in for a bundle).
inline void link_bundle_resources(const std::vector<std::string>& names) {
    const std::string from = std::string(VENTARO_TEST_BUNDLE) + "/Contents/Resources/";
    const std::string to = platform::bundle_path() + "/Contents/Resources/";
    ::mkdir((platform::bundle_path() + "/Contents").c_str(), 0755);
    ::mkdir(to.c_str(), 0755);
    for (const std::string& n : names) {
        struct stat st {};
        if (::lstat((to + n).c_str(), &st) == 0) continue;
        // Another test program may have made it meanwhile.
        if (::symlink((from + n).c_str(), (to + n).c_str()) != 0) {
            ASSERT_EQ(errno, EEXIST) << n;
        }
    }
}

// The quads of each GL_QUADS batch, in order.
inline std::vector<std::vector<corner>> quad_batches(const calls& made) {
    std::vector<std::vector<corner>> out;
    for (std::size_t i = 0; i < made.size(); ++i) {
        if (made[i] != "glBegin(GL_QUADS)") continue;
        std::vector<gl_call> inside;
        for (++i; i < made.size() && made[i] != "glEnd()"; ++i) inside.push_back(parse(made[i]));
        out.push_back(corners(inside));
    }
    return out;
}

// The calls hold every batch (glBegin .. glEnd) of what was drawn on its own, each unbroken: a
// text drawn at the same place, for one.
inline bool holds_batches(const calls& made, const calls& drawn) {
    int batches = 0;
    for (auto begin = drawn.begin();; ++batches) {
        begin = std::find(begin, drawn.end(), "glBegin(GL_QUADS)");
        if (begin == drawn.end()) return batches > 0;
        const auto end = std::find(begin, drawn.end(), "glEnd()");
        if (end == drawn.end()) return false;
        if (std::search(made.begin(), made.end(), begin, end + 1) == made.end()) return false;
        begin = end;
    }
}

inline void fill_degree_tables() {
    for (int i = 0; i <= 360; ++i) {
        lookup_sin[i] = std::sin(static_cast<float>(i) * degtorad);
        lookup_cos[i] = std::cos(static_cast<float>(i) * degtorad);
    }
}

class RecordedDraw : public ::testing::Test {
protected:
    void SetUp() override {
        glExt = OGL_extensions{};
        glExt.max_tex_size = 4096;
        reno = reno_class{};
        reno.tex_units = reno.ff_tex_units = 4;
        reno.tex_res = 5;
        wins = wins_class{};
        wins.win_px_w = 800;
        wins.win_px_h = 600;
        wins.panel_w = 800;
        wins.panel_h = 600;
        mnw = mnw_record{};
        mnw.lang = 0;
        colr.fade = 0;
        colr.mono = 0;
        for (float& b : colr.bright) b = 1.0f;
        ren.alpha = 1.0f;
        fill_degree_tables();

        gl_recorder_install(&rec);
        OGL_setstate_forget_for_test();
        TEX_reset_bind();
        scratch_array = TEX_scratch_aligned_start();
        tman.TEX_init();
        load_art(tex_ref_interface, 512, 512);
        load_art(tex_ref_elements, 1024, 128);
        // Primed: untextured blending, as after any 2-D primitive.
        OGL_setstate(1, 0, 1, 1, 1, 1);
        rec.take();
    }
    void TearDown() override {
        gl_recorder_install(nullptr);
        OGL_setstate_forget_for_test();
        TEX_reset_bind();
        wins = wins_class{};
        colr.fade = 0;
        colr.mono = 0;
        ren.alpha = 1.0f;
    }

    static void load_art(int ref, int w, int h) {
        std::memset(scratch_array, 0x80, static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4);
        scratch_dx = w;
        scratch_dy = h;
        tman.load_texture(tex_fail_quit, ref, 0x40402, tex_load_now, "scratch_array-test art");
    }
    // The OpenGL name the ref's texture was given.
    static unsigned gl_name(int ref) { return tman.get_known_obj(ref)->gl_id.load(); }

    gl_recorder rec;
};

}  // namespace drawtest
