#pragma once
// The client arrays for normals, colours and the texture coordinates of units 0 to 7, switched
// only where the request differs from the last one. The vertex array itself is enabled once with
// the context and stays on. Main thread; assumes nothing else switches these arrays.

enum ogl_nrm_mode { ogl_nrm_off = 0, ogl_nrm_on = 1 };
enum ogl_col_mode { ogl_col_off = 0, ogl_col_on = 1 };

// units: bit u asks for unit u's texture-coordinate array. Units at or above the renderer's unit
// count are never switched, but are remembered as asked. Leaves client unit 0 selected.
void OGL_setclientstate(ogl_nrm_mode normals, ogl_col_mode colors, unsigned char units);

// Test seam: every array off, as at start.
void OGL_setclientstate_forget_for_test();
