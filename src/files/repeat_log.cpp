#include "files/repeat_log.h"

#include "core/log.h"

void repeat_log::write(const std::string& block) {
    for (auto it = seen_.begin(); it != seen_.end(); ++it) {
        if (it->block != block) continue;
        ++it->repeats;
        long mark = 10;
        while (mark < it->repeats) mark *= 10;
        if (it->repeats == mark) write_count(*it);
        seen_.splice(seen_.begin(), seen_, it);
        return;
    }
    xer << block;
    seen_.push_front({block});
    if (seen_.size() > kept) {
        if (seen_.back().repeats > seen_.back().reported) write_count(seen_.back());
        seen_.pop_back();
    }
}

void repeat_log::end() {
    for (auto it = seen_.rbegin(); it != seen_.rend(); ++it)   // oldest first
        if (it->repeats > it->reported) write_count(*it);
    seen_.clear();
}

// Named by the block's first line, so the count reads on its own between other lines.
void repeat_log::write_count(seen& s) {
    xer << s.block.substr(0, s.block.find('\n')) << ": repeated " << s.repeats
        << (s.repeats == 1 ? " more time\n" : " more times\n");
    s.reported = s.repeats;
}
