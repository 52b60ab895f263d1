// The installer's start-up as a whole program: the OS folders it logs, the start state it reports
// for its switches, and the relaunch from the temporary folder when it runs off the install DVD.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "support/program_run.h"
#include "support/temp_dir.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

std::string uid_folder(const std::string& tmpdir) { return tmpdir + "/ventaro-" + std::to_string(::getuid()) + "/"; }

// The run folders in a temporary folder, by name.
std::vector<std::string> run_folders(const std::string& folder) {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
        if (e.path().filename().string().rfind("run-", 0) == 0) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

// Lines on standard error that begin with the start report's tag.
std::vector<std::string> start_lines(const std::string& err) {
    std::vector<std::string> lines;
    for (size_t at = 0; (at = err.find("start: ", at)) != std::string::npos;) {
        const size_t end = err.find('\n', at);
        lines.push_back(err.substr(at, end - at));
        at = end;
    }
    return lines;
}

TEST(StartState, SwitchesGiveTheStartStateAndTheLogNamesTheOsFolders) {
    const struct {
        std::vector<std::string> args;
        const char* path;   // relative to the sandbox's current folder when it does not begin with '/'
        int filter;
    } rows[] = {
        {{"-path", "copies/Ventaro", "--os=LIN"}, "copies/Ventaro/", 3},
        {{"-path", "/opt/Ventaro 9/../Ventaro 10", "--os=ALL"}, "/opt/Ventaro 10/", 0},
        {{"--os=IBM", "-path", "/opt/Ventaro"}, "", 2},   // -path only counts as the first argument
        {{"-path"}, "", 1},                               // with no folder after it
        {{"-pathfinder", "/opt/Ventaro", "--os=BSD"}, "", 1},
    };
    for (const auto& r : rows) {
        temp_dir tmp;
        program_sandbox box(tmp.path());
        box.env["VENTARO_TEST_REPORT_START"] = "1";
        // One registered copy still there, one gone.
        fs::create_directories(box.home() + "/Ventaro");
        write_file(box.home() + "/.config/ventaro_install.txt", box.home() + "/Ventaro/\n" + box.home() + "/Gone/\n");

        const program_result run = box.run(r.args);
        const std::string what = r.args.empty() ? "" : r.args[0] + " ...";
        ASSERT_EQ(run.exit_code, 0) << what << "\n" << run.err;
        const std::string path = r.path[0] == '/' || !*r.path ? r.path : box.cwd() + "/" + r.path;
        const std::vector<std::string> lines = start_lines(run.err);
        ASSERT_EQ(lines.size(), 1u) << what << "\n" << run.err;
        const std::string head = "start: os_filter=" + std::to_string(r.filter) + " path='" + path + "' temp='" +
                                 uid_folder(tmp / "tmp") + "run-";
        EXPECT_EQ(lines[0].substr(0, head.size()), head) << what;
        EXPECT_EQ(lines[0].substr(head.size() + 6), "/' install_name='Not Yet Scanned' installed=1") << what;
        // The run's folder goes with the run.
        EXPECT_EQ(run_folders(uid_folder(tmp / "tmp")), std::vector<std::string>{}) << what;

        const std::string log = read_file(box.log_path());
        const std::string folders = "os_dir_this_app\t\t=" + box.app_folder() + "\n" +
                                    "os_dir_desktop\t\t=" + box.home() + "/Desktop/\n" +
                                    "os_dir_default_apps\t=" + box.home() + "/Desktop/\n" +
                                    "os_dir_temp\t\t\t=" + uid_folder(tmp / "tmp") + "\n" +
                                    "os_dir_prefs\t\t\t=" + box.home() + "/.config/\n\n";
        EXPECT_NE(log.find(folders), std::string::npos) << what << "\n" << log;
    }
}

// The sandbox's app folder plays the mounted install DVD, after the other mount-table lines;
// the program reports its start state.
void play_install_dvd(program_sandbox& box, const temp_dir& tmp, const std::string& other_mounts) {
    box.env["VENTARO_TEST_REPORT_START"] = "1";
    std::string volume = box.app_folder();
    volume.pop_back();
    write_file(volume + "/dvd_version.txt", "I\n900 version\nDVD\n");
    write_file(tmp / "mounts", other_mounts + "/dev/sr0 " + volume + " iso9660 ro 0 0\n");
    box.env["VENTARO_TEST_MOUNT_TABLE"] = tmp / "mounts";
}

TEST(StartState, OffTheInstallDvdItRunsACopyFromTheTemporaryFolder) {
    temp_dir tmp;
    program_sandbox box(tmp.path());
    play_install_dvd(box, tmp, "/dev/sda1 / ext4 rw 0 0\n");

    // The copy shares the output pipes, so the run ends when the copy has ended too.
    const program_result run = box.run({"--os=LIN"});
    EXPECT_EQ(run.exit_code, 1) << run.err;
    const std::string copy_folder = uid_folder(tmp / "tmp");
    EXPECT_TRUE(exists(copy_folder + "Ventaro Installer.app/Contents/Resources/elements_English.png"));

    // Only the copy got as far as the start state; it runs the whole start-up from there.
    const std::vector<std::string> lines = start_lines(run.err);
    ASSERT_EQ(lines.size(), 1u) << run.err;
    EXPECT_NE(lines[0].find("os_filter=1 "), std::string::npos) << lines[0];   // the copy gets no arguments
    const std::string copy_log = read_file(copy_folder + "Ventaro Installer Log.txt");
    EXPECT_NE(copy_log.find("os_dir_this_app\t\t=" + copy_folder + "\n"), std::string::npos) << copy_log;
    EXPECT_EQ(read_file(box.log_path()).find("os_dir_this_app"), std::string::npos);
}

TEST(StartState, ACopyThatCannotBeMadeLeavesItRunningFromTheDvd) {
    temp_dir tmp;
    program_sandbox box(tmp.path());
    play_install_dvd(box, tmp, "");
    // A file where the copy's bundle folder would go.
    write_file(uid_folder(tmp / "tmp") + "Ventaro Installer.app", "in the way");
    fs::permissions(uid_folder(tmp / "tmp"), fs::perms(0700));

    const program_result run = box.run({"--os=LIN"});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    const std::vector<std::string> lines = start_lines(run.err);
    ASSERT_EQ(lines.size(), 1u) << run.err;
    EXPECT_NE(lines[0].find("os_filter=3 "), std::string::npos) << lines[0];
    EXPECT_NE(read_file(box.log_path()).find("os_dir_this_app\t\t=" + box.app_folder() + "\n"), std::string::npos);
}

}  // namespace

// Two installers of one user at once: each has a temporary folder of its own, so their downloads
// never share a name. A run that ends takes its folder with it; one that was killed leaves it, and
// the next run to start removes it, but never the folder of a run still going.
TEST(StartState, EachRunHasATemporaryFolderOfItsOwn) {
    temp_dir tmp;
    program_sandbox first(tmp / "first"), second(tmp / "second"), third(tmp / "third");
    fs::create_directories(tmp / "shared");
    for (program_sandbox* box : {&first, &second, &third}) {
        box->env["TMPDIR"] = tmp / "shared";
        box->env["VENTARO_TEST_REPORT_START"] = "1";
    }
    first.env["VENTARO_TEST_EXIT_AFTER_FRAMES"] = second.env["VENTARO_TEST_EXIT_AFTER_FRAMES"] = "0";
    auto a = first.start({});
    auto b = second.start({});
    const auto temp_of = [](program_sandbox::running& run) {
        if (run.wait_for_err("' installed=", 60) == std::string::npos) return std::string();
        const size_t at = run.err().find("start: ");
        const std::string line = run.err().substr(at, run.err().find('\n', at) - at);
        const size_t from = line.find("temp='") + 6;
        return line.substr(from, line.find('\'', from) - from);
    };
    const std::string temp_a = temp_of(a), temp_b = temp_of(b);
    const std::string shared = uid_folder(tmp / "shared");
    ASSERT_EQ(temp_a.rfind(shared + "run-", 0), 0u) << temp_a << a.err();
    ASSERT_EQ(temp_b.rfind(shared + "run-", 0), 0u) << temp_b << b.err();
    EXPECT_NE(temp_a, temp_b);
    for (const std::string& folder : {temp_a, temp_b})
        EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all) << folder;

    write_file(temp_a + "0.zip", "left by the killed run");
    ::kill(a.pid(), SIGKILL);
    a.wait_exit(30);
    ASSERT_TRUE(fs::exists(temp_a + "0.zip"));

    // A third run starts and ends: the killed run's folder is gone, the running one's stays, and
    // the third run's own went with it.
    const program_result c = third.run({});
    ASSERT_EQ(c.exit_code, 0) << c.err;
    std::vector<std::string> left{fs::path(temp_b.substr(0, temp_b.size() - 1)).filename().string()};
    EXPECT_EQ(run_folders(shared), left);
    ::kill(b.pid(), SIGKILL);
    b.wait_exit(30);
}
