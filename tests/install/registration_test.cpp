#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "install/install_state.h"
#include "install/registration.h"
#include "support/temp_dir.h"

using testsupport::read_file;
using testsupport::temp_dir;
using testsupport::write_file;

namespace {

// The preferences folder follows XDG_CONFIG_HOME, so each test gets its own.
class Registration : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("XDG_CONFIG_HOME", (t / "config").c_str(), 1);
        write_file(t / "config/.keep", "");
    }
    std::string reg_file() const { return t / "config/ventaro_install.txt"; }
    temp_dir t;
};

TEST_F(Registration, AppendsEachDestinationOnce) {
    dest_dir_path = t / "copy1/";
    register_new_ventaro();
    register_new_ventaro();
    dest_dir_path = t / "copy1";   // differs by the trailing '/': a new line
    register_new_ventaro();
    EXPECT_EQ(read_file(reg_file()), t / "copy1/\n" + t / "copy1\n");
}

TEST_F(Registration, AppendingAfterALastLineWithoutLineEndKeepsBothPaths) {
    write_file(reg_file(), t / "old");
    dest_dir_path = t / "new/";
    register_new_ventaro();
    EXPECT_EQ(read_file(reg_file()), t / "old\n" + t / "new/\n");
}

TEST_F(Registration, ReadsWholeLinesOfAnyLengthAndCrLf) {
    const std::string deep = t / (std::string(200, 'd') + "/" + std::string(200, 'e') + "/" +
                                   std::string(200, 'f') + "/" + std::string(200, 'g') + "/" +
                                   std::string(200, 'h') + "/" + std::string(200, 'i') + "/" +
                                   std::string(200, 'j') + "/" + std::string(200, 'k') + "/" +
                                   std::string(200, 'l') + "/" + std::string(200, 'm') + "/" + std::string(200, 'n') + "/");
    ASSERT_GT(deep.size(), 2048u);
    write_file(deep + "x", "");
    write_file(t / "kept/x", "");
    // A line that is a prefix of the long one must not count as it, nor its tail as another line.
    write_file(reg_file(), deep.substr(0, 2047) + "\r\n" + deep + "\r\n" + t / "kept/\r\n" + t / "gone/\n");
    dest_dir_path = deep;
    register_new_ventaro();
    EXPECT_EQ(read_file(reg_file()).find(deep + "\n"), std::string::npos) << "appended a duplicate";

    locate_all_ventaros();
    EXPECT_EQ(all_vsystems, (std::vector<std::string>{deep, t / "kept/"}));
    EXPECT_NE(read_file(reg_file()).find(t / "gone/"), std::string::npos) << "lines are never removed";
}

TEST_F(Registration, MissingFileLeavesTheListEmpty) {
    all_vsystems = {"stale"};
    locate_all_ventaros();
    EXPECT_TRUE(all_vsystems.empty());
}

TEST_F(Registration, RecognisesAnInstalledCopy) {
    struct row {
        std::vector<std::string> entries;   // a trailing '/' makes a folder
        int is_sim;
    } rows[] = {
        {{"Airfoils/", "Instructions/", "Output/", "Resources/"}, 1},
        {{"My Airfoils/", "Instructions and more/", "Output/", "Resources/"}, 1},
        {{"Airfoils/", "Output/", "Resources/"}, 0},
        {{"Airfoils/", "Instructions/", "Output/", "Resources"}, 0},
        {{}, 0},
    };
    int n = 0;
    for (const auto& r : rows) {
        const std::string root = t / ("c" + std::to_string(n++) + "/");
        write_file(root + ".keep", "");
        for (const auto& e : r.entries) write_file(root + e + (e.back() == '/' ? ".keep" : ""), "");
        dest_dir_path = root;
        EXPECT_EQ(path_is_to_a_sim(), r.is_sim) << root;
    }
}

TEST(DiskSpace, SizesAndVerdict) {
    EXPECT_EQ(disk_size_text(2000000), "1.9 GB");
    EXPECT_EQ(disk_size_text(5000), "5 MB");
    EXPECT_EQ(disk_size_text(800), "800 KB");
    EXPECT_TRUE(disk_space_suffices(10, 9));
    EXPECT_FALSE(disk_space_suffices(10, 10));

    temp_dir t;
    dest_dir_path = t / "new/";
    stg.needed_space = 1;
    EXPECT_EQ(UTIL_disk_space("fits", "too small"), 1);
    EXPECT_NE(UTIL_disk_space_text().find("Disk space needed to install: 1 KB\n\nfits"), std::string::npos)
        << UTIL_disk_space_text();
    stg.needed_space = 1e15f;
    EXPECT_EQ(UTIL_disk_space("fits", "too small"), 0);
    EXPECT_NE(UTIL_disk_space_text().find("\n\ntoo small"), std::string::npos);
}

}  // namespace
