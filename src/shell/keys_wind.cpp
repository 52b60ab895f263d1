// The key-assignment panel: the bindings list on the left, the command column in the middle with
// its buttons and instructions, and the command browser that picks what a binding runs.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "core/command_registry.h"
#include "core/localisation.h"
#include "core/mouse_record.h"
#include "files/paths.h"
#include "shell/keys.h"
#include "ui/buttons.h"
#include "ui/frames.h"
#include "ui/panel_record.h"
#include "ui/sliders.h"
#include "ui/text_fields.h"
#include "ui/tt_font.h"

float wx1 = 0, wy1 = 0, wx2 = 0, wx3 = 0;
int key_edit = -1, k_cen = 0;

namespace {

constexpr int kRows = 34;

std::string tr(const char* text) { return UTL_translate_string(text, 0); }

std::string path_of(int command) {
    return command >= 0 && command < static_cast<int>(cmnd.paths.size()) ? cmnd.paths[static_cast<std::size_t>(command)]
                                                                          : std::string();
}

std::string row_label(const key_binding& b) {
    const std::string mods = keys_class::flag_to_str(b.flags);
    std::string label = "-";
    if (mods != "<none>") label += mods + " ";
    return label + keys_class::vkey_to_str(b.vkey);
}

// The command browser for the selected binding: its path and description, the groups beside its
// own, a path field, and the commands of its group.
void command_browser(key_binding& b) {
    const std::string path = path_of(b.cmnd);
    OGL_string(52, wx1 + 10, 215, path, 164, cs_regular, just_left);
    const std::size_t index = static_cast<std::size_t>(b.cmnd);
    OGL_string(52, wx1 + 10, 185, index < cmnd.descriptions.size() ? cmnd.descriptions[index] : std::string(), 164,
               cs_regular, just_left);

    std::string group, root;
    get_path_with_path(group, path);
    get_path_with_path(root, group);

    std::string chosen;   // the command a radio button or the field picked this frame
    std::vector<std::string> groups;
    cmnd.get_cmds_in_path(root, groups);
    int on = -1;
    for (std::size_t i = 0; i < groups.size(); ++i)
        if (root + groups[i] == group) on = static_cast<int>(i);
    float y = 688;
    for (std::size_t i = 0; i < groups.size(); ++i, y -= 15) {
        if (BTN_is_int(wx1 + 18, y, &on, static_cast<int>(i), "|" + groups[i]) && root + groups[i] != group) {
            // A new group runs its first command.
            std::vector<std::string> first;
            cmnd.get_cmds_in_path(root + groups[i], first);
            chosen = root + groups[i] + (first.empty() ? std::string() : first[0]);
        }
    }

    // The typed text stays while it is edited; it follows the binding when that changes otherwise.
    static std::string field;
    static int field_row = -1, field_cmnd = -1;
    if (field_row != key_edit || field_cmnd != b.cmnd) field = path;
    // A text field stands where the file dialog's path field goes once that dialog exists.
    bool typed = false;
    if (BTN_enterstring(590, 730, &field, 40, "|-custom cmnds from plugins", 280, 0)) {
        chosen = field;
        typed = true;
    }

    std::vector<std::string> items;
    cmnd.get_cmds_in_path(group, items);
    on = -1;
    for (std::size_t i = 0; i < items.size(); ++i)
        if (group + items[i] == path) on = static_cast<int>(i);
    float x = wx2 + 18;
    y = 685;
    for (std::size_t i = 0; i < items.size(); ++i, y -= 15) {
        if (y < 20) {
            x += 210;
            y = 685;
        }
        if (BTN_is_int(x, y, &on, static_cast<int>(i), "|-" + items[i])) chosen = group + items[i];
    }

    if (!chosen.empty()) b.cmnd = cmnd.get_cmnd_by_name(chosen);
    if (!chosen.empty() && !typed) field = path_of(b.cmnd);   // a radio button chose
    field_row = key_edit;
    field_cmnd = b.cmnd;
}

}  // namespace

void keys_class::keys_wind(int compact) {
    float next_x = 0, next_y = 0;
    BTN_subwin(34, 19, -1, -1, compact ? 365 : 345, -1, "", &wx1, &wy1);
    if (!compact) wx1 += 20;   // room for the list's slider
    BTN_subwin(34, 16, wx1, -1, 184, 125, "", &next_x, &next_y);
    BTN_subwin(34, 18, wx1, next_y, 184, 90, "", &next_x, &next_y);
    BTN_subwin(34, 16, wx1, next_y, 184, -1, "", &wx2, &next_y);
    BTN_subwin(34, 16, wx2, -1, -1, -1, "", &wx3, &next_y);

    const float centre = wx1 + 92;
    OGL_string(48, centre, 121,
               tr("Select the key you'd like to program from the list on the left of this screen and hit any key "
                  "you like! Then select the group above and the item at right to assign some funtion to that "
                  "keypress!"),
               164, cs_regular, just_centre);

    if (BTN_action(centre, 25, 0, 0, 1, tr("Add New Key Assignment"), "-")) {
        bindings.push_back({0, 0, cmnd.get_cmnd_by_name("sim/operation/none"), 0});
        if (bindings.size() > kRows) k_cen = static_cast<int>(bindings.size()) - kRows;
    }
    const int count = static_cast<int>(bindings.size());
    if (key_edit >= 0 && key_edit < count && BTN_action(centre, 45, 0, 0, 1, tr("Delete Selected Key Assignment"), "-"))
        bindings.erase(bindings.begin() + key_edit);

    const int rows = static_cast<int>(bindings.size());
    k_cen = std::clamp(k_cen, 0, std::max(0, rows - kRows));
    BTN_vert_slider(0, wx1 - 15, 30, 686, 0, rows - kRows, &k_cen);
    for (int r = k_cen; r < std::min(rows, k_cen + kRows); ++r) {
        const key_binding& b = bindings[static_cast<std::size_t>(r)];
        const float y = 689 - 20.0f * static_cast<float>(r - k_cen);
        if (BTN_action(78, y, 120, r == key_edit, 0, row_label(b), "-")) key_edit = key_edit == r ? -1 : r;
        const std::string path = path_of(b.cmnd);
        OGL_string(50, 140, y - 4, path.size() > 4 ? path.substr(4) : std::string(), 9999, cs_regular, just_left);
    }

    const bool selected = key_edit >= 0 && key_edit < rows;
    if (selected && mnw.key_hit) {
        // A key combination is bound once: whoever had it gives it up.
        for (int r = 0; r < rows; ++r) {
            key_binding& other = bindings[static_cast<std::size_t>(r)];
            if (r != key_edit && other.vkey == last_vkey && other.flags == last_flags) other.vkey = other.flags = 0;
        }
        bindings[static_cast<std::size_t>(key_edit)].vkey = last_vkey;
        bindings[static_cast<std::size_t>(key_edit)].flags = last_flags;
    }
    if (!compact && selected) command_browser(bindings[static_cast<std::size_t>(key_edit)]);
}
