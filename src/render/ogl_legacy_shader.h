#pragma once
// Plain textured drawing in the fixed-function state, and where GLSL is there the matching
// variant of the shader family built from "legacy.glsl" (fog, 0 to 2 textures, gamma while
// rendering into a floating-point target or G-buffer, lighting), with its sampler and gamma
// uniforms kept up to date. Unbind with OGL_shader::unbind_shaders after drawing.
#include "render/ogl_state.h"

class OGL_shader_conditional;

// The arguments of OGL_setstate; fixed-function fog stays off whatever is asked (the shader
// does fog). Textures are bound on units 0 and 1 by the caller.
void OGL_set_legacy_shader(ogl_fog_mode fog, int textures, ogl_lit_mode lit, ogl_al_mode alpha,
                           ogl_deR_mode depth_test, ogl_deW_mode depth_write);
void OGL_set_legacy_shader(int fog, int textures, int lit, int alpha, int depth_test, int depth_write);

// The shader family, null until the first call that found GLSL.
OGL_shader_conditional* OGL_legacy_shader();
// Test seam: destroys the family so the next call builds it again.
void OGL_legacy_shader_forget_for_test();
