// The install disc among the volumes: the test folder the environment names, and ejecting it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/install_media.h"
#include "platform/test_switches.h"
#include "platform/volumes.h"
#include "support/temp_dir.h"

using namespace testsupport;

namespace {

TEST(InstallMedia, TheTestFolderIsADiscOnlyWithItsLabelAndEjectingItTakesItAway) {
    temp_dir t;
    write_file(t / "mounts", "");
    platform_set_mount_table(t / "mounts");
    ::setenv("VENTARO_TEST_DISC_FOLDER", (t / "disc/").c_str(), 1);
    platform::test_switches_reload();

    write_file(t / "disc/Set/directory.txt.zip", "");
    EXPECT_EQ(platform_find_install_media(), "") << "a folder without the disc's label is no disc";
    write_file(t / "disc/dvd_version.txt", "I\n900 version\nDVD\n");
    EXPECT_EQ(platform_find_install_media(), t / "disc");

    // A path elsewhere is not the test folder: nothing to eject, and the disc stays.
    EXPECT_EQ(platform::eject_volume(t / "mounts"), 0);
    EXPECT_EQ(platform_find_install_media(), t / "disc");
    EXPECT_EQ(platform::eject_volume(t / "disc/"), 0);
    EXPECT_EQ(platform_find_install_media(), "");

    platform_set_test_disc_folder(t / "disc");
    EXPECT_EQ(platform_find_install_media(), t / "disc");
    platform_set_test_disc_folder("");
    platform_set_mount_table("");
    ::unsetenv("VENTARO_TEST_DISC_FOLDER");
    platform::test_switches_reload();
}

}  // namespace
