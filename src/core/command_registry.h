#pragma once
// The framework's commands: index, slash-separated path, description and enumerator name.
// Key bindings refer to commands by index and look the index up by path.
#include <map>
#include <string>
#include <vector>

// One row of the built-in command table, with its default key binding (vkey 0: none).
struct cmnd_default {
    const char* enum_name;
    const char* path;
    const char* description;
    int kind;
    int key;    // virtual key
    int flags;  // modifier bits: 1 shift, 2 option, 4 control
};

constexpr int num_default_commands = 28;
extern const cmnd_default default_commands[num_default_commands];

class cmnd_class {
public:
    cmnd_class();  // filled from default_commands; no aliases

    // Alias first, then the first path equal to name; 0 ("sim/none/none") when neither.
    int get_cmnd_by_name(const std::string& name) const;
    void alias_cmd(const std::string& name, int index);
    int add_cmd(const std::string& path, const std::string& description);  // returns the new index

    // The distinct next components below prefix, in order of first appearance; a component keeps
    // its trailing "/" when the path goes on.
    void get_cmds_in_path(const std::string& prefix, std::vector<std::string>& out) const;
    // Paths holding every white-space separated word of filter, ignoring case.
    void get_cmnds_by_filter(const std::string& filter, std::vector<std::string>& out) const;
    // Extends text to the longest beginning shared by the paths that start with it; 0 when none does.
    int tab_complete_cmnd(std::string& text) const;

    // Parallel tables: index i of each describes command i.
    std::vector<std::string> enum_names;
    std::vector<std::string> paths;
    std::vector<std::string> descriptions;
    std::vector<int> kinds;
    std::map<std::string, int> aliases;
};

extern cmnd_class cmnd;
