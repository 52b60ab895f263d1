#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "core/shared_constants.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/server_list.h"
#include "platform/install_media.h"
#include "support/install_set.h"
#include "support/temp_dir.h"

using namespace testsupport;

namespace {

class DvdScan : public ::testing::Test {
protected:
    void SetUp() override {
        stg_set_initial();
        install_name = no_install_name;
        dvd_path.clear();
        temp_path = t / "tmp/";
        write_file(temp_path + ".keep", "");
        // The mount table escapes the blank in the volume's name.
        write_file(t / "mounts", "proc /proc proc rw 0 0\n/dev/sr0 " + t.path() + "/Install\\040DVD iso9660 ro 0 0\n");
        platform_set_mount_table(t / "mounts");
        servers = {{"kept.test", "/p/", ""}};
    }
    void TearDown() override { platform_set_mount_table(""); }

    // The builder's first disc, its identification file replaced by the one given.
    void write_dvd(const std::string& version_text) {
        install_set set{"Set 10", {}};
        set_file f;
        f.path = "All/Resources/a.txt";
        f.bytes = "a";
        set.files.push_back(f);
        write_disc_set(t / "disc", set);
        std::filesystem::rename(t / "disc/disk_0", t / "Install DVD");
        write_file(t / "Install DVD/dvd_version.txt", version_text);
    }
    temp_dir t;
};

TEST_F(DvdScan, FindsTheVolumeNameAndManifest) {
    write_dvd("I\n900 version\nDVD\n\nVERSION Old\nVERSION Ventaro Meridian\n");
    UTIL_scan_dvd();
    EXPECT_EQ(dvd_path, t / "Install DVD/");
    EXPECT_EQ(install_name, "Ventaro Meridian");
    EXPECT_TRUE(servers.empty());
    EXPECT_EQ(stg.stage, 3);
    const auto listed = [](const file_history_struct& h) { return h.current().path == "All/Resources/a.txt"; };
    EXPECT_EQ(std::count_if(sim_info.begin(), sim_info.end(), listed), 1);
}

TEST_F(DvdScan, KnownInstallNameOrOtherHeaderLeavesTheFileUnread) {
    // The name already known is the disc's set, so the scan goes on to read its manifest.
    write_dvd("I\n900 version\nDVD\n\nVERSION Set 10\n");
    install_name = "Ventaro Meridian";
    UTIL_scan_dvd();
    EXPECT_EQ(install_name, "Ventaro Meridian");
    EXPECT_EQ(servers.size(), 1u);

    stg.stage = 0;
    install_name = no_install_name;
    write_file(t / "Install DVD/dvd_version.txt", "I\n800 version\nDVD\n\nVERSION Set 10\n");
    UTIL_scan_dvd();
    EXPECT_EQ(install_name, no_install_name);
    EXPECT_EQ(stg.stage, 0);
}

TEST_F(DvdScan, NoVolumeLeavesEverythingAlone) {
    UTIL_scan_dvd();
    EXPECT_TRUE(dvd_path.empty());
    EXPECT_EQ(stg.stage, 0);
}

}  // namespace
