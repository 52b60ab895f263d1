#pragma once
// The view: the window as the interface's coordinate system, and the end of each frame.
//
// Interface coordinates are units relative to the open panel, origin at its lower-left corner,
// y up; a pixel is one unit times wins.scale (1.0). Drawing code adds wins.off_x and wins.off_y
// before anything reaches OpenGL. Each panel start sets the full-window orthographic view
// (OGL_viewport type 2, full window), so unit (x, y) of panel 0 is pixel column x, row y from
// the bottom.
//
// Main thread only. Before the window's context exists (the GL table is empty) the view records
// and the camera are still kept up to date; only the GL calls are left out.

// Recomputes the interface scale, the centring offset and the whole-window box in wins, then
// re-applies the full-window orthographic view unless the start-up panel (-1) is open. The
// argument is not used.
void OGL_pix_specs(int unused);

// type 2: orthographic (with full_window set: the whole window, 1:1, depth -1..1); type 3: a
// frustum whose bounds are slopes at unit distance and whose viewport is in interface units;
// any other type: the viewport only, with the camera's projection reloaded. Each loads xcam's
// projection and an identity modelview and leaves the matrix mode at GL_MODELVIEW.
void OGL_viewport(int type, float left, float vx, float bottom, float vy, float right, float vx2, float near,
                  float top, float vy2, float far, float divisor, int keep_aspect, int full_window);

// Viewport only: type 2 the whole window, 3 a rectangle in interface units, else in pixels.
void OGL_screensize(int type, float x1, float y1, float x2, float y2);

// Clips drawing to a rectangle in panel-relative interface units. Rectangles do not nest: each
// call replaces the last, and OGL_scissors_end turns clipping off.
void OGL_scissors(float x, float y, float width, float height);
void OGL_scissors_end();

// Ends the frame: the current colour from the palette's fade state, then the buffer swap.
void OGL_sbuff();

// A transform drawing code may set and read; the identity at start.
void OGL_set_local_transform(const float m[16]);
void OGL_reset_local_transform();
float* OGL_get_local_transform();
extern float local_transform[16];
