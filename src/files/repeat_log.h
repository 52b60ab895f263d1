#pragma once
// Log blocks for failures that may come back every second for hours (an unreachable host, a
// list without a usable server): a block already written is counted instead of written again,
// so the log grows with the number of different failures, not with time. Failures that take
// turns (mirrors tried in a random order) are counted as well.
#include <list>
#include <string>

class repeat_log {
public:
    // Writes the block unless it is one of the last few written; a repeat is counted, and its
    // count is written on a line of its own at 10, 100, 1000, ... repeats.
    void write(const std::string& block);
    // The failures are over (something succeeded): counts not yet written are written, and any
    // later block is written again.
    void end();

    // Different blocks remembered at once; the oldest is let go (its count written) beyond.
    static constexpr size_t kept = 16;

private:
    struct seen {
        std::string block;
        long repeats = 0;
        long reported = 0;
    };
    static void write_count(seen& s);

    std::list<seen> seen_;   // most recently written or repeated first
};
