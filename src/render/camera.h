#pragma once
// The camera: a projection and a modelview (column-major floats, render/matrix.h) with what the
// drawing code needs to know of the view volume. It never loads itself into OpenGL: the view
// setup (render/view.h) configures the one global camera `xcam` and loads it.
//
// Eye space looks down -z, so near_z and far_z are negative for planes in front of the eye.
#include "core/stats.h"
#include "render/ogl_draw.h"   // accum_segment, which the bounds below use

class xcam_class {
public:
    xcam_class();                       // identity matrices, orthographic, modelview stale
    explicit xcam_class(const xcam_class* other);   // a copy of *other; a default camera for null
    xcam_class(const xcam_class&) = default;
    xcam_class& operator=(const xcam_class&) = default;

    void SetupOrtho(float left, float right, float bottom, float top, float near, float far);
    // Bounds at the near plane; also computes the four side planes.
    void SetupFrustum(float left, float right, float bottom, float top, float near, float far);
    void SetupPerspective(float fovy, float aspect, float near, float far);
    void ResetFakeFarClippingPlane();
    void SetFakeFarClippingPlane(float distance);   // never beyond the real far plane

    void Identity();
    void LookAtPtFromPt(float eye_x, float eye_y, float eye_z, float centre_x, float centre_y, float centre_z,
                        float up_x, float up_y, float up_z);
    // From a point on the sphere of radius distance around the target, seen at heading and pitch.
    void LookAtPtFromDir(float x, float y, float z, float heading, float pitch, float distance);
    void Translate(float x, float y, float z);
    void Rotate(float angle, float x, float y, float z);

    // Screen-aligned axes for sprites (read OpenGL's modelview first while it is stale).
    void CalcBillboardCamera(float right[3], float up[3]);
    // The same with a horizontal right axis.
    void CalcBillboardGround(float right[3], float up[3]);
    // 0 for an orthographic camera (nothing written); else 1 and the cosines of the half fields of view.
    int GetFOVHalfCosines(float* horizontal, float* vertical) const;

    // An orthographic light camera looking along direction, fitted around the slice between
    // near_frac and far_frac of the other camera's depth (shadow maps).
    void LookAtCamera(const xcam_class* other, const float direction[3], float distance, float near_frac,
                      float far_frac);
    // World-space box of the view volume, cut at max_distance, between the heights low and high.
    // 1 when anything lay inside.
    int GetFrustumBounds(float max_distance, float low, float high, float min[3], float max[3]) const;
    // Interface coordinates of a world point; viewport (x, y, width, height) is read from OpenGL when null.
    void mtr_to_pix(const float point[3], float out[2], const float* viewport) const;

    bool is_ortho = false;
    float near_z = 0;
    float far_z = 0;
    float fake_far_z = 0;
    float plane_top[3] = {};       // unit normals into the frustum through the eye
    float plane_left[3] = {};
    float plane_right[3] = {};
    float plane_bottom[3] = {};
    float ortho_top = 0;
    float ortho_left = 0;
    float ortho_right = 0;
    float ortho_bottom = 0;
    bool modelview_stale = false;  // the modelview may differ from OpenGL's
    float projection[16] = {};
    float modelview[16] = {};
};

extern xcam_class xcam;

// Tunables the camera reads.
extern UTL_stat gKillClip;         // nonzero: project only the central tenth of a frustum
extern UTL_stat gKillCull;         // nonzero: side planes of the central tenth only
extern UTL_stat gExtraNearConst;   // fixed padding of a shadow box towards the light
extern UTL_stat gExtraNearRatio;   // padding in proportion to the box's depth
