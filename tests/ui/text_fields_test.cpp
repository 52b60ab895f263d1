// Text fields driven frame by frame through the event seam: made-up presses and keys go through
// the frame pump, the keyboard layer and the focus ring to the fields the test draws each frame,
// on a recorded GL and an injected clock. The clipboard is the in-process one (no display).
#include "ui/text_fields.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "../render/recorded_draw.h"
#include "core/app_globals.h"
#include "core/frame_clock.h"
#include "core/mouse_record.h"
#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/events.h"
#include "ui/clipboard.h"
#include "shell/event_pump.h"
#include "shell/keys.h"
#include "ui/focus.h"
#include "ui/help_record.h"
#include "ui/menus.h"
#include "seam_mouse.h"

namespace {

// Mac key codes the keyboard layer knows.
constexpr int kCodeX = 7, kCodeC = 8, kCodeV = 9, kCodeAny = 10, kCodeTab = 48, kCodeReturn = 36, kCodeBack = 51,
              kCodeDel = 117, kCodeHome = 115, kCodeEnd = 119, kCodePageUp = 116, kCodePageDown = 121,
              kCodeLeft = 123, kCodeRight = 124;

// One field the test draws every frame.
struct field {
    float x, y, w;
    std::string text;
    int max_len = 100;
    int take_focus = 0;
    std::string label = "Name|{The name";
    bool shown = true;
    int returned = 0;
    int id() const { return static_cast<int>(y) + static_cast<int>(x) * 8192; }
};
std::vector<field> g_fields;

void draw_fields() {
    for (field& f : g_fields)
        if (f.shown) f.returned = BTN_enterstring(f.x, f.y, &f.text, f.max_len, f.label, f.w, f.take_focus);
}

platform::input_event key_event(int kind, int code, uint32_t ch, uint32_t lower, int modifiers) {
    platform::input_event e;
    e.kind = kind;
    e.key_code = code;
    e.ch = ch;
    e.lower = lower;
    e.upper = lower;
    e.modifiers = modifiers;
    return e;
}

void press(int code, uint32_t ch, uint32_t lower = 0, int modifiers = 0) {
    platform::push_test_event(key_event(platform::ev_key_down, code, ch, lower, modifiers));
    platform::push_test_event(key_event(platform::ev_key_up, code, ch, lower, modifiers));
}

// Each code point of a UTF-8 text as a key that types it.
void type(const std::string& utf8) {
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const int n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
        uint32_t cp = n == 1 ? c : c & (0x3F >> (n - 1));
        for (int k = 1; k < n; ++k) cp = cp << 6 | (static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]) & 0x3F);
        const uint32_t lower = cp < 0x80 && std::isalpha(static_cast<int>(cp)) ? (cp | 0x20) : 0;
        press(kCodeAny, cp, lower);
        i += static_cast<std::size_t>(n);
    }
}

// Control-C, -V, -X as the platform gives them: the control character, the key's letter.
void control(int code, char letter) {
    press(code, static_cast<uint32_t>(letter & 0x1F), static_cast<uint32_t>(letter), platform::mod_control);
}

class TextFields : public drawtest::RecordedText {
protected:
    void SetUp() override {
        RecordedText::SetUp();
        platform::test_clock_set(1000000);
        platform::clear_test_input();
        platform::clipboard_reset_for_test();
        UTL_clipboard_reset_for_test();
        event_pump_reset_for_test();
        frame_hooks = frame_hooks_t{};
        frame_hooks.app_update = &draw_fields;
        mnw = mnw_record{};
        keys = keys_class();
        mbar.open_menu = -1;
        app_done = 0;
        focus_ring.clear();
        focus_id = wind_focus = 0;
        BTN_text_fields_reset_for_test();
        g_fields = {{100, 300, 200, "first"}, {100, 250, 200, "second"}};
        mouse_at(700, 500);
    }
    void TearDown() override {
        platform::clear_test_input();
        platform::test_clock_release();
        frame_hooks = frame_hooks_t{};
        g_fields.clear();
        BTN_text_fields_reset_for_test();
        RecordedText::TearDown();
    }
    void frame() {
        platform::test_clock_advance(16667);
        MACIBM_event_proc();
        rec.take();
    }
    void mouse_at(float x, float y) { seam_mouse::move_to(x, y); }
    void click_at(float x, float y) { seam_mouse::click(x, y, [this] { frame(); }); }
    // x of the caret after the first n bytes of a field's text.
    static float x_after(const field& f, std::size_t n) {
        const auto* b = reinterpret_cast<const unsigned char*>(f.text.data());
        return static_cast<float>(static_cast<int>(f.x)) + OGL_measure_range(b, b + n);
    }
    static std::pair<int, int> selection() {
        int s = -1, e = -1;
        DODE_GetSelection(BTN_text_editor(), &s, &e);
        return {s, e};
    }
    field& a() { return g_fields[0]; }
    field& b() { return g_fields[1]; }
};

TEST_F(TextFields, APressInsideTakesTheFocusAndPlacesTheCaret) {
    frame();
    EXPECT_EQ(focus_id, 0);
    // Just right of "fi" (the caret goes before the character the press lands in).
    click_at(x_after(a(), 2) + 1, 303);
    EXPECT_EQ(focus_id, a().id());
    EXPECT_EQ(selection(), (std::pair<int, int>{2, 2}));

    type("XY");
    frame();
    EXPECT_EQ(a().text, "fiXYrst");
    EXPECT_EQ(a().returned, 1);
    EXPECT_EQ(b().returned, 0);

    press(kCodeLeft, 28);
    frame();
    EXPECT_EQ(a().returned, 0);   // a move changes nothing
    EXPECT_EQ(selection(), (std::pair<int, int>{3, 3}));

    // A press outside every field drops the focus; keys then go to the keyboard layer.
    click_at(600, 100);
    EXPECT_EQ(focus_id, 0);
    type("z");
    frame();
    EXPECT_EQ(a().text, "fiXYrst");
    EXPECT_EQ(mnw.last_char, 'z');
}

TEST_F(TextFields, AFieldThatTakesTheFocusSelectsItsTextAndTypingReplacesIt) {
    b().take_focus = 1;
    frame();
    EXPECT_EQ(focus_id, b().id());
    EXPECT_EQ(selection(), (std::pair<int, int>{0, 6}));
    type("new");
    frame();
    EXPECT_EQ(b().text, "new");
    EXPECT_EQ(b().returned, 1);

    // It does not take the focus while another widget has it.
    BTN_text_fields_reset_for_test();
    focus_id = a().id();
    frame();
    EXPECT_EQ(focus_id, a().id());
}

TEST_F(TextFields, TabWalksTheFieldsAndSelectsEachOnesText) {
    frame();
    press(kCodeTab, 9);
    frame();
    EXPECT_EQ(focus_id, a().id());
    frame();
    EXPECT_EQ(selection(), (std::pair<int, int>{0, 5}));

    press(kCodeTab, 9);
    frame();
    frame();
    EXPECT_EQ(focus_id, b().id());
    EXPECT_EQ(selection(), (std::pair<int, int>{0, 6}));
    type("2nd");
    frame();
    EXPECT_EQ(b().text, "2nd");
    EXPECT_EQ(a().text, "first");

    press(kCodeTab, 9, 0, platform::mod_shift);
    frame();
    frame();
    EXPECT_EQ(focus_id, a().id());
    EXPECT_EQ(selection(), (std::pair<int, int>{0, 5}));

    // Return is not the field's: the keyboard layer sees it and the text stays.
    press(kCodeReturn, 13);
    frame();
    EXPECT_EQ(return_hit, 1);
    EXPECT_EQ(a().text, "first");
    EXPECT_EQ(a().returned, 0);
}

TEST_F(TextFields, ComingBackWithoutAnotherFieldKeepsTheSelection) {
    click_at(x_after(a(), 3) + 1, 303);
    press(kCodeRight, 29, 0, platform::mod_shift);
    frame();
    ASSERT_EQ(selection(), (std::pair<int, int>{3, 4}));
    click_at(600, 100);
    ASSERT_EQ(focus_id, 0);
    press(kCodeTab, 9);
    frame();
    frame();
    EXPECT_EQ(selection(), (std::pair<int, int>{3, 4}));
}

TEST_F(TextFields, EditingKeys) {
    const struct {
        const char* what;
        int s, e;   // selection before, in "abcdef"
        int code;
        uint32_t ch;
        int modifiers;
        std::string want;
        int want_s, want_e;
        int want_return;
    } cases[] = {
        {"Backspace", 3, 3, kCodeBack, 8, 0, "abdef", 2, 2, 1},
        {"forward Delete deletes forward", 3, 3, kCodeDel, 0, 0, "abcef", 3, 3, 1},
        {"forward Delete at the end", 6, 6, kCodeDel, 0, 0, "abcdef", 6, 6, 0},
        {"Home goes to the start", 3, 3, kCodeHome, 0, 0, "abcdef", 0, 0, 0},
        {"End goes to the end", 3, 3, kCodeEnd, 0, 0, "abcdef", 6, 6, 0},
        {"shift-End selects to the end", 2, 2, kCodeEnd, 0, platform::mod_shift, "abcdef", 2, 6, 0},
        {"Page Up does nothing", 3, 3, kCodePageUp, 0, 0, "abcdef", 3, 3, 0},
        {"Page Down does nothing", 3, 3, kCodePageDown, 0, 0, "abcdef", 3, 3, 0},
        {"Page Up inserts no NUL over a selection", 1, 4, kCodePageUp, 0, 0, "abcdef", 1, 4, 0},
        {"a typed DEL byte is no text", 3, 3, kCodeAny, 0x7F, 0, "abcdef", 3, 3, 0},
        {"a key typing NUL is no text", 3, 3, kCodeAny, 0, 0, "abcdef", 3, 3, 0},
        {"a two-byte character", 3, 3, kCodeAny, 0xE9, 0, "abc\xC3\xA9" "def", 5, 5, 1},
        {"a character beyond the BMP", 0, 6, kCodeAny, 0x1F600, 0, "\xF0\x9F\x98\x80", 4, 4, 1},
        {"a surrogate has no encoding", 3, 3, kCodeAny, 0xD800, 0, "abcdef", 3, 3, 0},
        {"beyond Unicode", 3, 3, kCodeAny, 0x110000, 0, "abcdef", 3, 3, 0},
    };
    for (const auto& c : cases) {
        BTN_text_fields_reset_for_test();
        focus_id = 0;
        a().text = "abcdef";
        click_at(600, 100);
        click_at(a().x + 1, 303);
        DODE_SetSelection(BTN_text_editor(), c.s, c.e);
        press(c.code, c.ch, 0, c.modifiers);
        frame();
        EXPECT_EQ(a().text, c.want) << c.what;
        EXPECT_EQ(selection(), (std::pair<int, int>{c.want_s, c.want_e})) << c.what;
        EXPECT_EQ(a().returned, c.want_return) << c.what;
        EXPECT_EQ(a().text.find('\0'), std::string::npos) << c.what;
    }
}

TEST_F(TextFields, CutCopyAndPaste) {
    const struct {
        const char* what;
        int s, e;                 // selection in "abcdef"
        int code;
        char letter;
        uint32_t ch;              // 0: the control character the platform gives
        const char* clip_before;  // null: nothing on the clipboard
        std::string want_text;
        std::string want_clip;    // what BTN_text_from_clipboard reads afterwards ("-" for nothing)
        int want_s, want_e, want_return;
    } cases[] = {
        {"copy", 1, 3, kCodeC, 'c', 0, "old", "abcdef", "bc", 1, 3, 0},
        {"copy with nothing selected puts an empty text", 2, 2, kCodeC, 'c', 0, "old", "abcdef", "", 2, 2, 0},
        {"cut", 1, 3, kCodeX, 'x', 0, "old", "adef", "bc", 1, 1, 1},
        {"cut with nothing selected types its letter", 2, 2, kCodeX, 'x', 'x', "old", "abxcdef", "old", 3, 3, 1},
        {"cut with nothing selected and a control character types nothing", 2, 2, kCodeX, 'x', 0, "old", "abcdef",
         "old", 2, 2, 0},
        {"paste at the caret", 2, 2, kCodeV, 'v', 0, "xyz", "abxyzcdef", "xyz", 5, 5, 1},
        {"paste over the selection leaves it selected", 1, 5, kCodeV, 'v', 0, "XY", "aXYf", "XY", 1, 3, 1},
        {"paste with an empty clipboard", 2, 2, kCodeV, 'v', 0, "", "abcdef", "", 2, 2, 0},
        {"paste with nothing on the clipboard", 2, 2, kCodeV, 'v', 0, nullptr, "abcdef", "-", 2, 2, 0},
        {"line breaks become blanks, closing ones go", 0, 6, kCodeV, 'v', 0, "one\r\ntwo\n\nthree\n",
         "one two three", "one\r\ntwo\n\nthree\n", 0, 13, 1},
        {"tabs become blanks, control bytes go", 6, 6, kCodeV, 'v', 0, "\t1\x01" "2\x7F", "abcdef 12",
         "\t1\x01" "2\x7F", 9, 9, 1},
        {"non-ASCII is pasted byte for byte", 0, 0, kCodeV, 'v', 0, "Gr\xC3\xBC\xC3\x9F" "e ",
         "Gr\xC3\xBC\xC3\x9F" "e abcdef", "Gr\xC3\xBC\xC3\x9F" "e ", 8, 8, 1},
    };
    for (const auto& c : cases) {
        BTN_text_fields_reset_for_test();
        platform::clipboard_reset_for_test();
        if (c.clip_before) {
            ASSERT_EQ(BTN_text_to_clipboard(c.clip_before), 0);
        }
        focus_id = 0;
        a().text = "abcdef";
        click_at(600, 100);
        click_at(a().x + 1, 303);
        DODE_SetSelection(BTN_text_editor(), c.s, c.e);
        press(c.code, c.ch ? c.ch : static_cast<uint32_t>(c.letter & 0x1F), static_cast<uint32_t>(c.letter),
              platform::mod_control);
        frame();
        EXPECT_EQ(a().text, c.want_text) << c.what;
        std::string clip = "-";
        BTN_text_from_clipboard(clip);
        EXPECT_EQ(clip, c.want_clip) << c.what;
        EXPECT_EQ(selection(), (std::pair<int, int>{c.want_s, c.want_e})) << c.what;
        EXPECT_EQ(a().returned, c.want_return) << c.what;
    }
}

TEST_F(TextFields, TheLengthLimitCutsWholeCharacters) {
    const struct {
        const char* what;
        std::string text;
        int max_len;
        const char* clip;   // pasted when set, else typed
        std::string typed;
        std::string want;
    } cases[] = {
        {"a paste longer than the room is cut", "abc", 5, "defgh", "", "abcde"},
        {"typing at the limit changes nothing", "abcde", 5, nullptr, "f", "abcde"},
        {"a cut never splits a character", "abcd", 5, nullptr, "\xC3\xA9", "abcd"},
        {"a pasted character straddling the limit goes whole", "ab", 5, "c\xE2\x82\xAC" "d", "", "abc"},
        {"a character that fits stays", "abc", 5, nullptr, "\xC3\xA9", "abc\xC3\xA9"},
    };
    for (const auto& c : cases) {
        BTN_text_fields_reset_for_test();
        focus_id = 0;
        a().text = c.text;
        a().max_len = c.max_len;
        click_at(600, 100);
        click_at(a().x + 150, 303);   // right of the text: the caret at its end
        if (c.clip) {
            ASSERT_TRUE(UTL_SetTextToClipboard(c.clip));
            control(kCodeV, 'v');
        } else {
            type(c.typed);
        }
        frame();
        EXPECT_EQ(a().text, c.want) << c.what;
        EXPECT_EQ(a().returned, 1) << c.what;   // the engine changed it, even if the cut undid that
        const auto [s, e] = selection();
        EXPECT_LE(e, static_cast<int>(a().text.size())) << c.what;
        EXPECT_LE(s, e) << c.what;
        type("");
        frame();   // the next frame draws without complaint
    }
}

TEST_F(TextFields, TheCharacterArrayFormKeepsAtMost499Bytes) {
    static char name[601];
    std::memset(name, 0, sizeof name);
    std::memset(name, 'n', 497);
    int returned = 0;
    struct holder {
        static int& ret() {
            static int r = 0;
            return r;
        }
        static void draw() { ret() = BTN_enterstring(100.f, 300.f, name, 600, "Long|", 200.f, 1); }
    };
    frame_hooks.app_update = &holder::draw;
    frame();
    press(kCodeEnd, 0);
    type("abcd\xC3\xA9");
    frame();
    returned = holder::ret();
    EXPECT_EQ(returned, 1);
    EXPECT_EQ(std::strlen(name), 499u);
    EXPECT_EQ(std::string(name + 495, 4), "nnab");

    // A small array keeps its own limit.
    static char small[6] = "abc";
    struct small_holder {
        static void draw() { BTN_enterstring(100.f, 200.f, small, 5, "", 100.f, 1); }
    };
    BTN_text_fields_reset_for_test();
    focus_id = 0;
    frame_hooks.app_update = &small_holder::draw;
    frame();
    press(kCodeEnd, 0);
    type("defg");
    frame();
    EXPECT_STREQ(small, "abcde");
}

TEST_F(TextFields, AKeyUpIsOnlyRemoved) {
    click_at(a().x + 150, 303);
    platform::push_test_event(key_event(platform::ev_key_up, kCodeAny, 'q', 'q', 0));
    frame();
    EXPECT_EQ(a().text, "first");
    EXPECT_EQ(a().returned, 0);
}

// Keys queued for a field that is never drawn again must not fill the shared queue for good.
TEST_F(TextFields, KeysLeftForAVanishedFieldDoNotBlockTheQueue) {
    for (int round = 0; round < 40; ++round) {
        const field gone{100, 400.0f + static_cast<float>(round), 200, "gone"};
        g_fields = {gone, b()};
        focus_id = gone.id();
        frame();                   // both in the ring, the doomed one focused
        type("k");                 // for it
        press(kCodeTab, 9);        // to b
        type("m");                 // for b
        g_fields.erase(g_fields.begin());
        frame();
    }
    field& only = g_fields[0];
    EXPECT_EQ(only.text, "m");
    focus_id = only.id();
    frame();
    type("ok");
    frame();
    EXPECT_EQ(only.text, "mok");
}

TEST_F(TextFields, FieldsAtTheSameTruncatedPlaceAreOneField) {
    g_fields = {{100.3f, 300.7f, 200, "same"}, {100.9f, 300.2f, 200, "same"}};
    EXPECT_EQ(g_fields[0].id(), g_fields[1].id());
    click_at(105, 303);
    EXPECT_EQ(focus_id, g_fields[0].id());
    press(kCodeTab, 9);
    frame();
    frame();
    EXPECT_EQ(focus_id, g_fields[0].id());   // Tab lands on the same id
}

TEST_F(TextFields, AnOpenMenuKeepsPressesFromTheField) {
    // A popup drawn before the fields holds the menu open in the frame of the press.
    frame_hooks.app_update = [] {
        mbar.open_menu = 3;
        draw_fields();
    };
    click_at(a().x + 5, 303);
    EXPECT_EQ(focus_id, 0);
    mbar.open_menu = -1;
}

TEST_F(TextFields, ThePointerOverAFieldShowsItsHelp) {
    const struct {
        float x, y;
        const char* want;
    } cases[] = {
        {150, 296, "The name"},   // below the text area, still the field's
        {150, 314, "The name"},
        {150, 320, ""},
        {310, 300, ""},
    };
    for (const auto& c : cases) {
        help.help_text.clear();
        mnw.mouse_x = c.x;
        mnw.mouse_y = c.y;
        BTN_begin_focus_ring();
        draw_fields();
        EXPECT_EQ(help.help_text, c.want) << c.x << "," << c.y;
    }
}

TEST_F(TextFields, ScrollingFollowsTheCaret) {
    a().w = 40;
    a().text = "a rather long name that does not fit";
    click_at(a().x + 1, 303);
    press(kCodeEnd, 0);
    frame();
    const float end_x = x_after(a(), a().text.size());
    EXPECT_GT(DODE_dx, 0);
    EXPECT_LE(end_x - DODE_dx, a().x + a().w);
    EXPECT_GE(end_x - DODE_dx, a().x);
    press(kCodeHome, 0);
    frame();
    EXPECT_EQ(DODE_dx, 0);
}

// The scissor box a field's text is drawn in and the glyph quads drawn inside it, in interface units.
struct clipped_text {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    std::vector<std::vector<drawtest::corner>> glyphs;   // four corners each
};
clipped_text text_in_clip(const drawtest::calls& made) {
    clipped_text out;
    std::size_t i = 0;
    for (; i < made.size(); ++i) {
        if (made[i].rfind("glScissor(", 0) != 0) continue;
        const drawtest::gl_call c = drawtest::parse(made[i]);
        out.x0 = c.num[0] / wins.scale - wins.off_x;
        out.y0 = c.num[1] / wins.scale - wins.off_y;
        out.x1 = out.x0 + c.num[2] / wins.scale;
        out.y1 = out.y0 + c.num[3] / wins.scale;
        break;
    }
    drawtest::calls inside;
    for (; i < made.size() && made[i] != "glDisable(GL_SCISSOR_TEST)"; ++i) inside.push_back(made[i]);
    for (const auto& batch : drawtest::quad_batches(inside))
        for (std::size_t q = 0; q + 4 <= batch.size(); q += 4) {
            std::vector<drawtest::corner> quad(batch.begin() + static_cast<long>(q), batch.begin() + static_cast<long>(q) + 4);
            for (auto& k : quad) {
                k.x -= wins.off_x;
                k.y -= wins.off_y;
            }
            out.glyphs.push_back(quad);
        }
    return out;
}

TEST_F(TextFields, AOneLineFieldStaysOneLineAndItsClipHoldsWholeGlyphs) {
    wins.scale = 1;
    // Capitals with accents above, descenders below; and a name far wider than the field plus
    // the room the editor is given beyond it.
    std::string very_long;
    for (int i = 0; very_long.size() < 600; ++i) very_long += "Ventaro Installer " + std::to_string(i) + " ";
    struct clip_case {
        const char* what;
        std::string text;
        bool focused;
    };
    const clip_case cases[] = {
        {"accents and descenders, not focused", "ÄÖÜ Äpfel Ågjpq", false},
        {"accents and descenders, focused", "ÄÖÜ Äpfel Ågjpq", true},
        {"a long name, caret at its end", very_long, true},
    };
    for (const clip_case& c : cases) {
        SCOPED_TRACE(c.what);
        BTN_text_fields_reset_for_test();
        focus_ring.clear();
        focus_id = wind_focus = 0;
        a().text = c.text;
        a().max_len = 1000;
        frame();
        if (c.focused) {
            click_at(a().x + 1, 303);
            press(kCodeEnd, 0);
            frame();
            ASSERT_EQ(focus_id, a().id());
        }
        platform::test_clock_advance(16667);
        MACIBM_event_proc();
        const clipped_text t = text_in_clip(rec.take());
        EXPECT_EQ(DODE_dy, 0) << "the field scrolled to another line";
        ASSERT_FALSE(t.glyphs.empty()) << "nothing drawn in the field";
        int seen = 0;
        for (const auto& g : t.glyphs) {
            if (g[2].x <= t.x0 || g[0].x >= t.x1) continue;   // scrolled out sideways
            ++seen;
            EXPECT_GE(g[0].y, t.y0) << "a glyph reaches below the clip";
            EXPECT_LE(g[2].y, t.y1) << "a glyph reaches above the clip";
            EXPECT_NEAR(g[0].y, t.glyphs.front()[0].y, 6) << "glyphs on another line";
        }
        EXPECT_GT(seen, 5) << "the field shows too little of its text";
    }
}

TEST(ToolkitClipboard, TextFlavourInAndOut) {
    platform::clipboard_reset_for_test();
    EXPECT_EQ(BTN_is_text_on_clipboard(), 0);
    std::string out = "kept";
    EXPECT_EQ(BTN_text_from_clipboard(out), 0);
    EXPECT_EQ(out, "kept");

    const std::string bytes("a\0b\xC3\xA9\r\n", 7);
    EXPECT_EQ(BTN_text_to_clipboard(bytes), 0);
    EXPECT_EQ(BTN_is_text_on_clipboard(), 1);
    EXPECT_EQ(BTN_text_from_clipboard(out), 1);
    EXPECT_EQ(out, bytes);

    EXPECT_EQ(BTN_text_to_clipboard(""), 0);
    EXPECT_EQ(BTN_is_text_on_clipboard(), 1);
    out = "kept";
    EXPECT_EQ(BTN_text_from_clipboard(out), 1);   // an empty flavour reads as empty text
    EXPECT_EQ(out, "");
    UNDO_BeginCommand("Typing");
}

}  // namespace
