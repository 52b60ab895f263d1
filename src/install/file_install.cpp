#include "install/file_install.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>

#include "files/archives.h"
#include "files/error_codes.h"
#include "platform/beneath.h"

uint64_t manifest_size_limit(const file_version_struct& want) {
    const double kilobytes = want.uncomp_size > 0.0f ? double(want.uncomp_size) : 0.0;
    return (uint64_t(kilobytes) + 1) * 1000;
}

install_result install_file_from_archive(const std::string& archive, const std::string& root,
                                         const std::string& local_path, const file_version_struct& want) {
    install_result result;
    if (root.empty() || root.back() != '/' || local_path.size() <= root.size() ||
        local_path.compare(0, root.size(), root) != 0) {
        result.code = EXDEV;
        result.local = true;
        return result;
    }
    const std::string rel = local_path.substr(root.size());
    const size_t slash = rel.rfind('/');
    checked_target target;
    target.root = root;
    target.folder = slash == std::string::npos ? std::string() : rel.substr(0, slash + 1);
    const std::string leaf = slash == std::string::npos ? rel : rel.substr(slash + 1);
    target.rootfd = ::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (target.rootfd < 0) {
        result.code = errno;
        result.local = true;
        return result;
    }
    std::map<std::string, checked_entry> wanted;
    wanted[leaf] = checked_entry{want.sig_want, manifest_size_limit(want)};
    const bool seven = archive.size() >= 3 && archive.compare(archive.size() - 3, 3, ".7z") == 0;
    result.code = seven ? p7z_to_checked_files(archive, target, wanted, &result.local)
                        : zip_to_checked_files(archive, target, wanted, &result.local);
    struct stat st;
    result.link = result.code == 0 && platform::lstat_beneath(target.rootfd, rel, st) == 0 && S_ISLNK(st.st_mode);
    ::close(target.rootfd);
    return result;
}

std::string install_error_text(int code) {
    switch (code) {
        case err_entry_missing: return "The downloaded archive does not hold the file";
        case err_md5_mismatch: return "The downloaded file is not the one this release lists (its MD5 differs)";
        case err_entry_too_large: return "The downloaded file is larger than this release lists";
        default: return error_sentence(code);
    }
}
