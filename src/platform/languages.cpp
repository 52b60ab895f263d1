#include "platform/languages.h"

#include <cstdlib>

namespace platform {

std::vector<std::string> preferred_languages() {
    std::vector<std::string> out;
    if (const char* list = std::getenv("LANGUAGE")) {
        std::string all(list);
        std::size_t start = 0;
        while (start <= all.size()) {
            std::size_t end = all.find(':', start);
            if (end == std::string::npos) end = all.size();
            if (end > start) out.push_back(all.substr(start, end - start));
            start = end + 1;
        }
    }
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = std::getenv(name);
        if (v && *v) out.emplace_back(v);
    }
    return out;
}

}  // namespace platform
