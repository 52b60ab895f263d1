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
#include "support/install_set.h"
#include "support/nginx_mirror.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

const char* const set_name = "Demo Set";

set_file file(const std::string& path, const std::string& bytes, int platform = 0) {
    set_file f;
    f.path = path;
    f.bytes = bytes;
    f.platform = platform;
    return f;
}

// The frame loop as the install screens run it: work, then the frame clock moves on.
class Frames {
public:
    Frames() { platform::test_clock_set(1000000); }
    ~Frames() { platform::test_clock_release(); }

    void end_frame() {
        platform::test_clock_advance(100000);   // 0.1 s per frame keeps the 30 s and 60 s waits short
        xtim.xtim_update();
        ++count;
    }
    int count = 0;
};

// Everything a run starts from, as the program's main sets it.
class EngineRun : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("XDG_CONFIG_HOME", (t / "config").c_str(), 1);
        fs::create_directories(t / "config");
        fs::create_directories(t / "tmp");
        write_file(t / "opener", "#!/bin/sh\necho \"$1\" >> \"$(dirname \"$0\")/opened\"\n");
        ::chmod((t / "opener").c_str(), 0755);
        platform_set_web_page_program(t / "opener");
        fresh_run();
        dest_dir_path = t / "Installed Copy/";
    }
    void TearDown() override {
        platform_set_web_page_program("");
        http.proxy_host.clear();
        http.proxy_port_int = 0;
        app_done = 0;
    }

    void fresh_run() {
        stg_set_initial();
        install_name = no_install_name;
        temp_path = t / "tmp/";
        servers.clear();
        sim_info.clear();
        app_done = 0;
    }

    void use_mirrors(const nginx_mirrors& nginx) {
        http.proxy_host = "127.0.0.1";
        http.proxy_port_int = nginx.port();
        http.proxy_port = std::to_string(nginx.port());
    }

    // Stage polling of the manifest screens; stops at stage 2 or 3 or when the program is ending.
    void get_manifest(Frames& frames) {
        for (int i = 0; i < 5000 && stg.stage != 3 && stg.stage != 2 && !app_done; ++i) {
            UTL_download_directory();
            frames.end_frame();
        }
    }

    // The install screen: the first frame decides and prepares, later frames download within 20 ms.
    int install(Frames& frames, bool register_copy) {
        if (!choose_files() || make_dirs() != 0) return -1;
        next.reset_all_streams();
        if (register_copy) register_new_ventaro();
        int result = 0;
        for (int frame = 0; frame < 20000 && !result; ++frame) {
            const uint64_t start = xtim_class::microsecs();
            do {
                result = grab_files();
                platform::test_clock_advance(200);
            } while (!result && xtim_class::microsecs() - start < 20000);
            saw_failure_status = saw_failure_status || any_stream_failed();
            frames.end_frame();
        }
        next.reset_all_streams();
        return result;
    }

    void scan(Frames& frames) {
        int counter = 0;
        float progress = 0;
        for (int i = 0; i < 100000 && !checksum_directory(counter, 0, progress); ++i) frames.end_frame();
    }

    static bool any_stream_failed() {
        for (const auto& s : next.streams)
            if (s.status == "Server is not responding normally.") return true;
        return false;
    }

    // Every file under the destination, relative, with its MD5 (folders and the fixed output folders left out).
    std::map<std::string, std::string> installed_tree() const {
        std::map<std::string, std::string> out;
        std::vector<std::string> rel, full;
        for (const auto& e : fs::recursive_directory_iterator(dest_dir_path)) {
            if (!e.is_regular_file()) continue;
            full.push_back(e.path().string());
            rel.push_back(e.path().string().substr(dest_dir_path.size()));
        }
        const auto digests = md5_hex_of_files(full);
        for (size_t i = 0; i < rel.size(); ++i) out[rel[i]] = digests[i];
        return out;
    }

    static std::map<std::string, std::string> expected_tree(const install_set& set) {
        std::map<std::string, std::string> out;
        for (const auto& f : set.files)
            if (!f.gone) out[f.path.substr(f.path.find('/') + 1)] = md5_hex(f.bytes);
        return out;
    }

    static install_set make_set(int files, unsigned seed) {
        install_set set{set_name, {}};
        std::mt19937 rng(seed);
        for (int i = 0; i < files; ++i) {
            set_file f;
            const int kind = i % 3;
            const size_t size = (size_t)(rng() % (kind == 0 ? 150000 : 40000));
            if (kind == 0) {
                f.bytes.resize(size);
                for (auto& ch : f.bytes) ch = (char)rng();
            } else {
                for (size_t k = 0; f.bytes.size() < size; ++k) f.bytes += "line " + std::to_string(k) + " of text\n";
            }
            f.path = "Ventaro/Resources/folder " + std::to_string(i % 7) + "/sub" + std::to_string(i % 3) + "/file " +
                     std::to_string(i) + (kind == 0 ? ".bin" : ".txt");
            set.files.push_back(f);
        }
        set.files.push_back(file("Ventaro/Ventaro.app/Contents/MacOS/Ventaro", "#!/bin/sh\necho hi\n"));
        set.files.push_back(file("Ventaro/Ventaro.app/Contents/Info.plist", "<plist/>\n"));
        set.files.push_back(file("Ventaro/Resources/windows only.dll", "MZ", 2));
        set.files.push_back(file("Ventaro/empty.txt", ""));
        return set;
    }

    void publish(const nginx_mirrors& nginx, const std::vector<std::string>& names, const install_set& set) {
        for (const auto& n : names) write_install_set(nginx.root(n), set);
        std::vector<list_server> list;
        for (const auto& n : names) list.push_back({n, "/", n});
        write_file(nginx.root(VENTARO_SERVER_HOST) + "serverlist9.txt", server_list_text(set_name, list));
    }

    static std::map<std::string, std::string> without_windows(std::map<std::string, std::string> m) {
        m.erase("Resources/windows only.dll");
        return m;
    }

    temp_dir t;
    bool saw_failure_status = false;
};

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
    EXPECT_EQ(sim_info.size(), set.files.size());

    scan(frames);   // the destination does not exist yet: everything is missing
    recalc_disk_sizes();
    EXPECT_EQ(stg.files_to_get, (int)set.files.size() - 1);

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
    v2.files.push_back(file("Ventaro/Resources/new folder/added.txt", "added"));
    v2.files.push_back({"Ventaro/Lonely/only.txt", "x", 0, true, {"was here"}});
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
