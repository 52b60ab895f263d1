#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>

#include "install/install_state.h"
#include "install/manifest.h"
#include "platform/web_page.h"
#include "core/app_globals.h"
#include "support/peak_memory.h"
#include "support/temp_dir.h"

using testsupport::temp_dir;
using testsupport::write_file;

namespace {

const std::string md5a = "0123456789abcdef0123456789abcdef";
const std::string md5b = "fedcba9876543210fedcba9876543210";
const std::string header = "I\n900 version\nINSTALLER\n\n";

// One line per history: path, then each version as platform/version/disk/comp/uncomp/sig,
// then the tile when the file is global scenery.
std::string summary() {
    std::string out;
    for (const auto& h : sim_info) {
        out += h.current().path + ":";
        for (const auto& v : h.versions) {
            out += " " + std::to_string(v.platform) + "/" + std::to_string(v.version) + "/" + std::to_string(v.disk) +
                   "/" + std::to_string((int)v.comp_size) + "/" + std::to_string((int)v.uncomp_size) + "/" +
                   v.sig_want.substr(0, 4);
        }
        if (h.current().global_scenery)
            out += " tile(" + std::to_string(h.current().lon_index) + "," + std::to_string(h.current().lat_index) + ")";
        out += "\n";
    }
    return out;
}

int read_body(const temp_dir& t, const std::string& body, const std::string& head = header) {
    write_file(t / "directory.txt", head + body);
    return read_directory(t / "directory.txt");
}

struct reader_case {
    const char* name;
    std::string body;
    std::string expected;
};

// Test names and failure messages show the case by its name, not its bytes.
void PrintTo(const reader_case& c, std::ostream* os) { *os << c.name; }

class ManifestReader : public ::testing::TestWithParam<reader_case> {};

TEST_P(ManifestReader, ReadsTheModel) {
    temp_dir t;
    ASSERT_EQ(read_body(t, GetParam().body), 3);
    EXPECT_EQ(summary(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ManifestReader,
    ::testing::Values(
        reader_case{"empty_body", "", ""},
        reader_case{"history_then_new_path",
                    "DIR V/Resources/\nFILE 0 0 1 3 7 " + md5a + " a.txt\nFILE 0 0 2 4 8 " + md5b +
                        " a.txt\n\nDIR V/Resources/\nFILE 0 1 3 5 9 " + md5a + " a.txt\nFILE 0 0 1 1 1 " + md5a +
                        " b.txt\nFILE 0 0 4 0 0 GONE a.txt\n",
                    "V/Resources/a.txt: 0/1/0/3/7/0123 0/2/0/4/8/fedc 1/3/0/5/9/0123\n"
                    "V/Resources/b.txt: 0/1/0/1/1/0123\n"
                    "V/Resources/a.txt: 0/4/0/0/0/GONE\n"},
        reader_case{"platforms_clamped_and_disks",
                    "DIR V/\nFILE 0 9 1 1 1 " + md5a + " p9\nDISK 2 trailing words\nFILE 0 -3 1 1 1 " + md5a +
                        " pneg\n\tFILE 0 3 1 1 1 " + md5a + " name with blanks.txt\n",
                    "V/p9: 6/1/0/1/1/0123\nV/pneg: 0/1/2/1/1/0123\nV/name with blanks.txt: 3/1/2/1/1/0123\n"},
        reader_case{"skipped_names_and_prefix_words",
                    "DIR V/Earth Orbit Textures/\nFILE 0 0 1 1 1 " + md5a + " kept.png\nFILE 0 0 1 1 1 " + md5a +
                        " 900 red terrain.png\nFILE 0 0 1 1 1 " + md5a + " x Earth Orbit Textures\n",
                    "V/Earth Orbit Textures/kept.png: 0/1/0/1/1/0123\n"},
        reader_case{"dir_keyword_needs_a_blank",
                    "DIR V/a/\nDIR\nFILE 0 0 1 1 1 " + md5a + " f\nDIRX V/b/\nFILE 0 0 1 1 1 " + md5a + " g\n",
                    "V/a/f: 0/1/0/1/1/0123\nV/a/g: 0/1/0/1/1/0123\n"},
        reader_case{"global_scenery_tiles",
                    "DIR V/Global Scenery/+40-120/\nFILE 0 0 1 1 1 " + md5a + " +40-120.DSF\nFILE 0 0 1 1 1 " +
                        md5a + " readme.txt\nFILE 0 0 1 1 1 " + md5a + " +95+000.dsf\nDIR V/Other/\nFILE 0 0 1 1 1 " +
                        md5a + " +40-120.dsf\n",
                    "V/Global Scenery/+40-120/+40-120.DSF: 0/1/0/1/1/0123 tile(6,13)\n"
                    "V/Global Scenery/+40-120/readme.txt: 0/1/0/1/1/0123\n"
                    "V/Global Scenery/+40-120/+95+000.dsf: 0/1/0/1/1/0123\n"
                    "V/Other/+40-120.dsf: 0/1/0/1/1/0123\n"},
        reader_case{"crlf_lines_and_upper_case_digest",
                    "DIR V/\r\nFILE 0 0 1 1 1 0123456789ABCDEF0123456789ABCDEF f.txt\r\n",
                    "V/f.txt: 0/1/0/1/1/0123\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ManifestReaderState, ResetsTotalsAndSetsOffers) {
    temp_dir t;
    stg_set_initial();
    stg.download_size = 5;
    stg.files_to_get = 7;
    deleted_files.insert("/x/");
    ASSERT_EQ(read_body(t, "DIR V/Global Scenery/+40-120/\nFILE 0 0 1 1 1 " + md5a + " +40-120.dsf\n"), 3);
    EXPECT_EQ(stg.download_size, 0.0f);
    EXPECT_EQ(stg.files_to_get, 0);
    EXPECT_TRUE(deleted_files.empty());
    EXPECT_EQ(stg.offered_tiles[6][13], 1);
    EXPECT_EQ(stg.offers_global, 1);
    EXPECT_EQ(stg.offers_other, 0);
    EXPECT_EQ(sim_info[0].current().sig_have, "");

    // A later read replaces the model and the offers.
    ASSERT_EQ(read_body(t, "DIR V/\nFILE 0 0 1 1 1 " + md5a + " a\n"), 3);
    EXPECT_EQ(stg.offered_tiles[6][13], 0);
    EXPECT_EQ(stg.offers_global, 0);
    EXPECT_EQ(stg.offers_other, 1);
    EXPECT_EQ(sim_info.size(), 1u);
}

TEST(ManifestReaderState, NewerHeaderIsAnnouncedAndEndsTheRun) {
    temp_dir t;
    write_file(t / "opener", "#!/bin/sh\necho \"$1\" > \"$(dirname \"$0\")/opened\"\n");
    ASSERT_EQ(::chmod((t / "opener").c_str(), 0755), 0);
    platform_set_web_page_program(t / "opener");
    stg_set_initial();
    app_done = 0;
    EXPECT_EQ(read_body(t, "", "I\n850 version\nINSTALLER\n"), 2);
    EXPECT_EQ(stg.format_flag, 2);
    EXPECT_EQ(app_done, 1);
    EXPECT_EQ(testsupport::read_file(t / "opened"), "http://" VENTARO_SERVER_HOST "/demo.html\n");
    app_done = 0;
    platform_set_web_page_program("");
}

// Paths and digests from the network that would be unsafe end the run with a quit alert.
TEST(ManifestReaderDeathTest, BadPathsAndDigestsAreRefused) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::pair<std::string, std::string> cases[] = {
        {"DIR V/\nFILE 0 0 1 1 1 " + md5a + "\n", "path that has no file"},
        {"DIR V/../../\nFILE 0 0 1 1 1 " + md5a + " passwd\n", "path that has no file"},
        {"DIR V//\nFILE 0 0 1 1 1 " + md5a + " a\n", "path that has no file"},
        {"DIR V/./\nFILE 0 0 1 1 1 " + md5a + " a\n", "path that has no file"},
        {"DIR /\nFILE 0 0 1 1 1 " + md5a + " etc\n", "path that has no file"},
        {"DIR V\\x\\\nFILE 0 0 1 1 1 " + md5a + " a\n", "path that has no file"},
        {"DIR V/\nFILE 0 0 1 1 1 " + md5a + " a\x01" + "b\n", "path that has no file"},
        {"DIR V/" + std::string(1020, 'd') + "/\nFILE 0 0 1 1 1 " + md5a + " ab\n", "path that has no file"},
        {"DIR V/\nFILE 0 0 1 1 1 " + md5a + " " + std::string(1023, 'n') + "\n", "path that has no file"},
        {"DIR V/\nFILE 0 0 1 1 1 0123 a\n", "bad checksum"},
        {"DIR V/\nFILE 0 0 1 1 1 " + md5a.substr(0, 31) + "g a\n", "bad checksum"},
    };
    for (const auto& [body, message] : cases) {
        temp_dir t;
        EXPECT_EXIT(read_body(t, body), ::testing::ExitedWithCode(0), message) << body;
    }
}

TEST(ManifestReaderLimits, APathOfTheLongestLengthIsTaken) {
    temp_dir t;
    const std::string path = "V/" + std::string(1019, 'd') + "/ab";
    ASSERT_EQ(path.size(), manifest_path_max);
    ASSERT_EQ(read_body(t, "DIR V/" + std::string(1019, 'd') + "/\nFILE 0 0 1 1 1 " + md5a + " ab\n"), 3);
    ASSERT_EQ(sim_info.size(), 1u);
    EXPECT_EQ(sim_info[0].current().path, path);
}

// A manifest of a few kilobytes zipped: one huge folder prefix and thousands of FILE lines under
// it. Each line used to copy the whole prefix (gigabytes in all); now the first one is refused.
TEST(ManifestReaderLimits, AHugeFolderPrefixIsRefusedBeforeItIsCopied) {
    temp_dir t;
    std::string body = "DIR V/" + std::string(1 << 20, 'd') + "/\n";
    for (int i = 0; i < 4000; ++i) body += "FILE 0 0 1 1 1 GONE a\n";
    write_file(t / "directory.txt", header + body);
    long kb = testsupport::peak_growth_kb([&] {
        read_directory(t / "directory.txt");
        std::_Exit(9);   // not reached: the alert ends the run
    });
    ASSERT_GE(kb, 0) << "the run did not end in the alert, or the peak could not be measured";
    EXPECT_LT(kb, 16 * 1024) << "peak growth " << kb << " kB";
}

TEST(ManifestReaderDeathTest, MissingFileIsAQuitAlert) {
    temp_dir t;
    EXPECT_EXIT(read_directory(t / "nothing.txt"), ::testing::ExitedWithCode(0), "does not exist");
}

TEST(ManifestPaths, SceneryRulesAndSectors) {
    struct row {
        const char* path;
        int scenery;
        int sector_ok, lon, lat;
    } rows[] = {
        {"V/Global Scenery/+40-120/+40-120.dsf", 1, 1, 6, 13},
        {"V/Custom/-global overlays-/-90-180.DSF", 1, 1, 0, 0},
        {"V/Resources/default scenery/DSF 820 x/+80+170.dsf", 1, 1, 35, 17},
        {"V/Global Scenery/+95+000.dsf", 1, 0, 18, 18},
        {"V/Global Scenery/readme.txt", 0, 1, 17, 8},   // any name yields a tile; the scenery rule decides
        {"V/Other/+40-120.dsf", 0, 1, 6, 13},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(is_global_scenery_f(r.path), r.scenery) << r.path;
        int lon = -5, lat = -5;
        EXPECT_EQ(find_sector(&lon, &lat, r.path), r.sector_ok) << r.path;
        if (r.sector_ok || r.lat == 18) {
            EXPECT_EQ(lon, r.lon) << r.path;
            EXPECT_EQ(lat, r.lat) << r.path;
        }
    }
    int lon = 0, lat = 0;
    EXPECT_EQ(find_sector(&lon, &lat, "ab"), 0);
    EXPECT_EQ(path_has_no_file("a/"), 1);
    EXPECT_EQ(path_has_no_file("a/b"), 0);
}

}  // namespace
