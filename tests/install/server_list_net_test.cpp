// Fetching the server list and the manifest while the host cannot be reached: attempts come at
// a steady pace on the frame clock and the log stays small. The frame clock is moved by hand;
// the "server" is a listener served between frames, so every attempt ends within two frames.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "core/cmdline.h"
#include "core/frame_clock.h"
#include "core/log.h"
#include "core/shared_constants.h"
#include "files/http.h"
#include "files/sockets.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/server_list.h"
#include "support/install_set.h"
#include "support/temp_dir.h"

namespace {

// Listens on 127.0.0.1; serve() answers (or, with no answer, just closes) every connection
// that is waiting.
class loopback_listener {
public:
    loopback_listener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd_, 64) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            ADD_FAILURE() << "listener";
        port_ = ntohs(a.sin_port);
    }
    ~loopback_listener() { ::close(fd_); }
    unsigned short port() const { return port_; }

    void wait_for_connection() const {
        pollfd p{fd_, POLLIN, 0};
        ::poll(&p, 1, 2000);
    }

    int serve(const std::string& answer) {
        int n = 0;
        for (int c; (c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0; ::close(c)) {
            ++n;
            if (answer.empty()) continue;
            char buf[4096];
            (void)!::recv(c, buf, sizeof buf, MSG_DONTWAIT);   // the request, sent before the frame ended
            (void)!::send(c, answer.data(), answer.size(), MSG_NOSIGNAL);
        }
        return n;
    }

private:
    int fd_ = -1;
    unsigned short port_ = 0;
};

std::atomic<int> lookups{0};
unsigned long failing_lookup(const char*) {
    ++lookups;
    return 0;
}

class ServerListPace : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(xer.open(tmp / "log.txt"));
        cmdline = UTL_cmdline{};
        stg_set_initial();
        install_name = no_install_name;
        temp_path = tmp.path() + "/";
        servers.clear();
        server_list_reset_for_test();
        http.reset_for_test();
        http.proxy_host = "127.0.0.1";
        http.proxy_port_int = listener.port();
        xtim.real_time = 100.0f;
        lookups = 0;
    }
    void TearDown() override {
        http.reset_for_test();
        http.lookup_address = &PCSBSocket::LookupAddress;
        http.proxy_host.clear();
        http.proxy_port_int = 0;
        servers.clear();
        xer.close();
    }

    // Runs 50 frames a second for the given frame-clock seconds; the number of connections made.
    // A new connection is served within its frame, and the frame waits until the answer or the
    // close has reached the client, so an attempt takes the same frames on a busy machine.
    int run(int seconds, const std::string& answer = "") {
        int connections = 0;
        unsigned short served_port = 0;
        for (int frame = 0; frame < seconds * 50; ++frame) {
            xtim.real_time += 0.02f;
            UTL_download_directory();
            for (down_class* d : http.streams) {
                if (!d || !d->sock || d->IsComplete()) continue;
                PCSBSocket::ConnectionData c;
                d->sock->GetAddresses(&c);
                if (c.localPort == served_port) continue;
                listener.wait_for_connection();
                served_port = c.localPort;
                connections += listener.serve(answer);
                pollfd p{d->sock->descriptor_for_test(), POLLIN, 0};
                ::poll(&p, 1, 2000);
            }
            connections += listener.serve(answer);
        }
        return connections;
    }

    std::string log() { return xer.contents_for_test(); }

    // Counts the lines of the log that begin with text.
    int lines_starting(const std::string& text) {
        int n = 0;
        const std::string l = "\n" + log();
        for (size_t p = l.find("\n" + text); p != std::string::npos; p = l.find("\n" + text, p + 1)) ++n;
        return n;
    }

    testsupport::temp_dir tmp;
    loopback_listener listener;
};

TEST_F(ServerListPace, AnUnreachableListHostIsAskedOnceASecond) {
    const int attempts = run(600);
    EXPECT_GE(attempts, 550);
    EXPECT_LE(attempts, 601);
    EXPECT_TRUE(servers.empty());
    EXPECT_EQ(lines_starting("HTTP Error for " + temp_path + "serverlist9.txt\n"), 1) << log();
    EXPECT_LT(log().size(), 800u) << log();
}

TEST_F(ServerListPace, UnreachableManifestServersAreAskedOnceASecond) {
    servers = {{"m1.test", "/set/N/", "one"}, {"m2.test", "/set/N/", "two"}};
    const int attempts = run(600);
    EXPECT_GE(attempts, 550);
    EXPECT_LE(attempts, 601);
    EXPECT_EQ(stg.stage, 0);
    // The two servers' failures take turns; each is written once.
    EXPECT_EQ(lines_starting("HTTP Error for " + temp_path + "directory.txt.zip\n"), 2) << log();
    EXPECT_LT(log().size(), 1600u) << log();
}

TEST_F(ServerListPace, AFailedLookupOfTheListHostIsTriedAgain) {
    http.lookup_address = failing_lookup;
    EXPECT_EQ(run(600), 0);
    // Once per retry time, not once (and never again) nor every frame.
    EXPECT_GE(lookups, static_cast<int>(600 / http_lookup_retry_seconds) - 10);
    EXPECT_LE(lookups, static_cast<int>(600 / http_lookup_retry_seconds) + 1);
}

TEST_F(ServerListPace, AListWithoutAUsableServerIsFetchedOnceASecond) {
    const std::string list = testsupport::server_list_text("N", {{"bad.test/", "/p/"}});
    const std::string answer = "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: " +
                               std::to_string(list.size()) + "\r\n\r\n" + list;
    const int attempts = run(120, answer);
    EXPECT_GE(attempts, 110);
    EXPECT_LE(attempts, 121);
    EXPECT_TRUE(servers.empty());
    EXPECT_EQ(lines_starting("WARNING: skipping a download server with a bad host or path: host=bad.test/ "
                             "path=/p/N/\n"),
              1)
        << log();
    EXPECT_LT(log().size(), 600u) << log();
}

// The answer to the request of stream n has reached this process.
void wait_for_answer_on(int n) {
    ASSERT_LT(static_cast<size_t>(n), http.streams.size());
    ASSERT_TRUE(http.streams[n] && http.streams[n]->sock);
    pollfd p{http.streams[n]->sock->descriptor_for_test(), POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 5000), 1);
}

std::string answer_with(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
           body;
}

// A step that needs no wait goes on to the next one in the same call: once the list is read the
// manifest is asked for, and once the manifest is unpacked it is read. The answers are served
// between calls, so each call finds its answer already there.
TEST_F(ServerListPace, AStepThatNeedsNoWaitGoesOnInTheSameCall) {
    const testsupport::install_set set{"N", {{"All/Resources/a.txt", "alpha", false, {}}}};
    testsupport::write_install_set(tmp.path() + "/www", set);
    const std::string manifest = testsupport::read_file(tmp.path() + "/www/N/directory.txt.zip");
    ASSERT_FALSE(manifest.empty());
    sim_info.clear();

    UTL_download_directory();
    listener.wait_for_connection();
    ASSERT_EQ(listener.serve(answer_with(testsupport::server_list_text("N", {{"m1.test", "/"}}))), 1);
    wait_for_answer_on(0);

    UTL_download_directory();
    ASSERT_EQ(servers.size(), 1u);
    EXPECT_EQ(stg.stage, 0);
    listener.wait_for_connection();
    ASSERT_EQ(listener.serve(answer_with(manifest)), 1) << "the manifest was not asked for in the list's call";
    wait_for_answer_on(1);

    UTL_download_directory();
    EXPECT_EQ(stg.stage, 3);
    EXPECT_FALSE(sim_info.empty());
    sim_info.clear();
}

}  // namespace
