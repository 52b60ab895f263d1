#include "files/cond_scanner.h"

#include <string>

#include "core/log.h"

conditional_scanner::conditional_scanner(xmap_class* x, const conditional_t* c)
    : xmap(x), conditions(c), state_stack{1} {
    scan_more();
}

void conditional_scanner::scan_more() {
    if (!xmap) return;
    while (xmap->mem_cur < xmap->mem_end) {
        if (xmap->TXT_str_scan_match("IF", 0, 0)) {
            handle_if();
        } else if (xmap->TXT_str_scan_match("ELSE", 0, 0)) {
            handle_else();
        } else if (xmap->TXT_str_scan_match("ENDIF", 1, 0)) {
            handle_endif();
        } else if (top_active()) {
            return;
        } else {
            xmap->TXT_str_scan_eoln(nullptr);
        }
    }
}

int conditional_scanner::get_conditional(bool negate) {
    for (const conditional_t* c = conditions; c && c->name; ++c)
        if (xmap->TXT_str_scan_match(c->name, 1, 0)) return negate ? 1 - c->value : c->value;
    xer << "ERROR: unknown variable for IF statement.\n";
    log_line();
    return 1;
}

void conditional_scanner::handle_if() {
    const bool negate = xmap->TXT_str_scan_match("NOT", 0, 0) != 0;
    const bool c = get_conditional(negate) != 0;
    state_stack.push_back(top_active() ? (c ? 1 : -1) : 0);
}

void conditional_scanner::handle_else() {
    if (state_stack.size() == 1) {
        xer << "WARNING: ELSE statement is not inside an IF statement.\n";
        log_line();
        return;
    }
    int& top = state_stack.back();
    if (top == 2 || top == -2) {
        xer << "WARNING: more than one ELSE statement for an IF statement.\n";
        log_line();
        return;
    }
    if (xmap->TXT_str_scan_match("IF", 0, 0)) {
        const bool negate = xmap->TXT_str_scan_match("NOT", 0, 0) != 0;
        const bool c = get_conditional(negate) != 0;  // read even when skipped, so unknown names are reported
        if (top == -1)
            top = c ? 1 : -1;
        else if (top == 1 || top == -3)
            top = -3;  // an earlier branch of this IF was taken: no other branch may be
        return;
    }
    top = top == -1 ? 2 : -2;
}

void conditional_scanner::log_line() {
    const char* cur = xmap->mem_cur;
    if (!counted_to_ || counted_to_ < xmap->mem_start || counted_to_ > cur) {   // a new or rewound text
        counted_to_ = line_start_ = xmap->mem_start;
        crs_ = lfs_ = 0;
    }
    for (const char* p = counted_to_; p && p < cur; ++p) {
        if (*p == '\r') ++crs_;
        if (*p == '\n') ++lfs_;
        if (*p == '\r' || *p == '\n') line_start_ = p + 1;
    }
    counted_to_ = cur;
    const char* line_end = cur;
    while (line_end && line_end < xmap->mem_end && *line_end != '\r' && *line_end != '\n') ++line_end;
    const std::string text = line_start_ ? std::string(line_start_, line_end) : std::string();
    xer << (1 + (crs_ > lfs_ ? crs_ : lfs_)) << " \"" << text << "\"\n";
    xer.flush();
}

void conditional_scanner::handle_endif() {
    if (state_stack.size() == 1) {
        xer << "WARNING: ENDIF in file is not matched by an IF statement.\n";
        log_line();
    } else {
        state_stack.pop_back();
    }
    xmap->TXT_str_scan_eoln(nullptr);
}
