#pragma once
// Files written beside their final name and moved over it only once they are whole and checked, so
// a half-written or wrong file never appears under the final name. A run killed while writing
// leaves only a hidden staging name behind, which sweep_staging removes on the next run. A staging
// file holds a lock while it is written: process ids repeat, so whether its writer still lives is
// asked of the lock, not read from the name.
#include <string>

// True for the names staged_file gives: ".vtz" + process id + "_" + serial number.
bool is_staging_name(const std::string& name);

// Removes the staging files left in the folder open as dirfd by runs that were killed; the number
// removed. A file that some process (this one included) is still writing holds its lock and stays.
int sweep_staging(int dirfd);

class staged_file {
public:
    // Finds the folder that holds rel (resolved beneath the folder open as rootfd) and picks a
    // staging name in it; error() tells whether the folder was found.
    staged_file(int rootfd, const std::string& rel);
    ~staged_file();   // a staged file that was not committed is removed
    staged_file(const staged_file&) = delete;
    staged_file& operator=(const staged_file&) = delete;

    int error() const { return err_; }
    int fd() const { return fd_; }
    const std::string& leaf() const { return leaf_; }
    int parent_fd() const { return parent_; }
    int create();   // the staging file, empty; 0 or errno
    int write(const void* p, size_t n);
    int pwrite_all(const void* p, size_t n, long long at);
    // Closes the file (a failing close is a failed write); it stays under its staging name.
    int close_file();
    // Puts the file under its final name, replacing what is there (a link is replaced, not
    // followed). 0 or errno.
    int commit();
    // A link instead of a file: the staging name becomes a link with this text.
    int make_link(const std::string& text);

private:
    int parent_ = -1;
    int fd_ = -1;
    int err_ = 0;
    bool made_ = false;
    bool committed_ = false;
    std::string leaf_, tmp_;
};

// Test seam: called after every write to a staging file with the file's final name (a test stops
// a run there to kill it in the middle of an extraction). Null: nothing is called.
void set_staging_write_hook(void (*hook)(const std::string& leaf));
