#pragma once
// The texture binding cache: binds a texture name on a unit and sets the unit's texture
// environment, remembering per unit what it last set, so a repeated bind issues no OpenGL call.
// Main thread only. Code that changes bindings behind its back calls TEX_reset_bind.
//
// Environment values ("type"): 0 modulate; 33 bind only, the environment is left alone; 1 to 6
// and 14 to 32 combine recipes; anything else is set as GL_TEXTURE_ENV_MODE unchanged (GL_REPLACE,
// GL_DECAL, GL_BLEND, GL_ADD may be passed directly).
#include "core/stats.h"

constexpr int tex_env_modulate = 0;
constexpr int tex_env_bind_only = 33;

// unit: 0 to 7 (the cache's size; other units are refused with no call); target GL_TEXTURE_2D or
// GL_TEXTURE_3D. While "perf/kill_tex" is not 0 every texture but the interface atlas binds as
// the grey placeholder.
void TEX_bind_ref(int name, int unit, int type, unsigned long target);
// Forgets what every unit holds; the next bind on each issues its calls again.
void TEX_reset_bind();
// The unit's environment colour: (level, level, level, level), or the tint. Units beyond the
// fixed-function ones (which alone have texture environments) are ignored. The cache is not
// consulted, and unit 0 is left active.
void TEX_set_blend_level(int unit, float level);
void TEX_set_tint(int unit, float r, float g, float b, float a);

// The tunable setting "perf/kill_tex".
extern UTL_stat gKillTex;
