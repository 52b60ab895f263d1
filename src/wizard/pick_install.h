#pragma once
// The chooser of an installed copy drawn by the screens that work on one: a radio button per
// registered copy, and "Find It" for a copy that is not listed yet.
#include <string>

// Draws the chooser into the current frame; may change dest_dir_path and register a copy.
void UTIL_pick_install();

// True when dest_dir_path may go forward as the copy to work on: one of the registered copies, or a
// folder that holds an installed copy. A path left from another screen is neither.
bool pick_install_dest_is_a_copy();

// The folder above path, ending in '/': "/a/b/" and "/a/b" give "/a/"; "/" gives "/".
std::string pick_install_parent(const std::string& path);
