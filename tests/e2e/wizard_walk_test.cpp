// The whole program on a private X server, clicked through as a person would: the web demo road
// from Welcome to a launched demo, served by nginx mirrors through the proxy preferences, and a
// run in French that leaves by Quit.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "demo_set/demo_set.h"
#include "support/install_set.h"
#include "support/nginx_mirror.h"
#include "support/program_run.h"
#include "support/temp_dir.h"
#include "support/xdo.h"
#include "support/xvfb.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kMirrors{"mirror1.demo.test", "mirror2.demo.test", "mirror3.demo.test"};

// Centre of a bottom-bar button (English art): Next's right edge at 770, Quit's left edge at 30.
struct point {
    float x, y;
};
constexpr point kNextEnglish{770 - 89 / 2.0f, 23};
constexpr point kNextFrench{770 - 112 / 2.0f, 23};
constexpr point kQuitFrench{30 + 91 / 2.0f, 23};
constexpr point kNextRussian{770 - 67 / 2.0f, 23};
constexpr point kQuitEnglish{30 + 56 / 2.0f, 23};
constexpr point kBackEnglish{595, 23};
// The two-button question (700 x 206, centred): Cancel above Continue.
constexpr point kQuestionCancel{50 + 96, 197 + 56};
constexpr point kQuestionContinue{50 + 96, 197 + 31};
constexpr point kAgreeBox{250, 303};
constexpr point kFirstChoice{500, 350};
// A frame of the sanitizer build under Xvfb can take a fifth of a second.
constexpr int kHoldMs = 300;

class WizardWalk : public ::testing::Test {
protected:
    virtual long long mirror_rate() const { return 600000; }   // bytes a second, each mirror
    // How each of the three mirrors behaves.
    virtual std::vector<mirror::mode> mirror_modes() const {
        return {mirror::mode::serve, mirror::mode::serve, mirror::mode::serve};
    }
    void SetUp() override {
        // Paced mirrors keep the Install screen up for a few seconds.
        const long long rate = mirror_rate();
        const std::vector<mirror::mode> modes = mirror_modes();
        std::vector<mirror> mirrors;
        for (size_t i = 0; i < kMirrors.size(); ++i) mirrors.push_back({kMirrors[i], modes[i], rate, 20000});
        mirrors.push_back({VENTARO_SERVER_HOST});
        nginx = std::make_unique<nginx_mirrors>(mirrors);
        set = demo_install_set();
        std::vector<list_server> list;
        for (const auto& n : kMirrors) {
            write_install_set(nginx->root(n), set);
            list.push_back({n, "/", n});
        }
        write_file(nginx->root(VENTARO_SERVER_HOST) + "serverlist9.txt",
                   server_list_text(demo_set_install_name, list));
        box = std::make_unique<program_sandbox>(t.path());
        box->env["SDL_VIDEODRIVER"] = "x11";
        box->env["DISPLAY"] = x.display();
        box->env["VENTARO_TEST_EXIT_AFTER_FRAMES"] = "0";
        box->env["VENTARO_TEST_SCREEN_LOG"] = "1";
    }

    std::vector<std::string> args(const std::string& lang) const {
        const std::string port = std::to_string(nginx->port());
        return {"--lang=" + lang, "--pref:_proxy_host=127.0.0.1", "--pref:_proxy_port_int=" + port,
                "--pref:_proxy_port=" + port};
    }

    // Waits until standard output holds the line; false on time-out.
    bool wait_for_line(const std::string& line, int timeout_seconds) const {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
        while (std::chrono::steady_clock::now() < end) {
            if (("\n" + read_file(box->out_path())).find("\n" + line + "\n") != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    // The screen-log lines, in order.
    std::vector<std::string> screens() const {
        std::vector<std::string> out;
        const std::string text = read_file(box->out_path());
        for (size_t at = 0; (at = text.find("screen: ", at)) != std::string::npos;) {
            const size_t end = text.find('\n', at);
            out.push_back(text.substr(at + 8, end - at - 8));
            at = end;
        }
        return out;
    }

    // Clicks until the line shows, for buttons whose second press does nothing on the next screen
    // (a press in the program's first frames can go unseen).
    bool click_until(const xdo& d, point p, const std::string& line, int tries = 4, int seconds_each = 5) const {
        for (int i = 0; i < tries; ++i) {
            d.click(p.x, p.y, kHoldMs);
            if (wait_for_line(line, seconds_each)) return true;
        }
        return false;
    }

    // A picture of the window a few frames past a screen's first, checked by what a person sees:
    // the wizard's dark-blue backdrop above the panels and dark title text on the light panel.
    // VENTARO_TEST_SHOTS names a folder that keeps the pictures.
    void shot(const xdo& d, const std::string& name) const {
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        const char* dir = std::getenv("VENTARO_TEST_SHOTS");
        const std::string png = (dir ? std::string(dir) : t.path()) + "/" + name + ".png";
        ASSERT_TRUE(d.screenshot(png)) << name;
        std::string ppm;
        ASSERT_EQ(run_with_display(x.display(), {"convert", png, "-depth", "8", "ppm:-"}, &ppm), 0) << name;
        std::smatch m;
        ASSERT_TRUE(std::regex_search(ppm.cbegin(), ppm.cbegin() + std::min<size_t>(ppm.size(), 64), m,
                                      std::regex("^P6\\s+(\\d+)\\s+(\\d+)\\s+255\\s")))
            << name;
        const int w = std::stoi(m[1]), h = std::stoi(m[2]);
        ASSERT_GE(w, 800) << name;
        ASSERT_GE(h, 600) << name;
        const size_t head = size_t(m[0].length());
        // Pixel (px, row) of the window, row counted from its top.
        const auto lum = [&](int px, int row, int* blue_lead = nullptr) {
            const size_t at = head + (size_t(row) * size_t(w) + size_t(px)) * 3;
            const int r = (unsigned char)ppm[at], g = (unsigned char)ppm[at + 1], b = (unsigned char)ppm[at + 2];
            if (blue_lead) *blue_lead = b - r;
            return (r + g + b) / 3;
        };
        int backdrop = 0;
        for (int px = 20; px < 780; px += 40) {
            int lead = 0;
            const int l = lum(px, 40, &lead);
            if (l > 20 && l < 140 && lead > 0) ++backdrop;
        }
        EXPECT_GE(backdrop, 16) << name << ": the backdrop above the panels";
        int ink = 0, paper = 0;
        for (int row = 106; row < 128; ++row)
            for (int px = 220; px < 780; ++px) {
                const int l = lum(px, row);
                ink += l < 110;
                paper += l > 200;
            }
        EXPECT_GT(ink, 30) << name << ": title text";
        EXPECT_GT(paper, ink * 5) << name << ": the title lies on the light panel";
    }

    std::map<std::string, std::string> installed_tree(const std::string& root) const {
        std::map<std::string, std::string> out;
        for (const auto& e : fs::recursive_directory_iterator(root))
            if (e.is_regular_file() && !e.is_symlink())
                out[e.path().string().substr(root.size())] = md5_hex(read_file(e.path().string()));
        return out;
    }

    // The English road from Welcome to the launched stand-in; fails the test at the first step
    // that does not come.
    void walk_english_to_launch() {
        ASSERT_TRUE(x.running());
        auto run = box->start(args("en"));
        xdo d(x.display(), run.pid());
        ASSERT_TRUE(d.found()) << run.err();

        ASSERT_TRUE(wait_for_line("screen: Welcome", 60)) << run.err();
        shot(d, "1 welcome");
        ASSERT_TRUE(click_until(d, kNextEnglish, "screen: End User License Agreement")) << read_file(box->out_path());

        // Next stays disabled until the licence is ticked.
        EXPECT_FALSE(click_until(d, kNextEnglish, "screen: Check Servers", 1, 2));
        d.click(kAgreeBox.x, kAgreeBox.y, kHoldMs);
        shot(d, "2 license");
        if (!click_until(d, kNextEnglish, "screen: Check Servers", 2)) {
            d.click(kAgreeBox.x, kAgreeBox.y, kHoldMs);   // the tick went unseen
            ASSERT_TRUE(click_until(d, kNextEnglish, "screen: Check Servers")) << read_file(box->out_path()) << run.err();
        }

        const std::string dest_title = std::string("screen: Pick Install Destination for ") + demo_set_install_name + ".";
        ASSERT_TRUE(wait_for_line(dest_title, 60)) << run.err() << read_file(box->out_path());
        shot(d, "3 destination");
        ASSERT_TRUE(click_until(d, kNextEnglish, "screen: Installing")) << read_file(box->out_path());
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        shot(d, "4 install");

        ASSERT_TRUE(wait_for_line("screen: Finshed Web Demo Install", 180)) << run.err() << read_file(box->out_path());
        shot(d, "5 finish");
        int code = -1;
        for (int i = 0; i < 4 && code == -1; ++i) {
            d.click(kFirstChoice.x, kFirstChoice.y, kHoldMs);
            code = run.wait_exit(5);
        }
        EXPECT_EQ(code, 1) << run.err();

        const std::vector<std::string> expected{"Welcome",
                                                "End User License Agreement",
                                                "Check Servers",
                                                std::string("Pick Install Destination for ") + demo_set_install_name + ".",
                                                "Installing",
                                                "Finshed Web Demo Install"};
        EXPECT_EQ(screens(), expected);

        const std::string dest = box->home() + "/Desktop/Ventaro 9 Demo/";
        std::map<std::string, std::string> want = mac_copy_of(set);
        want["Output/demo started.txt"] = md5_hex("Ventaro 9 web demo started: \n");
        EXPECT_EQ(installed_tree(dest), want);
        EXPECT_EQ(read_file(box->home() + "/.config/ventaro_install.txt"), dest + "\n");
    }

    // Starts the program in English and walks it to the Installing screen; installing and window
    // hold the run and its window.
    void start_installing() {
        ASSERT_TRUE(x.running());
        installing = std::make_unique<program_sandbox::running>(box->start(args("en")));
        window = std::make_unique<xdo>(x.display(), installing->pid());
        ASSERT_TRUE(window->found()) << installing->err();
        walk_to_installing(*window, *installing);
    }

    // From Welcome to the Installing screen, in English.
    void walk_to_installing(const xdo& d, program_sandbox::running& run) {
        ASSERT_TRUE(wait_for_line("screen: Welcome", 60)) << run.err();
        ASSERT_TRUE(click_until(d, kNextEnglish, "screen: End User License Agreement")) << read_file(box->out_path());
        d.click(kAgreeBox.x, kAgreeBox.y, kHoldMs);
        if (!click_until(d, kNextEnglish, "screen: Check Servers", 2)) {
            d.click(kAgreeBox.x, kAgreeBox.y, kHoldMs);   // the tick went unseen
            ASSERT_TRUE(click_until(d, kNextEnglish, "screen: Check Servers")) << read_file(box->out_path());
        }
        const std::string dest_title = std::string("screen: Pick Install Destination for ") + demo_set_install_name + ".";
        ASSERT_TRUE(wait_for_line(dest_title, 60)) << run.err() << read_file(box->out_path());
        ASSERT_TRUE(click_until(d, kNextEnglish, "screen: Installing")) << read_file(box->out_path());
    }

    // The engine's questions the program has shown so far, from its screen log.
    int questions() const {
        int n = 0;
        const std::string text = "\n" + read_file(box->out_path());
        for (size_t at = 0; (at = text.find("\nquestion: ", at)) != std::string::npos; ++at) ++n;
        return n;
    }
    bool wait_for_questions(int n, int timeout_seconds) const {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
        while (questions() < n && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return questions() >= n;
    }

    temp_dir t;
    xvfb x;
    std::unique_ptr<nginx_mirrors> nginx;
    install_set set;
    std::unique_ptr<program_sandbox> box;
    // The run start_installing made, and its window; ended before the sandbox and the X server.
    std::unique_ptr<program_sandbox::running> installing;
    std::unique_ptr<xdo> window;
};

TEST_F(WizardWalk, WebDemoRoadFromWelcomeToTheLaunchedDemo) { walk_english_to_launch(); }

TEST_F(WizardWalk, FrenchRunShowsFrenchTitlesAndQuitEndsIt) {
    ASSERT_TRUE(x.running());
    auto run = box->start(args("fr"));
    xdo d(x.display(), run.pid());
    ASSERT_TRUE(d.found()) << run.err();

    ASSERT_TRUE(wait_for_line("screen: Welcome = Bienvenue", 60)) << run.err() << read_file(box->out_path());
    shot(d, "fr welcome");
    ASSERT_TRUE(click_until(d, kNextFrench, "screen: End User License Agreement = Contrat de licence utilisateur final"))
        << read_file(box->out_path());
    shot(d, "fr license");
    d.click(kQuitFrench.x, kQuitFrench.y);
    EXPECT_EQ(run.wait_exit(30), 0) << run.err();
    EXPECT_FALSE(fs::exists(box->home() + "/Desktop/Ventaro 9 Demo"));
}

TEST_F(WizardWalk, RussianRunInstallsAndFinishes) {
    ASSERT_TRUE(x.running());
    auto run = box->start(args("ru"));
    xdo d(x.display(), run.pid());
    ASSERT_TRUE(d.found()) << run.err();

    const auto line = [](const char* english, const char* russian) {
        return std::string("screen: ") + english + " = " + russian;
    };
    ASSERT_TRUE(wait_for_line(line("Welcome", "Добро пожаловать"), 60)) << run.err() << read_file(box->out_path());
    ASSERT_TRUE(click_until(d, kNextRussian, line("End User License Agreement", "Лицензионное соглашение")))
        << read_file(box->out_path());
    d.click(kAgreeBox.x, kAgreeBox.y, kHoldMs);
    if (!click_until(d, kNextRussian, line("Check Servers", "Проверка серверов"), 2)) {
        d.click(kAgreeBox.x, kAgreeBox.y, kHoldMs);   // the tick went unseen
        ASSERT_TRUE(click_until(d, kNextRussian, line("Check Servers", "Проверка серверов"))) << read_file(box->out_path());
    }
    // The destination's title carries the install name, so only its English start is known here.
    const std::string dest_line = std::string("screen: Pick Install Destination for ") + demo_set_install_name + ".";
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < end && read_file(box->out_path()).find(dest_line) == std::string::npos)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_NE(read_file(box->out_path()).find(dest_line), std::string::npos) << read_file(box->out_path());
    ASSERT_TRUE(click_until(d, kNextRussian, line("Installing", "Идёт установка"))) << read_file(box->out_path());
    ASSERT_TRUE(wait_for_line(line("Finshed Web Demo Install", "Установка веб-демоверсии завершена"), 180))
        << run.err() << read_file(box->out_path());
    shot(d, "ru finish");

    // Next on the last screen ends the installer normally.
    int code = -1;
    for (int i = 0; i < 4 && code == -1; ++i) {
        d.click(kNextRussian.x, kNextRussian.y, kHoldMs);
        code = run.wait_exit(5);
    }
    EXPECT_EQ(code, 0) << run.err();

    // The folder's name is translated too: the registration says where the copy went.
    std::string dest = read_file(box->home() + "/.config/ventaro_install.txt");
    dest = dest.substr(0, dest.find('\n'));
    ASSERT_EQ(dest.rfind(box->home() + "/Desktop/", 0), 0u) << dest;
    ASSERT_TRUE(fs::is_directory(dest)) << dest;
    EXPECT_EQ(installed_tree(dest), mac_copy_of(set));
}

// Slow mirrors keep the install running while the user changes their mind.
class WizardWalkSlow : public WizardWalk {
protected:
    long long mirror_rate() const override { return 100000; }
};

TEST_F(WizardWalkSlow, BackThenContinueResumesAndQuitThenCancelDeletesTheCopy) {
    ASSERT_TRUE(x.running());
    auto run = box->start(args("en"));
    xdo d(x.display(), run.pid());
    ASSERT_TRUE(d.found()) << run.err();

    ASSERT_TRUE(wait_for_line("screen: Welcome", 60)) << run.err();
    ASSERT_TRUE(click_until(d, kNextEnglish, "screen: End User License Agreement")) << read_file(box->out_path());
    d.click(kAgreeBox.x, kAgreeBox.y, kHoldMs);
    if (!click_until(d, kNextEnglish, "screen: Check Servers", 2)) {
        d.click(kAgreeBox.x, kAgreeBox.y, kHoldMs);
        ASSERT_TRUE(click_until(d, kNextEnglish, "screen: Check Servers")) << read_file(box->out_path());
    }
    const std::string dest_title = std::string("screen: Pick Install Destination for ") + demo_set_install_name + ".";
    ASSERT_TRUE(wait_for_line(dest_title, 60)) << run.err() << read_file(box->out_path());
    ASSERT_TRUE(click_until(d, kNextEnglish, "screen: Installing")) << read_file(box->out_path());
    const std::string dest = box->home() + "/Desktop/Ventaro 9 Demo/";
    ASSERT_TRUE(fs::is_directory(dest));

    // Back asks first; Continue goes on with the same install.
    d.click(kBackEnglish.x, kBackEnglish.y, kHoldMs);
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    d.click(kQuestionContinue.x, kQuestionContinue.y, kHoldMs);
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    EXPECT_TRUE(run.alive());
    EXPECT_TRUE(fs::is_directory(dest));
    EXPECT_EQ(read_file(box->out_path()).find("screen: Finshed Web Demo Install"), std::string::npos)
        << "the install should still be running: the mirrors are slow";
    const auto installing = [&] {
        const std::vector<std::string> s = screens();
        return !s.empty() && s.back() == "Installing";
    };
    EXPECT_TRUE(installing()) << read_file(box->out_path());

    // Quit asks too; Cancel ends the program and deletes the partial copy.
    d.click(kQuitEnglish.x, kQuitEnglish.y, kHoldMs);
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    d.click(kQuestionCancel.x, kQuestionCancel.y, kHoldMs);
    EXPECT_EQ(run.wait_exit(30), 0) << run.err();
    EXPECT_FALSE(fs::exists(dest));
}

// The window's close button during the install asks the cancel question, as Quit does. A second
// close while the question is open does not end the program once the user has chosen Continue:
// the install goes on to its end. On the last screen a close ends the program at once.
TEST_F(WizardWalkSlow, TheCloseButtonAsksAndACloseDuringTheQuestionLeavesTheAnswerStanding) {
    start_installing();
    if (HasFatalFailure()) return;
    program_sandbox::running& run = *installing;
    const xdo& d = *window;

    ASSERT_TRUE(d.close_button());
    ASSERT_TRUE(wait_for_questions(1, 60)) << run.err() << read_file(box->out_path());
    EXPECT_NE(read_file(box->out_path()).find("question: Are you sure you want to cancel the installation?"),
              std::string::npos);
    ASSERT_TRUE(d.close_button());   // sent before the answer, so it reaches the open question
    EXPECT_TRUE(click_until(d, kQuestionContinue, "screen: Finshed Web Demo Install", 3, 120))
        << run.err() << read_file(box->out_path());
    EXPECT_TRUE(run.alive());
    EXPECT_EQ(questions(), 1);

    const std::string dest = box->home() + "/Desktop/Ventaro 9 Demo/";
    std::map<std::string, std::string> want;
    for (const auto& f : set.files)
        if (!f.gone) want[f.path.substr(f.path.find('/') + 1)] = md5_hex(f.bytes);
    EXPECT_EQ(installed_tree(dest), want);

    ASSERT_TRUE(d.close_button());
    EXPECT_EQ(run.wait_exit(30), 0) << run.err();
    EXPECT_EQ(questions(), 1);
}

// Close, then Cancel: the program ends, and neither the partial copy nor its downloads are left.
TEST_F(WizardWalkSlow, TheCloseButtonThenCancelLeavesNothingBehind) {
    start_installing();
    if (HasFatalFailure()) return;
    program_sandbox::running& run = *installing;
    const xdo& d = *window;
    const std::string dest = box->home() + "/Desktop/Ventaro 9 Demo/";
    ASSERT_TRUE(fs::is_directory(dest));

    ASSERT_TRUE(d.close_button());
    ASSERT_TRUE(wait_for_questions(1, 60)) << run.err() << read_file(box->out_path());
    int code = -1;
    for (int i = 0; i < 4 && code == -1; ++i) {
        d.click(kQuestionCancel.x, kQuestionCancel.y, kHoldMs);
        code = run.wait_exit(10);
    }
    EXPECT_EQ(code, 0) << run.err();
    EXPECT_FALSE(fs::exists(dest));
    std::vector<std::string> left;
    for (const auto& e : fs::recursive_directory_iterator(t.path() + "/tmp"))
        if (e.path().filename() != "runs.lock" && !e.is_directory()) left.push_back(e.path().string());
    EXPECT_EQ(left, std::vector<std::string>{});
}

// An install killed half way leaves a copy that says so at its top, and stays registered; a
// finished install (the walks above) leaves no such file.
TEST_F(WizardWalkSlow, AKilledInstallLeavesItsCopyMarkedIncomplete) {
    start_installing();
    if (HasFatalFailure()) return;
    program_sandbox::running& run = *installing;
    const std::string dest = box->home() + "/Desktop/Ventaro 9 Demo/";
    const std::string marker = dest + "Install Incomplete.txt";
    ASSERT_TRUE(fs::exists(marker));
    ::kill(run.pid(), SIGKILL);
    run.wait_exit(30);
    EXPECT_NE(read_file(marker).find("has not finished"), std::string::npos);
    EXPECT_EQ(read_file(box->home() + "/.config/ventaro_install.txt"), dest + "\n");
}

// One mirror answers 500 to everything and one drops every body part way: the install still
// completes, from the good mirror, byte for byte.
class WizardWalkHostile : public WizardWalk {
protected:
    std::vector<mirror::mode> mirror_modes() const override {
        return {mirror::mode::serve, mirror::mode::error_500, mirror::mode::drop};
    }
};

TEST_F(WizardWalkHostile, TheRoadCompletesFromTheGoodMirror) { walk_english_to_launch(); }

}  // namespace
