#pragma once
// Globals the shell owns for the whole run.
#include <string>

extern int app_done;            // nonzero ends the frame loop
extern std::string app_path;    // base folder for relative paths; empty while the program runs
extern int g_case_sensitive;    // 1 when the volume holding the bundle is case-sensitive
extern int ogl_inited;          // 1 once the window, its OpenGL context and the interface art exist
extern int plot_init_lights;    // the start-up splash may draw; set by every panel start
extern std::string stls[13];    // 0-3: preference messages, 4: current panel title

// The drawing state shared by every 2-D primitive, frame and string.
struct ren_struct {
    float alpha = 1.0f;   // multiplies every drawn alpha
};
extern ren_struct ren;
