// How the download scheduler keeps its streams and the extraction threads busy, against nginx:
// a stream asks for its next file in the pass that finished the last one, a pass never waits for
// an extraction while the run waits for all of them, and a reset drops what is still queued.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "core/threads.h"
#include "files/staging.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/scheduler.h"
#include "install/server_list.h"
#include "platform/clock.h"
#include "support/engine_run.h"

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

// Holds extractions at their first write until the test lets them go (or 30 s pass, so that a
// broken test cannot hang). Only files named `only` are held, every file when it is empty.
struct write_gate {
    std::mutex lock;
    std::condition_variable changed;
    std::string only;
    bool open = false;
    int held = 0;        // extractions waiting at the gate now
    int ever_held = 0;
};
write_gate gate;

void hold_at_gate(const std::string& leaf) {
    std::unique_lock<std::mutex> l(gate.lock);
    if (gate.open || (!gate.only.empty() && leaf != gate.only)) return;
    ++gate.held;
    ++gate.ever_held;
    gate.changed.notify_all();
    gate.changed.wait_for(l, std::chrono::seconds(30), [] { return gate.open; });
    --gate.held;
}

void open_gate() {
    std::lock_guard<std::mutex> l(gate.lock);
    gate.open = true;
    gate.changed.notify_all();
}

int ever_held() {
    std::lock_guard<std::mutex> l(gate.lock);
    return gate.ever_held;
}

std::string random_bytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (auto& ch : s) ch = char(rng());
    return s;
}

int archives_in(const std::string& folder) {
    int n = 0;
    for (const auto& e : fs::directory_iterator(folder)) n += e.path().extension() == ".zip";
    return n;
}

class Scheduling : public EngineRun {
protected:
    void SetUp() override {
        EngineRun::SetUp();
        std::lock_guard<std::mutex> l(gate.lock);
        gate.only.clear();
        gate.open = false;
        gate.held = gate.ever_held = 0;
    }
    void TearDown() override {
        open_gate();
        next.reset_all_streams();
        set_staging_write_hook(nullptr);
        EngineRun::TearDown();
    }
    // Publishes the set on the mirrors and gets its manifest; the destination starts empty.
    void prepare(const nginx_mirrors& nginx, const std::vector<std::string>& names, const install_set& set,
                 Frames& frames) {
        use_mirrors(nginx);
        publish(nginx, names, set);
        get_manifest(frames);
        ASSERT_EQ(stg.stage, 3);
        scan(frames);
    }
};

// A stream that finishes a download asks for its next file in the same pass (unless the
// extractions are full), so a pass never ends with the stream idle on the file it held when the
// pass began: its connection does not idle until the next pass.
TEST_F(Scheduling, AStreamAsksForItsNextFileInThePassThatFinishedTheLast) {
    nginx_mirrors nginx({{"m1.test"}, {VENTARO_SERVER_HOST}});
    const install_set set = make_set(40, 21);
    Frames frames;
    prepare(nginx, {"m1.test"}, set, frames);
    ASSERT_TRUE(start_install(false));
    const int n = (int)sim_info.size();
    int result = 0;
    for (int pass = 0; pass < 2000000 && !result; ++pass) {
        const int before = next.streams.empty() ? -1 : next.streams[0].file_index;
        result = grab_files();
        platform::test_clock_advance(200);
        if (pass % 100 == 99) frames.end_frame();
        const auto& s = next.streams[0];
        if (!s.idle || s.file_index != before || s.file_index >= n || !sim_info[before].current().install) continue;
        // The extraction queue is as full now as when the stream asked for a slot.
        if (extraction_has_room()) ADD_FAILURE() << "after file " << before << " the stream idled until the next pass";
    }
    EXPECT_EQ(result, 1);
    EXPECT_EQ(installed_tree(), without_windows(expected_tree(set)));
}

// An extraction held up on its worker holds up neither the pass nor the other files; the run ends
// only once it is done, and then the extraction threads are gone.
TEST_F(Scheduling, APassNeverWaitsForAnExtractionAndTheRunWaitsForEveryOne) {
    nginx_mirrors nginx({{"m1.test"}, {"m2.test"}, {VENTARO_SERVER_HOST}});
    install_set set = make_set(30, 22);
    set.files.insert(set.files.begin(), file("All/Resources/big.bin", random_bytes(300000, 9)));
    Frames frames;
    prepare(nginx, {"m1.test", "m2.test"}, set, frames);
    {
        std::lock_guard<std::mutex> l(gate.lock);
        gate.only = "big.bin";
    }
    set_staging_write_hook(hold_at_gate);
    ASSERT_TRUE(start_install(false));

    int frame = 0;
    for (; frame < 20000 && ever_held() == 0; ++frame) ASSERT_EQ(install_frame(frames), 0);
    ASSERT_EQ(ever_held(), 1) << "big.bin never reached its extraction";
    // Every other file is fetched and put in place meanwhile; the run does not end.
    const auto others_done = [&] {
        for (const auto& h : sim_info)
            if (h.current().install && !h.current().match && h.current().path != "All/Resources/big.bin")
                return false;
        return true;
    };
    for (int i = 0; i < 20000 && !others_done(); ++i) ASSERT_EQ(install_frame(frames), 0);
    EXPECT_TRUE(others_done());
    for (int i = 0; i < 20; ++i) ASSERT_EQ(install_frame(frames), 0) << "the run ended before big.bin was in place";
    EXPECT_NE(extract_workers, nullptr);
    EXPECT_GT(next.in_flight, 0.0f) << "the archive waiting for extraction counts as received";

    open_gate();
    int result = 0;
    for (int i = 0; i < 20000 && !result; ++i) result = install_frame(frames);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(stg.error_flag, 0);
    EXPECT_EQ(extract_workers, nullptr) << "the extraction threads end with the run";
    EXPECT_EQ(installed_tree(), without_windows(expected_tree(set)));
    EXPECT_EQ(archives_in(temp_path), 0);
}

// While the extractions are stuck, downloads stop once the queue is full instead of piling up
// archives; a reset (Back or Cancel) then drops the queued ones with their archives.
TEST_F(Scheduling, ArchivesWaitingForExtractionAreBoundedAndAResetDropsThem) {
    nginx_mirrors nginx({{"m1.test"}, {"m2.test"}, {"m3.test"}, {VENTARO_SERVER_HOST}});
    const install_set set = make_set(120, 23);
    Frames frames;
    prepare(nginx, {"m1.test", "m2.test", "m3.test"}, set, frames);
    set_staging_write_hook(hold_at_gate);
    ASSERT_TRUE(start_install(false));

    for (int i = 0; i < 20000 && extraction_has_room(); ++i) ASSERT_EQ(install_frame(frames), 0);
    ASSERT_NE(extract_workers, nullptr);
    ASSERT_FALSE(extraction_has_room()) << "the extraction queue never filled";
    for (int i = 0; i < 50; ++i) ASSERT_EQ(install_frame(frames), 0);
    const int most = 4 * std::max(1, UTL_count_processors()) + (int)servers.size();
    EXPECT_LE(archives_in(temp_path), most) << "downloads went on while nothing could be extracted";
    const int queued = archives_in_extraction();

    open_gate();
    next.reset_all_streams();
    EXPECT_EQ(extract_workers, nullptr);
    EXPECT_EQ(archives_in(temp_path), 0) << "queued archives are deleted with the run";
    EXPECT_EQ(staging_files(), std::vector<std::string>{});
    int installed = 0;
    for (const auto& [path, md5] : installed_tree()) installed += path.rfind("Resources/folder", 0) == 0;
    EXPECT_LT(installed, queued) << "queued extractions ran after the reset";
}

}  // namespace
