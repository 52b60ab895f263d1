#include "support/scripted_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace testsupport {

namespace {

using clock_type = std::chrono::steady_clock;

// No single step waits longer than this; a stuck client cannot hang the suite.
constexpr int step_limit_ms = 15000;

bool send_all(int fd, const std::string& bytes) {
    size_t off = 0;
    const auto deadline = clock_type::now() + std::chrono::milliseconds(step_limit_ms);
    while (off < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + off, bytes.size() - off, MSG_NOSIGNAL);
        if (n > 0) {
            off += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (clock_type::now() > deadline) return false;
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 20);
            continue;
        }
        return false;
    }
    return true;
}

}  // namespace

http_script answer(const std::string& response) {
    return {http_step::request(), http_step::send(response)};
}

scripted_http_server::scripted_http_server(std::vector<http_script> scripts) : scripts_(std::move(scripts)) {
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listen_fd_ < 0) throw std::runtime_error("scripted server: socket failed");
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    socklen_t len = sizeof a;
    if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listen_fd_, 64) != 0 ||
        ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        ::close(listen_fd_);
        throw std::runtime_error("scripted server: bind or listen failed");
    }
    port_ = ntohs(a.sin_port);
    acceptor_ = std::thread([this] { accept_loop(); });
}

scripted_http_server::~scripted_http_server() { stop(); }

void scripted_http_server::stop() {
    if (stopping_.exchange(true)) return;
    changed_.notify_all();
    if (acceptor_.joinable()) acceptor_.join();
    for (auto& w : workers_)
        if (w.joinable()) w.join();
    if (listen_fd_ >= 0) ::close(listen_fd_);
    listen_fd_ = -1;
}

void scripted_http_server::accept_loop() {
    // Bounded: a test never opens more connections than this.
    constexpr size_t max_connections = 256;
    while (!stopping_ && workers_.size() < max_connections) {
        pollfd p{listen_fd_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        size_t index;
        {
            std::lock_guard<std::mutex> g(lock_);
            index = received_.size();
            received_.emplace_back();
        }
        ++connections_;
        ++running_;
        workers_.emplace_back([this, fd, index] { serve(fd, index); });
    }
}

// Reads what is waiting (up to timeout_ms) into the connection's record; false when the peer closed.
bool scripted_http_server::read_some(int fd, size_t index, int timeout_ms) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, timeout_ms) <= 0) return true;
    char buf[65536];
    const ssize_t n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
    if (n == 0) return false;
    if (n < 0) return errno == EAGAIN || errno == EINTR;
    std::lock_guard<std::mutex> g(lock_);
    received_[index].append(buf, static_cast<size_t>(n));
    changed_.notify_all();
    return true;
}

void scripted_http_server::serve(int fd, size_t index) {
    size_t consumed = 0;  // request bytes already matched by request steps
    bool open = true;
    const http_script script = index < scripts_.size() ? scripts_[index] : http_script{http_step::close()};
    size_t step_no = 0;
    while (open && !stopping_) {
        const http_step step = step_no < script.size() ? script[step_no] : http_step::hold();
        ++step_no;
        switch (step.what) {
        case http_step::kind::request: {
            const auto deadline = clock_type::now() + std::chrono::milliseconds(step_limit_ms);
            bool found = false;
            while (!found && open && !stopping_ && clock_type::now() < deadline) {
                {
                    std::lock_guard<std::mutex> g(lock_);
                    const size_t end = received_[index].find("\r\n\r\n", consumed);
                    if (end != std::string::npos) {
                        consumed = end + 4;
                        found = true;
                    }
                }
                if (!found) open = read_some(fd, index, 20);
            }
            if (!found) open = false;
            break;
        }
        case http_step::kind::send:
            open = send_all(fd, step.bytes);
            break;
        case http_step::kind::pause: {
            const auto until = clock_type::now() + std::chrono::milliseconds(step.ms);
            while (!stopping_ && clock_type::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(std::min(step.ms, 10)));
            break;
        }
        case http_step::kind::gate: {
            std::unique_lock<std::mutex> g(lock_);
            const int ticket = ++gates_waiting_;
            changed_.notify_all();
            changed_.wait_for(g, std::chrono::milliseconds(step_limit_ms),
                              [&] { return stopping_ || gates_released_ >= ticket; });
            break;
        }
        case http_step::kind::reset: {
            linger l{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
            open = false;
            break;
        }
        case http_step::kind::close:
            ::shutdown(fd, SHUT_WR);
            // Collect what the client still sends until it closes its side too, then close.
            for (int i = 0; i < 25 && read_some(fd, index, 20);) ++i;
            open = false;
            break;
        case http_step::kind::hold:
            while (!stopping_ && read_some(fd, index, 20)) {
            }
            open = false;
            break;
        }
    }
    ::close(fd);
    --running_;
    std::lock_guard<std::mutex> g(lock_);
    changed_.notify_all();
}

std::vector<std::string> scripted_http_server::requests() const {
    std::lock_guard<std::mutex> g(lock_);
    return received_;
}

std::string scripted_http_server::all_requests() const {
    std::string all;
    for (const auto& r : requests()) all += r;
    return all;
}

bool scripted_http_server::wait_at_gate(int timeout_ms) {
    std::unique_lock<std::mutex> g(lock_);
    return changed_.wait_for(g, std::chrono::milliseconds(timeout_ms),
                             [&] { return gates_waiting_ > gates_released_; });
}

void scripted_http_server::release_gate() {
    std::lock_guard<std::mutex> g(lock_);
    ++gates_released_;
    changed_.notify_all();
}

bool scripted_http_server::wait_idle(int timeout_ms) {
    std::unique_lock<std::mutex> g(lock_);
    return changed_.wait_for(g, std::chrono::milliseconds(timeout_ms), [&] { return running_.load() == 0; });
}

}  // namespace testsupport
