// The web updater as a whole program on a private X server, clicked through as a person would:
// an installed copy of an earlier release is brought up to date from nginx mirrors (files changed,
// added and removed), once named with -path and once picked from the registered copies.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "demo_set/demo_set.h"
#include "support/install_set.h"
#include "support/nginx_mirror.h"
#include "support/program_run.h"
#include "support/screen_pixels.h"
#include "support/temp_dir.h"
#include "support/xdo.h"
#include "support/xvfb.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kMirrors{"mirror1.update.test", "mirror2.update.test", "mirror3.update.test"};
const char* const kUpdateName = "Ventaro 9 Update";

struct point {
    float x, y;
};
constexpr point kNext{770 - 89 / 2.0f, 23};   // English art
constexpr point kFinishQuit{770 - 56 / 2.0f, 23};
constexpr int kHoldMs = 300;

// The release the copy holds, and the next one: a changed program file, a changed large file, a
// new file and a file the new release drops.
install_set old_release() { return demo_install_set(); }

install_set new_release() {
    install_set set = demo_install_set();
    set.name = kUpdateName;
    for (set_file& f : set.files) {
        if (f.path == "All/Resources/data/block 8.bin") {
            f.older = {f.bytes};
            f.bytes = random_bytes(f.bytes.size(), 77);
        } else if (f.path == "All/Airfoils/demo 2.afl") {
            f.older = {f.bytes};
            f.bytes += "a revised airfoil\n";
        } else if (f.path == "All/Resources/text/sub1/notes 5.txt") {
            f.older = {f.bytes};
            f.gone = true;
        }
    }
    set.files.push_back({"All/Resources/data/new block.bin", random_bytes(300000, 78), false, {}});
    return set;
}

class WebUpdate : public ::testing::Test {
protected:
    virtual mirror::mode list_host_mode() const { return mirror::mode::serve; }
    void SetUp() override {
        std::vector<mirror> mirrors;
        for (const auto& n : kMirrors) mirrors.push_back({n, mirror::mode::serve, 400000, 0});
        mirrors.push_back({VENTARO_SERVER_HOST, list_host_mode()});
        nginx = std::make_unique<nginx_mirrors>(mirrors);
        next = new_release();
        std::vector<list_server> list;
        for (const auto& n : kMirrors) {
            write_install_set(nginx->root(n), next);
            list.push_back({n, "/", n});
        }
        write_file(nginx->root(VENTARO_SERVER_HOST) + "serverlist9.txt", server_list_text(kUpdateName, list));
        box = std::make_unique<program_sandbox>(t.path(), program_bundle{VENTARO_TEST_UPDATER_BUNDLE, "Ventaro Web Updater"});
        box->env["SDL_VIDEODRIVER"] = "x11";
        box->env["DISPLAY"] = x.display();
        box->env["VENTARO_TEST_EXIT_AFTER_FRAMES"] = "0";
        box->env["VENTARO_TEST_SCREEN_LOG"] = "1";
        copy = t.path() + "/copies/Ventaro 9/";
        install_copy(copy, old_release());
        other = t.path() + "/copies/Ventaro 9 second/";
        install_copy(other, old_release());
    }

    // What a finished install of the set leaves: its Mac files, and the folders a copy is known by.
    static void install_copy(const std::string& root, const install_set& set) {
        std::map<std::string, std::string> files;
        for (const set_file& f : master_skeleton()) files[f.path] = f.bytes;
        for (const set_file& f : set.files)
            if (!f.gone) files[f.path] = f.bytes;
        for (const auto& [path, bytes] : files)
            if (master_platform(path) <= 1) write_file(root + path.substr(path.find('/') + 1), bytes);
        for (const char* folder : {"Airfoils", "Instructions", "Output", "Resources"}) fs::create_directories(root + folder);
    }

    static std::map<std::string, std::string> tree(const std::string& root) {
        std::map<std::string, std::string> out;
        for (const auto& e : fs::recursive_directory_iterator(root))
            if (e.is_regular_file() && !e.is_symlink())
                out[e.path().string().substr(root.size())] = md5_hex(read_file(e.path().string()));
        return out;
    }

    std::vector<std::string> args(const std::vector<std::string>& first = {}) const {
        const std::string port = std::to_string(nginx->port());
        std::vector<std::string> out = first;
        const std::vector<std::string> rest{"--lang=en", "--pref:_proxy_host=127.0.0.1", "--pref:_proxy_port_int=" + port,
                                            "--pref:_proxy_port=" + port};
        out.insert(out.end(), rest.begin(), rest.end());
        return out;
    }

    bool wait_for_line(const std::string& line, int timeout_seconds) const {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
        while (std::chrono::steady_clock::now() < end) {
            if (("\n" + read_file(box->out_path())).find("\n" + line + "\n") != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    bool click_until(const xdo& d, point p, const std::string& line, int tries = 4) const {
        for (int i = 0; i < tries; ++i) {
            d.click(p.x, p.y, kHoldMs);
            if (wait_for_line(line, 5)) return true;
        }
        return false;
    }
    std::vector<std::string> screens() const {
        std::vector<std::string> out;
        const std::string text = read_file(box->out_path());
        for (size_t at = 0; (at = text.find("screen: ", at)) != std::string::npos;) {
            const size_t end = text.find('\n', at);
            // The last screen's Quit passes through the end of the road, which has no title.
            if (end > at + 8) out.push_back(text.substr(at + 8, end - at - 8));
            at = end;
        }
        return out;
    }
    // A picture of the screen as shown: the title's dark text on the light panel, and the body text
    // under it. VENTARO_TEST_SHOTS names a folder that keeps the pictures.
    void shot(const xdo& d, const std::string& name, bool has_text = true) const {
        const char* dir = std::getenv("VENTARO_TEST_SHOTS");
        const std::string png = (dir ? std::string(dir) : t.path()) + "/" + name + ".png";
        screen_pixels p;
        ASSERT_TRUE(p.take(d, x.display(), png)) << name;
        EXPECT_GT(p.dark_pixels(220, 472, 780, 494), 30) << name << ": the title";
        if (has_text) {
            EXPECT_GT(p.dark_pixels(220, 380, 780, 450), 30) << name << ": the text";
        }
    }

    // Welcome onwards, to Finish and out by its Quit; the copy is then checked against the release.
    void update_to_the_end(const xdo& d, program_sandbox::running& run, bool picks) {
        ASSERT_TRUE(wait_for_line("screen: Ventaro 9 Web Updater", 60)) << run.err();
        shot(d, picks ? "update 1 welcome" : "update path 1 welcome");
        if (picks) {
            ASSERT_TRUE(click_until(d, kNext, "screen: Pick Destination")) << read_file(box->out_path());
            // Two copies: no choice yet, so Next does nothing until the first radio button is set.
            d.click(kNext.x, kNext.y, kHoldMs);
            EXPECT_FALSE(wait_for_line("screen: Search for Updates", 2));
            d.click(250, 400, kHoldMs);
            shot(d, "update 2 pick destination");
            if (!click_until(d, kNext, "screen: Search for Updates", 2)) {
                d.click(250, 400, kHoldMs);   // the press went unseen
                ASSERT_TRUE(click_until(d, kNext, "screen: Search for Updates")) << read_file(box->out_path());
            }
        } else {
            ASSERT_TRUE(click_until(d, kNext, "screen: Search for Updates")) << read_file(box->out_path());
        }
        // Whatever stage the search has reached, its title and a line of text show.
        shot(d, picks ? "update 2b search" : "update path 2 search");
        ASSERT_TRUE(wait_for_line("screen: Check Disk Space", 120)) << run.err() << read_file(box->out_path());
        shot(d, picks ? "update 3 check disk space" : "update path 3 check disk space");
        ASSERT_TRUE(click_until(d, kNext, "screen: Installing")) << read_file(box->out_path());
        // The body text waits for the first percent; the title and the status line show.
        shot(d, picks ? "update 4 installing" : "update path 4 installing", false);
        ASSERT_TRUE(wait_for_line("screen: Finshed Web Update", 180)) << run.err() << read_file(box->out_path());
        shot(d, picks ? "update 5 finish" : "update path 5 finish");
        int code = -1;
        for (int i = 0; i < 4 && code == -1; ++i) {
            d.click(kFinishQuit.x, kFinishQuit.y, kHoldMs);
            code = run.wait_exit(5);
        }
        EXPECT_EQ(code, 0) << run.err();
        std::vector<std::string> expected{"Ventaro 9 Web Updater", "Search for Updates", "Check Disk Space",
                                          "Installing", "Finshed Web Update"};
        if (picks) expected.insert(expected.begin() + 1, "Pick Destination");
        EXPECT_EQ(screens(), expected);
        EXPECT_NE(read_file(box->log_path()).find("End of MD5"), std::string::npos);
        EXPECT_EQ(tree(copy), mac_copy_of(next));
    }

    temp_dir t;
    xvfb x;
    std::unique_ptr<nginx_mirrors> nginx;
    install_set next;
    std::unique_ptr<program_sandbox> box;
    std::string copy, other;
};

TEST_F(WebUpdate, NamedWithPathTheCopyIsUpdatedToTheNewRelease) {
    ASSERT_TRUE(x.running());
    auto run = box->start(args({"-path", copy}));
    xdo d(x.display(), run.pid());
    ASSERT_TRUE(d.found()) << run.err();
    update_to_the_end(d, run, false);
    EXPECT_EQ(tree(other), mac_copy_of(old_release()));
}

TEST_F(WebUpdate, PickedFromTheRegisteredCopiesOnlyThatCopyIsUpdated) {
    write_file(box->home() + "/.config/ventaro_install.txt", copy + "\n" + other + "\n");
    ASSERT_TRUE(x.running());
    auto run = box->start(args());
    xdo d(x.display(), run.pid());
    ASSERT_TRUE(d.found()) << run.err();
    update_to_the_end(d, run, true);
    EXPECT_EQ(tree(other), mac_copy_of(old_release()));
    // The files the new release dropped are gone, not merely left out of the comparison.
    EXPECT_FALSE(fs::exists(copy + "Resources/text/sub1/notes 5.txt"));
}

// The host of the server list does not answer: the search says whom it is contacting and keeps
// trying; Back returns to the chooser, where the only copy is chosen by itself, and Quit ends.
class WebUpdateNoList : public WebUpdate {
protected:
    mirror::mode list_host_mode() const override { return mirror::mode::stall; }
};

TEST_F(WebUpdateNoList, TheSearchWaitsForTheListAndBackLeavesIt) {
    write_file(box->home() + "/.config/ventaro_install.txt", copy + "\n");
    ASSERT_TRUE(x.running());
    auto run = box->start(args());
    xdo d(x.display(), run.pid());
    ASSERT_TRUE(d.found()) << run.err();
    ASSERT_TRUE(wait_for_line("screen: Ventaro 9 Web Updater", 60)) << run.err();
    ASSERT_TRUE(click_until(d, kNext, "screen: Pick Destination")) << read_file(box->out_path());
    shot(d, "update one copy pick destination");
    ASSERT_TRUE(click_until(d, kNext, "screen: Search for Updates")) << read_file(box->out_path());
    shot(d, "update search contacting");
    constexpr point kBack{595, 23};
    d.click(kBack.x, kBack.y, kHoldMs);
    const auto picks = [&] {
        int n = 0;
        for (const std::string& s : screens()) n += s == "Pick Destination";
        return n;
    };
    // A press in a screen's first frames can go unseen: pressed again until the chooser is back.
    for (int i = 0; i < 4 && picks() < 2; ++i) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (picks() < 2 && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (picks() < 2) d.click(kBack.x, kBack.y, kHoldMs);
    }
    EXPECT_EQ(picks(), 2) << read_file(box->out_path());
    constexpr point kQuit{30 + 56 / 2.0f, 23};
    int code = -1;
    for (int i = 0; i < 4 && code == -1; ++i) {
        d.click(kQuit.x, kQuit.y, kHoldMs);
        code = run.wait_exit(5);
    }
    EXPECT_EQ(code, 0) << run.err();
    EXPECT_EQ(tree(copy), mac_copy_of(old_release()));
}

}  // namespace
