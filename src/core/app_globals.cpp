#include "core/app_globals.h"

int app_done = 0;
std::string app_path;
int g_case_sensitive = 0;
int ogl_inited = 0;
int plot_init_lights = 0;
std::string stls[13];
ren_struct ren;
