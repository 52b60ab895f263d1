#include "install/builder_compress.h"

#include <sys/stat.h>

#include <algorithm>

#include "core/worker_threads.h"
#include "files/archives.h"
#include "files/error_codes.h"
#include "files/launch.h"
#include "files/md5.h"

int (*comp_md5)(const std::string& path, std::string& md5) = &calc_file_md5;

long long file_bytes(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
    return (long long)st.st_size;
}

void comp_prepare(comp_result& r) {
    if (r.patch_exe && (r.patch_error = make_file_large_address_aware(r.src)) != 0) return;
    if (!r.archive.empty()) {
        if ((r.zip_error = file_to_zip(r.src, r.archive)) != 0) return;
        r.zip_bytes = file_bytes(r.archive);
    }
    r.src_bytes = file_bytes(r.src);
    r.md5_error = comp_md5(r.src, r.md5);
}

class comp_ahead::task : public UTL_work_task {
public:
    explicit task(comp_result r) : result(std::move(r)) {}
    int do_it() override {
        comp_prepare(result);
        return 0;
    }
    int check_error(std::string& message) override {
        message.clear();
        return 0;
    }
    comp_result result;
    bool back = false;   // handed back by the pool: result may be read
};

comp_ahead::comp_ahead(const std::vector<std::string>& files, void (*first_result)(comp_result&), int threads)
    : files_(files), first_result_(first_result) {
    const int n = std::max(1, threads);
    // Enough work queued that no worker waits while the manifest catches up with it.
    window_ = size_t(std::max(8, 4 * n));
    pool_ = std::make_unique<UTL_worker_threads>(n, int(window_));
    slots_.resize(files.size());
}

comp_ahead::~comp_ahead() {
    while (outstanding_ > 0 && pool_->wait_retired_tasks()) --outstanding_;
    pool_.reset();
}

comp_result comp_ahead::take() {
    while (next_submit_ < files_.size() && next_submit_ < next_take_ + window_) {
        comp_result r;
        r.src = files_[next_submit_];
        first_result_(r);
        slots_[next_submit_] = std::make_unique<task>(std::move(r));
        pool_->enqueue_task(slots_[next_submit_].get());
        ++outstanding_;
        ++next_submit_;
    }
    task* mine = slots_[next_take_].get();
    while (!mine->back) {
        auto* t = static_cast<task*>(pool_->wait_retired_tasks());
        if (!t) break;
        t->back = true;
        --outstanding_;
    }
    comp_result out = std::move(mine->result);
    if (!mine->back) out.zip_error = err_open_for_read;   // no worker was left to make it
    slots_[next_take_].reset();
    ++next_take_;
    return out;
}
