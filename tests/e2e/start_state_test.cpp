// The installer's start-up as a whole program: the OS folders it logs, the start state it reports
// for its switches, and the relaunch from the temporary folder when it runs off the install DVD.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/program_run.h"
#include "support/temp_dir.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

std::string uid_folder(const std::string& tmpdir) { return tmpdir + "/ventaro-" + std::to_string(::getuid()) + "/"; }

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
        EXPECT_EQ(lines[0], "start: os_filter=" + std::to_string(r.filter) + " path='" + path + "' temp='" +
                                uid_folder(tmp / "tmp") + "' install_name='Not Yet Scanned' installed=1")
            << what;

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
