#include "files/http.h"

#include <errno.h>

#include <array>
#include <cstring>

#include "core/frame_clock.h"
#include "core/thread_layer.h"
#include "files/error_codes.h"
#include "files/paths.h"
#include "files/sockets.h"
#include "core/alert.h"
#include "core/log.h"

http_class http;
int _ot_inited = 0;

namespace {

constexpr float time_out_seconds = 60.0f;
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

}  // namespace

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

void down_class::close_file(bool checked) {
    if (!file) return;
    const int rc = ::fclose(file);
    file = nullptr;
    // A full disk often shows only when the last buffer is flushed.
    if (checked && rc != 0 && err == 0) err = errno ? errno : EIO;
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
        const std::string& v = c->second;
        size_t b = 0;
        while (b <= v.size()) {
            size_t e = v.find(',', b);
            if (e == std::string::npos) e = v.size();
            if (same_text_ignoring_case(trim_blanks(v.substr(b, e - b)), "close")) return false;
            b = e + 1;
        }
    }
    return port_ == port && address == addr && sock && sock->GetStatus() == PCSBSocket::status_connected &&
           !sock->ReceivedRelease();
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
    head_bytes_ = 0;
    file_path.clear();
    if (local_path) {
        file_path = local_path;
        set_path_to_full(file_path);
    }

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

void down_class::DoProcessing() {
    if (!sock) return;
    const int s = sock->GetStatus();
    if (s == PCSBSocket::status_closed || s == PCSBSocket::status_error) {
        close_file(false);
        return;
    }
    if (s != PCSBSocket::status_connected) return;

    if (!send_buf.empty()) {
        const long sent = sock->http_WriteData(send_buf.data(), static_cast<long>(send_buf.size()));
        if (sent > 0) send_buf.erase(send_buf.begin(), send_buf.begin() + sent);
    }

    // One buffer shared by every stream: records are polled one at a time.
    static std::array<char, 65536> readChunk;
    const long got = sock->ReadData(readChunk.data(), static_cast<long>(readChunk.size()));
    if (got <= 0) return;
    recv_buf.insert(recv_buf.end(), readChunk.data(), readChunk.data() + got);

    if (!headers_done) parse_head();
    if (headers_done && err == 0) {
        last_activity = xtim.real_time;
        store_body();
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
                if (!file_path.empty()) {
                    file = ::fopen(file_path.c_str(), "wb");
                    if (!file) err = errno;
                }
                const auto cl = headers.find("Content-Length");
                if (cl != headers.end()) {
                    content_length = parse_length(cl->second);
                    if (content_length < 0) err = err_net_bad_state;
                }
            } else if (status > 0) {
                // An interim (1xx) head's fields say nothing about the final response: forget them.
                headers.clear();
            }
            continue;
        }
        if (parse_status_line(line, status, reason)) continue;
        const size_t colon = line.find(':');
        if (colon == std::string::npos || colon == 0) continue;
        headers.emplace(line.substr(0, colon), trim_blanks(line.substr(colon + 1)));   // the first one wins
    }
    recv_buf.erase(recv_buf.begin(), recv_buf.begin() + static_cast<std::ptrdiff_t>(pos));
    head_bytes_ += pos;
    if (!headers_done && head_bytes_ + recv_buf.size() >= http_max_head_bytes) err = err_net_bad_state;
}

void down_class::store_body() {
    if (!file) return;
    if (!recv_buf.empty()) {
        bytes_done += static_cast<int64_t>(recv_buf.size());
        errno = 0;
        const size_t wrote = ::fwrite(recv_buf.data(), 1, recv_buf.size(), file);
        if (wrote != recv_buf.size()) err = errno ? errno : EIO;
        recv_buf.clear();
    }
    if (bytes_done == content_length) close_file(true);
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
}

void http_class::make_stream_if_needed(int stream) {
    const size_t want = static_cast<size_t>(stream) + 1;
    if (streams.size() >= want) return;
    streams.resize(want, nullptr);
    dns_jobs.resize(want, nullptr);
    dns_lookups.resize(want);
}

void http_class::stop_stream(int stream) {
    if (stream < 0 || static_cast<size_t>(stream) >= streams.size()) return;
    delete streams[stream];
    streams[stream] = nullptr;
}

int http_class::local_error(int) const { return 0; }

void* http_class::async_dns_lookup(void* lookup) {
    auto* l = static_cast<dns_lookup_t*>(lookup);
    l->addr = PCSBSocket::LookupAddress(l->name.c_str());
    return nullptr;
}

std::string http_class::ProxyHost(const char* host) const { return proxy_host.empty() ? std::string(host) : proxy_host; }

unsigned short http_class::ProxyPort(unsigned short port) const {
    return proxy_port_int != 0 ? static_cast<unsigned short>(proxy_port_int) : port;
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
        if (!dns_jobs[n] && !dns_cache.count(lookup_name)) {
            dns_lookups[n].name = lookup_name;
            dns_lookups[n].addr = 0;
            dns_jobs[n] = THREAD_run_async(&http_class::async_dns_lookup, &dns_lookups[n]);
        }
        if (dns_jobs[n] && THREAD_is_done(dns_jobs[n], 0)) {
            THREAD_cleanup(dns_jobs[n]);
            dns_jobs[n] = nullptr;
            dns_cache[dns_lookups[n].name] = dns_lookups[n].addr;
        }
        const auto cached = dns_cache.find(lookup_name);
        if (cached == dns_cache.end()) return 0;   // still resolving; an old record answers nothing
        if (cached->second == 0) return 2;

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
    }

    down_class* d = slot;
    d->DoProcessing();

    const int sock_status = d->sock ? d->sock->GetStatus() : 0;
    const bool ended = d->err != 0 || !d->sock || sock_status == PCSBSocket::status_closed ||
                       sock_status == PCSBSocket::status_error || d->IsComplete();
    if (!ended) {
        if (static_cast<double>(xtim.real_time) > static_cast<double>(d->last_activity) + time_out_seconds) {
            xer << "Timeout for " << local_file << "\n"
                << "   server     =" << server << "\n"
                << "   file       =" << path << "\n\n";
            delete d;
            slot = nullptr;
            return 2;
        }
        return 0;
    }
    if (d->status >= 200 && d->status <= 299 && d->IsComplete() && !d->IsErr()) return 1;

    xer << "HTTP Error for " << local_file << "\n"
        << "   server     =" << server << "\n"
        << "   file       =" << path << "\n"
        << "   IsDone     =" << (d->IsDone() ? 1 : 0) << "\n"
        << "   IsComplete =" << (d->IsComplete() ? 1 : 0) << "\n"
        << "   IsErr      =" << (d->IsErr() ? 1 : 0) << "\n"
        << "   GetStat    =" << d->GetStat() << "\n"
        << "   GetOSErr   =" << d->GetOSErr() << "\n"
        << "   response   =" << d->reason << " (#" << d->status << ")\n\n";
    delete d;
    slot = nullptr;
    return 2;
}
