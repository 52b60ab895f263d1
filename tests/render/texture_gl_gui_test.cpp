// Textures on a real OpenGL context (SDL's offscreen driver, Mesa): what reaches the GPU and the
// screen, the grey placeholder for a damaged file, the alpha mask read back and uploaded again,
// and a worker thread with a shared context reloading a texture while the main thread draws it.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "core/thread_layer.h"
#include "core/thread_pool.h"
#include "image_fixtures.h"
#include "platform/gl_window.h"
#include "render/gl_api.h"
#include "render/ogl_extensions.h"
#include "render/ogl_state.h"
#include "render/renderer_options.h"
#include "render/tex_alpha_mask.h"
#include "render/tex_bind.h"
#include "render/tex_obj.h"
#include "render/tex_scratch.h"
#include "render/tman.h"
#include "shell/event_pump.h"
#include "support/temp_dir.h"

namespace {

using rgba = std::array<int, 4>;
constexpr int kSide = 64;
// RGB, nearest, full resolution, no gamma: pixels reach the GPU exactly as the file has them.
constexpr int kExactRgb = 0x80000 | 0x40000 | 0x40 | 1;

std::string flat_png(int w, int h, rgba colour) {
    imgfix::png_spec s;
    s.width = w;
    s.height = h;
    s.color_type = PNG_COLOR_TYPE_RGB_ALPHA;
    s.rows = imgfix::rows8(w, h, 4, [&](int, int, int c) { return colour[static_cast<size_t>(c)]; });
    return imgfix::make_png(s);
}

class RealTextures : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        window = platform::window_create(0, 0, kSide, kSide, false, false, 0);
        ASSERT_NE(window, nullptr) << platform::window_error();
        context = platform::context_create(window, nullptr);
        ASSERT_NE(context, nullptr) << platform::window_error();
        ASSERT_TRUE(platform::context_make_current(window, context));
        ASSERT_EQ(gl_api_load(&platform::gl_proc_address), 0);
        glExt.init_extensions();
        reno.reno_init();
        gl.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        gl.glPixelStorei(GL_PACK_ALIGNMENT, 1);
        scratch_array = TEX_scratch_aligned_start();
        tman.TEX_init();
        ready = true;
    }

    void SetUp() override { ASSERT_TRUE(ready); }

    std::string file(const std::string& name, const std::string& bytes) {
        testsupport::write_file(tmp / name, bytes);
        return tmp / name;
    }

    // The ref's texture over the whole window, unlit and unblended.
    static void draw(int ref) {
        gl.glViewport(0, 0, kSide, kSide);
        gl.glMatrixMode(GL_PROJECTION);
        gl.glLoadIdentity();
        gl.glOrtho(0, kSide, 0, kSide, -1, 1);
        gl.glMatrixMode(GL_MODELVIEW);
        gl.glLoadIdentity();
        gl.glClearColor(0, 0, 0, 1);
        gl.glClear(GL_COLOR_BUFFER_BIT);
        OGL_setstate(ogl_fog_off, 1, ogl_lit_off, ogl_al_none, ogl_deR_off, ogl_deW_off);
        tman.bind_ref(ref, 0, 0);
        gl.glColor4f(1, 1, 1, 1);
        gl.glBegin(GL_QUADS);
        gl.glTexCoord2f(0, 0);
        gl.glVertex2f(0, 0);
        gl.glTexCoord2f(1, 0);
        gl.glVertex2f(kSide, 0);
        gl.glTexCoord2f(1, 1);
        gl.glVertex2f(kSide, kSide);
        gl.glTexCoord2f(0, 1);
        gl.glVertex2f(0, kSide);
        gl.glEnd();
    }

    static rgba pixel(int x, int y) {
        unsigned char p[4] = {};
        gl.glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        return {p[0], p[1], p[2], p[3]};
    }

    static std::vector<unsigned char> read_back(int ref, int w, int h) {
        std::vector<unsigned char> out(size_t(w) * h * 4);
        TEX_reset_bind();
        tman.bind_ref(ref, 0, 0);
        gl.glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
        return out;
    }

    static inline platform::gl_window* window = nullptr;
    static inline platform::gl_context context = nullptr;
    static inline bool ready = false;
    testsupport::temp_dir tmp;
};

TEST_F(RealTextures, ADamagedFileDrawsAsTheGreyPlaceholder) {
    ASSERT_EQ(tman.load_texture(tex_fail_silent, 100, kExactRgb, tex_load_now, file("red.png", flat_png(8, 8, {255, 0, 0, 255}))), 100);
    draw(100);
    EXPECT_EQ(pixel(32, 32), (rgba{255, 0, 0, 255}));

    std::string damaged = flat_png(64, 64, {0, 0, 255, 255});
    damaged.resize(damaged.size() - 40);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(tman.load_texture(tex_fail_silent, 101, kExactRgb, tex_load_now, file("damaged.png", damaged)), 0);
    ::testing::internal::GetCapturedStderr();
    draw(101);
    EXPECT_EQ(pixel(32, 32), (rgba{130, 130, 130, 255}));
    EXPECT_EQ(tman.tex_err(101), 1);
}

TEST_F(RealTextures, PixelsReachTheTextureAndAReloadReplacesThemInPlace) {
    imgfix::png_spec s;
    s.width = 8;
    s.height = 4;
    s.color_type = PNG_COLOR_TYPE_RGB;
    s.rows = imgfix::rows8(8, 4, 3, [](int x, int y, int c) { return x * 30 + y * 5 + c; });
    const std::string path = file("ramp.png", imgfix::make_png(s));
    ASSERT_EQ(tman.load_texture(tex_fail_silent, 110, kExactRgb, tex_load_now, path), 110);
    const unsigned first_name = tman.get_known_obj(110)->gl_id;
    std::vector<unsigned char> got = read_back(110, 8, 4);
    // Rows are stored bottom-up: the file's top row is texture row 3.
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(got[size_t((3 - y) * 8 + x) * 4 + c], x * 30 + y * 5 + c) << x << "," << y << "," << c;

    file("ramp.png", flat_png(8, 4, {10, 20, 30, 255}));
    ASSERT_EQ(tman.load_texture(tex_fail_silent, 110, kExactRgb, tex_load_now, path), 110);
    EXPECT_EQ(tman.get_known_obj(110)->gl_id.load(), first_name);
    got = read_back(110, 8, 4);
    EXPECT_EQ((rgba{got[0], got[1], got[2], got[3]}), (rgba{10, 20, 30, 255}));
    EXPECT_EQ((rgba{got[124], got[125], got[126], got[127]}), (rgba{10, 20, 30, 255}));
}

TEST_F(RealTextures, AnAlphaMaskComesFromTheRedChannel) {
    imgfix::png_spec s;
    s.width = s.height = 4;
    s.color_type = PNG_COLOR_TYPE_RGB_ALPHA;
    s.rows = imgfix::rows8(4, 4, 4, [](int x, int y, int c) { return c == 0 ? x * 60 + y : c == 3 ? 255 : 99; });
    ASSERT_EQ(tman.load_texture(tex_fail_silent, 120, 0x80000 | 0x40000 | 0x40 | 2, tex_load_now,
                                file("mask.png", imgfix::make_png(s))),
              120);
    TEX_make_alpha_mask(120, 0);
    const std::vector<unsigned char> got = read_back(120, 4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const unsigned char* p = &got[size_t((3 - y) * 4 + x) * 4];
            EXPECT_EQ((rgba{p[0], p[1], p[2], p[3]}), (rgba{0, 0, 0, 255 - (x * 60 + y)})) << x << "," << y;
        }

    // Smoothing spreads one opaque pixel over its interior neighbours and leaves the border.
    s.width = s.height = 8;
    s.rows = imgfix::rows8(8, 8, 4, [](int x, int y, int c) { return c == 3 ? 255 : (x == 3 && y == 4 ? 0 : 255); });
    ASSERT_EQ(tman.load_texture(tex_fail_silent, 121, 0x80000 | 0x40000 | 0x40 | 2, tex_load_now,
                                file("dot.png", imgfix::make_png(s))),
              121);
    TEX_make_alpha_mask(121, 1);
    const std::vector<unsigned char> dot = read_back(121, 8, 8);
    auto alpha = [&](int x, int y) { return dot[size_t(y * 8 + x) * 4 + 3]; };   // y from the bottom
    EXPECT_GT(alpha(3, 3), 0);
    EXPECT_LT(alpha(3, 3), 255);
    for (int x = 2; x <= 4; ++x)
        for (int y = 2; y <= 4; ++y) EXPECT_GT(alpha(x, y), 0) << x << "," << y;
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(alpha(i, 0), 0);
        EXPECT_EQ(alpha(0, i), 0);
        EXPECT_EQ(alpha(i, 7), 0);
        EXPECT_EQ(alpha(7, i), 0);
    }
}

// Makes a context current on the pool's thread.
class adopt_context : public UTL_pool_task {
public:
    adopt_context(platform::gl_window* w, platform::gl_context c) : w_(w), c_(c) {}
    int do_it(int) override {
        ok = platform::context_make_current(w_, c_) ? 1 : 0;
        done = 1;
        return 0;
    }
    const char* get_debug_name() override { return "adopt a shared context"; }
    std::atomic<int> done{0}, ok{0};

private:
    platform::gl_window* w_;
    platform::gl_context c_;
};

TEST_F(RealTextures, AWorkerReloadsWhileTheMainThreadDrawsAndOnlyTheMainThreadDeletes) {
    // The worker's own surface and a context sharing the main one's texture names.
    platform::gl_window* worker_window = platform::window_create(0, 0, 16, 16, false, false, 0);
    ASSERT_NE(worker_window, nullptr);
    platform::gl_context worker_context = platform::context_create(worker_window, context);
    ASSERT_NE(worker_context, nullptr) << platform::window_error();
    ASSERT_TRUE(platform::context_make_current(window, context));

    THREAD_init();
    {
        UTL_threadpool pool(1);
        adopt_context adopt(worker_window, worker_context);
        pool.queue_task(&adopt, 0);
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!adopt.done && std::chrono::steady_clock::now() < give_up) std::this_thread::yield();
        ASSERT_EQ(adopt.ok.load(), 1);

        const std::string path = file("swap.png", flat_png(256, 256, {255, 0, 0, 255}));
        ASSERT_EQ(tman.load_texture(tex_fail_silent, 130, kExactRgb, tex_load_now, path), 130);
        TEX_obj* obj = tman.get_known_obj(130);
        const GLuint red_name = obj->gl_id;
        draw(130);
        ASSERT_EQ(pixel(10, 10), (rgba{255, 0, 0, 255}));

        file("swap.png", flat_png(256, 256, {0, 255, 0, 255}));
        obj->queue_load(&pool);
        // Every frame drawn meanwhile shows one whole texture, the old or the new.
        int frames = 0;
        while (obj->queued && std::chrono::steady_clock::now() < give_up) {
            draw(130);
            const rgba p = pixel(40, 40);
            ASSERT_TRUE(p == (rgba{255, 0, 0, 255}) || p == (rgba{0, 255, 0, 255})) << p[0] << "," << p[1];
            ++frames;
        }
        ASSERT_EQ(obj->queued.load(), 0);
        EXPECT_EQ(obj->ref_count.load(), 1);   // the pool's reference is back

        // The worker filled a fresh name; the red one waits for the main thread.
        const GLuint green_name = obj->gl_id;
        EXPECT_NE(green_name, red_name);
        EXPECT_EQ(gl.glIsTexture(red_name), GL_TRUE);
        draw(130);
        EXPECT_EQ(pixel(40, 40), (rgba{0, 255, 0, 255})) << frames << " frames drawn meanwhile";
        frame_hooks.delete_textures();
        EXPECT_EQ(gl.glIsTexture(red_name), GL_FALSE);
        EXPECT_EQ(gl.glIsTexture(green_name), GL_TRUE);
        draw(130);
        EXPECT_EQ(pixel(40, 40), (rgba{0, 255, 0, 255}));
    }
    THREAD_shutdown();
    platform::window_destroy(worker_window);
}

}  // namespace
