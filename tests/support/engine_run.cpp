#include "support/engine_run.h"

#include <sys/stat.h>

#include <chrono>
#include <algorithm>
#include <filesystem>
#include <random>
#include <thread>

#include "core/app_globals.h"
#include "core/frame_clock.h"
#include "core/log.h"
#include "core/shared_constants.h"
#include "files/http.h"
#include "install/checksum.h"
#include "install/install_filter.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/registration.h"
#include "install/scheduler.h"
#include "install/server_list.h"
#include "platform/clock.h"
#include "platform/web_page.h"

namespace fs = std::filesystem;

namespace testsupport {

Frames::Frames() : last_real_(std::chrono::steady_clock::now()) {
    platform::test_clock_set(1000000);
    last_clock_ = xtim_class::microsecs();
}
Frames::~Frames() { platform::test_clock_release(); }

void Frames::end_frame() {
    // The program's event pump waits out the rest of each 1/60 s tick, in which nginx answers and
    // the extraction threads work: a frame here leaves them a fifth of a millisecond of real time,
    // so that a loop of frames that are over in microseconds cannot run through its frame limit
    // before a worker thread has even started.
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    // A frame moves the frame clock on by up to 0.12 s (the 20 ms of passes included), which keeps
    // the 30 s and 60 s waits short, but the clock runs at most 20 times as fast as real time: a
    // server that sends in bursts (nginx's rate limit) must not look silent for 60 s between two.
    const auto now = std::chrono::steady_clock::now();
    const long long real_us = std::chrono::duration_cast<std::chrono::microseconds>(now - last_real_).count();
    const long long moved = (long long)(xtim_class::microsecs() - last_clock_);
    const long long target = std::min<long long>(120000, 20 * real_us);
    if (target > moved) platform::test_clock_advance((uint64_t)(target - moved));
    last_real_ = now;
    last_clock_ = xtim_class::microsecs();
    xtim.xtim_update();
    ++count;
}

void EngineRun::SetUp() {
    ::setenv("XDG_CONFIG_HOME", (t / "config").c_str(), 1);
    fs::create_directories(t / "config");
    fs::create_directories(t / "tmp");
    write_file(t / "opener", "#!/bin/sh\necho \"$1\" >> \"$(dirname \"$0\")/opened\"\n");
    ::chmod((t / "opener").c_str(), 0755);
    platform_set_web_page_program(t / "opener");
    ASSERT_TRUE(xer.open(t / "log.txt"));
    fresh_run();
    dest_dir_path = t / "Installed Copy/";
}

void EngineRun::TearDown() {
    platform_set_web_page_program("");
    http.proxy_host.clear();
    http.proxy_port_int = 0;
    app_done = 0;
    xer.close();
}

void EngineRun::fresh_run() {
    stg_set_initial();
    install_name = no_install_name;
    temp_path = t / "tmp/";
    servers.clear();
    sim_info.clear();
    app_done = 0;
}

void EngineRun::use_mirrors(const nginx_mirrors& nginx) {
    http.proxy_host = "127.0.0.1";
    http.proxy_port_int = nginx.port();
    http.proxy_port = std::to_string(nginx.port());
}

void EngineRun::get_manifest(Frames& frames) {
    for (int i = 0; i < 5000 && stg.stage != 3 && stg.stage != 2 && !app_done; ++i) {
        UTL_download_directory();
        frames.end_frame();
    }
}

bool EngineRun::start_install(bool register_copy) {
    if (!choose_files() || make_dirs() != 0) return false;
    next.reset_all_streams();
    if (register_copy) register_new_ventaro();
    return true;
}

int EngineRun::install_frame(Frames& frames) {
    int result = 0;
    const uint64_t start = xtim_class::microsecs();
    do {
        result = grab_files();
        platform::test_clock_advance(200);
    } while (!result && xtim_class::microsecs() - start < 20000);
    saw_failure_status = saw_failure_status || any_stream_failed();
    frames.end_frame();
    return result;
}

int EngineRun::install(Frames& frames, bool register_copy, int max_frames) {
    if (!start_install(register_copy)) return -1;
    int result = 0;
    for (int frame = 0; frame < max_frames && !result; ++frame) result = install_frame(frames);
    next.reset_all_streams();
    return result;
}

int EngineRun::fetch_and_install(Frames& frames) {
    get_manifest(frames);
    if (stg.stage != 3) return -2;
    scan(frames);
    return install(frames, true);
}

void EngineRun::scan(Frames& frames) {
    int counter = 0;
    float progress = 0;
    for (int i = 0; i < 100000 && !checksum_directory(counter, 0, progress); ++i) frames.end_frame();
}

bool EngineRun::any_stream_failed() {
    for (const auto& s : next.streams)
        if (s.status == "Server is not responding normally.") return true;
    return false;
}

std::map<std::string, std::string> EngineRun::installed_tree() const {
    std::map<std::string, std::string> out;
    std::vector<std::string> rel, full;
    for (const auto& e : fs::recursive_directory_iterator(dest_dir_path)) {
        if (!e.is_regular_file()) continue;
        full.push_back(e.path().string());
        rel.push_back(e.path().string().substr(dest_dir_path.size()));
    }
    const auto digests = md5_hex_of_files(full);
    for (size_t i = 0; i < rel.size(); ++i) out[rel[i]] = digests[i];
    return out;
}

std::map<std::string, std::string> EngineRun::expected_tree(const install_set& set) { return mac_copy_of(set); }

std::map<std::string, std::string> EngineRun::without_windows(std::map<std::string, std::string> m) {
    m.erase("Resources/windows only.dll");
    return m;
}

set_file EngineRun::file(const std::string& path, const std::string& bytes) {
    set_file f;
    f.path = path;
    f.bytes = bytes;
    return f;
}

install_set EngineRun::make_set(int files, unsigned seed) {
    install_set set{set_name, {}};
    std::mt19937 rng(seed);
    for (int i = 0; i < files; ++i) {
        set_file f;
        const int kind = i % 3;
        const size_t size = (size_t)(rng() % (kind == 0 ? 150000 : 40000));
        if (kind == 0) {
            f.bytes.resize(size);
            for (auto& ch : f.bytes) ch = (char)rng();
        } else {
            for (size_t k = 0; f.bytes.size() < size; ++k) f.bytes += "line " + std::to_string(k) + " of text\n";
        }
        f.path = "All/Resources/folder " + std::to_string(i % 7) + "/sub" + std::to_string(i % 3) + "/file " +
                 std::to_string(i) + (kind == 0 ? ".bin" : ".txt");
        set.files.push_back(f);
    }
    set.files.push_back(file("Macintosh/Ventaro.app/Contents/MacOS/Ventaro", "#!/bin/sh\necho hi\n"));
    set.files.push_back(file("Macintosh/Ventaro.app/Contents/Info.plist", "<plist/>\n"));
    set.files.push_back(file("Windows/Resources/windows only.dll", "MZ"));
    set.files.push_back(file("Macintosh/empty.txt", ""));
    return set;
}

void EngineRun::list_servers(const nginx_mirrors& nginx, const std::vector<std::string>& names) {
    std::vector<list_server> list;
    for (const auto& n : names) list.push_back({n, "/", n});
    write_file(nginx.root(VENTARO_SERVER_HOST) + "serverlist9.txt", server_list_text(set_name, list));
}

void EngineRun::publish(const nginx_mirrors& nginx, const std::vector<std::string>& names, const install_set& set) {
    for (const auto& n : names) write_install_set(nginx.root(n), set);
    list_servers(nginx, names);
}

std::string EngineRun::log_text() { return xer.contents_for_test(); }

std::vector<std::string> EngineRun::staging_files() const {
    std::vector<std::string> out;
    if (!fs::exists(dest_dir_path)) return out;
    for (const auto& e : fs::recursive_directory_iterator(dest_dir_path))
        if (e.path().filename().string().rfind(".vtz", 0) == 0) out.push_back(e.path().string());
    return out;
}

}  // namespace testsupport
