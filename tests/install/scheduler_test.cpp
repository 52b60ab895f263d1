#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "install/install_state.h"
#include "install/manifest.h"
#include "install/scheduler.h"
#include "files/file_ops.h"
#include "install/server_list.h"
#include "support/install_set.h"
#include "support/temp_dir.h"

using testsupport::exists;
using testsupport::temp_dir;
using testsupport::write_file;

namespace {

const std::string A(32, 'a');

void add(const std::string& path, int install, int del, int match = 0) {
    file_history_struct h;
    file_version_struct v;
    v.path = path;
    v.sig_want = A;
    v.install = install;
    v.del = del;
    v.match = match;
    h.versions.push_back(v);
    sim_info.push_back(h);
}

class Scheduler : public ::testing::Test {
protected:
    void SetUp() override {
        stg_set_initial();
        sim_info.clear();
        servers.clear();
        deleted_files.clear();
        dest_dir_path = t / "dest/";
        temp_path = t / "tmp/";
        write_file(temp_path + ".keep", "");
        next.reset_all_streams();
    }
    temp_dir t;
};

TEST_F(Scheduler, MakeDirsBuildsTheTreeAndMovesBlockingFoldersAside) {
    dest_dir_path = t / "a/b/dest/";
    add("V/Resources/x/y/file.txt", 1, 0);
    add("V/Other/skipped/file.txt", 0, 0);
    add("V/top.txt", 1, 0);
    const std::string fw = dest_dir_path + "Resources/plugins/VNLM.framework/";
    write_file(fw + "Versions/Current/real", "");
    write_file(fw + "Resources/real", "");
    const std::string wfw = dest_dir_path + "Resources/plugins/VNWidgets.framework/";
    write_file(wfw + "Versions/A/x", "");
    ASSERT_EQ(::symlink("A", (wfw + "Versions/Current").c_str()), 0);

    ASSERT_EQ(make_dirs(), 0);
    for (const char* f : {"Resources/x/y", "Output/FMS plans", "Output/logbooks", "Output/replays",
                          "Output/situations", "Output/preferences"}) {
        struct stat st;
        EXPECT_EQ(::stat((dest_dir_path + f).c_str(), &st), 0) << f;
    }
    EXPECT_FALSE(exists(dest_dir_path + "Other"));
    EXPECT_TRUE(exists(fw + "Versions/_Current/real"));
    EXPECT_TRUE(exists(fw + "_Resources/real"));
    struct stat st;
    EXPECT_EQ(::lstat((wfw + "Versions/Current").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "a link stays";
}

TEST_F(Scheduler, MakeDirsReportsAFolderItCannotMake) {
    write_file(t / "file_in_the_way", "");
    dest_dir_path = t / "file_in_the_way/dest/";
    EXPECT_NE(make_dirs(), 0);
}

TEST_F(Scheduler, DeletionsPruneFoldersTheyEmpty) {
    write_file(dest_dir_path + "a/b/gone.txt", "x");
    write_file(dest_dir_path + "a/keep/stays.txt", "x");
    write_file(dest_dir_path + "c/gone.txt", "x");
    write_file(dest_dir_path + "c/stays.txt", "x");
    add("V/a/b/gone.txt", 0, 1);
    add("V/c/gone.txt", 0, 1);
    add("V/a/keep/stays.txt", 0, 0, 1);
    delete_files();
    EXPECT_FALSE(exists(dest_dir_path + "a/b"));
    EXPECT_TRUE(exists(dest_dir_path + "a/keep/stays.txt"));
    EXPECT_FALSE(exists(dest_dir_path + "c/gone.txt"));
    EXPECT_TRUE(exists(dest_dir_path + "c/stays.txt"));
    EXPECT_TRUE(exists(dest_dir_path));
    EXPECT_EQ(sim_info[0].current().sig_have, "NONE");
    EXPECT_EQ(stg.file_status, 0);
}

TEST_F(Scheduler, PassesHandOutFilesInOrderAndEndWhenAllStreamsRunOut) {
    servers = {{"a", "/p/", ""}, {"b", "/p/", ""}, {"c", "/p/", ""}};
    write_file(dest_dir_path + "d/old1", "x");
    write_file(dest_dir_path + "d/old2", "x");
    for (int i = 0; i < 10; ++i) add("V/s" + std::to_string(i), 0, 0, i % 2);
    sim_info[3].current().del = 1;
    sim_info[3].current().path = "V/d/old1";
    sim_info[7].current().del = 1;
    sim_info[7].current().path = "V/d/old2";

    EXPECT_EQ(grab_files(), 0);
    ASSERT_EQ(next.streams.size(), 3u);
    EXPECT_EQ(next.streams[0].file_index, 0);
    EXPECT_EQ(next.streams[1].file_index, 1);
    EXPECT_EQ(next.streams[2].file_index, 2);
    int passes = 1;
    while (grab_files() == 0) ASSERT_LT(++passes, 10);
    EXPECT_EQ(passes, 4);   // ten files, one per stream per pass, one more pass to see the end
    EXPECT_EQ(next.next_file, 10);
    EXPECT_FALSE(exists(dest_dir_path + "d")) << "emptied folder pruned at the end";
    EXPECT_TRUE(exists(dest_dir_path));
    EXPECT_TRUE(deleted_files.count(dest_dir_path + "d/"));
}

TEST_F(Scheduler, StreamsOutOfFilesStillServeTheRetryList) {
    servers = {{"a", "/p/", ""}, {"b", "/p/", ""}};
    add("V/a", 0, 0);
    add("V/b", 0, 0);
    next.streams.resize(2);
    for (auto& s : next.streams) {
        s.file_index = 2;   // both ran out of files
        s.idle = 0;
    }
    next.streams[1].file_index = 1;      // its server failed on file 1: it waits, holding it
    next.streams[1].idle = 1;
    next.streams[1].retry_time = 1e9f;
    next.next_file = 2;
    next.retry_list = {1};
    EXPECT_EQ(grab_files(), 0);
    EXPECT_EQ(next.streams[0].file_index, 1);
    EXPECT_TRUE(next.retry_list.empty());
    EXPECT_EQ(grab_files(), 0) << "the waiting stream still holds its file";
    next.streams[1].retry_time = 0;
    EXPECT_EQ(grab_files(), 1);
}

TEST_F(Scheduler, NoServersEndsAtOnce) {
    add("V/a", 1, 0);
    EXPECT_EQ(grab_files(), 1);
}

file_version_struct version_of(const std::string& path, const std::string& bytes) {
    file_version_struct v;
    v.path = path;
    v.sig_want = testsupport::md5_hex(bytes);
    v.uncomp_size = float(bytes.size() / 1000);
    return v;
}

TEST_F(Scheduler, ExtractionMakesProgramsExecutableAndDeletesTheArchive) {
    const std::string local = dest_dir_path + "App.app/Contents/MacOS/App";
    write_file(dest_dir_path + "App.app/Contents/MacOS/.keep", "");
    testsupport::write_zip(temp_path + "0.zip", {{"App", "#!/bin/sh\n"}}, 0644);
    EXPECT_EQ(extract_and_delete_file(temp_path + "0.zip", local, version_of("V/App.app/Contents/MacOS/App", "#!/bin/sh\n")).code, 0);
    struct stat st;
    ASSERT_EQ(::stat(local.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
    EXPECT_FALSE(exists(temp_path + "0.zip"));

    write_file(temp_path + "1.zip", "not a zip");
    const install_result junk = extract_and_delete_file(temp_path + "1.zip", dest_dir_path + "x.txt", version_of("V/x.txt", "x"));
    EXPECT_NE(junk.code, 0);
    EXPECT_FALSE(junk.local) << "another server may have a good copy";
    EXPECT_FALSE(exists(temp_path + "1.zip"));

    // A program path outside the destination is neither extracted into nor made executable.
    const std::string outside = t / "elsewhere/App.app/Contents/MacOS/App";
    write_file(outside, "theirs");
    ASSERT_EQ(::chmod(outside.c_str(), 0644), 0);
    testsupport::write_zip(temp_path + "2.zip", {{"App", "ours"}}, 0644);
    EXPECT_NE(extract_and_delete_file(temp_path + "2.zip", outside, version_of("V/App", "ours")).code, 0);
    ASSERT_EQ(::stat(outside.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_EQ(testsupport::read_file(outside), "theirs");
    EXPECT_FALSE(exists(temp_path + "2.zip"));
    EXPECT_EQ(stg.error_flag, 0) << "the caller decides what a failure means";
}

TEST_F(Scheduler, ResetDeletesEachBusyStreamsOwnArchiveOnly) {
    add("V/a.txt", 1, 0);
    add("V/b.txt", 1, 0);
    write_file(dest_dir_path + "a.txt.zip", "user file");
    write_file(temp_path + "0.zip", "partial");
    write_file(temp_path + "1.zip", "partial");
    next.streams.resize(3);
    next.streams[0].file_index = 0;
    next.streams[0].idle = 0;
    next.streams[1].file_index = 2;   // out of files
    next.streams[2].file_index = 1;
    next.retry_list = {1};
    next.next_file = 2;
    next.comp_done = 5;
    next.reset_all_streams();
    EXPECT_FALSE(exists(temp_path + "0.zip"));
    EXPECT_TRUE(exists(temp_path + "1.zip"));
    EXPECT_TRUE(exists(dest_dir_path + "a.txt.zip"));
    EXPECT_TRUE(next.streams.empty());
    EXPECT_TRUE(next.retry_list.empty());
    EXPECT_EQ(next.next_file, 0);
    EXPECT_EQ(next.comp_done, 0.0f);
}

// A link already in the copy, however it got there, leads no folder creation, deletion, pruning,
// rename, extraction or mode change outside the destination.
TEST_F(Scheduler, EngineOperationsStayBeneathTheDestination) {
    const std::string outside = t / "outside/";
    write_file(outside + "victim", "precious");
    write_file(outside + "App", "theirs");
    ::chmod((outside + "App").c_str(), 0644);
    write_file(outside + "plugins/VNLM.framework/Versions/Current/real", "");
    write_file(dest_dir_path + ".keep", "");
    ASSERT_EQ(::symlink(outside.c_str(), (dest_dir_path + "esc").c_str()), 0);
    ASSERT_EQ(::symlink(outside.c_str(), (dest_dir_path + "Resources").c_str()), 0);

    add("V/esc/newdir/file", 1, 0);
    EXPECT_NE(make_dirs(), 0);
    EXPECT_FALSE(exists(outside + "newdir"));
    EXPECT_TRUE(exists(outside + "plugins/VNLM.framework/Versions/Current/real"));

    sim_info.clear();
    add("V/esc/victim", 0, 1);
    delete_files();
    servers = {{"a", "/p/", ""}};
    next.reset_all_streams();
    while (grab_files() == 0) {
    }
    deleted_files.insert(dest_dir_path + "esc/");
    grab_files();

    testsupport::write_zip(temp_path + "0.zip", {{"App", "ours"}}, 0644);
    const install_result r =
        extract_and_delete_file(temp_path + "0.zip", dest_dir_path + "esc/Contents/MacOS/App", version_of("V/App", "ours"));
    EXPECT_NE(r.code, 0);
    EXPECT_TRUE(r.local);
    EXPECT_EQ(make_file_executable_in(dest_dir_path, dest_dir_path + "esc/App"), EXDEV);

    EXPECT_EQ(testsupport::read_file(outside + "victim"), "precious");
    EXPECT_EQ(testsupport::read_file(outside + "App"), "theirs");
    struct stat st;
    ASSERT_EQ(::stat((outside + "App").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_TRUE(exists(outside));
}

// A server that gave a wrong copy of a file is not asked for it again, nor is a clone of it; the
// other servers still are.
TEST_F(Scheduler, AServerWithABadCopyIsNotAskedForThatFileAgain) {
    servers = {{"a", "/p/", ""}, {"b", "/p/", ""}, {"a", "/p/", ""}};
    add("V/x", 0, 0);
    add("V/y", 0, 0);
    add("V/z", 0, 0);
    next.streams.resize(3);
    for (auto& s : next.streams) {
        s.file_index = 3;   // all ran out of files
        s.idle = 0;
    }
    next.next_file = 3;
    next.retry_list = {1, 2};
    next.bad_copies[1] = {"b/p/"};
    next.bad_copies[2] = {"a/p/"};
    EXPECT_EQ(grab_files(), 0);
    EXPECT_EQ(next.streams[0].file_index, 1) << "server a passes over file 2, which it served wrong";
    EXPECT_EQ(next.streams[1].file_index, 2);
    EXPECT_EQ(next.streams[2].file_index, 3) << "nothing left that the clone of a may serve";
    EXPECT_TRUE(next.retry_list.empty());
    next.reset_all_streams();
    EXPECT_TRUE(next.bad_copies.empty());
}

// A run killed while it extracted leaves staging files; the next run's folder step sweeps them.
TEST_F(Scheduler, MakeDirsSweepsStagingFilesOfAKilledRun) {
    add("V/sub/file.txt", 1, 0);
    add("V/top.txt", 0, 0);
    write_file(dest_dir_path + "sub/.vtz4242_0", "half");
    write_file(dest_dir_path + ".vtz4242_1", "half");
    write_file(dest_dir_path + "sub/.vtz-notes", "the user's");
    ASSERT_EQ(make_dirs(), 0);
    EXPECT_FALSE(exists(dest_dir_path + "sub/.vtz4242_0"));
    EXPECT_FALSE(exists(dest_dir_path + ".vtz4242_1"));
    EXPECT_TRUE(exists(dest_dir_path + "sub/.vtz-notes"));
}

}  // namespace
