// The engine's questions run as modal panels, frame by frame through the event pump with a moved
// frame clock and a recorded GL: which press answers what, that nothing else answers, what the
// engine then does with a locally changed file; and the announcements' alerts and web pages.
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
#include "core/mouse_record.h"
#include "core/shell_services.h"
#include "install/install_filter.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "platform/clock.h"
#include "platform/events.h"
#include "platform/web_page.h"
#include "shell/event_pump.h"
#include "support/panel_frames.h"
#include "support/temp_dir.h"
#include "ui/menus.h"
#include "ui/panel_record.h"

namespace {

class QuestionPanels : public testsupport::PanelFrames {};

// Panel 996 is 750 x 146, panel 997 700 x 206: centred in 800 x 600 at these offsets.
constexpr float k996x = 25, k996y = 227, k997x = 50, k997y = 197;

TEST_F(QuestionPanels, EachButtonOfTheChangedFileQuestionGivesItsAnswer) {
    struct row {
        float x, y;   // the press, in the panel
        int answer;
    } rows[] = {
        {96, 53, 1},    {96, 28, 2},    {308, 53, 4},   {308, 28, 5},   {584, 28, 3},
        // Edges of the hit boxes (width by 20) count.
        {16, 43, 1},    {176, 63, 1},   {178, 43, 4},   {438, 18, 5},   {684, 38, 3},
    };
    for (const int del : {0, 1}) {
        for (const row& r : rows) {
            SCOPED_TRACE(testing::Message() << "delete " << del << " press " << r.x << "," << r.y);
            frames = 0;
            // The first frame passes without a press; the press lands on the second.
            script = [&](int n) {
                if (n == 1) press(k996x, k996y, r.x, r.y);
            };
            EXPECT_EQ(select_alert("/dest/r/changed.txt", del), r.answer);
            EXPECT_EQ(frames, 2);
            EXPECT_EQ(panel_in_frame, 996);
            EXPECT_EQ(wins.panel_id, 0);   // the answer closes the panel
        }
    }
}

TEST_F(QuestionPanels, TheChangedFileQuestionShowsItsTextsAndWaitsForAButton) {
    const std::string path = "/dest/Resources/plugins/" + std::string(150, 'p') + ".txt";   // wraps
    struct row {
        int del;
        const char* first;
        const char* second;
        const char* act;
        const char* act_all;
    } rows[] = {
        {0, "I am about to install:", "but it appears you have modified this file. What to do?",
         "OVERWRITE THE OLD FILE", "OVERWRITE EVERY OLD FILE IN THIS DIRECTORY"},
        {1, "I am about to DELETE:",
         "because we no longer use this file, but it appears you have modified it. What to do?",
         "DELETE THE OLD FILE", "DELETE EVERY OLD FILE IN THIS DIRECTORY"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.act);
        frames = 0;
        bool texts_ok = false, captions_ok = false;
        script = [&](int n) {
            if (n == 1) {
                // Neither keys nor presses beside the buttons answer.
                key(53, 27);
                key(36, 13);
                press(k996x, k996y, 400, 100);
            }
            // From the second frame on every glyph is in the atlas, so a text draws the same again.
            if (n == 2) {
                texts_ok = drew(48, 20, 100, r.first, 710) && drew(48, 20, 90, path, 710) &&
                           drew(48, 20, 80, r.second, 710);
                captions_ok = drew_caption(96, 53, r.act) && drew_caption(96, 28, "KEEP THE OLD FILE") &&
                              drew_caption(308, 53, r.act_all) &&
                              drew_caption(308, 28, "KEEP EVERY OLD FILE IN THIS DIRECTORY") &&
                              drew_caption(584, 28, "CANCEL THE WHOLE INSTALLATION!");
            }
            if (n == 3) press(k996x, k996y, 96, 28);
        };
        EXPECT_EQ(select_alert(path, r.del), 2);
        EXPECT_TRUE(texts_ok);
        EXPECT_TRUE(captions_ok);
        EXPECT_EQ(frames, 4);
        EXPECT_EQ(title_in_frame, "SAY INTENTIONS");
    }
}

TEST_F(QuestionPanels, AQuestionWhosePanelIsReplacedOrCannotOpenAnswersThree) {
    script = [](int n) {
        if (n == 2) wins.start_win(0);
    };
    EXPECT_EQ(select_alert("/dest/a", 0), 3);
    EXPECT_EQ(frames, 2);
    frames = 0;
    script = [](int n) {
        if (n == 1) wins.start_win(2);
    };
    EXPECT_EQ(abort_alert("Stop?", "Stop", "the update.", "Continue", "the update process."), 3);
    EXPECT_EQ(frames, 1);

    // Without a window nobody can be asked; nothing is drawn and no panel opens.
    wins.start_win(0);
    ogl_inited = 0;
    frames = 0;
    rec.take();
    EXPECT_EQ(select_alert("/dest/a", 1), 3);
    EXPECT_EQ(abort_alert("Stop?", "Stop", "", "Continue", ""), 3);
    EXPECT_EQ(frames, 0);
    EXPECT_EQ(wins.panel_id, 0);
}

TEST_F(QuestionPanels, TheTwoButtonQuestionAnswersOneForTheFirstButtonWhateverItSays) {
    const std::string question =
        "Are you sure you want to cancel the installation? This will delete the partially installed copy of the "
        "Ventaro 9 demo.";
    const std::string cancel_text = "the demo installation and delete partial installation.";
    // Long enough to wrap where the texts wrap, 210 units short of the panel's width.
    const std::string continue_text =
        "the demo installation process, which goes on fetching and unpacking every file from every mirror.";
    struct row {
        float x, y;
        int answer;
    } rows[] = {
        {96, 56, 1},   // the first button: the callers put Cancel (or Stop) there
        {96, 31, 0},   // the second: Continue
        {46, 66, 1},   {146, 21, 0},   // hit-box corners
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << "press " << r.x << "," << r.y);
        frames = 0;
        bool texts_ok = false;
        script = [&](int n) {
            if (n == 1) {
                key(53, 27);   // Escape is no answer
                press(k997x, k997y, 300, 150);
            }
            if (n == 2) {
                texts_ok = drew(48, 20, 160, question, 660) && drew(48, 150, 53, cancel_text, 490) &&
                           drew(48, 150, 28, continue_text, 490) && drew_caption(96, 56, "Cancel") &&
                           drew_caption(96, 31, "Continue");
                press(k997x, k997y, r.x, r.y);
            }
        };
        EXPECT_EQ(abort_alert(question, "Cancel", cancel_text, "Continue", continue_text), r.answer);
        EXPECT_TRUE(texts_ok);
        EXPECT_EQ(frames, 3);
        EXPECT_EQ(panel_in_frame, 997);
        EXPECT_EQ(title_in_frame, "SAY INTENTIONS");
        EXPECT_EQ(wins.panel_id, 0);
    }
}

// The engine asks through the real panel about locally changed files and acts on the answer.
const std::string kWant(32, 'a'), kChanged(32, 'e');

void add_changed(const std::string& path, bool gone) {
    file_history_struct h;
    file_version_struct v;
    v.path = path;
    v.sig_want = kWant;
    v.uncomp_size = 1;
    h.versions.push_back(v);
    if (gone) {
        v.sig_want = "GONE";
        h.versions.push_back(v);
    }
    h.current().sig_have = kChanged;
    sim_info.push_back(h);
}

TEST_F(QuestionPanels, TheEngineKeepsReplacesDeletesOrStopsAsTheUserAnswers) {
    struct row {
        const char* name;
        std::vector<std::pair<float, float>> presses;   // one per question asked, in order
        int result;                                     // of choose_files
        const char* flags;                              // per file: I install, D delete, - leave alone
    } rows[] = {
        {"keep each", {{96, 28}, {96, 28}, {96, 28}}, 1, "---"},
        {"act on each", {{96, 53}, {96, 53}, {96, 53}}, 1, "IDI"},
        {"act for the folder", {{308, 53}, {96, 28}}, 1, "ID-"},
        {"keep for the folder", {{308, 28}, {96, 53}}, 1, "--I"},
        {"cancel at the first", {{584, 28}}, 0, "---"},
        {"cancel at the second", {{96, 53}, {584, 28}}, 0, "I--"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        stg_set_initial();
        set_install_filter(1, 1);
        dest_dir_path = "/dest/";
        sim_info.clear();
        add_changed("V/r/one", false);
        add_changed("V/r/two", true);
        add_changed("V/other/three", false);
        std::size_t asked = 0;
        frames = 0;
        // Each question takes two frames: the press comes in the first one's pump and answers in
        // the next frame's drawing.
        script = [&](int n) {
            if (n % 2 == 0) return;
            asked = static_cast<std::size_t>(n / 2) + 1;
            if (asked <= r.presses.size())
                press(k996x, k996y, r.presses[asked - 1].first, r.presses[asked - 1].second);
        };
        EXPECT_EQ(choose_files(), r.result);
        EXPECT_EQ(asked, r.presses.size());   // one frame, one press, per question
        std::string flags;
        for (const auto& h : sim_info) flags += h.current().install ? 'I' : h.current().del ? 'D' : '-';
        EXPECT_EQ(flags, r.flags);
        EXPECT_EQ(wins.panel_id, 0);
    }
    sim_info.clear();
    dest_dir_path.clear();
}

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
