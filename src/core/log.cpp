#include "core/log.h"

#include "platform/web_page.h"

log_class xer;

namespace {
struct thread_buffer {
    std::ostringstream os;
    const log_class* owner = nullptr;
    unsigned generation = ~0u;
};
thread_local thread_buffer t_buf;
}  // namespace

bool log_class::open(const std::string& path) {
    std::lock_guard<std::mutex> g(lock_);
    if (file_.is_open()) file_.close();
    file_.clear();
    file_.open(path, std::ios::out | std::ios::trunc | std::ios::binary);
    path_ = path;
    ++generation_;
    return file_.is_open();
}

void log_class::close() {
    flush();
    std::lock_guard<std::mutex> g(lock_);
    if (file_.is_open()) file_.close();
    ++generation_;
}

bool log_class::is_open() const {
    std::lock_guard<std::mutex> g(lock_);
    return file_.is_open();
}

void log_class::setf(std::ios_base::fmtflags flags, std::ios_base::fmtflags mask) {
    std::lock_guard<std::mutex> g(lock_);
    flags_ = (flags_ & ~mask) | (flags & mask);
    flag_mask_ |= mask;
    ++generation_;
}

std::ostringstream& log_class::pending() {
    if (t_buf.owner != this || t_buf.generation != generation_.load()) {
        // A new thread (or a reopened log): start from the log's current format.
        std::string keep = t_buf.owner == this ? t_buf.os.str() : std::string();
        t_buf.os.str(std::string());
        t_buf.os.clear();
        std::lock_guard<std::mutex> g(lock_);
        t_buf.os.flags(flags_);
        t_buf.os << keep;
        t_buf.owner = this;
        t_buf.generation = generation_.load();
    }
    return t_buf.os;
}

void log_class::emit_lines(bool partial_too) {
    std::ostringstream& os = t_buf.os;
    std::string text = os.str();
    std::size_t end = text.size();
    if (!partial_too) {
        const std::size_t last = text.rfind('\n');
        if (last == std::string::npos) return;
        end = last + 1;  // keep the line end with its line
    }
    if (end == 0) return;
    {
        std::lock_guard<std::mutex> g(lock_);
        if (file_.is_open()) {
            file_.write(text.data(), static_cast<std::streamsize>(end));
            if (partial_too) file_.flush();
        }
    }
    os.str(text.substr(end));
    os.seekp(0, std::ios_base::end);
}

log_class& log_class::operator<<(std::ostream& (*manip)(std::ostream&)) {
    std::ostringstream& os = pending();
    manip(os);
    if (manip == static_cast<std::ostream& (*)(std::ostream&)>(std::flush) ||
        manip == static_cast<std::ostream& (*)(std::ostream&)>(std::endl)) {
        emit_lines(true);
    } else {
        emit_lines(false);
    }
    return *this;
}

log_class& log_class::operator<<(std::ios_base& (*manip)(std::ios_base&)) {
    manip(pending());
    return *this;
}

void log_class::flush() {
    pending();
    emit_lines(true);
    std::lock_guard<std::mutex> g(lock_);
    if (file_.is_open()) file_.flush();
}

std::string log_class::contents_for_test() {
    flush();
    std::ifstream in(path_, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

namespace {
void web_page_log(const std::string& line) { xer << line; }
// The platform's web-page opener logs its refusals here.
const bool web_page_log_offered = (platform_set_web_page_log(&web_page_log), true);
}  // namespace
