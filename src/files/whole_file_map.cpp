#include "files/whole_file_map.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

whole_file_map::whole_file_map(const std::string& full_path) {
    // Not blocking: opening a FIFO with no writer would otherwise wait forever.
    const int fd = ::open(full_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return;
    }
    size_ = uint64_t(st.st_size);
    if (size_ == 0) {
        static const unsigned char none = 0;
        data_ = &none;
        ok_ = true;
        ::close(fd);
        return;
    }
    void* p = ::mmap(nullptr, size_t(size_), PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);   // the mapping keeps the file
    if (p == MAP_FAILED) {
        size_ = 0;
        return;
    }
    // Readers walk the bytes once from start to end.
    ::madvise(p, size_t(size_), MADV_SEQUENTIAL);
    map_ = p;
    data_ = static_cast<const unsigned char*>(p);
    ok_ = true;
}

whole_file_map::~whole_file_map() {
    if (map_) ::munmap(map_, size_t(size_));
}
