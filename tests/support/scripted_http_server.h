#pragma once
// An HTTP server in the test process for exact protocol cases: each accepted connection plays
// the next script of byte chunks, pauses, gates and closes, while every request byte is recorded.
// Listens on 127.0.0.1 on a port the kernel picks; every wait is bounded and the destructor stops it.
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

struct http_step {
    enum class kind {
        request,   // wait until a whole request head (ending in an empty line) has arrived
        send,      // write the bytes
        pause,     // sleep for ms
        gate,      // block until the test calls release_gate()
        close,     // close the connection (orderly)
        reset,     // close the connection with a reset
        hold,      // keep reading until the peer closes or the server stops
    };
    kind what = kind::hold;
    std::string bytes;
    int ms = 0;

    static http_step request() { return {kind::request, {}, 0}; }
    static http_step send(std::string b) { return {kind::send, std::move(b), 0}; }
    static http_step pause(int ms) { return {kind::pause, {}, ms}; }
    static http_step gate() { return {kind::gate, {}, 0}; }
    static http_step close() { return {kind::close, {}, 0}; }
    static http_step reset() { return {kind::reset, {}, 0}; }
    static http_step hold() { return {kind::hold, {}, 0}; }
};

using http_script = std::vector<http_step>;

// A script that answers one request with the given response bytes and keeps the connection open.
http_script answer(const std::string& response);

class scripted_http_server {
public:
    // Connection i plays scripts[i]; connections beyond the list are closed at once.
    // A script that runs out of steps holds its connection (as hold()).
    explicit scripted_http_server(std::vector<http_script> scripts);
    ~scripted_http_server();
    scripted_http_server(const scripted_http_server&) = delete;
    scripted_http_server& operator=(const scripted_http_server&) = delete;

    unsigned short port() const { return port_; }
    int connections() const { return connections_.load(); }

    // Every byte received so far, per connection in accept order, and all of them joined.
    std::vector<std::string> requests() const;
    std::string all_requests() const;

    // Waits (at most timeout_ms) until some connection blocks on a gate step; true when one does.
    bool wait_at_gate(int timeout_ms = 5000);
    void release_gate();

    // Waits (at most timeout_ms) until every connection's script has finished.
    bool wait_idle(int timeout_ms = 5000);

    void stop();

private:
    void accept_loop();
    void serve(int fd, size_t index);
    bool read_some(int fd, size_t index, int timeout_ms);

    std::vector<http_script> scripts_;
    int listen_fd_ = -1;
    unsigned short port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    std::atomic<int> running_{0};

    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::vector<std::string> received_;
    int gates_waiting_ = 0;
    int gates_released_ = 0;

    std::thread acceptor_;
    std::vector<std::thread> workers_;
};

}  // namespace testsupport
