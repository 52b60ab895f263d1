#pragma once
// Renderer options: what the window was given, what capability detection found, and the
// options the drawing and texture code read.

class reno_class {
public:
    // The option defaults, once capability detection has run.
    void reno_init();

    float max_aniso = 1.0f;     // largest anisotropic filtering factor; 1.0 without it
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
    int aniso_level = 0;        // anisotropic filtering level to use
    int use_comp_tex = 0;       // nonzero prefers compressed (".dds") textures
};

extern reno_class reno;
