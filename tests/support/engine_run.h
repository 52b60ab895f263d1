#pragma once
// Whole installs driven the way the install screens drive the engine, against nginx mirrors:
// the frame clock moves up to 0.12 s per frame, the install screen calls grab_files within 20 ms
// of it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "support/install_set.h"
#include "support/nginx_mirror.h"
#include "support/temp_dir.h"

namespace testsupport {

// The frame loop as the install screens run it: work, then the frame clock moves on.
class Frames {
public:
    Frames();
    ~Frames();
    Frames(const Frames&) = delete;
    Frames& operator=(const Frames&) = delete;

    void end_frame();
    int count = 0;

private:
    std::chrono::steady_clock::time_point last_real_;
    uint64_t last_clock_ = 0;
};

// Everything a run starts from, as the program's main sets it: its own config, temporary and
// destination folders, a stub web-page opener, and the log in t/"log.txt".
class EngineRun : public ::testing::Test {
protected:
    static constexpr const char* set_name = "Demo Set";

    void SetUp() override;
    void TearDown() override;

    void fresh_run();
    void use_mirrors(const nginx_mirrors& nginx);
    // Stage polling of the manifest screens; stops at stage 2 or 3 or when the program is ending.
    void get_manifest(Frames& frames);
    // The install screen: the first frame decides and prepares, later frames download within
    // 20 ms; at most max_frames frames. The result of the last grab_files (-1 when preparing failed).
    int install(Frames& frames, bool register_copy, int max_frames = 20000);
    // The first frame of the install screen only: decide, make folders, reset the scheduler.
    bool start_install(bool register_copy);
    // One frame of the install screen: 0 while the run goes on.
    int install_frame(Frames& frames);
    void scan(Frames& frames);
    // The manifest screens, the scan and the install screen in a row, as the demo road runs them:
    // the result of the last grab_files, -1 when the install could not start, -2 when no manifest
    // was read.
    int fetch_and_install(Frames& frames);

    static bool any_stream_failed();
    // Every file under the destination, relative, with its MD5 (folders left out).
    std::map<std::string, std::string> installed_tree() const;
    // What the set installs for the Mac, the platform these runs install.
    static std::map<std::string, std::string> expected_tree(const install_set& set);
    static std::map<std::string, std::string> without_windows(std::map<std::string, std::string> m);
    static set_file file(const std::string& path, const std::string& bytes);
    // A set of files in several folders of the master's All folder: text and random bytes of
    // various sizes, a program under Contents/MacOS/, a Windows-only file and an empty file.
    static install_set make_set(int files, unsigned seed);
    // Puts the set on every named mirror and the server list (listing those mirrors) on the
    // server-list host.
    void publish(const nginx_mirrors& nginx, const std::vector<std::string>& names, const install_set& set);
    void list_servers(const nginx_mirrors& nginx, const std::vector<std::string>& names);
    std::string log_text();
    // Staging files left anywhere under the destination.
    std::vector<std::string> staging_files() const;

    temp_dir t;
    bool saw_failure_status = false;
};

}  // namespace testsupport
