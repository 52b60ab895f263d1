#include "files/error_codes.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <set>

TEST(ErrorStr, EachClassOfCode) {
    const struct {
        int code;
        const char* text;
    } rows[] = {
        {0, ""},
        {20001, "We were unable to open a zip file. It may be missing or damaged"},
        {20012, "Part of the downloaded zip file is corrupted (the resource fork header is bad)"},
        {ENOENT, "No such file or directory"},
        {ENOSPC, "No space left on device. Perhaps your hard drive is full"},
        {EAGAIN, "Resource temporarily unavailable"},
        {EDEADLK, "Resource deadlock avoided"},
        {-43, "File not found"},
        {-108, "Out of memory (memory is full)"},
        {-5000, "You have insufficient privileges for this operation"},
        {20013, "Error code 20013"},
        {-1, "Error code -1"},
        {-105, "Error code -105"},
    };
    for (const auto& r : rows) EXPECT_EQ(error_str(r.code), r.text) << r.code;
}

TEST(ErrorStr, TableCodesAreUniqueAndMessagesHaveNoFullStop) {
    std::set<int> seen;
    for (const err_msg_t* row = kErrMsgs; row->msg; ++row) {
        EXPECT_NE(row->code, 0);
        EXPECT_TRUE(seen.insert(row->code).second) << "duplicate " << row->code;
        const std::string m = row->msg;
        EXPECT_NE(m.back(), '.') << m;
    }
}
