#include "wizard/pick_install.h"

#include <vector>

#include "core/alert.h"
#include "core/localisation.h"
#include "install/install_state.h"
#include "install/registration.h"
#include "shell/native_ui.h"
#include "ui/buttons.h"
#include "ui/tt_font.h"

namespace {
std::string tr(const std::string& s) { return UTL_translate_string(s, 0); }

bool registered(const std::string& path) {
    for (const auto& p : all_vsystems)
        if (p == path) return true;
    return false;
}

// The folder the user picked, or a folder inside a copy, walked up to the copy and registered; kept
// dest_dir_path as before (and a warning), when no folder on the way is a copy.
void find_unlisted_copy() {
    const std::string before = dest_dir_path;
    std::string chosen;
    if (!GetFilePathFromUser(2, tr("Please select your Ventaro 9 folder."), tr("Select"), 1, dest_dir_path, chosen))
        return;
    if (chosen != "/") chosen += "/";
    dest_dir_path = chosen;
    while (!path_is_to_a_sim()) {
        const std::string up = pick_install_parent(dest_dir_path);
        if (up.empty() || up == dest_dir_path) {
            MACIBM_alert(0, tr("You selected the folder path:"), chosen,
                         tr("But it does not appear to be an installed copy of Ventaro 9."),
                         tr("Please be sure to select the folder that contains the Ventaro application."), t_warn);
            dest_dir_path = before;
            return;
        }
        dest_dir_path = up;
    }
    register_new_ventaro();
    locate_all_ventaros();
}
}  // namespace

std::string pick_install_parent(const std::string& path) {
    std::string p = path;
    if (p.size() > 2 && p.back() == '/') p.pop_back();
    const size_t slash = p.rfind('/');
    if (slash == std::string::npos) return "";
    return p.substr(0, slash + 1);
}

bool pick_install_dest_is_a_copy() {
    if (dest_dir_path.empty()) return false;
    return registered(dest_dir_path) || path_is_to_a_sim();
}

void UTIL_pick_install() {
    const int n = (int)all_vsystems.size();
    if (n == 1 && dest_dir_path.empty()) dest_dir_path = all_vsystems[0];
    for (int i = 0; i < n; ++i) {
        // The list may be reloaded by Find It below; a copy is read before that.
        const std::string path = all_vsystems[i];
        int on = dest_dir_path == path ? 1 : 0;
        if (BTN_bool(250, 400 - 25.0f * i, &on, "|-" + path, 1)) dest_dir_path = path;
    }
    const std::string question = tr("Is the copy of Ventaro 9 you're looking for missing from this list?");
    OGL_string(50, 230, 400 - 25.0f * n, question, 400, cs_regular, just_left);
    const float w = OGL_measure_string(question);
    const float x = w > 400 ? 685 : w + 285;
    if (BTN_action(x, 403 - 25.0f * n, 100, 0, 1, tr("Find It"), "-")) find_unlisted_copy();
}
