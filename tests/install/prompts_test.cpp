// The engine's announcements: their alerts, the web pages they open, the end of the program.
#include "install/prompts.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "core/alert.h"
#include "core/app_globals.h"
#include "core/log.h"
#include "core/shell_services.h"
#include "install/install_state.h"
#include "platform/web_page.h"
#include "support/temp_dir.h"

namespace {

// The announcements: their alert lines, the page they open, and the end of the program.
std::vector<std::string> g_alerts;
void record_alert(int, const std::string& l1, const std::string& l2, const std::string& l3, const std::string& l4,
                  int type, const std::string&) {
    g_alerts.push_back(std::to_string(type) + "|" + l1 + "|" + l2 + "|" + l3 + "|" + l4);
}

class Announcements : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(xer.open(tmp / "log.txt"));
        testsupport::write_file(tmp / "opener", "#!/bin/sh\necho \"$1\" >> \"$(dirname \"$0\")/opened\"\n");
        ::chmod((tmp / "opener").c_str(), 0755);
        platform_set_web_page_program(tmp / "opener");
        g_shell.alert_panel = &record_alert;
        ogl_inited = 1;
        g_alerts.clear();
        app_done = 0;
        stg_set_initial();
    }
    void TearDown() override {
        g_shell.alert_panel = nullptr;
        ogl_inited = 0;
        app_done = 0;
        stg_set_initial();
        dest_dir_path.clear();
        platform_set_web_page_program("");
        xer.close();
    }
    std::string opened() { return testsupport::read_file(tmp / "opened"); }
    testsupport::temp_dir tmp;
};

TEST_F(Announcements, ANewerInstallerOpensOnlyAWebAddressAndEndsTheRunEitherWay) {
    const std::string lines =
        "1|There is a newer version of the Ventaro web demo installer available.|I will take you to the web page "
        "where you can downoad it.||";
    struct row {
        const char* url;
        bool opens;
    } rows[] = {
        {"http://example.test/get.html", true},
        {"HTTPS://example.test/get", true},
        {"file:///etc/passwd", false},
        {"javascript:alert(1)", false},
        {"/Applications/Something.app", false},
        {"", false},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.url);
        ::unlink((tmp / "opened").c_str());
        g_alerts.clear();
        app_done = 0;
        new_installer(r.url);
        EXPECT_EQ(g_alerts, std::vector<std::string>{lines});
        EXPECT_EQ(opened(), r.opens ? std::string(r.url) + "\n" : "");
        EXPECT_EQ(app_done, 1);
    }
}

TEST_F(Announcements, ANewerFormatAndAFolderThatCannotBeMade) {
    new_format("/tmp/x/serverlist9.txt");
    ASSERT_EQ(g_alerts.size(), 1u);
    EXPECT_EQ(g_alerts[0].rfind("1|OK I am checking the Quillon Research servers and I am finding file formats that "
                                "are newer than I can understand!|In other words, you need to get a new installer!|"
                                "No problem... grab it at the download section of ",
                                0),
              0u)
        << g_alerts[0];
    EXPECT_NE(g_alerts[0].find("|/tmp/x/serverlist9.txt"), std::string::npos);
    EXPECT_NE(opened().find("/demo.html\n"), std::string::npos);
    EXPECT_EQ(stg.format_flag, 2);
    EXPECT_EQ(app_done, 1);

    g_alerts.clear();
    app_done = 0;
    dest_dir_path = "/dest/";
    make_dir_error("/A/B", 2);
    ASSERT_EQ(g_alerts.size(), 1u);
    EXPECT_NE(g_alerts[0].find("|Install Location: /dest/|Install Path:/A/B"), std::string::npos) << g_alerts[0];
    EXPECT_EQ(g_alerts[0].rfind("1|I am unable to install or update Ventaro.", 0), 0u);
    EXPECT_EQ(app_done, 0);
}

}  // namespace
