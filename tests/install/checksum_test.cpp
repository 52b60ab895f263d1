#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "core/threads.h"

#include "install/checksum.h"
#include "install/install_filter.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "support/install_set.h"
#include "support/temp_dir.h"

using testsupport::md5_hex;
using testsupport::temp_dir;
using testsupport::write_file;

namespace {

void add(const std::string& path, const std::string& want, int platform = 0) {
    file_history_struct h;
    file_version_struct v;
    v.path = path;
    v.sig_want = want;
    v.platform = platform;
    v.sig_have = "untouched";
    h.versions.push_back(v);
    sim_info.push_back(h);
}

int run_scan(int quick) {
    int counter = 0, frames = 0;
    float progress = 0;
    while (!checksum_directory(counter, quick, progress)) {
        EXPECT_LT(++frames, 100000) << "scan never finished";
        if (frames >= 100000) return frames;
        ::usleep(100);
    }
    EXPECT_EQ(checksum_workers, nullptr);
    return frames;
}

class ChecksumScan : public ::testing::Test {
protected:
    void SetUp() override {
        stg_set_initial();
        set_install_filter(1, 1);
        sim_info.clear();
        dest_dir_path = t.path() + "/";
    }
    temp_dir t;
};

TEST_F(ChecksumScan, MatchingChangedMissingAndExtraFiles) {
    write_file(t / "same.txt", "same");
    write_file(t / "sub/changed.txt", "changed locally");
    write_file(t / "extra.txt", "not in the manifest");
    ::mkdir((t / "folder_here").c_str(), 0755);
    ASSERT_EQ(::symlink("some/target", (t / "link").c_str()), 0);
    add("V/same.txt", md5_hex("same"));
    add("V/sub/changed.txt", md5_hex("original"));
    add("V/missing.txt", md5_hex("x"));
    add("V/folder_here", md5_hex("x"));
    add("V/link", md5_hex("some/target"));
    add("V/windows_only.txt", md5_hex("same"), 2);   // outside the platform filter
    run_scan(0);
    const struct {
        const char* have;
        int match;
    } expect[] = {{"", 1}, {"", 0}, {"NONE", 0}, {"NONE", 0}, {"", 1}, {"untouched", 0}};
    for (size_t i = 0; i < sim_info.size(); ++i) {
        const auto& c = sim_info[i].current();
        EXPECT_EQ(c.match, expect[i].match) << c.path;
        if (*expect[i].have) {
            EXPECT_EQ(c.sig_have, expect[i].have) << c.path;
        }
    }
    EXPECT_EQ(sim_info[1].current().sig_have, md5_hex("changed locally"));
}

TEST_F(ChecksumScan, QuickModeOnlyTestsPresence) {
    write_file(t / "a.txt", "anything");
    write_file(t / "old.txt", "still here");
    ::mkdir((t / "dir.txt").c_str(), 0755);
    add("V/a.txt", md5_hex("other"));
    add("V/old.txt", "GONE");
    add("V/dir.txt", md5_hex("x"));
    run_scan(1);
    EXPECT_EQ(sim_info[0].current().match, 1);
    EXPECT_EQ(sim_info[1].current().sig_have, "GONE");
    EXPECT_EQ(sim_info[1].current().match, 1);
    EXPECT_EQ(sim_info[2].current().sig_have, "NONE");
}

TEST_F(ChecksumScan, MissingDestinationMarksEverythingAtOnce) {
    dest_dir_path = t / "not_there/";
    add("V/a", md5_hex("a"));
    add("V/w", md5_hex("a"), 2);
    int counter = 7;
    float progress = 0.25f;
    EXPECT_EQ(checksum_directory(counter, 0, progress), 1);
    EXPECT_EQ(counter, 7);
    EXPECT_EQ(progress, 0.25f);
    EXPECT_EQ(checksum_workers, nullptr);
    for (const auto& h : sim_info) {
        EXPECT_EQ(h.current().sig_have, "NONE");
        EXPECT_EQ(h.current().match, 0);
    }
}

TEST_F(ChecksumScan, HandsOutTasksOfTenAndSurvivesAKillAndRestart) {
    // More files than the task limit lets out in one frame, with a short last task.
    const int n = 40 * UTL_count_processors() + 25;
    std::vector<std::string> paths;
    for (int i = 0; i < n; ++i) {
        paths.push_back(t / ("f" + std::to_string(i)));
        write_file(paths.back(), std::string(20000, char('a' + i % 26)) + paths.back());
    }
    const auto digests = testsupport::md5_hex_of_files(paths);
    for (int i = 0; i < n; ++i) add("V/f" + std::to_string(i), digests[i]);
    int counter = 0;
    float progress = 0;
    EXPECT_EQ(checksum_directory(counter, 0, progress), 0);
    EXPECT_EQ(counter, 40 * UTL_count_processors()) << "four tasks of ten files per thread";
    EXPECT_FLOAT_EQ(progress, (float)counter / n);
    EXPECT_EQ(checksum_directory_kill(), 1);
    EXPECT_EQ(checksum_workers, nullptr);
    EXPECT_EQ(checksum_directory_kill(), 1);

    run_scan(0);
    for (const auto& h : sim_info) EXPECT_EQ(h.current().match, 1) << h.current().path;
}

TEST_F(ChecksumScan, EachFrameRefillsTheSlotsOfTheTasksItTookBack) {
    // A slot freed by a finished task is refilled in the same frame: until the last task is out,
    // the pool leaves every frame with its full four tasks per thread.
    const int limit = 4 * UTL_count_processors();
    const int n = 3 * 10 * limit + 5;
    std::vector<std::string> paths;
    for (int i = 0; i < n; ++i) {
        paths.push_back(t / ("f" + std::to_string(i)));
        write_file(paths.back(), "file " + std::to_string(i));
    }
    const auto digests = testsupport::md5_hex_of_files(paths);
    for (int i = 0; i < n; ++i) add("V/f" + std::to_string(i), digests[i]);
    int counter = 0, frames = 0;
    float progress = 0;
    while (!checksum_directory(counter, 0, progress)) {
        if (counter < n) {
            ASSERT_EQ(checksum_workers->count_total_tasks(), limit) << "frame " << frames << ", counter " << counter;
        }
        ASSERT_LT(++frames, 100000) << "scan never finished";
        ::usleep(100);
    }
    for (const auto& h : sim_info) EXPECT_EQ(h.current().match, 1) << h.current().path;
}

TEST_F(ChecksumScan, EmptyManifestCompletesOnTheFirstCall) {
    int counter = 0;
    float progress = 1;
    EXPECT_EQ(checksum_directory(counter, 0, progress), 1);
    EXPECT_EQ(progress, 0.0f);
    EXPECT_EQ(checksum_workers, nullptr);
}

}  // namespace

namespace {
// A folder link inside the copy that leads out of it is not followed: the file beyond it is not
// the copy's, so it counts as missing in both modes; a folder link that stays inside is followed.
TEST_F(ChecksumScan, FilesAreReadOnlyBeneathTheCopy) {
    temp_dir outside;
    write_file(outside / "secret.txt", "outside bytes");
    write_file(t / "real/inner.txt", "inside bytes");
    ASSERT_EQ(::symlink(outside.path().c_str(), (t / "out").c_str()), 0);
    ASSERT_EQ(::symlink("real", (t / "alias").c_str()), 0);
    for (int quick : {0, 1}) {
        sim_info.clear();
        add("V/out/secret.txt", md5_hex("outside bytes"));
        add("V/alias/inner.txt", md5_hex("inside bytes"));
        run_scan(quick);
        EXPECT_EQ(sim_info[0].current().sig_have, "NONE") << quick;
        EXPECT_EQ(sim_info[0].current().match, 0) << quick;
        EXPECT_EQ(sim_info[1].current().match, 1) << quick;
    }
}
}  // namespace
