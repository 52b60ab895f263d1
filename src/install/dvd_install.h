#pragma once
// Putting files in place from the install disc: each archive is copied off the disc by a pool of
// one thread (one file at a time is what a drive reads best) and unpacked by a pool of one thread
// per processor. A screen calls install_files once per frame.
//
// A file counts as installed only when its extracted bytes have the manifest's MD5: it is written
// under a staging name beside its final one and renamed into place only then, every step resolved
// beneath the destination's root. A wrong archive is a failed file (result 3), never an installed
// one.
#include <string>

#include "core/worker_threads.h"

// One file's trip: the first do_it (on copy_pool) copies its archive off the disc into the
// temporary folder, the second (on unzip_pool) puts the file in place and deletes the copy.
class dvd_unpack_task : public UTL_work_task {
public:
    dvd_unpack_task(int file_index, const std::string& temp_folder);
    // Writes the task's "EXPANDING file " log line when the log flag is set.
    ~dvd_unpack_task() override;
    int do_it() override;
    int check_error(std::string& message) override;

    int file_index() const { return file_index_; }
    bool made_link() const { return made_link_; }   // in place, and a symbolic link

private:
    int file_index_;
    int stage_ = 0;              // 0 until the copy has run, then 1
    std::string disc_archive_;
    std::string temp_archive_;
    std::string dest_file_;
    std::string error_text_;
    int error_code_ = 0;
    // Copies taken when the task is made: the pool threads never read the manifest.
    std::string root_;
    std::string sig_want_;
    std::string manifest_path_;
    float uncomp_size_ = 0.0f;
    bool outside_ = false;       // the destination file would not lie beneath the root
    bool made_link_ = false;
    bool copied_ = false;        // the temporary archive was written (and is ours to delete)
};

extern UTL_worker_threads* copy_pool;    // null while idle
extern UTL_worker_threads* unzip_pool;   // null while idle
extern int install_err_num;              // the pipeline's pending error; 0 for none
extern std::string install_err_msg;

// Call once per frame with the next-file index (owned by the screen, 0 at the start of an install)
// and the number of the disc in the drive. 0 busy, 1 done (both pools gone), 2 the next file to
// install is on another disc (every file of this one is in place), 3 a file failed (see
// install_files_get_error; calling again carries on with the rest).
int install_files(int& next_file, int disc);
// Finishes the copies in flight, unpacks them, deletes every task and both pools. Always 1.
int install_files_kill();
// The pending error's code (0 for none) and message, which it then forgets.
int install_files_get_error(std::string& message);

// Where the archive of manifest file i lies on the disc now mounted. When no disc is known
// (dvd_path empty) the mounted volumes are looked at again; empty when none holds a disc, so that
// a check never tests a path relative to the current folder.
std::string dvd_archive_path(int file_index);
// True when the disc now mounted holds the archive of manifest file i.
bool dvd_holds_archive(int file_index);
