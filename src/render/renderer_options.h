#pragma once
// Renderer options: what the window was given, what capability detection found, and the
// options the drawing and texture code read. Zero at program start but for one switch;
// reno_init gives the option defaults once capability detection has run.

class reno_class {
public:
    // The option defaults; reads max_aniso and the GLSL capability of glExt.
    void reno_init();
    // The shutdown counterpart; there is nothing to release.
    void reno_wind() {}

    float max_aniso = 0;        // largest anisotropic filtering factor; 1.0 without it
    int tex_units = 0;          // texture units in use, at least 1 (with GLSL: the image units too)
    int ff_tex_units = 0;       // fixed-function units (texture environments), at least 1
    int tex_image_units = 0;    // fragment-stage texture image units
    int tex_coord_units = 0;    // texture coordinate sets
    float max_point_size = 0;   // upper end of GL_POINT_SIZE_RANGE
    // The implementation's identification strings (owned by OpenGL; "" when it gave none).
    const char* gl_vendor = "";
    const char* gl_renderer = "";
    const char* gl_version = "";
    const char* gl_extensions = "";

    int tex_res = 0;            // texture resolution level; 5 is full resolution
    int use_vsync1 = 0;         // synchronise with every retrace
    int use_vsync2 = 0;         // synchronise with every second retrace
    int alias_req = 0;          // requested anti-aliasing: 0 none, 1 two samples ... 4 sixteen
    int alias_got = 0;          // the level the pixel format achieved, same scale

    // Switches of the simulator's scene drawing that this program only starts, in record order.
    // The shader switches follow the GLSL capability.
    int opt_a = 0;
    float opt_factor = 0;
    int opt_b = 0, opt_c = 0;
    int shader_opt_a = 0;
    int opt_d = 0;
    int opt_e = 0, opt_f = 0, opt_g = 0, opt_h = 0;
    int aniso_level = 0;        // anisotropic filtering level to use, at most 4
    int use_comp_tex = 0;       // nonzero prefers compressed textures where the hardware has them
    int opt_i = 0;
    int opt_j = 0;
    int shader_opt_b = 0, shader_opt_c = 0, shader_opt_d = 0;
    int opt_k[5] = {};
    int opt_l = 0, opt_m = 0;
    int opt_on_at_start = 1;    // the one switch that is on before reno_init
};

extern reno_class reno;
