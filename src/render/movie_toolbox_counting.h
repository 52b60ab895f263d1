#pragma once
// A movie toolbox that passes every call on to another and counts the frames added, so that a
// test or benchmark can wait until the compressor thread has written what it was sent.
#include <atomic>

#include "render/movie_toolbox.h"

class movie_toolbox_counting : public movie_toolbox {
public:
    explicit movie_toolbox_counting(movie_toolbox& to) : to_(to) {}

    std::atomic<int> samples{0};

    int enter() override { return to_.enter(); }
    void leave() override { to_.leave(); }
    void enter_thread() override { to_.enter_thread(); }
    void leave_thread() override { to_.leave_thread(); }
    void attach_thread() override { to_.attach_thread(); }
    void detach_thread() override { to_.detach_thread(); }
    int check_path(const std::string& path) override { return to_.check_path(path); }
    int create_file(const std::string& path) override { return to_.create_file(path); }
    int begin_edits(int width, int height) override { return to_.begin_edits(width, height); }
    int begin_compression(int width, int height) override { return to_.begin_compression(width, height); }
    int max_compressed_size(long* bytes) override { return to_.max_compressed_size(bytes); }
    int compress(const unsigned char* pixels, long* bytes) override { return to_.compress(pixels, bytes); }
    int add_sample(long bytes, int duration) override {
        const int err = to_.add_sample(bytes, duration);
        ++samples;
        return err;
    }
    void end_compression() override { to_.end_compression(); }
    int end_edits() override { return to_.end_edits(); }
    int insert_media() override { return to_.insert_media(); }
    int add_resource() override { return to_.add_resource(); }
    void close_file() override { to_.close_file(); }

private:
    movie_toolbox& to_;
};
