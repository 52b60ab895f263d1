#include "ui/text_edit.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace {

// Keys of DODE_Key.
constexpr int kBackspace = 8, kForwardDelete = 127, kLeft = 28, kRight = 29, kUp = 30, kDown = 31, kHome = 1,
              kEnd = 4;

struct text_view {
    const char* first = nullptr;
    const char* last = nullptr;
    int len() const { return static_cast<int>(last - first); }
};

text_view text_of(DODE_Rec* r) {
    text_view t;
    r->cb.GetText(r, &t.first, &t.last);
    if (!t.first || t.last < t.first) t.last = t.first;
    return t;
}

// Blanks as the C library counts them, asked only about 7-bit bytes.
bool is_blank(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x80 && std::isspace(u);
}

bool is_line_break(char c) { return c == '\r' || c == '\n'; }

int line_count(DODE_Rec* r) { return static_cast<int>(r->line_starts.size()); }

// Line i's first byte and one past its last (the text's end for the last line).
int line_begin(DODE_Rec* r, int i, int len) {
    if (i < 0 || i >= line_count(r)) return i <= 0 ? 0 : len;
    return std::min(r->line_starts[static_cast<std::size_t>(i)], len);
}
int line_end(DODE_Rec* r, int i, int len) {
    if (i + 1 >= line_count(r)) return len;
    return std::min(r->line_starts[static_cast<std::size_t>(i) + 1], len);
}

// Where a caret aimed at line i by x may land: before the line's closing break, never past it.
int line_aim_end(DODE_Rec* r, const text_view& t, int i) {
    const int b = line_begin(r, i, t.len()), e = line_end(r, i, t.len());
    return e > b && is_line_break(t.first[e - 1]) ? e - 1 : e;
}

float measure(DODE_Rec* r, const text_view& t, int from, int to) {
    from = std::clamp(from, 0, t.len());
    to = std::clamp(to, from, t.len());
    return r->cb.MeasureString(r, t.first + from, t.first + to);
}

void normalize(DODE_Rec* r) {
    if (r->sel_end < r->sel_start) {
        std::swap(r->sel_start, r->sel_end);
        r->active_end = 1 - r->active_end;
    }
    const int len = text_of(r).len();
    r->sel_start = std::clamp(r->sel_start, 0, len);
    r->sel_end = std::clamp(r->sel_end, 0, len);
}

int& moving_end(DODE_Rec* r) { return r->active_end ? r->sel_end : r->sel_start; }

int coord_to_char_pos(DODE_Rec* r, float x, float y) {
    float lb[4];
    r->cb.GetLogicalBounds(r, lb);
    const float h = r->cb.GetLineHeight(r);
    x = std::clamp(x, lb[0], std::max(lb[0], lb[2]));
    const text_view t = text_of(r);
    const float row = h > 0 ? std::floor((lb[3] - y) / h) : 0;
    if (row < 0) return 0;
    if (row >= static_cast<float>(line_count(r))) return t.len();
    const int line = static_cast<int>(row);
    const int b = line_begin(r, line, t.len()), e = line_aim_end(r, t, line);
    const int fit = r->cb.FitStringFwd(r, t.first + b, t.first + e, x - lb[0]);
    return std::clamp(b + fit, b, e);
}

int vertical_adjust(DODE_Rec* r, int offset, int delta) {
    const text_view t = text_of(r);
    offset = std::clamp(offset, 0, t.len());
    int line = DODE_CharPosToLine(r, offset);
    if (r->desired_x == -1) r->desired_x = measure(r, t, line_begin(r, line, t.len()), offset);
    line += delta;
    if (line < 0) return 0;
    if (line >= line_count(r)) return t.len();
    const int b = line_begin(r, line, t.len()), e = line_aim_end(r, t, line);
    const int fit = r->cb.FitStringFwd(r, t.first + b, t.first + e, r->desired_x);
    return std::clamp(b + fit, b, e);
}

// Where Home and End take an offset on its line: the line's first byte, or its end less a
// closing line break (a wrapped line ends before its last character, so the caret stays on it).
int line_home(DODE_Rec* r, int offset) {
    const int len = text_of(r).len();
    return line_begin(r, DODE_CharPosToLine(r, offset), len);
}
int line_last(DODE_Rec* r, int offset) {
    const text_view t = text_of(r);
    const int line = DODE_CharPosToLine(r, offset);
    const int b = line_begin(r, line, t.len()), e = line_end(r, line, t.len());
    if (e > b && is_line_break(t.first[e - 1])) return e - 1;
    if (line + 1 < line_count(r) && e > b) return std::max(b, r->cb.MBCS_PrevPos(r, e));
    return e;
}

// Replaces start..end by the bytes and puts the caret after them.
void type_over_selection(DODE_Rec* r, const char* bytes, int n) {
    const int s = r->sel_start;
    if (n > 0) r->cb.ReplaceText(r, r->sel_start, r->sel_end, bytes, bytes + n);
    else r->cb.ReplaceText(r, r->sel_start, r->sel_end, nullptr, nullptr);
    r->sel_start = r->sel_end = s + n;
    r->active_end = 1;
    DODE_Repaginate(r);
    normalize(r);
    DODE_RevealSelection(r);
}

void delete_range(DODE_Rec* r, int from, int to) {
    r->cb.ReplaceText(r, from, to, nullptr, nullptr);
    r->sel_start = r->sel_end = from;
    DODE_Repaginate(r);
    normalize(r);
    DODE_RevealSelection(r);
}

// Moves the caret (or, with extend, the moving end) to target.
void move_to(DODE_Rec* r, int target, int extend) {
    if (extend) moving_end(r) = target;
    else r->sel_start = r->sel_end = target;
    normalize(r);
    DODE_RevealSelection(r);
}

void repaginate(DODE_Rec* r) {
    const text_view t = text_of(r);
    const int len = t.len();
    float lb[4];
    r->cb.GetLogicalBounds(r, lb);
    const float width = lb[2] - lb[0];
    std::vector<int>& starts = r->line_starts;
    if (starts.empty()) starts.push_back(0);
    starts[0] = 0;

    int pos = 0;
    std::size_t i = 0;
    for (;;) {
        int line_len = 0;
        if (pos < len) {
            int seg = pos, accepted = 0;
            float used = 0;
            for (;;) {
                // The blank run, which stops at a line break.
                int p = seg;
                while (p < len && is_blank(t.first[p]) && !is_line_break(t.first[p]))
                    p = static_cast<int>(r->cb.MBCS_Next(r, t.first + p) - t.first);
                p = std::min(p, len);
                const int to_run_end = p - pos;
                if (p == len) {
                    line_len = to_run_end;
                    break;
                }
                if (is_line_break(t.first[p])) {
                    line_len = to_run_end + 1;
                    break;
                }
                int word_end = static_cast<int>(r->cb.WordBreak(r, t.first + p, t.last) - t.first);
                word_end = std::clamp(word_end, p + 1, len);
                used += r->cb.MeasureString(r, t.first + seg, t.first + p) +
                        r->cb.MeasureString(r, t.first + p, t.first + word_end);
                if (used > width) {
                    if (to_run_end > 0) {
                        line_len = to_run_end;
                    } else {
                        // A word wider than the line: one character per line until the rest fits.
                        const int next = static_cast<int>(r->cb.MBCS_Next(r, t.first + pos) - t.first);
                        line_len = std::clamp(next - pos, 1, len - pos);
                    }
                    break;
                }
                accepted = word_end - pos;
                seg = word_end;
                if (word_end == len) {
                    line_len = accepted;
                    break;
                }
            }
        }
        pos += line_len;
        ++i;
        if (pos >= len) {
            starts.resize(std::max<std::size_t>(i, 1));
            break;
        }
        if (i < starts.size()) starts[i] = pos;
        else starts.push_back(pos);
    }
    r->cb.SetLogicalHeight(r, static_cast<float>(starts.size()) * r->cb.GetLineHeight(r));
}

}  // namespace

DODE_Rec* DODE_Create(const DODE_Callbacks* callbacks, DODE* ref) {
    auto* r = new DODE_Rec;
    r->cb = *callbacks;
    r->ref = ref;
    return r;
}

void DODE_Destroy(DODE_Rec* rec) { delete rec; }

DODE* DODE_GetRef(DODE_Rec* rec) { return rec->ref; }

void DODE_GetSelection(DODE_Rec* rec, int* start, int* end) {
    if (start) *start = rec->sel_start;
    if (end) *end = rec->sel_end;
}

void DODE_SetSelection(DODE_Rec* rec, int start, int end) {
    rec->sel_start = start;
    rec->sel_end = end;
    normalize(rec);
}

int DODE_CharPosToLine(DODE_Rec* rec, int offset) {
    const std::vector<int>& s = rec->line_starts;
    if (s.empty()) return 0;
    const auto it = std::lower_bound(s.begin(), s.end(), offset);
    const int k = static_cast<int>(it - s.begin());
    if (k == static_cast<int>(s.size())) return k - 1;
    return *it == offset ? k : std::max(0, k - 1);
}

void DODE_Click(DODE_Rec* rec, float x, float y, int extend) {
    rec->desired_x = -1;
    const int p = coord_to_char_pos(rec, x, y);
    if (!extend) {
        rec->sel_start = rec->sel_end = p;
        rec->active_end = 1;
    } else if (p < rec->sel_start) {
        rec->sel_start = p;
        rec->active_end = 0;
    } else {
        rec->sel_end = p;
        rec->active_end = 1;
    }
    normalize(rec);
    DODE_RevealSelection(rec);
}

void DODE_Drag(DODE_Rec* rec, float x, float y) {
    rec->desired_x = -1;
    moving_end(rec) = coord_to_char_pos(rec, x, y);
    normalize(rec);
    DODE_RevealSelection(rec);
}

void DODE_Key(DODE_Rec* rec, char key, int extend) {
    const int k = static_cast<unsigned char>(key);
    if (k != kUp && k != kDown) rec->desired_x = -1;
    normalize(rec);
    const int s = rec->sel_start, e = rec->sel_end;
    switch (k) {
    case kBackspace:
        rec->active_end = 1;
        if (s < e) delete_range(rec, s, e);
        else if (s > 0) delete_range(rec, std::max(0, rec->cb.MBCS_PrevPos(rec, s)), s);
        return;
    case kForwardDelete:
        rec->active_end = 1;
        if (s < e) delete_range(rec, s, e);
        else if (s < text_of(rec).len())
            delete_range(rec, s, std::min(text_of(rec).len(), rec->cb.MBCS_NextPos(rec, s)));
        return;
    case kLeft:
        if (extend) move_to(rec, rec->cb.MBCS_PrevPos(rec, moving_end(rec)), 1);
        else move_to(rec, s < e ? s : rec->cb.MBCS_PrevPos(rec, s), 0);
        return;
    case kRight:
        if (extend) move_to(rec, rec->cb.MBCS_NextPos(rec, moving_end(rec)), 1);
        else move_to(rec, s < e ? e : rec->cb.MBCS_NextPos(rec, s), 0);
        return;
    case kUp:
        if (extend) move_to(rec, vertical_adjust(rec, moving_end(rec), -1), 1);
        else move_to(rec, s < e ? s : vertical_adjust(rec, s, -1), 0);
        return;
    case kDown:
        if (extend) move_to(rec, vertical_adjust(rec, moving_end(rec), 1), 1);
        else move_to(rec, s < e ? e : vertical_adjust(rec, s, 1), 0);
        return;
    case kHome:
        move_to(rec, line_home(rec, extend ? moving_end(rec) : (rec->active_end ? e : s)), extend);
        return;
    case kEnd:
        move_to(rec, line_last(rec, extend ? moving_end(rec) : (rec->active_end ? e : s)), extend);
        return;
    default:
        break;
    }
    // Other control bytes are keys without a meaning here (page keys among them): text never
    // gets them.
    if (k < 0x20 || k == 0x7F) return;
    type_over_selection(rec, &key, 1);
}

void DODE_Key_MBCS(DODE_Rec* rec, int byte_count, char* bytes, int extend) {
    if (byte_count == 1) {
        DODE_Key(rec, bytes[0], extend);
        return;
    }
    if (byte_count < 1 || !bytes) return;
    for (int i = 0; i < byte_count; ++i) {
        const auto u = static_cast<unsigned char>(bytes[i]);
        if (u < 0x20 || u == 0x7F) return;
    }
    rec->desired_x = -1;
    normalize(rec);
    type_over_selection(rec, bytes, byte_count);
}

void DODE_ReplaceText(DODE_Rec* rec, int start, int end, const char* first, const char* last) {
    const int added = first && last > first ? static_cast<int>(last - first) : 0;
    const int d = added - (end - start);
    int& s = rec->sel_start;
    int& e = rec->sel_end;
    if (s >= start && s < end) {
        e += d;
        if (e < s) s = e = std::max(s + d, start);
    } else if (s >= end) {
        s += d;
        e += d;
    }
    if (added) rec->cb.ReplaceText(rec, start, end, first, last);
    else rec->cb.ReplaceText(rec, start, end, nullptr, nullptr);
    DODE_Repaginate(rec);
    normalize(rec);
}

void DODE_Repaginate(DODE_Rec* rec) { repaginate(rec); }

void DODE_RevealSelection(DODE_Rec* rec) {
    float vb[4], lb[4];
    rec->cb.GetVisibleBounds(rec, vb);
    rec->cb.GetLogicalBounds(rec, lb);
    const float h = rec->cb.GetLineHeight(rec);
    const text_view t = text_of(rec);
    const int p = std::clamp(moving_end(rec), 0, t.len());
    const int line = DODE_CharPosToLine(rec, p);
    const float cx = lb[0] + measure(rec, t, line_begin(rec, line, t.len()), p);
    const float cy = lb[3] - static_cast<float>(line - rec->active_end + 1) * h;
    const float old_sx = vb[0] - lb[0], old_sy = vb[1] - lb[1];
    float sx = old_sx, sy = old_sy;
    if (cx < vb[0]) sx = cx - lb[0];
    else if (cx > vb[2]) sx = cx - lb[0] - (vb[2] - vb[0]);
    if (cy < vb[1]) sy = cy - lb[1];
    else if (cy > vb[3]) sy = cy - lb[1] - (vb[3] - vb[1]);
    if (sx != old_sx || sy != old_sy) {
        float to[2] = {sx, sy};
        rec->cb.ScrollTo(rec, to);
    }
}

void DODE_Draw(DODE_Rec* rec, int draw_caret) {
    float vb[4], lb[4];
    rec->cb.GetVisibleBounds(rec, vb);
    rec->cb.GetLogicalBounds(rec, lb);
    const float h = rec->cb.GetLineHeight(rec);
    if (h <= 0) return;
    const text_view t = text_of(rec);
    const int len = t.len(), n = line_count(rec);
    const int first = std::max(0, static_cast<int>(std::floor((lb[3] - vb[3]) / h)));
    const int last = std::min(n, static_cast<int>(std::ceil((lb[3] - vb[1]) / h)));
    if (first >= last) return;
    const int s = std::clamp(rec->sel_start, 0, len), e = std::clamp(rec->sel_end, s, len);
    auto top_of = [&](int i) { return lb[3] - static_cast<float>(i) * h; };

    if (s < e) {
        for (int i = first; i < last; ++i) {
            const int l0 = line_begin(rec, i, len), l1 = line_end(rec, i, len);
            if (l0 >= e) break;
            if (s >= l1) continue;
            float left, right;
            if (l0 < s) {
                left = lb[0] + measure(rec, t, l0, s);
                right = e < l1 ? lb[0] + measure(rec, t, l0, e) : lb[2];
            } else {
                left = lb[0];
                right = e <= l1 ? lb[0] + measure(rec, t, l0, e) : lb[2];
            }
            float rect[4] = {left, top_of(i + 1), right, top_of(i)};
            rec->cb.DrawSelection(rec, rect);
        }
    }
    for (int i = first; i < last; ++i) {
        const int l0 = line_begin(rec, i, len), l1 = line_end(rec, i, len);
        rec->cb.DrawString(rec, t.first + l0, t.first + l1, lb[0], top_of(i + 1));
    }
    if (draw_caret && s == e) {
        for (int i = first; i < last; ++i) {
            const int l0 = line_begin(rec, i, len), l1 = line_end(rec, i, len);
            if (l0 > s) break;
            if (s < l1 || (s == l1 && i == n - 1)) {
                const float x = lb[0] + measure(rec, t, l0, s);
                float rect[4] = {x, top_of(i + 1), x, top_of(i)};
                rec->cb.DrawSelection(rec, rect);
                break;
            }
        }
    }
}

int DODE_utf8_next_pos(const char* text, int len, int offset) {
    if (offset >= len) return offset + 1;
    if (offset < 0) return 0;
    auto cont = [&](int i) { return (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80; };
    while (offset > 0 && cont(offset)) --offset;
    ++offset;
    while (offset < len && cont(offset)) ++offset;
    return offset;
}

int DODE_utf8_prev_pos(const char* text, int len, int offset) {
    if (offset <= 0) return -1;
    auto cont = [&](int i) { return (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80; };
    offset = std::min(offset, len);
    while (offset > 0 && offset < len && cont(offset)) --offset;
    if (offset == 0) return -1;
    --offset;
    while (offset > 0 && cont(offset)) --offset;
    return offset;
}

// The class's forwarders: the record's ref is the object.
const DODE_Callbacks DODE::forwarders = {
    &DODE::GetVisibleBoundsCB, &DODE::GetLogicalBoundsCB, &DODE::SetLogicalHeightCB, &DODE::ScrollToCB,
    &DODE::GetTextCB,          &DODE::ReplaceTextCB,      &DODE::GetLineHeightCB,    &DODE::MeasureStringCB,
    &DODE::FitStringFwdCB,     &DODE::FitStringRevCB,     &DODE::DrawStringCB,       &DODE::DrawSelectionCB,
    &DODE::WordBreakCB,        &DODE::MBCS_NextCB,        &DODE::MBCS_NextPosCB,     &DODE::MBCS_PrevPosCB,
};

DODE::DODE() : rec_(DODE_Create(&forwarders, this)) {}
DODE::~DODE() { DODE_Destroy(rec_); }

void DODE::GetVisibleBoundsCB(DODE_Rec* r, float b[4]) { r->ref->GetVisibleBounds(b); }
void DODE::GetLogicalBoundsCB(DODE_Rec* r, float b[4]) { r->ref->GetLogicalBounds(b); }
void DODE::SetLogicalHeightCB(DODE_Rec* r, float h) { r->ref->SetLogicalHeight(h); }
void DODE::ScrollToCB(DODE_Rec* r, float o[2]) { r->ref->ScrollTo(o); }
void DODE::GetTextCB(DODE_Rec* r, const char** f, const char** l) { r->ref->GetText(f, l); }
void DODE::ReplaceTextCB(DODE_Rec* r, int s, int e, const char* f, const char* l) { r->ref->ReplaceText(s, e, f, l); }
float DODE::GetLineHeightCB(DODE_Rec* r) { return r->ref->GetLineHeight(); }
float DODE::MeasureStringCB(DODE_Rec* r, const char* f, const char* l) { return r->ref->MeasureString(f, l); }
int DODE::FitStringFwdCB(DODE_Rec* r, const char* f, const char* l, float w) { return r->ref->FitStringFwd(f, l, w); }
int DODE::FitStringRevCB(DODE_Rec* r, const char* f, const char* l, float w) { return r->ref->FitStringRev(f, l, w); }
void DODE::DrawStringCB(DODE_Rec* r, const char* f, const char* l, float x, float y) { r->ref->DrawString(f, l, x, y); }
void DODE::DrawSelectionCB(DODE_Rec* r, float rect[4]) { r->ref->DrawSelection(rect); }
const char* DODE::WordBreakCB(DODE_Rec* r, const char* f, const char* l) { return r->ref->WordBreak(f, l); }
const char* DODE::MBCS_NextCB(DODE_Rec* r, const char* p) { return r->ref->MBCS_Next(p); }
int DODE::MBCS_NextPosCB(DODE_Rec* r, int o) { return r->ref->MBCS_NextPos(o); }
int DODE::MBCS_PrevPosCB(DODE_Rec* r, int o) { return r->ref->MBCS_PrevPos(o); }
