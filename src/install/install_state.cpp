#include "install/install_state.h"

#include <cstring>

#include "files/preferences.h"

install_state stg{};

namespace {
// The installer's preference file keeps the stream count and the action log switch, then, after
// the proxy, whether to fetch beta versions.
void stream_keys(scan_class& s, int) {
    s.int_io(&stg.stream_count, "_stream_count");
    s.int_io(&stg.log_actions, "_log_actions");
}
void beta_key(scan_class& s, int) { s.int_io(&stg.get_beta, "_get_beta"); }
const bool keys_registered = (pref_register_keys(11, 20, &stream_keys), pref_register_keys(11, 40, &beta_key), true);
}  // namespace

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
