#include "files/sockets.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "core/alert.h"

int printf_null(const char*, ...) { return 0; }

int _udp_buffer_size_snd = 16384;
int _udp_buffer_size_rcv = 65536;

namespace {

bool connection_gone(int e) {
    switch (e) {
    case ECONNABORTED:
    case ECONNREFUSED:
    case ECONNRESET:
    case EHOSTUNREACH:
    case ENETDOWN:
    case ENETRESET:
    case ENETUNREACH:
    case ETIMEDOUT:
        return true;
    default:
        return false;
    }
}

bool make_non_blocking(int fd) {
    int on = 1;
    return ::ioctl(fd, FIONBIO, &on) == 0;
}

}  // namespace

// ---- PCSBSocket ----

PCSBSocket::PCSBSocket(unsigned short port, bool listen) {
    mSocket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (mSocket < 0) {
        fprintf(stderr, "LINUX: NET: I could not even create the socket! Uh-oh!\n");
        fail(errno);
        return;
    }
    int on = 1;
    if (::setsockopt(mSocket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0)
        printf("-----------------------Could not set TCP_NODELAY on port %d-------------\n", port);

    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(port);
    if (::bind(mSocket, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        fprintf(stderr, "LINUX: NET: I could not even bind the socket! Uh-oh!\n");
        fail_setup(errno);
        return;
    }
    make_non_blocking(mSocket);
    if (listen) {
        mListening = true;
        if (::listen(mSocket, 128) != 0) {
            fprintf(stderr, "LINUX: NET: I could not start listening! Uh-oh!\n");
            fail_setup(errno);
        }
    }
}

PCSBSocket::PCSBSocket(int descriptor) : mSocket(descriptor), mStatus(status_connected) {
    make_non_blocking(mSocket);
}

PCSBSocket::~PCSBSocket() {
    if (mSocket < 0) return;
    ::shutdown(mSocket, SHUT_RDWR);
    ::close(mSocket);
}

void PCSBSocket::fail(int os_error) {
    mStatus = status_error;
    mOSError = os_error;
}

// A socket that could not be set up keeps no descriptor, so nothing can be done with it later.
void PCSBSocket::fail_setup(int os_error) {
    fail(os_error);
    ::close(mSocket);
    mSocket = -1;
}

bool PCSBSocket::StartupNetworking(bool) { return true; }
void PCSBSocket::ShutdownNetworking(bool) {}

int PCSBSocket::GetStatus() {
    const bool listening_idle = mStatus == status_idle && mListening;
    if (!listening_idle && mStatus != status_connecting) return mStatus;

    // poll, not select: a descriptor of 1024 or more would overrun a select set.
    pollfd p{mSocket, static_cast<short>(listening_idle ? POLLIN : POLLOUT), 0};
    const int r = ::poll(&p, 1, 0);
    if (r == 0 || (r < 0 && errno == EINTR)) return mStatus;
    if (r < 0) {
        const int e = errno;
        if (listening_idle)
            fprintf(stderr, "LINUX: NET: Some sort of socket error! %d\n", r);
        else
            fprintf(stderr, "LINUX: NET: Some sort of socket error while connecting! %d (errno=%d sock=%d)\n", r, e,
                    mSocket);
        fail(e);
        return mStatus;
    }
    if (listening_idle) {
        if (p.revents & POLLIN) mStatus = status_connecting;
    } else if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) {
        mStatus = status_closed;
    } else if (p.revents & POLLOUT) {
        mStatus = status_connected;
    }
    return mStatus;
}

long PCSBSocket::ReadData(void* buffer, long size) {
    const ssize_t n = ::recv(mSocket, buffer, static_cast<size_t>(size), 0);
    if (n > 0) return n;
    if (n == 0) {
        mGotRelease = true;
        if (mDidRelease) {
            mStatus = status_closed;
            return -1;
        }
        return 0;
    }
    const int e = errno;
    if (e == EAGAIN || e == EWOULDBLOCK || e == EINTR) return 0;
    if (connection_gone(e)) {
        mStatus = status_closed;
        return -1;
    }
    fprintf(stderr, "LINUX: NET: Some sort of error while recving! %d\n", e);
    fail(e);
    return -1;
}

long PCSBSocket::http_WriteData(const void* data, long length) {
    const ssize_t n = ::send(mSocket, data, static_cast<size_t>(length), MSG_NOSIGNAL);
    if (n >= 0) return n;
    const int e = errno;
    if (e == EAGAIN || e == EWOULDBLOCK || e == EINTR) return 0;
    if (connection_gone(e)) {
        mStatus = status_closed;
        return -1;
    }
    fprintf(stderr, "LINUX: NET: Some sort of error while sending! %d\n", e);
    fail(e);
    return -1;
}

bool PCSBSocket::IsIdleAndOpen() {
    if (mStatus != status_connected || mGotRelease) return false;
    char probe;
    const ssize_t n = ::recv(mSocket, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0) return false;
    if (n == 0) {
        mGotRelease = true;
        return false;
    }
    return errno == EAGAIN || errno == EWOULDBLOCK;
}

bool PCSBSocket::WaitAnyReady(const std::vector<PCSBSocket*>& sockets, int ms) {
    std::vector<pollfd> fds;
    for (const PCSBSocket* s : sockets) {
        if (!s) continue;
        if (s->mSocket < 0 || s->mStatus == status_closed || s->mStatus == status_error) return true;
        fds.push_back(pollfd{s->mSocket, static_cast<short>(s->mStatus == status_connecting ? POLLOUT : POLLIN), 0});
    }
    if (fds.empty()) return false;
    return ::poll(fds.data(), fds.size(), ms) > 0;
}

void PCSBSocket::Disconnect() {
    ::shutdown(mSocket, SHUT_RDWR);
    mStatus = status_closed;
}

void PCSBSocket::Release() {
    mDidRelease = true;
    if (::shutdown(mSocket, SHUT_WR) != 0) fail(errno);
}

unsigned long PCSBSocket::LookupAddress(const char* host) {
    const in_addr_t literal = ::inet_addr(host);
    if (literal != INADDR_NONE) return literal;
    // getaddrinfo rather than gethostbyname: lookups may run on a worker thread.
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host, nullptr, &hints, &found) != 0 || !found) return 0;
    unsigned long addr = 0;
    for (const addrinfo* a = found; a; a = a->ai_next) {
        if (a->ai_family != AF_INET) continue;
        addr = reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr;
        break;
    }
    ::freeaddrinfo(found);
    return addr;
}

void PCSBSocket::Connect(unsigned long address, unsigned short port) {
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_addr.s_addr = static_cast<in_addr_t>(address);
    remote.sin_port = htons(port);
    if (::connect(mSocket, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0) {
        mStatus = status_connected;
        return;
    }
    const int e = errno;
    if (e == EAGAIN || e == EINPROGRESS) {
        mStatus = status_connecting;
        return;
    }
    fprintf(stderr, "LINUX: NET: Some sort of connect error! %d\n", e);
    fail(e);
}

void PCSBSocket::GetAddresses(ConnectionData* out) {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    if (::getpeername(mSocket, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
        out->remoteAddr = a.sin_addr.s_addr;
        out->remotePort = ntohs(a.sin_port);
    }
    a = {};
    len = sizeof a;
    if (::getsockname(mSocket, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
        out->localAddr = ntohl(a.sin_addr.s_addr);
        out->localPort = ntohs(a.sin_port);
    }
}

PCSBSocket* PCSBSocket::Accept() {
    const int fd = ::accept4(mSocket, nullptr, nullptr, SOCK_CLOEXEC);
    mStatus = status_idle;
    if (fd < 0) return nullptr;
    return new PCSBSocket(fd);
}

// ---- PCSBSocketUDP ----

PCSBSocketUDP::PCSBSocketUDP() = default;

PCSBSocketUDP::~PCSBSocketUDP() { Cleanup(); }

void PCSBSocketUDP::Cleanup() {
    if (mWinSocket >= 0) ::close(mWinSocket);
    mWinSocket = -1;
}

int PCSBSocketUDP::udp_init(unsigned short port, int mode) {
    mLocalAddr = {};
    mLocalAddr.sin_family = AF_INET;
    mLocalAddr.sin_port = htons(port);
    mLocalAddr.sin_addr.s_addr = htonl(INADDR_ANY);
    mWinSocket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (mWinSocket < 0) return 0;
    if (::bind(mWinSocket, reinterpret_cast<sockaddr*>(&mLocalAddr), sizeof mLocalAddr) != 0) {
        Cleanup();
        return 0;
    }
    if (mode == 2) {
        const int flags = ::fcntl(mWinSocket, F_GETFL, 0);
        if (flags < 0 || ::fcntl(mWinSocket, F_SETFL, flags | O_NONBLOCK) != 0) {
            MACIBM_alert(0, "Could not set net to non-blocking!", "", "", "", t_warn);
            Cleanup();
            return 0;
        }
    }
    size_buffer();
    return 1;
}

long PCSBSocketUDP::udp_WriteData(void* data, long length, unsigned long address, unsigned short port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(static_cast<uint32_t>(address));
    to.sin_port = htons(port);
    return ::sendto(mWinSocket, data, static_cast<size_t>(length), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

long PCSBSocketUDP::ReadData(void* buffer, long size, unsigned long* from_address, unsigned short* from_port) {
    if (mWinSocket < 0) MACIBM_alert(0, "Bad mWinSocket!", "", "", "", t_crash);
    sockaddr_in from{};
    socklen_t len = sizeof from;
    const ssize_t n =
        ::recvfrom(mWinSocket, buffer, static_cast<size_t>(size), 0, reinterpret_cast<sockaddr*>(&from), &len);
    if (n < 0) return -1;
    if (from_address) *from_address = ntohl(from.sin_addr.s_addr);
    if (from_port) *from_port = ntohs(from.sin_port);
    return n;
}

void PCSBSocketUDP::size_buffer() {
    int value = 0;
    socklen_t len = sizeof value;
    if (::setsockopt(mWinSocket, SOL_SOCKET, SO_SNDBUF, &_udp_buffer_size_snd, sizeof _udp_buffer_size_snd) != 0)
        MACIBM_alert(0, "Could not set socket size!", "", "", "", t_crash);
    if (::getsockopt(mWinSocket, SOL_SOCKET, SO_SNDBUF, &value, &len) != 0)
        MACIBM_alert(0, "Could not set socket size!", "", "", "", t_crash);
    len = sizeof value;
    if (::setsockopt(mWinSocket, SOL_SOCKET, SO_RCVBUF, &_udp_buffer_size_rcv, sizeof _udp_buffer_size_rcv) != 0)
        MACIBM_alert(0, "Could not set socket size!", "", "", "", t_crash);
    if (::getsockopt(mWinSocket, SOL_SOCKET, SO_RCVBUF, &value, &len) != 0)
        MACIBM_alert(0, "Could not set socket size!", "", "", "", t_crash);
}
