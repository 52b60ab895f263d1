#include "support/nginx_mirror.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;
namespace fs = std::filesystem;

namespace testsupport {

namespace {

// A loopback socket bound to a port the kernel picks; the caller closes it or keeps listening.
int bind_loopback(unsigned short& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(a.sin_port);
    return fd;
}

bool port_answers(unsigned short port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

std::string nginx_program() {
    for (const char* p : {"/usr/sbin/nginx", "/usr/bin/nginx"})
        if (::access(p, X_OK) == 0) return p;
    return "nginx";
}

}  // namespace

nginx_mirrors::nginx_mirrors(std::vector<mirror> mirrors) : mirrors_(std::move(mirrors)) {
    for (const auto& m : mirrors_) fs::create_directories(root(m.name));
    fs::create_directories(dir_ / "tmp");
    for (const auto& m : mirrors_) {
        if (m.behaviour != mirror::mode::stall || blackhole_fd_ >= 0) continue;
        blackhole_fd_ = bind_loopback(blackhole_port_);
        if (blackhole_fd_ < 0 || ::listen(blackhole_fd_, 128) != 0) throw std::runtime_error("nginx mirrors: no stall port");
    }
    // The port is picked by the kernel and handed to nginx; another process may take it in between,
    // so a failed start is tried again on a fresh port.
    for (int attempt = 0; attempt < 5; ++attempt)
        if (start_once()) return;
    throw std::runtime_error("nginx mirrors: nginx did not start; see " + (dir_ / "error.log"));
}

nginx_mirrors::~nginx_mirrors() {
    stop();
    if (blackhole_fd_ >= 0) ::close(blackhole_fd_);
}

std::string nginx_mirrors::root(const std::string& name) const { return dir_ / ("www/" + name + "/"); }

std::string nginx_mirrors::error_log() const { return read_file(dir_ / "error.log"); }
std::string nginx_mirrors::access_log() const { return read_file(dir_ / "access.log"); }

std::string nginx_mirrors::config() const {
    const std::string d = dir_.path() + "/";
    const std::string listen = "    listen 127.0.0.1:" + std::to_string(port_);
    std::ostringstream c;
    c << "daemon off;\nmaster_process off;\nworker_processes 1;\n"
      << "pid " << d << "nginx.pid;\nerror_log " << d << "error.log info;\n"
      << "events { worker_connections 512; }\n"
      << "http {\n"
      << "  access_log " << d << "access.log;\n"
      << "  client_body_temp_path " << d << "tmp/body;\n  proxy_temp_path " << d << "tmp/proxy;\n"
      << "  fastcgi_temp_path " << d << "tmp/fastcgi;\n  uwsgi_temp_path " << d << "tmp/uwsgi;\n"
      << "  scgi_temp_path " << d << "tmp/scgi;\n"
      << "  default_type application/octet-stream;\n  sendfile on;\n  keepalive_requests 100000;\n"
      << "  server {\n" << listen << " default_server;\n    server_name _;\n    return 404;\n  }\n";
    for (const auto& m : mirrors_) {
        c << "  server {\n" << listen << ";\n    server_name " << m.name << ";\n";
        switch (m.behaviour) {
        case mirror::mode::serve:
            c << "    root " << root(m.name) << ";\n";
            if (m.rate > 0) c << "    limit_rate " << m.rate << ";\n";
            break;
        case mirror::mode::chunked:
            // A body filter drops the length, so nginx frames every answer in chunks; the filter
            // itself never matches.
            c << "    root " << root(m.name) << ";\n    sendfile off;\n    sub_filter_types *;\n"
              << "    sub_filter 'never-in-any-test-file' '';\n    sub_filter_once off;\n";
            break;
        case mirror::mode::error_500:
            c << "    location / { return 500; }\n";
            break;
        case mirror::mode::stall:
            c << "    location / {\n      proxy_pass http://127.0.0.1:" << blackhole_port_ << ";\n"
              << "      proxy_read_timeout 1h;\n      proxy_send_timeout 1h;\n    }\n";
            break;
        case mirror::mode::drop:
            // The inner server trickles a byte a second after `after` bytes; the outer one gives up
            // reading it after half a second and, its head already sent, can only cut the connection.
            c << "    location / {\n      proxy_pass http://127.0.0.1:" << port_ << ";\n"
              << "      proxy_set_header Host " << m.name << ".inner;\n      proxy_buffering off;\n"
              << "      proxy_read_timeout 500ms;\n    }\n  }\n"
              << "  server {\n" << listen << ";\n    server_name " << m.name << ".inner;\n"
              << "    root " << root(m.name) << ";\n    sendfile off;\n"
              << "    limit_rate_after " << m.after << ";\n    limit_rate 1;\n";
            break;
        }
        c << "  }\n";
    }
    c << "}\n";
    return c.str();
}

bool nginx_mirrors::start_once() {
    const int probe = bind_loopback(port_);
    if (probe < 0) return false;
    ::close(probe);
    write_file(dir_ / "nginx.conf", config());

    const std::string program = nginx_program();
    const std::string prefix = dir_.path() + "/";
    const std::string conf = dir_ / "nginx.conf";
    const std::string elog = dir_ / "error.log";
    std::vector<std::string> args{program, "-p", prefix, "-c", conf, "-e", elog};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    const std::string out = dir_ / "nginx.out";
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&fa, 1, 2);
    const int rc = ::posix_spawnp(&pid_, program.c_str(), &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) {
        pid_ = -1;
        throw std::runtime_error("nginx mirrors: cannot run " + program);
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return false;
        }
        if (port_answers(port_)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    stop();
    return false;
}

void nginx_mirrors::stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
}

}  // namespace testsupport
