// The text-editing engine against a small host of its own: a monospace face (every character 6
// units wide, line breaks 0), lines 10 high, a logical area of a chosen width and a visible window
// that the engine scrolls. Keys, selection, word breaks, vertical moves, replacement and drawing.
#include "ui/text_edit.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

namespace {

constexpr float kChar = 6, kLine = 10;

bool cont(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }
float width_of(char c) { return c == '\n' || c == '\r' ? 0 : kChar; }

struct rect {
    float l, b, r, t;
    bool operator==(const rect&) const = default;
};
std::ostream& operator<<(std::ostream& os, const rect& x) {
    return os << "{" << x.l << "," << x.b << "," << x.r << "," << x.t << "}";
}

class mono_host : public DODE {
public:
    std::string text;
    float wide = 1000;                    // logical width
    float vis_w = 1000, vis_h = 100;      // visible size, from (0, 0)
    float sx = 0, sy = 0;                 // scroll
    int scrolls = 0;
    std::vector<std::string> drawn;
    std::vector<float> drawn_y;
    std::vector<rect> selections;

    void GetVisibleBounds(float b[4]) override {
        b[0] = 0;
        b[1] = 0;
        b[2] = vis_w;
        b[3] = vis_h;
    }
    void GetLogicalBounds(float b[4]) override {
        b[0] = -sx;
        b[1] = -sy;
        b[2] = wide - sx;
        b[3] = vis_h - sy;
    }
    void SetLogicalHeight(float) override {}
    void ScrollTo(float o[2]) override {
        sx = o[0];
        sy = o[1];
        ++scrolls;
    }
    void GetText(const char** f, const char** l) override {
        *f = text.data();
        *l = text.data() + text.size();
    }
    void ReplaceText(int s, int e, const char* f, const char* l) override {
        text.replace(static_cast<std::size_t>(s), static_cast<std::size_t>(e - s), f ? std::string(f, l) : "");
    }
    float GetLineHeight() override { return kLine; }
    float MeasureString(const char* f, const char* l) override {
        float w = 0;
        for (; f < l; ++f)
            if (!cont(*f)) w += width_of(*f);
        return w;
    }
    int FitStringFwd(const char* f, const char* l, float width) override {
        const char* p = f;
        float sum = 0;
        while (p < l) {
            sum += width_of(*p);
            if (sum > width) break;
            ++p;
            while (p < l && cont(*p)) ++p;
        }
        return static_cast<int>(p - f);
    }
    int FitStringRev(const char*, const char*, float) override { return 0; }
    void DrawString(const char* f, const char* l, float, float y) override {
        drawn.emplace_back(f, l);
        drawn_y.push_back(y);
    }
    void DrawSelection(float r[4]) override { selections.push_back({r[0], r[1], r[2], r[3]}); }
    const char* WordBreak(const char* f, const char* l) override {
        while (f < l && std::isspace(static_cast<unsigned char>(*f))) ++f;
        while (f < l && !std::isspace(static_cast<unsigned char>(*f))) ++f;
        return f;
    }
    const char* MBCS_Next(const char* p) override {
        return text.data() + DODE_utf8_next_pos(text.data(), static_cast<int>(text.size()),
                                                static_cast<int>(p - text.data()));
    }
    int MBCS_NextPos(int o) override { return DODE_utf8_next_pos(text.data(), static_cast<int>(text.size()), o); }
    int MBCS_PrevPos(int o) override { return DODE_utf8_prev_pos(text.data(), static_cast<int>(text.size()), o); }

    int sel_s() {
        int s = 0;
        GetSelection(&s, nullptr);
        return s;
    }
    int sel_e() {
        int e = 0;
        GetSelection(nullptr, &e);
        return e;
    }
    std::vector<int> starts() const { return record()->line_starts; }
};

// A key: one byte goes through Key, more through Key_MBCS.
struct key {
    std::string bytes;
    int extend = 0;
};
constexpr int kBack = 8, kDel = 127, kLeft = 28, kRight = 29, kUp = 30, kDown = 31, kHome = 1, kEnd = 4;
key k(int byte, int extend = 0) { return {std::string(1, static_cast<char>(byte)), extend}; }
key shift(int byte) { return k(byte, 1); }
key typed(const std::string& s) { return {s, 0}; }

const std::string e_acute = "\xC3\xA9";   // two bytes
const std::string euro = "\xE2\x82\xAC";  // three

TEST(TextEngine, KeysEditAndMoveTheSelection) {
    const struct {
        const char* what;
        std::string text;
        int s, e;
        std::vector<key> keys;
        std::string want_text;
        int want_s, want_e, want_active;
    } cases[] = {
        {"Left at 0 stays", "abc", 0, 0, {k(kLeft)}, "abc", 0, 0, 1},
        {"Right at the end stays", "abc", 3, 3, {k(kRight)}, "abc", 3, 3, 1},
        {"Left and Right step over whole characters", "a" + e_acute + "b", 3, 3, {k(kLeft)}, "a" + e_acute + "b", 1,
         1, 1},
        {"Right over a three-byte character", "a" + euro, 1, 1, {k(kRight)}, "a" + euro, 4, 4, 1},
        {"Left collapses a selection to its start", "abcdef", 1, 4, {k(kLeft)}, "abcdef", 1, 1, 1},
        {"Right collapses a selection to its end", "abcdef", 1, 4, {k(kRight)}, "abcdef", 4, 4, 1},
        {"Backspace at 0 does nothing", "abc", 0, 0, {k(kBack)}, "abc", 0, 0, 1},
        {"Backspace removes a two-byte character whole", "a" + e_acute, 3, 3, {k(kBack)}, "a", 1, 1, 1},
        {"Backspace deletes the selection", "abcdef", 1, 4, {k(kBack)}, "aef", 1, 1, 1},
        {"forward Delete deletes the next character", "abc", 1, 1, {k(kDel)}, "ac", 1, 1, 1},
        {"forward Delete takes a whole character", "a" + e_acute + "b", 1, 1, {k(kDel)}, "ab", 1, 1, 1},
        {"forward Delete at the end does nothing", "abc", 3, 3, {k(kDel)}, "abc", 3, 3, 1},
        {"forward Delete deletes the selection", "abcdef", 1, 4, {k(kDel)}, "aef", 1, 1, 1},
        {"typing replaces the selection", "hello", 1, 4, {typed("X")}, "hXo", 2, 2, 1},
        {"a typed two-byte character", "ab", 1, 1, {typed(e_acute)}, "a" + e_acute + "b", 3, 3, 1},
        {"a typed character over a selection", "abcd", 1, 3, {typed(euro)}, "a" + euro + "d", 4, 4, 1},
        {"Shift-Left selects back with the start moving", "abcd", 3, 3, {shift(kLeft)}, "abcd", 2, 3, 0},
        {"then Shift-Right collapses it again", "abcd", 3, 3, {shift(kLeft), shift(kRight)}, "abcd", 3, 3, 0},
        {"Shift-Right twice grows the end", "abcd", 1, 1, {shift(kRight), shift(kRight)}, "abcd", 1, 3, 1},
        {"Shift-Left over a two-byte character", "a" + e_acute, 3, 3, {shift(kLeft)}, "a" + e_acute, 1, 3, 0},
        {"Home goes to the line's start", "abcd", 2, 2, {k(kHome)}, "abcd", 0, 0, 1},
        {"End goes to the line's end", "abcd", 2, 2, {k(kEnd)}, "abcd", 4, 4, 1},
        {"Shift-End selects to the end", "abcd", 1, 1, {shift(kEnd)}, "abcd", 1, 4, 1},
        {"Shift-Home selects to the start", "abcd", 3, 3, {shift(kHome)}, "abcd", 0, 3, 0},
        {"Home and End stay on their line", "ab\ncd\nef", 4, 4, {k(kEnd)}, "ab\ncd\nef", 5, 5, 1},
        {"Home on the second line", "ab\ncd\nef", 4, 4, {k(kHome)}, "ab\ncd\nef", 3, 3, 1},
        {"page keys do nothing", "abcd", 2, 2, {k(11), k(12)}, "abcd", 2, 2, 1},
        {"control bytes are never inserted", "ab", 1, 1, {k(0), k(9), k(13), k(27), k(2), k(0x1A)}, "ab", 1, 1, 1},
        {"a control byte leaves the selection", "abcd", 1, 3, {k(13)}, "abcd", 1, 3, 1},
        {"bytes above 127 alone are inserted", "ab", 1, 1, {k(0xE9)}, "a\xE9" "b", 2, 2, 1},
        {"a multi-byte key with a control byte is refused", "ab", 1, 1, {typed(std::string("x\n"))}, "ab", 1, 1, 1},
    };
    for (const auto& c : cases) {
        mono_host h;
        h.text = c.text;
        h.Repaginate();
        h.SetSelection(c.s, c.e);
        for (const key& kk : c.keys) {
            std::string b = kk.bytes;
            if (b.size() == 1) h.Key(b[0], kk.extend);
            else h.Key_MBCS(static_cast<int>(b.size()), b.data(), kk.extend);
        }
        EXPECT_EQ(h.text, c.want_text) << c.what;
        EXPECT_EQ(h.sel_s(), c.want_s) << c.what;
        EXPECT_EQ(h.sel_e(), c.want_e) << c.what;
        EXPECT_EQ(h.record()->active_end, c.want_active) << c.what;
    }
}

TEST(TextEngine, UpAndDownKeepTheirColumnAcrossShortLines) {
    mono_host h;
    h.text = "abcdef\nab\nabcdef";   // lines at 0, 7, 10
    h.Repaginate();
    ASSERT_EQ(h.starts(), (std::vector<int>{0, 7, 10}));
    h.SetSelection(5, 5);
    const struct {
        int key;
        int want;
    } steps[] = {
        {kDown, 9},    // the short line's end, not past its break
        {kDown, 15},   // back in column 5
        {kUp, 9},
        {kUp, 5},
        {kUp, 0},      // from the first line: the text's start
        {kDown, 9},    // still aiming at column 5
    };
    for (const auto& s : steps) {
        h.Key(static_cast<char>(s.key), 0);
        EXPECT_EQ(h.sel_s(), s.want);
        EXPECT_EQ(h.sel_e(), s.want);
    }
    h.SetSelection(12, 12);
    h.Key(static_cast<char>(kDown), 0);   // from the last line: the text's end
    EXPECT_EQ(h.sel_s(), 16);

    // Any other key forgets the column.
    h.SetSelection(5, 5);
    h.Key(static_cast<char>(kDown), 0);
    h.Key(static_cast<char>(kLeft), 0);
    EXPECT_EQ(h.record()->desired_x, -1);
    h.Key(static_cast<char>(kDown), 0);
    EXPECT_EQ(h.sel_s(), 10 + 1);

    // Shift-Down extends from the moving end; Up without shift collapses to the start.
    h.SetSelection(1, 1);
    h.Key(static_cast<char>(kRight), 0);
    h.Key(static_cast<char>(kDown), 1);
    EXPECT_EQ(h.sel_s(), 2);
    EXPECT_EQ(h.sel_e(), 9);
    h.Key(static_cast<char>(kUp), 0);
    EXPECT_EQ(h.sel_s(), 2);
    EXPECT_EQ(h.sel_e(), 2);
}

TEST(TextEngine, RepaginationBreaksAtBlanksLineBreaksAndOverlongWords) {
    const struct {
        const char* what;
        std::string text;
        float width;
        std::vector<int> starts;
    } cases[] = {
        {"empty text", "", 60, {0}},
        {"fits", "hello world", 100, {0}},
        {"the blank stays on the line it ends", "hello world again", 60, {0, 6, 12}},
        {"a line feed ends its line", "ab\ncd", 1000, {0, 3}},
        {"a carriage return too", "ab\rcd", 1000, {0, 3}},
        {"a closing line break adds no line", "ab\n", 1000, {0}},
        {"blanks before a break stay", "ab  \ncd", 1000, {0, 5}},
        {"a word wider than the line is cut a character at a time", "abcdefg", 18, {0, 1, 2, 3, 4}},
        {"cut on character boundaries", e_acute + e_acute + e_acute + e_acute + e_acute, 12, {0, 2, 4, 6}},
        {"leading blanks", "   abc def", 36, {0, 7}},
    };
    for (const auto& c : cases) {
        mono_host h;
        h.wide = c.width;
        h.text = c.text;
        h.record()->line_starts = {0, 99, 98, 97, 96, 95, 94, 93};   // stale entries go
        h.Repaginate();
        EXPECT_EQ(h.starts(), c.starts) << c.what;
        for (int s : h.starts()) EXPECT_TRUE(s == 0 || s < static_cast<int>(c.text.size())) << c.what;
    }
}

TEST(TextEngine, LinesOfOffsets) {
    mono_host h;
    h.text = "ab\ncd\nef";
    h.Repaginate();
    const int want[] = {0, 0, 0, 1, 1, 1, 2, 2, 2, 2};
    for (int off = 0; off < 10; ++off) EXPECT_EQ(DODE_CharPosToLine(h.record(), off), want[off]) << off;
}

TEST(TextEngine, ClicksAndDragsMapPointsToOffsets) {
    mono_host h;
    h.text = "hello\nworld";   // line 0 from y 100 down to 90, line 1 to 80
    h.Repaginate();
    const struct {
        const char* what;
        float x, y;
        int extend;
        int s0, e0;
        int want_s, want_e;
    } cases[] = {
        {"inside a character: before it", 14, 95, 0, 0, 0, 2, 2},
        {"right of a line: its end, before the break", 500, 95, 0, 0, 0, 5, 5},
        {"right of the last line: the text's end", 500, 85, 0, 0, 0, 11, 11},
        {"above the first line: 0", 20, 130, 0, 4, 4, 0, 0},
        {"below the last line: the end", 20, 10, 0, 0, 0, 11, 11},
        {"left of the text: the line's start", -40, 85, 0, 0, 0, 6, 6},
        {"shift-click after the selection moves its end", 20, 85, 1, 1, 2, 1, 9},
        {"shift-click before it moves its start", 6, 95, 1, 3, 4, 1, 4},
    };
    for (const auto& c : cases) {
        h.SetSelection(c.s0, c.e0);
        h.Click(c.x, c.y, c.extend);
        EXPECT_EQ(h.sel_s(), c.want_s) << c.what;
        EXPECT_EQ(h.sel_e(), c.want_e) << c.what;
    }
    // A drag moves the caret's end, and crossing the start swaps the ends.
    h.Click(18, 95, 0);
    h.Drag(30, 85);
    EXPECT_EQ(h.sel_s(), 3);
    EXPECT_EQ(h.sel_e(), 11);
    h.Drag(6, 95);
    EXPECT_EQ(h.sel_s(), 1);
    EXPECT_EQ(h.sel_e(), 3);
    EXPECT_EQ(h.record()->active_end, 0);
}

TEST(TextEngine, ReplacingTextKeepsTheSelectionOnItsText) {
    const struct {
        const char* what;
        int s, e;
        int a, b;
        std::string with;
        std::string want_text;
        int want_s, want_e;
    } cases[] = {
        {"paste at a caret: after it", 2, 2, 2, 2, "xyz", "abxyzcdef", 5, 5},
        {"paste over the selection: selected", 2, 4, 2, 4, "xyz", "abxyzef", 2, 5},
        {"before the selection: it moves", 4, 5, 1, 2, "xyz", "axyzcdef", 6, 7},
        {"after the selection: it stays", 1, 2, 3, 5, "", "abcf", 1, 2},
        {"deleting the whole selection", 2, 4, 2, 4, "", "abef", 2, 2},
        {"deleting more than the selection around it", 3, 4, 2, 5, "", "abf", 2, 2},
    };
    for (const auto& c : cases) {
        mono_host h;
        h.text = "abcdef";
        h.Repaginate();
        h.SetSelection(c.s, c.e);
        h.DoReplaceText(c.a, c.b, c.with.empty() ? nullptr : c.with.data(),
                        c.with.empty() ? nullptr : c.with.data() + c.with.size());
        EXPECT_EQ(h.text, c.want_text) << c.what;
        EXPECT_EQ(h.sel_s(), c.want_s) << c.what;
        EXPECT_EQ(h.sel_e(), c.want_e) << c.what;
        EXPECT_LE(h.sel_e(), static_cast<int>(h.text.size())) << c.what;
    }
}

TEST(TextEngine, TypingPastTheVisibleEdgeScrollsTheCaretIntoView) {
    mono_host h;
    h.vis_w = 60;   // ten characters
    h.wide = 60 + 1024;
    h.Repaginate();
    for (int i = 0; i < 20; ++i) h.Key('x', 0);
    EXPECT_EQ(h.sx, 20 * kChar - 60);   // the caret sits at the right edge
    h.Key(static_cast<char>(kHome), 0);
    EXPECT_EQ(h.sx, 0);
    const int before = h.scrolls;
    h.Key(static_cast<char>(kRight), 0);
    EXPECT_EQ(h.scrolls, before);   // already in view: no scroll call
}

TEST(TextEngine, DrawingSelectionTextAndCaret) {
    mono_host h;
    h.text = "abc\ndef\nghi";
    h.Repaginate();
    h.SetSelection(1, 9);
    h.Draw(1);
    EXPECT_EQ(h.drawn, (std::vector<std::string>{"abc\n", "def\n", "ghi"}));
    EXPECT_EQ(h.drawn_y, (std::vector<float>{90, 80, 70}));
    EXPECT_EQ(h.selections, (std::vector<rect>{{6, 90, 1000, 100}, {0, 80, 1000, 90}, {0, 70, 6, 80}}));

    h.drawn.clear();
    h.selections.clear();
    h.SetSelection(5, 5);
    h.Draw(1);
    EXPECT_EQ(h.selections, (std::vector<rect>{{6, 80, 6, 90}}));
    h.selections.clear();
    h.Draw(0);
    EXPECT_TRUE(h.selections.empty());

    // The caret at the end of text that ends in a line break sits on the last line.
    h.text = "ab\n";
    h.Repaginate();
    h.SetSelection(3, 3);
    h.selections.clear();
    h.Draw(1);
    EXPECT_EQ(h.selections, (std::vector<rect>{{12, 90, 12, 100}}));

    // Only the visible lines are drawn.
    h.text = "l0\nl1\nl2\nl3\nl4";
    h.vis_h = 20;
    h.Repaginate();
    h.sy = -20;   // scrolled down by two lines
    h.drawn.clear();
    h.Draw(0);
    EXPECT_EQ(h.drawn, (std::vector<std::string>{"l2\n", "l3\n"}));
}

TEST(TextEngine, Utf8Stepping) {
    const std::string t = "a" + e_acute + euro + "\xF0\x9F\x98\x80" + "z";   // offsets 0 1 3 6 10 11
    const int len = static_cast<int>(t.size());
    const struct {
        int at, next, prev;
    } cases[] = {
        {0, 1, -1}, {1, 3, 0}, {2, 3, 0}, {3, 6, 1}, {4, 6, 1}, {6, 10, 3},
        {8, 10, 3}, {10, 11, 6}, {11, 12, 10}, {15, 16, 10},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DODE_utf8_next_pos(t.data(), len, c.at), c.next) << c.at;
        EXPECT_EQ(DODE_utf8_prev_pos(t.data(), len, c.at), c.prev) << c.at;
    }
}

}  // namespace
