#pragma once
// Whether a path inside a folder stays inside it when every link on the way is followed the way
// the kernel follows links: at most 40 links in one resolution, an absolute target leaves the
// folder, and ".." above the folder leaves it. A component that does not exist yet is taken as a
// plain folder, so a link that would leave once its folders are made is caught already.
// The work is bounded by the 40-link budget, whatever links cross each other.
#include <string>

// rel is relative to the folder open as rootfd; its last component is followed too.
bool resolves_inside(int rootfd, const std::string& rel);
