// The listing options through the whole program: what they print, and exit code 0.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/program_run.h"
#include "support/temp_dir.h"

using namespace testsupport;

namespace {

std::string padded_command(const char* path, const char* description) {
    char line[200];
    std::snprintf(line, sizeof line, "%-50s %s\n", path, description);
    return line;
}

int count_lines(const std::string& s) {
    int n = 0;
    for (const char c : s) n += c == '\n';
    return n;
}

TEST(CommandLine, PrintingOptionsPrintAndExitZero) {
    temp_dir tmp;
    program_sandbox box(tmp.path());
    const std::string version = "Ventaro Web Demo Installer 2.06r1\n";
    const std::string usage = "Usage: Ventaro [options...]\n\n";
    const struct {
        std::vector<std::string> args;
        std::string starts_with;
        std::string equals;  // when not empty: the whole output
    } cases[] = {
        {{"--version"}, version, version},
        {{"--help", "--version"}, version, version},  // --version is tested first
        {{"--help"}, usage, ""},
        {{"-h"}, usage, ""},
        {{"--version", "--cmnds"}, "sim/\n", "sim/\n"},  // --cmnds beats both
        {{"--cmnds=sim/"}, "", "general/\nnone/\noperation/\n"},
        {{"--cmnds=sim/operation/"}, "", "quicktime_record_toggle\nquit\nscreenshot\n"},
        {{"--cmnds=all"}, padded_command("sim/none/none", "Do nothing at all!"), ""},
    };
    for (const auto& c : cases) {
        const program_result r = box.run(c.args);
        const std::string what = c.args.front() + (c.args.size() > 1 ? " " + c.args[1] : "");
        EXPECT_EQ(r.exit_code, 0) << what << "\n" << r.err;
        EXPECT_EQ(r.out.rfind(c.starts_with, 0), 0u) << what << "\n" << r.out;
        if (!c.equals.empty()) {
            EXPECT_EQ(r.out, c.equals) << what;
        }
    }

    const program_result all = box.run({"--cmnds=all"});
    EXPECT_EQ(count_lines(all.out), 28);
    EXPECT_NE(all.out.find(padded_command("sim/general/rot_right_fast", "General command: pan right fast.")),
              std::string::npos);

    const program_result help = box.run({"--help"});
    for (const char* section : {"OPTIONS TO AUTO-CONFIGURE VENTARO", "OPTIONS TO DISABLE HARDWARE ACCELERATION",
                                "OPTIONS TO ENABLE INCOMPATIBLE HARDWARE ACCELERATION", "FRAMERATE TEST",
                                "\n--pref:<key>=<value>\n", "\n--qa_script=<file>\n"})
        EXPECT_NE(help.out.find(section), std::string::npos) << section;
}

TEST(CommandLine, ArgumentsAreEchoedIntoTheLog) {
    temp_dir tmp;
    program_sandbox box(tmp.path());
    const program_result r = box.run({"--lang=fr", "--fps_test", "--lang=de", "--version"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    const std::string log = read_file(box.log_path());
    EXPECT_EQ(log.rfind("Installer log.txt for ", 0), 0u);
    EXPECT_NE(log.find("\n     '--lang'='fr'\n     '--fps_test'\n"
                       "WARNING: command line option --lang=deused twice.\n     '--lang'='de'\n"
                       "     '--version'\n"),
              std::string::npos)
        << log;
}

}  // namespace
