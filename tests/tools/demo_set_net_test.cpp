// The web demo's install set, as scripts/run serves it, installs through the engine from three
// mirrors, and the installed stand-in simulator starts and leaves its mark.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "demo_set/demo_set.h"
#include "install/install_state.h"
#include "install/install_filter.h"
#include "install/registration.h"
#include "support/engine_run.h"

using namespace testsupport;

namespace {

std::string output_of(const std::string& program) {
    std::string out;
    if (FILE* p = ::popen(("'" + program + "' --from-test").c_str(), "r")) {
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

TEST_F(EngineRun, TheDemoSetInstallsFromThreeMirrorsAndItsSimulatorStarts) {
    const std::vector<std::string> names{"mirror1.demo.test", "mirror2.demo.test", "mirror3.demo.test"};
    nginx_mirrors nginx({{names[0]}, {names[1]}, {names[2]}, {VENTARO_SERVER_HOST}});
    use_mirrors(nginx);
    const install_set set = demo_install_set();
    std::vector<list_server> list;
    for (const auto& n : names) {
        write_install_set(nginx.root(n), set);
        list.push_back({n, "/", n});
    }
    write_file(nginx.root(VENTARO_SERVER_HOST) + "serverlist9.txt", server_list_text(demo_set_install_name, list));

    Frames frames;
    get_manifest(frames);
    ASSERT_EQ(stg.stage, 3);
    EXPECT_EQ(install_name, demo_set_install_name);
    scan(frames);
    recalc_disk_sizes();
    ASSERT_EQ(install(frames, true), 1);
    EXPECT_EQ(stg.error_flag, 0);
    EXPECT_EQ(installed_tree(), expected_tree(set));
    EXPECT_TRUE(path_is_to_a_sim());

    const std::string said = output_of(dest_dir_path + "Ventaro.app/Contents/MacOS/Ventaro");
    EXPECT_EQ(said, "This is the Ventaro 9 web demo, installed at " + dest_dir_path + "\n");
    EXPECT_EQ(read_file(dest_dir_path + "Output/demo started.txt"), "Ventaro 9 web demo started: --from-test\n");
}

}  // namespace
