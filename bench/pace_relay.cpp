// A paced wire for the window benchmark: relays loopback TCP connections to a port on 127.0.0.1
// and lets each connection's answer bytes through at a steady rate (a token bucket refilled every
// millisecond or so, holding at most 20 ms' worth). nginx's limit_rate cannot stand in: it lets
// every response send its first second's worth at once, which is more than any file of the sets.
//
//   pace_relay UPSTREAM_PORT BYTES_PER_SECOND_PER_CONNECTION
//
// Prints the port it listens on, then relays until its standard input closes.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

struct pipe_state {
    std::vector<char> buf;   // read and not yet written
    size_t at = 0;
    bool closed = false;     // the reading side is at its end
};

struct relay_link {
    int client = -1, upstream = -1;
    pipe_state up, down;     // up: client to upstream; down: upstream to client (paced)
    double tokens = 0;
    bool dead = false;
    ~relay_link() {
        if (client >= 0) ::close(client);
        if (upstream >= 0) ::close(upstream);
    }
};

double now_s() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void non_blocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

// Moves bytes from one side to the other, at most limit of them read; false when the link is over.
bool move(int from, int to, pipe_state& p, size_t limit) {
    if (p.at == p.buf.size() && !p.closed && limit > 0) {
        p.buf.resize(std::min<size_t>(limit, 256 * 1024));
        const ssize_t n = ::recv(from, p.buf.data(), p.buf.size(), 0);
        if (n > 0) p.buf.resize((size_t)n);
        else p.buf.clear();
        p.at = 0;
        if (n == 0) p.closed = true;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    }
    while (p.at < p.buf.size()) {
        const ssize_t n = ::send(to, p.buf.data() + p.at, p.buf.size() - p.at, MSG_NOSIGNAL);
        if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK;
        p.at += (size_t)n;
    }
    if (p.closed) ::shutdown(to, SHUT_WR);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: pace_relay UPSTREAM_PORT BYTES_PER_SECOND_PER_CONNECTION\n");
        return 2;
    }
    const int upstream_port = std::atoi(argv[1]);
    const double rate = std::atof(argv[2]);
    const double burst = rate / 50;   // 20 ms: a wake-up that comes late on a busy machine loses no rate

    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(listener, (sockaddr*)&a, sizeof a) != 0 || ::listen(listener, 64) != 0 ||
        ::getsockname(listener, (sockaddr*)&a, &len) != 0) {
        std::perror("pace_relay: listen");
        return 1;
    }
    non_blocking(listener);
    std::printf("%d\n", ntohs(a.sin_port));
    std::fflush(stdout);

    std::vector<std::unique_ptr<relay_link>> links;
    double last = now_s();
    for (;;) {
        std::vector<pollfd> fds{{0, POLLIN, 0}, {listener, POLLIN, 0}};
        bool throttled = false;
        for (auto& l : links) {
            const bool down_full = l->down.at < l->down.buf.size();
            const bool up_full = l->up.at < l->up.buf.size();
            short c = 0, u = 0;
            if (!l->up.closed && !up_full) c |= POLLIN;
            if (down_full) c |= POLLOUT;
            if (up_full) u |= POLLOUT;
            if (!l->down.closed && !down_full) {
                if (l->tokens >= 1) u |= POLLIN;
                else throttled = true;
            }
            fds.push_back({l->client, c, 0});
            fds.push_back({l->upstream, u, 0});
        }
        ::poll(fds.data(), fds.size(), throttled ? 1 : 100);
        if (fds[0].revents) return 0;   // standard input closed: the benchmark is over

        const double t = now_s();
        for (auto& l : links) l->tokens = std::min(burst, l->tokens + rate * (t - last));
        last = t;

        for (size_t i = 0; i < links.size(); ++i) {
            relay_link& l = *links[i];
            const pollfd& c = fds[2 + 2 * i];
            const pollfd& u = fds[3 + 2 * i];
            if ((c.revents | u.revents) == 0 && l.tokens < 1) continue;
            if (!move(l.client, l.upstream, l.up, 256 * 1024)) l.dead = true;
            const bool fresh = l.down.at == l.down.buf.size();
            if (!move(l.upstream, l.client, l.down, (size_t)l.tokens)) l.dead = true;
            if (fresh) l.tokens -= (double)l.down.buf.size();
            if (l.up.closed && l.down.closed && l.down.at == l.down.buf.size()) l.dead = true;
            if ((c.revents | u.revents) & (POLLERR | POLLNVAL)) l.dead = true;
        }
        links.erase(std::remove_if(links.begin(), links.end(), [](const auto& l) { return l->dead; }), links.end());

        for (int fd; (fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
            auto l = std::make_unique<relay_link>();
            l->client = fd;
            l->upstream = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            to.sin_port = htons((uint16_t)upstream_port);
            if (::connect(l->upstream, (sockaddr*)&to, sizeof to) != 0) continue;   // the link closes both
            int on = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            ::setsockopt(l->upstream, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            non_blocking(fd);
            non_blocking(l->upstream);
            links.push_back(std::move(l));
        }
    }
}
