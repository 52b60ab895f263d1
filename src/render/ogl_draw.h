#pragma once
// Drawing primitives: palette-coloured quads, rectangles, lines, triangles, circles and arcs in
// interface units (relative to the open panel, y up), and a few 3-D pieces for callers that have
// begun their own primitive.
//
//   OGL_fillrect(39, 1.0f, 10, 10, 200, 30);         // colour index 39, opaque
//   OGL_line(57, 0.5f, 0, 0, 100, 100);               // half-transparent white
//
// Every 2-D primitive sets its own fixed-function state through OGL_setstate, sets the colour by
// the palette rule (OGL_set_palette_color) and adds wins.off_x / wins.off_y to every vertex.
// Lines, outlines and triangles also add half a unit, so they fall on pixel centres; fills,
// quads and text do not. Quads and triangles must be given clockwise on the screen (y up): back
// faces are culled. Main thread only; nothing here allocates.
#include "render/ogl_state.h"

// Sine and cosine of every whole degree 0..360 for circles and rings; start-up fills them in.
extern float lookup_sin[361];
extern float lookup_cos[361];

// The palette colour rule: slot n scaled by the brightness factors (slots up to 38 only), pulled
// to red by colr.fade or to green by colr.mono, alpha times ren.alpha; a nearly opaque result
// (above 0.99) goes out as a three-component colour. A slot outside the palette draws black.
void OGL_set_palette_color(int n, float alpha);

// Corners in the order given, each x, y, s, t. A texture ref of 0 or less binds nothing.
void OGL_2dquad(int tex_ref, int colour, float alpha, float x1, float y1, float s1, float t1, float x2, float y2,
                float s2, float t2, float x3, float y3, float s3, float t3, float x4, float y4, float s4, float t4,
                int units, ogl_al_mode alpha_mode, int env_mode);
// The axis-aligned quad x..x+w, y..y+h showing s..s+tw, t..t+th of the texture.
void OGL_2dquad_d(int tex_ref, int colour, float alpha, float x, float y, float s, float t, float w, float h, float tw,
                  float th, ogl_al_mode alpha_mode);

void OGL_fillrect(int colour, float alpha, float x, float y, float w, float h);
void OGL_framerect(int colour, float alpha, float x, float y, float w, float h);
// Between two corners, in palette slot 12.
void OGL_grayrect(float x1, float y1, float x2, float y2, float alpha);
void OGL_line(int colour, float alpha, float x1, float y1, float x2, float y2);
void OGL_filltri(int colour, float alpha, float x1, float y1, float x2, float y2, float x3, float y3);
// A disc of horizontal lines, one per unit of height.
void OGL_fillcircle(int colour, float alpha, float x, float y, float radius);
// 72 segments; angle 0 is straight up, angles grow clockwise.
void OGL_framecircle(int colour, float alpha, float x, float y, float radius);
// A ring sector from start to end degrees (clockwise from up), one quad per degree; the alpha is
// ren.alpha alone.
void OGL_arc(int colour, float x, float y, float inner, float outer, float start_deg, float end_deg);

// Sets the current colour from a seven-stop ramp over 0..1: black, red, orange, yellow, green,
// blue, violet. Below 0 is black, above 1 counts as 1.
void OGL_spectrum_rgb(float value);

// 3-D pieces: vertices (and normals and texture coordinates) only, inside a glBegin the caller
// made; state and colour are the caller's.
void OGL_3dline(float x1, float y1, float z1, float x2, float y2, float z2);
void OGL_3dquad(const float p1[3], const float p2[3], const float p3[3], const float p4[3]);
void OGL_3dquad_st(const float p1[3], const float p2[3], const float p3[3], const float p4[3], float s0, float t0,
                   float s1, float t1);
// These two make their own glBegin / glEnd and push and pop the modelview.
// A textured box standing on (x, y, z): walls s0..s1 across, t_bottom..t_top upwards.
void OGL_cube(float x, float y, float z, float width, float height, float depth, float s0, float s1, float t_bottom,
              float t_top);
// A bevelled disc around the x axis, size the half-thickness and the radius.
void OGL_disc(float x, float y, float z, float size);

// Grows the box min..max by the part of the segment p1-p2 whose height (y) lies between low and
// high.
void accum_segment(float low, float high, const float p1[3], const float p2[3], float min[3], float max[3]);
