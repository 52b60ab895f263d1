// The disc install benchmark's program (bench/disc_install.sh runs it):
//   disc_install_bench --make-disc MASTER OUT   builds a one-disk disc set of the master folder
//   disc_install_bench DISC DEST TEMP            installs every file of the disc mounted at DISC
//                                                into DEST, polling the pipeline as the install
//                                                screen does (once per 1/60 s frame), and prints
//                                                the seconds it took, folders made included
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "disc_frames.h"
#include "core/shared_constants.h"
#include "files/file_ops.h"
#include "install/dvd_install.h"
#include "install/install_builder.h"
#include "install/install_filter.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/scheduler.h"
#include "install/server_list.h"

namespace {

std::string folder(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

int make_disc(const std::string& master, const std::string& out) {
    build_type = 1;
    src_fold = folder(master);
    dst_fold_base = folder(out);
    old_dir_path.clear();
    builder_threads = 0;
    build_install_set();
    return 0;
}

int install(const std::string& disc, const std::string& dest, const std::string& temp) {
    stg_set_initial();
    stg.platform_filter = 0;
    set_install_filter(1, 1);
    install_name = no_install_name;
    dvd_path = folder(disc);
    temp_path = folder(temp);
    dest_dir_path = folder(dest);
    UTIL_scan_dvd();
    if (stg.stage != 3) {
        std::fprintf(stderr, "no set on the disc at %s\n", disc.c_str());
        return 1;
    }
    int wanted = 0;
    for (auto& h : sim_info) {
        h.current().install = h.current().sig_want != "GONE" ? 1 : 0;
        wanted += h.current().install;
    }
    const auto start = std::chrono::steady_clock::now();
    if (make_dirs() != 0) return 1;
    const int failed = run_disc_frames(start);
    if (failed < 0) return 1;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (failed) return 1;
    std::printf("%.3f %d\n", seconds, wanted);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--make-disc") return make_disc(argv[2], argv[3]);
    if (argc == 4) return install(argv[1], argv[2], argv[3]);
    std::fprintf(stderr, "usage: %s --make-disc MASTER OUT | DISC DEST TEMP\n", argv[0]);
    return 2;
}
