#include "install/scheduler.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <set>

#include "core/frame_clock.h"
#include "core/threads.h"
#include "core/worker_threads.h"
#include "core/localisation.h"
#include "files/archives.h"
#include "files/error_codes.h"
#include "files/file_ops.h"
#include "files/http.h"
#include "files/zip_pipeline.h"
#include "files/launch.h"
#include "files/link_check.h"
#include "files/paths.h"
#include "files/staging.h"
#include "install/install_filter.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/prompts.h"
#include "install/server_list.h"
#include "core/alert.h"
#include "core/log.h"
#include "platform/beneath.h"

next_class next;
UTL_worker_threads* extract_workers = nullptr;
std::string crnt_file_name;
std::string crnt_file_path;

namespace {

std::string tr(const std::string& s) { return UTL_translate_string(s, 0); }

bool made_or_there(int code) { return show_make_dir_err(code) == 0; }

// A local path that would leave the destination is refused before anything touches it.
bool refuse_outside(const std::string& local) {
    if (path_is_inside_dest(local)) return false;
    xer << "WARNING: refusing to touch a path outside the destination: " << local << "\n";
    return true;
}

// The folder of a deleted file and each parent down to (not including) the destination.
void note_folders(std::set<std::string>& folders, const std::string& local) {
    std::string folder;
    get_path_with_path(folder, local);
    while (folder.size() > dest_dir_path.size()) {
        folders.insert(folder);
        std::string parent;
        get_path_with_path(parent, folder);
        if (parent.size() >= folder.size()) break;
        folder = parent;
    }
}

void prune_empty_folders(const std::set<std::string>& folders) {
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
        if (!path_is_inside_dest(*it)) continue;
        if (count_items_in(dest_dir_path, *it) != 0) continue;
        const int r = delete_file_in(dest_dir_path, *it);
        if (stg.log_actions) xer << "cleanup: DELETING  file " << *it << ", with result=" << r << ".\n";
    }
}

// Staging files of a run that was killed while it extracted: in the destination's root and in
// every folder the manifest names.
void sweep_killed_runs() {
    const int root = ::open(dest_dir_path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (root < 0) return;
    std::set<std::string> folders{""};
    for (const auto& h : sim_info) {
        std::string rest = h.current().path;
        trim_dest_folder(rest);
        const size_t slash = rest.rfind('/');
        if (slash != std::string::npos) folders.insert(rest.substr(0, slash));
    }
    int swept = 0;
    for (const std::string& f : folders) {
        const int fd = platform::open_beneath(root, f, O_PATH | O_DIRECTORY);
        if (fd < 0) continue;
        swept += sweep_staging(fd);
        ::close(fd);
    }
    ::close(root);
    if (swept) xer << "Removed " << swept << " half-extracted files left by an interrupted install.\n";
}

std::string server_key(int j) { return servers[j].host + servers[j].path; }

bool copy_was_bad(int file, int j) {
    const auto it = next.bad_copies.find(file);
    return it != next.bad_copies.end() && it->second.count(server_key(j)) != 0;
}

bool no_server_left(int file) {
    for (int j = 0; j < (int)servers.size(); ++j)
        if (!copy_was_bad(file, j)) return false;
    return true;
}

// The most recent failure that server j may still be asked for, taken off the list; -1 for none.
int take_retry(int j) {
    for (auto it = next.retry_list.begin(); it != next.retry_list.end(); ++it) {
        if (copy_was_bad(*it, j)) continue;
        const int file = *it;
        next.retry_list.erase(it);
        return file;
    }
    return -1;
}

// A write to this machine's disk failed: another server would fail the same way, so the install
// stops with the disk's own message.
void stop_for_disk(const std::string& what, int code, const std::string& archive, const std::string& local) {
    const bool first = stg.error_flag == 0;
    stg.error_flag = 1;
    if (first)
        MACIBM_alert(0, what, tr("Error: ") + error_sentence(code), tr("Compressed File: ") + archive,
                     tr("Destination: ") + local, t_warn);
}

void no_file_alert(const std::string& path) {
    MACIBM_alert(0, "I am working through the list and found a path that has no file!",
                 "This is impossible to download or delete!", "It is:", path, t_quit);
}

// What extract_and_delete_file does, with the destination given and nothing logged, so that it can
// run on a worker thread.
install_result put_in_place(const std::string& archive, const std::string& root, const std::string& local,
                            const file_version_struct& want, bool outside, int& chmod_result) {
    install_result result;
    if (outside) {
        result.code = EXDEV;
        result.local = true;
    } else {
        result = install_file_from_archive(archive, root, local, want);
    }
    chmod_result = 0;
    if (!outside && result.code == 0 && local.find("Contents/MacOS/") != std::string::npos)
        chmod_result = make_file_executable_in(root, local);
    delete_file(archive);
    return result;
}

void log_extraction(const std::string& local, const install_result& result, int chmod_result) {
    if (!stg.log_actions) return;
    xer << "EXPANDING file " << local << ", with result=" << result.code << ".\n";
    xer << "CHMODING  file " << local << ", with result=" << chmod_result << ".\n";
}

// One downloaded archive to put in place, and what came of it.
struct extract_job {
    int file = 0, stream = 0;
    std::string archive, local;
    file_version_struct want;
    bool outside = false;
    install_result result;
    int chmod_result = 0;
    bool skipped = false;   // the run was reset before the job started
};

// Downloaded archives put in place on a worker: inflating, hashing and writing never hold up a
// frame, and the stream that fetched one is already fetching its next file. The task works on its
// own copies and writes only its own results; the main thread applies them to the manifest.
class extract_task : public UTL_work_task {
public:
    extract_task(std::vector<extract_job> jobs_, std::shared_ptr<const std::atomic<bool>> cancelled_)
        : jobs(std::move(jobs_)), root(dest_dir_path), cancelled(std::move(cancelled_)) {}

    int do_it() override {
        for (extract_job& job : jobs) {
            if (cancelled->load(std::memory_order_acquire)) {
                delete_file(job.archive);
                job.skipped = true;
                continue;
            }
            job.result = put_in_place(job.archive, root, job.local, job.want, job.outside, job.chmod_result);
        }
        return 0;
    }
    int check_error(std::string& message) override {
        for (const extract_job& job : jobs) {
            if (job.skipped || !job.result.code) continue;
            message = install_error_text(job.result.code);
            return job.result.code;
        }
        message.clear();
        return 0;
    }

    std::vector<extract_job> jobs;
    const std::string root;
    const std::shared_ptr<const std::atomic<bool>> cancelled;
};

// The run's extractions: archives waiting to go to the pool, archives in its hands, and what they
// weigh, which the progress counts as received.
struct extraction_state {
    std::shared_ptr<std::atomic<bool>> cancelled = std::make_shared<std::atomic<bool>>(false);
    float pending_kb = 0.0f;
    bool stopping = false;   // the pool was asked to end: nothing more goes to it
    int in_pool = 0;         // archives handed to the pool and not yet collected
    // Small archives go to the pool a few at a time, as one task: waking a worker costs the main
    // thread more than any other step of a small file.
    std::vector<extract_job> ready;
    float ready_kb = 0.0f;
    uint64_t ready_since_us = 0;
};
extraction_state extraction;

int processors() {
    static const int p = std::max(1, UTL_count_processors());
    return p;
}

// Archives in the pool's hands or waiting for it: at most four per processor.
int extractions_most() { return 4 * processors(); }

// What waits is handed over once there are this many archives, this many kilobytes (a large
// archive goes at once, so large files still inflate side by side) or it has waited this long.
constexpr size_t group_archives = 8;
constexpr float group_kb = 64.0f;
constexpr uint64_t group_wait_us = 1000;

bool extraction_slot_free() {
    return extraction.in_pool + (int)extraction.ready.size() < extractions_most();
}

// Gives the waiting archives to the pool as one task: now, or once the group is full or old.
void hand_over_extractions(bool now) {
    if (extraction.ready.empty()) return;
    if (!now && extraction.ready.size() < group_archives && extraction.ready_kb < group_kb &&
        xtim_class::microsecs() - extraction.ready_since_us < group_wait_us)
        return;
    if (!extract_workers) {
        // One processor is left to the main thread, which keeps the downloads moving.
        extract_workers = new UTL_worker_threads(std::max(1, processors() - 1), extractions_most());
    }
    extraction.in_pool += (int)extraction.ready.size();
    extract_workers->enqueue_task(new extract_task(std::move(extraction.ready), extraction.cancelled));
    extraction.ready.clear();
    extraction.ready_kb = 0.0f;
}

// A group comes back only when all of it is done, so a large archive goes on its own: the small
// ones before it are not held up by its inflating.
void start_extraction(extract_job job) {
    const bool large = job.want.comp_size >= group_kb;
    if (large) hand_over_extractions(true);
    if (extraction.ready.empty()) extraction.ready_since_us = xtim_class::microsecs();
    extraction.pending_kb += job.want.comp_size;
    extraction.ready_kb += job.want.comp_size;
    extraction.ready.push_back(std::move(job));
    if (large) hand_over_extractions(true);
}

// At the end of a run: true once the pool is gone. Its threads give back their memory and end
// while the passes go on, so no pass waits for that.
bool extractions_ended() {
    hand_over_extractions(true);
    if (!extract_workers) return true;
    if (extract_workers->count_total_tasks() > 0) return false;
    if (!extraction.stopping) {
        extract_workers->request_stop(release_thread_scratch);
        extraction.stopping = true;
    }
    if (!extract_workers->threads_ended()) return false;
    delete extract_workers;
    extract_workers = nullptr;
    extraction = extraction_state{};
    return true;
}

// Waits for every task, drops their results and the pool; queued tasks only delete their archives.
// Links the finished ones made are still noted, so they are judged with the others.
void stop_extractions() {
    if (extract_workers) {
        extraction.cancelled->store(true, std::memory_order_release);
        while (UTL_work_task* t = extract_workers->wait_retired_tasks()) {
            const auto* task = static_cast<extract_task*>(t);
            for (const extract_job& job : task->jobs)
                if (!job.skipped && job.result.code == 0 && job.result.link) next.links_made.push_back(job.file);
            delete t;
        }
        delete extract_workers;
        extract_workers = nullptr;
    }
    for (const extract_job& job : extraction.ready) delete_file(job.archive);
    extraction = extraction_state{};
}

}  // namespace

int archives_in_extraction() { return extraction.in_pool + (int)extraction.ready.size(); }

bool extraction_has_room() { return extraction_slot_free(); }

int make_dirs() {
    if (dest_dir_path.size() < 2) {
        make_dir_error(dest_dir_path, 2);
        return 2;
    }
    const std::string dest = dest_dir_path.substr(0, dest_dir_path.size() - 1);
    for (size_t i = 1; i <= dest.size(); ++i) {
        if (i < dest.size() && dest[i] != '/') continue;
        const std::string folder = dest.substr(0, i);
        const int r = make_folder(folder);
        if (!made_or_there(r)) {
            make_dir_error(folder, r);
            return r;
        }
    }

    std::set<std::string> folders;
    for (int i = 0; i < (int)sim_info.size(); ++i) {
        const auto& c = sim_info[i].current();
        if (!c.install || !want_this_f(i, (int)sim_info[i].versions.size() - 1)) continue;
        std::string rest = c.path;
        trim_dest_folder(rest);
        size_t cut;
        while ((cut = rest.rfind('/')) != std::string::npos) {
            rest.resize(cut);
            if (!rest.empty()) folders.insert(rest);
        }
    }
    for (const auto& f : folders) {
        const std::string folder = dest_dir_path + f;
        if (refuse_outside(folder)) continue;
        const int r = make_folder_in(dest_dir_path, folder);
        if (!made_or_there(r)) {
            make_dir_error(folder, r);
            return r;
        }
    }

    const std::string fixed[] = {"Output/",          "Output/FMS plans", "Output/logbooks",   "Output/replays",
                                 "Output/situations", "Resources/",       "Output/preferences"};
    for (const auto& f : fixed) {
        const int r = make_folder_in(dest_dir_path, dest_dir_path + f);
        if (!made_or_there(r)) make_dir_error(dest_dir_path + f, r);
    }

    const std::string r = dest_dir_path + "Resources/";
    for (const char* fw : {"plugins/VNLM.framework/", "plugins/VNWidgets.framework/"}) {
        const std::string versions = r + fw + "Versions/";
        if (!is_sim_link_in(dest_dir_path, versions + "Current")) rename_file_in(dest_dir_path, versions, "Current", "_Current");
    }
    for (const char* fw : {"plugins/VNLM.framework/", "plugins/VNWidgets.framework/"}) {
        const std::string folder = r + fw;
        if (!is_sim_link_in(dest_dir_path, folder + "Resources"))
            rename_file_in(dest_dir_path, folder, "Resources", "_Resources");
    }
    sweep_killed_runs();
    return 0;
}

install_result extract_and_delete_file(const std::string& archive, const std::string& local_path,
                                       const file_version_struct& want) {
    int chmod_result = 0;
    const install_result result =
        put_in_place(archive, dest_dir_path, local_path, want, refuse_outside(local_path), chmod_result);
    log_extraction(local_path, result, chmod_result);
    return result;
}

namespace {

// A file's archive has been put in place, or has failed to: the manifest and the stream learn of it.
void finish_file(int file, int j, const std::string& archive, const std::string& local, const install_result& got) {
    if (file < 0 || file >= (int)sim_info.size()) return;
    file_version_struct& c = sim_info[file].current();
    if (got.code == 0) {
        if (got.link) next.links_made.push_back(file);
        c.match = 1;
        c.sig_have = c.sig_want;
        next.comp_done += c.comp_size;
        if (j < (int)next.streams.size()) next.streams[j].done += c.comp_size;
        next.uncomp_done += c.uncomp_size;
    } else if (got.local) {
        stop_for_disk(tr("The installer cannot extract a file."), got.code, archive, local);
    } else {
        // A wrong or damaged copy: the old file is untouched, and another server is asked.
        next.bad_copies[file].insert(server_key(j));
        xer << "The copy of " << c.path << " from " << servers[j].host << servers[j].path
            << " is not the file this release lists: " << install_error_text(got.code) << ".\n";
        if (no_server_left(file)) {
            const bool first = stg.error_flag == 0;
            stg.error_flag = 1;
            if (first)
                MACIBM_alert(0, tr("The installer could not get a correct copy of a file from any server."),
                             tr("File: ") + local, tr("Error: ") + install_error_text(got.code), "", t_warn);
        } else {
            next.retry_list.push_front(file);
        }
    }
}

// True when an extraction came back.
bool collect_extractions() {
    if (!extract_workers) return false;
    bool any = false;
    while (UTL_work_task* t = extract_workers->check_retired_tasks()) {
        any = true;
        std::unique_ptr<extract_task> task(static_cast<extract_task*>(t));
        for (const extract_job& job : task->jobs) {
            --extraction.in_pool;
            extraction.pending_kb = std::max(0.0f, extraction.pending_kb - job.want.comp_size);
            if (job.skipped) continue;
            log_extraction(job.local, job.result, job.chmod_result);
            finish_file(job.file, job.stream, job.archive, job.local, job.result);
        }
    }
    return any;
}

enum class stream_step { waited, worked, polled, downloaded };

// Longest wait of a pass in which no connection had anything: well inside a frame's budget.
constexpr int idle_pass_wait_ms = 1;

// One step of stream j: take a file when idle, then delete, skip or download it.
stream_step serve_stream(int j, int n) {
    next_class::stream_info& s = next.streams[j];
    // A stream out of files still serves the retry list, so a file that failed on a broken
    // mirror is fetched by a healthy one instead of waiting on the broken one for ever. A
    // server that gave a wrong copy of a file is not asked for that file again.
    const bool out_of_files = !s.idle && s.file_index >= n;
    if (s.idle || out_of_files) {
        // Downloads wait while the extractions fall behind, so archives do not pile up.
        if (!extraction_slot_free()) return stream_step::waited;
        const int retry = take_retry(j);
        if (retry >= 0) {
            s.file_index = retry;
            s.idle = 0;
        } else if (s.idle) {
            s.file_index = next.next_file;
            next.next_file = std::min(next.next_file + 1, n);
            s.idle = 0;
        }
    }
    if (s.file_index >= n) return stream_step::waited;

    file_version_struct& c = sim_info[s.file_index].current();
    const std::string local = local_path_for(c.path);
    const std::string url = servers[j].path + c.path + ".zip";
    const std::string archive = temp_path + std::to_string(j) + ".zip";
    const size_t slash = url.rfind('/');
    crnt_file_name = slash == std::string::npos ? url : url.substr(slash + 1);
    crnt_file_path = url;

    if (path_has_no_file(c.path)) no_file_alert(c.path);

    if (c.del) {
        stg.file_status = 0;
        if (!refuse_outside(local)) {
            const int r = delete_file_in(dest_dir_path, local);
            if (stg.log_actions)
                xer << "now we want to nuke a file: DELETING  file " << local << ", with result=" << r << ".\n";
            note_folders(deleted_files, local);
        }
        s.idle = 1;
        return stream_step::worked;
    }
    if (!c.install) {
        stg.file_status = c.match ? 2 : 3;
        s.idle = 1;
        return stream_step::worked;
    }

    stg.file_status = 1;
    const int r = http.net_check(j + 3, servers[j].host, url, archive);
    if (r == 0) {
        double fraction = 0.0;
        http.make_stream_if_needed(j + 3);
        if (const auto* rec = http.streams[j + 3]) {
            if (rec->content_length < 0 || rec->content_length == 0) fraction = -0.01;
            else fraction = (double)rec->bytes_done / (double)rec->content_length;
        }
        stg.file_progress = (float)fraction;
        next.in_flight += (float)(fraction * c.comp_size);
        s.this_pass += (float)(fraction * c.comp_size);
        return stream_step::polled;
    }
    if (r == 1) {
        const int file = s.file_index;
        s.idle = 1;
        // The archive gets a name of its own, so the stream's next download cannot touch it while
        // it is extracted.
        const std::string held = std::to_string(j) + "_" + std::to_string(file) + ".zip";
        const bool outside = refuse_outside(local);
        // A pool that is ending takes nothing more: the archive is then extracted here. Both
        // names are ours, in our own temporary folder: no letter-case correcting is wanted.
        if (!extraction.stopping && ::rename(archive.c_str(), (temp_path + held).c_str()) == 0) {
            extract_job job;
            job.file = file;
            job.stream = j;
            job.archive = temp_path + held;
            job.local = local;
            job.want = c;
            job.outside = outside;
            start_extraction(std::move(job));
        } else
            finish_file(file, j, archive, local, extract_and_delete_file(archive, local, c));
        return stream_step::downloaded;
    }
    s.idle = 1;
    if (const int disk = http.local_error(j + 3)) {
        s.status = error_str(20010);
        stop_for_disk(error_str(20010), disk, archive, local);
    } else {
        next.retry_list.push_front(s.file_index);
        s.retry_time = xtim.real_time + 30.0f;
        s.status = tr("Server is not responding normally.");
    }
    return stream_step::worked;
}

}  // namespace

int grab_files() {
    const int n = (int)sim_info.size();
    next.in_flight = 0.0f;
    for (auto& s : next.streams) s.this_pass = 0.0f;
    const uint64_t read_before = http_class::bytes_read();
    bool moved = collect_extractions();
    std::vector<int> transferring;

    for (int j = 0; j < (int)servers.size(); ++j) {
        if (j < (int)next.streams.size() && xtim.real_time < next.streams[j].retry_time) continue;
        while ((int)next.streams.size() <= j) {
            next_class::stream_info fresh;
            fresh.retry_time = xtim.real_time;
            next.streams.push_back(fresh);
        }
        // A stream that has just received a file asks for its next one at once: its connection
        // does not idle until the next pass.
        const stream_step step = serve_stream(j, n);
        if (step == stream_step::downloaded && !stg.error_flag) serve_stream(j, n);
        if (step == stream_step::downloaded) hand_over_extractions(false);
        if (step == stream_step::polled) transferring.push_back(j + 3);
        else if (step != stream_step::waited) moved = true;
    }
    // The last files of the run, and archives of a pass with nothing on the wire, are not held back.
    hand_over_extractions(next.next_file >= n || transferring.empty());
    // Nothing came in on any connection: the pass waits a moment for the next bytes instead of
    // being called again at once, which leaves the processor to the extractions and lets a
    // busy machine wake this thread when the network has something.
    if (!moved && !transferring.empty() && http_class::bytes_read() == read_before)
        http.wait_for_any(transferring, idle_pass_wait_ms);
    // Archives waiting for extraction count as received.
    next.in_flight += extraction.pending_kb;

    for (const auto& s : next.streams)
        if (s.file_index < n) return stg.error_flag;
    if (!extractions_ended()) return stg.error_flag;

    prune_empty_folders(deleted_files);
    return 1;
}

void delete_files() {
    std::set<std::string> folders;
    for (auto& h : sim_info) {
        auto& c = h.current();
        if (!c.del) continue;
        stg.file_status = 0;
        const std::string local = local_path_for(c.path);
        if (!refuse_outside(local)) {
            const int r = delete_file_in(dest_dir_path, local);
            if (stg.log_actions) xer << "DELETING  file " << local << ", with result=" << r << ".\n";
            note_folders(folders, local);
        }
        c.match = 0;
        c.sig_have = "NONE";
    }
    prune_empty_folders(folders);
}

namespace {

// Each link was judged when its own archive was out, against the tree as it stood then. Links of
// later archives can change where it leads (a "d -> ." beside "tool -> d/d/../../x"), so once the
// run's files are in place every one is judged again: all verdicts first, against one tree.
void judge_links_made() {
    std::vector<int> files;
    files.swap(next.links_made);
    if (files.empty() || dest_dir_path.empty()) return;
    const int root = ::open(dest_dir_path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (root < 0) return;
    std::vector<std::pair<int, std::string>> leaving;
    for (const int file : files) {
        if (file < 0 || file >= (int)sim_info.size()) continue;
        const std::string local = local_path_for(sim_info[file].current().path);
        if (local.size() <= dest_dir_path.size()) continue;
        const std::string rel = local.substr(dest_dir_path.size());
        if (!resolves_inside(root, rel)) leaving.emplace_back(file, rel);
    }
    for (const auto& [file, rel] : leaving) {
        file_version_struct& c = sim_info[file].current();
        platform::unlink_beneath(root, rel);
        c.match = 0;
        c.sig_have = "NONE";
        xer << "Removed the link " << dest_dir_path << rel << ": with the install's other files in place it leads out "
            << "of the destination.\n";
        const bool first = stg.error_flag == 0;
        stg.error_flag = 1;
        if (first)
            MACIBM_alert(0, tr("The installer cannot extract a file."), tr("Error: ") + error_sentence(EPERM), "",
                         tr("Destination: ") + dest_dir_path + rel, t_warn);
    }
    ::close(root);
}

}  // namespace

void next_class::reset_all_streams() {
    const int n = (int)sim_info.size();
    // Each stream's transfer ends here, so nothing more is written into its archive once it is gone.
    stop_extractions();
    judge_links_made();
    for (size_t j = 0; j < streams.size(); ++j) {
        http.stop_stream((int)j + 3);
        if (!temp_path.empty() && streams[j].file_index < n) delete_file(temp_path + std::to_string(j) + ".zip");
    }
    next_file = 0;
    retry_list.clear();
    bad_copies.clear();
    streams.clear();
    start_time = xtim.real_time;
    in_flight = comp_done = uncomp_done = 0.0f;
}
