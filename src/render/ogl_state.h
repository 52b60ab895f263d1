#pragma once
// The fixed-function state cache: drawing code states its whole requirement (fog, texture units,
// lighting, blending and alpha test, depth test and writes) before every primitive, and only what
// differs from the last request reaches OpenGL. Main thread only, with the context current; it
// stays true only while every change of these switches goes through it.

// For fog, lighting and the two depth switches 0 turns the feature on and 1 turns it off.
enum ogl_fog_mode { ogl_fog_on = 0, ogl_fog_off = 1 };
enum ogl_lit_mode { ogl_lit_on = 0, ogl_lit_off = 1 };
enum ogl_al_mode { ogl_al_none = 0, ogl_al_blend = 1, ogl_al_test = 2, ogl_al_blend_test = 3 };
enum ogl_deR_mode { ogl_deR_on = 0, ogl_deR_off = 1 };
enum ogl_deW_mode { ogl_deW_on = 0, ogl_deW_off = 1 };

// The most texture units the caches track (units 0 to 7); more are refused.
constexpr int ogl_cached_units = 8;

// units: texturing on units 0 to units - 1 (clamped to the renderer's unit count and to the
// cache); 0 or less turns texturing off. Neither the blend nor the alpha function is set here.
void OGL_setstate(ogl_fog_mode fog, int units, ogl_lit_mode lit, ogl_al_mode alpha, ogl_deR_mode depth_test,
                  ogl_deW_mode depth_write);
// The same with plain numbers, as in OGL_setstate(1, 0, 1, 1, 1, 1) for untextured 2-D drawing.
void OGL_setstate(int fog, int units, int lit, int alpha, int depth_test, int depth_write);

// The number of texture units the cache has enabled.
extern int num_units;

// Test seam: forget the cache, so the next call reads the switches from OpenGL again.
void OGL_setstate_forget_for_test();
