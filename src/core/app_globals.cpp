#include "core/app_globals.h"

#include "files/paths.h"
#include "platform/bundle.h"

int app_done = 0;
std::string app_path;
int g_case_sensitive = 0;
int ogl_inited = 0;
int plot_init_lights = 0;
std::string stls[13];
ren_struct ren;

void MACIBM_set_app_path(std::string& out, int bundle) {
    const std::string b = platform::bundle_path();
    out = b;
    set_path_to_right_dirchars(out);
    if (!bundle) {
        // The folder is cut from the repaired path; a '/' at the very end does not count.
        const std::size_t slash = out.size() > 1 ? out.find_last_of('/', out.size() - 2) : std::string::npos;
        out = slash == std::string::npos ? std::string("/") : out.substr(0, slash + 1);
    }
    const int cs = platform::volume_case_sensitive(b);
    if (cs >= 0) g_case_sensitive = cs;
}
