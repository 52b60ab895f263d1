#include "render/matrix.h"

#include <cmath>
#include <utility>

#include "core/shared_constants.h"
#include "render/gl_api.h"

// Debian's LAPACK is built from Fortran with 4-byte INTEGERs, so the solver takes int, not f2c's
// `integer` (a long on this platform).
extern "C" void dgesv_(int* n, int* nrhs, double* a, int* lda, int* ipiv, double* b, int* ldb, int* info);

namespace {

constexpr double kDegToRad = 0.017453292519943295;
constexpr double kHalfDegToRad = 3.141592653589793 / 360.0;

template <typename T>
void identity(T* m) {
    for (int i = 0; i < 16; ++i) m[i] = 0;
    m[0] = m[5] = m[10] = m[15] = 1;
}

// Gauss-Jordan on four rows of [in | identity], swapping row pointers for the pivots. Singularity
// is an exact zero pivot; the output is written only once the inverse exists.
template <typename T>
int invert(T* out, const T* in) {
    T rows[4][8];
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            rows[i][j] = in[4 * j + i];
            rows[i][4 + j] = i == j ? T(1) : T(0);
        }
    }
    T* r0 = rows[0];
    T* r1 = rows[1];
    T* r2 = rows[2];
    T* r3 = rows[3];

    if (std::fabs(r3[0]) > std::fabs(r2[0])) std::swap(r3, r2);
    if (std::fabs(r2[0]) > std::fabs(r1[0])) std::swap(r2, r1);
    if (std::fabs(r1[0]) > std::fabs(r0[0])) std::swap(r1, r0);
    if (r0[0] == 0) return 0;

    T m1 = r1[0] / r0[0], m2 = r2[0] / r0[0], m3 = r3[0] / r0[0];
    for (int c = 1; c < 4; ++c) {
        const T s = r0[c];
        r1[c] -= m1 * s;
        r2[c] -= m2 * s;
        r3[c] -= m3 * s;
    }
    for (int c = 4; c < 8; ++c) {
        const T s = r0[c];
        if (s == 0) continue;
        r1[c] -= m1 * s;
        r2[c] -= m2 * s;
        r3[c] -= m3 * s;
    }

    if (std::fabs(r3[1]) > std::fabs(r2[1])) std::swap(r3, r2);
    if (std::fabs(r2[1]) > std::fabs(r1[1])) std::swap(r2, r1);
    if (r1[1] == 0) return 0;

    m2 = r2[1] / r1[1];
    m3 = r3[1] / r1[1];
    for (int c = 2; c < 4; ++c) {
        r2[c] -= m2 * r1[c];
        r3[c] -= m3 * r1[c];
    }
    for (int c = 4; c < 8; ++c) {
        const T s = r1[c];
        if (s == 0) continue;
        r2[c] -= m2 * s;
        r3[c] -= m3 * s;
    }

    if (std::fabs(r3[2]) > std::fabs(r2[2])) std::swap(r3, r2);
    if (r2[2] == 0) return 0;

    m3 = r3[2] / r2[2];
    for (int c = 3; c < 8; ++c) r3[c] -= m3 * r2[c];

    if (r3[3] == 0) return 0;

    T s = 1 / r3[3];
    for (int c = 4; c < 8; ++c) r3[c] *= s;

    m2 = r2[3];
    s = 1 / r2[2];
    for (int c = 4; c < 8; ++c) r2[c] = s * (r2[c] - r3[c] * m2);
    m1 = r1[3];
    for (int c = 4; c < 8; ++c) r1[c] -= r3[c] * m1;
    T m0 = r0[3];
    for (int c = 4; c < 8; ++c) r0[c] -= r3[c] * m0;

    m1 = r1[2];
    s = 1 / r1[1];
    for (int c = 4; c < 8; ++c) r1[c] = s * (r1[c] - r2[c] * m1);
    m0 = r0[2];
    for (int c = 4; c < 8; ++c) r0[c] -= r2[c] * m0;

    m0 = r0[1];
    s = 1 / r0[0];
    for (int c = 4; c < 8; ++c) r0[c] = s * (r0[c] - r1[c] * m0);

    const T* result[4] = {r0, r1, r2, r3};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) out[4 * j + i] = result[i][4 + j];
    return 1;
}

template <typename T>
void frustum(T* m, T l, T r, T b, T t, T n, T f) {
    for (int i = 0; i < 16; ++i) m[i] = 0;
    m[0] = 2 * n / (r - l);
    m[5] = 2 * n / (t - b);
    m[8] = (r + l) / (r - l);
    m[9] = (t + b) / (t - b);
    m[10] = -(f + n) / (f - n);
    m[11] = -1;
    // Formed in double even for floats: f*n loses the most when the planes are far apart.
    m[14] = static_cast<T>(-2.0 * static_cast<double>(f) * static_cast<double>(n) /
                           (static_cast<double>(f) - static_cast<double>(n)));
}

template <typename T>
void ortho(T* m, T l, T r, T b, T t, T n, T f) {
    for (int i = 0; i < 16; ++i) m[i] = 0;
    m[0] = 2 / (r - l);
    m[5] = 2 / (t - b);
    m[10] = -2 / (f - n);
    m[12] = -(r + l) / (r - l);
    m[13] = -(t + b) / (t - b);
    m[14] = -(f + n) / (f - n);
    m[15] = 1;
}

template <typename T>
void normalise_if_long(T v[3]) {
    const T len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (len == 0) return;
    v[0] /= len;
    v[1] /= len;
    v[2] /= len;
}

template <typename T>
void cross(const T a[3], const T b[3], T out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

template <typename T>
void look_at(T* m, T ex, T ey, T ez, T cx, T cy, T cz, T ux, T uy, T uz) {
    const T eye[3] = {ex, ey, ez};
    const T up[3] = {ux, uy, uz};
    T k[3] = {ex - cx, ey - cy, ez - cz};
    normalise_if_long(k);
    T s[3];
    cross(up, k, s);
    // The true up is formed from the side before it is normalised.
    T u[3];
    cross(k, s, u);
    normalise_if_long(s);
    normalise_if_long(u);

    for (int i = 0; i < 3; ++i) {
        m[4 * i + 0] = s[i];
        m[4 * i + 1] = u[i];
        m[4 * i + 2] = k[i];
        m[4 * i + 3] = 0;
    }
    m[12] = -(s[0] * eye[0] + s[1] * eye[1] + s[2] * eye[2]);
    m[13] = -(u[0] * eye[0] + u[1] * eye[1] + u[2] * eye[2]);
    m[14] = -(k[0] * eye[0] + k[1] * eye[1] + k[2] * eye[2]);
    m[15] = 1;
}

template <typename T>
void translate(T* m, T x, T y, T z) {
    for (int r = 0; r < 4; ++r) m[12 + r] += x * m[r] + y * m[4 + r] + z * m[8 + r];
}

template <typename T>
void rotation(T* m, T angle, T x, T y, T z) {
    const double rad = static_cast<double>(angle) * kDegToRad;
    const T s = static_cast<T>(std::sin(rad));
    const T c = static_cast<T>(std::cos(rad));
    identity(m);

    if (x == 0 && y == 0 && z != 0) {
        m[0] = m[5] = c;
        m[1] = z < 0 ? -s : s;
        m[4] = -m[1];
        return;
    }
    if (x == 0 && y != 0 && z == 0) {
        m[0] = m[10] = c;
        m[8] = y < 0 ? -s : s;
        m[2] = -m[8];
        return;
    }
    if (x != 0 && y == 0 && z == 0) {
        m[5] = m[10] = c;
        m[6] = x < 0 ? -s : s;
        m[9] = -m[6];
        return;
    }

    const T len = std::sqrt(x * x + y * y + z * z);
    if (len <= T(0.0001)) return;
    x /= len;
    y /= len;
    z /= len;
    const T t = 1 - c;
    m[0] = x * x * t + c;
    m[4] = x * y * t - z * s;
    m[8] = x * z * t + y * s;
    m[1] = x * y * t + z * s;
    m[5] = y * y * t + c;
    m[9] = y * z * t - x * s;
    m[2] = x * z * t - y * s;
    m[6] = y * z * t + x * s;
    m[10] = z * z * t + c;
}

template <typename T>
void multiply_into(T* m, const T* right) {
    T product[16];
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            T sum = 0;
            for (int k = 0; k < 4; ++k) sum += m[4 * k + r] * right[4 * c + k];
            product[4 * c + r] = sum;
        }
    for (int i = 0; i < 16; ++i) m[i] = product[i];
}

// out = m * (x, y, z, w)
void transform4(const float* m, const float in[4], float out[4]) {
    for (int r = 0; r < 4; ++r) out[r] = m[r] * in[0] + m[4 + r] * in[1] + m[8 + r] * in[2] + m[12 + r] * in[3];
}

void multiply(const float* a, const float* b, float* out) {
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) sum += a[4 * k + r] * b[4 * c + k];
            out[4 * c + r] = sum;
        }
}

}  // namespace

void setIdentityMatrixf(float* m) { identity(m); }
void setIdentityMatrixd(double* m) { identity(m); }

int invertMatrixf(float* out, const float* in) { return invert(out, in); }
int invertMatrixd(double* out, const double* in) { return invert(out, in); }

void buildFrustumMatrixf(float* m, float l, float r, float b, float t, float n, float f) { frustum(m, l, r, b, t, n, f); }
void buildFrustumMatrixd(double* m, double l, double r, double b, double t, double n, double f) {
    frustum(m, l, r, b, t, n, f);
}

void buildPerspectiveMatrixd(float* m, float fovy, float aspect, float n, float f) {
    const float half = static_cast<float>(static_cast<double>(fovy) * kHalfDegToRad);
    const float h = std::tan(half) * n;
    buildFrustumMatrixf(m, -h * aspect, h * aspect, -h, h, n, f);
}

void buildPerspectiveMatrixd(double* m, double fovy, double aspect, double n, double f) {
    const double h = std::tan(fovy * kHalfDegToRad) * n;
    buildFrustumMatrixd(m, -h * aspect, h * aspect, -h, h, n, f);
}

void buildOrthoMatrixf(float* m, float l, float r, float b, float t, float n, float f) { ortho(m, l, r, b, t, n, f); }
void buildOrthoMatrixd(double* m, double l, double r, double b, double t, double n, double f) {
    ortho(m, l, r, b, t, n, f);
}

void buildLookAtMatrixf(float* m, float ex, float ey, float ez, float cx, float cy, float cz, float ux, float uy,
                        float uz) {
    look_at(m, ex, ey, ez, cx, cy, cz, ux, uy, uz);
}
void buildLookAtMatrixd(double* m, double ex, double ey, double ez, double cx, double cy, double cz, double ux,
                        double uy, double uz) {
    look_at(m, ex, ey, ez, cx, cy, cz, ux, uy, uz);
}

void applyTranslationf(float* m, float x, float y, float z) { translate(m, x, y, z); }
void applyTranslationd(double* m, double x, double y, double z) { translate(m, x, y, z); }

void buildRotationf(float* m, float angle, float x, float y, float z) { rotation(m, angle, x, y, z); }
void buildRotationd(double* m, double angle, double x, double y, double z) { rotation(m, angle, x, y, z); }

void applyRotationf(float* m, float angle, float x, float y, float z) {
    float r[16];
    rotation(r, angle, x, y, z);
    multiply_into(m, r);
}
void applyRotationd(double* m, double angle, double x, double y, double z) {
    double r[16];
    rotation(r, angle, x, y, z);
    multiply_into(m, r);
}

void make_eulersf(float* m, float a, float b, float c) {
    const float sa = std::sin(a * degtorad), ca = std::cos(a * degtorad);
    const float sb = std::sin(b * degtorad), cb = std::cos(b * degtorad);
    const float sc = std::sin(c * degtorad), cc = std::cos(c * degtorad);
    m[0] = ca * cc + sa * sb * sc;
    m[4] = ca * sc - sa * sb * cc;
    m[8] = -sa * cb;
    m[1] = -sc * cb;
    m[5] = cc * cb;
    m[9] = -sb;
    m[2] = sa * cc - ca * sb * sc;
    m[6] = ca * sb * cc + sa * sc;
    m[10] = ca * cb;
    m[3] = m[7] = m[11] = m[12] = m[13] = m[14] = 0;
    m[15] = 1;
}

void extract_eulersf(const float* m, float& a, float& b, float& c) {
    const float s = -m[9];
    float q = 1 - s * s;
    if (q < 0) q = 0;
    if (q > 1) q = 1;
    const float k = std::sqrt(q);
    const double to_deg = radtodeg;
    b = static_cast<float>(std::atan2(static_cast<double>(s), static_cast<double>(k)) * to_deg);
    if (k != 0) {
        a = static_cast<float>(std::atan2(static_cast<double>(m[8] / -k), static_cast<double>(m[10] / k)) * to_deg);
        c = static_cast<float>(std::atan2(static_cast<double>(-m[1] / k), static_cast<double>(m[5] / k)) * to_deg);
    } else {
        // Looking straight up or down: heading and roll turn about the same axis.
        a = static_cast<float>(std::atan2(static_cast<double>(m[2]), static_cast<double>(m[0])) * to_deg);
        c = 0;
    }
}

void make_affine_matrix(const float points[8], float x0, float y0, float x1, float y1, double* m) {
    identity(m);
    if (x0 == x1 || y0 == y1) return;

    const float cx[4] = {x0, x0, x1, x1};
    const float cy[4] = {y0, y1, y1, y0};
    double a[64];   // column-major, leading dimension 8
    double rhs[8];
    auto at = [&a](int row, int col) -> double& { return a[8 * col + row]; };
    for (int k = 0; k < 4; ++k) {
        const float x = cx[k], y = cy[k], u = points[2 * k], v = points[2 * k + 1];
        const int ru = 2 * k, rv = 2 * k + 1;
        const double row_u[8] = {x, y, 1, 0, 0, 0, -(x * u), -(y * u)};
        const double row_v[8] = {0, 0, 0, x, y, 1, -(x * v), -(y * v)};
        for (int col = 0; col < 8; ++col) {
            at(ru, col) = row_u[col];
            at(rv, col) = row_v[col];
        }
        rhs[ru] = u;
        rhs[rv] = v;
    }

    int n = 8, nrhs = 1, lda = 8, ldb = 8, info = 0;
    int pivots[8];
    dgesv_(&n, &nrhs, a, &lda, pivots, rhs, &ldb, &info);
    if (info != 0) return;

    const double* h = rhs;
    m[0] = h[0];
    m[4] = h[1];
    m[8] = 0;
    m[12] = h[2];
    m[1] = h[3];
    m[5] = h[4];
    m[9] = 0;
    m[13] = h[5];
    m[2] = 0;
    m[6] = 0;
    m[10] = 1;
    m[14] = 0;
    m[3] = h[6];
    m[7] = h[7];
    m[11] = 0;
    m[15] = 1;
    // Keep w positive at the first corner; the map itself does not change.
    if (x0 * h[6] + y0 * h[7] + 1 < 0)
        for (int i = 0; i < 16; ++i) m[i] = -m[i];
}

void OGL_get_frustum_corners(float bottom_left[3], float bottom_right[3], float top_left[3], float top_right[3]) {
    float projection[16];
    float inverse[16];
    gl.glGetFloatv(GL_PROJECTION_MATRIX, projection);
    setIdentityMatrixf(inverse);   // what a singular projection leaves behind
    invertMatrixf(inverse, projection);

    const float ndc[4][4] = {{-1, -1, 1, 1}, {1, -1, 1, 1}, {-1, 1, 1, 1}, {1, 1, 1, 1}};
    float* outs[4] = {bottom_left, bottom_right, top_left, top_right};
    for (int i = 0; i < 4; ++i) {
        float p[4];
        transform4(inverse, ndc[i], p);
        for (int j = 0; j < 3; ++j) outs[i][j] = p[j] / p[3];
    }
}

int gluProjectf(float x, float y, float z, const float modelview[16], const float projection[16],
                const int viewport[4], float* win_x, float* win_y, float* win_z) {
    const float in[4] = {x, y, z, 1};
    float eye[4], clip[4];
    transform4(modelview, in, eye);
    transform4(projection, eye, clip);
    if (clip[3] == 0) return 0;
    *win_x = static_cast<float>(viewport[0]) + (clip[0] / clip[3] + 1) * static_cast<float>(viewport[2]) * 0.5f;
    *win_y = static_cast<float>(viewport[1]) + (clip[1] / clip[3] + 1) * static_cast<float>(viewport[3]) * 0.5f;
    *win_z = (clip[2] / clip[3] + 1) * 0.5f;
    return 1;
}

int gluUnProjectf(float win_x, float win_y, float win_z, const float modelview[16], const float projection[16],
                  const int viewport[4], float* x, float* y, float* z) {
    float combined[16], inverse[16];
    multiply(projection, modelview, combined);
    if (!invertMatrixf(inverse, combined)) return 0;
    const float ndc[4] = {(win_x - static_cast<float>(viewport[0])) * 2 / static_cast<float>(viewport[2]) - 1,
                          (win_y - static_cast<float>(viewport[1])) * 2 / static_cast<float>(viewport[3]) - 1,
                          2 * win_z - 1, 1};
    float p[4];
    transform4(inverse, ndc, p);
    if (p[3] == 0) return 0;
    *x = p[0] / p[3];
    *y = p[1] / p[3];
    *z = p[2] / p[3];
    return 1;
}

void OGL_modify_projection_matrix(const float plane[4]) {
    float modelview[16], inverse[16];
    gl.glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    setIdentityMatrixf(inverse);
    invertMatrixf(inverse, modelview);

    // The plane goes to eye space by the inverse's transpose.
    float e[4];
    for (int j = 0; j < 4; ++j) {
        e[j] = 0;
        for (int i = 0; i < 4; ++i) e[j] += plane[i] * inverse[4 * j + i];
    }
    if (e[3] >= 0) return;

    float p[16];
    gl.glGetFloatv(GL_PROJECTION_MATRIX, p);
    auto sgn = [](float v) { return v < 0 ? -1.0f : 1.0f; };
    const float q[4] = {(sgn(e[0]) + p[8]) / p[0], (sgn(e[1]) + p[9]) / p[5], -1.0f, (1 + p[10]) / p[14]};
    const float k = 2.0f / (e[0] * q[0] + e[1] * q[1] + e[2] * q[2] + e[3] * q[3]);
    p[2] = k * e[0];
    p[6] = k * e[1];
    p[10] = k * e[2] + 1;
    p[14] = k * e[3];

    gl.glMatrixMode(GL_PROJECTION);
    gl.glLoadMatrixf(p);
    gl.glMatrixMode(GL_MODELVIEW);
}
