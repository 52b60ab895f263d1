#include "files/xmap.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "platform/bundle.h"
#include "core/app_globals.h"
#include "core/log.h"
#include "support/temp_dir.h"

using testsupport::temp_dir;
using testsupport::write_file;

class Xmap : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(xer.open(tmp / "log.txt")); }
    void TearDown() override { xer.close(); }

    // A reader over the given bytes, held in a file of the fixture's folder.
    xmap_class& over(const std::string& bytes) {
        write_file(tmp / "f.txt", bytes);
        map.retry(tmp / "f.txt", 0, 0);
        return map;
    }
    std::string rest() const { return std::string(map.mem_cur, map.mem_end); }

    temp_dir tmp;
    xmap_class map;
};

TEST_F(Xmap, ScannersReadAlikeWhateverTheLineEnds) {
    for (const char* eol : {"\n", "\r", "\r\n"}) {
        for (const bool final_eol : {true, false}) {
            const std::string e = eol;
            std::string text = "first line" + e + "  -45 word" + e + e + "  last";
            if (final_eol) text += e;
            xmap_class& m = over(text);
            SCOPED_TRACE(testing::Message() << "eol " << e.size() << (e[0] == '\r' ? "CR" : "LF") << " final "
                                            << final_eol);
            ASSERT_NE(m.mem_start, nullptr);
            std::string s;
            m.TXT_str_scan_eoln(&s);
            EXPECT_EQ(s, "first line");
            EXPECT_EQ(m.TXT_int_scan(), -45);
            m.TXT_str_scan_space(&s);
            EXPECT_EQ(s, "word");
            m.TXT_str_scan_eoln(&s);
            EXPECT_EQ(s, "");
            EXPECT_EQ(rest().substr(0, 4), "last");
            m.TXT_str_scan_eoln(&s);
            EXPECT_EQ(s, "last");
            EXPECT_EQ(m.mem_cur, m.mem_end);
            // At the end of data every scanner comes back empty-handed.
            EXPECT_EQ(m.TXT_int_scan(), 0);
            m.TXT_str_scan_space(&s);
            EXPECT_EQ(s, "");
            EXPECT_EQ(m.TXT_str_scan_match("last", 1, 0), 0);
            EXPECT_EQ(m.mem_cur, m.mem_end);
        }
    }
}

TEST_F(Xmap, ScannersStopAtTheEndOfAFullPage) {
    // The last byte of the file ends a page, so a read past it would touch unmapped memory.
    const std::string body(static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)), '7');
    for (int scanner = 0; scanner < 4; ++scanner) {
        xmap_class& m = over(body);
        std::string s;
        switch (scanner) {
            case 0: m.TXT_str_scan_eoln(&s); break;
            case 1: m.TXT_str_scan_space(&s); break;
            case 2: m.TXT_int_scan(); break;
            case 3: EXPECT_EQ(m.TXT_str_scan_match(body.c_str(), 1, 0), 1); break;
        }
        EXPECT_EQ(m.mem_cur, m.mem_end) << scanner;
        EXPECT_EQ(m.TXT_str_scan_match("7", 1, 0), 0);
    }
}

TEST_F(Xmap, EmptyAndMissingFiles) {
    xmap_class& m = over("");
    ASSERT_NE(m.mem_start, nullptr);
    EXPECT_EQ(m.mem_start, m.mem_end);
    EXPECT_EQ(m.TXT_int_scan(), 0);
    EXPECT_EQ(xer.contents_for_test(),
              "Warning: remaining file space is 0 and offset is 0 for file " + (tmp / "f.txt") + "\n");

    xmap_class missing(tmp / "missing.txt");
    EXPECT_EQ(missing.mem_start, nullptr);
    EXPECT_EQ(missing.file_path, tmp / "missing.txt");
    std::string s = "x";
    missing.TXT_str_scan_eoln(&s);
    EXPECT_EQ(s, "");
    EXPECT_EQ(missing.TXT_int_scan(), 0);
    xmap_class folder(tmp.path());
    EXPECT_EQ(folder.mem_start, nullptr);
    EXPECT_EQ(xer.contents_for_test().find("missing"), std::string::npos);

    // A reader can be pointed at another file; the old image is let go.
    m.retry(tmp / "missing.txt", 0, 0);
    EXPECT_EQ(m.mem_start, nullptr);
    EXPECT_EQ(m.file_desc, -1);
}

TEST_F(Xmap, KeywordMatching) {
    const struct {
        const char* text;
        int eol_ok;
        char delim;
        int result;
        const char* rest;
    } rows[] = {
        {"  IF T", 0, 0, 1, " T"},
        {"  IFX", 0, 0, 0, "IFX"},
        {"  IF\nx", 0, 0, 0, "IF\nx"},
        {"  IF\nx", 1, 0, 1, "\nx"},
        {"  IF", 0, 0, 0, "IF"},
        {"  IF", 1, 0, 1, ""},
        {"  IF=1", 0, '=', 1, "=1"},
        {"  IF=1", 1, 0, 0, "IF=1"},
        {"\tif T", 0, 0, 0, "if T"},
        {"  I", 1, 0, 0, "I"},
    };
    for (const auto& r : rows) {
        xmap_class& m = over(r.text);
        EXPECT_EQ(m.TXT_str_scan_match("IF", r.eol_ok, r.delim), r.result) << r.text;
        EXPECT_EQ(rest(), r.rest) << r.text;
    }
}

TEST_F(Xmap, LineAndWordScanners) {
    xmap_class& m = over("  abc \r\n\r\n  word");
    std::string s;
    m.TXT_str_scan_eoln(&s);
    EXPECT_EQ(s, "abc ");
    EXPECT_EQ(rest(), "word");

    over("  word\nnext");
    m.TXT_str_scan_space(&s);
    EXPECT_EQ(s, "word");
    EXPECT_EQ(rest(), "\nnext");
    m.TXT_str_scan_eoln(nullptr);  // no string wanted: still moves on
    EXPECT_EQ(rest(), "next");
}

TEST_F(Xmap, IntegerScanner) {
    const struct {
        const char* text;
        int value;
        const char* rest;
    } rows[] = {
        {" -45 x", -45, " x"},
        {"- 5", 0, " 5"},
        {"-+5", 5, ""},
        {"+7", 7, ""},
        {"", 0, ""},
        {"12a", 169, ""},            // digits are not checked
        {"99999999999\t", 1215752191, "\t"},  // wraps in 32 bits without trapping
        {"4294967297\n", 1, "\n"},   // wraps in 32 bits
        {"-2147483648\r", -2147483647 - 1, "\r"},
    };
    for (const auto& r : rows) {
        xmap_class& m = over(r.text);
        EXPECT_EQ(m.TXT_int_scan(), r.value) << r.text;
        EXPECT_EQ(rest(), r.rest) << r.text;
    }
}

TEST_F(Xmap, BinaryBlocks) {
    xmap_class& m = over(std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c", 12));
    unsigned char b[6];
    m.swap_words = 1;
    m.read_n_rev(b, 6);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(b), 6), std::string("\x04\x03\x02\x01\x05\x06", 6));
    m.swap_words = 0;
    m.read_n_rev(b, 6);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(b), 6), std::string("\x07\x08\x09\x0a\x0b\x0c", 6));
    m.read_n_rev(b, 0);
    EXPECT_EQ(m.mem_cur, m.mem_end);
    EXPECT_DEATH(m.read_n_rev(b, 1), "Invalid read_n_rev read!");
}

TEST_F(Xmap, LineDiagnosticsCountLinesOfAnyEnding) {
    for (const char* eol : {"\r\n", "\n", "\r"}) {
        const std::string e = eol;
        xmap_class& m = over("one" + e + "two" + e + "three here" + e + "four");
        m.TXT_str_scan_eoln(nullptr);
        m.TXT_str_scan_eoln(nullptr);
        m.TXT_str_scan_space(nullptr);
        xer.close();
        ASSERT_TRUE(xer.open(tmp / "log.txt"));
        m.TXT_xer_line();
        EXPECT_EQ(xer.contents_for_test(), "3 \"three here\"\n");
    }
}

TEST_F(Xmap, PartialMappingStartsTheCursorAtTheOffset) {
    std::string body;
    for (int i = 0; i < 3000; ++i) body += std::to_string(i % 10);
    write_file(tmp / "big.bin", body);
    xmap_class m(tmp / "big.bin", 2500, 10);
    ASSERT_NE(m.mem_start, nullptr);
    EXPECT_EQ(std::string(m.mem_cur, m.mem_end), body.substr(2500, 10));
    m.retry(tmp / "big.bin", 2995, 100);  // longer than the file: cut at its end
    EXPECT_EQ(std::string(m.mem_cur, m.mem_end), body.substr(2995));
}

TEST_F(Xmap, ResourceNamesOpenFilesInTheBundle) {
    const std::string res = platform::bundle_path() + "/Contents/Resources/";
    const std::string name = "xmap_test_" + std::to_string(::getpid()) + ".txt";
    write_file(res + name, "hello");
    xmap_class m("RESOURCE:" + name);
    ::unlink((res + name).c_str());
    ASSERT_NE(m.mem_start, nullptr);
    EXPECT_EQ(std::string(m.mem_start, m.mem_end), "hello");
    EXPECT_EQ(m.file_path, "RESOURCE:" + name);

    xmap_class none("RESOURCE:no such resource.png");
    EXPECT_EQ(none.mem_start, nullptr);
}

TEST_F(Xmap, RelativePathsAreCheckedForForeignSeparators) {
    xmap_class abs("/no/such:file");  // absolute paths may hold ':'
    EXPECT_EQ(abs.mem_start, nullptr);
    EXPECT_DEATH(xmap_class("dir\\file.txt"), "I got a bad dirchar");
    EXPECT_DEATH(xmap_class("dir:file.txt"), "I got a bad dirchar");
    EXPECT_DEATH(
        {
            app_path = "/base/";
            xmap_class("x/base/file.txt");
        },
        "not V-System relative");
}
