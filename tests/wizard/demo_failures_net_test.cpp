// What Check Servers and Install show while the servers fail, frame by frame as the wizard frame
// calls them, against a loopback server that answers as a broken mirror would: the failing host,
// its error and the seconds before the next try, from the first failure on; no percent while a
// file's length is unknown.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "../render/recorded_draw.h"
#include "core/frame_clock.h"
#include "files/http.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/scheduler.h"
#include "install/server_list.h"
#include "files/sockets.h"
#include "support/scripted_http_server.h"
#include "support/temp_dir.h"
#include "wizard/demo_screens.h"

namespace {

using namespace drawtest;
using testsupport::http_script;
using testsupport::http_step;
using testsupport::answer;
using testsupport::scripted_http_server;

unsigned long no_address(const char*) { return 0; }

const std::string kFailed500 = "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n";

class DemoFailures : public RecordedText {
protected:
    void SetUp() override {
        RecordedText::SetUp();
        demo_screens_reset_for_test();
        server_list_reset_for_test();
        http.reset_for_test();
        sim_info.clear();
        servers.clear();
        stg_set_initial();
        install_name = "Demo Set";
        temp_path = t.path() + "/";
        dest_dir_path = t.path() + "/dest/";
        xtim.real_time = 100.0f;
    }
    void TearDown() override {
        next.reset_all_streams();
        http.reset_for_test();
        http.lookup_address = &PCSBSocket::LookupAddress;
        http.proxy_host.clear();
        http.proxy_port_int = 0;
        servers.clear();
        sim_info.clear();
        demo_screens_reset_for_test();
        RecordedText::TearDown();
    }
    void through_proxy(const scripted_http_server& s) {
        http.proxy_host = "127.0.0.1";
        http.proxy_port_int = s.port();
    }
    wizard_screen call(screen_func f, int first) {
        wizard_screen w;
        f(first, w);
        rec.take();
        return w;
    }
    // Calls the screen once a frame, the frame clock moving 0.02 s, until done says so; the last
    // record. Each frame gives the loopback server a moment, so a busy machine takes more frames.
    wizard_screen until(screen_func f, const std::function<bool(const wizard_screen&)>& done) {
        wizard_screen w = call(f, 1);
        for (int i = 0; i < 1000 && !done(w); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            xtim.real_time += 0.02f;
            w = call(f, 0);
        }
        return w;
    }
    void one_file_to_install() {
        file_version_struct v;
        v.path = "Demo Set/Resources/a.dat";
        v.sig_want = "0123456789abcdef0123456789abcdef";
        v.sig_have = "NONE";
        v.comp_size = 10;
        v.uncomp_size = 20;
        v.install = 1;
        file_history_struct h;
        h.versions.push_back(v);
        sim_info.push_back(h);
        stg.download_size = 10;
        stg.needed_space = 20;
    }
    testsupport::temp_dir t;
};

TEST_F(DemoFailures, CheckServersNamesTheListHostThatCannotBeFound) {
    http.lookup_address = no_address;
    const wizard_screen w = call(demo_get_updates, 1);
    EXPECT_EQ(w.text, "There was a problem reading information from the servers.\n\n" VENTARO_SERVER_HOST
                      ": We could not find the server over the network.  Will retry in 1 second.");
    EXPECT_LT(w.progress, 0.0f);
}

TEST_F(DemoFailures, CheckServersShowsAManifestServerAnswering500) {
    scripted_http_server s({answer(kFailed500), answer(kFailed500), answer(kFailed500)});
    through_proxy(s);
    servers = {{"m1.test", "/sets/Demo Set/", "m1"}};
    const wizard_screen w =
        until(demo_get_updates, [](const wizard_screen& w) { return w.text.find("retry") != std::string::npos; });
    EXPECT_EQ(w.text, "There was a problem reading information from the servers.\n\nm1.test: Server is not responding "
                      "normally.  Will retry in 1 second.");
    EXPECT_EQ(w.progress_text.find("0% done"), std::string::npos);

    // Still shown while the next attempts fail the same way, the countdown at its end.
    xtim.real_time += 2.0f;
    EXPECT_EQ(call(demo_get_updates, 0).text.rfind("There was a problem reading information from the servers.", 0), 0u);
}

TEST_F(DemoFailures, InstallShowsNoPercentUntilTheLengthAndThenTheFailingServer) {
    one_file_to_install();
    http_script gated{http_step::request(), http_step::gate(), http_step::send(kFailed500)};
    scripted_http_server s({gated});
    through_proxy(s);
    servers = {{"m1.test", "/sets/Demo Set/", "m1"}};
    demo_install_is_running = 1;   // past the first frame's decisions

    // Connected, asked, no head yet: the file's length is unknown.
    wizard_screen w = until(demo_run_patch, [&](const wizard_screen&) { return s.wait_at_gate(0); });
    ASSERT_TRUE(s.wait_at_gate(5000));
    w = call(demo_run_patch, 0);
    EXPECT_EQ(w.progress_text, "Downloading and installing a.dat.zip.");
    EXPECT_EQ(w.text, "");

    // The server fails: its line shows although nothing is installed yet.
    s.release_gate();
    w = until(demo_run_patch, [](const wizard_screen& w) { return !w.text.empty(); });
    // The failure is read in this frame or the one before it (0.02 s earlier), as the machine's
    // load has it: the countdown starts at 30 or has just passed 29.98.
    EXPECT_THAT(w.text, testing::AnyOf("m1.test: Server is not responding normally.  Will retry in 30 seconds.",
                                       "m1.test: Server is not responding normally.  Will retry in 29 seconds."));
    EXPECT_EQ(w.progress_text.find('-'), std::string::npos) << w.progress_text;
    xtim.real_time += 29.5f;
    EXPECT_EQ(call(demo_run_patch, 0).text, "m1.test: Server is not responding normally.  Will retry in 0 seconds.");
}

}  // namespace
