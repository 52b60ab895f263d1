#pragma once
// Marks collected during a frame for debugging physics (probe points, centres of gravity,
// triangles and force arrows, as 3-D points in the caller's current 3-D view) and drawn in one
// pass. Main thread only.

void OGL_show_probe(const float* point);
void OGL_show_cg(const float* point);
void OGL_show_tri(const float* p1, const float* p2, const float* p3);
// The arrow runs from point to point + force.
void OGL_show_force(const float* point, const float* force);
// Draws every mark; with purge the lists are emptied afterwards.
void OGL_draw_and_purge_physics(bool purge);
