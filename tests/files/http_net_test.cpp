// The HTTP client against the scripted loopback server: exact request bytes, response parsing,
// connection reuse, proxy routes and failures. Time-outs move the frame clock.
#include "files/http.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/frame_clock.h"
#include "core/thread_layer.h"
#include "files/sockets.h"
#include "core/log.h"
#include "support/scripted_http_server.h"
#include "support/temp_dir.h"

using testsupport::http_script;
using testsupport::http_step;
using testsupport::scripted_http_server;

namespace {

const std::string agent = "Installer-APL/Ventaro Web Demo Installer 2.06r1";
const std::string ok5 = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello";

std::string request_for(const std::string& host, const std::string& escaped_path) {
    return "GET http://" + host + escaped_path + " HTTP/1.1\r\nHost: " + host + "\r\nUser-agent: " + agent + "\r\n\r\n";
}

class Http : public ::testing::Test {
protected:
    void SetUp() override {
        http.reset_for_test();
        http.proxy_host.clear();
        http.proxy_port.clear();
        http.proxy_port_int = 0;
        xtim.real_time = 1000.0f;
        ASSERT_TRUE(xer.open(tmp / "log.txt"));
    }
    void TearDown() override {
        http.reset_for_test();
        xer.close();
    }

    void use_proxy(const scripted_http_server& s) {
        http.proxy_host = "127.0.0.1";
        http.proxy_port_int = s.port();
    }

    // Calls net_check until it answers, for at most five seconds of wall time.
    int fetch(int stream, const std::string& server, const std::string& path, const std::string& file) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            const int r = http.net_check(stream, server, path, file);
            if (r != 0) return r;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return 0;
    }

    // Polls until the server has the request and waits at its first gate.
    void until_request_taken(scripted_http_server& s, const std::string& file) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!s.wait_at_gate(1) && std::chrono::steady_clock::now() < deadline)
            ASSERT_EQ(http.net_check(0, "files.example", "/f", file), 0);
    }

    std::string log() { return xer.contents_for_test(); }

    testsupport::temp_dir tmp;
};

// A script that hands the client one chunk per poll: each chunk sits behind a gate.
http_script gated(const std::vector<std::string>& chunks) {
    http_script s{http_step::request()};
    for (const auto& c : chunks) {
        s.push_back(http_step::gate());
        s.push_back(http_step::send(c));
    }
    s.push_back(http_step::gate());
    return s;
}

// Waits until the client's socket on stream 0 holds at least n unread bytes (at most 64 KiB).
void wait_readable(size_t n) {
    if (!http.streams[0] || !http.streams[0]->sock) return;
    const int fd = http.streams[0]->sock->descriptor_for_test();
    const size_t want = std::min<size_t>(n, 65536);
    for (int i = 0; i < 20000; ++i) {
        int avail = 0;
        if (::ioctl(fd, FIONREAD, &avail) == 0 && static_cast<size_t>(avail) >= want) return;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
}

// Releases one chunk at a time and polls exactly once after each has arrived; the answers in order.
std::vector<int> deliver(scripted_http_server& s, const std::vector<std::string>& chunks, const std::string& file) {
    std::vector<int> answers;
    for (const auto& chunk : chunks) {
        s.release_gate();
        if (!s.wait_at_gate()) return answers;
        wait_readable(chunk.size());
        answers.push_back(http.net_check(0, "files.example", "/f", file));
    }
    s.release_gate();
    return answers;
}

// A port bound here and never listened on: every connection to it is refused, and no other
// process can take it over while the test runs.
struct refusing_port {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    unsigned short port = 0;
    refusing_port() {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            port = ntohs(a.sin_port);
    }
    ~refusing_port() { ::close(fd); }
};

// How many of this process's descriptors are open on the file.
int open_descriptors_on(const std::string& path) {
    int n = 0;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
        std::error_code ignored;
        if (std::filesystem::read_symlink(e.path(), ignored) == path) ++n;
    }
    return n;
}

}  // namespace

TEST_F(Http, RequestBytesCarryTheAbsoluteUrlAndEscapeThePath) {
    struct row {
        std::string path, escaped;
    };
    const row rows[] = {
        {"/dir with space/f.zip", "/dir%20with%20space/f.zip"},
        {"/a%b#c?d&e=f+g", "/a%25b%23c%3Fd%26e%3Df%2Bg"},
        {"/Caf\xC3\xA9/x\ty", "/Caf%C3%A9/x%09y"},
        {"/Az09-._~/", "/Az09-._~/"},
    };
    for (const auto& r : rows) {
        http.reset_for_test();
        scripted_http_server s({testsupport::answer(ok5)});
        use_proxy(s);
        EXPECT_EQ(fetch(0, "files.example", r.path, tmp / "out"), 1) << r.path;
        EXPECT_EQ(s.all_requests(), request_for("files.example", r.escaped)) << r.path;
    }
}

TEST_F(Http, ResponsesDeliveredChunkByChunk) {
    struct row {
        const char* what;
        std::vector<std::string> chunks;   // one poll after each
        int answer;                        // the answer of the poll after the last chunk
        std::string file;                  // the local file afterwards
    };
    const std::string big_head = "HTTP/1.1 200 OK\r\nX-Pad: " + std::string(70000, 'a') + "\r\n\r\n";
    const std::string chunked_head = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    const row rows[] = {
        {"head and body in one read", {ok5}, 1, "hello"},
        {"empty body", {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"}, 1, ""},
        {"body over two reads", {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhel", "lo"}, 1, "hello"},
        {"interim head then the response", {"HTTP/1.1 100 Continue\r\nContent-Length: 99\r\n\r\n" + ok5}, 1, "hello"},
        {"interim head alone, then the response", {"HTTP/1.1 100 Continue\r\n\r\n", ok5}, 1, "hello"},
        {"field names in any case, blanks optional", {"HTTP/1.1 200 OK\r\ncontent-LENGTH:5\r\n\r\nhello"}, 1, "hello"},
        {"blanks around the value", {"HTTP/1.1 200 OK\r\nContent-Length: \t 5 \r\n\r\nhello"}, 1, "hello"},
        {"first of two length fields wins", {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 9\r\n\r\nhello"},
         1, "hello"},
        {"status line without a reason", {"HTTP/1.1 200\r\nContent-Length: 5\r\n\r\nhello"}, 1, "hello"},
        {"a lone LF ends no line", {"HTTP/1.1 200 OK\nContent-Length: 5\r\n\r\nhello"}, 0, ""},
        {"an error answer leaves the local file alone",
         {"HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone"}, 2, "stale"},
        {"redirects are not followed", {"HTTP/1.1 301 Moved\r\nLocation: /g\r\nContent-Length: 0\r\n\r\n"}, 2,
         "stale"},
        {"an error head alone is the answer", {"HTTP/1.1 503 Busy\r\nContent-Length: 900\r\n\r\n"}, 2, "stale"},
        {"length that is not a number", {"HTTP/1.1 200 OK\r\nContent-Length: 5x\r\n\r\nhello"}, 2, "stale"},
        {"head over 64 KiB", {big_head}, 2, "stale"},
        {"no length: waits", {"HTTP/1.1 200 OK\r\n\r\nhello"}, 0, "hello"},
        {"short status line: waits", {"HTTP/1.1 2\r\nContent-Length: 5\r\n\r\nhello"}, 0, ""},
        {"bytes past the length are not saved", {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhelloEXTRA"}, 1,
         "hello"},
        // Chunked bodies.
        {"chunked", {chunked_head + "5\r\nhello\r\n0\r\n\r\n"}, 1, "hello"},
        {"chunked with a length is read as chunked",
         {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nhel\r\n2\r\nlo\r\n0\r\n\r\n"},
         1, "hello"},
        {"chunked, coding name in any case",
         {"HTTP/1.1 200 OK\r\ntransfer-encoding: Chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n"}, 1, "hello"},
        {"chunk extensions, hex digits in both cases, trailers",
         {chunked_head + "5;name=\"v;x\"\r\nhello\r\na ; y\r\n0123456789\r\nB\r\nabcdefghijk\r\n0;end\r\n"
                         "Checksum: 1\r\nMore: 2\r\n\r\n"},
         1, "hello0123456789abcdefghijk"},
        {"chunked, split inside sizes, data, line ends and trailers",
         {chunked_head + "1", "0\r", "\n0123456789ab", "cdef\r", "\n0\r\nX: ", "1\r\n\r", "\n"}, 1,
         "0123456789abcdef"},
        {"chunked, an empty body", {chunked_head + "0\r\n\r\n"}, 1, ""},
        {"chunked, waits for the trailers to end", {chunked_head + "5\r\nhello\r\n0\r\n"}, 0, "hello"},
        {"chunk size not hex", {chunked_head + "zz\r\nhello\r\n0\r\n\r\n"}, 2, ""},
        {"chunk size missing", {chunked_head + "\r\nhello\r\n0\r\n\r\n"}, 2, ""},
        {"chunk size negative", {chunked_head + "-5\r\nhello\r\n0\r\n\r\n"}, 2, ""},
        {"chunk size with a blank inside", {chunked_head + "5 5\r\nhello\r\n0\r\n\r\n"}, 2, ""},
        {"chunk size too large", {chunked_head + "10000000000000000\r\nhello\r\n"}, 2, ""},
        {"chunk sizes with any number of leading zeros",
         {chunked_head + "0000000000000000000000005\r\nhello\r\n000000000000000000000\r\n\r\n"}, 1, "hello"},
        {"chunk size too large after leading zeros", {chunked_head + "0000010000000000000000\r\nhello\r\n"}, 2, ""},
        {"chunk size line never ends", {chunked_head + std::string(5000, '0')}, 2, ""},
        {"chunk data longer than its size", {chunked_head + "3\r\nhello\r\n0\r\n\r\n"}, 2, "hel"},
        {"trailers over 64 KiB",
         {chunked_head + "0\r\nX: " + std::string(40000, 't'), std::string(40000, 't') + "\r\n\r\n"}, 2, ""},
        {"a coding that cannot be undone", {"HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n0\r\n\r\n"},
         2, "stale"},
        {"chunked named twice",
         {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n"}, 2,
         "stale"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        http.reset_for_test();
        const std::string file = tmp / "out";
        testsupport::write_file(file, "stale");
        scripted_http_server s({gated(r.chunks)});
        use_proxy(s);
        until_request_taken(s, file);
        const std::vector<int> answers = deliver(s, r.chunks, file);
        ASSERT_EQ(answers.size(), r.chunks.size());
        for (size_t i = 0; i + 1 < answers.size(); ++i) EXPECT_EQ(answers[i], 0) << "after chunk " << i;
        EXPECT_EQ(answers.back(), r.answer);
        if (r.answer != 0 || !r.file.empty()) {
            http.reset_for_test();   // closes a file still being written
            EXPECT_EQ(testsupport::read_file(file), r.file);
        }
    }
}

TEST_F(Http, HeadSplitAtEveryByte) {
    const std::string response = "HTTP/1.1 200 OK\r\nServer: t\r\nContent-Length: 5\r\n\r\nhello";
    const size_t head_end = response.find("\r\n\r\n") + 4;
    for (size_t k = 1; k < response.size(); ++k) {
        SCOPED_TRACE("split at " + std::to_string(k));
        http.reset_for_test();
        scripted_http_server s({gated({response.substr(0, k), response.substr(k)})});
        use_proxy(s);
        const std::string file = tmp / "out";
        until_request_taken(s, file);
        const std::vector<int> answers = deliver(s, {response.substr(0, k), response.substr(k)}, file);
        ASSERT_EQ(answers.size(), 2u);
        EXPECT_EQ(answers[0], 0);
        EXPECT_EQ(answers[1], 1);
        EXPECT_EQ(testsupport::read_file(file), "hello");
        if (k >= head_end) {
            ASSERT_NE(http.streams[0], nullptr);
            EXPECT_EQ(http.streams[0]->content_length, 5);
        }
    }
}

TEST_F(Http, FailureBlockForAnErrorStatus) {
    scripted_http_server s({testsupport::answer("HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone")});
    use_proxy(s);
    const std::string file = tmp / "out";
    EXPECT_EQ(fetch(0, "files.example", "/f", file), 2);
    EXPECT_EQ(http.streams[0], nullptr) << "a failure empties the slot";
    EXPECT_FALSE(testsupport::exists(file)) << "no local file for an error answer";
    EXPECT_EQ(http.local_error(0), 0);
    EXPECT_EQ(log(), "HTTP Error for " + file +
                         "\n   server     =files.example\n   file       =/f\n   IsDone     =0\n   IsComplete =0\n"
                         "   IsErr      =0\n   GetStat    =5\n   GetOSErr   =0\n   response   =Not Found (#404)\n\n");
}

// A reset after the request: the failure block shows the last status line read for this stream,
// even one of an earlier response on the same connection, and the status of this one.
TEST_F(Http, FailureBlockAfterAReset) {
    struct row {
        const char* what;
        http_script script;
        std::vector<std::string> paths;   // fetched in turn; all but the last succeed
        std::string response;             // the block's last line
    };
    const std::string one = "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\none";
    const row rows[] = {
        {"a kept connection reset under the next request",
         {http_step::request(), http_step::send(one), http_step::request(), http_step::reset()},
         {"/a", "/b"},
         "   response   =OK (#0)\n\n"},
        {"an interim head, then a reset",
         {http_step::request(), http_step::send("HTTP/1.1 100 Continue\r\n\r\n"), http_step::pause(50),
          http_step::reset()},
         {"/b"},
         "   response   =Continue (#100)\n\n"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        http.reset_for_test();
        xer.open(tmp / "log.txt");
        scripted_http_server s({r.script});
        use_proxy(s);
        for (size_t i = 0; i + 1 < r.paths.size(); ++i) ASSERT_EQ(fetch(0, "files.example", r.paths[i], tmp / "a"), 1);
        EXPECT_EQ(fetch(0, "files.example", r.paths.back(), tmp / "b"), 2);
        EXPECT_EQ(s.connections(), 1);
        EXPECT_EQ(http.streams[0], nullptr);
        EXPECT_EQ(log(), "HTTP Error for " + (tmp / "b") + "\n   server     =files.example\n   file       =" +
                             r.paths.back() +
                             "\n   IsDone     =1\n   IsComplete =0\n   IsErr      =0\n   GetStat    =3\n"
                             "   GetOSErr   =0\n" + r.response);
    }
}

// The server closes its side before the answer is whole: the transfer fails at the poll that
// sees the close, with no wait for the time-out.
TEST_F(Http, AnOrderlyCloseBeforeTheEndFailsAtOnce) {
    struct row {
        const char* what;
        std::string response;
        std::string block_end;   // the failure block from its IsDone line
    };
    const row rows[] = {
        {"body cut short", "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nhello",
         "   IsDone     =0\n   IsComplete =0\n   IsErr      =0\n   GetStat    =5\n   GetOSErr   =0\n"
         "   response   =OK (#200)\n\n"},
        {"chunked body cut short", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n",
         "   IsDone     =0\n   IsComplete =0\n   IsErr      =0\n   GetStat    =5\n   GetOSErr   =0\n"
         "   response   =OK (#200)\n\n"},
        {"no length", "HTTP/1.1 200 OK\r\n\r\nhello",
         "   IsDone     =0\n   IsComplete =0\n   IsErr      =0\n   GetStat    =5\n   GetOSErr   =0\n"
         "   response   =OK (#200)\n\n"},
        {"a status line that cannot be read", "HTTP/1.1 2\r\nContent-Length: 5\r\n\r\nhello",
         "   IsDone     =0\n   IsComplete =0\n   IsErr      =0\n   GetStat    =6\n   GetOSErr   =0\n"
         "   response   = (#0)\n\n"},
        {"nothing at all", "",
         "   IsDone     =0\n   IsComplete =0\n   IsErr      =0\n   GetStat    =6\n   GetOSErr   =0\n"
         "   response   = (#0)\n\n"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        http.reset_for_test();
        xer.open(tmp / "log.txt");
        scripted_http_server s({{http_step::request(), http_step::send(r.response), http_step::close()}});
        use_proxy(s);
        const std::string file = tmp / "out";
        EXPECT_EQ(fetch(0, "files.example", "/f", file), 2);
        EXPECT_EQ(xtim.real_time, 1000.0f) << "the frame clock never moved";
        EXPECT_EQ(log(),
                  "HTTP Error for " + file + "\n   server     =files.example\n   file       =/f\n" + r.block_end);
        EXPECT_EQ(http.streams[0], nullptr);
    }
}

TEST_F(Http, ASilentServerTimesOutAfterSixtySecondsWithoutData) {
    struct row {
        const char* what;
        std::string response;
    };
    const row rows[] = {
        {"no answer", ""},
        {"body stalled", "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nhello"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        http.reset_for_test();
        xer.open(tmp / "log.txt");
        xtim.real_time = 1000.0f;
        scripted_http_server s({gated({r.response})});
        use_proxy(s);
        const std::string file = tmp / "out";
        until_request_taken(s, file);
        const std::vector<int> answers = deliver(s, {r.response}, file);
        ASSERT_EQ(answers, std::vector<int>{0});
        xtim.real_time = http.streams[0]->last_activity + 60.0f;
        EXPECT_EQ(http.net_check(0, "files.example", "/f", file), 0) << "60 s exactly is not yet a time-out";
        xtim.real_time = http.streams[0]->last_activity + 60.01f;
        EXPECT_EQ(http.net_check(0, "files.example", "/f", file), 2);
        EXPECT_EQ(log(), "Timeout for " + file + "\n   server     =files.example\n   file       =/f\n\n");
        EXPECT_EQ(http.streams[0], nullptr);
    }
}

TEST_F(Http, ConnectionReuseFollowsTheConnectionField) {
    struct row {
        const char* field;   // the first response's Connection field, or none
        int connections;
    };
    const row rows[] = {{nullptr, 1}, {"keep-alive", 1}, {"close", 2}, {"Close", 2}, {"keep-alive, CLOSE", 2},
                        {"closed", 1}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.field ? r.field : "(none)");
        http.reset_for_test();
        const std::string first = std::string("HTTP/1.1 200 OK\r\n") + (r.field ? "Connection: " : "") +
                                  (r.field ? r.field : "") + (r.field ? "\r\n" : "") + "Content-Length: 3\r\n\r\none";
        const std::string second = "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\ntwo";
        scripted_http_server s({{http_step::request(), http_step::send(first), http_step::request(),
                                 http_step::send(second)},
                                testsupport::answer(second)});
        use_proxy(s);
        EXPECT_EQ(fetch(0, "files.example", "/a", tmp / "a"), 1);
        EXPECT_EQ(fetch(0, "files.example", "/a", tmp / "b"), 1) << "the same path again downloads again";
        EXPECT_EQ(testsupport::read_file(tmp / "a"), "one");
        EXPECT_EQ(testsupport::read_file(tmp / "b"), "two");
        EXPECT_EQ(s.connections(), r.connections);
        EXPECT_EQ(s.all_requests(), request_for("files.example", "/a") + request_for("files.example", "/a"));
    }
}

TEST_F(Http, ProxyPortAloneConnectsToTheServerOnThatPort) {
    scripted_http_server s({testsupport::answer(ok5)});
    http.proxy_port_int = s.port();
    EXPECT_EQ(fetch(0, "127.0.0.1", "/f", tmp / "out"), 1);
    EXPECT_EQ(s.all_requests(), request_for("127.0.0.1", "/f"));
}

TEST_F(Http, FailedLookupFailsAtOnceAndTheCacheIsKeyedByTheResolvedName) {
    EXPECT_EQ(http.net_check(0, "no-such-host.invalid", "/f", tmp / "out"), 2);
    EXPECT_EQ(http.net_check(0, "no-such-host.invalid", "/f", tmp / "out"), 2);
    EXPECT_EQ(log(), "") << "a failed lookup logs nothing";
    EXPECT_FALSE(testsupport::exists(tmp / "out"));

    // Through a proxy only the proxy's name is looked up: the unknown server name does not matter.
    scripted_http_server s({testsupport::answer(ok5)});
    use_proxy(s);
    EXPECT_EQ(fetch(0, "no-such-host.invalid", "/f", tmp / "out"), 1);
    EXPECT_EQ(s.all_requests(), request_for("no-such-host.invalid", "/f"));
}

// A failure of this machine (no folder, a full disk) is told apart from the server's: its own
// log block, and the errno from local_error for the caller.
TEST_F(Http, LocalFileProblemsAreReportedAsLocal) {
    struct row {
        const char* what;
        std::string file;
        int os_error;
    };
    const row rows[] = {
        {"folder missing", tmp / "no/such/folder/out", ENOENT},
        {"disk full when the file is closed", "/dev/full", ENOSPC},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        http.reset_for_test();
        xer.open(tmp / "log.txt");
        scripted_http_server s({testsupport::answer(ok5)});
        use_proxy(s);
        EXPECT_EQ(fetch(0, "files.example", "/f", r.file), 2);
        EXPECT_EQ(http.local_error(0), r.os_error);
        EXPECT_EQ(log(), "Local file error for " + r.file + "\n   server     =files.example\n   file       =/f\n"
                             "   errno      =" + std::to_string(r.os_error) + " (" + std::strerror(r.os_error) +
                             ")\n\n");
    }
    // The next transfer on the stream starts with no local error.
    scripted_http_server s({testsupport::answer(ok5)});
    use_proxy(s);
    EXPECT_EQ(fetch(0, "files.example", "/f", tmp / "out"), 1);
    EXPECT_EQ(http.local_error(0), 0);
}

// A small file system that fills up under the download, as a full temporary disk would.
TEST_F(Http, AFullDiskIsALocalError) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root; /dev/full covers the local error";
    const std::string disk = tmp / "disk";
    ASSERT_EQ(::mkdir(disk.c_str(), 0700), 0);
    if (::mount("tmpfs", disk.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    const std::string body(300000, 'x');
    {
        scripted_http_server s({testsupport::answer("HTTP/1.1 200 OK\r\nContent-Length: 300000\r\n\r\n" + body)});
        use_proxy(s);
        EXPECT_EQ(fetch(0, "files.example", "/f", disk + "/out"), 2);
        EXPECT_EQ(http.local_error(0), ENOSPC);
        EXPECT_EQ(log().rfind("Local file error for " + disk + "/out\n", 0), 0u) << log();
        EXPECT_EQ(log().find("HTTP Error"), std::string::npos) << "the server is not blamed";
    }
    http.reset_for_test();
    ::umount2(disk.c_str(), MNT_DETACH);
}

TEST_F(Http, RefusedConnectionFails) {
    const refusing_port dead;
    http.proxy_host = "127.0.0.1";
    http.proxy_port_int = dead.port;
    EXPECT_EQ(fetch(0, "files.example", "/f", tmp / "out"), 2);
    EXPECT_NE(log().find("HTTP Error for " + (tmp / "out")), std::string::npos);
    EXPECT_NE(log().find("   response   = (#0)\n\n"), std::string::npos) << log();
}

TEST_F(Http, AskingForAnotherFileAbandonsTheRunningTransfer) {
    scripted_http_server s({{http_step::request(), http_step::send("HTTP/1.1 200 OK\r\nContent-Le")},
                            testsupport::answer("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nnew")});
    use_proxy(s);
    for (int i = 0; i < 50; ++i) {
        ASSERT_EQ(http.net_check(0, "files.example", "/old", tmp / "old"), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(fetch(0, "files.example", "/new", tmp / "new"), 1);
    EXPECT_EQ(testsupport::read_file(tmp / "new"), "new");
    EXPECT_EQ(s.connections(), 2);
    const auto reqs = s.requests();
    ASSERT_EQ(reqs.size(), 2u);
    EXPECT_EQ(reqs[1], request_for("files.example", "/new"));
}

TEST_F(Http, StreamsRunSideBySide) {
    scripted_http_server s({testsupport::answer("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nA"),
                            testsupport::answer("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nB")});
    use_proxy(s);
    int a = 0, b = 0;
    for (int i = 0; i < 5000 && (a == 0 || b == 0); ++i) {
        if (a == 0) a = http.net_check(3, "files.example", "/a", tmp / "a");
        if (b == 0) b = http.net_check(5, "files.example", "/b", tmp / "b");
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 1);
    EXPECT_EQ(http.streams.size(), 6u);
    std::string both = testsupport::read_file(tmp / "a") + testsupport::read_file(tmp / "b");
    std::sort(both.begin(), both.end());
    EXPECT_EQ(both, "AB");
}

// Bytes left on a kept-alive connection (a stray response, or the server's close) must never be
// read as the answer to the next request: such a connection is dropped and a new one opened.
TEST_F(Http, AConnectionIsReusedOnlyWhenNothingIsLeftOnIt) {
    const std::string one = "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\none";
    const std::string stray = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nstray";
    const std::string two = "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\ntwo";
    struct row {
        const char* what;
        http_script first;   // the first connection, after it has answered /a
    };
    const row rows[] = {
        {"stray bytes read with the answer", {http_step::request(), http_step::send(one + stray),
                                               http_step::request(), http_step::send(two)}},
        {"a stray answer waiting unread", {http_step::request(), http_step::send(one), http_step::gate(),
                                           http_step::send(stray), http_step::request(), http_step::send(two)}},
        {"the server closed the connection", {http_step::request(), http_step::send(one), http_step::gate(),
                                              http_step::close()}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        http.reset_for_test();
        scripted_http_server s({r.first, testsupport::answer(two)});
        use_proxy(s);
        ASSERT_EQ(fetch(0, "files.example", "/a", tmp / "a"), 1);
        if (s.wait_at_gate(1000)) {
            s.release_gate();
            // Until what the server did after its answer has reached the client.
            const int fd = http.streams[0]->sock->descriptor_for_test();
            for (int i = 0; i < 5000; ++i) {
                char c;
                if (::recv(fd, &c, 1, MSG_PEEK | MSG_DONTWAIT) >= 0) break;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        EXPECT_EQ(fetch(0, "files.example", "/b", tmp / "b"), 1);
        EXPECT_EQ(testsupport::read_file(tmp / "a"), "one");
        EXPECT_EQ(testsupport::read_file(tmp / "b"), "two");
        EXPECT_EQ(s.connections(), 2);
    }
}

// stop_stream in the middle of a body: the connection is dropped, the file closed and never
// written again, and the same request afterwards starts on a new connection.
TEST_F(Http, StopStreamEndsTheTransferForGood) {
    const std::string file = tmp / "out.zip";
    const std::string half = "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nhello";
    scripted_http_server s({{http_step::request(), http_step::send(half), http_step::gate(),
                             http_step::send("world"), http_step::hold()},
                            testsupport::answer("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nfresh")});
    use_proxy(s);
    for (int i = 0; i < 20000 && !(http.streams.size() && http.streams[0] && http.streams[0]->bytes_done == 5); ++i) {
        ASSERT_EQ(http.net_check(0, "files.example", "/f", file), 0);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    ASSERT_EQ(http.streams[0]->bytes_done, 5);
    const int fd = http.streams[0]->sock->descriptor_for_test();

    http.stop_stream(0);
    EXPECT_EQ(http.streams[0], nullptr);
    EXPECT_EQ(open_descriptors_on(file), 0) << "the local file is closed";
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1) << "the connection is closed";
    ::unlink(file.c_str());   // what resetting the streams does next
    s.release_gate();         // the old connection's rest goes nowhere

    EXPECT_EQ(fetch(0, "files.example", "/f", file), 1);
    EXPECT_EQ(testsupport::read_file(file), "fresh");
    EXPECT_EQ(s.connections(), 2);
    http.stop_stream(0);   // a complete stream, and streams never used, stop quietly
    http.stop_stream(40);
    http.stop_stream(-1);
    EXPECT_EQ(log(), "");
}

namespace {
std::atomic<int> lookups{0};
std::atomic<bool> lookups_fail{true};
std::mutex lookup_gate;

unsigned long counting_lookup(const char* host) {
    std::lock_guard<std::mutex> wait_for_the_test(lookup_gate);
    ++lookups;
    return lookups_fail ? 0 : PCSBSocket::LookupAddress(host);
}
}  // namespace

// A failed lookup is believed for a few seconds, then the name is looked up again: the network
// may be back.
TEST_F(Http, AFailedLookupIsTriedAgainAfterAFewSeconds) {
    lookups = 0;
    lookups_fail = true;
    http.lookup_address = counting_lookup;
    scripted_http_server s(
        {{http_step::request(), http_step::send(ok5), http_step::request(), http_step::send(ok5)}});
    use_proxy(s);
    EXPECT_EQ(http.net_check(0, "files.example", "/f", tmp / "out"), 2);
    xtim.real_time += http_lookup_retry_seconds;
    EXPECT_EQ(http.net_check(0, "files.example", "/f", tmp / "out"), 2);
    EXPECT_EQ(lookups, 1) << "not asked again within the retry time";
    lookups_fail = false;
    xtim.real_time += 0.1f;
    EXPECT_EQ(fetch(0, "files.example", "/f", tmp / "out"), 1);
    EXPECT_EQ(lookups, 2);
    EXPECT_EQ(fetch(0, "files.example", "/f", tmp / "out"), 1) << "a found address is kept";
    EXPECT_EQ(lookups, 2);
    EXPECT_EQ(log(), "");
    http.lookup_address = &PCSBSocket::LookupAddress;
}

// Stopping a stream whose lookup runs on a pool thread: nothing waits for it, and its answer is
// still taken up by the next request.
TEST_F(Http, StopStreamWithALookupInFlight) {
    THREAD_init();
    thread_gl_hooks.threaded_avail = [] { return 0; };
    g_threadpool = new UTL_threadpool(1);
    lookups = 0;
    lookups_fail = false;
    http.lookup_address = counting_lookup;
    scripted_http_server s({testsupport::answer(ok5)});
    use_proxy(s);
    {
        std::unique_lock<std::mutex> hold(lookup_gate);
        EXPECT_EQ(http.net_check(0, "files.example", "/f", tmp / "out"), 0);
        http.stop_stream(0);
        EXPECT_EQ(http.net_check(0, "files.example", "/f", tmp / "out"), 0);
    }
    EXPECT_EQ(fetch(0, "files.example", "/f", tmp / "out"), 1);
    EXPECT_EQ(lookups, 1);
    http.lookup_address = &PCSBSocket::LookupAddress;
    http.reset_for_test();
    THREAD_shutdown();
}

// The same failure every second for an hour: one block and a few counts, not 3600 blocks.
TEST_F(Http, ARepeatedFailureIsLoggedOnceWithACount) {
    const refusing_port dead;
    http.proxy_host = "127.0.0.1";
    http.proxy_port_int = dead.port;
    for (int i = 0; i < 3600; ++i) ASSERT_EQ(fetch(0, "files.example", "/f", tmp / "out"), 2);
    const std::string block = log().substr(0, log().find("\n\n") + 2);
    EXPECT_EQ(block.rfind("HTTP Error for " + (tmp / "out") + "\n", 0), 0u);
    const std::string counted = "HTTP Error for " + (tmp / "out") + ": repeated ";
    EXPECT_EQ(log(), block + counted + "10 more times\n" + counted + "100 more times\n" + counted +
                         "1000 more times\n");

    // Once the server answers, the count is closed and a new failure is written in full.
    scripted_http_server s({testsupport::answer(ok5)});
    use_proxy(s);
    EXPECT_EQ(fetch(0, "files.example", "/f", tmp / "out"), 1);
    EXPECT_EQ(log().substr(block.size()), counted + "10 more times\n" + counted + "100 more times\n" + counted +
                                              "1000 more times\n" + counted + "3599 more times\n");
}
