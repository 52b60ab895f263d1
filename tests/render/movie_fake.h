#pragma once
// A movie library for the recorder's tests: it writes nothing, notes every call in order, keeps
// each compressed frame's first pixel and each sample's duration, can hold the compressor inside
// a frame until released, and can fail a chosen call. Also what the recorder's tests share.
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/memory.h"
#include "render/movie_toolbox.h"
#include "render/qtim.h"

namespace moviefake {

class toolbox : public movie_toolbox {
public:
    int enter() override { return 0; }
    void leave() override {}
    void attach_thread() override { note("attach"); }
    void detach_thread() override { note("detach"); }
    int check_path(const std::string& path) override {
        note("check_path " + path);
        return -43;
    }
    int create_file(const std::string& path) override { return step("create_file " + path); }
    int begin_edits(int w, int h) override {
        return step("begin_edits " + std::to_string(w) + "x" + std::to_string(h));
    }
    int begin_compression(int w, int h) override {
        width = w;
        return step("begin_compression " + std::to_string(w) + "x" + std::to_string(h));
    }
    int max_compressed_size(long* bytes) override {
        *bytes = 1000;
        return step("max_compressed_size");
    }
    int compress(const unsigned char* pixels, long* bytes) override {
        while (hold) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        uint32_t first = 0, last_of_first_row = 0;
        std::memcpy(&first, pixels, 4);
        std::memcpy(&last_of_first_row, pixels + (width - 1) * 4, 4);
        *bytes = 10;
        std::lock_guard<std::mutex> g(m);
        first_pixels.push_back(first);
        row_ends.push_back(last_of_first_row);
        return fail == "compress" ? -1 : 0;
    }
    int add_sample(long, int duration) override {
        std::lock_guard<std::mutex> g(m);
        durations.push_back(duration);
        return 0;
    }
    void end_compression() override { note("end_compression"); }
    int end_edits() override { return step("end_edits"); }
    int insert_media() override { return step("insert_media"); }
    int add_resource() override { return step("add_resource"); }
    void close_file() override { note("close_file"); }

    std::vector<std::string> taken_steps() {
        std::lock_guard<std::mutex> g(m);
        std::vector<std::string> out;
        out.swap(steps);
        return out;
    }
    std::vector<int> samples() {
        std::lock_guard<std::mutex> g(m);
        return durations;
    }
    std::size_t compressed() {
        std::lock_guard<std::mutex> g(m);
        return first_pixels.size();
    }

    std::atomic<int> hold{0};
    std::string fail;   // the call that fails, by its step name
    std::mutex m;
    std::vector<std::string> steps;
    std::vector<int> durations;
    std::vector<uint32_t> first_pixels, row_ends;
    int width = 1;

private:
    void note(const std::string& s) {
        std::lock_guard<std::mutex> g(m);
        steps.push_back(s);
    }
    int step(const std::string& s) {
        note(s);
        return s.rfind(fail, 0) == 0 && !fail.empty() ? -5 : 0;
    }
};

// Waits (bounded) for a state the recorder reports; false when it never came.
inline bool wait_for(const std::function<bool()>& state) {
    for (int i = 0; i < 20000; ++i) {
        if (state()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return state();
}

// The recorder keeps its frames for the whole run; a test gives them back.
inline void free_frames() {
    for (qt_frame_t* f : usable_buffers) {
        xfree(f->pixels);
        delete f;
    }
    usable_buffers.clear();
}

}  // namespace moviefake
