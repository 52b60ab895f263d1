#pragma once
// 4x4 transformation matrices: 16 floats or doubles, column-major as OpenGL loads them (row r,
// column c at index 4*c + r), points as column vectors (p' = M*p). The apply operations
// post-multiply (M := M*T), as glTranslate and glRotate do. Angles are in degrees.
//
// Everything here is arithmetic on the caller's arrays, usable on any thread, except
// OGL_get_frustum_corners and OGL_modify_projection_matrix, which read and change the current
// context's matrices (main thread).

void setIdentityMatrixf(float* m);
void setIdentityMatrixd(double* m);

// 1 when inverted; 0 for a singular matrix, leaving out untouched. out may be in.
int invertMatrixf(float* out, const float* in);
int invertMatrixd(double* out, const double* in);

void buildFrustumMatrixf(float* m, float left, float right, float bottom, float top, float near, float far);
void buildFrustumMatrixd(double* m, double left, double right, double bottom, double top, double near, double far);
// Symmetric frustum from the vertical field of view; both overloads carry the final d.
void buildPerspectiveMatrixd(float* m, float fovy, float aspect, float near, float far);
void buildPerspectiveMatrixd(double* m, double fovy, double aspect, double near, double far);
void buildOrthoMatrixf(float* m, float left, float right, float bottom, float top, float near, float far);
void buildOrthoMatrixd(double* m, double left, double right, double bottom, double top, double near, double far);
void buildLookAtMatrixf(float* m, float eye_x, float eye_y, float eye_z, float centre_x, float centre_y,
                        float centre_z, float up_x, float up_y, float up_z);
void buildLookAtMatrixd(double* m, double eye_x, double eye_y, double eye_z, double centre_x, double centre_y,
                        double centre_z, double up_x, double up_y, double up_z);

void applyTranslationf(float* m, float x, float y, float z);
void applyTranslationd(double* m, double x, double y, double z);
// A negative axis turns the other way; the axis length does not matter; an axis shorter than
// 0.0001 (and not along x, y or z) gives the identity.
void buildRotationf(float* m, float angle, float x, float y, float z);
void buildRotationd(double* m, double angle, double x, double y, double z);
void applyRotationf(float* m, float angle, float x, float y, float z);
void applyRotationd(double* m, double angle, double x, double y, double z);

// m := Ry(-a) * Rx(b) * Rz(-c): heading a, pitch b, roll c.
void make_eulersf(float* m, float a, float b, float c);
// The angles make_eulersf would take: a and c in (-180, 180], b in [-90, 90]; at b = +-90 the
// whole turn about the vertical goes to a and c is 0.
void extract_eulersf(const float* m, float& a, float& b, float& c);

// The projective map of the rectangle (x0, y0)-(x1, y1) onto the quadrilateral given as four
// (u, v) points for the corners (x0, y0), (x0, y1), (x1, y1), (x1, y0); z passes through. The
// identity when the rectangle is empty or the fit has no solution.
void make_affine_matrix(const float points[8], float x0, float y0, float x1, float y1, double* m);

// The far-plane corners of the current projection in eye coordinates.
void OGL_get_frustum_corners(float bottom_left[3], float bottom_right[3], float top_left[3], float top_right[3]);

// viewport: x, y, width, height in pixels. 0 (outputs untouched) when w comes out 0 or the
// combined matrix is singular.
int gluProjectf(float x, float y, float z, const float modelview[16], const float projection[16],
                const int viewport[4], float* win_x, float* win_y, float* win_z);
int gluUnProjectf(float win_x, float win_y, float win_z, const float modelview[16], const float projection[16],
                  const int viewport[4], float* x, float* y, float* z);

// Makes the current projection's near plane the world plane a*x + b*y + c*z + d = 0 when that
// plane lies in front of the eye (its eye-space d is negative); otherwise changes nothing.
void OGL_modify_projection_matrix(const float plane[4]);
