// The HTTP client against real nginx mirrors reached through the proxy settings.
#include <stdio.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "core/frame_clock.h"
#include "files/http.h"
#include "files/sockets.h"
#include "core/log.h"
#include "support/nginx_mirror.h"
#include "support/temp_dir.h"

using testsupport::mirror;
using testsupport::nginx_mirrors;

namespace {

// Bytes that do not repeat in any short period, so a misplaced block changes the digest.
std::string noise(size_t size, uint64_t seed) {
    std::string s(size, '\0');
    uint64_t x = seed;
    for (size_t i = 0; i < size; i += 8) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        for (size_t b = 0; b < 8 && i + b < size; ++b) s[i + b] = static_cast<char>(x >> (8 * b));
    }
    return s;
}

std::string md5_of(const std::string& path) {
    FILE* p = ::popen(("md5sum '" + path + "'").c_str(), "r");
    if (!p) return "";
    char buf[33] = {};
    const size_t n = ::fread(buf, 1, 32, p);
    ::pclose(p);
    return std::string(buf, n);
}

class HttpMirrors : public ::testing::Test {
protected:
    void SetUp() override {
        http.reset_for_test();
        xtim.real_time = 500.0f;
        ASSERT_TRUE(xer.open(tmp / "log.txt"));
    }
    void TearDown() override {
        http.reset_for_test();
        http.proxy_host.clear();
        http.proxy_port_int = 0;
        xer.close();
    }
    void use(const nginx_mirrors& m) {
        http.proxy_host = "127.0.0.1";
        http.proxy_port_int = m.port();
    }
    testsupport::temp_dir tmp;
};

}  // namespace

TEST_F(HttpMirrors, LargeFilesFromTwoMirrorsSideBySideArriveIntact) {
    nginx_mirrors m({{"one.mirror"}, {"two.mirror"}});
    use(m);
    testsupport::write_file(m.root("one.mirror") + "set/big file.zip", noise(50'000'000, 1));
    testsupport::write_file(m.root("two.mirror") + "set/small.zip", noise(3'000'001, 2));

    int a = 0, b = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while ((a == 0 || b == 0) && std::chrono::steady_clock::now() < deadline) {
        if (a == 0) a = http.net_check(3, "one.mirror", "/set/big file.zip", tmp / "0.zip");
        if (b == 0) b = http.net_check(4, "two.mirror", "/set/small.zip", tmp / "1.zip");
    }
    ASSERT_EQ(a, 1) << xer.contents_for_test();
    ASSERT_EQ(b, 1);
    EXPECT_EQ(http.streams[3]->bytes_done, 50'000'000);
    EXPECT_EQ(http.streams[3]->content_length, 50'000'000);
    EXPECT_EQ(md5_of(tmp / "0.zip"), md5_of(m.root("one.mirror") + "set/big file.zip"));
    EXPECT_EQ(md5_of(tmp / "1.zip"), md5_of(m.root("two.mirror") + "set/small.zip"));
    EXPECT_NE(m.access_log().find("\"GET http://one.mirror/set/big%20file.zip HTTP/1.1\" 200 50000000"),
              std::string::npos)
        << m.access_log();
}

TEST_F(HttpMirrors, AMirrorAnswering500Fails) {
    nginx_mirrors m({{"broken.mirror", mirror::mode::error_500}});
    use(m);
    const std::string file = tmp / "0.zip";
    int r = 0;
    for (int i = 0; i < 100000 && r == 0; ++i) r = http.net_check(3, "broken.mirror", "/set/a.zip", file);
    EXPECT_EQ(r, 2);
    const std::string log = xer.contents_for_test();
    EXPECT_EQ(log.rfind("HTTP Error for " + file + "\n   server     =broken.mirror\n   file       =/set/a.zip\n", 0), 0u)
        << log;
    EXPECT_NE(log.find("   response   =Internal Server Error (#500)\n\n"), std::string::npos) << log;
    EXPECT_FALSE(testsupport::exists(file)) << "an error page is not saved as the file";
    EXPECT_EQ(http.local_error(3), 0);
    EXPECT_EQ(http.streams[3], nullptr);
}

// A mirror that closes the connection mid-body fails the download as soon as the close is read.
TEST_F(HttpMirrors, ADroppedConnectionFailsAtOnce) {
    nginx_mirrors m({{"dropping.mirror", mirror::mode::drop, 0, 100'000}});
    use(m);
    testsupport::write_file(m.root("dropping.mirror") + "set/a.zip", noise(1'000'000, 3));
    const std::string file = tmp / "0.zip";
    int r = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (r == 0 && std::chrono::steady_clock::now() < until) {
        r = http.net_check(3, "dropping.mirror", "/set/a.zip", file);
        if (r == 0) std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    EXPECT_EQ(r, 2);
    EXPECT_EQ(xtim.real_time, 500.0f) << "no time-out was needed";
    const std::string log = xer.contents_for_test();
    EXPECT_EQ(log.rfind("HTTP Error for " + file + "\n   server     =dropping.mirror\n", 0), 0u) << log;
    EXPECT_NE(log.find("   IsComplete =0\n"), std::string::npos) << log;
    const size_t got = testsupport::read_file(file).size();
    EXPECT_GT(got, 0u);
    EXPECT_LT(got, 1'000'000u);
}

TEST_F(HttpMirrors, AStalledMirrorTimesOut) {
    nginx_mirrors m({{"stalled.mirror", mirror::mode::stall}});
    use(m);
    const std::string file = tmp / "0.zip";
    // A second of silence.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (std::chrono::steady_clock::now() < until) {
        ASSERT_EQ(http.net_check(3, "stalled.mirror", "/set/a.zip", file), 0);
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    down_class* d = http.streams[3];
    EXPECT_FALSE(d->headers_done);
    xtim.real_time = d->last_activity + 60.0f;
    EXPECT_EQ(http.net_check(3, "stalled.mirror", "/set/a.zip", file), 0);
    xtim.real_time = d->last_activity + 60.5f;
    EXPECT_EQ(http.net_check(3, "stalled.mirror", "/set/a.zip", file), 2);
    EXPECT_EQ(xer.contents_for_test(),
              "Timeout for " + file + "\n   server     =stalled.mirror\n   file       =/set/a.zip\n\n");
}
