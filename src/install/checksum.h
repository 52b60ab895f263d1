#pragma once
// MD5 scan of a destination against the manifest, on a pool of worker threads.
#include <string>

#include "core/worker_threads.h"

class checksum_task : public UTL_work_task {
public:
    checksum_task(int first, int end, int quick) : first_(first), end_(end), quick_(quick) {}
    ~checksum_task() override = default;
    int do_it() override;
    int check_error(std::string& message) override;

private:
    int first_;
    int end_;    // exclusive
    int quick_;  // only test that each file exists
};

extern UTL_worker_threads* checksum_workers;

// Call once per frame; 1 when the scan is complete. counter belongs to the caller, who sets it to 0
// when a scan starts.
int checksum_directory(int& counter, int quick, float& progress);
// Waits for every task in flight, then stops the pool; returns 1.
int checksum_directory_kill();
