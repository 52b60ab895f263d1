#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "files/paths.h"
#include "core/log.h"
#include "support/temp_dir.h"

using testsupport::temp_dir;
using testsupport::write_file;

// Each test gets a fake home and temporary folder and none of the XDG variables.
class OsFolders : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("HOME", home.c_str(), 1);
        ::setenv("TMPDIR", tmp.c_str(), 1);
        ::unsetenv("XDG_CONFIG_HOME");
        ::unsetenv("XDG_DESKTOP_DIR");
        ::mkdir(home.c_str(), 0755);
        ::mkdir(tmp.c_str(), 0755);
        ASSERT_TRUE(xer.open(root / "log.txt"));
    }
    void TearDown() override { xer.close(); }

    std::string folder(os_dir_type which) {
        std::string out = "unchanged";
        get_OS_abs_path(which, out);
        return out;
    }
    static bool is_dir(const std::string& p) {
        struct stat st {};
        return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }

    temp_dir root;
    std::string home = root / "home";
    std::string tmp = root / "tmp";
    std::string private_tmp = tmp + "/ventaro-" + std::to_string(::getuid());
};

TEST_F(OsFolders, DesktopChoices) {
    const struct {
        std::string env_desktop;   // XDG_DESKTOP_DIR, or "" for unset
        std::string user_dirs;     // user-dirs.dirs text, or "" for none
        std::string expect;        // relative to home when not absolute
    } rows[] = {
        {"", "", "Desktop/"},
        {"", "# made by hand\nXDG_DESKTOP_DIR=\"$HOME/Bureau\"\n", "Bureau/"},
        {"", "XDG_DESKTOP_DIR=\"" + root.path() + "/elsewhere\"\n", root.path() + "/elsewhere/"},
        {"", "XDG_DESKTOP_DIR=\"relative/desk\"\n", "Desktop/"},
        {"", "XDG_DESKTOP_DIR=\"$HOME/\"\n", "Desktop/"},
        {"relative", "", "Desktop/"},
        {root.path() + "/fromenv", "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n", root.path() + "/fromenv/"},
    };
    for (const auto& r : rows) {
        if (!r.env_desktop.empty()) ::setenv("XDG_DESKTOP_DIR", r.env_desktop.c_str(), 1);
        else ::unsetenv("XDG_DESKTOP_DIR");
        ::unlink((home + "/.config/user-dirs.dirs").c_str());
        if (!r.user_dirs.empty()) write_file(home + "/.config/user-dirs.dirs", r.user_dirs);
        const std::string want = r.expect[0] == '/' ? r.expect : home + "/" + r.expect;

        EXPECT_EQ(folder(os_dir_desktop), want) << r.env_desktop << " / " << r.user_dirs;
        EXPECT_EQ(folder(os_dir_default_apps), want);
        EXPECT_TRUE(is_dir(want)) << "created: " << want;
    }
}

TEST_F(OsFolders, ADesktopThatCannotBeMadeGivesTheHomeFolder) {
    write_file(root / "a file", "not a folder");
    ::setenv("XDG_DESKTOP_DIR", (root / "a file/Desktop").c_str(), 1);
    EXPECT_EQ(folder(os_dir_desktop), home + "/");
    EXPECT_EQ(folder(os_dir_default_apps), home + "/");
    ::setenv("HOME", (root / "no such home").c_str(), 1);
    EXPECT_EQ(folder(os_dir_desktop), "unchanged");   // nothing at all: nothing relative either
}

TEST_F(OsFolders, PreferencesFolder) {
    EXPECT_EQ(folder(os_dir_prefs), home + "/.config/");
    EXPECT_TRUE(is_dir(home + "/.config"));
    ::setenv("XDG_CONFIG_HOME", (root / "cfg").c_str(), 1);
    EXPECT_EQ(folder(os_dir_prefs), root / "cfg/");
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    EXPECT_EQ(folder(os_dir_prefs), home + "/.config/");
}

TEST_F(OsFolders, NoHomeGivesNoRelativePath) {
    ::setenv("HOME", "relative-home", 1);
    const std::string d = folder(os_dir_desktop);
    // Falls back to the account's home folder, never to a relative one.
    EXPECT_TRUE(d == "unchanged" || d[0] == '/') << d;
}

TEST_F(OsFolders, PrivateTemporaryFolderIsMadeOwnerOnly) {
    EXPECT_EQ(folder(os_dir_temp), private_tmp + "/");
    struct stat st {};
    ASSERT_EQ(::lstat(private_tmp.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(folder(os_dir_temp), private_tmp + "/");  // found again as it is
}

TEST_F(OsFolders, UnsafeTemporaryFolderIsRefused) {
    const struct {
        const char* what;
        void (*make)(const std::string& path, const std::string& root);
    } rows[] = {
        {"open to others",
         [](const std::string& p, const std::string&) {
             ::mkdir(p.c_str(), 0700);
             ::chmod(p.c_str(), 0755);
         }},
        {"a link to a safe folder",
         [](const std::string& p, const std::string& r) {
             ::mkdir((r + "/safe").c_str(), 0700);
             ASSERT_EQ(::symlink((r + "/safe").c_str(), p.c_str()), 0);
         }},
        {"a plain file", [](const std::string& p, const std::string&) { write_file(p, "x"); }},
    };
    for (const auto& r : rows) {
        std::remove(private_tmp.c_str());
        r.make(private_tmp, root.path());
        EXPECT_EQ(folder(os_dir_temp), "unchanged") << r.what;
    }
    const std::string log = xer.contents_for_test();
    EXPECT_NE(log.find("ERROR: refusing the temporary folder " + private_tmp + ": other users have access"),
              std::string::npos) << log;
    EXPECT_NE(log.find(": it is a symbolic link"), std::string::npos);
}

TEST_F(OsFolders, ApplicationFoldersAndUnknownValues) {
    const std::string here = folder(os_dir_this_app), bundle = folder(os_dir_app_bundle);
    ASSERT_FALSE(here.empty());
    EXPECT_EQ(here.back(), '/');
    EXPECT_NE(bundle.back(), '/');
    EXPECT_EQ(bundle.compare(0, here.size(), here), 0);
    EXPECT_EQ(folder(static_cast<os_dir_type>(9)), "unchanged");
}
