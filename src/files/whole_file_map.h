#pragma once
// A whole file mapped read-only, with a 64-bit size (files of 2 GiB and more included).
#include <cstdint>
#include <string>

class whole_file_map {
public:
    explicit whole_file_map(const std::string& full_path);
    ~whole_file_map();
    whole_file_map(const whole_file_map&) = delete;
    whole_file_map& operator=(const whole_file_map&) = delete;

    bool ok() const { return ok_; }     // false: missing, unreadable or not a regular file
    const unsigned char* data() const { return data_; }
    uint64_t size() const { return size_; }

private:
    bool ok_ = false;
    const unsigned char* data_ = nullptr;
    uint64_t size_ = 0;
    void* map_ = nullptr;
};
