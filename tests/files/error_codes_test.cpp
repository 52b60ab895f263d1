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

// Whatever code reaches a user through the install engine reads as a sentence: the table's where
// it has one, the zip library's and any system error's otherwise.
TEST(ErrorSentence, EveryCodeReadsAsASentence) {
    const struct {
        int code;
        const char* text;   // null: any sentence that is not a bare number
    } rows[] = {
        {0, ""},
        {ENOSPC, "No space left on device. Perhaps your hard drive is full"},
        {-43, "File not found"},
        {-105, "The downloaded zip file is damaged (a file in it fails its CRC check)"},
        {-103, "The downloaded zip file is damaged"},
        {-1, nullptr},  {-102, nullptr}, {-104, nullptr},  {ELOOP, nullptr},    {EDQUOT, nullptr},
        {ETXTBSY, nullptr}, {ECONNREFUSED, nullptr}, {20013, nullptr}, {-77, nullptr}, {123456, nullptr},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.code);
        const std::string s = error_sentence(r.code);
        if (r.text) {
            EXPECT_EQ(s, r.text);
        }
        if (r.code == 0) continue;
        EXPECT_EQ(s.find("Error code"), std::string::npos) << s;
        EXPECT_GT(s.size(), 12u) << s;
        EXPECT_NE(s.back(), '.') << s;
    }
}
