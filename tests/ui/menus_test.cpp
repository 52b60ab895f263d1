// Menus and the popup choice, driven frame by frame through the event seam on an injected clock
// with the shell's own routing, drawn into a recorded GL: popups opening, following the pointer,
// choosing by press or by release, the pick reaching only its owner, separators and disabled
// items, the list kept inside the panel; bar menus built, laid out, edited, drawn and read from a
// menus file; and the crash and quit alerts of bad indices and missing files.
#include "ui/menus.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <functional>
#include <string>
#include <vector>

#include "../render/recorded_draw.h"
#include "core/frame_clock.h"
#include "core/log.h"
#include "platform/clock.h"
#include "platform/events.h"
#include "render/ogl_draw.h"
#include "shell/event_pump.h"
#include "shell/startup.h"
#include "shell/windows.h"
#include "support/temp_dir.h"
#include "ui/frames.h"
#include "ui/help_record.h"
#include "ui/labels.h"

// The application's menu handler for this program: it records what was chosen.
std::vector<int> g_menu_commands;
void APP_handlemenu(int command) { g_menu_commands.push_back(command); }

namespace {

using namespace drawtest;

// A popup choice the test's application frame draws, with what its last call returned.
struct popup_widget {
    float x, y;
    int index;
    std::string items;
    std::string label = "Speed|(knots){How fast";
    char separator = '|';
    int returned = 0;
    int id() const { return static_cast<int>(y * 1024 + x); }
};
std::vector<popup_widget> g_popups;

void draw_popups() {
    for (popup_widget& w : g_popups) w.returned = BTN_textlist(w.x, w.y, &w.index, w.items, w.label, w.separator);
}

// Slots in use before start-up empties them again.
void build_bar_for_reset() {
    mbar.mbar_create_menu(0, 0, "File");
    mbar.mbar_append_menu_item(0, 0, 1, "Open");
    mbar.mbar_create_menu(7, 2, "Sub");
}

class Menus : public RecordedText {
protected:
    void SetUp() override {
        RecordedText::SetUp();
        platform::test_clock_set(1000000);
        xtim_reset_for_test();
        platform::clear_test_input();
        event_pump_reset_for_test();
        program_hooks_ = frame_hooks;
        frame_hooks.app_update = &draw_popups;
        wins.panel_id = -1;
        mbar = mbar_class{};
        mbar.mbar_nuke_menus(1);
        g_popups.clear();
        g_menu_commands.clear();
        help.help_text.clear();
        move(700, 100);
        frame();   // the first frame opens the application screen
    }
    void TearDown() override {
        platform::clear_test_input();
        platform::test_clock_release();
        frame_hooks = program_hooks_;
        g_popups.clear();
        mbar = mbar_class{};
        RecordedText::TearDown();
    }

    void frame(double seconds = 1.0 / 60) {
        platform::test_clock_advance(static_cast<uint64_t>(seconds * 1e6));
        MACIBM_event_proc();
    }
    // Interface units (y up) to the window pixels the seam takes.
    void move(int x, int y) { platform::set_test_mouse(nullptr, x, wins.win_px_h - y); }
    void press(int x, int y) {
        move(x, y);
        platform::input_event e;
        e.kind = platform::ev_mouse_down;
        platform::mouse_position(nullptr, e.x, e.y);   // a press carries where it happened
        platform::push_test_event(e);
        frame();
    }
    void release(int x, int y) {
        move(x, y);
        platform::input_event e;
        e.kind = platform::ev_mouse_up;
        platform::push_test_event(e);
        frame();
    }
    const mbar_class::menu_struct& popup() const { return mbar.menus[mbar_class::popup_slot]; }
    std::vector<std::string> popup_texts() const {
        std::vector<std::string> out;
        for (const auto& it : popup().items) out.push_back(it.text);
        return out;
    }

    frame_hooks_t program_hooks_;
};

TEST_F(Menus, StartUpGivesFifteenHundredAndTwentyEmptySlots) {
    build_bar_for_reset();
    ASSERT_NE(startup_hooks.menus_reset, nullptr);
    startup_hooks.menus_reset();
    ASSERT_EQ(mbar.menus.size(), 1520u);
    for (const auto& m : mbar.menus) {
        EXPECT_TRUE(m.title.empty());
        EXPECT_EQ(m.parent_code, -1);
        EXPECT_TRUE(m.items.empty());
        EXPECT_EQ(m.left | m.bottom | m.right | m.top, 0);
    }
    mbar.mbar_create_menu(0, 0, "File");
    mbar.mbar_nuke_menus(2);
    EXPECT_EQ(mbar.menus[0].title, "File") << "only 1 empties the table";
}

// A widget at (300, 300) showing Beta: its list has Alpha above the widget's line and Gamma and
// Delta below, 12 units a row.
popup_widget four_speeds() { return {300, 300, 1, "Alpha|Beta|Gamma|Delta"}; }
constexpr int kRowAlpha = 315, kRowBeta = 303, kRowGamma = 291, kRowDelta = 279;

TEST_F(Menus, APressOpensThePopupAndAPressOnAnItemChoosesIt) {
    g_popups = {four_speeds()};
    press(310, 303);
    EXPECT_EQ(mbar.open_menu, mbar_class::popup_slot);
    EXPECT_EQ(mbar.popup_owner, g_popups[0].id());
    EXPECT_EQ(mnw.click_hit, 0) << "the press was taken";
    EXPECT_EQ(g_popups[0].returned, 0);
    EXPECT_EQ(popup_texts(), (std::vector<std::string>{"Alpha", "Beta", "Gamma", "Delta"}));
    // The rows around the widget's text line, the current one on it.
    const int bottoms[] = {309, 297, 285, 273};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(popup().items[k].bottom, bottoms[k]) << k;
        EXPECT_EQ(popup().items[k].top, bottoms[k] + 12) << k;
        EXPECT_EQ(popup().items[k].left, popup().left);
        EXPECT_EQ(popup().items[k].right, popup().right);
    }
    EXPECT_EQ(popup().bottom, 300 - 2 * 12);
    EXPECT_EQ(popup().top, popup().bottom + 4 * 12);

    release(310, 303);   // a click in place leaves it open
    frame();
    EXPECT_EQ(mbar.open_menu, mbar_class::popup_slot);
    EXPECT_EQ(g_popups[0].index, 1);

    press(300, kRowDelta);
    EXPECT_EQ(g_popups[0].returned, 1) << "the pick reaches the widget in the frame of the press";
    EXPECT_EQ(g_popups[0].index, 3);
    EXPECT_EQ(mbar.open_menu, -1);
    EXPECT_EQ(mbar.popup_owner, 0);
    EXPECT_EQ(mbar.popup_result_owner, 0);
    release(300, kRowDelta);
    EXPECT_EQ(g_popups[0].returned, 0) << "once only";
    EXPECT_EQ(g_popups[0].index, 3);
}

TEST_F(Menus, PressDragAndReleaseOnAnItemChoosesItInThatFrame) {
    g_popups = {four_speeds()};
    press(310, 303);
    move(300, kRowGamma + 4);
    frame();
    EXPECT_EQ(g_popups[0].returned, 0);
    release(300, kRowAlpha);
    EXPECT_EQ(g_popups[0].returned, 1);
    EXPECT_EQ(g_popups[0].index, 0);
    EXPECT_EQ(mbar.open_menu, -1);
}

TEST_F(Menus, AReleaseNearThePressSoonAfterItKeepsThePopupOpen) {
    const struct {
        int dx, dy;
        double after;   // seconds from the press
        bool stays_open;
    } cases[] = {
        {0, 0, 0.1, true},   {2, -2, 0.5, true},  {-2, 2, 0.9, true},
        {3, 0, 0.1, false},  {0, -3, 0.1, false},   // 3 units is not in place
        {0, 0, 1.2, false},                          // late: the item under the pointer is chosen
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dx << "," << c.dy << " after " << c.after);
        g_popups = {four_speeds()};
        press(310, 300);
        frame(c.after);
        release(310 + c.dx, 300 + c.dy);
        if (c.stays_open) {
            EXPECT_EQ(mbar.open_menu, mbar_class::popup_slot);
            EXPECT_EQ(g_popups[0].returned, 0);
        } else {
            EXPECT_EQ(mbar.open_menu, -1);
            EXPECT_EQ(g_popups[0].returned, 1);
            EXPECT_EQ(g_popups[0].index, 1) << "Beta lies on the widget's own line";
        }
        press(700, 100);   // closes whatever is open
        release(700, 100);
    }
}

TEST_F(Menus, APressBesideTheListClosesItAndKeepsTheChoice) {
    g_popups = {four_speeds()};
    press(310, 303);
    release(310, 303);
    press(600, kRowDelta);
    EXPECT_EQ(mbar.open_menu, -1);
    EXPECT_EQ(mbar.popup_owner, 0);
    EXPECT_EQ(g_popups[0].returned, 0);
    EXPECT_EQ(g_popups[0].index, 1);
    EXPECT_EQ(mnw.click_hit, 1) << "the press goes on to the application";
    release(600, kRowDelta);
    frame();
    EXPECT_EQ(mbar.open_menu, -1) << "it stays closed";
}

TEST_F(Menus, SeparatorsAndDisabledItemsAreNeverChosen) {
    // Rows: One 315, "-" 303 (the widget's line), "=Off" 291, Two 279.
    const struct {
        int row;
        bool by_press;
        bool chosen;
        int index_after;
        bool open_after;
    } cases[] = {
        {315, true, true, 0, false},      {291, true, false, 1, false},   // a press on "=Off" closes the list
        {279, false, true, 3, false},     {291, false, false, 1, true},   // a release there does nothing
        {303, false, false, 1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << c.row << (c.by_press ? " press" : " release"));
        g_popups = {{300, 300, 1, "One|-|=Off|Two"}};
        press(310, 303);
        ASSERT_EQ(mbar.open_menu, mbar_class::popup_slot);
        if (c.by_press) {
            release(310, 303);
            press(300, c.row);
        } else {
            move(300, 340);
            frame();
            release(300, c.row);
        }
        EXPECT_EQ(g_popups[0].returned, c.chosen ? 1 : 0);
        EXPECT_EQ(g_popups[0].index, c.index_after);
        EXPECT_EQ(mbar.open_menu, c.open_after ? mbar_class::popup_slot : -1);
        press(700, 100);
        release(700, 100);
    }
}

TEST_F(Menus, APickReachesOnlyTheWidgetThatOpenedTheList) {
    g_popups = {{200, 300, 0, "a|b|c"}, {200, 200, 0, "d|e|f"}};
    press(210, 303);
    EXPECT_EQ(mbar.popup_owner, g_popups[0].id());
    release(210, 303);
    press(200, 279);   // "c"
    EXPECT_EQ(g_popups[0].returned, 1);
    EXPECT_EQ(g_popups[0].index, 2);
    EXPECT_EQ(g_popups[1].returned, 0);
    EXPECT_EQ(g_popups[1].index, 0);
    release(200, 279);

    // The second one now, while the first keeps its choice.
    press(210, 203);
    release(210, 203);
    press(200, 191);
    EXPECT_EQ(g_popups[0].returned, 0);
    EXPECT_EQ(g_popups[1].returned, 1);
    EXPECT_EQ(g_popups[1].index, 1);
    EXPECT_EQ(g_popups[0].index, 2);
}

TEST_F(Menus, APickFromAListThatShrankSinceItWasShownIsHeldToTheNewList) {
    g_popups = {four_speeds()};
    press(310, 303);
    release(310, 303);
    g_popups[0].items = "Alpha|Beta";   // the list shown still has Delta
    press(300, kRowDelta);
    EXPECT_EQ(g_popups[0].returned, 1);
    EXPECT_EQ(g_popups[0].index, 1);
}

TEST_F(Menus, OpeningAPanelClosesThePopup) {
    g_popups = {four_speeds()};
    press(310, 303);
    ASSERT_EQ(mbar.open_menu, mbar_class::popup_slot);
    wins.start_win(0);
    EXPECT_EQ(mbar.open_menu, -1);
    EXPECT_EQ(popup().left, -1);
    EXPECT_EQ(popup().bottom, -1);
    EXPECT_EQ(popup().right, -1);
    EXPECT_EQ(popup().top, -1);
}

TEST_F(Menus, TheListMovesARowAFrameUntilItFitsThePanel) {
    const struct {
        float y;
        int index;
        std::vector<int> after_frames;   // the caller's index after each frame from the press on
    } cases[] = {
        {580, 3, {2, 1, 0, 0}},   // Alpha's top at 625, then 613, 601, 589
        {10, 0, {1, 2, 3, 3}},    // Delta's bottom at -29, then -17, -5, 7
        {300, 3, {3, 3}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "y " << c.y);
        g_popups = {{300, c.y, c.index, "Alpha|Beta|Gamma|Delta"}};
        press(310, static_cast<int>(c.y) + 3);
        std::vector<int> seen = {g_popups[0].index};
        release(310, static_cast<int>(c.y) + 3);
        seen.push_back(g_popups[0].index);
        while (seen.size() < c.after_frames.size()) {
            frame();
            seen.push_back(g_popups[0].index);
        }
        EXPECT_EQ(seen, c.after_frames);
        EXPECT_EQ(mbar.open_menu, mbar_class::popup_slot);
        press(700, 100);
        release(700, 100);
    }
}

TEST_F(Menus, ItemsSplitAtTheSeparatorAndTheIndexIsHeldToThem) {
    const struct {
        std::string items;
        char separator;
        int index, held;
        std::vector<std::string> texts;
    } cases[] = {
        {"Low||High", '|', 0, 0, {"Low", "", "High"}},
        {"", '|', 2, 0, {""}},
        {"a,b,c", ',', -1, 0, {"a", "b", "c"}},
        {"a,b,c", ',', 7, 2, {"a", "b", "c"}},
        {"a|b|", '|', 1, 1, {"a", "b", ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.items);
        popup_widget w{300, 300, c.index, c.items};
        w.separator = c.separator;
        g_popups = {w};
        frame();
        EXPECT_EQ(g_popups[0].index, c.held) << "written back";
        press(310, 303);
        ASSERT_EQ(mbar.open_menu, mbar_class::popup_slot);
        EXPECT_EQ(popup_texts(), c.texts);
        press(700, 100);
        release(700, 100);
    }
}

TEST_F(Menus, TheWidgetDrawsItsBarLabelsAndCurrentTextAndOffersItsHelp) {
    popup_widget w = four_speeds();
    float wide = 20;
    for (const char* t : {"Alpha", "Beta", "Gamma", "Delta"})
        wide = std::max(wide, static_cast<float>(static_cast<int>(OGL_measure_string(t))));
    move(300 + static_cast<int>(wide / 2) + 20, 305);   // inside the press area, right of the text
    frame();
    BTN_textlist(w.x, w.y, &w.index, w.items, w.label, '|');
    rec.take();
    help.help_text.clear();
    BTN_textlist(w.x, w.y, &w.index, w.items, w.label, '|');
    const calls got = rec.take();
    EXPECT_EQ(help.help_text, "How fast");

    BTN_frame1(10, 310, 305, wide + 28, 57);
    BTN_util_draw_label(300 - wide / 2 - 5, 300, 0, "Speed", 0);
    BTN_util_draw_label(300 + wide / 2 + 30, 300, 2, "(knots)", 0);
    OGL_string(43, 300, 300, "Beta", 9999, cs_regular, just_centre);
    EXPECT_EQ(got, rec.take());

    // German texts run longer: the drawn width shrinks, the press area does not.
    mnw.lang = 2;
    move(300 + static_cast<int>(wide / 2) + 24, 305);
    frame();
    BTN_textlist(w.x, w.y, &w.index, w.items, w.label, '|');
    rec.take();
    BTN_textlist(w.x, w.y, &w.index, w.items, w.label, '|');
    const calls german = rec.take();
    BTN_frame1(10, 310, 305, wide * 0.9f + 28, 57);
    BTN_util_draw_label(300 - wide * 0.9f / 2 - 5, 300, 0, "Speed", 0);
    BTN_util_draw_label(300 + wide * 0.9f / 2 + 30, 300, 2, "(knots)", 0);
    OGL_string(43, 300, 300, "Beta", 9999, cs_regular, just_centre);
    EXPECT_EQ(german, rec.take());
    mnw.lang = 0;
}

TEST_F(Menus, TheOpenPopupShowsItsRowsAndLightsTheOneUnderThePointer) {
    g_popups = {four_speeds()};
    press(310, 303);
    release(310, 303);
    const auto& p = popup();
    const float left = p.left, right = p.right;
    const struct {
        int y;
        int lit;   // -1: none
    } cases[] = {{kRowGamma, 2}, {kRowAlpha, 0}, {297, 1}, {309, 0}, {400, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.y);
        mnw.mouse_x = 300;
        mnw.mouse_y = static_cast<float>(c.y);
        mbar.mbar_draw_menus();
        rec.take();
        mbar.mbar_draw_menus();
        const calls got = rec.take();
        BTN_frame2(20, left, 271, right - left, 321 + 2 - 271, "", 1);
        if (c.lit >= 0) {
            const auto& it = p.items[c.lit];
            OGL_fillrect(41, 0.25f, left, it.bottom, right - left, 12);
        }
        for (const auto& it : p.items) OGL_string(43, left + 3, it.bottom + 2, it.text, 9999, cs_regular, just_left);
        EXPECT_EQ(got, rec.take());
    }
    rec.take();
    mbar.mbar_draw_menu_bar();
    EXPECT_TRUE(rec.take().empty()) << "no bar behind a popup";
}

// The menus of the bar tests: File (0) with a separator, a disabled item and a submenu opener,
// Edit (1), and a submenu (5) hanging from File's fourth item.
void build_bar() {
    mbar.mbar_create_menu(0, 0, "File");
    mbar.mbar_append_menu_item(0, 0, 101, "Open");
    mbar.mbar_append_menu_item(0, 1, 0, "-");
    mbar.mbar_append_menu_item(0, 2, 103, "=Save");
    mbar.mbar_append_menu_item(0, 3, 104, "Recent");
    mbar.mbar_create_menu(1, 0, "Edit");
    mbar.mbar_append_menu_item(1, 0, 201, "Undo");
    mbar.mbar_append_menu_item(1, 1, 202, "Redo");
    mbar.mbar_create_menu(5, 3, "Recent files");
    mbar.mbar_append_menu_item(5, 0, 501, "notes.txt");
}

TEST_F(Menus, TitlesLineUpInTheBarAndItemsHangUnderThem) {
    const float file_w = OGL_measure_string("File"), edit_w = OGL_measure_string("Edit");
    const float plugins_w = OGL_measure_string("Plugins");
    mbar.mbar_create_menu(0, 0, "File");
    mbar.mbar_create_menu(1, 0, "Edit");
    mbar.mbar_create_menu(2, 0, "Plugins");
    mbar.mbar_create_menu(3, 0, "Help");
    const std::string fifty(50, 'x');
    mbar.mbar_create_menu(4, 0, fifty);
    const int file_r = static_cast<int>(file_w + 30), edit_r = static_cast<int>(file_r + edit_w + 30);
    const struct {
        int index, left, right;
    } titles[] = {
        {0, 0, file_r},
        {1, file_r, edit_r},
        {2, edit_r, static_cast<int>(edit_r + plugins_w + 30)},
        {3, edit_r, static_cast<int>(edit_r + OGL_measure_string("Help") + 30)},   // where Plugins began
    };
    for (const auto& t : titles) {
        const auto& m = mbar.menus[t.index];
        EXPECT_EQ(m.left, t.left) << m.title;
        EXPECT_EQ(m.right, t.right) << m.title;
        EXPECT_EQ(m.bottom, 582) << m.title;
        EXPECT_EQ(m.top, 600) << m.title;
        EXPECT_EQ(m.parent_code, -1);
    }
    EXPECT_EQ(mbar.menus[4].title, std::string(40, 'x'));
    // Menu 0 starts the bar again.
    mbar.mbar_create_menu(0, 0, "Go");
    EXPECT_EQ(mbar.menus[0].left, 0);

    mbar.mbar_nuke_menus(1);
    build_bar();
    float width = 40;
    for (const char* t : {"Open", "-", "=Save", "Recent"}) width = std::max(width, OGL_measure_string(t) + 40);
    const struct {
        int menu, item, bottom, top;
    } rows[] = {
        {0, 0, 568, 580}, {0, 1, 566, 568}, {0, 2, 554, 566}, {0, 3, 542, 554},
        {1, 0, 568, 580}, {1, 1, 556, 568},
        {5, 0, 540, 552},   // level with the item that opens it
    };
    for (const auto& r : rows) {
        const auto& it = mbar.menus[r.menu].items[r.item];
        EXPECT_EQ(it.bottom, r.bottom) << it.text;
        EXPECT_EQ(it.top, r.top) << it.text;
        EXPECT_EQ(it.left, mbar.menus[r.menu].left) << it.text;
    }
    EXPECT_EQ(mbar.menus[0].items[0].right, static_cast<int>(width));
    EXPECT_EQ(mbar.menus[5].parent_code, 0);
    EXPECT_EQ(mbar.menus[5].bottom, 542);
    EXPECT_EQ(mbar.menus[5].top, 554);
    EXPECT_EQ(mbar.menus[0].items[2].command, 103);
}

TEST_F(Menus, ItemsAreRemovedAndRenamedInPlace) {
    build_bar();
    const auto texts = [](int m) {
        std::vector<std::string> out;
        for (const auto& it : mbar.menus[m].items) out.push_back(it.text + "@" + std::to_string(it.bottom));
        return out;
    };
    const struct {
        std::function<void()> edit;
        std::vector<std::string> file_after;
    } cases[] = {
        {[] { mbar.mbar_remove_menu_item(0, 1); }, {"Open@568", "=Save@556", "Recent@544"}},
        {[] { mbar.mbar_remove_menu_item(0, 0); }, {"-@578", "=Save@566", "Recent@554"}},
        {[] { mbar.mbar_remove_menu_item(0, 4); }, {"Open@568", "-@566", "=Save@554", "Recent@542"}},
        {[] { mbar.mbar_remove_menu_item(0, -1); }, {"Open@568", "-@566", "=Save@554", "Recent@542"}},
        {[] { mbar.mbar_rename_menu_item(0, 2, "Save"); }, {"Open@568", "-@566", "Save@554", "Recent@542"}},
        {[] { mbar.mbar_rename_menu_item(0, 9, "Later"); }, {"Open@568", "-@566", "=Save@554", "Recent@542"}},
        {[] { mbar.mbar_append_menu_item(0, 4, 106, "Quit"); },
         {"Open@568", "-@566", "=Save@554", "Recent@542", "Quit@530"}},
        {[] { mbar.mbar_append_menu_item(-1, 0, 1, "x"); }, {"Open@568", "-@566", "=Save@554", "Recent@542"}},
    };
    for (const auto& c : cases) {
        mbar.mbar_nuke_menus(1);
        build_bar();
        c.edit();
        EXPECT_EQ(texts(0), c.file_after);
    }
    mbar.mbar_nuke_menus(1);
    build_bar();
    mbar.mbar_rename_menu_item(0, 3, "A much longer recent list");
    EXPECT_EQ(mbar.menus[0].items[3].command, 104) << "the item keeps its command";
    EXPECT_EQ(mbar.menus[0].items[0].right, static_cast<int>(OGL_measure_string("A much longer recent list") + 40))
        << "the whole menu widens";
}

TEST_F(Menus, TheBarOpensFollowsThePointerAndSendsChosenCommands) {
    build_bar();
    const int file_x = 10, edit_x = mbar.menus[1].left + 10, title_y = 590;
    enum kind { down, up, over };
    struct step {
        kind k;
        int x, y;
    };
    const struct {
        const char* what;
        std::vector<step> steps;
        int open_after;
        std::vector<int> commands;
    } cases[] = {
        {"a title press opens", {{down, file_x, title_y}, {up, file_x, title_y}}, 0, {}},
        {"a second press closes", {{down, file_x, title_y}, {up, file_x, title_y}, {down, file_x, title_y}}, -1, {}},
        {"the open menu follows along the bar", {{down, file_x, title_y}, {up, file_x, title_y}, {over, edit_x, title_y}},
         1, {}},
        {"a press on an item", {{down, file_x, title_y}, {up, file_x, title_y}, {down, 20, 572}}, -1, {101}},
        {"a drag and release on an item", {{down, file_x, title_y}, {up, 20, 572}}, -1, {101}},
        {"a disabled item", {{down, file_x, title_y}, {up, file_x, title_y}, {down, 20, 560}}, -1, {}},
        {"a release on the separator", {{down, file_x, title_y}, {up, 20, 567}}, 0, {}},
        {"a release back on the open title", {{down, file_x, title_y}, {up, file_x + 8, title_y - 4}}, -1, {}},
        {"the submenu opens from its item", {{down, file_x, title_y}, {up, file_x, title_y}, {down, 20, 548}}, 5, {}},
        {"and sends its own command",
         {{down, file_x, title_y}, {up, file_x, title_y}, {down, 20, 548}, {up, 20, 548}, {down, 20, 546}}, -1, {501}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        g_menu_commands.clear();
        mbar.open_menu = -1;
        for (const step& s : c.steps) {
            if (s.k == down) press(s.x, s.y);
            else if (s.k == up) release(s.x, s.y);
            else {
                move(s.x, s.y);
                frame();
            }
        }
        EXPECT_EQ(mbar.open_menu, c.open_after);
        EXPECT_EQ(g_menu_commands, c.commands);
        release(700, 100);
    }

    // Inside a framework panel the bar's titles do not answer.
    mbar.open_menu = -1;
    wins.start_win(2);
    press(file_x + static_cast<int>(wins.off_x), title_y + static_cast<int>(wins.off_y));
    EXPECT_EQ(mnw.mouse_x, file_x);
    EXPECT_EQ(mnw.mouse_y, title_y);
    EXPECT_EQ(mbar.open_menu, -1);
    wins.start_win(0);
}

TEST_F(Menus, TheOpenMenuIsDrawnWithItsBoxSeparatorsArrowAndTheLitItem) {
    build_bar();
    const auto& file = mbar.menus[0];
    const float w = file.items[0].right;
    mbar.open_menu = 0;
    const struct {
        float mx, my;
        bool open_lit;
    } cases[] = {{5, 579, true}, {5, 580, false}, {5, 560, false}, {500, 300, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.mx << "," << c.my);
        mnw.mouse_x = c.mx;
        mnw.mouse_y = c.my;
        mbar.mbar_draw_menus();
        rec.take();
        mbar.mbar_draw_menus();
        const calls got = rec.take();
        BTN_frame2(20, 0, 540, w, 42, "", 1);
        OGL_fillrect(41, 0.25f, 0, 582, file.right, 18);
        if (c.open_lit) OGL_fillrect(41, 0.25f, 0, 568, w, 12);
        OGL_string(43, 18, 570, "Open", 9999, cs_regular, just_left);
        OGL_line(40, 1, 0, 567, w - 1, 567);
        OGL_line(42, 1, 0, 566, w - 1, 566);
        OGL_string(43, 18, 556, "=Save", 9999, cs_regular, just_left);
        OGL_string(43, 18, 544, "Recent", 9999, cs_regular, just_left);
        BTN_util_element(w - 8, 548, 167, 187, 9, 9, 57);
        EXPECT_EQ(got, rec.take());
    }

    mbar.mbar_draw_menu_bar();
    rec.take();
    mbar.mbar_draw_menu_bar();
    const calls bar = rec.take();
    BTN_frame1(0, 400, 591, 800, 57);
    OGL_string(43, 10, 587, "File", 9999, cs_regular, just_left);
    OGL_string(43, mbar.menus[1].left + 10, 587, "Edit", 9999, cs_regular, just_left);
    EXPECT_EQ(bar, rec.take());

    mbar.open_menu = -1;
    rec.take();
    mbar.mbar_draw_menus();
    mbar.mbar_draw_menu_bar();
    EXPECT_TRUE(rec.take().empty());
}

TEST_F(Menus, CheckPointAnswersForTheBoxOfTheOpenMenu) {
    build_bar();
    const int right = mbar.menus[0].items[0].right;
    mbar.open_menu = 0;
    const struct {
        int x, y, in;
    } cases[] = {{0, 542, 1}, {right, 580, 1}, {right + 1, 570, 0}, {-1, 570, 0}, {10, 541, 0}, {10, 581, 0}};
    for (const auto& c : cases) EXPECT_EQ(mbar.mbar_check_point(c.x, c.y), c.in) << c.x << "," << c.y;
    mbar.open_menu = -1;
    EXPECT_EQ(mbar.mbar_check_point(10, 570), 0) << "no menu open";
    mbar.open_menu = 3;
    EXPECT_EQ(mbar.mbar_check_point(0, 0), 0) << "a menu without items";
}

TEST_F(Menus, AWindowResizeMovesTheBarWithTheWindowTop) {
    build_bar();
    MACIBM_live_resize(800, 700);
    EXPECT_EQ(mbar.menus[0].bottom, 682);
    EXPECT_EQ(mbar.menus[0].top, 700);
    EXPECT_EQ(mbar.menus[0].items[0].bottom, 668);
    EXPECT_EQ(mbar.menus[5].bottom, 642);
    MACIBM_live_resize(800, 600);
    EXPECT_EQ(mbar.menus[0].bottom, 582);
}

class MenusFile : public Menus {
protected:
    void write_menus(const std::string& folder, const std::string& body) {
        testsupport::write_file(tmp / ("menus/" + folder + "/main.txt"), "I\n1 version\n" + body);
    }
    testsupport::temp_dir tmp;
};

TEST_F(MenusFile, BlocksBecomeMenusAndTheirLinesItems) {
    ASSERT_TRUE(xer.open(tmp / "log.txt"));
    write_menus("English",
                "0 File\n"
                "101 Open...\r\n"
                "  0 -\n"
                "\n"
                "102\t=Save as\n"
                "103 Close  window\n"
                "-\n"
                "0    Edit\n"
                "201 Undo\n"
                "-\n"
                "3 Recent \xC3\n"
                "301 a.txt\n"
                "-\n");
    mbar.mbar_read_menus(tmp.path() + "/", "main.txt");
    xer.close();
    EXPECT_EQ(mbar.menus[0].title, "File");
    EXPECT_EQ(mbar.menus[1].title, "Edit");
    EXPECT_EQ(mbar.menus[2].title, "Recent \xC3");
    EXPECT_EQ(mbar.menus[2].parent_code, 0);
    EXPECT_EQ(mbar.menus[3].title, "");
    const struct {
        int menu, item, command;
        const char* text;
    } items[] = {
        {0, 0, 101, "Open..."}, {0, 1, 0, "-"}, {0, 2, -1, "as"},   // a tab does not end the number
        {0, 3, 103, "Close  window"},
        {1, 0, 201, "Undo"},    {2, 0, 301, "a.txt"},
    };
    for (const auto& i : items) {
        ASSERT_LT(i.item, static_cast<int>(mbar.menus[i.menu].items.size()));
        EXPECT_EQ(mbar.menus[i.menu].items[i.item].command, i.command) << i.text;
        EXPECT_EQ(mbar.menus[i.menu].items[i.item].text, i.text);
    }
    EXPECT_EQ(mbar.menus[0].items.size(), 4u);
    const std::string log = testsupport::read_file(tmp / "log.txt");
    EXPECT_NE(log.find("ERROR: menu string Recent \xC3 has invalid UTF8 characters.\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("menu string File"), std::string::npos);
}

TEST_F(MenusFile, TheLanguageChoosesTheFolderAndAnUnfinishedBlockEndsTheReading) {
    write_menus("English", "0 File\n1 English item\n-\n");
    write_menus("German", "0 Datei\n1 Offnen\n2 Schliessen");
    mnw.lang = 2;
    mbar.mbar_read_menus(tmp.path() + "/", "main.txt");
    mnw.lang = 0;
    EXPECT_EQ(mbar.menus[0].title, "Datei");
    ASSERT_EQ(mbar.menus[0].items.size(), 2u);
    EXPECT_EQ(mbar.menus[0].items[1].text, "Schliessen");
    EXPECT_EQ(mbar.menus[1].title, "");
}

TEST_F(MenusFile, AFileThatCannotBeReadIsAQuitAlert) {
    GTEST_FLAG_SET(death_test_style, "fast");
    testsupport::write_file(tmp / "menus/English/old.txt", "I\n2 version\n0 File\n-\n");
    ASSERT_EQ(chdir(tmp.path().c_str()), 0);
    for (const char* file : {"missing.txt", "old.txt"})
        EXPECT_EXIT(mbar.mbar_read_menus(tmp.path() + "/", file), ::testing::ExitedWithCode(0),
                    "Cannot open file!")
            << file;
}

TEST_F(Menus, IndicesOutOfRangeAreCrashAlerts) {
    GTEST_FLAG_SET(death_test_style, "fast");
    testsupport::temp_dir tmp;
    ASSERT_TRUE(xer.open(tmp / "log.txt"));
    ASSERT_EQ(chdir(tmp.path().c_str()), 0);
    const std::string too_many(300, '|');   // 301 empty texts
    struct bad_case {
        std::function<void()> call;
        const char* line;
        const char* where;
    };
    const bad_case cases[] = {
        {[] { mbar.mbar_create_menu(1520, 0, "Far"); }, "Menu index out of range in create_menu!", "line 516"},
        {[] { mbar.mbar_append_menu_item(1520, 0, 1, "x"); }, "Menu index out of range in append_menu!", "line 461"},
        {[] { mbar.mbar_append_menu_item(0, 300, 1, "x"); }, "Item index out of range in append_menu!", "line 462"},
        {[] { mbar.mbar_remove_menu_item(1600, 0); }, "Menu index out of range in append_menu!", "line 444"},
        {[] { mbar.mbar_remove_menu_item(0, 300); }, "Item index out of range in append_menu!", "line 445"},
        {[] { mbar.mbar_rename_menu_item(0, 300, "x"); }, "Item index out of range in append_menu!", "line 462"},
        {[&] {
             int index = 0;
             BTN_textlist(100, 100, &index, too_many, "Many", '|');
         },
         "BTN_text_list overflow!", "butn line 964"},
    };
    for (const bad_case& c : cases) {
        EXPECT_EXIT(c.call(), ::testing::KilledBySignal(SIGABRT), "") << c.line;
        const std::string log = testsupport::read_file(tmp / "log.txt");
        EXPECT_NE(log.find(c.line), std::string::npos) << c.line;
        EXPECT_NE(log.find(c.where), std::string::npos) << c.where;
    }
    // 300 texts are fine.
    int index = 299;
    const std::string just_fits(299, '|');
    BTN_textlist(100, 100, &index, just_fits, "Many", '|');
    EXPECT_EQ(index, 299);
    xer.close();
}

}  // namespace
