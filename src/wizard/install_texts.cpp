#include "wizard/install_texts.h"

#include <algorithm>

#include "core/frame_clock.h"
#include "core/localisation.h"
#include "files/http.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/scheduler.h"
#include "install/server_list.h"
#include "wizard/text_helpers.h"

namespace {
std::string tr(const std::string& s) { return UTL_translate_string(s, 0); }

bool a_stream_waits_to_retry() {
    for (size_t i = 0; i < next.streams.size() && i < servers.size(); ++i)
        if (xtim.real_time < next.streams[i].retry_time) return true;
    return false;
}
}  // namespace

int manifest_percent(float& fraction) {
    fraction = 0;
    if (http.streams.size() < 2 || !http.streams[1]) return 0;
    const down_class& d = *http.streams[1];
    if (d.content_length < 0) return -1;
    if (d.content_length == 0) return -1;   // nothing to measure against yet
    const double p = (double)d.bytes_done * 100.0 / (double)d.content_length;
    fraction = (float)(p * 0.01);
    return (int)p;
}

// The error may end in its own full stop; the text adds one.
std::string install_retry_line(const std::string& host, std::string error, float retry_time) {
    if (!error.empty() && error.back() == '.') error.pop_back();
    const int secs = std::max(0, (int)(retry_time - xtim.real_time));
    return UTL_string_sub(UTL_translate_plural(secs, "\n\n%1:server%: %2:errormessage%.  Will retry in %3:seconds% second.",
                                               "\n\n%1:server%: %2:errormessage%.  Will retry in %3:seconds% seconds."),
                          host, error, int_str(secs));
}

std::string install_status_line() {
    switch (stg.file_status) {
        case 0: return UTL_string_sub(tr("Deleting %1:file% because that file is no longer needed!"), crnt_file_name);
        case 1:
            // Until the server says how long the file is there is no percent to give.
            if (stg.file_progress < 0)
                return UTL_string_sub(tr("Downloading and installing %1:file%."), crnt_file_name);
            return UTL_string_sub(
                tr("Downloading and installing %1:file%, currently %2:progress%% done with that file."),
                crnt_file_name, int_str((int)(stg.file_progress * 100)));
        case 2: return UTL_string_sub(tr("Skipping %1:file% because it is already installed."), crnt_file_name);
        case 3: return UTL_string_sub(tr("Skipping %1:file% because you don't need it."), crnt_file_name);
        default: return "";
    }
}

std::string install_body_text(float done_fraction, bool finished_lines) {
    // Before the first percent the body stays empty, unless a server has already failed: that
    // is shown from the first failure on.
    const bool started = done_fraction > 0.01f;
    if (!started && !a_stream_waits_to_retry()) return "";
    const float downloaded = next.in_flight + next.comp_done;
    const float elapsed = std::max(1.0f, xtim.real_time - next.start_time);
    const float rate = downloaded / elapsed;
    const float remaining = std::max(0.0f, stg.download_size - downloaded);
    float left = 0;
    const std::string time_left = seconds_left(remaining, rate, left) ? time_str(left) : std::string();
    const int n = (int)servers.size();
    // Without a rate or a size there is no estimate to give: the server lines stand alone.
    std::string text;
    if (started && !time_left.empty() && stg.download_size > 0)
        text = UTL_string_sub(
            UTL_translate_plural(n, "About %1:time% left in the install, downloading at %2:rate% with %3:number% download stream.",
                                 "About %1:time% left in the install, downloading at %2:rate% with %3:number% simultaneous servers."),
            time_left, rate_str(rate), int_str(n));
    for (int i = 0; i < n; ++i) {
        const next_class::stream_info* s = i < (int)next.streams.size() ? &next.streams[i] : nullptr;
        if (s && xtim.real_time < s->retry_time) {
            text += install_retry_line(servers[i].host, s->status, s->retry_time);
        } else if (finished_lines && s && s->file_index >= (int)sim_info.size()) {
            text += UTL_string_sub(tr("\n\n%1:server% is finished."), servers[i].host);
        } else {
            const float got = s ? s->this_pass + s->done : 0.0f;
            text += UTL_string_sub(tr("\n\nDownloading at %1:rate% from %2:server%."), rate_str(got / elapsed),
                                   servers[i].host);
        }
    }
    const std::size_t start = text.find_first_not_of('\n');
    return start == std::string::npos ? std::string() : text.substr(start);
}
