// Installing from a two-disc set: archives copied off the disc and unpacked into place, the disc
// change, failed files, the end of a run that is stopped or killed, and a set on mounted images.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/log.h"
#include "core/shared_constants.h"
#include "files/archives.h"
#include "files/file_ops.h"
#include "files/staging.h"
#include "install/dvd_install.h"
#include "install/install_filter.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/scheduler.h"
#include "install/server_list.h"
#include "platform/install_media.h"
#include "platform/spawn.h"
#include "support/disc_images.h"
#include "support/install_set.h"
#include "support/temp_dir.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

const std::string set_name = "Ventaro Meridian";
const std::string scenery_a = "All/Global Scenery/+40-120/+40-120.dsf";
const std::string scenery_b = "All/Global Scenery/+50-010/+50-010.dsf";

// A 7z archive holding one file under its own name.
void write_7z(const std::string& archive, const std::string& name, const std::string& bytes) {
    temp_dir scratch;
    write_file(scratch / name, bytes);
    fs::remove(archive);
    ASSERT_EQ(platform::run_and_wait("bsdtar", {"bsdtar", "--format", "7zip", "-cf", archive, "-C", scratch.path(), name}), 0);
}

std::string leaf(const std::string& path) { return path.substr(path.rfind('/') + 1); }
std::string dest_rel(const std::string& manifest_path) { return manifest_path.substr(manifest_path.find('/') + 1); }

// Every file and link below root, with the MD5 of its bytes (a link: of its text).
std::map<std::string, std::string> tree_of(const std::string& root) {
    std::map<std::string, std::string> out;
    if (!fs::exists(root)) return out;
    std::vector<std::string> paths, rels;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (e.is_directory() && !e.is_symlink()) continue;
        paths.push_back(e.path().string());
        rels.push_back(e.path().string().substr(root.size() + 1));
    }
    const std::vector<std::string> digests = md5_hex_of_files(paths);
    for (size_t i = 0; i < paths.size(); ++i) out[rels[i]] = digests[i];
    return out;
}

class DiscInstall : public ::testing::Test {
protected:
    void SetUp() override {
        set.name = set_name;
        // Sizes in bytes that do not compress; disks are full after 60 kilobytes of archives.
        set.files = {{"Linux/a.bin", random_bytes(40000, 1), false, {}},
                     {"Linux/b.bin", random_bytes(30000, 2), false, {}},
                     {"Linux/c.bin", random_bytes(30000, 3), false, {}},
                     {"All/Resources/Tool.app/Contents/MacOS/tool", random_bytes(2000, 4), false, {}},
                     {scenery_a, random_bytes(20000, 5), false, {}},
                     {scenery_b, random_bytes(10000, 6), false, {}}};
        write_master(t / "master", set);
        for (const std::string& path : {scenery_a, scenery_b}) {
            const std::string file = t / ("master/" + path);
            write_7z(file + ".7z", leaf(path), read_file(file));
        }
        fs::create_directories(t / "out");
        testing::internal::CaptureStdout();   // the builder's disk lines
        build_from_master(1, t / "master/", t / "out/", "", 60.0f);
        testing::internal::GetCapturedStdout();
        ASSERT_TRUE(xer.open(t / "log.txt"));
        platform_set_mount_table(t / "no mounts");
        write_file(t / "no mounts", "");
        start_install(t / "out/disk_0");
        ASSERT_EQ(stg.stage, 3);
        std::set<int> disks;
        for (const auto& h : sim_info)
            if (h.current().install) disks.insert(h.current().disk);
        ASSERT_EQ(disks, (std::set<int>{0, 1})) << "the set must span two disks";
    }
    void TearDown() override {
        install_files_kill();
        std::string ignored;
        install_files_get_error(ignored);
        set_staging_write_hook(nullptr);
        platform_set_mount_table("");
        platform_set_test_disc_folder("");
        xer.close();
    }

    // As the install screens start: the disc's manifest read, every current file wanted, the
    // destination's folders made.
    void start_install(const std::string& disc_folder) {
        stg_set_initial();
        stg.log_actions = 1;
        stg.platform_filter = 0;
        set_install_filter(1, 1);
        install_name = no_install_name;
        dvd_path.clear();
        sim_info.clear();
        temp_path = t / "tmp/";
        dest_dir_path = t / "dest/";
        fs::create_directories(temp_path);
        platform_set_test_disc_folder(disc_folder);
        UTIL_scan_dvd();
        for (auto& h : sim_info) h.current().install = h.current().sig_want != "GONE" ? 1 : 0;
        ASSERT_EQ(make_dirs(), 0);
    }

    int index_of(const std::string& path) const {
        for (size_t i = 0; i < sim_info.size(); ++i)
            if (sim_info[i].current().path == path) return (int)i;
        return -1;
    }
    std::string archive_on_disc(const std::string& path) const {
        const auto& c = sim_info[index_of(path)].current();
        return t / ("out/disk_" + std::to_string(c.disk) + "/" + set_name + "/" + path + suffix_for_file(index_of(path)));
    }

    // Polls as the screen does each frame, until the pipeline says something other than busy.
    static int poll(int& next_file, int disc) {
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        for (;;) {
            const int r = install_files(next_file, disc);
            if (r != 0) return r;
            if (std::chrono::steady_clock::now() > give_up) return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    // The user's disc change: the disc in the drive ejected and forgotten, the next one inserted.
    void change_disc(int disc) {
        ASSERT_EQ(eject_dvd(dvd_path), 0);
        dvd_path.clear();
        platform_set_test_disc_folder(t / ("out/disk_" + std::to_string(disc)));
    }

    // A whole install: the disc changed on 2, Continue on 3; the failed files' messages.
    std::vector<std::string> install_all(bool take_errors = true) {
        std::vector<std::string> failures;
        int next_file = 0, disc = 0;
        for (;;) {
            const int r = poll(next_file, disc);
            if (r == 1 || r == -1) {
                EXPECT_EQ(r, 1) << "the pipeline never finished";
                break;
            }
            if (r == 3) {
                std::string message;
                if (take_errors) {
                    EXPECT_NE(install_files_get_error(message), 0);
                }
                failures.push_back(message);
                continue;
            }
            disc = sim_info[next_file].current().disk;
            change_disc(disc);
        }
        return failures;
    }

    // What the destination must hold: every wanted file with its MD5, less the ones named.
    std::map<std::string, std::string> wanted_tree(const std::set<std::string>& less = {}) const {
        std::map<std::string, std::string> out;
        for (const auto& h : sim_info) {
            const auto& c = h.current();
            if (c.install && !less.count(c.path)) out[dest_rel(c.path)] = c.sig_want;
        }
        return out;
    }

    int expanding_lines() const {
        const std::string log = xer.contents_for_test();
        int n = 0;
        for (size_t at = 0; (at = log.find("EXPANDING file ", at)) != std::string::npos; ++at) ++n;
        return n;
    }

    int wanted_files() const {
        int n = 0;
        for (const auto& h : sim_info) n += h.current().install;
        return n;
    }

    install_set set;
    temp_dir t;
};

TEST_F(DiscInstall, TwoDiscsComeOutWholeWithOneDiscChangeAfterTheFirstIsInPlace) {
    int next_file = 0;
    ASSERT_EQ(poll(next_file, 0), 2);
    // Every disc-1 file is in place before the change is asked for, and none of the next disc's.
    for (const auto& h : sim_info) {
        const auto& c = h.current();
        if (!c.install) continue;
        const std::string local = dest_dir_path + dest_rel(c.path);
        if (c.disk == 0) {
            EXPECT_EQ(c.match, 1) << c.path;
            EXPECT_EQ(md5_hex(read_file(local)), c.sig_want) << c.path;
        } else {
            EXPECT_FALSE(fs::exists(local)) << c.path;
        }
    }
    ASSERT_LT(next_file, (int)sim_info.size());
    EXPECT_EQ(sim_info[next_file].current().disk, 1);
    EXPECT_TRUE(sim_info[next_file].current().install);
    ASSERT_NE(copy_pool, nullptr);
    EXPECT_EQ(copy_pool->count_total_tasks() + unzip_pool->count_total_tasks(), 0);
    // Asked again with the same disc, it asks again.
    EXPECT_EQ(install_files(next_file, 0), 2);

    change_disc(1);
    ASSERT_EQ(poll(next_file, 1), 1);
    EXPECT_EQ(copy_pool, nullptr);
    EXPECT_EQ(unzip_pool, nullptr);

    EXPECT_EQ(tree_of(t / "dest"), wanted_tree());
    for (const auto& h : sim_info) EXPECT_EQ(h.current().match, h.current().install) << h.current().path;
    struct stat st;
    ASSERT_EQ(::stat((dest_dir_path + "Resources/Tool.app/Contents/MacOS/tool").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR);
    EXPECT_FALSE(fs::exists(dest_dir_path + "Resources/Tool.app/Contents/MacOS/tool.7z"));
    // The copies are gone from the temporary folder.
    for (const auto& e : fs::directory_iterator(temp_path)) {
        const std::string name = e.path().filename().string();
        EXPECT_TRUE(name.find(".zip") == std::string::npos || name == "directory.txt.zip") << name;
        EXPECT_EQ(name.find(".7z"), std::string::npos) << name;
    }
    EXPECT_EQ(expanding_lines(), wanted_files());
    EXPECT_EQ(xer.contents_for_test().find("with result=0. "), std::string::npos);
}

// A file not wanted on another disc is no reason to change discs.
TEST_F(DiscInstall, AFileNotWantedOnTheOtherDiscAsksForNoChange) {
    for (auto& h : sim_info)
        if (h.current().disk == 1) h.current().install = 0;
    int next_file = 0;
    EXPECT_EQ(poll(next_file, 0), 1);
    EXPECT_EQ(tree_of(t / "dest"), wanted_tree());
}

// An archive with other bytes than the manifest lists fails its file alone, zip or 7z, on
// either disc; the install goes on after Continue and the file is never put in place.
TEST_F(DiscInstall, AnArchiveWithWrongBytesFailsItsFileAndTheRestIsInstalled) {
    struct bad_case {
        std::string path;
        bool seven;
    };
    const bad_case cases[] = {{"Linux/b.bin", false}, {scenery_b, true}, {scenery_a, true}};
    for (const bad_case& bad : cases) {
        SCOPED_TRACE(bad.path);
        fs::remove_all(t / "dest");
        start_install(t / "out/disk_0");
        const std::string archive = archive_on_disc(bad.path);
        const std::string kept = read_file(archive);
        std::string other = set.files[0].bytes.substr(0, 5000);
        if (bad.seven) {
            write_7z(archive, leaf(bad.path), other);
        } else {
            write_zip(archive, {{leaf(bad.path), other}});
        }
        const std::vector<std::string> failures = install_all();
        write_file(archive, kept);
        ASSERT_EQ(failures.size(), 1u);
        EXPECT_NE(failures[0].find("I was unable to unzip the file "), std::string::npos) << failures[0];
        EXPECT_NE(failures[0].find(dest_dir_path + dest_rel(bad.path)), std::string::npos) << failures[0];
        EXPECT_EQ(tree_of(t / "dest"), wanted_tree({bad.path}));
        EXPECT_EQ(sim_info[index_of(bad.path)].current().match, 0);
        std::string message = "x";
        EXPECT_EQ(install_files_get_error(message), 0);
        EXPECT_EQ(message, "");
    }
}

// The first failure waits for the screen; a later one collected before it is taken is logged
// rather than put in its place, and a file that succeeds after it never clears it.
TEST_F(DiscInstall, ALaterFailureNeverReplacesThePendingOneUnlogged) {
    const std::string bad1 = "Linux/a.bin", bad2 = "Linux/b.bin";
    ASSERT_EQ(sim_info[index_of(bad1)].current().disk, 0);
    ASSERT_EQ(sim_info[index_of(bad2)].current().disk, 0);
    write_zip(archive_on_disc(bad1), {{leaf(bad1), "not a"}});
    write_zip(archive_on_disc(bad2), {{leaf(bad2), "not b"}});
    const std::vector<std::string> failures = install_all(false);
    EXPECT_EQ(failures.size(), 2u);
    std::string message;
    EXPECT_EQ(install_files_get_error(message), err_md5_mismatch);
    const bool first_is_a = message.find(dest_dir_path + "a.bin") != std::string::npos;
    const bool first_is_b = message.find(dest_dir_path + "b.bin") != std::string::npos;
    ASSERT_TRUE(first_is_a != first_is_b) << message;
    const std::string later = dest_dir_path + (first_is_a ? "b.bin" : "a.bin");
    const std::string log = xer.contents_for_test();
    const size_t line = log.find("Another file failed while an earlier failure was still to be shown");
    ASSERT_NE(line, std::string::npos) << log;
    EXPECT_NE(log.find(later, line), std::string::npos) << log;
    EXPECT_EQ(tree_of(t / "dest"), wanted_tree({bad1, bad2}));
}

// Quitting in the middle finishes the copies in flight and unpacks them before it ends.
TEST_F(DiscInstall, QuittingFinishesWhatWasQueued) {
    int next_file = 0;
    EXPECT_EQ(install_files(next_file, 0), 0);
    const int queued = next_file;
    ASSERT_GT(queued, 0);
    EXPECT_EQ(install_files_kill(), 1);
    EXPECT_EQ(copy_pool, nullptr);
    EXPECT_EQ(unzip_pool, nullptr);
    int placed = 0;
    for (int i = 0; i < queued; ++i) {
        const auto& c = sim_info[i].current();
        if (!c.install) continue;
        ++placed;
        EXPECT_EQ(c.match, 1) << c.path;
        EXPECT_EQ(md5_hex(read_file(dest_dir_path + dest_rel(c.path))), c.sig_want) << c.path;
    }
    EXPECT_EQ(expanding_lines(), placed);
    EXPECT_EQ(install_files_kill(), 1);
}

// With no disc mounted nothing is looked for relative to the current folder, even where a
// folder of the set's name lies there.
TEST_F(DiscInstall, NoDiscMountedFailsTheCopyAndTestsNoRelativePath) {
    platform_set_test_disc_folder("");
    dvd_path.clear();
    const int i = index_of("Linux/a.bin");
    write_file(t / (set_name + "/Linux/a.bin.zip"), read_file(archive_on_disc("Linux/a.bin")));
    const std::string here = fs::current_path().string();
    fs::current_path(t.path());
    EXPECT_EQ(dvd_archive_path(i), "");
    EXPECT_FALSE(dvd_holds_archive(i));
    int next_file = 0;
    const int r = poll(next_file, 0);
    fs::current_path(here);
    ASSERT_EQ(r, 3);
    std::string message;
    EXPECT_EQ(install_files_get_error(message), 2);
    EXPECT_EQ(message.find("I was unable to copy the file "), 0u) << message;
    EXPECT_EQ(install_files_kill(), 1);
    EXPECT_EQ(tree_of(t / "dest"), (std::map<std::string, std::string>{}));
}

// The temporary archive's name is made from the manifest's MD5 field, which can hold anything:
// the name never leaves the temporary folder.
TEST_F(DiscInstall, TheTemporaryArchiveStaysInTheTemporaryFolder) {
    const int i = index_of("Linux/a.bin");
    sim_info[i].current().sig_want = "../../../escape";
    const std::vector<std::string> failures = install_all();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_TRUE(fs::exists(temp_path + "escape_" + std::to_string(i) + ".zip"));
    for (const auto& e : fs::directory_iterator(t.path()))
        EXPECT_EQ(e.path().filename().string().find("escape"), std::string::npos) << e.path();
    EXPECT_FALSE(fs::exists(dest_dir_path + "a.bin"));
}

// Stops the child at its first write of the second file it unpacks, for the parent to kill.
std::mutex g_seen_lock;
std::set<std::string> g_seen;
void stop_at_second_file(const std::string& name) {
    const std::lock_guard<std::mutex> lock(g_seen_lock);
    g_seen.insert(name);
    if (g_seen.size() >= 2) ::raise(SIGSTOP);
}

TEST_F(DiscInstall, KilledInTheMiddleTheSameInstallAgainGivesTheExactTree) {
    const pid_t child = ::fork();
    if (child == 0) {
        set_staging_write_hook(stop_at_second_file);
        int next_file = 0;
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (std::chrono::steady_clock::now() < give_up) {
            if (install_files(next_file, 0) != 0) ::_exit(3);   // ended without being stopped
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ::_exit(4);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, WUNTRACED), child);
    ASSERT_TRUE(WIFSTOPPED(status)) << "the child ended with " << status;
    ::kill(child, SIGKILL);
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    ASSERT_NE(tree_of(t / "dest"), wanted_tree()) << "the kill came after the install was done";

    start_install(t / "out/disk_0");
    EXPECT_EQ(install_all(), std::vector<std::string>{});
    EXPECT_EQ(tree_of(t / "dest"), wanted_tree());
}

// The set on two disc images, mounted read-only one at a time in the same drive folder.
TEST_F(DiscInstall, MountedDiscImagesWithAChangeOfDisc) {
    std::string why;
    if (!disc_mounts_possible(&why)) GTEST_SKIP() << "disc images cannot be mounted here: " << why;
    make_disc_image(t / "out/disk_0", t / "disc0.img");
    make_disc_image(t / "out/disk_1", t / "disc1.img");
    const std::string drive = t / "drive";
    struct unmount_at_end {
        std::string at;
        ~unmount_at_end() {
            if (is_mounted(at)) unmount_disc(at);
        }
    } guard{drive};
    mount_disc(t / "disc0.img", drive);
    platform_set_mount_table("");
    start_install("");
    ASSERT_EQ(stg.stage, 3);
    EXPECT_EQ(dvd_path, drive + "/");

    int next_file = 0;
    ASSERT_EQ(poll(next_file, 0), 2);
    ASSERT_EQ(eject_dvd(dvd_path), 0);
    EXPECT_FALSE(is_mounted(drive));
    dvd_path.clear();
    EXPECT_FALSE(dvd_holds_archive(next_file)) << "no disc in the drive";
    mount_disc(t / "disc1.img", drive);
    EXPECT_TRUE(dvd_holds_archive(next_file));
    ASSERT_EQ(poll(next_file, 1), 1);
    EXPECT_EQ(tree_of(t / "dest"), wanted_tree());
}

}  // namespace
