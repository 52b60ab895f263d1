#include "core/command_registry.h"

#include <cctype>

namespace {
// Virtual keys and modifiers used by the default bindings.
constexpr int vk_none = 0, vk_space = 32, vk_left = 37, vk_up = 38, vk_right = 39, vk_down = 40, vk_e = 69,
              vk_f = 70, vk_q = 81, vk_r = 82, vk_equal = 176, vk_minus = 177, vk_comma = 183, vk_period = 185;
constexpr int shift = 1, control = 4;
}  // namespace

const cmnd_default default_commands[num_default_commands] = {
    {"cmnd_nothing", "sim/none/none", "Do nothing at all!", 3, vk_none, 0},
    {"cmnd_scrshot", "sim/operation/screenshot", "Take a screenshot.", 2, vk_period, control},
    {"cmnd_qtim", "sim/operation/quicktime_record_toggle", "Toggle recording of QuickTime movie.", 2, vk_space,
     control},
    {"cmnd_quit", "sim/operation/quit", "Quit the simulation.", 2, vk_none, 0},
    {"cmnd_gen_lft", "sim/general/left", "General command: left.", 3, vk_left, 0},
    {"cmnd_gen_rgt", "sim/general/right", "General command: right.", 3, vk_right, 0},
    {"cmnd_gen_up", "sim/general/up", "General command: up.", 3, vk_up, 0},
    {"cmnd_gen_dn", "sim/general/down", "General command: down.", 3, vk_down, 0},
    {"cmnd_gen_for", "sim/general/forward", "General command: forward.", 3, vk_period, 0},
    {"cmnd_gen_aft", "sim/general/backward", "General command: backward.", 3, vk_comma, 0},
    {"cmnd_gen_zoom_in", "sim/general/zoom_in", "General command: zoom in.", 3, vk_equal, 0},
    {"cmnd_gen_zoom_out", "sim/general/zoom_out", "General command: zoom out.", 3, vk_minus, 0},
    {"cmnd_gen_LFT", "sim/general/left_fast", "General command: left fast.", 3, vk_left, shift},
    {"cmnd_gen_RGT", "sim/general/right_fast", "General command: right fast.", 3, vk_right, shift},
    {"cmnd_gen_UP", "sim/general/up_fast", "General command: up fast.", 3, vk_up, shift},
    {"cmnd_gen_DN", "sim/general/down_fast", "General command: down fast.", 3, vk_down, shift},
    {"cmnd_gen_FOR", "sim/general/forward_fast", "General command: forward fast.", 3, vk_period, shift},
    {"cmnd_gen_AFT", "sim/general/backward_fast", "General command: backward fast.", 3, vk_comma, shift},
    {"cmnd_gen_ZOOM_IN", "sim/general/zoom_in_fast", "General command: zoom in fast.", 3, vk_equal, shift},
    {"cmnd_gen_ZOOM_OUT", "sim/general/zoom_out_fast", "General command: zoom out fast.", 3, vk_minus, shift},
    {"cmnd_v_rot_up", "sim/general/rot_up", "General command: tilt up.", 3, vk_r, 0},
    {"cmnd_v_rot_dn", "sim/general/rot_down", "General command: tilt down.", 3, vk_f, 0},
    {"cmnd_v_rot_lft", "sim/general/rot_left", "General command: pan left.", 3, vk_q, 0},
    {"cmnd_v_rot_rgt", "sim/general/rot_right", "General command: pan right.", 3, vk_e, 0},
    {"cmnd_v_rot_UP", "sim/general/rot_up_fast", "General command: tilt up fast.", 3, vk_r, shift},
    {"cmnd_v_rot_DN", "sim/general/rot_down_fast", "General command: tilt down fast.", 3, vk_f, shift},
    {"cmnd_v_rot_LFT", "sim/general/rot_left_fast", "General command: pan left fast.", 3, vk_q, shift},
    {"cmnd_v_rot_RGT", "sim/general/rot_right_fast", "General command: pan right fast.", 3, vk_e, shift},
};

cmnd_class cmnd;

cmnd_class::cmnd_class() {
    enum_names.resize(num_default_commands);
    paths.resize(num_default_commands);
    descriptions.resize(num_default_commands);
    kinds.resize(num_default_commands);
    for (int i = 0; i < num_default_commands; ++i) {
        enum_names[i] = default_commands[i].enum_name;
        paths[i] = default_commands[i].path;
        descriptions[i] = default_commands[i].description;
        kinds[i] = default_commands[i].kind;
    }
}

int cmnd_class::get_cmnd_by_name(const std::string& name) const {
    const auto a = aliases.find(name);
    if (a != aliases.end()) return a->second;
    for (std::size_t i = 0; i < paths.size(); ++i)
        if (paths[i] == name) return static_cast<int>(i);
    return 0;
}

void cmnd_class::alias_cmd(const std::string& name, int index) { aliases[name] = index; }

int cmnd_class::add_cmd(const std::string& path, const std::string& description) {
    const int index = static_cast<int>(paths.size());
    enum_names.push_back("DYNAMIC");
    paths.push_back(path);
    descriptions.push_back(description);
    kinds.push_back(2);
    return index;
}

void cmnd_class::get_cmds_in_path(const std::string& prefix, std::vector<std::string>& out) const {
    out.clear();
    for (const std::string& p : paths) {
        if (p.size() <= prefix.size() || p.compare(0, prefix.size(), prefix) != 0) continue;
        const std::size_t slash = p.find('/', prefix.size());
        const std::string part =
            slash == std::string::npos ? p.substr(prefix.size()) : p.substr(prefix.size(), slash + 1 - prefix.size());
        bool seen = false;
        for (const std::string& o : out) seen = seen || o == part;
        if (!seen) out.push_back(part);
    }
}

namespace {
bool contains_ignoring_case(const std::string& hay, const std::string& needle) {
    if (needle.size() > hay.size()) return false;
    for (std::size_t i = 0; i + needle.size() <= hay.size(); ++i) {
        std::size_t k = 0;
        while (k < needle.size() && std::tolower(static_cast<unsigned char>(hay[i + k])) ==
                                        std::tolower(static_cast<unsigned char>(needle[k])))
            ++k;
        if (k == needle.size()) return true;
    }
    return false;
}
}  // namespace

void cmnd_class::get_cmnds_by_filter(const std::string& filter, std::vector<std::string>& out) const {
    std::vector<std::string> words;
    std::string word;
    for (const char c : filter + " ") {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r') {
            if (!word.empty()) words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    out.clear();
    for (const std::string& p : paths) {
        bool all = true;
        for (const std::string& w : words) all = all && contains_ignoring_case(p, w);
        if (all) out.push_back(p);
    }
}

int cmnd_class::tab_complete_cmnd(std::string& text) const {
    const std::string* first = nullptr;
    std::size_t common = 0;
    for (const std::string& p : paths) {
        if (p.size() < text.size() || p.compare(0, text.size(), text) != 0) continue;
        if (!first) {
            first = &p;
            common = p.size();
            continue;
        }
        std::size_t k = 0;
        while (k < common && k < p.size() && p[k] == (*first)[k]) ++k;
        common = k;
    }
    if (!first) return 0;
    text = first->substr(0, common);
    return 1;
}
