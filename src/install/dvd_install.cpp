#include "install/dvd_install.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "core/log.h"
#include "core/threads.h"
#include "files/archives.h"
#include "files/file_ops.h"
#include "files/link_check.h"
#include "install/file_install.h"
#include "install/install_filter.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "platform/beneath.h"
#include "platform/install_media.h"

UTL_worker_threads* copy_pool = nullptr;
UTL_worker_threads* unzip_pool = nullptr;
int install_err_num = 0;
std::string install_err_msg;

namespace {

constexpr int pool_task_limit = 30;

// Files this run put in place as symbolic links: judged again once every file is out.
std::vector<int> g_links_made;

// The manifest's MD5 field as a file name: only its letters and digits, so whatever the field
// holds the name stays inside the temporary folder.
std::string name_part(const std::string& sig) {
    std::string out;
    for (const char ch : sig)
        if ((ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z')) out += ch;
    return out;
}

bool install_name_is_safe(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

// The folder that holds a file: up to and including its last '/', a trailing '/' ignored.
std::string folder_of(std::string path) {
    if (!path.empty() && path.back() == '/') path.pop_back();
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The sentence that names the file when its bytes, not the archive's form, were wrong.
std::string wrong_file_text(int code, const std::string& file) {
    switch (code) {
        case err_md5_mismatch: return " The file " + file + " is not the one this release lists (its MD5 differs).";
        case err_entry_missing: return " The archive does not hold the file " + file + ".";
        case err_entry_too_large: return " The file " + file + " is larger than this release lists.";
        default: return "";
    }
}

// The first error stays until install_files_get_error takes it; a later one is logged, never lost.
void keep_error(int code, const std::string& message) {
    if (install_err_num == 0) {
        install_err_num = code;
        install_err_msg = message;
        return;
    }
    xer << "Another file failed while an earlier failure was still to be shown (error " << code << "): " << message
        << "\n";
}

// A task back from unzip_pool on the main thread: the file it put in place now matches.
void apply_result(dvd_unpack_task* task, bool ok) {
    if (!ok) return;
    const int i = task->file_index();
    if (i < 0 || i >= (int)sim_info.size()) return;
    file_version_struct& c = sim_info[i].current();
    c.sig_have = c.sig_want;
    c.match = 1;
    if (task->made_link()) g_links_made.push_back(i);
}

// Every link of the run judged against the tree as it now stands: one that leads out of the
// destination is removed and its file fails. The first such file's message, or empty.
std::string judge_links() {
    std::vector<int> files;
    files.swap(g_links_made);
    if (files.empty() || dest_dir_path.empty()) return "";
    const int root = ::open(dest_dir_path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (root < 0) return "";
    std::vector<std::pair<int, std::string>> leaving;
    for (const int file : files) {
        if (file < 0 || file >= (int)sim_info.size()) continue;
        const std::string local = local_path_for(sim_info[file].current().path);
        if (local.size() <= dest_dir_path.size()) continue;
        const std::string rel = local.substr(dest_dir_path.size());
        if (!resolves_inside(root, rel)) leaving.emplace_back(file, rel);
    }
    std::string first;
    for (const auto& [file, rel] : leaving) {
        file_version_struct& c = sim_info[file].current();
        platform::unlink_beneath(root, rel);
        c.match = 0;
        c.sig_have = "NONE";
        xer << "Removed the link " << dest_dir_path << rel
            << ": with the install's other files in place it leads out of the destination.\n";
        if (first.empty()) first = "The link " + dest_dir_path + rel + " leads out of the destination.";
    }
    ::close(root);
    return first;
}

void end_pools() {
    delete copy_pool;
    delete unzip_pool;
    copy_pool = nullptr;
    unzip_pool = nullptr;
}

}  // namespace

dvd_unpack_task::dvd_unpack_task(int file_index, const std::string& temp_folder)
    : file_index_(file_index), root_(dest_dir_path) {
    const file_version_struct& c = sim_info[file_index].current();
    const std::string suffix = suffix_for_file(file_index);
    manifest_path_ = c.path;
    sig_want_ = c.sig_want;
    uncomp_size_ = c.uncomp_size;
    disc_archive_ = dvd_archive_path(file_index);
    std::string folder = temp_folder;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    temp_archive_ = folder + name_part(sig_want_) + "_" + std::to_string(file_index) + suffix;
    dest_file_ = local_path_for(c.path);
    outside_ = !manifest_path_is_safe(c.path) || !path_is_inside_dest(dest_file_);
}

dvd_unpack_task::~dvd_unpack_task() {
    if (!stg.log_actions) return;
    std::string line = "EXPANDING file " + dest_file_ + ", with result=" + std::to_string(error_code_) + ".";
    if (error_code_ != 0) line += " " + error_text_;
    xer << line << "\n";
}

int dvd_unpack_task::do_it() {
    if (stage_ == 0) {
        stage_ = 1;
        // No disc mounted: there is nothing to copy, and no path relative to here is tried.
        error_code_ = disc_archive_.empty() ? 2 : copy_file(disc_archive_, temp_archive_);
        if (error_code_ != 0) {
            error_text_ = "I was unable to copy the file " + disc_archive_ + " from the DVD to the hard drive.";
            delete_file(temp_archive_);
        }
        return 0;
    }
    if (error_code_ != 0) return 0;
    const std::string unpack_folder = folder_of(dest_file_);
    install_result result;
    if (outside_) {
        result.code = EXDEV;
    } else {
        file_version_struct want;
        want.sig_want = sig_want_;
        want.uncomp_size = uncomp_size_;
        want.path = manifest_path_;
        result = install_file_from_archive(temp_archive_, root_, dest_file_, want);
    }
    if (result.code != 0) {
        error_code_ = result.code;
        error_text_ = "I was unable to unzip the file " + temp_archive_ + " to the folder " + unpack_folder + "." +
                      wrong_file_text(result.code, dest_file_);
        return 0;
    }
    if (dest_file_.find("Contents/MacOS/") != std::string::npos) make_file_executable_in(root_, dest_file_);
    delete_file(temp_archive_);
    made_link_ = result.link;
    return 0;
}

int dvd_unpack_task::check_error(std::string& message) {
    message = error_text_;
    return error_code_;
}

std::string dvd_archive_path(int file_index) {
    if (file_index < 0 || file_index >= (int)sim_info.size()) return "";
    if (dvd_path.empty()) {
        std::string volume = platform_find_install_media();
        if (volume.empty()) return "";
        if (volume.back() != '/') volume += '/';
        dvd_path = volume;
    }
    const std::string& path = sim_info[file_index].current().path;
    if (!install_name_is_safe(install_name) || !manifest_path_is_safe(path)) return "";
    return dvd_path + install_name + "/" + path + suffix_for_file(file_index);
}

bool dvd_holds_archive(int file_index) {
    const std::string archive = dvd_archive_path(file_index);
    return !archive.empty() && file_exists(archive);
}

int install_files(int& next_file, int disc) {
    if (!copy_pool) copy_pool = new UTL_worker_threads(1, pool_task_limit);
    if (!unzip_pool) unzip_pool = new UTL_worker_threads(std::max(1, UTL_count_processors()), pool_task_limit);
    const int n = (int)sim_info.size();
    if (next_file < 0) next_file = 0;

    while (next_file < n && !sim_info[next_file].current().install) ++next_file;

    // The disc test comes first: a file of another disc ends the queuing, wanted or not.
    while (next_file < n && copy_pool->has_free_slot()) {
        const file_version_struct& c = sim_info[next_file].current();
        if (c.disk != disc) break;
        if (c.install) copy_pool->enqueue_task(new dvd_unpack_task(next_file, temp_path));
        ++next_file;
    }

    while (unzip_pool->has_free_slot()) {
        UTL_work_task* copied = copy_pool->check_retired_tasks();
        if (!copied) break;
        unzip_pool->enqueue_task(copied);
    }

    while (UTL_work_task* done = unzip_pool->check_retired_tasks()) {
        auto* task = static_cast<dvd_unpack_task*>(done);
        std::string message;
        const int code = task->check_error(message);
        apply_result(task, code == 0);
        delete task;
        if (code != 0) {
            keep_error(code, message);
            return 3;
        }
    }

    const bool busy = copy_pool->count_total_tasks() > 0 || unzip_pool->count_total_tasks() > 0;
    if (next_file >= n && !busy) {
        end_pools();
        const std::string link_error = judge_links();
        if (!link_error.empty()) {
            keep_error(EPERM, link_error);
            return 3;
        }
        return 1;
    }
    if (busy) return 0;
    // A file not to install that ended the queuing asks for no disc: the next wanted one decides.
    while (next_file < n && !sim_info[next_file].current().install) ++next_file;
    if (next_file >= n) return 0;
    return sim_info[next_file].current().disk != disc ? 2 : 0;
}

int install_files_kill() {
    if (!copy_pool) return 1;
    while (UTL_work_task* copied = copy_pool->wait_retired_tasks()) unzip_pool->enqueue_task(copied);
    while (UTL_work_task* done = unzip_pool->wait_retired_tasks()) {
        auto* task = static_cast<dvd_unpack_task*>(done);
        std::string ignored;
        // A file that did reach its place with the right bytes is current, however the run ends.
        apply_result(task, task->check_error(ignored) == 0);
        delete task;
    }
    end_pools();
    judge_links();
    return 1;
}

int install_files_get_error(std::string& message) {
    message = install_err_msg;
    const int code = install_err_num;
    install_err_num = 0;
    install_err_msg.clear();
    return code;
}
