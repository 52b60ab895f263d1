#include "shell/app_globals.h"

#include "files/paths.h"
#include "platform/bundle.h"

int app_done = 0;
std::string app_path;
int g_case_sensitive = 0;
int ogl_inited = 0;
std::string stls[13];

void MACIBM_set_app_path(std::string& out, int bundle) {
    const std::string b = platform::bundle_path();
    if (bundle) {
        out = b;
    } else {
        const std::size_t slash = b.find_last_of('/');
        out = slash == std::string::npos ? std::string("/") : b.substr(0, slash + 1);
    }
    set_path_to_right_dirchars(out);
    const int cs = platform::volume_case_sensitive(b);
    if (cs >= 0) g_case_sensitive = cs;
}
