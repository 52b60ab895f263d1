#include "shell/windows.h"

#include <cstdio>
#include <cstdlib>

#include "core/alert.h"
#include "core/app_globals.h"
#include "core/cmdline.h"
#include "core/log.h"
#include "core/shell_services.h"
#include "render/gl_api.h"
#include "render/background.h"
#include "render/ogl_extensions.h"
#include "render/ogl_state.h"
#include "render/tex_bind.h"
#include "render/renderer_options.h"
#include "shell/display_modes.h"
#include "shell/event_pump.h"
#include "ui/menus.h"
#include "render/panel_record.h"

cons_class cons;

namespace {

struct ladder_step {
    int min_level;
    int samples;
    int level;
};
constexpr ladder_step kLadder[] = {{4, 16, 4}, {3, 8, 3}, {2, 4, 2}, {1, 2, 1}, {0, 0, 0}};

void log_pixel_format() {
    const platform::pixel_format_info f = platform::current_pixel_format();
    xer << "AGL_RGBA         : " << f.rgba << "\n";
    xer << "AGL_DOUBLEBUFFER : " << f.double_buffer << "\n";
    xer << "AGL_RED_SIZE     : " << f.red << "\n";
    xer << "AGL_GREEN_SIZE   : " << f.green << "\n";
    xer << "AGL_BLUE_SIZE    : " << f.blue << "\n";
    xer << "AGL_ALPHA_SIZE   : " << f.alpha << "\n";
    xer << "AGL_DEPTH_SIZE   : " << f.depth << "\n";
    xer.flush();
}

// The state every drawing part assumes.
void set_gl_defaults() {
    const GLfloat black[4] = {0, 0, 0, 0};
    gl.glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
    gl.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    gl.glPixelStorei(GL_PACK_ALIGNMENT, 1);
    gl.glAlphaFunc(GL_GREATER, 0);
    gl.glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    gl.glDepthFunc(GL_LEQUAL);
    gl.glFogi(GL_FOG_MODE, GL_LINEAR);
    gl.glHint(GL_FOG_HINT, GL_FASTEST);
    gl.glFrontFace(GL_CW);
    gl.glEnable(GL_CULL_FACE);
    gl.glCullFace(GL_BACK);
    gl.glShadeModel(GL_SMOOTH);
    gl.glEnable(GL_DITHER);
    gl.glDisable(GL_INDEX_LOGIC_OP);
    gl.glDisable(GL_STENCIL_TEST);
    gl.glDisable(GL_TEXTURE_1D);
    gl.glDisable(GL_NORMALIZE);
    gl.glDisable(GL_SCISSOR_TEST);
    gl.glEnable(GL_COLOR_MATERIAL);
    gl.glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    if (reno.alias_got > 0) gl.glEnable(GL_MULTISAMPLE_ARB);
    gl.glDepthMask(GL_FALSE);
    gl.glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR);
    gl.glEnableClientState(GL_VERTEX_ARRAY);
}

int window_count_hook() { return cons.num_cons(-1); }

void print_display_lines() {
    const int count = platform::display_count();
    for (int i = 0; i < (count < 1 ? 1 : count); ++i) {
        int x = 0, y = 0, w = 0, h = 0;
        platform::display_bounds(i, x, y, w, h);
        std::printf("Display %d: %f,%f,%f,%f\n", i, static_cast<double>(x), static_cast<double>(y),
                    static_cast<double>(w), static_cast<double>(h));
    }
    std::fflush(stdout);
}

}  // namespace

platform::gl_window* APL_make_window(int x, int y, int w, int h, int draggable) {
    if (draggable && y == 0) y = 40;
    return platform::window_create(x, y, w, h, draggable != 0, wins.full_screen != 0, cons.pixel_format_samples);
}

int cons_class::cons_make(int index) {
    if (index < 0 || index > 1) return 0;
    int x = std::atoi(cmdline.get_option("--monitor_offset_x").c_str());
    const int y = std::atoi(cmdline.get_option("--monitor_offset_y").c_str());
    int W = 0, H = 0;
    UTL_get_monitor_res(0, nullptr, nullptr, &W, &H, nullptr, nullptr);
    if (index == 1) x = wins.full_screen ? W : wins.windowed_w;
    if (wins.windowed_w > W || wins.windowed_h > H) {
        xer << "The window was last: " << wins.windowed_w << "," << wins.windowed_h << " and my monitor is " << W
            << "," << H << ".  Setting window to 1024x768 it fits on screen.\n";
        wins.windowed_w = 1024;
        wins.windowed_h = 768;
    }
    int cw = wins.windowed_w, ch = wins.windowed_h;
    if (wins.full_screen) {
        cw = wins.full_w ? wins.full_w : W;
        ch = wins.full_h ? wins.full_h : H;
    }
    wins.win_px_w = cw;
    wins.win_px_h = ch;
    const int draggable = !wins.full_screen && wins.windowed_h < H;
    // The second context starts from OpenGL's defaults, so the state cache forgets the first's.
    if (index == 1) OGL_setstate(ogl_fog_off, 0, ogl_lit_off, ogl_al_none, ogl_deR_off, ogl_deW_off);

    // The window and the pixel format come together: each rung of the ladder is a window made
    // with that many samples; later windows take the format that worked.
    platform::gl_window* win = nullptr;
    if (!pixel_format_chosen) {
        for (const ladder_step& step : kLadder) {
            if (reno.alias_req < step.min_level) continue;
            reno.alias_got = step.level;
            pixel_format_samples = step.samples;
            win = APL_make_window(x, y, cw, ch, draggable);
            if (win) break;
        }
        if (!win) return 0;
        pixel_format_chosen = true;
    } else {
        win = APL_make_window(x, y, cw, ch, draggable);
        if (!win) return 0;
    }
    windows[index] = win;

    ogl_context_t ctx = platform::context_create(win, index == 1 ? contexts[0] : nullptr);
    if (!ctx) return 0;
    contexts[index] = ctx;
    if (!platform::context_make_current(win, ctx)) return 0;
    g_shell.window_count = &window_count_hook;

    log_pixel_format();
    const int missing = glExt.init_entry_points();
    if (missing) {
        char line[64];
        std::snprintf(line, sizeof line, "Error=%f", static_cast<double>(missing));
        MACIBM_alert(0, "Could not open OpenGL framework", "", line, "", t_crash);
    }
    gl.glClear(GL_COLOR_BUFFER_BIT);

    const bool accelerated = platform::current_context_accelerated();
    const int interval = reno.use_vsync2 ? 2 : reno.use_vsync1 ? 1 : 0;
    std::string why;
    // A driver that refuses the interval refuses it for every window: said once per run.
    static bool vsync_warned = false;
    if (!platform::set_swap_interval(interval, why) && !vsync_warned) {
        vsync_warned = true;
        xer << "WARNING: I could not set vertical sync to " << interval << "; the driver returned error " << why
            << ".\n";
    }
    if (!accelerated) return 0;
    set_gl_defaults();
    // Nothing is bound in the new context whatever the binding cache remembers.
    if (index == 1) TEX_reset_bind();
    return 1;
}

int cons_class::num_cons(int n) {
    if (n < 0) return count_;
    if (n == 2 && count_ == 1) {
        cons_make(1);
        platform::context_make_current(windows[0], contexts[0]);
        GOL_set_back_tex_lighting();
        OGL_make_back_tex();
    } else if (n == 1 && count_ == 2) {
        platform::window_destroy(windows[1]);
        windows[1] = nullptr;
    }
    if (n == 1 || n == 2) count_ = n;
    return 0;
}

void cons_class::cons_nuke(int index) {
    if (index < 0 || index > 1) return;
    platform::window_destroy(windows[index]);
    windows[index] = nullptr;
}

ogl_context_t cons_class::cons_make_loader() {
    if (!pixel_format_chosen || !windows[0] || !contexts[0]) return nullptr;
    ogl_context_t c = platform::context_create(windows[0], contexts[0]);
    // Making a context makes it current here; the main thread keeps drawing with context 0.
    platform::context_make_current(windows[0], contexts[0]);
    if (!c) {
        xer << "We could not create a context for our worker threads.\n";
        xer.flush();
    }
    return c;
}

int MACIBM_set_context_loader(ogl_context_t context) {
    return context && platform::context_make_current(cons.windows[0], context) ? 1 : 0;
}

void MACIBM_make_window_draggable(int index, int draggable) {
    if (index < 0 || index > 1 || !cons.windows[index]) return;
    if (gl.glFlush) gl.glFlush();
    int x = 0, y = 0, w = 0, h = 0;
    platform::window_content_bounds(cons.windows[index], x, y, w, h);
    platform::gl_window* fresh = APL_make_window(x, y, w, h, draggable);
    if (!fresh) return;
    platform::context_make_current(fresh, cons.contexts[index]);
    platform::window_destroy(cons.windows[index]);
    cons.windows[index] = fresh;
}

void MACIBM_go_full_screen(int mode) {
    if (mode != wins.full_screen) {
        wins.full_screen = mode == 2 ? 1 : mode;
        if (wins.full_screen) {
            for (int i = 0; i < 2; ++i)
                if (cons.windows[i]) MACIBM_make_window_draggable(i, 0);
            int W = 0, H = 0, bpp = 0;
            UTL_get_monitor_res(0, nullptr, nullptr, &W, &H, nullptr, nullptr);
            ++resize_recurse;
            if (wins.full_w || wins.full_h) {
                UTL_set_monitor_res(0, wins.full_w, wins.full_h, wins.full_bpp, wins.full_hz);
            } else {
                UTL_restore_monitor_res(0);
                UTL_get_monitor_res(0, nullptr, nullptr, &W, &H, &bpp, nullptr);
                wins.screen_bpp = bpp;
            }
            --resize_recurse;
            const int w = wins.full_w ? wins.full_w : W;
            const int h = wins.full_h ? wins.full_h : H;
            if (cons.windows[0]) {
                platform::window_move(cons.windows[0], 0, 0);
                platform::window_size(cons.windows[0], w, h);
            }
            if (cons.windows[1]) {
                platform::window_move(cons.windows[1], w, 0);
                platform::window_size(cons.windows[1], w, h);
            }
        } else {
            if (wins.full_w || wins.full_h) {
                ++resize_recurse;
                UTL_restore_monitor_res(0);
                --resize_recurse;
            }
            int W = 0, H = 0, bpp = 0;
            UTL_get_monitor_res(0, nullptr, nullptr, &W, &H, &bpp, nullptr);
            wins.screen_bpp = bpp;
            const int dx = (W - wins.windowed_w) / 2, dy = (H - wins.windowed_h) / 2;
            for (int i = 0; i < 2; ++i)
                if (cons.windows[i]) MACIBM_make_window_draggable(i, wins.windowed_h < H);
            if (!app_done) {
                if (cons.windows[0]) {
                    platform::window_move(cons.windows[0], dx, dy);
                    platform::window_size(cons.windows[0], wins.windowed_w, wins.windowed_h);
                }
                if (cons.windows[1]) {
                    platform::window_move(cons.windows[1], dx + wins.windowed_w, dy);
                    platform::window_size(cons.windows[1], wins.windowed_w, wins.windowed_h);
                }
            }
        }
    }
    print_display_lines();
}

void MACIBM_live_resize(int w, int h) {
    if (w == 0 || h == 0) return;
    // The bar hangs from the window's top edge.
    mbar.mbar_shift_menu_bar(static_cast<float>(h - wins.win_px_h));
    wins.win_px_w = w;
    wins.win_px_h = h;
    if (!wins.full_screen) {
        wins.windowed_w = w;
        wins.windowed_h = h;
    }
    OGL_pix_specs(0);
    wins.start_win(wins.panel_id);
}
