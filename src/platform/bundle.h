#pragma once
// Where the application bundle lies, and facts about its volume.
#include <string>

namespace platform {

// Absolute path of the running executable (from /proc/self/exe).
std::string executable_path();

// The bundle: the folder ending in ".app" that holds Contents/MacOS/<executable>.
// When the executable does not sit in a bundle, its own folder stands in.
std::string bundle_path();

// Absolute path of a file in the bundle's Contents/Resources/, or "" when it is missing.
std::string bundle_resource(const std::string& name);

// 1 when names on the volume holding path differ by case, 0 when they do not, -1 when unknown.
int volume_case_sensitive(const std::string& path);

}  // namespace platform
