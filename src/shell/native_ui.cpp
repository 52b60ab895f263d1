#include "shell/native_ui.h"

#include "core/alert.h"
#include "platform/folder_chooser.h"
#include "platform/message_box.h"
#include "platform/web_page.h"

int GetFilePathFromUser(int mode, const std::string& message, const std::string&, int, const std::string& start_path,
                        std::string& result) {
    if (mode < 0 || mode > 2) return 0;
    // A start that does not exist opens the chooser where it opens by default.
    std::string start = start_path;
    if (!start.empty() && mode == 2 && start.back() != '/') start += '/';
    std::string chosen;
    if (!platform::run_chooser(mode, message, start, chosen)) return 0;
    result = chosen;
    return 1;
}

void event_proc(int, void*, void*) {}

void go_to_URL(const std::string& url) {
    if (url.size() > 499) {
        __MACIBM_alert(0, "String too long!", url, "", "", t_crash, "QFutils/GenH/qf_string", 129);
        return;
    }
    // Addresses of 256 to 499 characters are opened whole: the desktop takes any length.
    platform_open_web_page(url);
}

void DoUserAlert(const char* text) {
    std::string t = text ? text : "";
    if (t.size() > 255) t.resize(255);
    platform::stop_alert(t, "");
}

void EndianFlipShort(uint16_t* value) { *value = static_cast<uint16_t>((*value >> 8) | (*value << 8)); }

void EndianFlipLong(uint32_t* value) {
    const uint32_t v = *value;
    *value = (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}
