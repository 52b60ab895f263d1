#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "core/frame_clock.h"
#include "core/shared_constants.h"
#include "files/http.h"
#include "install/checksum.h"
#include "install/install_filter.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/registration.h"
#include "install/scheduler.h"
#include "install/server_list.h"
#include "platform/clock.h"
#include "platform/web_page.h"
#include "core/app_globals.h"
#include "support/engine_run.h"

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

TEST_F(EngineRun, CleanInstallFromThreeMirrors) {
    nginx_mirrors nginx({{"m1.test"}, {"m2.test"}, {"m3.test"}, {VENTARO_SERVER_HOST}});
    use_mirrors(nginx);
    const install_set set = make_set(300, 1);
    publish(nginx, {"m1.test", "m2.test", "m3.test"}, set);

    Frames frames;
    get_manifest(frames);
    ASSERT_EQ(stg.stage, 3);
    ASSERT_EQ(servers.size(), 3u);
    EXPECT_EQ(install_name, set_name);
    // The set's files and the plug-ins every master holds.
    EXPECT_EQ(sim_info.size(), set.files.size() + master_skeleton().size());

    scan(frames);   // the destination does not exist yet: everything is missing
    recalc_disk_sizes();
    EXPECT_EQ(stg.files_to_get, (int)expected_tree(set).size());

    ASSERT_EQ(install(frames, true), 1);
    EXPECT_EQ(stg.error_flag, 0);
    EXPECT_EQ(installed_tree(), without_windows(expected_tree(set)));
    struct stat st;
    ASSERT_EQ(::stat((dest_dir_path + "Ventaro.app/Contents/MacOS/Ventaro").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
    EXPECT_TRUE(fs::is_directory(dest_dir_path + "Output/preferences"));
    EXPECT_EQ(read_file(t / "config/ventaro_install.txt"), dest_dir_path + "\n");

    // Every mirror served a share.
    nginx.stop();
    const std::string log = nginx.access_log();
    for (const char* m : {"m1.test", "m2.test", "m3.test"}) EXPECT_NE(log.find(m), std::string::npos) << m;
    for (const char* zip : {"0.zip", "1.zip", "2.zip", "directory.txt.zip"})
        EXPECT_FALSE(fs::exists(temp_path + zip)) << "archives are deleted once used: " << zip;
}

TEST_F(EngineRun, FailingMirrorsStillCompleteFromTheOthers) {
    nginx_mirrors nginx({{"good.test"},
                         {"broken.test", mirror::mode::error_500},
                         {"dropper.test", mirror::mode::drop, 0, 2000},
                         {VENTARO_SERVER_HOST}});
    use_mirrors(nginx);
    const install_set set = make_set(60, 2);
    publish(nginx, {"good.test", "broken.test", "dropper.test"}, set);

    Frames frames;
    get_manifest(frames);
    ASSERT_EQ(stg.stage, 3);
    scan(frames);
    ASSERT_EQ(install(frames, true), 1);
    EXPECT_TRUE(saw_failure_status);
    EXPECT_EQ(stg.error_flag, 0);
    EXPECT_EQ(installed_tree(), without_windows(expected_tree(set)));
}

TEST_F(EngineRun, UpdateBringsTheCopyToTheNewManifest) {
    nginx_mirrors nginx({{"m1.test"}, {"m2.test"}, {VENTARO_SERVER_HOST}});
    use_mirrors(nginx);
    install_set v1 = make_set(40, 3);
    publish(nginx, {"m1.test", "m2.test"}, v1);
    {
        Frames frames;
        get_manifest(frames);
        ASSERT_EQ(stg.stage, 3);
        scan(frames);
        ASSERT_EQ(install(frames, true), 1);
    }

    // The next release changes, adds and removes files; a removed file's folder goes with it.
    install_set v2 = v1;
    v2.files[0].older = {v2.files[0].bytes};
    v2.files[0].bytes = "changed contents";
    v2.files[1].older = {v2.files[1].bytes};
    v2.files[1].gone = true;
    v2.files.push_back(file("All/Resources/new folder/added.txt", "added"));
    v2.files.push_back({"Macintosh/Lonely/only.txt", "x", true, {"was here"}});
    write_file(dest_dir_path + "Lonely/only.txt", "was here");
    publish(nginx, {"m1.test", "m2.test"}, v2);

    fresh_run();
    Frames frames;
    get_manifest(frames);
    ASSERT_EQ(stg.stage, 3);
    scan(frames);
    recalc_disk_sizes();
    EXPECT_EQ(stg.files_to_get, 2);
    ASSERT_EQ(install(frames, false), 1);
    EXPECT_EQ(installed_tree(), without_windows(expected_tree(v2)));
    EXPECT_FALSE(fs::exists(dest_dir_path + "Lonely"));
    EXPECT_EQ(read_file(t / "config/ventaro_install.txt"), dest_dir_path + "\n");
}

TEST_F(EngineRun, NewerInstallerIsAnnouncedAndEndsTheRun) {
    nginx_mirrors nginx({{VENTARO_SERVER_HOST}});
    use_mirrors(nginx);
    write_file(nginx.root(VENTARO_SERVER_HOST) + "serverlist9.txt",
               server_list_text(set_name, {{"m1.test", "/"}}, "INS_VERSION 20604 x http://get.test/new.html\n"));
    Frames frames;
    get_manifest(frames);
    EXPECT_EQ(app_done, 1);
    EXPECT_TRUE(servers.empty());
    EXPECT_EQ(read_file(t / "opened"), "http://get.test/new.html\n");
}

TEST_F(EngineRun, NewerManifestFormatIsAnnouncedAndEndsTheRun) {
    nginx_mirrors nginx({{"m1.test"}, {VENTARO_SERVER_HOST}});
    use_mirrors(nginx);
    write_zip(nginx.root("m1.test") + set_name + "/directory.txt.zip",
              {{"directory.txt", "I\n950 version\nINSTALLER\n\nDIR V/\n"}});
    write_file(nginx.root(VENTARO_SERVER_HOST) + "serverlist9.txt", server_list_text(set_name, {{"m1.test", "/"}}));
    Frames frames;
    get_manifest(frames);
    EXPECT_EQ(stg.stage, 2);
    EXPECT_EQ(stg.format_flag, 2);
    EXPECT_EQ(app_done, 1);
    EXPECT_EQ(read_file(t / "opened"), "http://" VENTARO_SERVER_HOST "/demo.html\n");
}

TEST_F(EngineRun, UnreadableManifestArchiveIsFetchedAgain) {
    nginx_mirrors nginx({{"m1.test"}, {VENTARO_SERVER_HOST}});
    use_mirrors(nginx);
    write_file(nginx.root("m1.test") + set_name + "/directory.txt.zip", "not a zip");
    write_file(nginx.root(VENTARO_SERVER_HOST) + "serverlist9.txt", server_list_text(set_name, {{"m1.test", "/"}}));
    Frames frames;
    for (int i = 0; i < 300; ++i) {
        UTL_download_directory();
        frames.end_frame();
        ::usleep(1000);   // let nginx answer between frames
    }
    EXPECT_EQ(stg.stage, 0);
    EXPECT_FALSE(fs::exists(temp_path + "directory.txt.zip"));
    nginx.stop();   // the access log is complete once nginx has exited
    int requests = 0;
    const std::string log = nginx.access_log();
    for (size_t at = 0; (at = log.find("directory.txt.zip", at)) != std::string::npos; ++at) ++requests;
    EXPECT_GT(requests, 1);
}

}  // namespace
