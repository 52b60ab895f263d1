#include "render/camera.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "render/gl_api.h"
#include "render/matrix.h"
#include "render/ogl_draw.h"
#include "render/panel_record.h"

xcam_class xcam;

UTL_stat gKillClip("perf/kill_clip", stat_setting, 0.0f);
UTL_stat gKillCull("perf/kill_cull", stat_setting, 0.0f);
UTL_stat gExtraNearConst("shadow/csm/pad_near_const", stat_setting, 5.0f);
UTL_stat gExtraNearRatio("shadow/csm/pad_near_ratio", stat_setting, 1.0f);

namespace {

constexpr double kDegToRad = 0.017453292519943295;
constexpr double kHalfDegToRad = 3.141592653589793 / 360.0;

void normalise_if_long(float v[3]) {
    const float len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (len > 0) {
        v[0] /= len;
        v[1] /= len;
        v[2] /= len;
    }
}

void cross(const float a[3], const float b[3], float out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

void transform4(const float* m, const float in[4], float out[4]) {
    for (int r = 0; r < 4; ++r) out[r] = m[r] * in[0] + m[4 + r] * in[1] + m[8 + r] * in[2] + m[12 + r] * in[3];
}

// The corners of a projection's clip cube taken back to eye space.
void unproject(const float* inverse_projection, const float ndc[3], float eye[3]) {
    const float in[4] = {ndc[0], ndc[1], ndc[2], 1};
    float q[4];
    transform4(inverse_projection, in, q);
    for (int i = 0; i < 3; ++i) eye[i] = q[i] / q[3];
}

void add_point(const float p[3], float min[3], float max[3]) {
    for (int i = 0; i < 3; ++i) {
        min[i] = std::min(min[i], p[i]);
        max[i] = std::max(max[i], p[i]);
    }
}

float clamp_between(float v, float a, float b) { return std::clamp(v, std::min(a, b), std::max(a, b)); }

// A matrix that a singular input leaves behind when the inversion is not checked.
void invert_or_identity(float* out, const float* in) {
    setIdentityMatrixf(out);
    invertMatrixf(out, in);
}

}  // namespace

xcam_class::xcam_class() {
    setIdentityMatrixf(projection);
    setIdentityMatrixf(modelview);
    is_ortho = true;
    modelview_stale = true;
}

xcam_class::xcam_class(const xcam_class* other) : xcam_class() {
    if (other) *this = *other;
}

void xcam_class::SetupOrtho(float l, float r, float b, float t, float n, float f) {
    is_ortho = true;
    buildOrthoMatrixf(projection, l, r, b, t, n, f);
    ortho_top = t;
    ortho_left = l;
    ortho_right = r;
    ortho_bottom = b;
    near_z = -n;
    far_z = -f;
    fake_far_z = -f;
}

void xcam_class::SetupFrustum(float l, float r, float b, float t, float n, float f) {
    is_ortho = false;
    const float cl = clamp_between(l + 0.45f * (r - l), l, r);
    const float cr = clamp_between(l + 0.55f * (r - l), l, r);
    const float cb = clamp_between(b + 0.45f * (t - b), b, t);
    const float ct = clamp_between(b + 0.55f * (t - b), b, t);

    if (*gKillClip.value != 0) buildFrustumMatrixf(projection, cl, cr, cb, ct, n, f);
    else buildFrustumMatrixf(projection, l, r, b, t, n, f);

    const bool central = *gKillCull.value != 0;
    const float L = central ? cl : l, R = central ? cr : r, B = central ? cb : b, T = central ? ct : t;
    float tl[3] = {L, T, -n}, tr[3] = {R, T, -n}, bl[3] = {L, B, -n}, br[3] = {R, B, -n};
    normalise_if_long(tl);
    normalise_if_long(tr);
    normalise_if_long(bl);
    normalise_if_long(br);
    cross(tl, tr, plane_top);
    cross(tr, br, plane_right);
    cross(br, bl, plane_bottom);
    cross(bl, tl, plane_left);
    normalise_if_long(plane_top);
    normalise_if_long(plane_right);
    normalise_if_long(plane_bottom);
    normalise_if_long(plane_left);

    near_z = -n;
    far_z = -f;
    fake_far_z = -f;
}

void xcam_class::SetupPerspective(float fovy, float aspect, float n, float f) {
    const float h = static_cast<float>(static_cast<double>(n) * std::tan(static_cast<double>(fovy) * kHalfDegToRad));
    SetupFrustum(-h * aspect, h * aspect, -h, h, n, f);
}

void xcam_class::ResetFakeFarClippingPlane() { fake_far_z = far_z; }

void xcam_class::SetFakeFarClippingPlane(float distance) { fake_far_z = std::max(-distance, far_z); }

void xcam_class::Identity() { setIdentityMatrixf(modelview); }

void xcam_class::LookAtPtFromPt(float ex, float ey, float ez, float cx, float cy, float cz, float ux, float uy,
                                float uz) {
    buildLookAtMatrixf(modelview, ex, ey, ez, cx, cy, cz, ux, uy, uz);
}

void xcam_class::LookAtPtFromDir(float x, float y, float z, float heading, float pitch, float distance) {
    const float p = static_cast<float>(static_cast<double>(pitch) * kDegToRad);
    const float h = static_cast<float>(static_cast<double>(heading) * kDegToRad);
    const float flat = std::cos(p) * distance;
    const float dx = flat * std::cos(h);
    const float dy = distance * std::sin(p);
    const float dz = flat * std::sin(h);
    buildLookAtMatrixf(modelview, x + dx, y + dy, z + dz, x, y, z, 0, 1, 0);
}

void xcam_class::Translate(float x, float y, float z) { applyTranslationf(modelview, x, y, z); }

void xcam_class::Rotate(float angle, float x, float y, float z) { applyRotationf(modelview, angle, x, y, z); }

void xcam_class::CalcBillboardCamera(float right[3], float up[3]) {
    if (modelview_stale) {
        modelview_stale = false;
        gl.glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    }
    up[0] = modelview[1];
    up[1] = modelview[5];
    up[2] = modelview[9];
    right[0] = modelview[0];
    right[1] = modelview[4];
    right[2] = modelview[8];
}

void xcam_class::CalcBillboardGround(float right[3], float up[3]) {
    if (modelview_stale) {
        modelview_stale = false;
        gl.glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    }
    const float view[3] = {-modelview[2], -modelview[6], -modelview[10]};
    right[0] = -view[2];
    right[1] = 0;
    right[2] = view[0];
    normalise_if_long(right);
    cross(right, view, up);
    normalise_if_long(up);
}

int xcam_class::GetFOVHalfCosines(float* horizontal, float* vertical) const {
    if (is_ortho) return 0;
    if (horizontal) *horizontal = (plane_left[0] - plane_right[0]) * 0.5f;
    if (vertical) *vertical = (plane_bottom[1] - plane_top[1]) * 0.5f;
    return 1;
}

void xcam_class::LookAtCamera(const xcam_class* other, const float dir[3], float dist, float near_frac,
                              float far_frac) {
    float inv_projection[16], inv_view[16];
    invert_or_identity(inv_projection, other->projection);
    invert_or_identity(inv_view, other->modelview);

    const float eye[3] = {inv_view[12], inv_view[13], inv_view[14]};
    buildLookAtMatrixf(modelview, eye[0] - dist * dir[0], eye[1] - dist * dir[1], eye[2] - dist * dir[2], eye[0],
                       eye[1], eye[2], 0, 1, 0);

    static constexpr float kCorners[8][4] = {{-1, -1, -1, 1}, {-1, -1, 1, 1}, {-1, 1, -1, 1}, {-1, 1, 1, 1},
                                             {1, -1, -1, 1},  {1, -1, 1, 1},  {1, 1, -1, 1},  {1, 1, 1, 1}};
    float light[8][3];
    for (int i = 0; i < 8; ++i) {
        float q[4], world[4];
        transform4(inv_projection, kCorners[i], q);
        transform4(inv_view, q, world);
        const float p[4] = {world[0] / world[3], world[1] / world[3], world[2] / world[3], 1};
        float l[4];
        transform4(modelview, p, l);
        for (int j = 0; j < 3; ++j) light[i][j] = l[j];
    }

    // Each near-to-far edge is cut down to the slice.
    for (int e = 0; e < 4; ++e) {
        float* a = light[2 * e];
        float* b = light[2 * e + 1];
        for (int j = 0; j < 3; ++j) {
            const float va = a[j], vb = b[j];
            a[j] = clamp_between(va + near_frac * (vb - va), va, vb);
            b[j] = clamp_between(va + far_frac * (vb - va), va, vb);
        }
    }

    float lo[3] = {light[0][0], light[0][1], light[0][2]};
    float hi[3] = {lo[0], lo[1], lo[2]};
    for (int i = 1; i < 8; ++i) add_point(light[i], lo, hi);

    const float pad = (hi[2] - lo[2]) * *gExtraNearRatio.value + *gExtraNearConst.value;
    const float reach = hi[2] + pad;

    is_ortho = true;
    buildOrthoMatrixf(projection, lo[0], hi[0], lo[1], hi[1], -reach, -lo[2]);
    ortho_top = hi[1];
    ortho_left = lo[0];
    ortho_right = hi[0];
    ortho_bottom = lo[1];
    near_z = reach;
    far_z = lo[2];
    fake_far_z = lo[2];
}

int xcam_class::GetFrustumBounds(float max_distance, float low, float high, float min[3], float max[3]) const {
    float inv_view[16];
    invert_or_identity(inv_view, modelview);
    const float z_limit = std::max(far_z, -max_distance);

    // Top four before bottom four, left before right, near and far alternating.
    float eye[8][3];
    if (is_ortho) {
        for (int i = 0; i < 8; ++i) {
            eye[i][0] = (i & 2) ? ortho_right : ortho_left;
            eye[i][1] = i < 4 ? ortho_top : ortho_bottom;
            eye[i][2] = (i & 1) ? z_limit : near_z;
        }
    } else {
        float inv_projection[16];
        invert_or_identity(inv_projection, projection);
        for (int i = 0; i < 8; ++i) {
            const float ndc[3] = {(i & 2) ? 1.0f : -1.0f, i < 4 ? 1.0f : -1.0f, (i & 1) ? 1.0f : -1.0f};
            unproject(inv_projection, ndc, eye[i]);
            if (eye[i][2] < -max_distance) {
                const float k = -max_distance / eye[i][2];
                for (float& c : eye[i]) c *= k;
            }
        }
    }

    float world[8][3];
    for (int i = 0; i < 8; ++i) {
        const float in[4] = {eye[i][0], eye[i][1], eye[i][2], 1};
        float out[4];
        transform4(inv_view, in, out);
        for (int j = 0; j < 3; ++j) world[i][j] = out[j];
    }

    for (int i = 0; i < 3; ++i) {
        min[i] = 9.9e9f;
        max[i] = -9.9e9f;
    }
    // Near face 0-2-6-4, far face 1-3-7-5, then the four edges between them.
    static constexpr int kEdges[12][2] = {{0, 2}, {2, 6}, {6, 4}, {4, 0}, {1, 3}, {3, 7},
                                          {7, 5}, {5, 1}, {0, 1}, {2, 3}, {4, 5}, {6, 7}};
    for (const auto& e : kEdges) accum_segment(low, high, world[e[0]], world[e[1]], min, max);
    return max[0] >= min[0] ? 1 : 0;
}

void xcam_class::mtr_to_pix(const float point[3], float out[2], const float* viewport) const {
    const float in[4] = {point[0], point[1], point[2], 1};
    float e[4], c[4];
    transform4(modelview, in, e);
    transform4(projection, e, c);
    float X = c[0], Y = c[1];
    if (c[3] != 0) {
        X /= c[3];
        Y /= c[3];
    }
    const float sx = (X + 1) * 0.5f, sy = (Y + 1) * 0.5f;
    float vp[4] = {};
    if (!viewport) {
        gl.glGetFloatv(GL_VIEWPORT, vp);
        viewport = vp;
    }
    out[0] = (sx * viewport[2] + viewport[0] - wins.off_x) / wins.scale;
    out[1] = (sy * viewport[3] + viewport[1] - wins.off_y) / wins.scale;
}
