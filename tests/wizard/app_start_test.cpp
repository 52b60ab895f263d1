// The installer's start-up duties in process: the DVD relaunch decision and its failures, the
// platform and folder options, and the start state in its order against the preferences.
#include "wizard/app_start.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/cmdline.h"
#include "core/log.h"
#include "core/shared_constants.h"
#include "install/install_state.h"
#include "install/registration.h"
#include "platform/install_media.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using testsupport::read_file;
using testsupport::temp_dir;
using testsupport::write_file;

namespace {

TEST(AppStart, BundleIsOnTheVolumeOnlyInsideItsWholePath) {
    const struct { const char* volume; const char* bundle; bool on; } rows[] = {
        {"/media/dvd/", "/media/dvd/Ventaro Installer.app", true},
        {"/media/dvd/", "/media/dvd/sub/Ventaro Installer.app", true},
        {"/media/dvd", "/media/dvd/Ventaro Installer.app", true},        // a volume given without '/'
        {"/media/dvd/", "/media/dvd2/Ventaro Installer.app", false},     // a sibling sharing the prefix
        {"/media/dvd", "/media/dvd2/Ventaro Installer.app", false},
        {"/media/dvd/", "/media", false},                                // shorter than the volume
        {"/media/dvd/", "/media/dvd/", false},                           // the volume itself
        {"/media/dvd/", "/home/me/Ventaro Installer.app", false},
        {"", "/media/dvd/Ventaro Installer.app", false},                  // no DVD
        {"/media/dvd/", "", false},
    };
    for (const auto& r : rows) EXPECT_EQ(bundle_is_on_volume(r.volume, r.bundle), r.on) << r.volume << " " << r.bundle;
}

TEST(AppStart, LocatesTheInstallDvdWithItsSlash) {
    temp_dir t;
    for (const char* d : {"dvd", "other", "dvd\\9x"}) write_file(t / (std::string(d) + "/dvd_version.txt"), "I\n900 version\nDVD\n");
    fs::remove(t / "other/dvd_version.txt");
    const struct { std::string table, found; } rows[] = {
        {"/dev/sr0 " + t.path() + "/dvd iso9660 ro 0 0\n", t.path() + "/dvd/"},
        {"/dev/sda1 / ext4 rw 0 0\n/dev/sr1 " + t.path() + "/other iso9660 ro 0 0\n", ""},   // no version file
        {"/dev/sr0 " + t.path() + "/dvd\\9x iso9660 ro 0 0\n", t.path() + "/dvd\\9x/"},   // not an escape
        {"", ""},
    };
    for (const auto& r : rows) {
        write_file(t / "mounts", r.table);
        platform_set_mount_table(t / "mounts");
        locate_install_dvd();
        EXPECT_EQ(dvd_path, r.found) << r.table;
    }
    platform_set_mount_table("");
}

TEST(AppStart, OsOptionValues) {
    const struct { const char* value; int filter; } rows[] = {
        {"ALL", 0}, {"APL", 1}, {"IBM", 2}, {"LIN", 3}, {"", 1}, {"lin", 1}, {"LINUX", 1}, {"3", 1},
    };
    for (const auto& r : rows) EXPECT_EQ(os_filter_from_option(r.value), r.filter) << r.value;
}

TEST(AppStart, FoldersFromTheCommandLineAreAbsoluteWithTheirSlash) {
    const std::string cwd = fs::current_path().generic_string();
    const struct { std::string given, used; } rows[] = {
        {"/opt/Ventaro 9", "/opt/Ventaro 9/"},
        {"/opt/Ventaro 9/", "/opt/Ventaro 9/"},
        {"/opt/a/../b/./c", "/opt/b/c/"},
        {"copies/Ventaro", cwd + "/copies/Ventaro/"},
        {"./copies//Ventaro/", cwd + "/copies/Ventaro/"},
        {".", cwd + "/"},
        {"/", "/"},
        {"", ""},
    };
    for (const auto& r : rows) EXPECT_EQ(absolute_folder(r.given), r.used) << r.given;
}

// A bundle whose executable leaves a mark when it is started.
void make_bundle(const std::string& bundle, const std::string& marker) {
    write_file(bundle + "/Contents/MacOS/Ventaro Installer", "#!/bin/sh\necho started > '" + marker + "'\n");
    fs::permissions(bundle + "/Contents/MacOS/Ventaro Installer", fs::perms(0755));
    write_file(bundle + "/Contents/Resources/interface.png", "art");
}

TEST(AppStart, ACopyThatFailsIsNeverStarted) {
    temp_dir t;
    ASSERT_TRUE(xer.open(t / "log.txt"));
    const std::string marker = t / "started";
    const std::string bundle = t / "dvd/Ventaro Installer.app";
    make_bundle(bundle, marker);
    fs::create_directories(t / "tmp");

    // A file the copy cannot read stops it half way; a temporary folder that is a file stops it
    // at once; a bundle that is not there has nothing to copy. Returning at all means no launch.
    fs::create_symlink(t / "nowhere", bundle + "/Contents/Resources/zz broken");
    EXPECT_NE(relaunch_copy(bundle, t / "tmp/"), 0);
    EXPECT_TRUE(fs::exists(t / "tmp/Ventaro Installer.app/Contents/MacOS/Ventaro Installer"));
    fs::remove(bundle + "/Contents/Resources/zz broken");

    write_file(t / "not a folder", "");
    EXPECT_NE(relaunch_copy(bundle, t / "not a folder/"), 0);
    EXPECT_NE(relaunch_copy(t / "dvd/Missing.app", t / "tmp/"), 0);
    EXPECT_NE(relaunch_copy(bundle, ""), 0);

    EXPECT_FALSE(fs::exists(marker));
    EXPECT_EQ(read_file(t / "log.txt").find("Launching: "), std::string::npos);
    xer.close();
}

struct StartState : ::testing::Test {
    temp_dir t;
    std::vector<std::string> saved;

    void SetUp() override {
        for (const char* v : {"HOME", "XDG_CONFIG_HOME", "XDG_DESKTOP_DIR", "TMPDIR"}) {
            const char* now = std::getenv(v);
            saved.push_back(now ? now : "");
        }
        ::setenv("HOME", (t / "home").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (t / "config").c_str(), 1);
        ::setenv("XDG_DESKTOP_DIR", (t / "desk").c_str(), 1);
        ::setenv("TMPDIR", (t / "tmp").c_str(), 1);
        for (const char* d : {"home", "config", "desk", "tmp/given"}) fs::create_directories(t / d);
        ASSERT_TRUE(xer.open(t / "log.txt"));
        cmd_line_path.clear();
        all_vsystems.clear();
    }
    void TearDown() override {
        const char* names[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DESKTOP_DIR", "TMPDIR"};
        for (size_t i = 0; i < saved.size(); ++i) {
            if (saved[i].empty()) ::unsetenv(names[i]);
            else ::setenv(names[i], saved[i].c_str(), 1);
        }
        cmdline = UTL_cmdline();
        xer.close();
    }
    void start(std::vector<const char*> args) {
        args.insert(args.begin(), "Ventaro Installer");
        cmdline = UTL_cmdline();
        cmdline.init_unix((int)args.size(), args.data());
        wizard_start_state((int)args.size(), const_cast<char**>(args.data()), t / "tmp/given/");
    }
};

TEST_F(StartState, FreshStateThenOptionsThenPreferencesThenInstalledCopies) {
    // Left over from anything before: the start state replaces it.
    stg.stage = 3;
    stg.error_flag = 1;
    stg.needed_space = 5;
    install_name = "Old";
    write_file(t / "config/Ventaro Installer.prf",
               "I\n10 version\n_log_actions 1\n_stream_count 4\n_get_beta 1\n");
    fs::create_directories(t / "Copy A");
    write_file(t / "config/ventaro_install.txt", t / "Copy A/\n" + t / "Gone/\n" + t / "Copy A/\n");

    start({"-path", "rel/copy", "--os=LIN"});
    EXPECT_EQ(stg.stage, 0);
    EXPECT_EQ(stg.error_flag, 0);
    EXPECT_EQ(stg.needed_space, 0.0f);
    EXPECT_EQ(stg.file_status, 3);
    EXPECT_EQ(stg.platform_filter, 3);
    EXPECT_EQ(stg.log_actions, 1);    // the saved values win over the initial ones
    EXPECT_EQ(stg.stream_count, 4);
    EXPECT_EQ(stg.get_beta, 1);
    EXPECT_EQ(install_name, no_install_name);
    // The downloads go to a folder of this run's own, made inside the temporary folder.
    EXPECT_EQ(temp_path.rfind(t / "tmp/given/run-", 0), 0u) << temp_path;
    EXPECT_EQ(temp_path.size(), (t / "tmp/given/run-XXXXXX/").size()) << temp_path;
    EXPECT_EQ(fs::status(temp_path).permissions(), fs::perms::owner_all) << temp_path;
    EXPECT_EQ(cmd_line_path, fs::current_path().generic_string() + "/rel/copy/");
    EXPECT_EQ(all_vsystems, (std::vector<std::string>{t / "Copy A/", t / "Copy A/"}));
}

TEST_F(StartState, PathOnlyAsTheFirstArgumentWithAFolderAfterIt) {
    const struct { std::vector<const char*> args; std::string path; int filter; } rows[] = {
        {{"-path", "/srv/copy"}, "/srv/copy/", 1},
        {{"-path"}, "", 1},                              // nothing after it
        {{"--os=ALL", "-path", "/srv/copy"}, "", 0},     // not the first argument
        {{"-pathx", "/srv/copy"}, "", 1},                // merely begins with -path
        {{"-path", ""}, "", 1},
        {{"--os=MAC"}, "", 1},
        {{"--os"}, "", 1},
    };
    for (const auto& r : rows) {
        cmd_line_path.clear();
        start(r.args);
        EXPECT_EQ(cmd_line_path, r.path) << r.args.size();
        EXPECT_EQ(stg.platform_filter, r.filter) << r.args.size();
    }
}

TEST_F(StartState, LogsTheOsFoldersInTheirOrder) {
    start({});
    const std::string log = read_file(t / "log.txt");
    std::string this_app;
    const std::string expected_tail = "os_dir_desktop\t\t=" + t / "desk/" + "\n" +
                                      "os_dir_default_apps\t=" + t / "desk/" + "\n" +
                                      "os_dir_temp\t\t\t=" + t / "tmp/ventaro-" + std::to_string(::getuid()) + "/\n" +
                                      "os_dir_prefs\t\t\t=" + t / "config/" + "\n\n";
    ASSERT_EQ(log.rfind("os_dir_this_app\t\t=", 0), 0u) << log;
    const size_t line_end = log.find('\n');
    EXPECT_EQ(log.substr(line_end - 1, 1), "/");
    EXPECT_EQ(log.substr(line_end + 1, expected_tail.size()), expected_tail);
}

}  // namespace
