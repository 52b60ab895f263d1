#pragma once
// The part of a file's archive that needs no manifest: the executable patch, the zip, the sizes
// and the MD5. Workers do it for the files ahead of the one whose lines are being written, in
// any order; the manifest is still written file by file in scan order from what they found, so
// the set is the same bytes whatever the number of threads.
#include <memory>
#include <string>
#include <vector>

class UTL_worker_threads;

struct comp_result {
    std::string src;            // the file's full master path
    std::string archive;        // where its zip goes; empty when a ready 7z archive is linked instead
    bool patch_exe = false;     // a Windows executable to make large-address-aware first
    int patch_error = 0;
    int zip_error = 0;
    long long zip_bytes = -1;   // -1 when the size cannot be read
    long long src_bytes = -1;
    int md5_error = 0;
    std::string md5;
};

// Bytes of a file (links followed), 2 GiB and more included; -1 for a folder or a failure.
long long file_bytes(const std::string& path);

// Does the work for one file on the calling thread; stops at the first failure.
void comp_prepare(comp_result& r);

// Test seam: how a file's digest is taken (calc_file_md5).
extern int (*comp_md5)(const std::string& path, std::string& md5);

// Prepares the files of a list on worker threads, a bounded stretch ahead of the caller, and
// hands the results back in list order. Whatever is still running when it goes is waited for.
class comp_ahead {
public:
    // first_result fills in src, archive and patch_exe of a file before it goes to a worker.
    comp_ahead(const std::vector<std::string>& files, void (*first_result)(comp_result&), int threads);
    ~comp_ahead();
    comp_ahead(const comp_ahead&) = delete;
    comp_ahead& operator=(const comp_ahead&) = delete;

    // The full path of the file take() gives next; empty once the list is through.
    std::string next() const { return next_take_ < files_.size() ? files_[next_take_] : std::string(); }
    // The result of that file; waits for it.
    comp_result take();

private:
    class task;
    const std::vector<std::string>& files_;
    void (*first_result_)(comp_result&);
    std::unique_ptr<UTL_worker_threads> pool_;
    std::vector<std::unique_ptr<task>> slots_;
    size_t window_ = 0;
    size_t next_submit_ = 0;
    size_t next_take_ = 0;
    int outstanding_ = 0;
};
