#include "files/file_ops.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "support/temp_dir.h"

using testsupport::exists;
using testsupport::read_file;
using testsupport::temp_dir;
using testsupport::write_file;

namespace {

mode_t mode_of(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

}  // namespace

TEST(FileOps, QuestionsAboutFilesFoldersAndLinks) {
    temp_dir tmp;
    write_file(tmp / "f", "12345");
    ASSERT_EQ(::mkdir((tmp / "d").c_str(), 0755), 0);
    ASSERT_EQ(::symlink("f", (tmp / "to_f").c_str()), 0);
    ASSERT_EQ(::symlink("d", (tmp / "to_d").c_str()), 0);
    ASSERT_EQ(::symlink("gone", (tmp / "dangling").c_str()), 0);

    const struct {
        std::string name;
        int file, dir, link;
        int size;
    } cases[] = {
        {"f", 1, 0, 0, 5},        {"f/", 0, 0, 0, -1},       {"d", 0, 1, 0, -1},
        {"d/", 0, 1, 0, -1},      {"to_f", 1, 0, 1, 5},      {"to_d", 0, 1, 1, -1},
        {"dangling", 0, 0, 1, -1}, {"missing", 0, 0, 0, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string p = tmp / c.name;
        EXPECT_EQ(file_exists(p), c.file);
        EXPECT_EQ(dir_exists(p), c.dir);
        EXPECT_EQ(is_sim_link(p, nullptr), c.link);
        EXPECT_EQ(APL_file_size(p), c.size);
    }
    std::string target = "untouched";
    EXPECT_EQ(is_sim_link(tmp / "f", &target), 0);
    EXPECT_EQ(target, "untouched");
    EXPECT_EQ(is_sim_link(tmp / "dangling", &target), 1);
    EXPECT_EQ(target, "gone");
}

TEST(FileOps, MakeAndDeleteFolders) {
    temp_dir tmp;
    EXPECT_EQ(make_folder(tmp / "a"), 0);
    EXPECT_TRUE(dir_exists(tmp / "a"));
    EXPECT_EQ(make_folder(tmp / "a/"), EEXIST);
    EXPECT_EQ(make_folder(tmp / "b/"), 0);
    EXPECT_EQ(make_folder(tmp / "x/y"), ENOENT);
    EXPECT_EQ(show_make_dir_err(0), 0);
    EXPECT_EQ(show_make_dir_err(EEXIST), 0);
    EXPECT_EQ(show_make_dir_err(-48), 0);
    EXPECT_EQ(show_make_dir_err(ENOENT), 1);
    EXPECT_EQ(show_del_err(ENOENT), 0);

    EXPECT_EQ(delete_file(""), 2);
    EXPECT_EQ(delete_file(tmp / "a"), EISDIR);   // a folder needs its trailing "/"
    EXPECT_EQ(delete_file(tmp / "a/"), 0);
    EXPECT_FALSE(exists(tmp / "a"));
    write_file(tmp / "b/f", "x");
    EXPECT_EQ(delete_file(tmp / "b/"), ENOTEMPTY);
    EXPECT_EQ(delete_file(tmp / "b/f"), 0);

    // Deleting a link removes the link, not what it points to.
    write_file(tmp / "keep", "k");
    ASSERT_EQ(::symlink("keep", (tmp / "l").c_str()), 0);
    EXPECT_EQ(delete_file(tmp / "l"), 0);
    EXPECT_EQ(read_file(tmp / "keep"), "k");

    EXPECT_EQ(rename_file(tmp.path() + "/", "keep", "kept"), 0);
    EXPECT_EQ(read_file(tmp / "kept"), "k");
    EXPECT_EQ(rename_file(tmp.path() + "/", "keep", "again"), ENOENT);
    EXPECT_EQ(make_file_executable(tmp / "kept"), 0);
    EXPECT_EQ(mode_of(tmp / "kept"), 0755u);
    EXPECT_EQ(make_file_executable(tmp / "missing"), ENOENT);
}

TEST(FileOps, CopyFileKeepsBytesAndPermissionBits) {
    temp_dir tmp;
    for (const size_t n : {size_t(0), size_t(1), size_t(65536), size_t(3 * 65536), size_t(100000)}) {
        SCOPED_TRACE(n);
        std::string data(n, '\0');
        for (size_t i = 0; i < n; ++i) data[i] = char(i * 31 + n);
        write_file(tmp / "src", data);
        ASSERT_EQ(::chmod((tmp / "src").c_str(), 04751), 0);
        EXPECT_EQ(copy_file(tmp / "src", tmp / "dst"), 0);
        EXPECT_EQ(read_file(tmp / "dst"), data);
        EXPECT_EQ(mode_of(tmp / "dst"), 0751u);   // the set-user bit is not copied
    }
    EXPECT_EQ(copy_file(tmp / "missing", tmp / "dst2"), 2);
    EXPECT_EQ(copy_file(tmp / "src", tmp / "no/such/folder"), 2);
}

// A full disk shows up when the copy's last buffered bytes are written.
TEST(FileOps, CopyToAFullDiskIsAnError) {
    if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    temp_dir tmp;
    write_file(tmp / "src", "a few bytes that fit in the stream buffer");
    EXPECT_EQ(copy_file(tmp / "src", "/dev/full"), ENOSPC);
}

TEST(FileOps, RecursiveCopyAndDelete) {
    temp_dir tmp;
    write_file(tmp / "src/.hidden", "h");
    write_file(tmp / "src/top.txt", "t");
    write_file(tmp / "src/sub/inner", "i");
    EXPECT_EQ(copy_file_recursive(tmp / "src", tmp / "dst"), 0);
    EXPECT_EQ(read_file(tmp / "dst/top.txt"), "t");
    EXPECT_EQ(read_file(tmp / "dst/sub/inner"), "i");
    EXPECT_FALSE(exists(tmp / "dst/.hidden"));
    EXPECT_EQ(copy_file_recursive(tmp / "src", tmp / "dst"), 0);   // into an existing copy

    // Folders whose names carry a listed extension are still folders to delete.
    write_file(tmp / "dst/scenery.obj/deep/x.png", "p");
    ASSERT_EQ(::symlink(tmp.path().c_str(), (tmp / "dst/link_to_outside").c_str()), 0);
    EXPECT_EQ(recursive_delete_folder(tmp / "dst/"), 0);
    EXPECT_FALSE(exists(tmp / "dst"));
    EXPECT_TRUE(exists(tmp / "src/top.txt"));   // the link was removed, not followed

    // Hidden entries are not listed, so the folder cannot go and that is an error.
    EXPECT_EQ(recursive_delete_folder(tmp / "src/"), ENOTEMPTY);
    EXPECT_TRUE(exists(tmp / "src/.hidden"));
    EXPECT_FALSE(exists(tmp / "src/top.txt"));
    EXPECT_EQ(recursive_delete_folder(tmp / "missing/"), ENOENT);
}

TEST(FileOps, FreeSpaceOfAFolderNotYetMade) {
    temp_dir tmp;
    uint64_t total = 0, free_bytes = 0;
    EXPECT_EQ(get_free_space(tmp / "not_yet", &total, &free_bytes), 0);
    EXPECT_GT(total, 0u);
    EXPECT_LE(free_bytes, total);
    EXPECT_EQ(get_free_space(tmp / "not_yet", nullptr, nullptr), 0);
    total = 7;
    EXPECT_EQ(get_free_space(tmp / "no/such/parent", &total, nullptr), -43);
    EXPECT_EQ(total, 7u);
}

TEST(FileOps, EjectingWhereThereIsNoDriveDoesNothing) {
    temp_dir tmp;
    EXPECT_EQ(eject_dvd(tmp.path()), 0);
    EXPECT_TRUE(exists(tmp.path()));
    EXPECT_EQ(eject_dvd(tmp / "missing"), -43);
    EXPECT_EQ(APL_is_dvd_disk(-1), 0);
}
