#pragma once
// Runs the installer as a whole program in a sandbox of its own.
#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace testsupport {

struct program_result {
    int exit_code = -1;      // exit status, or 128 + signal number when killed by a signal
    std::string out;         // standard output
    std::string err;         // standard error
};

// Which program a sandbox runs: the bundle it copies and the program's name in it.
struct program_bundle {
    std::string source = VENTARO_TEST_BUNDLE;
    std::string name = "Ventaro Installer";
};
// The install-set builder's program.
inline program_bundle builder_program() { return {VENTARO_TEST_BUILDER_BUNDLE, "Ventaro Builder"}; }

// A copy of the application bundle inside a private folder, with its own HOME, TMPDIR and XDG_* folders.
// The program writes its log next to its bundle, so every test gets its own copy.
class program_sandbox {
public:
    explicit program_sandbox(const std::string& root, program_bundle program = {});

    std::string bundle() const { return root_ + "/app/" + program_.name + ".app"; }
    std::string app_folder() const { return root_ + "/app/"; }
    std::string log_path() const { return app_folder() + "Ventaro Installer Log.txt"; }
    std::string home() const { return root_ + "/home"; }
    std::string cwd() const { return root_ + "/cwd"; }

    // Extra environment variables for the run (override the sandbox's).
    std::map<std::string, std::string> env;

    program_result run(const std::vector<std::string>& args, int timeout_seconds = 60) const;

    // Starts the program and returns at once; its output goes to out_path() and err_path().
    class running;
    running start(const std::vector<std::string>& args) const;
    std::string out_path() const { return root_ + "/stdout.txt"; }
    std::string err_path() const { return root_ + "/stderr.txt"; }

private:
    std::string exe() const { return bundle() + "/Contents/MacOS/" + program_.name; }

    std::string root_;
    program_bundle program_;
};

// A program started in the background; killed when the object goes while it still runs.
class program_sandbox::running {
public:
    running(pid_t pid, std::string err_path) : pid_(pid), err_path_(std::move(err_path)) {}
    running(running&& o) noexcept : pid_(o.pid_), err_path_(std::move(o.err_path_)), code_(o.code_) { o.pid_ = -1; }
    running(const running&) = delete;
    ~running();

    pid_t pid() const { return pid_; }
    // Waits until the standard error holds `needle` after byte `from`; its offset, or npos on time-out
    // or when the program ended first.
    std::size_t wait_for_err(const std::string& needle, int timeout_seconds, std::size_t from = 0);
    std::string err() const;
    // Waits for the end; the exit code (128 + signal when killed), or -1 on time-out.
    int wait_exit(int timeout_seconds);
    bool alive();

private:
    pid_t pid_;
    std::string err_path_;
    int code_ = -1;
};

}  // namespace testsupport
