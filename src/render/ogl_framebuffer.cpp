#include "render/ogl_framebuffer.h"

#include "core/log.h"
#include "render/ogl_extensions.h"
#include "render/ogl_legacy_shader.h"
#include "render/ogl_shader.h"
#include "render/ogl_state.h"
#include "render/tex_bind.h"
#include "render/tex_obj.h"
#include "render/tman.h"
#include "render/view.h"
#include "render/panel_record.h"

UTL_stat g_fbo_flushes("fbo/flush_per_frame", stat_per_frame, 0.0f);

int OGL_framebuffer::mTypeNow = 0;
OGL_framebuffer* OGL_framebuffer::mObjNow = nullptr;

namespace {

constexpr int kFloatBit = 0x1000;
constexpr int kMipmapBit = 0x20;
constexpr int kDepthOnly = 7;

GLint get_int(GLenum pname) {
    GLint v = 0;
    gl.glGetIntegerv(pname, &v);
    return v;
}

GLuint gl_name_of(int ref) {
    TEX_obj* obj = tman.get_known_obj(ref);
    return obj ? obj->gl_id.load() : 0;
}

void attach_texture(GLenum point, int ref) {
    glExt.glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, point, GL_TEXTURE_2D, gl_name_of(ref), 0);
}

// The channel sizes of an attachment: v[3] to v[8] are red, green, blue, alpha, depth, stencil.
void write_sizes(const GLint* v) {
    xer << "       Red: " << v[3] << ", Green: " << v[4] << ", Blue: " << v[5] << " Alpha: " << v[6] << "\n"
        << "       Depth bits: " << v[7] << " Stencil: " << v[8] << "\n";
}

}  // namespace

OGL_framebuffer::OGL_framebuffer(int tex_ref_, int tex_flags_, int fb_flags, int width, int height, GLuint depth,
                                 GLuint depth_stencil, const char* name_)
    : depth_rb(depth), depth_stencil_rb(depth_stencil), tex_ref(tex_ref_), tex_flags(tex_flags_), fbo_dx(width),
      fbo_dy(height), gbuffer(fb_flags & 4), depth_tex(fb_flags & 8), name(name_ ? name_ : "") {
    if (!glExt.framebuf_avail) return;
    glExt.glGenFramebuffersEXT(1, &fbo_id);
    if ((fb_flags & 1) && !depth_rb) {
        glExt.glGenRenderbuffersEXT(1, &depth_rb);
        own_depth_rb = 1;
    }
    if ((fb_flags & 2) && !depth_stencil_rb) {
        glExt.glGenRenderbuffersEXT(1, &depth_stencil_rb);
        own_depth_stencil_rb = 1;
    }
    // Names only become objects once bound.
    const GLint old = get_int(GL_FRAMEBUFFER_BINDING_EXT);
    glExt.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fbo_id);
    glExt.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(old));
    for (const GLuint rb : {depth_rb, depth_stencil_rb})
        if (rb) glExt.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, rb);
    glExt.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
}

OGL_framebuffer::~OGL_framebuffer() {
    if (!glExt.framebuf_avail) return;
    if (fbo_id) glExt.glDeleteFramebuffersEXT(1, &fbo_id);
    if (own_depth_rb) glExt.glDeleteRenderbuffersEXT(1, &depth_rb);
    if (own_depth_stencil_rb) glExt.glDeleteRenderbuffersEXT(1, &depth_stencil_rb);
}

void OGL_framebuffer::set_render_size(int width, int height) {
    fbo_dx = width;
    fbo_dy = height;
}

int OGL_framebuffer::kind() const { return gbuffer ? 2 : (tex_flags & kFloatBit) ? 1 : 0; }

std::string OGL_framebuffer::texture_name(const char* suffix) const {
    return std::string("fbo-") + name + suffix;
}

void OGL_framebuffer::make_textures() {
    if (gbuffer) {
        const bool rg = glExt.texture_rg != 0;
        const struct {
            int offset;
            const char* suffix;
            int flags;
        } parts[] = {{0, "-fbo_gbuf1_alb", rg ? 0x46602 : 0x47602},
                     {1, "-fbo_gbuf1_pos", rg ? 0x4760a : 0x47602},
                     {2, "-fbo_gbuf2_nrm", rg ? 0x4760a : 0x47602},
                     {3, "-fbo_gbuf3_lit", rg ? 0x46602 : 0x47602}};
        for (const auto& p : parts)
            tman.load_texture_mem_idx(tex_ref + p.offset, p.flags, nullptr, fbo_dx, fbo_dy, texture_name(p.suffix));
        return;
    }
    tman.load_texture_mem_idx(tex_ref, tex_flags | 0x42200, nullptr, fbo_dx, fbo_dy, texture_name("-fbo"));
    if (depth_tex)
        tman.load_texture_mem_idx(tex_ref + 1, 0x42207, nullptr, fbo_dx, fbo_dy, texture_name("-fbo_depth_tex"));
}

void OGL_framebuffer::attach() {
    if ((tex_flags & 0xF) == kDepthOnly) {
        gl.glDrawBuffer(GL_NONE);
        gl.glReadBuffer(GL_NONE);
        attach_texture(GL_DEPTH_ATTACHMENT_EXT, tex_ref);
    } else {
        attach_texture(GL_COLOR_ATTACHMENT0_EXT, tex_ref);
        if (gbuffer) {
            attach_texture(GL_COLOR_ATTACHMENT1_EXT, tex_ref + 1);
            attach_texture(GL_COLOR_ATTACHMENT2_EXT, tex_ref + 2);
            attach_texture(GL_COLOR_ATTACHMENT3_EXT, tex_ref + 3);
        } else if (depth_tex) {
            attach_texture(GL_DEPTH_ATTACHMENT_EXT, tex_ref + 1);
        }
        if (depth_rb) {
            glExt.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, depth_rb);
            glExt.glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, fbo_dx, fbo_dy);
            glExt.glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT,
                                               depth_rb);
        }
    }
    if (depth_stencil_rb) {
        glExt.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, depth_stencil_rb);
        glExt.glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH24_STENCIL8_EXT, fbo_dx, fbo_dy);
        glExt.glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_STENCIL_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT,
                                           depth_stencil_rb);
        glExt.glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT,
                                           depth_stencil_rb);
    }
    if (gbuffer) {
        static const GLenum kFour[] = {GL_COLOR_ATTACHMENT0_EXT, GL_COLOR_ATTACHMENT1_EXT, GL_COLOR_ATTACHMENT2_EXT,
                                       GL_COLOR_ATTACHMENT3_EXT};
        glExt.glDrawBuffersARB(4, kFour);
    }
}

void OGL_framebuffer::begin_render(int use) {
    saved_type = mTypeNow;
    saved_obj = mObjNow;
    mTypeNow = kind();
    mObjNow = this;
    use_fbo = use;
    pass_dx = fbo_dx;
    pass_dy = fbo_dy;

    if (glExt.framebuf_avail && use) {
        prev_fbo = static_cast<GLuint>(get_int(GL_FRAMEBUFFER_BINDING_EXT));
        const bool in_place = tman.tex_loaded(tex_ref) && static_cast<int>(tman.tex_dx_tot(tex_ref)) == fbo_dx &&
                              static_cast<int>(tman.tex_dy_tot(tex_ref)) == fbo_dy && attached;
        if (in_place) {
            glExt.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fbo_id);
        } else {
            attached = 1;
            make_textures();
            glExt.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fbo_id);
            attach();
            const GLenum status = glExt.glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
            if (status != GL_FRAMEBUFFER_COMPLETE_EXT) {
                fbo_status(name, status);
                glExt.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
                glExt.glDeleteFramebuffersEXT(1, &fbo_id);
                glExt.framebuf_failed();
                // The same pass again, by the copy path, as if it had been asked for.
                mTypeNow = saved_type;
                mObjNow = saved_obj;
                begin_render(0);
                return;
            }
        }
    } else {
        while (pass_dx > wins.win_px_w && pass_dx > 1) pass_dx /= 2;
        while (pass_dy > wins.win_px_h && pass_dy > 1) pass_dy /= 2;
        const bool fits = tman.tex_loaded(tex_ref) && static_cast<int>(tman.tex_dx_tot(tex_ref)) == pass_dx &&
                          static_cast<int>(tman.tex_dy_tot(tex_ref)) == pass_dy;
        if (!fits)
            tman.load_texture_mem_idx(tex_ref, tex_flags | 0x40200, nullptr, pass_dx, pass_dy,
                                      texture_name("-copytex"));
    }
    redirect_window();
}

void OGL_framebuffer::redirect_window() {
    saved_view[0] = wins.view_left;
    saved_view[1] = wins.view_bottom;
    saved_view[2] = wins.view_right;
    saved_view[3] = wins.view_top;
    saved_ui_dx = wins.ui_off_x;
    saved_win_dx = static_cast<float>(wins.win_px_w);
    saved_win_dy = static_cast<float>(wins.win_px_h);
    wins.view_left = 0;
    wins.view_bottom = 0;
    wins.view_right = static_cast<float>(pass_dx);
    wins.view_top = static_cast<float>(pass_dy);
    wins.win_px_w = pass_dx;
    wins.win_px_h = pass_dy;
    wins.ui_off_x = 0;
    TEX_reset_bind();
}

void OGL_framebuffer::end_render() {
    *g_fbo_flushes.value += 1.0f;
    wins.view_left = saved_view[0];
    wins.view_bottom = saved_view[1];
    wins.view_right = saved_view[2];
    wins.view_top = saved_view[3];
    wins.ui_off_x = saved_ui_dx;
    wins.win_px_w = static_cast<int>(saved_win_dx);
    wins.win_px_h = static_cast<int>(saved_win_dy);
    mTypeNow = saved_type;
    mObjNow = saved_obj;
    saved_obj = nullptr;

    if (use_fbo && glExt.framebuf_avail) {
        glExt.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, prev_fbo);
        if (tex_flags & kMipmapBit) {
            OGL_setstate(1, 1, 1, 1, 1, 1);
            tman.bind_ref(tex_ref, 0, 0);
            glExt.glGenerateMipmapEXT(GL_TEXTURE_2D);
        }
    } else {
        OGL_setstate(1, 1, 1, 1, 1, 1);
        tman.bind_ref(tex_ref, 0, 0);
        gl.glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, pass_dx, pass_dy);
    }
}

void OGL_framebuffer::blit_to(OGL_framebuffer* dest, int, int, int) {
    const int dest_kind = dest ? dest->kind() : 0;
    // The driver's blit copies between framebuffer objects; a target whose picture came by the
    // copy path (or with framebuffer objects off) has none to read from or write to.
    bool fast = glExt.frameblit_avail && glExt.framebuf_avail && attached && kind() == dest_kind && !gbuffer;
    if (fast && dest && dest != mObjNow && !tman.tex_loaded(dest->tex_ref)) {
        dest->begin_render(1);
        dest->end_render();
    }
    fast = fast && glExt.framebuf_avail && (!dest || dest->attached);
    if (fast) {
        const GLint saved = get_int(GL_FRAMEBUFFER_BINDING_EXT);
        glExt.glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, fbo_id);
        glExt.glBindFramebufferEXT(GL_DRAW_FRAMEBUFFER_EXT, dest ? dest->fbo_id : 0);
        const int w = dest ? dest->fbo_dx : wins.win_px_w;
        const int h = dest ? dest->fbo_dy : wins.win_px_h;
        glExt.glBlitFramebufferEXT(0, 0, fbo_dx, fbo_dy, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_LINEAR);
        glExt.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(saved));
        return;
    }

    const bool into_other = dest && dest != mObjNow;
    if (into_other) dest->begin_render(1);
    gl.glPushAttrib(GL_VIEWPORT_BIT);
    OGL_screensize(2, 0, 0, 0, 0);
    const float w = static_cast<float>(wins.win_px_w), h = static_cast<float>(wins.win_px_h);
    gl.glMatrixMode(GL_PROJECTION);
    gl.glPushMatrix();
    gl.glLoadIdentity();
    gl.glOrtho(0, w, 0, h, -1, 1);
    gl.glMatrixMode(GL_MODELVIEW);
    gl.glPushMatrix();
    gl.glLoadIdentity();

    OGL_set_legacy_shader(1, 1, 1, 0, 1, 1);
    tman.bind_ref(tex_ref, 0, 33);
    gl.glColor4f(1, 1, 1, 1);
    gl.glBegin(GL_QUADS);
    gl.glTexCoord2f(0, 0);
    gl.glVertex2f(0, 0);
    gl.glTexCoord2f(0, 1);
    gl.glVertex2f(0, h);
    gl.glTexCoord2f(1, 1);
    gl.glVertex2f(w, h);
    gl.glTexCoord2f(1, 0);
    gl.glVertex2f(w, 0);
    gl.glEnd();

    OGL_shader::unbind_shaders();
    gl.glMatrixMode(GL_PROJECTION);
    gl.glPopMatrix();
    gl.glMatrixMode(GL_MODELVIEW);
    gl.glPopMatrix();
    gl.glPopAttrib();
    if (into_other) dest->end_render();
}

std::string fbo_status(const char* name, GLenum status) {
    const GLint bound = get_int(GL_FRAMEBUFFER_BINDING_EXT);
    if (!glExt.glIsFramebufferEXT(static_cast<GLuint>(bound))) {
        xer << "FBO " << name << " ID: " << bound << " is not a real FBO object.\n";
        return OGL_get_token_name(status);
    }
    xer << "Info for FBO: " << bound << " (" << name << ")\n";
    const struct {
        GLenum point;
        const char* text;
    } points[] = {{GL_COLOR_ATTACHMENT0_EXT, "GL_COLOR_ATTACHMENT0_EXT"},
                  {GL_COLOR_ATTACHMENT1_EXT, "GL_COLOR_ATTACHMENT1_EXT"},
                  {GL_COLOR_ATTACHMENT2_EXT, "GL_COLOR_ATTACHMENT2_EXT"},
                  {GL_COLOR_ATTACHMENT3_EXT, "GL_COLOR_ATTACHMENT3_EXT"},
                  {GL_COLOR_ATTACHMENT4_EXT, "GL_COLOR_ATTACHMENT4_EXT"},
                  {GL_STENCIL_ATTACHMENT_EXT, "GL_STENCIL_ATTACHMENT_EXT"},
                  {GL_DEPTH_ATTACHMENT_EXT, "GL_DEPTH_ATTACHMENT_EXT"}};
    auto attachment = [](GLenum point, GLenum pname) {
        GLint v = 0;
        glExt.glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, point, pname, &v);
        return v;
    };
    for (const auto& p : points) {
        const GLint type = attachment(p.point, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE_EXT);
        const GLuint object = static_cast<GLuint>(attachment(p.point, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME_EXT));
        const std::string head = std::string("   Attachment ") + p.text + ": ";
        if (type == GL_NONE) {
            xer << head << "0\n";
        } else if (type == GL_RENDERBUFFER_EXT) {
            xer << head << "GL_RENDERBUFFER " << object << "\n";
            if (!glExt.glIsRenderbufferEXT(object)) {
                xer << "       WARNING: this is not a valid Render Buffer!";
                continue;
            }
            glExt.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, object);
            GLint v[9] = {};
            const GLenum pnames[9] = {GL_RENDERBUFFER_WIDTH_EXT,      GL_RENDERBUFFER_HEIGHT_EXT,
                                      GL_RENDERBUFFER_INTERNAL_FORMAT_EXT, GL_RENDERBUFFER_RED_SIZE_EXT,
                                      GL_RENDERBUFFER_GREEN_SIZE_EXT, GL_RENDERBUFFER_BLUE_SIZE_EXT,
                                      GL_RENDERBUFFER_ALPHA_SIZE_EXT, GL_RENDERBUFFER_DEPTH_SIZE_EXT,
                                      GL_RENDERBUFFER_STENCIL_SIZE_EXT};
            for (int i = 0; i < 9; ++i) glExt.glGetRenderbufferParameterivEXT(GL_RENDERBUFFER_EXT, pnames[i], &v[i]);
            glExt.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
            xer << "       " << v[0] << " x " << v[1] << " format = " << OGL_get_token_name(static_cast<unsigned>(v[2]))
                << "\n";
            write_sizes(v);
        } else if (type == GL_TEXTURE) {
            xer << head << "GL_TEXTURE " << object << "\n";
            if (!gl.glIsTexture(object)) {
                xer << "       WARNING: this is nota valid texture!";
                continue;
            }
            const GLint level = attachment(p.point, GL_FRAMEBUFFER_ATTACHMENT_TEXTURE_LEVEL_EXT);
            const GLint was = get_int(GL_TEXTURE_BINDING_2D);
            gl.glBindTexture(GL_TEXTURE_2D, object);
            GLint v[9] = {};
            const GLenum pnames[9] = {GL_TEXTURE_WIDTH,      GL_TEXTURE_HEIGHT,    GL_TEXTURE_INTERNAL_FORMAT,
                                      GL_TEXTURE_RED_SIZE,   GL_TEXTURE_GREEN_SIZE, GL_TEXTURE_BLUE_SIZE,
                                      GL_TEXTURE_ALPHA_SIZE, GL_TEXTURE_DEPTH_SIZE, GL_TEXTURE_STENCIL_SIZE_EXT};
            for (int i = 0; i < 9; ++i) gl.glGetTexLevelParameteriv(GL_TEXTURE_2D, level, pnames[i], &v[i]);
            gl.glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(was));
            xer << "       Mip level " << level << ": " << v[0] << " x " << v[1]
                << " format = " << OGL_get_token_name(static_cast<unsigned>(v[2])) << "\n";
            write_sizes(v);
        }
    }
    return OGL_get_token_name(status);
}
