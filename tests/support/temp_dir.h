#pragma once
// A fresh folder for one test, removed with everything in it when the test ends.
#include <string>

namespace testsupport {

class temp_dir {
public:
    temp_dir();
    ~temp_dir();
    temp_dir(const temp_dir&) = delete;
    temp_dir& operator=(const temp_dir&) = delete;

    const std::string& path() const { return path_; }       // no trailing "/"
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

void write_file(const std::string& path, const std::string& bytes);   // makes parent folders
std::string read_file(const std::string& path);                      // "" when missing
bool exists(const std::string& path);

}  // namespace testsupport
