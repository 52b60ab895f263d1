#include "ui/file_dialog.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/alert.h"
#include "core/frame_clock.h"
#include "core/localisation.h"
#include "core/mouse_record.h"
#include "core/shared_constants.h"
#include "core/shell_services.h"
#include "files/file_header.h"
#include "files/launch.h"
#include "files/paths.h"
#include "files/xmap.h"
#include "render/background.h"
#include "render/ogl_draw.h"
#include "render/tex_flags.h"
#include "ui/buttons.h"
#include "ui/focus.h"
#include "ui/frames.h"
#include "ui/help_record.h"
#include "ui/labels.h"
#include "ui/list_items.h"
#include "ui/menus.h"
#include "render/panel_record.h"
#include "ui/sliders.h"
#include "ui/text_fields.h"
#include "ui/tt_font.h"

const char* const io_unreadable_text = "This folder cannot be read.";
const char* const io_link_text = "That name is a link to somewhere else. Please choose another name.";
const char* const io_bad_name_text = "A file name cannot contain a slash or be . or ..";

namespace {

constexpr const char* kButtonsFile = "QFutils/OOPS_cpp/butn";
constexpr int kOpen = 998, kSave = 999;
constexpr int kKeyUp = 16;
constexpr int kVkUp = 38, kVkDown = 40;
constexpr int kListMask = focus_key_navigate | focus_key_letter | focus_key_digit | focus_key_sign |
                          focus_key_printable;
constexpr int kMaxLevels = 300;

// What each file type starts in and appends on Save.
struct file_type_row {
    const char* start;       // the start folder when no path is given
    const char* extension;   // appended to a saved name
};
const std::string kSituations = out_path + "situations/", kReplays = out_path + "replays/",
                  kPlans = out_path + "FMS plans/", kTracks = out_path + "tracks/", kCars = out_path + "cars/";
const file_type_row kTypes[24] = {
    {"", ""},     {"", ""},     {"", ".BMP"}, {"", ".ACF"}, {"", ".AFL"}, {"", ".WPN"},
    {"", ".WAV"}, {"", ".OBJ"}, {"", ""},     {kSituations.c_str(), ".SIT"}, {kReplays.c_str(), ".REP"},
    {kPlans.c_str(), ".FMS"},   {"", ""},     {kTracks.c_str(), ".TRA"},     {kCars.c_str(), ".CAR"},
    {spa_path.c_str(), ".SPA"}, {reg_path.c_str(), ".REG"},                  {"", ""},
    {"", ".HGT"}, {"", ".OZ"},  {"", ".TXT"}, {"", ".PRO"}, {"sim/", ""},    {"sim/", ""},
};

void bad_args(int panel, int file_type, const char* open_save_text, const char* file_type_text) {
    if (panel != kOpen && panel != kSave)
        __MACIBM_alert(0, open_save_text, "", "", "", t_crash, kButtonsFile, __LINE__);
    if (file_type < 0 || file_type > 23)
        __MACIBM_alert(0, file_type_text, "", "", "", t_crash, kButtonsFile, __LINE__);
}

// The path without its last component (a trailing "/" not counted); empty when it has no "/".
std::string folder_of(const std::string& path) {
    std::string p = path;
    if (!p.empty() && p.back() == '/') p.pop_back();
    const std::size_t slash = p.rfind('/');
    return slash == std::string::npos ? std::string() : p.substr(0, slash + 1);
}

std::string last_component(const std::string& path) {
    std::string p = path;
    if (!p.empty() && p.back() == '/') p.pop_back();
    const std::size_t slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::vector<std::string> components(const std::string& folder) {
    std::vector<std::string> out;
    std::size_t from = 0;
    while (from < folder.size()) {
        const std::size_t slash = folder.find('/', from);
        if (slash == std::string::npos) {
            out.push_back(folder.substr(from));
            break;
        }
        out.push_back(folder.substr(from, slash - from));
        from = slash + 1;
    }
    return out;
}

void encode_utf8(int cp, std::string& out) {
    const auto c = static_cast<unsigned>(cp);
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x110000) {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool starts_with_nocase(const std::string& s, const std::string& prefix) {
    if (s.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

// The list widget's state, one set for every list.
struct list_state {
    int char_slot[focus_queue_capacity] = {};
    int vkey_slot[focus_queue_capacity] = {};
    int flag_slot[focus_queue_capacity] = {};
    int id_slot[focus_queue_capacity] = {};
    int ctr_slot = 0;
    std::string type_ahead;
    float last_type_ahead = -1;
    int current_list_id = 0;
};
list_state lists;

int level = 0;
std::string old_path, comment;

// Atlas s of each entry kind's icon (t 82-94); -1 for none.
float icon_s(int kind) {
    switch (kind) {
    case 1: return 34;
    case 3: return 48;
    case 4: return 62;
    case 5: return 90;
    case 9: return 104;
    case 10: return 118;
    case 11: return 132;
    case 7: return 146;
    default: return -1;
    }
}

void list_icon(float cx, float cy, int kind) {
    const float s = icon_s(kind);
    if (s < 0) return;
    constexpr float kAtlas = 512;
    const float s0 = s / kAtlas, s1 = (s + 12) / kAtlas, t0 = 82 / kAtlas, t1 = 94 / kAtlas;
    OGL_2dquad(tex_ref_interface, 57, 1.0f, cx - 6, cy - 6, s0, t0, cx - 6, cy + 6, s0, t1, cx + 6, cy + 6, s1, t1,
               cx + 6, cy - 6, s1, t0, 1, ogl_al_blend, 0);
}

// The comment line of a flight file: "COMM, text" after a valid version-1 text header.
std::string flight_comment(const std::string& path) {
    xmap_class file(path);
    if (!file.mem_start) return "";
    static const int kVersions[] = {1, 0};
    if (!file.check_file(file_kind_text, kVersions, nullptr, nullptr)) return "";
    const char* p = file.mem_cur;
    const char* const end = file.mem_end;
    auto eol = [](char c) { return c == '\r' || c == '\n' || c == 0; };
    while (p < end) {
        while (p < end && (*p == ' ' || *p == '\t')) ++p;
        const char* field = p;
        while (p < end && *p != ',' && !eol(*p)) ++p;
        const std::string name(field, p);
        if (p < end) ++p;
        if (name.size() == 4 && starts_with_nocase(name, "COMM")) {
            while (p < end && (*p == ' ' || *p == '\t')) ++p;
            const char* text = p;
            while (p < end && !eol(*p)) ++p;
            return std::string(text, p);
        }
        while (p < end && !eol(*p)) ++p;
        while (p < end && eol(*p)) ++p;
    }
    return "";
}

// A typed name that would leave the folder: it is refused rather than handed on to a write.
bool name_leaves_folder(const std::string& name) {
    return name.find('/') != std::string::npos || name == "." || name == "..";
}

bool is_link(const std::string& path) {
    std::string full = path;
    set_path_to_full(full);
    struct stat st {};
    return ::lstat(full.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

}  // namespace

int BTN_list_and_search(int slot, float x, float y, float width, float height, int* scroll, int* selected, int first,
                        int last, std::string* text, const std::string& field_label, list_name_fn name,
                        void* name_ref, list_name_fn info, void* info_ref, list_kind_fn kind, void* kind_ref) {
    x = std::round(x);
    y = std::round(y);
    const float w = width > 0 ? width : io_dx;
    float h = height, half = height / 2;
    if (height <= 0) {
        h = io_dy;
        half = 110;
    }
    const int g = static_cast<int>(h / 20) - 1;
    const float px = mnw.mouse_x, py = mnw.mouse_y;
    const bool in_box = px >= x && px <= x + w && py >= y - half && py <= y + half;

    list_state& s = lists;
    const int id = static_cast<int>(x) * 8192 + static_cast<int>(y);
    const int take = mbar.open_menu == -1 && mnw.click_hit && in_box ? 1 : 0;
    const int focused = BTN_register_focus(id, s.char_slot, s.vkey_slot, s.flag_slot, s.id_slot, &s.ctr_slot,
                                           focus_queue_capacity, kListMask, take);
    if (focused && id != s.current_list_id) {
        s.type_ahead.clear();
        s.current_list_id = id;
    }

    // Keys: arrows move the selection, printable characters search by name.
    s.ctr_slot = std::clamp(s.ctr_slot, 0, focus_queue_capacity);
    int kept = 0;
    for (int i = 0; i < s.ctr_slot; ++i) {
        if (s.id_slot[i] == id && (s.char_slot[i] || s.vkey_slot[i])) {
            if (s.flag_slot[i] & kKeyUp) continue;
            const int vkey = s.vkey_slot[i], ch = s.char_slot[i];
                if (vkey == kVkDown) {
                ++*selected;
                if (*selected > *scroll + g) *scroll = *selected - g;
            } else if (vkey == kVkUp) {
                --*selected;
                if (*selected < *scroll - g) *scroll = *selected + g;
            } else if (ch >= 32 && ch != 127) {
                if (xtim.real_time - s.last_type_ahead > 1.0f) s.type_ahead.clear();
                encode_utf8(ch, s.type_ahead);
                s.last_type_ahead = xtim.real_time;
                for (int item = first; item <= last; ++item) {
                    if (!starts_with_nocase(name(item, name_ref), s.type_ahead)) continue;
                    *selected = item;
                    if (*selected > *scroll + g) *scroll = *selected - g;
                    if (*selected < *scroll - g) *scroll = *selected + g;
                    break;
                }
            }
            continue;
        }
        if (s.id_slot[i] == 0) continue;
        s.char_slot[kept] = s.char_slot[i];
        s.vkey_slot[kept] = s.vkey_slot[i];
        s.flag_slot[kept] = s.flag_slot[i];
        s.id_slot[kept] = s.id_slot[i];
        ++kept;
    }
    s.ctr_slot = kept;

    if (text) BTN_enterstring(x + 35, y - 131, text, 36, field_label, 252, 1);
    if (last < first) return 0;

    BTN_frame2(19, x, y - half, w, h, "", 1);
    if (first < last) BTN_vert_slider(slot, x + w + 16, y - half, y + half, first, last, scroll);
    if (in_box) {
        *scroll -= mnw.wheel_steps;
        mnw.wheel_steps = 0;
    }
    *scroll = std::clamp(*scroll, first, last);

    int result = 0;
    if (mnw.click_hit && in_box) {
        *selected = *scroll - static_cast<int>(std::lround((py - y) / 10));
        if (mnw.double_click) result = 1;
    }
    *selected = std::clamp(*selected, first, last);

    for (int i = -g; i <= g; ++i) {
        const int item = *scroll + i;
        if (item < first || item > last) continue;
        const float row = y - 10.0f * static_cast<float>(i);
        OGL_string(50, x + 20, row - 4, name(item, name_ref), 9999, cs_regular, just_left);
        if (info) OGL_string(50, x + 242, row - 4, info(item, info_ref), 9999, cs_regular, just_left);
        if (kind) list_icon(x + 10, row, kind(item, kind_ref));
        if (item == *selected) OGL_fillrect(81, 0.25f, x + 18, row - 5, w - 22, 10);
    }
    if (focused) OGL_framerect(50, 1.0f, x, y - half, w, h);
    return result;
}

void stand_io_dialog(int panel, int file_type, std::string selected_path) {
    OGL_plot_back_col();
    BTN_fillwin(1, 24);
    BTN_frame2(18, 10, 300, io_dx, 120, "", 1);
    if (panel != kOpen) return;
    if (file_type == 3 || file_type == 8 || file_type == 22) {
        BTN_frame2(18, 331, 70, 220, 220, "", 1);
        BTN_frame2(18, 331, 300, 220, 120, "", 1);
    }
    if (file_type == 8 && selected_path.find(".fdr") != std::string::npos) {
        if (selected_path != old_path) comment = flight_comment(selected_path);
        if (!comment.empty()) OGL_string(52, 341, 270, comment, 200, cs_regular, just_left);
    }
    old_path = selected_path;
}

int BTN_opensave(int panel, int file_type, std::string* path) {
    bad_args(panel, file_type, "Bad open_save arg to BTN_opensave!", "Bad file_type arg to BTN_opensave!");
    // Without a frame pump nothing could ever end the dialog.
    if (!g_shell.event_proc) return 0;
    const int return_panel = wins.id;
    const bool saving = panel == kSave;

    std::string folder;
    if (path->empty()) folder = kTypes[file_type].start;
    else if (path->find('/') != std::string::npos) folder = folder_of(*path);

    std::vector<std::string> names;
    std::vector<int> kinds;
    auto list = [&] { return opensave_getitems(folder, file_type, names, kinds); };
    int count = list();
    int scroll = count / 2, selected = count / 2;
    std::string typed, notice, noticed_name;
    wins.start_win(panel);
    // The keys of the frame that opened the dialog are not the dialog's: a Return there would
    // otherwise choose the middle entry before anything is shown.
    return_hit = escape_hit = delete_hit = 0;

    for (;;) {
        if (wins.id != panel) return 0;
        const std::string chosen =
            names.empty() ? std::string("-") : folder + names[static_cast<std::size_t>(std::clamp(selected, 0, count - 1))];
        stand_io_dialog(panel, file_type, chosen);

        count = list();
        const int double_clicked = BTN_list_and_search(0, 10, 180, 0, 0, &scroll, &selected, 0, count - 1,
                                                       saving ? &typed : nullptr, "File:", &BTN_name_from_vector,
                                                       &names, nullptr, nullptr, &BTN_type_from_vector, &kinds);
        if (count == 0 && file_type != 22 && file_type != 23 && !opensave_folder_readable(folder))
            OGL_string(52, 20, 180, UTL_translate_string(io_unreadable_text, 0), 270, cs_regular, just_left);
        if (typed != noticed_name) notice.clear();
        if (!notice.empty()) OGL_string(52, 20, 36, notice, 300, cs_regular, just_left);

        // The folder as a staircase, and the levels the popup offers.
        const std::vector<std::string> parts = components(folder);
        std::vector<std::string> levels(1);
        std::string items = "V System folder";
        std::string cut;
        for (std::size_t k = 0; k < parts.size(); ++k) {
            std::string shown = parts[k];
            std::replace(shown.begin(), shown.end(), '-', ' ');
            const float fk = static_cast<float>(k + 1);
            OGL_string(52, 20 + 10 * fk, 415 - 10 * fk, shown, 9999, cs_regular, just_left);
            cut += parts[k] + "/";
            // The popup holds 300 entries; a deeper folder's further levels share the last.
            if (levels.size() < kMaxLevels) {
                levels.push_back(cut);
                items += "-" + shown;
            } else {
                levels.back() = cut;
            }
        }
        for (std::size_t k = 0; k < levels.size(); ++k)
            if (levels[k] == folder) level = static_cast<int>(k);

        const int save_hit =
            saving ? BTN_action(282, 18, 0, 0, 1, UTL_translate_string("Save", 0), "-") : 0;
        const int open_hit = saving ? 0 : BTN_action(280, 18, 0, 0, 1, UTL_translate_string("Open", 0), "-");
        const int cancel_hit = BTN_action(33, 18, 0, 0, 1, UTL_translate_string("Cancel", 0), "-");
        if (cancel_hit || escape_hit) {
            wins.start_win(return_panel);
            return 0;
        }

        if (BTN_textlist(150, 434, &level, items, "", '-')) {
            folder = levels[static_cast<std::size_t>(std::clamp(level, 0, static_cast<int>(levels.size()) - 1))];
        } else {
            if (saving && (save_hit || return_hit) && !typed.empty()) {
                std::string name = typed;
                if (name.size() >= 500)
                    __MACIBM_alert(0, "String too long!", "", "", "", t_crash, "QFutils/GenH/qf_string", __LINE__);
                if (name.size() > 4 && name[name.size() - 4] == '.') name.erase(name.size() - 4);
                name += kTypes[file_type].extension;
                if (name_leaves_folder(typed)) {
                    notice = UTL_translate_string(io_bad_name_text, 0);
                    noticed_name = typed;
                } else if (is_link(folder + name)) {
                    notice = UTL_translate_string(io_link_text, 0);
                    noticed_name = typed;
                } else {
                    *path = folder + name;
                    wins.start_win(return_panel);
                    return 1;
                }
            }
            const bool go = double_clicked || (!saving && (return_hit || open_hit));
            if (go && selected >= 0 && selected < count) {
                const std::size_t at = static_cast<std::size_t>(selected);
                if (kinds[at] == 1) {
                    folder += names[at] + "/";
                    count = list();
                    selected = scroll = count / 2;
                } else if (!saving) {
                    *path = folder + names[at];
                    wins.start_win(return_panel);
                    return 1;
                }
            }
            if (delete_hit && !folder.empty()) {
                folder = folder_of(folder);
                count = list();
                selected = scroll = count / 2;
            }
        }
        shell_event_proc();
    }
}

int BTN_select_path_stl(float x, float y, int panel, int file_type, std::string* path, int max_len,
                        const std::string& label, float width, int take_focus) {
    bad_args(panel, file_type, "Bad open_save arg to BTN_select_file_stl!", "Bad file_type arg to BTN_select_file_stl!");
    std::string left, right, help_part;
    BTN_expand_label(label, &left, &right, &help_part);
    BTN_util_draw_label(x - 32, y, 0, left, 0);
    BTN_util_draw_label(x + width + 6, y, 2, right, 0);
    constexpr float kAtlas = 512, s0 = 208 / kAtlas, s1 = 234 / kAtlas, t0 = 133 / kAtlas, t1 = 159 / kAtlas;
    OGL_2dquad(tex_ref_interface, 57, 1.0f, x - 30, y - 10, s0, t0, x - 30, y + 16, s0, t1, x - 4, y + 16, s1, t1,
               x - 4, y - 10, s1, t0, 1, ogl_al_blend, 0);

    std::string shown = file_type == 22 || file_type == 23 ? *path : last_component(*path);
    if (BTN_enterstring(x, y, &shown, max_len, "", width, take_focus)) *path = shown;

    const float px = mnw.mouse_x, py = mnw.mouse_y;
    if (px >= x - 28 && px <= x - 6 && py >= y - 8 && py <= y + 12) {
        help.help_text = help_part;
        if (mnw.click_hit) {
            BTN_opensave(panel, file_type, path);
            return 1;
        }
    }
    return 0;
}

int BTN_select_path_chr(float x, float y, int panel, int file_type, char* path, int buffer_len,
                        const std::string& label, float width, int take_focus) {
    bad_args(panel, file_type, "Bad open_save arg to BTN_select_file_chr!", "Bad file_type arg to BTN_select_file_chr!");
    std::string copy = path;
    const int r = BTN_select_path_stl(x, y, panel, file_type, &copy, buffer_len - 1, label, width, take_focus);
    if (static_cast<int>(copy.size()) >= buffer_len - 1) copy.resize(static_cast<std::size_t>(std::max(0, buffer_len - 1)));
    if (copy.size() >= 500)
        __MACIBM_alert(0, "String too long!", "", "", "", t_crash, "QFutils/GenH/qf_string", __LINE__);
    std::memcpy(path, copy.c_str(), copy.size() + 1);
    return r;
}

int BTN_select_file_chr(float x, float y, int panel, int file_type, char* name, std::string* full_path, int max_len,
                        const std::string& label, float width) {
    bad_args(panel, file_type, "Bad open_save arg to BTN_select_file_chr!", "Bad file_type arg to BTN_select_file_chr!");
    std::string work = folder_of(*full_path) + name;
    const int r = BTN_select_path_stl(x, y, panel, file_type, &work, max_len, label, width, 1);
    if (r) {
        *full_path = work;
        std::string last = last_component(work);
        if (static_cast<int>(last.size()) >= max_len - 1) last.resize(static_cast<std::size_t>(std::max(0, max_len - 1)));
        if (last.size() >= 500)
            __MACIBM_alert(0, "String too long!", "", "", "", t_crash, "QFutils/GenH/qf_string", __LINE__);
        std::memcpy(name, last.c_str(), last.size() + 1);
    }
    return r;
}

void BTN_file_dialog_reset_for_test() {
    lists = list_state{};
    level = 0;
    old_path.clear();
    comment.clear();
}
