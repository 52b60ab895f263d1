#include "files/file_header.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/xmap.h"
#include "core/log.h"
#include "support/temp_dir.h"

using testsupport::exists;
using testsupport::read_file;
using testsupport::temp_dir;
using testsupport::write_file;

class FileHeader : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(xer.open(tmp / "log.txt")); }
    void TearDown() override {
        ouf.close();
        ouf.clear();
        xer.close();
    }
    temp_dir tmp;
};

TEST_F(FileHeader, AcceptsAndRefusesHeaders) {
    const std::string bom = "\xEF\xBB\xBF";
    const struct {
        std::string bytes;
        int kind;
        std::vector<int> versions;
        const char* word;
        int result;
        std::string rest;      // what the cursor stands on after an accepted header
        std::string free_text;
    } rows[] = {
        {bom + "A\r\n900 version 2.0\r\n\r\n  TRANSLATION\r\nbody", file_kind_text, {900}, "TRANSLATION", 900, "body",
         "version 2.0"},
        {"I\n900 version\nINSTALLER and more\nbody", file_kind_text, {840, 900}, "INSTALLER", 900, "body", "version"},
        {"I\n840 version\nINSTALLER", file_kind_text, {840, 900}, "INSTALLER", 840, "", "version"},
        {"I\n900 version\nINSTALLERS\n", file_kind_text, {840, 900}, "INSTALLER", 0, "", ""},
        {"I\n900 version\nINSTALLER=1\n", file_kind_text, {840, 900}, "INSTALLER", 0, "", ""},
        {"I\n900 version\ninstaller\n", file_kind_text, {900}, "INSTALLER", 0, "", ""},
        {"I\n900 version\n", file_kind_text, {900}, "INSTALLER", 0, "", ""},
        {"I\r10 version\r\r  body", file_kind_text, {10}, nullptr, 10, "body", "version"},
        {"I\n900\nbody", file_kind_text, {900}, nullptr, 900, "body", ""},
        {"I\n900 anything at all\n", file_kind_text, {900}, nullptr, 900, "", "anything at all"},
        {"i\n900 version\n", file_kind_text, {900}, nullptr, 0, "", ""},
        {"a\n900 version\n", file_kind_text, {900}, nullptr, 0, "", ""},
        {" I\n900 version\n", file_kind_text, {900}, nullptr, 0, "", ""},
        {"I 900 version\nINSTALLER\n", file_kind_text, {900}, nullptr, 0, "", ""},  // version read from line 2
        {"I\n-900 version\n", file_kind_text, {900}, nullptr, 0, "", ""},
        {"I\n10 version\n", file_kind_text, {}, nullptr, 0, "", ""},
        {"I\n0 version\n", file_kind_text, {}, nullptr, 0, "", ""},
        {bom, file_kind_text, {900}, nullptr, 0, "", ""},
        {bom + "I", file_kind_text, {900}, nullptr, 0, "", ""},
        {std::string("a\x00\x00\x03\x84rest", 9), file_kind_binary, {900}, nullptr, 900, "rest", ""},
        {std::string("i\x84\x03\x00\x00rest", 9), file_kind_binary, {900}, nullptr, 900, "rest", ""},
        {std::string("i\x84\x03\x00\x00 DVD\nbody", 14), file_kind_binary, {900}, "DVD", 900, "body", ""},
        {std::string("I\x84\x03\x00\x00", 5), file_kind_binary, {900}, nullptr, 0, "", ""},
        {std::string("i\x84\x03", 3), file_kind_binary, {900}, nullptr, 0, "", ""},
        {"", file_kind_text, {900}, nullptr, 0, "", ""},
        {"", file_kind_binary, {900}, nullptr, 0, "", ""},
    };
    for (const auto& r : rows) {
        write_file(tmp / "h.txt", r.bytes);
        xmap_class m(tmp / "h.txt");
        m.mem_cur = m.mem_end;  // the test starts at the first byte whatever the cursor was
        std::vector<int> list = r.versions;
        list.push_back(0);
        std::string free_text = "untouched";
        const int got = m.check_file(r.kind, list.data(), r.word, &free_text);
        EXPECT_EQ(got, r.result) << testing::PrintToString(r.bytes);
        if (got) {
            EXPECT_EQ(std::string(m.mem_cur, m.mem_end), r.rest) << testing::PrintToString(r.bytes);
            if (r.kind == file_kind_text) {
                EXPECT_EQ(free_text, r.free_text);
            } else {
                EXPECT_EQ(m.swap_words, r.bytes[0] == 'a' ? 1 : 0);
            }
        }
    }
    xmap_class missing(tmp / "missing.txt");
    const int v[] = {900, 0};
    EXPECT_EQ(missing.check_file(file_kind_text, v, nullptr, nullptr), 0);
}

TEST_F(FileHeader, WritesTextAndBinaryHeaders) {
    ASSERT_EQ(ouf_open(tmp / "prefs.txt", file_kind_text, 10, "no-copyright-string"), 1);
    ouf << 1.5 << "\n";  // later floats come out in fixed notation
    ouf.close();
    EXPECT_EQ(read_file(tmp / "prefs.txt"), "I\n10 version\n1.500000\n");

    ASSERT_EQ(ouf_open(tmp / "noted.txt", file_kind_text, 900, " (c) us"), 1);
    ouf.close();
    EXPECT_EQ(read_file(tmp / "noted.txt"), "I\n900 version (c) us\n");

    ASSERT_EQ(ouf_open(tmp / "data.bin", file_kind_binary, 900, "no-copyright-string"), 1);
    ouf.close();
    EXPECT_EQ(read_file(tmp / "data.bin"), std::string("i\x84\x03\x00\x00", 5));

    // Opening again truncates.
    write_file(tmp / "old.txt", "a much longer file than the header alone");
    ASSERT_EQ(ouf_open(tmp / "old.txt", file_kind_text, 10, "no-copyright-string"), 1);
    ouf.close();
    EXPECT_EQ(read_file(tmp / "old.txt"), "I\n10 version\n");
}

TEST_F(FileHeader, LowerCasesTheExtension) {
    ASSERT_EQ(ouf_open(tmp / "Prefs.TXT", file_kind_text, 10, "no-copyright-string"), 1);
    ouf.close();
    EXPECT_TRUE(exists(tmp / "Prefs.txt"));
    EXPECT_FALSE(exists(tmp / "Prefs.TXT"));
}

TEST_F(FileHeader, MakesOneMissingFolderThenGivesUp) {
    ASSERT_EQ(ouf_open(tmp / "new/file.txt", file_kind_text, 10, "no-copyright-string"), 1);
    ouf.close();
    EXPECT_EQ(read_file(tmp / "new/file.txt"), "I\n10 version\n");
    EXPECT_EQ(xer.contents_for_test().find("I could not save the file!"), std::string::npos);

    EXPECT_EQ(ouf_open(tmp / "one/two/file.txt", file_kind_text, 10, "no-copyright-string"), 0);
    EXPECT_FALSE(ouf.good());
    ouf << "lost without harm";
    EXPECT_FALSE(exists(tmp / "one/two"));
    const std::string log = xer.contents_for_test();
    EXPECT_NE(log.find("I could not save the file! Could the directory"), std::string::npos);
    EXPECT_NE(log.find(tmp / "one/two/file.txt"), std::string::npos);
}

TEST_F(FileHeader, BothDirectionsThroughOneReader) {
    const int versions[] = {10, 0};
    xmap_class w;
    ASSERT_EQ(w.io_file_open(1, tmp / "round.txt", versions, file_kind_text), 1);
    ouf << "_key 7\n";
    w.io_file_close();
    EXPECT_FALSE(ouf.is_open());

    xmap_class r;
    ASSERT_EQ(r.io_file_open(0, tmp / "round.txt", versions, file_kind_text), 1);
    EXPECT_EQ(r.io_mode, 0);
    EXPECT_EQ(std::string(r.mem_cur, r.mem_end), "_key 7\n");
    const int newer[] = {11, 0};
    EXPECT_EQ(r.io_file_open(0, tmp / "round.txt", newer, file_kind_text), 0);
    EXPECT_EQ(r.io_file_open(2, tmp / "round.txt", versions, file_kind_text), 0);
}

TEST_F(FileHeader, WrongKindIsACrash) {
    xmap_class m;
    const int v[] = {1, 0};
    EXPECT_DEATH(m.check_file(10002, v, nullptr, nullptr), "Bad check_file type!");
    EXPECT_DEATH(ouf_open(tmp / "x.txt", 1, 1, "no-copyright-string"), "Bad ouf_open type!");
}
