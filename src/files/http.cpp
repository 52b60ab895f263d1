#include "files/http.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <sstream>

#include "core/frame_clock.h"
#include "core/thread_layer.h"
#include "files/error_codes.h"
#include "files/paths.h"
#include "files/preferences.h"
#include "files/sockets.h"
#include "core/alert.h"
#include "core/log.h"

http_class http;

namespace {
// The proxy is kept in the installer's preference file.
void proxy_keys(scan_class& s, int) {
    s.str_io(&http.proxy_host, "_proxy_host");
    s.str_io(&http.proxy_port, "_proxy_port");
    s.int_io(&http.proxy_port_int, "_proxy_port_int");
}
const bool proxy_keys_registered = (pref_register_keys(11, 30, &proxy_keys), true);
}  // namespace
int _ot_inited = 0;

namespace {

constexpr float time_out_seconds = 60.0f;
uint64_t g_bytes_read = 0;   // read by the main thread only
const char* const user_agent = "Installer-APL/Ventaro Web Demo Installer 2.06r1";

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_text_ignoring_case(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string trim_blanks(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && is_blank(s[b])) ++b;
    while (e > b && is_blank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// Every byte outside the unreserved set and "/" is sent as %XX.
std::string escape_path(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size());
    for (const char ch : path) {
        const unsigned char c = static_cast<unsigned char>(ch);
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '.' || c == '_' || c == '~' || c == '/';
        if (plain) {
            out += ch;
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

// A Content-Length value: decimal digits only. -1 when it is anything else.
int64_t parse_length(const std::string& text) {
    const std::string t = trim_blanks(text);
    if (t.empty() || t.size() > 18) return -1;
    int64_t v = 0;
    for (const char c : t) {
        if (c < '0' || c > '9') return -1;
        v = v * 10 + (c - '0');
    }
    return v;
}

// "HTTP/x.y SP 3DIGIT [SP reason]". false for anything else.
bool parse_status_line(const std::string& line, int& status, std::string& reason) {
    if (line.compare(0, 5, "HTTP/") != 0) return false;
    const size_t sp = line.find(' ');
    if (sp == std::string::npos || line.size() < sp + 4) return false;
    int code = 0;
    for (size_t i = sp + 1; i < sp + 4; ++i) {
        if (line[i] < '0' || line[i] > '9') return false;
        code = code * 10 + (line[i] - '0');
    }
    if (line.size() > sp + 4 && line[sp + 4] != ' ') return false;
    status = code;
    reason = line.size() > sp + 5 ? line.substr(sp + 5) : std::string();
    return true;
}

bool is_2xx(int status) { return status >= 200 && status <= 299; }

// Splits a field value at commas into trimmed tokens, empty ones dropped.
std::vector<std::string> tokens(const std::string& value) {
    std::vector<std::string> out;
    size_t b = 0;
    while (b <= value.size()) {
        size_t e = value.find(',', b);
        if (e == std::string::npos) e = value.size();
        std::string t = trim_blanks(value.substr(b, e - b));
        if (!t.empty()) out.push_back(std::move(t));
        b = e + 1;
    }
    return out;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "HEXDIG+ [blanks] [; extensions]", extensions ignored. -1 for anything else or a size too large.
int64_t parse_chunk_size(const char* line, size_t length) {
    size_t i = 0, significant = 0;
    int64_t size = 0;
    // Leading zeros are allowed in any number; only the digits after them can overflow.
    for (; i < length && hex_digit(line[i]) >= 0; ++i) {
        if (size == 0 && line[i] == '0') continue;
        if (++significant > 15) return -1;
        size = size * 16 + hex_digit(line[i]);
    }
    if (i == 0) return -1;
    while (i < length && is_blank(line[i])) ++i;
    if (i < length && line[i] != ';') return -1;
    return size;
}

// Offset of the first CR LF at or after from, or npos.
size_t find_crlf(const std::vector<char>& buf, size_t from) {
    for (size_t i = from; i + 1 < buf.size(); ++i)
        if (buf[i] == '\r' && buf[i + 1] == '\n') return i;
    return std::string::npos;
}

}  // namespace

unsigned long (*http_class::lookup_address)(const char*) = &PCSBSocket::LookupAddress;

bool http_name_less::operator()(const std::string& a, const std::string& b) const {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const char x = lower(a[i]), y = lower(b[i]);
        if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    }
    return a.size() < b.size();
}

// ---- down_class ----

down_class::down_class(unsigned long address, unsigned short port_) : addr(address), port(port_) {
    last_activity = xtim.real_time;
    if (address == 0) {
        err = err_net_no_server;
        return;
    }
    sock = new PCSBSocket(0, false);
    sock->Connect(address, port_);
}

down_class::~down_class() {
    close_file(false);   // a partial file stays on disk
    delete sock;
}

void down_class::local_failure(int error) {
    if (err != 0) return;
    err = error ? error : EIO;
    local_err = err;
}

void down_class::close_file(bool checked) {
    if (file < 0) return;
    errno = 0;
    const int rc = ::close(file);
    file = -1;
    // A full disk often shows only when the last buffer is flushed.
    if (checked && rc != 0) local_failure(errno);
}

bool down_class::IsErr() { return err != 0 || !sock || sock->GetStatus() == PCSBSocket::status_error; }

int down_class::GetStat() {
    if (!sock) return 0;
    const int s = sock->GetStatus();
    if (s == PCSBSocket::status_connecting) return 1;
    if (s == PCSBSocket::status_error) return 2;
    if (s == PCSBSocket::status_closed) return 3;
    if (!send_buf.empty()) return 4;
    if (!headers_done) return 6;
    if (content_length != bytes_done) return 5;
    return 3;
}

int down_class::GetOSErr() const {
    if (err) return err;
    if (sock) return sock->GetOSError();
    return err_net_no_socket;
}

bool down_class::ConnectedTo(unsigned long address, unsigned short port_) {
    const auto c = headers.find("Connection");
    if (c != headers.end()) {
        // A token list such as "keep-alive, close" also ends the connection.
        for (const std::string& t : tokens(c->second))
            if (same_text_ignoring_case(t, "close")) return false;
    }
    if (framing_in_doubt_) return false;
    // Bytes past the end of the last response, read or waiting, are no answer to the next request:
    // a connection holding any is dropped, and so is one the server has closed.
    return port_ == port && address == addr && sock && recv_buf.empty() &&
           sock->GetStatus() == PCSBSocket::status_connected && sock->IsIdleAndOpen();
}

void down_class::MakeRequest(const char* path, bool post, const std::map<std::string, std::string>& request_headers,
                             const char* body, int body_length, const char* local_path) {
    close_file(false);
    send_buf.clear();
    recv_buf.clear();
    headers.clear();
    content_length = -1;
    status = 0;   // the reason phrase stays until the next status line replaces it
    bytes_done = 0;
    last_activity = xtim.real_time;
    headers_done = false;
    err = 0;
    local_err = 0;
    head_bytes_ = 0;
    transfer_encoding_.clear();
    chunked_ = false;
    chunk_ = chunk_state::size_line;
    chunk_left_ = 0;
    trailer_bytes_ = 0;
    framing_in_doubt_ = false;
    // The local path is completed and letter-case corrected by the first poll, once the request
    // is on its way: the folder listing that correcting may need does not hold the request up.
    file_path = local_path ? local_path : "";
    path_settled_ = file_path.empty();

    std::string text = post ? "POST " : "GET ";
    const auto host = request_headers.find("Host");
    text += "http://";
    if (host != request_headers.end()) text += host->second;
    text += escape_path(path);
    text += " HTTP/1.1\r\n";
    for (const auto& [name, value] : request_headers) text += name + ": " + value + "\r\n";
    if (body) text += "Content-Length: " + std::to_string(body_length) + "\r\n";
    text += "\r\n";
    send_buf.assign(text.begin(), text.end());
    if (body && body_length > 0) send_buf.insert(send_buf.end(), body, body + body_length);
}

void down_class::settle_file_path() {
    if (path_settled_) return;
    set_path_to_full(file_path);
    path_settled_ = true;
}

void down_class::DoProcessing() {
    if (!sock) {
        settle_file_path();
        return;
    }
    const int s = sock->GetStatus();
    if (s == PCSBSocket::status_closed || s == PCSBSocket::status_error) {
        settle_file_path();
        close_file(false);
        return;
    }
    if (s != PCSBSocket::status_connected) {
        settle_file_path();
        return;
    }

    bool just_sent = false;
    if (!send_buf.empty()) {
        const long sent = sock->http_WriteData(send_buf.data(), static_cast<long>(send_buf.size()));
        if (sent > 0) send_buf.erase(send_buf.begin(), send_buf.begin() + sent);
        just_sent = sent > 0 && send_buf.empty() && !headers_done && recv_buf.empty();
    }
    settle_file_path();
    // A request that has only now gone out has no answer yet: the next poll reads it.
    if (just_sent) return;

    // One buffer shared by every stream: records are polled one at a time.
    static std::array<char, 65536> readChunk;
    const long got = sock->ReadData(readChunk.data(), static_cast<long>(readChunk.size()));
    if (got <= 0) return;
    g_bytes_read += static_cast<uint64_t>(got);
    if (headers_done && err == 0 && recv_buf.empty() && file >= 0 && !chunked_ && is_2xx(status)) {
        // The body of a sized or closing answer goes from the chunk straight to the file.
        last_activity = xtim.real_time;
        size_t take = static_cast<size_t>(got);
        if (content_length >= 0) take = std::min<size_t>(take, static_cast<size_t>(content_length - bytes_done));
        if (!write_body(readChunk.data(), take)) return;
        if (take < static_cast<size_t>(got)) recv_buf.assign(readChunk.data() + take, readChunk.data() + got);
        if (bytes_done == content_length) close_file(true);
        return;
    }
    recv_buf.insert(recv_buf.end(), readChunk.data(), readChunk.data() + got);

    if (!headers_done) parse_head();
    if (headers_done && err == 0) {
        last_activity = xtim.real_time;
        if (is_2xx(status)) store_body();
    }
}

void down_class::parse_head() {
    size_t pos = 0;   // start of the next unparsed line in recv_buf
    while (!headers_done && err == 0) {
        const char* base = recv_buf.data();
        const char* found = nullptr;
        for (size_t i = pos; i + 1 < recv_buf.size(); ++i) {
            if (base[i] == '\r' && base[i + 1] == '\n') {
                found = base + i;
                break;
            }
        }
        if (!found) break;
        const std::string line(base + pos, found);
        pos = static_cast<size_t>(found - base) + 2;

        if (line.empty()) {
            if (status > 199) {
                headers_done = true;
                end_of_head();
            } else if (status > 0) {
                // An interim (1xx) head's fields say nothing about the final response: forget them.
                headers.clear();
                transfer_encoding_.clear();
            }
            continue;
        }
        if (parse_status_line(line, status, reason)) continue;
        const size_t colon = line.find(':');
        if (colon == std::string::npos || colon == 0) continue;
        std::string name = line.substr(0, colon), value = trim_blanks(line.substr(colon + 1));
        // The codings of every Transfer-Encoding field count, in order.
        if (same_text_ignoring_case(name, "Transfer-Encoding"))
            transfer_encoding_ += (transfer_encoding_.empty() ? "" : ", ") + value;
        headers.emplace(std::move(name), std::move(value));   // the first one wins
    }
    recv_buf.erase(recv_buf.begin(), recv_buf.begin() + static_cast<std::ptrdiff_t>(pos));
    head_bytes_ += pos;
    if (!headers_done && head_bytes_ + recv_buf.size() >= http_max_head_bytes) err = err_net_bad_state;
}

// The final head is complete: how the body is framed, and the local file, which exists only for
// a 2xx answer so an error page never replaces what is there.
void down_class::end_of_head() {
    const auto cl = headers.find("Content-Length");
    if (!transfer_encoding_.empty()) {
        // Only chunked can be undone here; any other coding would leave the body unreadable.
        int chunked = 0, other = 0;
        for (const std::string& t : tokens(transfer_encoding_)) {
            if (same_text_ignoring_case(t, "chunked")) ++chunked;
            else if (!same_text_ignoring_case(t, "identity")) ++other;
        }
        if (chunked != 1 || other != 0) {
            err = err_net_bad_state;
            return;
        }
        chunked_ = true;
        framing_in_doubt_ = cl != headers.end();
    } else if (cl != headers.end()) {
        content_length = parse_length(cl->second);
        if (content_length < 0) {
            err = err_net_bad_state;
            return;
        }
    }
    if (is_2xx(status) && !file_path.empty()) {
        errno = 0;
        // Written straight from the receive buffer: no stdio buffer to fill and flush.
        file = ::open(file_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (file < 0) local_failure(errno);
    }
}

bool down_class::write_body(const char* data, size_t size) {
    if (size == 0) return true;
    size_t written = 0;
    while (written < size) {
        errno = 0;
        const ssize_t n = ::write(file, data + written, size - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            local_failure(n < 0 ? errno : ENOSPC);
            return false;
        }
        written += static_cast<size_t>(n);
        bytes_done += n;
    }
    return true;
}

void down_class::store_body() {
    if (file < 0) return;
    if (chunked_) {
        store_chunked_body();
        return;
    }
    if (!recv_buf.empty()) {
        // Bytes past the length belong to no request: they stay, and keep the connection from reuse.
        size_t take = recv_buf.size();
        if (content_length >= 0) take = std::min<size_t>(take, static_cast<size_t>(content_length - bytes_done));
        if (!write_body(recv_buf.data(), take)) return;
        if (take == recv_buf.size()) recv_buf.clear();
        else recv_buf.erase(recv_buf.begin(), recv_buf.begin() + static_cast<std::ptrdiff_t>(take));
    }
    if (bytes_done == content_length) close_file(true);
}

// Size lines, chunk data and the CR LF after it, the last (empty) chunk and its trailers, as far
// as the bytes received go. The body is complete when the trailers end: the length is then known.
void down_class::store_chunked_body() {
    size_t pos = 0;
    bool more = true;
    while (more && err == 0) {
        switch (chunk_) {
        case chunk_state::size_line: {
            const size_t eol = find_crlf(recv_buf, pos);
            if (eol == std::string::npos) {
                if (recv_buf.size() - pos > http_max_chunk_line) err = err_net_bad_state;
                more = false;
                break;
            }
            const int64_t size = parse_chunk_size(recv_buf.data() + pos, eol - pos);
            if (size < 0 || eol - pos > http_max_chunk_line) {
                err = err_net_bad_state;
                break;
            }
            pos = eol + 2;
            chunk_left_ = size;
            chunk_ = size == 0 ? chunk_state::trailer : chunk_state::data;
            break;
        }
        case chunk_state::data: {
            const size_t n = std::min<size_t>(static_cast<size_t>(chunk_left_), recv_buf.size() - pos);
            if (n == 0) {
                more = false;
                break;
            }
            if (!write_body(recv_buf.data() + pos, n)) break;
            pos += n;
            chunk_left_ -= static_cast<int64_t>(n);
            if (chunk_left_ == 0) chunk_ = chunk_state::data_end;
            break;
        }
        case chunk_state::data_end:
            if (recv_buf.size() - pos < 2) {
                more = false;
                break;
            }
            if (recv_buf[pos] != '\r' || recv_buf[pos + 1] != '\n') {
                err = err_net_bad_state;
                break;
            }
            pos += 2;
            chunk_ = chunk_state::size_line;
            break;
        case chunk_state::trailer: {
            const size_t eol = find_crlf(recv_buf, pos);
            const size_t seen = (eol == std::string::npos ? recv_buf.size() : eol + 2) - pos;
            if (trailer_bytes_ + seen > http_max_head_bytes) {
                err = err_net_bad_state;
                break;
            }
            if (eol == std::string::npos) {
                more = false;
                break;
            }
            pos = eol + 2;
            trailer_bytes_ += seen;
            if (seen == 2) {
                chunk_ = chunk_state::done;
                content_length = bytes_done;
                close_file(true);
            }
            break;
        }
        case chunk_state::done:
            more = false;
            break;
        }
    }
    recv_buf.erase(recv_buf.begin(), recv_buf.begin() + static_cast<std::ptrdiff_t>(pos));
}

// ---- http_class ----

// At exit a lookup still running elsewhere is left alone: the pool may already be gone.
http_class::~http_class() {
    for (auto* d : streams) delete d;
}

void http_class::reset_for_test() {
    for (auto*& d : streams) {
        delete d;
        d = nullptr;
    }
    for (auto*& j : dns_jobs) {
        if (j) {
            THREAD_is_done(j, -1);
            THREAD_cleanup(j);
        }
        j = nullptr;
    }
    streams.clear();
    dns_jobs.clear();
    dns_lookups.clear();
    dns_cache.clear();
    dns_failed_at.clear();
    local_errors.clear();
    lookup_failures.clear();
    failure_logs.clear();
}

void http_class::make_stream_if_needed(int stream) {
    const size_t want = static_cast<size_t>(stream) + 1;
    if (streams.size() >= want) return;
    streams.resize(want, nullptr);
    dns_jobs.resize(want, nullptr);
    dns_lookups.resize(want);
    local_errors.resize(want, 0);
    lookup_failures.resize(want, 0);
    failure_logs.resize(want);
}

void http_class::stop_stream(int stream) {
    if (stream < 0 || static_cast<size_t>(stream) >= streams.size()) return;
    delete streams[stream];   // closes the file and the connection
    streams[stream] = nullptr;
    local_errors[stream] = 0;
    lookup_failures[stream] = 0;
    failure_logs[stream].end();
}

uint64_t http_class::bytes_read() { return g_bytes_read; }

bool http_class::wait_for_any(const std::vector<int>& stream_list, int ms) {
    std::vector<PCSBSocket*> sockets;
    for (const int n : stream_list) {
        if (n < 0 || static_cast<size_t>(n) >= streams.size()) continue;
        down_class* d = streams[n];
        if (d && d->sock && !d->err && !d->IsComplete()) sockets.push_back(d->sock);
    }
    return !sockets.empty() && PCSBSocket::WaitAnyReady(sockets, ms);
}

bool http_class::wait_for_answer(int stream, int ms) { return wait_for_any({stream}, ms); }

int http_class::local_error(int stream) const {
    if (stream < 0 || static_cast<size_t>(stream) >= local_errors.size()) return 0;
    return local_errors[stream];
}

bool http_class::lookup_failed(int stream) const {
    return stream >= 0 && static_cast<size_t>(stream) < lookup_failures.size() && lookup_failures[stream];
}

void* http_class::async_dns_lookup(void* lookup) {
    auto* l = static_cast<dns_lookup_t*>(lookup);
    l->addr = lookup_address(l->name.c_str());
    return nullptr;
}

std::string http_class::ProxyHost(const char* host) const { return proxy_host.empty() ? std::string(host) : proxy_host; }

unsigned short http_class::ProxyPort(unsigned short port) const {
    // A stored port outside 1..65535 counts as none, never as a port cut to 16 bits.
    return proxy_port_int >= 1 && proxy_port_int <= 65535 ? static_cast<unsigned short>(proxy_port_int) : port;
}

int http_class::net_check(int n, std::string server, std::string path, const std::string& local_file) {
    make_stream_if_needed(n);
    if (!_ot_inited) {
        PCSBSocket::StartupNetworking(true);
        _ot_inited = 1;
    }
    down_class*& slot = streams[n];

    // A running transfer of something else is abandoned: its result would answer the wrong request.
    if (slot && !slot->IsComplete() &&
        (slot->asked_server != server || slot->asked_path != path || slot->asked_file != local_file)) {
        delete slot;
        slot = nullptr;
    }

    if (!slot || slot->IsComplete()) {
        // The cache is keyed by the name actually looked up: the proxy's when one is set.
        const std::string lookup_name = ProxyHost(server.c_str());
        const float now = xtim.real_time;
        const auto failed = dns_failed_at.find(lookup_name);
        if (failed != dns_failed_at.end() && !dns_jobs[n] &&
            (now - failed->second > http_lookup_retry_seconds || now < failed->second)) {
            // The network may be back: look the name up again.
            dns_cache.erase(lookup_name);
            dns_failed_at.erase(failed);
        }
        if (!dns_jobs[n] && !dns_cache.count(lookup_name)) {
            dns_lookups[n].name = lookup_name;
            dns_lookups[n].addr = 0;
            dns_jobs[n] = THREAD_run_async(&http_class::async_dns_lookup, &dns_lookups[n]);
        }
        if (dns_jobs[n] && THREAD_is_done(dns_jobs[n], 0)) {
            THREAD_cleanup(dns_jobs[n]);
            dns_jobs[n] = nullptr;
            const dns_lookup_t& done = dns_lookups[n];
            dns_cache[done.name] = done.addr;
            if (done.addr == 0) dns_failed_at[done.name] = now;
            else dns_failed_at.erase(done.name);
        }
        const auto cached = dns_cache.find(lookup_name);
        if (cached == dns_cache.end()) return 0;   // still resolving; an old record answers nothing
        if (cached->second == 0) {
            local_errors[n] = 0;
            lookup_failures[n] = 1;
            return 2;
        }

        if (!server.empty() && server.back() == '/')
            MACIBM_alert(0, "net_check error! You have a dirchar at the end of the server name!", "You should not!",
                         "Our convention is that a server name is simply a server name... with no slash!", server,
                         t_crash);
        if (path.empty() || path.front() != '/')
            MACIBM_alert(0, "net_check error! You do not have a dirchar at the beginning of the directory name!",
                         "You should!",
                         "Our convention is that a directory name does start with a slash because it must include "
                         "the hard drive,which is a dir char on unix!",
                         path, t_crash);

        const std::map<std::string, std::string> request_headers{{"Host", server}, {"User-agent", user_agent}};
        const unsigned short port = ProxyPort(80);
        if (slot && !slot->ConnectedTo(cached->second, port)) {
            delete slot;
            slot = nullptr;
        }
        if (!slot) slot = new down_class(cached->second, port);
        slot->MakeRequest(path.c_str(), false, request_headers, nullptr, 0, local_file.c_str());
        slot->asked_server = server;
        slot->asked_path = path;
        slot->asked_file = local_file;
        local_errors[n] = 0;
        lookup_failures[n] = 0;
    }

    down_class* d = slot;
    d->DoProcessing();

    const int sock_status = d->sock ? d->sock->GetStatus() : 0;
    // A final head that is not 2xx is the answer already; an orderly close ends the transfer too
    // (whatever came before it has been read), so a cut-short body fails at once.
    const bool ended = d->err != 0 || !d->sock || sock_status == PCSBSocket::status_closed ||
                       sock_status == PCSBSocket::status_error || d->IsComplete() ||
                       (d->headers_done && !is_2xx(d->status)) || d->sock->ReceivedRelease();
    repeat_log& failures = failure_logs[n];
    if (!ended) {
        if (static_cast<double>(xtim.real_time) > static_cast<double>(d->last_activity) + time_out_seconds) {
            failures.write("Timeout for " + local_file + "\n   server     =" + server + "\n   file       =" + path +
                           "\n\n");
            delete d;
            slot = nullptr;
            return 2;
        }
        return 0;
    }
    if (is_2xx(d->status) && d->IsComplete() && !d->IsErr()) {
        failures.end();
        return 1;
    }

    std::ostringstream block;
    if (d->local_err) {
        // The server did its part: the failure is this machine's (a full disk, no permission).
        block << "Local file error for " << local_file << "\n"
              << "   server     =" << server << "\n"
              << "   file       =" << path << "\n"
              << "   errno      =" << d->local_err << " (" << std::strerror(d->local_err) << ")\n\n";
    } else {
        block << "HTTP Error for " << local_file << "\n"
              << "   server     =" << server << "\n"
              << "   file       =" << path << "\n"
              << "   IsDone     =" << (d->IsDone() ? 1 : 0) << "\n"
              << "   IsComplete =" << (d->IsComplete() ? 1 : 0) << "\n"
              << "   IsErr      =" << (d->IsErr() ? 1 : 0) << "\n"
              << "   GetStat    =" << d->GetStat() << "\n"
              << "   GetOSErr   =" << d->GetOSErr() << "\n"
              << "   response   =" << d->reason << " (#" << d->status << ")\n\n";
    }
    failures.write(block.str());
    local_errors[n] = d->local_err;
    delete d;
    slot = nullptr;
    return 2;
}
