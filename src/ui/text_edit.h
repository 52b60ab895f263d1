#pragma once
// DODE, the multi-line text editor behind the text fields. It owns no text, geometry or drawing:
// it keeps the selection, the start of every wrapped line and the x that Up and Down aim for, and
// asks its host for everything else through sixteen callbacks. Offsets are byte offsets into the
// host's UTF-8 text.
//
//   DODE_Rec* ed = DODE_Create(&my_callbacks, nullptr);
//   DODE_Repaginate(ed);
//   DODE_Key(ed, 'x', 0);          // types over the selection
//   DODE_Draw(ed, 1);              // selection, text and caret through the host's drawing
//
// Keys (DODE_Key): 8 Backspace, 127 forward Delete, 28 to 31 left, right, up, down, 1 Home and 4
// End (start and end of the line); any other byte below 32 does nothing and is never inserted.
#include <vector>

struct DODE_Rec;
class DODE;

// The host's side, every callback given the record first.
struct DODE_Callbacks {
    void (*GetVisibleBounds)(DODE_Rec*, float bounds[4]);   // left, bottom, right, top
    void (*GetLogicalBounds)(DODE_Rec*, float bounds[4]);   // the whole text's area, moved by the scroll
    void (*SetLogicalHeight)(DODE_Rec*, float height);
    void (*ScrollTo)(DODE_Rec*, float offset[2]);
    void (*GetText)(DODE_Rec*, const char** first, const char** last);
    // Replaces bytes start..end by first..last (both null to delete).
    void (*ReplaceText)(DODE_Rec*, int start, int end, const char* first, const char* last);
    float (*GetLineHeight)(DODE_Rec*);
    float (*MeasureString)(DODE_Rec*, const char* first, const char* last);
    int (*FitStringFwd)(DODE_Rec*, const char* first, const char* last, float width);   // bytes from first
    int (*FitStringRev)(DODE_Rec*, const char* first, const char* last, float width);   // bytes back from last
    void (*DrawString)(DODE_Rec*, const char* first, const char* last, float x, float y);
    void (*DrawSelection)(DODE_Rec*, float rect[4]);   // left = right: the caret
    // The end of the word starting at first, after any blanks.
    const char* (*WordBreak)(DODE_Rec*, const char* first, const char* last);
    const char* (*MBCS_Next)(DODE_Rec*, const char* position);
    int (*MBCS_NextPos)(DODE_Rec*, int offset);
    int (*MBCS_PrevPos)(DODE_Rec*, int offset);
};

struct DODE_Rec {
    DODE_Callbacks cb;
    DODE* ref = nullptr;
    std::vector<int> line_starts;   // first byte of each wrapped line; [0] is 0 once paginated
    int sel_start = 0;
    int sel_end = 0;
    int active_end = 1;             // 1: the end is the moving end (the caret); 0: the start
    float desired_x = -1;           // x from the line's start that Up and Down aim for; -1 none
};

DODE_Rec* DODE_Create(const DODE_Callbacks* callbacks, DODE* ref);
void DODE_Destroy(DODE_Rec* rec);
DODE* DODE_GetRef(DODE_Rec* rec);
void DODE_GetSelection(DODE_Rec* rec, int* start, int* end);
void DODE_SetSelection(DODE_Rec* rec, int start, int end);
void DODE_Draw(DODE_Rec* rec, int draw_caret);
void DODE_Click(DODE_Rec* rec, float x, float y, int extend);
void DODE_Drag(DODE_Rec* rec, float x, float y);
void DODE_Key(DODE_Rec* rec, char key, int extend);
// n bytes typed as one character; one byte goes the DODE_Key way.
void DODE_Key_MBCS(DODE_Rec* rec, int byte_count, char* bytes, int extend);
// Replaces text through the host, keeping the selection on the same text.
void DODE_ReplaceText(DODE_Rec* rec, int start, int end, const char* first, const char* last);
void DODE_Repaginate(DODE_Rec* rec);
// Scrolls the moving end of the selection into view.
void DODE_RevealSelection(DODE_Rec* rec);

// The line an offset lies on (an offset past the last line start belongs to the last line).
int DODE_CharPosToLine(DODE_Rec* rec, int offset);

// The editor as a class: a host derives from it and overrides the sixteen operations.
class DODE {
public:
    DODE();
    virtual ~DODE();
    DODE(const DODE&) = delete;
    DODE& operator=(const DODE&) = delete;

    virtual void GetVisibleBounds(float bounds[4]) = 0;
    virtual void GetLogicalBounds(float bounds[4]) = 0;
    virtual void SetLogicalHeight(float height) = 0;
    virtual void ScrollTo(float offset[2]) = 0;
    virtual void GetText(const char** first, const char** last) = 0;
    virtual void ReplaceText(int start, int end, const char* first, const char* last) = 0;
    virtual float GetLineHeight() = 0;
    virtual float MeasureString(const char* first, const char* last) = 0;
    virtual int FitStringFwd(const char* first, const char* last, float width) = 0;
    virtual int FitStringRev(const char* first, const char* last, float width) = 0;
    virtual void DrawString(const char* first, const char* last, float x, float y) = 0;
    virtual void DrawSelection(float rect[4]) = 0;
    virtual const char* WordBreak(const char* first, const char* last) = 0;
    virtual const char* MBCS_Next(const char* position) = 0;
    virtual int MBCS_NextPos(int offset) = 0;
    virtual int MBCS_PrevPos(int offset) = 0;

    void Draw(int draw_caret) { DODE_Draw(rec_, draw_caret); }
    void RevealSelection() { DODE_RevealSelection(rec_); }
    void Click(float x, float y, int extend) { DODE_Click(rec_, x, y, extend); }
    void Drag(float x, float y) { DODE_Drag(rec_, x, y); }
    void GetSelection(int* start, int* end) { DODE_GetSelection(rec_, start, end); }
    void SetSelection(int start, int end) { DODE_SetSelection(rec_, start, end); }
    void Key(char key, int extend) { DODE_Key(rec_, key, extend); }
    void Key_MBCS(int byte_count, char* bytes, int extend) { DODE_Key_MBCS(rec_, byte_count, bytes, extend); }
    void Repaginate() { DODE_Repaginate(rec_); }
    void DoReplaceText(int start, int end, const char* first, const char* last) {
        DODE_ReplaceText(rec_, start, end, first, last);
    }

    DODE_Rec* record() const { return rec_; }

private:
    static void GetVisibleBoundsCB(DODE_Rec* r, float bounds[4]);
    static void GetLogicalBoundsCB(DODE_Rec* r, float bounds[4]);
    static void SetLogicalHeightCB(DODE_Rec* r, float height);
    static void ScrollToCB(DODE_Rec* r, float offset[2]);
    static void GetTextCB(DODE_Rec* r, const char** first, const char** last);
    static void ReplaceTextCB(DODE_Rec* r, int start, int end, const char* first, const char* last);
    static float GetLineHeightCB(DODE_Rec* r);
    static float MeasureStringCB(DODE_Rec* r, const char* first, const char* last);
    static int FitStringFwdCB(DODE_Rec* r, const char* first, const char* last, float width);
    static int FitStringRevCB(DODE_Rec* r, const char* first, const char* last, float width);
    static void DrawStringCB(DODE_Rec* r, const char* first, const char* last, float x, float y);
    static void DrawSelectionCB(DODE_Rec* r, float rect[4]);
    static const char* WordBreakCB(DODE_Rec* r, const char* first, const char* last);
    static const char* MBCS_NextCB(DODE_Rec* r, const char* position);
    static int MBCS_NextPosCB(DODE_Rec* r, int offset);
    static int MBCS_PrevPosCB(DODE_Rec* r, int offset);
    static const DODE_Callbacks forwarders;

    DODE_Rec* rec_ = nullptr;
};

// UTF-8 stepping over a text of len bytes, as hosts implement MBCS_NextPos and MBCS_PrevPos:
// the start of the next character (len + 1 at or past the end), the start of the previous one
// (-1 at 0). A continuation byte (0x80 to 0xBF) belongs to the character before it.
int DODE_utf8_next_pos(const char* text, int len, int offset);
int DODE_utf8_prev_pos(const char* text, int len, int offset);
