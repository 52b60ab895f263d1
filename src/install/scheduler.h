#pragma once
// Download scheduler of the web road, extraction, folder creation and deletion.
#include <list>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/worker_threads.h"
#include "install/file_install.h"
#include "install/manifest.h"

class next_class {
public:
    struct stream_info {
        int file_index = 0;       // not below the manifest size: out of files
        int idle = 1;
        float this_pass = 0.0f;   // kilobytes of the current file received, as of the last pass
        float done = 0.0f;        // compressed kilobytes completed
        float retry_time = 0.0f;  // frame-clock seconds before which the stream is left alone
        std::string status;
    };

    int next_file = 0;
    std::vector<stream_info> streams;
    float start_time = 0.0f;
    float in_flight = 0.0f;
    float comp_done = 0.0f;
    float uncomp_done = 0.0f;
    std::list<int> retry_list;    // most recent failure first
    // Per file, the servers (host and path) whose copy of it was wrong: they are not asked again.
    std::map<int, std::set<std::string>> bad_copies;
    // Files of this run put in place as symbolic links: judged again against the whole tree when
    // the run ends.
    std::vector<int> links_made;

    // Also stops the run's extractions: queued ones are dropped with their archives, running ones
    // are waited for. Every link the run made is judged against the tree as the run left it: one
    // that leads out of the destination is removed and fails its file (stg's error flag).
    void reset_all_streams();
};

extern next_class next;
// Puts downloaded archives in place (inflate, MD5, write, rename) off the main thread; made by the
// first download of a run, deleted when the run ends or is reset.
extern UTL_worker_threads* extract_workers;
extern std::string crnt_file_name;
extern std::string crnt_file_path;

// Downloaded archives of the run that wait for extraction or are being extracted, and whether
// another may join them: while it may not, the streams take no new file.
int archives_in_extraction();
bool extraction_has_room();

// 0, or the error code of the folder that could not be made.
int make_dirs();
// One pass over the streams: 1 when every stream has run out of files and every extraction is
// done, else the error flag of stg. A finished download is extracted on a worker thread; its
// result reaches the manifest in a later pass.
int grab_files();
// Puts the file in place from its archive (only when its MD5 is want's), makes programs executable,
// logs and deletes the archive. The caller decides what a failure means.
install_result extract_and_delete_file(const std::string& archive, const std::string& local_path,
                                       const file_version_struct& want);
void delete_files();
