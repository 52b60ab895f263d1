// The file dialog on a generated folder tree, driven frame by frame: each of the dialog's own
// frames runs one scripted step (clicks and keys through the event seam) and then the frame
// pump. What a test checks is what the dialog hands back and what it drew.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "core/app_globals.h"
#include "core/shell_services.h"
#include "files/launch.h"
#include "shell/keys.h"
#include "support/temp_dir.h"
#include "ui/file_dialog.h"
#include "ui/focus.h"
#include "widget_frames.h"

namespace {

using widgettest::WidgetFrames;

constexpr int kCodeAny = 10, kCodeReturn = 36, kCodeEscape = 53, kCodeDelete = 117;

struct script_state {
    std::vector<std::function<void()>> steps;
    std::size_t next = 0;
    int idle = 0;
    std::vector<std::string> last_frame;   // what the dialog drew in the frame before this step
    gl_recorder* rec = nullptr;
};
script_state g_run;

// One of the dialog's frames: the next step's input, then the pump. A script that has run out
// closes the panel, which ends the dialog.
void scripted_pass() {
    g_run.last_frame = g_run.rec->take();
    if (g_run.next < g_run.steps.size()) g_run.steps[g_run.next++]();
    else if (++g_run.idle > 3) wins.start_win(0);
    platform::test_clock_advance(16667);
    MACIBM_event_proc();
}

platform::input_event key_event(int kind, int code, uint32_t ch) {
    platform::input_event e;
    e.kind = kind;
    e.key_code = code;
    e.ch = ch;
    e.lower = e.upper = ch;
    return e;
}

class FileDialog : public WidgetFrames {
protected:
    void SetUp() override {
        WidgetFrames::SetUp();
        keys = keys_class();
        focus_ring.clear();
        focus_id = wind_focus = 0;
        BTN_file_dialog_reset_for_test();
        saved_app_path = app_path;
        app_path = tmp.path() + "/";
        g_run = script_state{};
        g_run.rec = &rec;
        saved_pump = g_shell.event_proc;
        g_shell.event_proc = &scripted_pass;
        build_tree();
    }
    void TearDown() override {
        ::chmod((tmp / "locked").c_str(), 0755);
        g_shell.event_proc = saved_pump;
        app_path = saved_app_path;
        BTN_file_dialog_reset_for_test();
        focus_id = 0;
        WidgetFrames::TearDown();
    }

    void build_tree() {
        for (const char* d : {"Output", "Output/situations", "Output/replays", "\xC3\x84rger", "\xC3\x84rger/Unterordner",
                              "\xE6\x97\xA5\xE6\x9C\xAC", "locked"})
            ::mkdir((tmp / d).c_str(), 0755);
        testsupport::write_file(tmp / "readme.txt", "x");
        testsupport::write_file(tmp / "\xC3\x84rger/Gr\xC3\xBC\xC3\x9F" "e.TXT", "x");
        testsupport::write_file(tmp / "Output/replays/old.REP", "x");
        ::mkdir((outside.path() + "/far").c_str(), 0755);
        testsupport::write_file(outside / "target.SIT", "theirs");
        ::symlink((outside.path() + "/far").c_str(), (tmp / "far_link").c_str());
        ::symlink((outside / "target.SIT").c_str(), (tmp / "Output/situations/link.SIT").c_str());
    }

    // Steps: a key typed, text typed, a click (press, then release in the next frame), a check.
    void key(int code, uint32_t ch = 0) {
        g_run.steps.push_back([=] {
            platform::push_test_event(key_event(platform::ev_key_down, code, ch));
            platform::push_test_event(key_event(platform::ev_key_up, code, ch));
        });
    }
    // Each code point of a UTF-8 text as a key that types it.
    void type(const std::string& utf8) {
        for (std::size_t i = 0; i < utf8.size();) {
            const auto c = static_cast<unsigned char>(utf8[i]);
            const int n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
            uint32_t cp = n == 1 ? c : c & (0x3F >> (n - 1));
            for (int k = 1; k < n; ++k)
                cp = cp << 6 | (static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]) & 0x3F);
            key(kCodeAny, cp);
            i += static_cast<std::size_t>(n);
        }
    }
    // A press a while after anything before (no double click, a new type-ahead search), then
    // its release; a press that ends the dialog has no frame left for the release.
    void click(float x, float y, bool ends = false) {
        g_run.steps.push_back([=] {
            platform::test_clock_advance(1100000);
            point(x, y);
            press();
        });
        if (!ends) g_run.steps.push_back([] { release(); });
    }
    void then(std::function<void()> check) { g_run.steps.push_back(std::move(check)); }
    void wait() { then([] {}); }

    // The list row of item `item` when `middle` is on the middle row (y 180).
    static float row(int item, int middle) { return 180.0f - 10.0f * static_cast<float>(item - middle); }

    int run(int panel, int type, std::string* path) {
        const int r = BTN_opensave(panel, type, path);
        EXPECT_EQ(g_run.next, g_run.steps.size()) << "the dialog ended before its script";
        return r;
    }

    // Text drawn in the previous frame inside a box of the panel.
    bool text_in(float x0, float y0, float x1, float y1) const {
        for (const auto& q : widgettest::glyphs(widgettest::seen_quads(g_run.last_frame, gl_name(tex_ref_interface)))) {
            const double cx = (q.x0 + q.x1) / 2 - wins.off_x, cy = (q.y0 + q.y1) / 2 - wins.off_y;
            if (cx >= x0 && cx <= x1 && cy >= y0 && cy <= y1) return true;
        }
        return false;
    }

    testsupport::temp_dir tmp, outside;
    std::string saved_app_path;
    void (*saved_pump)() = nullptr;
};

TEST_F(FileDialog, SavingANameGivesThePathWithTheTypesExtension) {
    const struct {
        const char* start;
        const char* typed;
        const char* result;
    } cases[] = {
        {"", "flight.txt", "Output/situations/flight.SIT"},   // the type's own folder
        {"", "a.b", "Output/situations/a.b.SIT"},
        {"", "abcd.x", "Output/situations/abcd.x.SIT"},
        {"Output/replays/old.REP", "x", "Output/replays/x.SIT"},   // the given path's folder
        {"Output/replays/", "x", "Output/x.SIT"},                  // a folder path: its parent
        {"old.REP", "\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9.SIT"},  // no folder: the base folder
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        g_run = script_state{};
        g_run.rec = &rec;
        focus_id = 0;
        wait();   // the name field takes the focus in the first frame
        type(c.typed);
        key(kCodeReturn);
        std::string path = c.start;
        EXPECT_EQ(run(999, 9, &path), 1);
        EXPECT_EQ(path, c.result);
        EXPECT_EQ(wins.id, 0);   // the panel open before is back
    }
}

TEST_F(FileDialog, CancelEscapeAndAnEmptyNameLeaveThePathAlone) {
    for (const int how : {0, 1}) {
        g_run = script_state{};
        g_run.rec = &rec;
        focus_id = 0;
        key(kCodeReturn);   // nothing typed: nothing saved
        wait();
        if (how == 0) click(33, 18, true);
        else key(kCodeEscape);
        std::string path = "Output/replays/old.REP";
        EXPECT_EQ(run(999, 10, &path), 0);
        EXPECT_EQ(path, "Output/replays/old.REP");
        EXPECT_EQ(wins.id, 0);
    }
}

TEST_F(FileDialog, OpenEntersAndLeavesFoldersWithNonAsciiNames) {
    // The base folder lists Ärger and 日本 (bytes above 0x7F sort first), far_link (a link:
    // shown, as a plain entry), locked, Output and readme.txt.
    std::vector<std::string> names;
    std::vector<int> kinds;
    ASSERT_EQ(opensave_getitems("", 0, names, kinds), 6);
    ASSERT_EQ(names, (std::vector<std::string>{"\xC3\x84rger", "\xE6\x97\xA5\xE6\x9C\xAC", "far_link", "locked",
                                               "Output", "readme.txt"}));
    EXPECT_NE(kinds[2], 1);   // never entered as a folder
    const int middle = 3;     // half the count

    click(20, row(0, middle));   // Ärger, and the list takes the focus
    key(kCodeReturn);            // entered
    type("g");                   // Grüße.TXT by type-ahead
    wait();
    then([&] { EXPECT_TRUE(text_in(25, 300, 200, 420)); });   // the folder's staircase
    key(kCodeDelete);            // up again
    then([] { platform::test_clock_advance(1100000); });   // a pause: a new search
    type("R");
    key(kCodeReturn);            // readme.txt
    std::string path;
    EXPECT_EQ(run(998, 0, &path), 1);
    EXPECT_EQ(path, "readme.txt");

    // In the folder, a file is chosen.
    g_run = script_state{};
    g_run.rec = &rec;
    click(20, row(0, middle));
    key(kCodeReturn);
    type("g");
    key(kCodeReturn);
    path.clear();
    EXPECT_EQ(run(998, 0, &path), 1);
    EXPECT_EQ(path, "\xC3\x84rger/Gr\xC3\xBC\xC3\x9F" "e.TXT");
}

TEST_F(FileDialog, ALinkOutOfTheTreeIsNeverWrittenThrough) {
    // Saving the name of a link: refused with a message, the dialog stays; Cancel ends it.
    focus_id = 0;
    wait();
    type("link");
    key(kCodeReturn);
    wait();
    then([&] { EXPECT_TRUE(text_in(15, 28, 320, 44)); });   // the notice above the buttons
    key(kCodeEscape);
    std::string path;
    EXPECT_EQ(run(999, 9, &path), 0);
    EXPECT_EQ(path, "");
    EXPECT_EQ(testsupport::read_file(outside / "target.SIT"), "theirs");

    // A name with a slash would leave the folder: refused the same way.
    g_run = script_state{};
    g_run.rec = &rec;
    focus_id = 0;
    wait();
    type("../../x");
    key(kCodeReturn);
    wait();
    key(kCodeEscape);
    EXPECT_EQ(run(999, 9, &path), 0);
    EXPECT_EQ(path, "");

    // The link to a folder outside is listed but not entered: on Open, it is chosen as an entry.
    g_run = script_state{};
    g_run.rec = &rec;
    click(20, row(2, 3));
    key(kCodeReturn);
    EXPECT_EQ(run(998, 0, &path), 1);
    EXPECT_EQ(path, "far_link");
}

TEST_F(FileDialog, AFolderThatCannotBeReadShowsAMessageAndTheDialogGoesOn) {
    const bool root = ::geteuid() == 0;
    // Root reads any folder: there the folder is taken away after it was entered instead.
    if (!root) ::chmod((tmp / "locked").c_str(), 0);
    click(20, row(3, 3));   // locked
    key(kCodeReturn);
    if (root) then([&] { ::rmdir((tmp / "locked").c_str()); });
    wait();
    wait();
    then([&] { EXPECT_TRUE(text_in(15, 170, 300, 195)); });   // the message where the list goes
    key(kCodeDelete);   // the list does not take Delete: the dialog goes up a level
    wait();
    then([&] { EXPECT_FALSE(text_in(15, 300, 420, 420)) << "back in the base folder"; });
    key(kCodeEscape);
    std::string path;
    EXPECT_EQ(run(998, 0, &path), 0);
}

TEST_F(FileDialog, TheOpenPanelShowsAFlightFilesComment) {
    testsupport::write_file(tmp / "fdr/b.fdr", "I\n1 version\nACFT, x\n  comm,  Gusty approach\n");
    testsupport::write_file(tmp / "fdr/a.fdr", "I\n2 version\nCOMM, not shown: version 1 is wanted\n");
    // b.fdr is in the middle, so selected first.
    wait();
    then([&] { EXPECT_TRUE(text_in(335, 255, 560, 275)) << "b.fdr's comment"; });
    click(20, row(0, 1));   // a.fdr: no comment
    wait();
    then([&] { EXPECT_FALSE(text_in(335, 255, 560, 275)); });
    key(kCodeEscape);
    std::string path = "fdr/x";
    EXPECT_EQ(run(998, 8, &path), 0);
}

TEST_F(FileDialog, TheListingOrderIsTheExchangeSortsOrder) {
    // The old quadratic exchange sort, as the reference for the order of names equal but for case.
    auto before = [](const std::string& a, const std::string& b) {
        const std::size_t n = std::min(a.size(), b.size());
        for (std::size_t i = 0; i < n; ++i) {
            auto low = [](char c) { return static_cast<signed char>(c >= 'A' && c <= 'Z' ? c + 32 : c); };
            if (low(a[i]) != low(b[i])) return low(a[i]) < low(b[i]);
        }
        return a.size() < b.size();
    };
    unsigned seed = 12345;
    auto rnd = [&](unsigned n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    const char* const pool[] = {"ab", "AB", "aB", "Ab", "a", "A", "b", "B", "abc", "ABC", "\xC3\xA4", "-", "Z"};
    for (int round = 0; round < 300; ++round) {
        std::vector<std::string> names;
        const unsigned n = rnd(24);
        for (unsigned i = 0; i < n; ++i) names.emplace_back(pool[rnd(sizeof pool / sizeof *pool)]);
        std::vector<int> kinds(names.size());
        for (std::size_t i = 0; i < kinds.size(); ++i) kinds[i] = static_cast<int>(i);
        std::vector<std::string> want = names;
        std::vector<int> want_kinds = kinds;
        for (std::size_t i = 1; i < want.size(); ++i)
            for (std::size_t j = 0; j < i; ++j)
                if (before(want[i], want[j])) {
                    std::swap(want[i], want[j]);
                    std::swap(want_kinds[i], want_kinds[j]);
                }
        opensave_sort(names, kinds);
        ASSERT_EQ(names, want);
        ASSERT_EQ(kinds, want_kinds);   // the very entries, not just equal names
    }
}

}  // namespace
