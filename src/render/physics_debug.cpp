#include "render/physics_debug.h"

#include <vector>

#include "render/gl_api.h"
#include "render/ogl_state.h"

namespace {
std::vector<float> d_probe;
std::vector<float> d_cg;
std::vector<float> d_tris;
std::vector<float> d_forces;

void add(std::vector<float>& list, const float* p) { list.insert(list.end(), p, p + 3); }

void points(const std::vector<float>& list) {
    gl.glBegin(GL_POINTS);
    for (std::size_t i = 0; i < list.size(); i += 3) gl.glVertex3fv(&list[i]);
    gl.glEnd();
}
}  // namespace

void OGL_show_probe(const float* point) { add(d_probe, point); }
void OGL_show_cg(const float* point) { add(d_cg, point); }

void OGL_show_tri(const float* p1, const float* p2, const float* p3) {
    add(d_tris, p1);
    add(d_tris, p2);
    add(d_tris, p3);
}

void OGL_show_force(const float* point, const float* force) {
    add(d_forces, point);
    const float tip[3] = {point[0] + force[0], point[1] + force[1], point[2] + force[2]};
    add(d_forces, tip);
}

void OGL_draw_and_purge_physics(bool purge) {
    OGL_setstate(1, 0, 1, 1, 1, 1);
    gl.glBegin(GL_LINES);
    for (std::size_t i = 0; i < d_forces.size(); i += 6) {
        gl.glColor3f(0, 1, 0);
        gl.glVertex3fv(&d_forces[i]);
        gl.glColor3f(1, 0, 0);
        gl.glVertex3fv(&d_forces[i + 3]);
    }
    gl.glColor3f(0.4f, 0.4f, 1.0f);
    for (std::size_t i = 0; i < d_tris.size(); i += 9) {
        const float* p = &d_tris[i];
        for (const int e : {0, 3, 3, 6, 6, 0}) gl.glVertex3fv(p + e);
    }
    gl.glEnd();

    gl.glColor4f(0.5f, 0.5f, 0.5f, 0.2f);
    gl.glBegin(GL_TRIANGLES);
    for (std::size_t i = 0; i < d_tris.size(); i += 3) gl.glVertex3fv(&d_tris[i]);
    gl.glEnd();

    gl.glPointSize(4);
    gl.glColor3f(1.0f, 0.8f, 0.0f);
    points(d_cg);
    gl.glPointSize(1);
    gl.glColor4f(1, 1, 1, 0.9f);
    points(d_probe);

    if (!purge) return;
    d_forces.clear();
    d_tris.clear();
    d_cg.clear();
    d_probe.clear();
}

