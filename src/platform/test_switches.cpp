#include "platform/test_switches.h"

#include <cstdlib>
#include <mutex>

namespace platform {

namespace {
test_switches g_switches;
std::once_flag g_once;

void read_environment() {
    test_switches s;
    if (const char* v = std::getenv("VENTARO_TEST_UNATTENDED")) s.unattended = *v && std::string(v) != "0";
    if (const char* v = std::getenv("VENTARO_TEST_DISPLAY_MODES")) s.display_modes = v;
    if (const char* v = std::getenv("VENTARO_TEST_EXIT_AFTER_FRAMES")) s.exit_after_frames = std::atoi(v);
    if (s.exit_after_frames < 0) s.exit_after_frames = 0;
    if (const char* v = std::getenv("VENTARO_TEST_MOUNT_TABLE")) s.mount_table = v;
    if (const char* v = std::getenv("VENTARO_TEST_DISC_FOLDER")) s.disc_folder = v;
    if (const char* v = std::getenv("VENTARO_TEST_REPORT_START")) s.report_start = *v && std::string(v) != "0";
    if (const char* v = std::getenv("VENTARO_TEST_SCREEN_LOG")) s.screen_log = *v && std::string(v) != "0";
    if (const char* v = std::getenv("VENTARO_TEST_FRAME_LOG")) s.frame_log = *v && std::string(v) != "0";
    if (const char* v = std::getenv("VENTARO_TEST_BUILDER_KEY_WAIT")) s.builder_key_wait = *v && std::string(v) != "0";
    if (const char* v = std::getenv("VENTARO_TEST_EXIT_FILE")) s.exit_file = v;
    g_switches = s;
}
}  // namespace

const test_switches& test_switches_now() {
    std::call_once(g_once, read_environment);
    return g_switches;
}

void test_switches_reload() {
    std::call_once(g_once, [] {});
    read_environment();
}

}  // namespace platform
