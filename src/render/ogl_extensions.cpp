#include "render/ogl_extensions.h"

#include "core/thread_layer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/alert.h"
#include "core/cmdline.h"
#include "core/localisation.h"
#include "core/log.h"
#include "core/threads.h"
#include "platform/gl_window.h"
#include "platform/os_info.h"
#include "render/renderer_options.h"

OGL_extensions glExt;

namespace {

int g_buffer_lock = 0;
const int* g_test_system_version = nullptr;
bool g_test_system_version_set = false;

const char* const kSupportMail = "support@" VENTARO_SERVER_HOST;
const char* const kWebAddress = VENTARO_SERVER_HOST;

// A null GL string reads as empty, so no test below can crash on a driver that answers none.
const char* gl_text(GLenum name) {
    const GLubyte* s = gl.glGetString ? gl.glGetString(name) : nullptr;
    return s ? reinterpret_cast<const char*>(s) : "";
}

bool has(const char* extensions, const char* name) { return std::strstr(extensions, name) != nullptr; }

bool system_version(int& v) {
    if (g_test_system_version_set) {
        if (!g_test_system_version || *g_test_system_version < 0) return false;
        v = *g_test_system_version;
        return true;
    }
    v = platform::system_version_bcd();
    return true;
}

int get_int(GLenum pname) {
    GLint v[2] = {0, 0};
    if (gl.glGetIntegerv) gl.glGetIntegerv(pname, v);
    return v[0];
}

int program_limit(GLenum target, GLenum pname) {
    GLint v = 0;
    if (glExt.glGetProgramivARB) glExt.glGetProgramivARB(target, pname, &v);
    return v;
}

struct slot_ref {
    int OGL_extensions::* flag;
    const char* name;
    gl_proc_t* slot;
};

// Every extension slot with its gating flag, in slot order.
std::vector<slot_ref> slot_table(OGL_extensions& e) {
    return {
#define VENTARO_GL_EXT_REF(flag, ret, name, params, args, kinds) \
    {&OGL_extensions::flag, #name, reinterpret_cast<gl_proc_t*>(&e.name)},
        VENTARO_GL_EXT_FUNCS(VENTARO_GL_EXT_REF)
#undef VENTARO_GL_EXT_REF
    };
}

// Loads the group of one flag; a missing name is logged and switches the feature off.
void load_group(OGL_extensions& e, const std::vector<slot_ref>& table, int OGL_extensions::* flag) {
    if (!(e.*flag)) return;
    for (const slot_ref& s : table) {
        if (s.flag != flag) continue;
        *s.slot = glGetProcAddress(s.name);
        if (!*s.slot) {
            xer << std::string("WARNING: extension missing proc ") + s.name
                << ".  This is a problem with your video driver.\n";
            e.*flag = 0;
        }
    }
}

}  // namespace

void OGL_set_system_version_for_test(const int* version) {
    static int held;
    g_test_system_version_set = version != nullptr || g_test_system_version_set;
    if (version) {
        held = *version;
        g_test_system_version = &held;
    } else {
        g_test_system_version_set = false;
        g_test_system_version = nullptr;
    }
}

gl_proc_t glGetProcAddress(const char* name) {
    gl_proc_t p = gl_api_proc(name);
    if (p) return p;
    const std::size_t n = std::strlen(name);
    if (n > 3 && (std::strcmp(name + n - 3, "ARB") == 0 || std::strcmp(name + n - 3, "EXT") == 0))
        return gl_api_proc(std::string(name, n - 3).c_str());
    return nullptr;
}

void APIENTRY MY_glGenBuffers(GLsizei n, GLuint* buffers) {
    UTL_critical_section_lock(&g_buffer_lock);
    gl.glGenBuffers(n, buffers);
    UTL_critical_section_unlock(&g_buffer_lock);
}

void APIENTRY MY_glDeleteBuffers(GLsizei n, const GLuint* buffers) {
    UTL_critical_section_lock(&g_buffer_lock);
    gl.glDeleteBuffers(n, buffers);
    UTL_critical_section_unlock(&g_buffer_lock);
}

int OGL_version_number(const char* version) {
    int major = 0, minor = 0;
    if (version && std::sscanf(version, "%d.%d", &major, &minor) == 2) return 100 * major + 10 * minor;
    const std::string head = version ? std::string(version).substr(0, 3) : "";
    static const struct {
        const char* text;
        int v;
    } known[] = {{"1.1", 110}, {"1.2", 120}, {"1.3", 130}, {"1.4", 140}, {"1.5", 150}, {"2.0", 200}, {"2.1", 210}};
    for (const auto& k : known)
        if (head == k.text) return k.v;
    return 100;
}

int OGL_extensions::init_entry_points() {
    // A test's recorder stands in for the library; otherwise the current context's library.
    if (gl_api_loader() == nullptr || gl_api_loader() == &platform::gl_proc_address) {
        gl_api_load(&platform::gl_proc_address);
    }
    return gl.glGetString ? 0 : 2;
}

void OGL_extensions::init_extensions() {
    // 1. The implementation's strings.
    reno.gl_vendor = gl_text(GL_VENDOR);
    reno.gl_renderer = gl_text(GL_RENDERER);
    reno.gl_version = gl_text(GL_VERSION);
    reno.gl_extensions = gl_text(GL_EXTENSIONS);
    const char* ext = reno.gl_extensions;
    const std::string renderer = reno.gl_renderer;
    const std::string vendor = reno.gl_vendor;

    // 2. Version.
    const int v = version = OGL_version_number(reno.gl_version);

    // 3. Capabilities.
    multitex_avail = v > 129 || has(ext, "GL_ARB_multitexture");
    tex_clamp_avail = v > 119 || has(ext, "GL_EXT_texture_edge_clamp") || has(ext, "GL_SGIS_texture_edge_clamp");
    add_env_avail = v > 129 || has(ext, "GL_ARB_texture_env_add") || has(ext, "GL_EXT_texture_env_add");
    combine_avail = v > 129 || has(ext, "GL_ARB_texture_env_combine") || has(ext, "GL_EXT_texture_env_combine");
    dis_fog_avail = has(ext, "GL_NV_fog_distance");
    instance_avail = v > 399 || has(ext, "GL_ARB_instanced_arrays");
    stencil_2side_avail = has(ext, "GL_EXT_stencil_two_side");
    stencil_sep_avail = v > 199;
    tex_comp_avail = v > 129 || has(ext, "GL_ARB_texture_compression");
    vbo_avail = v > 149 || has(ext, "GL_ARB_vertex_buffer_object");
    pbo_avail = v > 209 || has(ext, "GL_ARB_pixel_buffer_object");
    vprog_avail = has(ext, "GL_ARB_vertex_program");
    fprog_avail = has(ext, "GL_ARB_fragment_program");
    automini_avail = v > 139 || has(ext, "GL_SGIS_generate_mipmap");
    aniso_avail = has(ext, "GL_EXT_texture_filter_anisotropic");
    fsaa_avail = v > 129 || has(ext, "GL_ARB_multisample");
    sprites_avail = v > 199 || has(ext, "GL_ARB_point_sprite");
    depth_tex_avail = v > 139 || (has(ext, "GL_ARB_depth_texture") && has(ext, "GL_ARB_shadow"));
    occlude_avail = v > 149 || has(ext, "GL_ARB_occlusion_query");
    shad_objs_avail = v > 199 || has(ext, "GL_ARB_shader_objects");
    vshader_avail = v > 199 || has(ext, "GL_ARB_vertex_shader");
    fshader_avail = v > 199 || has(ext, "GL_ARB_fragment_shader");
    gshader_avail = v > 319 || has(ext, "GL_ARB_geometry_shader4") || has(ext, "GL_EXT_geometry_shader4");
    buniform_avail = has(ext, "GL_EXT_bindable_uniform");
    glsl_avail = v > 199 || has(ext, "GL_ARB_shading_language_100");
    first_gen_shaders = 0;
    glsl_version = 0;
    shad_lod_avail = v > 299 || has(ext, "GL_ARB_shader_texture_lod") || has(ext, "GL_EXT_gpu_shader4");
    framebuf_avail = v > 299 || has(ext, "GL_EXT_framebuffer_object") || has(ext, "GL_ARB_framebuffer_object");
    frameblit_avail = v > 299 || has(ext, "GL_EXT_framebuffer_blit") || has(ext, "GL_ARB_framebuffer_object");
    sblend_avail = v > 139 || has(ext, "GL_EXT_blend_func_separate");
    sblende_avail = v > 199 || has(ext, "GL_EXT_blend_equation_separate");
    drawbuf_avail = v > 199 || has(ext, "GL_ARB_draw_buffers");
    drawbuf2_avail = v > 299 || has(ext, "GL_EXT_draw_buffers2");
    packed_stencil = v > 299 || has(ext, "GL_EXT_packed_depth_stencil");
    texture_rg = v > 299 || has(ext, "GL_ARB_texture_rg");
    framebuffer_srgb = v > 299 || has(ext, "GL_ARB_framebuffer_sRGB") || has(ext, "GL_EXT_framebuffer_sRGB");
    tex_float_avail = v > 299 || has(ext, "GL_ARB_texture_float");
    non_pots_avail = v > 199 || has(ext, "GL_ARB_texture_non_power_of_two");

    // 4. Driver workarounds.
    if (!cmdline.has_option("--no_workaround")) {
        int sys = 0;
        const bool sys_ok = system_version(sys);
        auto contains = [&](const char* s) { return renderer.find(s) != std::string::npos; };
        if (!cmdline.has_option("--use_pixel_counters")) {
            if (occlude_avail && sys_ok && sys <= 0x103F && contains("NVIDIA NV34MAP OpenGL Engine")) {
                occlude_avail = 0;
                xer << "Disabling occlusion queries on OS X 10.3 for nVidia.\n";
            }
            if (occlude_avail && sys_ok && sys <= 0x1048 && contains("NVIDIA GeForce 7300 GT OpenGL Engine")) {
                occlude_avail = 0;
                xer << "Disabling occlusion queries on OS X 10.4 for nVidia 7300 GT on 10.4.8.\n";
            }
        }
        if (!cmdline.has_option("--use_idx_vram") && sys_ok && sys <= 0x1064 && idx_in_vram && contains("NVIDIA")) {
            idx_in_vram = 0;
            xer << "Disabling VRAM index buffers for nVidia drivers on OS X.\n";
        }
        if (!cmdline.has_option("--use_subtex") && contains("NVIDIA") && sys_ok && sys <= 0x105F) {
            subtex_avail = 0;
            xer << "Disabling glSubTexImage2D for nVidia drivers on OS X.\n";
        }
        if (!cmdline.has_option("--use_glsl") && glsl_avail && contains("Intel GMA 950 OpenGL Engine")) {
            glsl_avail = 0;
            xer << "Disabling GLSL for GMA 950.\n";
        }
        if (!cmdline.has_option("--use_fbos") && framebuf_avail && contains("Intel GMA 950 OpenGL Engine") && sys_ok &&
            sys <= 0x104F) {
            framebuf_avail = 0;
            xer << "Disabling FBOs for GMA 950.\n";
        }
        if (!cmdline.has_option("--use_sprites") && sprites_avail && sys_ok && sys <= 0x1052 &&
            (renderer == "ATI Radeon HD 2600 PRO OpenGL Engine" || renderer == "ATI Radeon HD 2400 XT OpenGL Engine")) {
            sprites_avail = 0;
            xer << "Disabling point sprites for Radeon HD on OS X.\n";
        }
        if (!cmdline.has_option("--use_pbos") && pbo_avail && sys_ok && sys <= 0x1061 && contains("ATI")) {
            pbo_avail = 0;
            xer << "Disabling PBOs for ATI hw on OS X.\n";
        }
    }

    // 5. First-generation shader hardware.
    if (glsl_avail && vendor.find("NVIDIA") != std::string::npos && !has(ext, "GL_NV_fragment_program2"))
        first_gen_shaders = 1;

    // 6-8. Entry points.
    const std::vector<slot_ref> table = slot_table(*this);
    load_group(*this, table, &OGL_extensions::vbo_avail);
    UTL_critical_section_create(&g_buffer_lock);
    glGenBuffersARB = &MY_glGenBuffers;
    glDeleteBuffersARB = &MY_glDeleteBuffers;
    if (pbo_avail && !vbo_avail) {
        xer << "Disabling PBOs because VBOs are not available.  This probably means that VBOs are disabled for "
               "compatibility reasons.\n";
        pbo_avail = 0;
    }
    for (int OGL_extensions::* flag :
         {&OGL_extensions::vprog_avail, &OGL_extensions::occlude_avail, &OGL_extensions::shad_objs_avail,
          &OGL_extensions::gshader_avail, &OGL_extensions::buniform_avail, &OGL_extensions::vshader_avail,
          &OGL_extensions::framebuf_avail, &OGL_extensions::frameblit_avail, &OGL_extensions::tex_comp_avail,
          &OGL_extensions::sblende_avail, &OGL_extensions::drawbuf_avail, &OGL_extensions::drawbuf2_avail,
          &OGL_extensions::sblend_avail, &OGL_extensions::instance_avail, &OGL_extensions::stencil_2side_avail,
          &OGL_extensions::stencil_sep_avail})
        load_group(*this, table, flag);

    // 9. Dependencies.
    if (!vprog_avail) fprog_avail = 0;
    if (!shad_objs_avail) fshader_avail = vshader_avail = gshader_avail = 0;
    if (!vshader_avail || !fshader_avail) glsl_avail = 0;

    // 10. Program limits.
    if (fprog_avail) {
        fprog_native_instructions = program_limit(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB);
        fprog_alu_instructions = program_limit(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_ALU_INSTRUCTIONS_ARB);
        fprog_tex_instructions = program_limit(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_TEX_INSTRUCTIONS_ARB);
        fprog_tex_indirections = program_limit(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_TEX_INDIRECTIONS_ARB);
        if (fprog_native_instructions == 0 && !cmdline.has_option("--use_fprogs")) fprog_avail = 0;
        if (fprog_native_instructions <= 99) first_gen_shaders = 1;
    }
    if (vprog_avail) {
        vprog_native_instructions = program_limit(GL_VERTEX_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB);
        if (vprog_native_instructions == 0 && !cmdline.has_option("--use_vprogs")) vprog_avail = 0;
    }

    // 11. Shader limits and the shading-language version.
    if (vshader_avail) {
        max_vertex_attribs = get_int(GL_MAX_VERTEX_ATTRIBS_ARB);
        max_vertex_uniforms = get_int(GL_MAX_VERTEX_UNIFORM_COMPONENTS_ARB);
        max_varying_floats = get_int(GL_MAX_VARYING_FLOATS_ARB);
        max_combined_tex_units = get_int(GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS_ARB);
        max_vertex_tex_units = get_int(GL_MAX_VERTEX_TEXTURE_IMAGE_UNITS_ARB);
    }
    if (fshader_avail) max_fragment_uniforms = get_int(GL_MAX_FRAGMENT_UNIFORM_COMPONENTS_ARB);
    std::string glsl_text = "n/a";
    if (glsl_avail) {
        glsl_version = 100;
        const GLubyte* s = gl.glGetString ? gl.glGetString(GL_SHADING_LANGUAGE_VERSION) : nullptr;
        glsl_text = s ? reinterpret_cast<const char*>(s) : "<null string>";
        if (glsl_text.rfind("1.10", 0) == 0) glsl_version = 110;
        if (glsl_text.rfind("1.20", 0) == 0) glsl_version = 120;
    }

    // 12. Limits.
    reno.max_aniso = 1.0f;
    if (aniso_avail && gl.glGetFloatv) gl.glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &reno.max_aniso);
    reno.tex_units = get_int(GL_MAX_TEXTURE_UNITS);
    reno.tex_image_units = fprog_avail ? get_int(GL_MAX_TEXTURE_IMAGE_UNITS_ARB) : reno.tex_units;
    reno.tex_coord_units = vprog_avail ? get_int(GL_MAX_TEXTURE_COORDS_ARB) : reno.tex_units;
    max_tex_size = get_int(GL_MAX_TEXTURE_SIZE);
    GLfloat point_range[2] = {0, 0};
    if (gl.glGetFloatv) gl.glGetFloatv(GL_POINT_SIZE_RANGE, point_range);
    reno.max_point_size = point_range[1];
    if (reno.tex_units == 0) reno.tex_units = 1;

    // 13. Command-line switches.
    if (cmdline.has_option("--num_units")) reno.tex_units = std::atoi(cmdline.get_option("--num_units").c_str());
    if (cmdline.has_option("--limited_glsl")) first_gen_shaders = 1;
    if (cmdline.has_option("--unlimited_glsl")) first_gen_shaders = 0;
    if (cmdline.has_option("--no_vbos")) vbo_avail = pbo_avail = 0;
    if (cmdline.has_option("--no_pbos")) pbo_avail = 0;
    if (cmdline.has_option("--no_sprites")) sprites_avail = 0;
    if (cmdline.has_option("--no_pixel_counters")) occlude_avail = 0;
    if (cmdline.has_option("--no_idx_vram")) idx_in_vram = 0;
    if (cmdline.has_option("--no_subtex")) subtex_avail = 0;
    if (cmdline.has_option("--no_aniso_filtering")) {
        aniso_avail = 0;
        reno.max_aniso = 1.0f;
    }
    if (cmdline.has_option("--no_hw_mipmap")) automini_avail = 0;
    if (cmdline.has_option("--no_vshaders")) vprog_avail = 0;
    if (cmdline.has_option("--no_fshaders")) fprog_avail = 0;
    if (cmdline.has_option("--no_glsl")) glsl_avail = 0;
    if (cmdline.has_option("--no_shader_lod")) shad_lod_avail = 0;
    if (cmdline.has_option("--use_shader_lod")) shad_lod_avail = 1;
    if (cmdline.has_option("--no_fbos")) framebuf_avail = 0;
    if (cmdline.has_option("--no_fbo_blit")) frameblit_avail = 0;
    if (cmdline.has_option("--no_threaded_ogl")) threaded_avail = 0;
    if (cmdline.has_option("--no_sblendf")) sblend_avail = 0;
    if (cmdline.has_option("--no_sblende")) sblende_avail = 0;
    if (cmdline.has_option("--no_instancing")) instance_avail = 0;
    if (cmdline.has_option("--no_tex_rg")) texture_rg = 0;
    if (cmdline.has_option("--no_srgb")) framebuffer_srgb = 0;

    // 14. Worker threads never get contexts of their own.
    threaded_avail = 0;

    // 15. The log block.
    xer << "OpenGL Vendor    : " << reno.gl_vendor << "\n";
    xer << "OpenGL Render    : " << reno.gl_renderer << "\n";
    xer << "OpenGL Version   : " << reno.gl_version << " (" << v << ")\n";
    xer << "OpenGL Extensions: " << reno.gl_extensions << "\n";
    xer << "threaded_avail   : " << threaded_avail << "\n";
    xer << "tex_clamp_avail  : " << tex_clamp_avail << "\n";
    xer << "add_env_avail    : " << add_env_avail << "\n";
    xer << "combine_avail    : " << combine_avail << "\n";
    xer << "dis_fog_avail    : " << dis_fog_avail << "\n";
    xer << "instance_avail   : " << instance_avail << "\n";
    xer << "two-sided stencil: " << stencil_2side_avail << "\n";
    xer << "separate stencil : " << stencil_sep_avail << "\n";
    xer << "tex_comp_avail   : " << tex_comp_avail << "\n";
    xer << "vbo_avail        : " << vbo_avail << "\n";
    xer << "pbo_avail        : " << pbo_avail << "\n";
    xer << "automini_avail   : " << automini_avail << "\n";
    xer << "aniso_avail      : " << aniso_avail << "\n";
    xer << "fsaa_avail       : " << fsaa_avail << "\n";
    xer << "occlude_avail    : " << occlude_avail << "\n";
    xer << "sprites_avail    : " << sprites_avail << "\n";
    xer << "sblend_avail     : " << sblend_avail << "/" << sblende_avail << "\n";
    xer << "vprog_avail      : " << vprog_avail << " (" << vprog_native_instructions << ")\n";
    xer << "fprog_avail      : " << fprog_avail << " (" << fprog_native_instructions << "/" << fprog_alu_instructions
        << "/" << fprog_tex_instructions << "/" << fprog_tex_indirections << ")\n";
    xer << "depth_tex_avail  : " << depth_tex_avail << "\n";
    xer << "shad_objs_avail  : " << shad_objs_avail << "\n";
    xer << "vshader_avail    : " << vshader_avail << " (" << max_vertex_attribs << "/" << max_vertex_uniforms << "/"
        << max_varying_floats << "/" << max_combined_tex_units << "/" << max_vertex_tex_units << "/"
        << max_fragment_uniforms << ")\n";
    xer << "fshader_avail    : " << fshader_avail << " (" << max_fragment_uniforms << ")\n";
    xer << "glsl_avail       : " << glsl_avail << " (" << glsl_text << "/" << glsl_version << ")\n";
    xer << "first-gen shaders: " << first_gen_shaders << "\n";
    xer << "gshader_avail    : " << gshader_avail << "\n";
    xer << "buniform_avail   : " << buniform_avail << "\n";
    xer << "shad_lod_avail   : " << shad_lod_avail << "\n";
    xer << "framebuf_avail   : " << framebuf_avail << "\n";
    xer << "frameblit_avail  : " << frameblit_avail << "\n";
    xer << "drawbuf_avail    : " << drawbuf_avail << "\n";
    xer << "drawbuf2_avail   : " << drawbuf2_avail << "\n";
    xer << "tex_float_avail  : " << tex_float_avail << "\n";
    xer << "non_pots_avail   : " << non_pots_avail << "\n";
    xer << "packed_stencil   : " << packed_stencil << "\n";
    xer << "texture_rg       : " << texture_rg << "\n";
    xer << "framebuffer_srgb : " << framebuffer_srgb << "\n";
    xer << "max tex units    : " << reno.tex_units << " (" << reno.tex_image_units << "/" << reno.tex_coord_units
        << ")\n";
    xer << "max iso filtering: " << reno.max_aniso << "\n";
    xer << "max texture size : " << max_tex_size << " (hardware limit)\n";
    xer << "max point size   : " << reno.max_point_size << "\n";
    xer << "idx in vram      : " << idx_in_vram << "\n";

    // 16. Texture environments exist only on the fixed-function units, whatever GLSL adds.
    reno.ff_tex_units = std::max(reno.tex_units, 1);
    if (glsl_avail) reno.tex_units = std::max(reno.tex_units, reno.tex_image_units);
    xer << "use_vsync1       : " << reno.use_vsync1 << "\n";
    xer << "use_vsync2       : " << reno.use_vsync2 << "\n";
    xer.flush();

    // 17. Minimum requirements: the last test that applies names the problem.
    std::string problem;
    if (!multitex_avail && v <= 120)
        problem = "Your graphics hardware cannot support Ventaro. Ventaro requires a graphics card with 16 MB of VRAM "
                  "and multitexturing.";
    if (renderer == "GDI Generic") problem = "You do not have OpenGL drivers installed!";
    if (!sblend_avail && v <= 139)
        problem = "Your graphics hardware cannot support Ventaro. Your card must at least support OpenGL 1.4 or higher.";
    if (!problem.empty()) {
        if (!cmdline.has_option("--force_run")) {
            MACIBM_alert(0, UTL_translate_string(problem, 0),
                         UTL_translate_string("First, try updating or re-installing your graphics drivers.", 0),
                         UTL_translate_string("If this does not help, check your graphics card specifications.", 0),
                         UTL_translate_string("For tech support, email ", 0) + kSupportMail, t_quit);
        } else {
            MACIBM_alert(0, UTL_translate_string(problem, 0),
                         UTL_translate_string("Your system does not meet Ventaro's hardware requirements.", 0),
                         UTL_translate_string("You have used the force-run command inline option to run Ventaro "
                                              "anyway, but it may crash.", 0),
                         UTL_translate_string("Go to ", 0) + kWebAddress +
                             UTL_translate_string(" for system requirements and tech support information.", 0),
                         t_warn);
        }
    }

    // 18. The old software renderers (llvmpipe and its kin are not among them).
    if (renderer == "GENERIC" || renderer == "Generic" || renderer == "generic" || renderer == "Mesa GLX Indirect") {
        MACIBM_alert(0,
                     UTL_translate_string("I can not find a 3-D accelerator card that can handle OpenGL that has "
                                          "correctly installed drivers.", 0),
                     UTL_translate_string("I will still let you run the simulator, but the frame rate will NOT allow "
                                          "for a good simulation.", 0),
                     UTL_translate_string("To fly realistically, you need a 3-D accelerator card that can handle "
                                          "OpenGL.", 0),
                     UTL_translate_string("See ", 0) + kWebAddress +
                         UTL_translate_string(" for a list of the currently-compatible 3-D video cards.", 0),
                     t_warn);
    }
}

void OGL_extensions::threaded_ogl_failed() {
    if (!threaded_avail) return;
    threaded_avail = 0;
    MACIBM_alert(0, UTL_translate_string("There was a problem setting up OpenGL.", 0),
                 UTL_translate_string("You can still fly, but you may experience pauses during flight while scenery loads.", 0),
                 "", UTL_translate_string("(Please send your log.txt file to Quillon Research for debugging purposes.)", 0),
                 t_warn);
}

void OGL_extensions::framebuf_failed() {
    if (!framebuf_avail) return;
    framebuf_avail = 0;
    frameblit_avail = 0;
    MACIBM_alert(0, UTL_translate_string("There was a problem setting up OpenGL.", 0),
                 UTL_translate_string("You can still fly, but you may experience pauses during flight while scenery loads.", 0),
                 "", UTL_translate_string("(Please send your log.txt file to Quillon Research for debugging purposes.)", 0),
                 t_warn);
}

namespace {
int threaded_avail() { return glExt.threaded_avail; }
void threaded_failed() { glExt.threaded_ogl_failed(); }
// The thread layer asks here whether a worker may have a context of its own.
const bool threads_offered = (thread_gl_hooks.threaded_avail = &threaded_avail,
                              thread_gl_hooks.threaded_failed = &threaded_failed, true);
}  // namespace
