#pragma once
// Conditional sections in line-based text files: IF [NOT] name, ELSE, ELSE IF [NOT] name,
// ENDIF, nested to any depth. Between lines the caller calls scan_more, which eats
// directives and inactive lines, so the caller only sees lines of active sections.
#include <vector>

#include "files/xmap.h"

struct conditional_t {
    const char* name;   // null ends the table
    int value;          // nonzero is true
};

class conditional_scanner {
public:
    conditional_scanner(xmap_class* xmap, const conditional_t* conditions);

    void scan_more();

    // The value of the condition named at the cursor (1 - value when negated); an unknown
    // name is logged, left unread and counts as true.
    int get_conditional(bool negate);

    xmap_class* xmap;
    const conditional_t* conditions;
    // One entry per open IF above the file level (always 1). Active levels are > 0:
    //   1 the IF/ELSE IF branch in effect was taken, 2 the ELSE branch was taken,
    //  -1 nothing taken yet, -3 a branch was taken and ELSE may follow (skip),
    //  -2 skip to ENDIF, 0 the whole IF lies in a skipped level.
    std::vector<int> state_stack;

private:
    bool top_active() const { return state_stack.back() > 0; }
    // The cursor's line number and text to the log, as xmap_class::TXT_xer_line writes them; the
    // line ends are counted from where the last call stopped, so many warnings cost one pass.
    void log_line();
    void handle_if();
    void handle_else();
    void handle_endif();

    const char* counted_to_ = nullptr;   // line ends before here are counted
    long crs_ = 0, lfs_ = 0;
    const char* line_start_ = nullptr;
};
