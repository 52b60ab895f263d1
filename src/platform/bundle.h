#pragma once
// Where the application bundle lies, facts about its volume, and the process's current folder.
//   [x] the executable's path, the bundle around it, files in its Resources folder
//   [x] whether the bundle's volume tells names apart by case (probed with a file)
//   [x] making a folder the current one, against which relative paths resolve, and the folder
//       that was current when the program started (where a command line's paths are meant)
#include <string>

namespace platform {

// Absolute path of the running executable (from /proc/self/exe).
std::string executable_path();

// The bundle: the folder ending in ".app" that holds Contents/MacOS/<executable>.
// When the executable does not sit in a bundle, its own folder stands in.
std::string bundle_path();

// Absolute path of a file in the bundle's Contents/Resources/, or "" when it is missing.
std::string bundle_resource(const std::string& name);

// Makes folder the process's current folder; false (nothing changed) when it cannot be.
bool set_current_folder(const std::string& folder);
// The folder that was current before the first set_current_folder ("" when it cannot be read).
std::string launch_folder();

// 1 when names on the volume holding path differ by case, 0 when they do not, -1 when unknown.
int volume_case_sensitive(const std::string& path);

}  // namespace platform
