#include "support/disc_run.h"

#include <signal.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/spawn.h"
#include "support/disc_images.h"
#include "support/log_wait.h"

namespace fs = std::filesystem;

namespace testsupport {

rgb pixel(const screen_pixels& p, int x, int y) {
    const size_t at = (size_t(599 - y) * size_t(p.width) + size_t(x)) * 3;
    return {p.rgb[at], p.rgb[at + 1], p.rgb[at + 2]};
}

int apart(const rgb& a, const rgb& b) { return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b); }

int ink(const screen_pixels& p, int x0, int y0, int x1, int y1) {
    const rgb ground = pixel(p, x0, y0);
    int n = 0;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) n += apart(pixel(p, x, y), ground) != 0;
    return n;
}

void disc_run::SetUpTestSuite() { mountable_ = disc_mounts_possible(&why_); }

void disc_run::SetUp() {
    if (!mountable_) GTEST_SKIP() << "disc images cannot be mounted here: " << why_;
    x = std::make_unique<xvfb>();
    ASSERT_TRUE(x->running());
    box = std::make_unique<program_sandbox>(t.path(), program_bundle{VENTARO_TEST_DISC_BUNDLE, "Ventaro Disc Installer"});
    box->env["SDL_VIDEODRIVER"] = "x11";
    box->env["DISPLAY"] = x->display();
    box->env["VENTARO_TEST_EXIT_AFTER_FRAMES"] = "0";
    box->env["VENTARO_TEST_SCREEN_LOG"] = "1";
    drive = t.path() + "/drive";
}

void disc_run::TearDown() {
    driver.reset();
    window.reset();
    run.reset();
    while (!drive.empty() && is_mounted(drive)) unmount_disc(drive);
}

void disc_run::build_two_discs(const install_set& s, float disk_full_kb) {
    set = s;
    write_master(t / "master", set);
    // Scenery ships as 7z archives, lying beside the master's files for the builder to take.
    for (const set_file& f : set.files) {
        if (f.gone || f.path.find("/Global Scenery/") == std::string::npos) continue;
        const std::string file = t / ("master/" + f.path);
        const std::string folder = file.substr(0, file.rfind('/')), leaf = file.substr(file.rfind('/') + 1);
        ASSERT_EQ(platform::run_and_wait("bsdtar", {"bsdtar", "--format", "7zip", "-cf", file + ".7z", "-C", folder, "--", leaf}),
                  0);
    }
    fs::create_directories(t / "discs");
    testing::internal::CaptureStdout();   // the builder's disk lines
    build_from_master(1, t / "master/", t / "discs/", "", disk_full_kb);
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(fs::exists(t / "discs/disk_1")) << "the set fits one disc";
    // A third disk, when the builder lays out its folders, holds no file of the set.
    if (fs::exists(t / "discs/disk_2")) {
        for (const auto& e : fs::recursive_directory_iterator(t / "discs/disk_2"))
            ASSERT_FALSE(e.is_regular_file() && e.path().filename() != "dvd_version.txt")
                << "the set needs more than two discs: " << e.path();
    }
    for (int n = 0; n < 2; ++n) make_disc_image(t / ("discs/disk_" + std::to_string(n)), disc_image(n));
}

std::string disc_run::disc_image(int n) const { return t / ("disc " + std::to_string(n + 1) + ".sqfs"); }

bool disc_run::disc_holds(int n, const std::string& path) const {
    // The set lies in a folder named after the product the builder made it for.
    for (const auto& e : fs::directory_iterator(t / ("discs/disk_" + std::to_string(n)))) {
        const std::string base = e.path().string() + "/" + path;
        if (e.is_directory() && (fs::exists(base + ".zip") || fs::exists(base + ".7z"))) return true;
    }
    return false;
}

void disc_run::swap_to_disc(int n) {
    if (is_mounted(drive)) unmount_disc(drive);
    mount_disc(disc_image(n), drive);
}

void disc_run::mount_foreign_disc(const std::string& version_text) {
    const std::string folder = t / "foreign";
    fs::remove_all(folder);
    while (is_mounted(drive)) unmount_disc(drive);
    write_file(folder + "/dvd_version.txt", version_text);
    make_disc_image(folder, t / "foreign.sqfs");
    mount_disc(t / "foreign.sqfs", drive);
}

void disc_run::register_copy(const std::string& folder) {
    for (const char* sub : {"Airfoils", "Instructions", "Output", "Resources"}) fs::create_directories(folder + sub);
    std::ofstream(box->home() + "/.config/ventaro_install.txt", std::ios::app) << folder << "\n";
}

void disc_run::start(const std::vector<std::string>& args) {
    run = std::make_unique<program_sandbox::running>(box->start(args));
    window = std::make_unique<xdo>(x->display(), run->pid());
    ASSERT_TRUE(window->found()) << run->err();
    driver = std::make_unique<screen_driver>(*window, box->out_path(), *run);
}

void disc_run::stop() {
    driver.reset();
    window.reset();
    run.reset();
    fs::remove(box->out_path());
}

bool disc_run::log_holds(const std::string& text, int timeout_seconds) const {
    return wait_for_file(
        box->out_path(), [&](const std::string& log) { return log.find(text) != std::string::npos; }, timeout_seconds,
        [&] { return run->alive(); });
}

int disc_run::count_in_log(const std::string& text) const {
    const std::string log = read_file(box->out_path());
    int n = 0;
    for (size_t at = 0; (at = log.find(text, at)) != std::string::npos; at += text.size()) ++n;
    return n;
}

std::string disc_run::screen_text(const std::string& title) const {
    const std::string log = "\n" + read_file(box->out_path());
    const std::string head = "\nscreen: " + title + "\ntext: ";
    const size_t at = log.rfind(head);
    if (at == std::string::npos) return "";
    const size_t from = at + head.size();
    return log.substr(from, log.find('\n', from) - from);
}

std::string disc_run::shot_path(const std::string& name) const {
    const char* dir = std::getenv("VENTARO_TEST_SHOTS");
    return (dir && *dir ? std::string(dir) : t.path()) + "/disc " + name + ".png";
}

screen_pixels disc_run::shot(const std::string& name) {
    screen_pixels p;
    EXPECT_TRUE(driver->frames(3)) << name << "\n" << driver->log() << run->err();
    EXPECT_TRUE(p.take(*window, x->display(), shot_path(name))) << name;
    EXPECT_GE(p.width, 800) << name;
    EXPECT_GE(p.height, 600) << name;
    if (p.width < 800 || p.height < 600) p.rgb.assign(size_t(800) * 600 * 3, 0), p.width = 800, p.height = 600;
    EXPECT_GT(p.dark_pixels(220, 472, 780, 494), 30) << name << ": the title";
    return p;
}

bool disc_run::frozen_shot(const std::string& name, const std::string& screen_line, int nth) {
    const std::string line = screen_line + "\n";
    if (!wait_for_file(
            box->out_path(), [&](const std::string&) { return count_in_log(line) >= nth; }, 180,
            [&] { return run->alive(); }))
        return false;
    ::kill(run->pid(), SIGSTOP);
    // Until the stop has taken the program (or it has ended); the report stays for waitpid.
    siginfo_t info{};
    if (::waitid(P_PID, id_t(run->pid()), &info, WSTOPPED | WEXITED | WNOWAIT) != 0 || info.si_code != CLD_STOPPED) {
        ::kill(run->pid(), SIGCONT);
        return false;
    }
    // Shown still when the log names no screen after the nth.
    const auto still_there = [&] {
        const std::string log = read_file(box->out_path());
        size_t at = 0;
        for (int k = 0; k < nth; ++k) at = log.find(line, at) + line.size();
        return log.find("screen: ", at) == std::string::npos;
    };
    bool shown = still_there();
    if (shown) {
        screen_pixels p;
        shown = p.take(*window, x->display(), shot_path(name)) && still_there();
        if (!shown) fs::remove(shot_path(name));
    }
    ::kill(run->pid(), SIGCONT);
    return shown;
}

std::map<std::string, std::string> disc_run::tree(const std::string& root) {
    std::vector<std::string> names, files;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (!e.is_regular_file() || e.is_symlink()) continue;
        names.push_back(e.path().string().substr(root.size()));
        files.push_back(e.path().string());
    }
    const std::vector<std::string> sums = md5_hex_of_files(files);
    std::map<std::string, std::string> out;
    for (size_t k = 0; k < names.size(); ++k) out[names[k]] = sums[k];
    return out;
}

}  // namespace testsupport
