#pragma once
// What the OpenGL implementation can do: its version, capability flags, limits and extension
// entry points, read once the first context is current. Drawing code reads the flags and calls
// an extension only through its slot here, guarded by the slot's flag.
#include <string>

#include "render/gl_api.h"
#include "render/gl_ext_list.h"

class OGL_extensions {
public:
    // Reads the implementation, applies the driver workarounds and command-line switches, loads
    // the entry points, logs the lot and raises the hardware-requirement alerts.
    void init_extensions();
    // Makes sure an OpenGL library is there to load from; 0, or an error code.
    int init_entry_points();
    // A worker context could not be made: warn once and carry on without threaded OpenGL.
    void threaded_ogl_failed();
    // A framebuffer object failed: warn once and carry on without them.
    void framebuf_failed();

    // Extension entry points, in slot order, null until loaded (gl_ext_list.h).
#define VENTARO_GL_EXT_SLOT(flag, ret, name, params, args, kinds) ret(APIENTRY* name) params = nullptr;
    VENTARO_GL_EXT_FUNCS(VENTARO_GL_EXT_SLOT)
#undef VENTARO_GL_EXT_SLOT

    int multitex_avail = 0;
    int tex_clamp_avail = 0;
    int add_env_avail = 0;
    int combine_avail = 0;
    int dis_fog_avail = 0;
    int instance_avail = 0;
    int stencil_2side_avail = 0;
    int stencil_sep_avail = 0;
    int tex_comp_avail = 0;
    int vbo_avail = 0;
    int pbo_avail = 0;
    int vprog_avail = 0;
    int fprog_avail = 0;
    int automini_avail = 0;
    int aniso_avail = 0;
    int fsaa_avail = 0;
    int sprites_avail = 0;
    int depth_tex_avail = 0;
    int occlude_avail = 0;
    int shad_objs_avail = 0;
    int vshader_avail = 0;
    int fshader_avail = 0;
    int gshader_avail = 0;
    int buniform_avail = 0;
    int glsl_avail = 0;
    int first_gen_shaders = 0;
    int glsl_version = 0;
    int shad_lod_avail = 0;
    int framebuf_avail = 0;
    int frameblit_avail = 0;
    int sblend_avail = 0;
    int sblende_avail = 0;
    int drawbuf_avail = 0;
    int drawbuf2_avail = 0;
    int packed_stencil = 0;
    int texture_rg = 0;
    int framebuffer_srgb = 0;
    int tex_float_avail = 0;
    int threaded_avail = 1;
    int non_pots_avail = 0;
    int idx_in_vram = 1;
    int subtex_avail = 1;
    int max_tex_size = 0;

    int version = 0;   // 100 x major + 10 x minor

    // Limits read for the log (0 when not read).
    int vprog_native_instructions = 0;
    int fprog_native_instructions = 0, fprog_alu_instructions = 0, fprog_tex_instructions = 0,
        fprog_tex_indirections = 0;
    int max_vertex_attribs = 0, max_vertex_uniforms = 0, max_varying_floats = 0, max_combined_tex_units = 0,
        max_vertex_tex_units = 0, max_fragment_uniforms = 0;
};

extern OGL_extensions glExt;

// Looks an entry point up by name; a name ending in "ARB" or "EXT" that the library lacks falls
// back to the core function of the same name without those letters.
gl_proc_t glGetProcAddress(const char* name);
// Buffer-object names are made and deleted under one lock.
void APIENTRY MY_glGenBuffers(GLsizei n, GLuint* buffers);
void APIENTRY MY_glDeleteBuffers(GLsizei n, const GLuint* buffers);
// The standard's name of an enumerant of the texture-format, framebuffer-status, primitive,
// data-type and shader-type groups; "0x%08x" for any other value.
std::string OGL_get_token_name(unsigned value);

// Version number from a GL_VERSION text: "2.1 ..." gives 210.
int OGL_version_number(const char* version);

// Test seam: the system version the driver workarounds compare with (-1: the query fails;
// null restores the system's own).
void OGL_set_system_version_for_test(const int* version);
