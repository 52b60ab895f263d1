#pragma once
// An offscreen render target: between begin_render and end_render everything drawn lands in a
// texture of the texture manager (a G-buffer: four at once), and the window size and view that
// the view set-up reads are the target's. Through a framebuffer object where the driver has
// them; otherwise drawn into the lower-left of the back buffer and copied into the texture.
//
//   OGL_framebuffer target(1100, 2, 1, 256, 256, 0, 0, "preview");
//   target.begin_render(1);
//   ... draw as into a 256 x 256 window ...
//   target.end_render();
//   tman.bind_ref(1100, 0, 0);      // the picture, as a texture
//
// Passes of different targets nest; a target is not begun again inside its own pass.
// Main thread, context current.
#include <string>

#include "core/stats.h"
#include "render/gl_api.h"

class OGL_framebuffer {
public:
    // fb_flags: 1 make a depth renderbuffer unless one is given; 2 a packed depth-stencil one
    // unless given; 4 a G-buffer (textures tex_ref to tex_ref + 3); 8 a depth texture at
    // tex_ref + 1 (not with 4: the G-buffer wins). name is kept, not copied.
    OGL_framebuffer(int tex_ref, int tex_flags, int fb_flags, int width, int height, GLuint depth_rb,
                    GLuint depth_stencil_rb, const char* name);
    ~OGL_framebuffer();
    OGL_framebuffer(const OGL_framebuffer&) = delete;
    OGL_framebuffer& operator=(const OGL_framebuffer&) = delete;

    void set_render_size(int width, int height);
    void begin_render(int use_fbo);
    void end_render();
    // Copies this target's colour into dest (null: the window). The flags have no effect.
    void blit_to(OGL_framebuffer* dest, int flag1 = 0, int flag2 = 0, int flag3 = 0);

    GLuint fbo_id = 0;
    GLuint depth_rb = 0;
    GLuint depth_stencil_rb = 0;
    GLuint prev_fbo = 0;
    int use_fbo = 0;
    int tex_ref = 0;
    int tex_flags = 0;
    int fbo_dx = 0, fbo_dy = 0;
    int pass_dx = 0, pass_dy = 0;
    int attached = 0;
    int gbuffer = 0;
    int depth_tex = 0;
    int own_depth_rb = 0, own_depth_stencil_rb = 0;
    const char* name = "";
    int saved_type = 0;
    OGL_framebuffer* saved_obj = nullptr;
    float saved_view[4] = {};
    float saved_ui_dx = 0;
    float saved_win_dx = 0, saved_win_dy = 0;

    // What is being rendered now: 0 the window or an ordinary target, 1 a floating-point target,
    // 2 a G-buffer; and which target (null: the window).
    static int mTypeNow;
    static OGL_framebuffer* mObjNow;

private:
    int kind() const;
    void make_textures();
    void attach();
    void redirect_window();
    std::string texture_name(const char* suffix) const;
};

// Lists the bound framebuffer's attachments in the log; returns the status's token name.
std::string fbo_status(const char* name, GLenum status);

extern UTL_stat g_fbo_flushes;   // "fbo/flush_per_frame": passes ended
