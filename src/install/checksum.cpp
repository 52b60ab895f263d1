#include "install/checksum.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "core/frame_clock.h"
#include "files/file_ops.h"
#include "files/md5.h"
#include "install/install_filter.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "platform/beneath.h"
#include "core/log.h"

UTL_worker_threads* checksum_workers = nullptr;

int checksum_task::do_it() {
    // Every file is read beneath the copy's folder: a folder link inside it that leads elsewhere
    // is not followed, so nothing outside the copy is read as part of it.
    const int root = ::open(dest_dir_path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    for (int i = first_; i < end_; ++i) {
        file_version_struct& c = sim_info[i].versions.back();
        if (!want_this_f(i, (int)sim_info[i].versions.size() - 1)) continue;
        const std::string local = local_path_for(c.path);
        const std::string rel = local.substr(std::min(local.size(), dest_dir_path.size()));
        c.sig_have = "NONE";
        if (root < 0) {
        } else if (!quick_) {
            std::string digest;
            if (calc_file_md5_beneath(root, rel, digest) == 0) c.sig_have = digest;
        } else {
            const int fd = platform::open_beneath(root, rel, O_PATH | O_CLOEXEC);
            struct stat st;
            if (fd >= 0 && ::fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode)) c.sig_have = c.sig_want;
            if (fd >= 0) ::close(fd);
        }
        c.match = c.sig_have == c.sig_want ? 1 : 0;
    }
    if (root >= 0) ::close(root);
    return 0;
}

int checksum_task::check_error(std::string& message) {
    message.clear();
    return 0;
}

static double clock_seconds() { return (double)xtim_class::microsecs() / 1000000.0; }

int checksum_directory(int& counter, int quick, float& progress) {
    if (!dir_exists(dest_dir_path)) {
        for (auto& h : sim_info) {
            auto& c = h.current();
            c.sig_have = "NONE";
            c.match = c.sig_have == c.sig_want ? 1 : 0;
        }
        return 1;
    }
    const int n = (int)sim_info.size();
    if (!checksum_workers) {
        const int p = std::max(1, UTL_count_processors());
        checksum_workers = new UTL_worker_threads(p, 4 * p);
        xer << " Start of MD5 at " << clock_seconds() << "\n";
    }
    // Finished tasks are taken back before the queue is topped up: their slots refill in this
    // frame rather than the next, so the threads are not left idle for a frame in between.
    while (UTL_work_task* done = checksum_workers->check_retired_tasks()) delete done;
    while (counter < n && checksum_workers->has_free_slot()) {
        const int take = std::min(10, n - counter);
        checksum_workers->enqueue_task(new checksum_task(counter, counter + take, quick));
        counter += take;
    }
    progress = n == 0 ? 0.0f : (float)counter / (float)n;
    if (counter < n || checksum_workers->count_total_tasks() > 0) return 0;
    delete checksum_workers;
    checksum_workers = nullptr;
    xer << " End of MD5 at " << clock_seconds() << "\n";
    return 1;
}

int checksum_directory_kill() {
    if (!checksum_workers) return 1;
    while (UTL_work_task* done = checksum_workers->wait_retired_tasks()) delete done;
    delete checksum_workers;
    checksum_workers = nullptr;
    return 1;
}
