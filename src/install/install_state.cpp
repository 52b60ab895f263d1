#include "install/install_state.h"

#include <cstring>

install_state stg{};

std::string install_name;
std::string dest_dir_path;
std::string temp_path;
std::string dvd_path;
std::set<std::string> deleted_files;

void stg_set_initial() {
    std::memset(&stg, 0, sizeof stg);
    stg.file_status = 3;
    stg.platform_filter = 1;
}
