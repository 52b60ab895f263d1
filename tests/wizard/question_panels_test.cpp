// The engine's questions run as the wizard's modal panels, frame by frame through the event pump
// with a moved frame clock and a recorded GL: which press answers what, that nothing else
// answers, and what the engine then does with a locally changed file.
#include "wizard/question_panels.h"

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
#include "render/panel_record.h"

namespace {

class QuestionPanels : public testsupport::PanelFrames {
protected:
    void SetUp() override {
        PanelFrames::SetUp();
        offer_question_panels();
    }
    void TearDown() override {
        question_panels = question_panels_t();
        PanelFrames::TearDown();
    }
};

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

}  // namespace
