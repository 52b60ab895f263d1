// Makes the web demo's install set for local mirrors:
//   ventaro_demo_set OUT_DIR MIRROR_HOST...
// lays the demo's master folder out and builds its web set with the product's builder into
// OUT_DIR/sets/<install name>/ (one zip per file and the zipped manifest), which every mirror
// serves from its root, and OUT_DIR/list/serverlist9.txt naming the mirrors, which the server-list
// host serves. The set is the same bytes on every run.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "demo_set/demo_set.h"
#include "support/install_set.h"
#include "support/temp_dir.h"


int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUT_DIR MIRROR_HOST...\n", argv[0]);
        return 2;
    }
    try {
        const std::string out = argv[1];
        std::filesystem::remove_all(out + "/sets");
        std::filesystem::remove_all(out + "/list");
        const testsupport::install_set set = demo_install_set();
        testsupport::write_install_set(out + "/sets", set);
        std::vector<testsupport::list_server> list;
        for (int i = 2; i < argc; ++i) list.push_back({argv[i], "/", argv[i]});
        testsupport::write_file(out + "/list/serverlist9.txt", testsupport::server_list_text(demo_set_install_name, list));
        long long bytes = 0;
        for (const auto& f : set.files) bytes += (long long)f.bytes.size();
        std::printf("demo set \"%s\": %zu files, %lld bytes, and the %zu plug-ins every master holds, in %s/sets\n",
                    demo_set_install_name, set.files.size(), bytes, testsupport::master_skeleton().size(), out.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "demo set: %s\n", e.what());
        return 1;
    }
    return 0;
}
