#pragma once
// The file half of zip extraction: each plain-file entry is read from the archive and inflated
// (whole, with libdeflate, when it is small; streamed through zlib in cache-sized pieces when not),
// its size, CRC-32 and, when asked, MD5 are checked, and it is written under a staging name. Jobs
// run on a few worker threads while the caller walks the archive's directory; they are put under
// their final names in the order they were queued, and nothing after the first failed job is.
#include <minizip/unzip.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <set>
#include <string>

#include "files/archives.h"
#include "files/staging.h"

struct file_job {
    // What to do.
    int rootfd = -1;
    std::string rel;                  // where the file goes, beneath rootfd
    std::string out_path;             // the same, for log lines
    unz_file_info64 info{};
    int source_fd = -1;               // the archive, read with pread
    uint64_t offset = 0;              // where the entry's stored bytes begin in it
    uint64_t stored = 0;
    bool hash = false;                // compute the MD5
    std::string expect_md5;           // when not empty, the MD5 the bytes must have
    // What happened.
    int code = 0;
    bool local = false;               // the failure came from the destination's file system
    std::string md5;
    std::unique_ptr<staged_file> staged;
};

// Where the failing step was, for the log line; set by whoever fails (the last one wins).
void note_extract_failure(const char* file, int line);
const char* extract_failure_file();
int extract_failure_line();

// Runs the job: inflate, check and stage. Fills code, local, md5 and staged.
void run_file_job(file_job& job);

// Frees the memory the calling thread keeps from one job to the next (whole entries are inflated
// into it). A thread that ends frees it anyway; calling this first moves that cost off whoever
// joins the thread.
void release_thread_scratch();

class file_pipeline {
public:
    explicit file_pipeline(int workers);   // 0: jobs run on the caller's thread
    ~file_pipeline();
    file_pipeline(const file_pipeline&) = delete;
    file_pipeline& operator=(const file_pipeline&) = delete;

    // Queues the job; false once a job has failed (see failure()).
    bool submit(std::unique_ptr<file_job> job);
    // Waits for every queued job and puts each under its final name; false when one failed.
    bool finish();
    // The first job, in queue order, that failed; null while none has.
    const file_job* failure() const { return failed_.get(); }
    // True while a job for rel is queued and not yet in place.
    bool holds(const std::string& rel) const { return names_.count(rel) != 0; }

private:
    struct shared;
    void commit_front(bool wait);

    int workers_;
    std::shared_ptr<shared> shared_;
    std::deque<std::unique_ptr<file_job>> inflight_;
    std::multiset<std::string> names_;
    std::unique_ptr<file_job> failed_;
};
