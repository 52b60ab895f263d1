#pragma once
// Runs the installer as a whole program in a sandbox of its own.
#include <map>
#include <string>
#include <vector>

namespace testsupport {

struct program_result {
    int exit_code = -1;      // exit status, or 128 + signal number when killed by a signal
    std::string out;         // standard output
    std::string err;         // standard error
};

// A copy of the application bundle inside a private folder, with its own HOME, TMPDIR and XDG_* folders.
// The program writes its log next to its bundle, so every test gets its own copy.
class program_sandbox {
public:
    explicit program_sandbox(const std::string& root);

    std::string bundle() const { return root_ + "/app/Ventaro Installer.app"; }
    std::string app_folder() const { return root_ + "/app/"; }
    std::string log_path() const { return app_folder() + "Ventaro Installer Log.txt"; }
    std::string home() const { return root_ + "/home"; }
    std::string cwd() const { return root_ + "/cwd"; }

    // Extra environment variables for the run (override the sandbox's).
    std::map<std::string, std::string> env;

    program_result run(const std::vector<std::string>& args, int timeout_seconds = 60) const;

private:
    std::string root_;
};

}  // namespace testsupport
