#pragma once
// The program's log: "Ventaro Installer Log.txt" next to the application.
//
// Any thread may write. Each thread builds its text in a buffer of its own and whole
// lines reach the file under one lock, so lines from different threads never interleave.
#include <atomic>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>

class log_class {
public:
    bool open(const std::string& path);   // rewrites the file; false when it cannot be opened
    void close();
    bool is_open() const;
    const std::string& path() const { return path_; }

    template <typename T>
    log_class& operator<<(const T& v) {
        std::ostringstream& os = pending();
        os << v;
        emit_lines(false);
        return *this;
    }
    log_class& operator<<(std::ostream& (*manip)(std::ostream&));
    log_class& operator<<(std::ios_base& (*manip)(std::ios_base&));

    // Writes this thread's complete lines and any partial line, then flushes the file.
    void flush();

    // Format flags that new per-thread buffers start with (fixed point is set at start-up).
    void setf(std::ios_base::fmtflags flags, std::ios_base::fmtflags mask);
    void clear() {}

    // Test seam: everything written so far reaches the file; returns its text.
    std::string contents_for_test();

private:
    std::ostringstream& pending();
    void emit_lines(bool partial_too);

    mutable std::mutex lock_;
    std::ofstream file_;
    std::string path_;
    std::ios_base::fmtflags flags_ = std::ios_base::dec | std::ios_base::skipws;
    std::ios_base::fmtflags flag_mask_ = std::ios_base::fmtflags{};
    std::atomic<unsigned> generation_{0};  // bumped on open/close/setf; threads then refresh their buffers
};

extern log_class xer;

// Name of the log file, kept in the folder holding the application.
const char* const log_file_name = "Ventaro Installer Log.txt";
