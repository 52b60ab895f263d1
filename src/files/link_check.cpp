#include "files/link_check.h"

#include <fcntl.h>
#include <unistd.h>

#include <deque>
#include <vector>

namespace {

constexpr int kMaxLinks = 40;   // what the kernel follows in one resolution

// Puts the components of path in front of the components still to resolve, in order.
void push_front_components(std::deque<std::string>& todo, const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        if (slash > start) parts.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) todo.push_front(*it);
}

}  // namespace

bool resolves_inside(int rootfd, const std::string& rel) {
    if (!rel.empty() && rel[0] == '/') return false;
    std::deque<std::string> todo;
    push_front_components(todo, rel);
    std::vector<std::string> stack;   // resolved components below the root: no links among them
    std::string here;                  // the same, joined
    int links = 0;
    char text[4096];
    while (!todo.empty()) {
        const std::string part = std::move(todo.front());
        todo.pop_front();
        if (part == ".") continue;
        if (part == "..") {
            if (stack.empty()) return false;
            stack.pop_back();
            here.clear();
            for (const std::string& s : stack) here += (here.empty() ? "" : "/") + s;
            continue;
        }
        const std::string candidate = here.empty() ? part : here + "/" + part;
        const ssize_t n = ::readlinkat(rootfd, candidate.c_str(), text, sizeof text);
        if (n < 0) {
            // A folder, a file or nothing yet: taken as written.
            stack.push_back(part);
            here = candidate;
            continue;
        }
        if (size_t(n) >= sizeof text) return false;
        if (++links > kMaxLinks) return false;   // the kernel gives up here too; so do we
        const std::string target(text, size_t(n));
        if (target.empty() || target[0] == '/') return false;
        push_front_components(todo, target);
    }
    return true;
}
