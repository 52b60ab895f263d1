// The repair benchmark's program (bench/repair.sh runs it):
//   repair_bench scan DISC COPY TEMP     reads the set's manifest off the disc mounted at DISC
//                                        (unpacked in TEMP), then scans COPY as the repair's scan screen does (the
//                                        simulator's files, every one by MD5, one call of the scan
//                                        per 1/60 s frame); prints the scan's seconds, its frames,
//                                        the files it looked at and how many of them match
//   repair_bench repair DISC COPY TEMP LOG
//                                        the whole repair with the log at LOG (per-file lines on):
//                                        the scan, the choice of files (a changed file is replaced,
//                                        as a person answers the question), the folders, the
//                                        deletions and the pipeline, frame by frame; prints the
//                                        files the choice picked, the files put in place, the
//                                        failures, then the matching files of a fresh scan and
//                                        the files it looked at
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "disc_frames.h"
#include "core/log.h"
#include "core/shared_constants.h"
#include "install/checksum.h"
#include "install/dvd_install.h"
#include "install/install_filter.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/prompts.h"
#include "install/scheduler.h"
#include "install/server_list.h"

namespace {

using clock_type = std::chrono::steady_clock;
const auto frame_length = std::chrono::microseconds(16667);

std::string folder(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

// The manifest of the set on the disc, the copy as the destination, and the repair's filter.
bool open_set(const std::string& disc, const std::string& copy, const std::string& temp) {
    stg_set_initial();
    temp_path = folder(temp);
    stg.platform_filter = 0;
    install_name = no_install_name;
    dvd_path = folder(disc);
    dest_dir_path = folder(copy);
    UTIL_scan_dvd();
    if (stg.stage != 3) {
        std::fprintf(stderr, "no set on the disc at %s\n", disc.c_str());
        return false;
    }
    set_install_filter(1, 0);
    return true;
}

struct scan_result {
    double seconds = 0;
    int frames = 0;
    int looked_at = 0;
    int matching = 0;
};

// One scan from a counter of 0, one call per frame; a frame that has work left waits out its tick.
scan_result scan() {
    scan_result r;
    int counter = 0;
    float progress = 0;
    const auto start = clock_type::now();
    auto tick = start;
    for (;;) {
        ++r.frames;
        if (checksum_directory(counter, 0, progress)) break;
        tick += frame_length;
        std::this_thread::sleep_until(tick);
    }
    r.seconds = std::chrono::duration<double>(clock_type::now() - start).count();
    for (int i = 0; i < (int)sim_info.size(); ++i) {
        if (!want_this_f(i, (int)sim_info[i].versions.size() - 1)) continue;
        ++r.looked_at;
        r.matching += sim_info[i].current().match;
    }
    return r;
}

int run_scan(const std::string& disc, const std::string& copy, const std::string& temp) {
    if (!open_set(disc, copy, temp)) return 1;
    const scan_result r = scan();
    std::printf("%.4f %d %d %d\n", r.seconds, r.frames, r.looked_at, r.matching);
    return 0;
}

int run_repair(const std::string& disc, const std::string& copy, const std::string& temp, const std::string& log) {
    if (!xer.open(log)) {
        std::fprintf(stderr, "cannot write the log %s\n", log.c_str());
        return 1;
    }
    if (!open_set(disc, copy, temp)) return 1;
    stg.log_actions = 1;
    scan();
    int asked = 0;
    set_select_alert_answerer([&asked](const std::string&, int) {
        ++asked;
        return 1;
    });
    if (!choose_files()) {
        std::fprintf(stderr, "the choice of files was cancelled\n");
        return 1;
    }
    int chosen = 0;
    for (const auto& h : sim_info) chosen += h.current().install;
    if (make_dirs() != 0) {
        std::fprintf(stderr, "the folders could not be made\n");
        return 1;
    }
    delete_files();
    const int failed = run_disc_frames(clock_type::now());
    if (failed < 0) return 1;
    int installed = 0;
    for (const auto& h : sim_info) installed += h.current().install && h.current().match;
    const scan_result after = scan();
    xer.close();
    std::printf("asked %d chosen %d installed %d failed %d matching %d of %d\n", asked, chosen, installed, failed,
                after.matching, after.looked_at);
    return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (argc == 5 && mode == "scan") return run_scan(argv[2], argv[3], argv[4]);
    if (argc == 6 && mode == "repair") return run_repair(argv[2], argv[3], argv[4], argv[5]);
    std::fprintf(stderr, "usage: %s scan DISC COPY TEMP | repair DISC COPY TEMP LOG\n", argv[0]);
    return 2;
}
