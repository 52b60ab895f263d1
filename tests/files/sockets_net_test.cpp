#include "files/sockets.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

const unsigned long loopback = inet_addr("127.0.0.1");

unsigned short local_port(PCSBSocket& s) {
    PCSBSocket::ConnectionData d;
    s.GetAddresses(&d);
    return d.localPort;
}

// Polls until the socket leaves the status it is in, for at most two seconds.
int settle(PCSBSocket& s, int from) {
    for (int i = 0; i < 2000 && s.GetStatus() == from; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return s.GetStatus();
}

long read_some(PCSBSocket& s, std::string& out) {
    char buf[256];
    long n = 0;
    for (int i = 0; i < 2000; ++i) {
        n = s.ReadData(buf, sizeof buf);
        if (n != 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (n > 0) out.append(buf, static_cast<size_t>(n));
    return n;
}

struct connected_pair {
    PCSBSocket listener{0, true};
    std::unique_ptr<PCSBSocket> client = std::make_unique<PCSBSocket>(0, false);
    std::unique_ptr<PCSBSocket> server;

    connected_pair() {
        client->Connect(loopback, local_port(listener));
        settle(*client, PCSBSocket::status_connecting);
        settle(listener, PCSBSocket::status_idle);
        server.reset(listener.Accept());
    }
};

}  // namespace

TEST(Sockets, ListenConnectAcceptAndTalk) {
    PCSBSocket listener(0, true);
    ASSERT_EQ(listener.GetStatus(), PCSBSocket::status_idle);
    EXPECT_EQ(listener.Accept(), nullptr) << "nothing waits yet";
    EXPECT_EQ(listener.GetStatus(), PCSBSocket::status_idle);

    PCSBSocket client(0, false);
    client.Connect(loopback, local_port(listener));
    EXPECT_EQ(settle(client, PCSBSocket::status_connecting), PCSBSocket::status_connected);
    EXPECT_EQ(settle(listener, PCSBSocket::status_idle), PCSBSocket::status_connecting) << "a connection waits";
    std::unique_ptr<PCSBSocket> server(listener.Accept());
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(listener.GetStatus(), PCSBSocket::status_idle);
    EXPECT_EQ(server->GetStatus(), PCSBSocket::status_connected);

    PCSBSocket::ConnectionData d;
    client.GetAddresses(&d);
    EXPECT_EQ(d.localAddr, 0x7f000001u) << "local address in host order";
    EXPECT_EQ(d.remoteAddr, loopback) << "remote address in network order";
    EXPECT_EQ(d.remotePort, local_port(listener));

    ASSERT_EQ(client.http_WriteData("ping", 4), 4);
    std::string got;
    ASSERT_EQ(read_some(*server, got), 4);
    EXPECT_EQ(got, "ping");
}

TEST(Sockets, ReadingAnIdleConnectionAndThePeersClose) {
    connected_pair p;
    ASSERT_NE(p.server, nullptr);
    char buf[16];
    EXPECT_EQ(p.client->ReadData(buf, sizeof buf), 0);
    EXPECT_EQ(p.client->GetStatus(), PCSBSocket::status_connected);
    EXPECT_FALSE(p.client->ReceivedRelease());

    p.server.reset();   // the peer closes
    long n = 0;
    for (int i = 0; i < 2000 && !p.client->ReceivedRelease(); ++i) {
        n = p.client->ReadData(buf, sizeof buf);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(n, 0);
    EXPECT_TRUE(p.client->ReceivedRelease());
    EXPECT_EQ(p.client->GetStatus(), PCSBSocket::status_connected) << "a half-closed socket is not closed";

    // Once this side has released its sending side too, the connection is over.
    p.client->Release();
    EXPECT_EQ(p.client->ReadData(buf, sizeof buf), -1);
    EXPECT_EQ(p.client->GetStatus(), PCSBSocket::status_closed);
}

// The reuse test of a kept-alive connection: a waiting byte or the peer's close makes it false,
// and looking consumes nothing.
TEST(Sockets, IdleAndOpenOnlyWithNothingToRead) {
    connected_pair p;
    ASSERT_NE(p.server, nullptr);
    EXPECT_TRUE(p.client->IsIdleAndOpen());

    ASSERT_EQ(p.server->http_WriteData("x", 1), 1);
    for (int i = 0; i < 2000 && p.client->IsIdleAndOpen(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_FALSE(p.client->IsIdleAndOpen());
    std::string got;
    ASSERT_EQ(read_some(*p.client, got), 1);
    EXPECT_EQ(got, "x");
    EXPECT_TRUE(p.client->IsIdleAndOpen());

    p.server.reset();
    for (int i = 0; i < 2000 && p.client->IsIdleAndOpen(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_FALSE(p.client->IsIdleAndOpen());
    EXPECT_TRUE(p.client->ReceivedRelease());

    PCSBSocket never_connected(0, false);
    EXPECT_FALSE(never_connected.IsIdleAndOpen());
}

// A wait on several connections ends when any one of them has something (bytes or the peer's
// close), and runs out with nothing; what it saw is left to be read.
TEST(Sockets, AWaitOnSeveralConnectionsEndsWithTheFirstThatHasSomething) {
    connected_pair a, b;
    ASSERT_NE(a.server, nullptr);
    ASSERT_NE(b.server, nullptr);
    const std::vector<PCSBSocket*> both{a.client.get(), b.client.get()};
    EXPECT_FALSE(PCSBSocket::WaitAnyReady(both, 1));
    EXPECT_FALSE(PCSBSocket::WaitAnyReady({}, 1));

    ASSERT_EQ(b.server->http_WriteData("y", 1), 1);
    EXPECT_TRUE(PCSBSocket::WaitAnyReady(both, 5000));
    std::string got;
    ASSERT_EQ(read_some(*b.client, got), 1);
    EXPECT_EQ(got, "y");
    EXPECT_FALSE(PCSBSocket::WaitAnyReady(both, 1));

    a.server.reset();   // the peer closes
    EXPECT_TRUE(PCSBSocket::WaitAnyReady(both, 5000));
}

TEST(Sockets, FailuresSplitIntoClosedAndError) {
    {   // a reset is the connection going away: closed, not error
        PCSBSocket listener(0, true);
        PCSBSocket client(0, false);
        client.Connect(loopback, local_port(listener));
        settle(client, PCSBSocket::status_connecting);
        settle(listener, PCSBSocket::status_idle);
        const int peer = ::accept(listener.descriptor_for_test(), nullptr, nullptr);
        ASSERT_GE(peer, 0);
        linger l{1, 0};
        ::setsockopt(peer, SOL_SOCKET, SO_LINGER, &l, sizeof l);
        ::close(peer);
        std::string got;
        EXPECT_EQ(read_some(client, got), -1);
        EXPECT_EQ(client.GetStatus(), PCSBSocket::status_closed);
        EXPECT_EQ(client.GetOSError(), 0);
    }
    {   // a bad descriptor is an error with its code
        PCSBSocket bad(-1);
        char buf[4];
        EXPECT_EQ(bad.ReadData(buf, sizeof buf), -1);
        EXPECT_EQ(bad.GetStatus(), PCSBSocket::status_error);
        EXPECT_EQ(bad.GetOSError(), EBADF);
    }
    {   // nobody listens: the connection attempt ends closed
        unsigned short dead_port = 0;
        {
            PCSBSocket probe(0, true);
            dead_port = local_port(probe);
        }
        PCSBSocket client(0, false);
        client.Connect(loopback, dead_port);
        EXPECT_EQ(settle(client, PCSBSocket::status_connecting), PCSBSocket::status_closed);
    }
    {   // a socket that could not be bound starts in error, and Connect keeps it there
        PCSBSocket listener(0, true);
        PCSBSocket clash(local_port(listener), false);
        EXPECT_EQ(clash.GetStatus(), PCSBSocket::status_error);
        EXPECT_EQ(clash.GetOSError(), EADDRINUSE);
        clash.Connect(loopback, local_port(listener));
        EXPECT_EQ(clash.GetStatus(), PCSBSocket::status_error);
    }
}

TEST(Sockets, DescriptorsAbove1024AreStillPolled) {
    rlimit lim{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &lim), 0);
    if (lim.rlim_max < 1200) GTEST_SKIP() << "the descriptor limit cannot reach 1024";
    const rlimit saved = lim;
    lim.rlim_cur = std::min<rlim_t>(lim.rlim_max, 4096);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lim), 0);

    std::vector<int> filler;
    for (int fd = ::open("/dev/null", O_RDONLY); fd >= 0 && fd < 1100; fd = ::open("/dev/null", O_RDONLY))
        filler.push_back(fd);
    {
        connected_pair p;
        EXPECT_GE(p.client->descriptor_for_test(), 1024);
        EXPECT_EQ(p.client->GetStatus(), PCSBSocket::status_connected);
        ASSERT_NE(p.server, nullptr);
        ASSERT_EQ(p.server->http_WriteData("x", 1), 1);
        std::string got;
        EXPECT_EQ(read_some(*p.client, got), 1);
    }
    for (int fd : filler) ::close(fd);
    ::setrlimit(RLIMIT_NOFILE, &saved);
}

TEST(Sockets, LookupAddress) {
    EXPECT_EQ(PCSBSocket::LookupAddress("10.1.2.3"), inet_addr("10.1.2.3"));
    EXPECT_EQ(PCSBSocket::LookupAddress("localhost"), loopback);
    EXPECT_EQ(PCSBSocket::LookupAddress("no-such-host.invalid"), 0u);
}

TEST(Sockets, DatagramsRoundTrip) {
    PCSBSocketUDP a, b;
    ASSERT_EQ(a.udp_init(0, 2), 1);
    ASSERT_EQ(b.udp_init(0, 2), 1);
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    ASSERT_EQ(::getsockname(b.descriptor(), reinterpret_cast<sockaddr*>(&addr), &len), 0);
    const unsigned short b_port = ntohs(addr.sin_port);

    char buf[64];
    unsigned long from = 0;
    unsigned short from_port = 0;
    EXPECT_EQ(b.ReadData(buf, sizeof buf, &from, &from_port), -1) << "non-blocking, nothing waits";

    char msg[] = "hello";
    ASSERT_EQ(a.udp_WriteData(msg, 5, 0x7f000001ul, b_port), 5);
    long n = -1;
    for (int i = 0; i < 1000 && n < 0; ++i) {
        n = b.ReadData(buf, sizeof buf, &from, &from_port);
        if (n < 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(n, 5);
    EXPECT_EQ(std::string(buf, 5), "hello");
    EXPECT_EQ(from, 0x7f000001ul) << "sender in host order";
    EXPECT_NE(from_port, 0);

    int size = 0;
    len = sizeof size;
    ::getsockopt(b.descriptor(), SOL_SOCKET, SO_RCVBUF, &size, &len);
    EXPECT_GE(size, _udp_buffer_size_rcv);
}
