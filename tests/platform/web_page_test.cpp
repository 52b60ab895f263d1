#include "platform/web_page.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "support/temp_dir.h"

using namespace testsupport;

// The desktop path goes through xdg-open on PATH; a stub there records what it was given.
TEST(WebPage, TheDesktopOpenerGetsTheAddress) {
    temp_dir t;
    write_file(t / "bin/xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > \"" + (t / "opened") + "\"\n");
    ::chmod((t / "bin/xdg-open").c_str(), 0755);
    const char* old = std::getenv("PATH");
    const std::string saved = old ? old : "";
    ::setenv("PATH", ((t / "bin") + ":" + saved).c_str(), 1);
    const int rc = platform_open_web_page("http://example.invalid/a page?x=1");
    ::setenv("PATH", saved.c_str(), 1);
    EXPECT_EQ(rc, 0);
    // The desktop opener is started detached: give the stub a bounded while to write.
    for (int i = 0; i < 500 && read_file(t / "opened").empty(); ++i) ::usleep(10000);
    EXPECT_EQ(read_file(t / "opened"), "http://example.invalid/a page?x=1");
}

TEST(WebPage, AReplacedOpenerReportsItsFailure) {
    temp_dir t;
    write_file(t / "opener", "#!/bin/sh\nexit 3\n");
    ::chmod((t / "opener").c_str(), 0755);
    platform_set_web_page_program(t / "opener");
    EXPECT_EQ(platform_open_web_page("http://example.invalid/"), 3);
    platform_set_web_page_program(t / "missing-opener");
    EXPECT_NE(platform_open_web_page("http://example.invalid/"), 0);
    platform_set_web_page_program("");
}

// Addresses can come from the network (the newer-installer page): only http and https reach an
// opener; anything else is refused with a log line.
TEST(WebPage, OnlyHttpAndHttpsAddressesAreOpened) {
    temp_dir t;
    static std::string log;
    log.clear();
    platform_set_web_page_log([](const std::string& line) { log += line; });
    write_file(t / "opener", "#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"$(dirname \"$0\")/opened\"\n");
    ::chmod((t / "opener").c_str(), 0755);
    platform_set_web_page_program(t / "opener");
    struct row {
        const char* url;
        bool opened;
    };
    const row rows[] = {
        {"http://example.invalid/get.html", true},
        {"HTTPS://example.invalid/", true},
        {"file:///etc/passwd", false},
        {"FILE:///home", false},
        {"javascript:alert(1)", false},
        {"/usr/bin/xterm", false},
        {"ftp://example.invalid/", false},
        {"http:/example.invalid/", false},
        {"http://", false},
        {" http://example.invalid/", false},
        {"", false},
    };
    std::string opened, logged;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.url);
        EXPECT_EQ(platform_open_web_page(r.url), r.opened ? 0 : EINVAL);
        if (r.opened) opened += std::string(r.url) + "\n";
        else logged += "Refusing to open a web page whose address is not http or https: " + std::string(r.url) + "\n";
    }
    EXPECT_EQ(read_file(t / "opened"), opened);
    EXPECT_EQ(log, logged);
    platform_set_web_page_program("");
    platform_set_web_page_log(nullptr);
}
