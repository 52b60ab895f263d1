#include "files/cond_scanner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "core/log.h"
#include "support/temp_dir.h"

using testsupport::temp_dir;
using testsupport::write_file;

namespace {

const conditional_t kConds[] = {{"T", 1}, {"F", 0}, {"FIVE", 5}, {nullptr, 0}};

struct run_result {
    std::vector<std::string> lines;
    std::string log;
};

// Reads the text the way a caller does: a line, then scan_more.
run_result read_all(const temp_dir& tmp, const std::string& text) {
    write_file(tmp / "c.txt", text);
    xer.close();
    xer.open(tmp / "log.txt");
    xmap_class m(tmp / "c.txt");
    run_result r;
    conditional_scanner cs(&m, kConds);
    while (m.mem_cur < m.mem_end) {
        std::string line;
        m.TXT_str_scan_eoln(&line);
        if (!line.empty()) r.lines.push_back(line);  // a directive's own line end reads as ""
        cs.scan_more();
    }
    r.log = xer.contents_for_test();
    xer.close();
    return r;
}

}  // namespace

TEST(ConditionalScanner, Sections) {
    const struct {
        std::string text;
        std::vector<std::string> lines;
        const char* log;  // expected in the log, or ""
    } rows[] = {
        {"IF T\na\nENDIF\nb\n", {"a", "b"}, ""},
        {"IF F\na\nELSE \nb\nENDIF\n", {"b"}, ""},
        {"IF F\na\nELSE\nb\nENDIF\n", {}, ""},  // ELSE ending its line is just a line
        {"IF NOT F\na\nENDIF\n", {"a"}, ""},
        {"IF FIVE\na\nENDIF\nIF NOT FIVE\nb\nENDIF\n", {"a", "b"}, ""},
        {"IF F\nIF T\nn\nELSE \nm\nENDIF\nELSE \nx\nENDIF\n", {"x"}, ""},
        {"IF F\nELSE IF T\ny\nELSE \nz\nENDIF\n", {"y"}, ""},
        {"IF F\nELSE IF F\nELSE IF NOT F\nc\nELSE \nd\nENDIF\n", {"c"}, ""},
        {"IF T\nx\nELSE IF F\ny\nELSE \nz\nENDIF\n", {"x"}, ""},
        {"IF T\nx\nELSE IF T\ny\nELSE IF T\nw\nENDIF\n", {"x"}, ""},
        {"IF T\r\na\r\nIF F\r\nb\r\nENDIF\r\nENDIF\r\nc", {"a", "c"}, ""},
        {"  IF F\n  a\n  ENDIF\n  b\n", {"b"}, ""},
        {"IF T\nIF F\na\nENDIF\nb\nENDIF", {"b"}, ""},
        {"IF T\na\n", {"a"}, ""},  // left open at the end: no message
        {"IF Q\na\nENDIF\n", {"Q", "a"}, "ERROR: unknown variable for IF statement.\n1 \"IF Q\"\n"},
        {"IF F\nIF NOT Q\nENDIF\nENDIF\nb\n", {"b"}, "ERROR: unknown variable for IF statement.\n2 \"IF NOT Q\"\n"},
        {"x\nENDIF\na\n", {"x", "a"}, "WARNING: ENDIF in file is not matched by an IF statement.\n2 \"ENDIF\"\n"},
        {"ELSE \na\n", {"a"}, "WARNING: ELSE statement is not inside an IF statement.\n1 \"ELSE \"\n"},
        {"IF T\nELSE \nELSE \nb\nENDIF\nc\n", {"c"},
         "WARNING: more than one ELSE statement for an IF statement.\n3 \"ELSE \"\n"},
    };
    temp_dir tmp;
    for (const auto& r : rows) {
        const run_result got = read_all(tmp, r.text);
        EXPECT_EQ(got.lines, r.lines) << testing::PrintToString(r.text);
        EXPECT_EQ(got.log, r.log) << testing::PrintToString(r.text);
    }
}

TEST(ConditionalScanner, ConstructorSkipsLeadingBlanksAndDirectives) {
    temp_dir tmp;
    write_file(tmp / "c.txt", "  text\n");
    xmap_class m(tmp / "c.txt");
    conditional_scanner cs(&m, kConds);
    EXPECT_EQ(std::string(m.mem_cur, m.mem_end), "text\n");

    write_file(tmp / "d.txt", "IF F\nskipped\nENDIF\nkept");
    xmap_class d(tmp / "d.txt");
    conditional_scanner ds(&d, kConds);
    EXPECT_EQ(std::string(d.mem_cur, d.mem_end), "kept");
    EXPECT_EQ(ds.state_stack, std::vector<int>{1});
}

// Every warning names its line; counting them must not start from the top each time.
TEST(ConditionalScanner, ManyWarningsInALongFileAreQuickAndNumbered) {
    temp_dir tmp;
    std::string text;
    for (int i = 0; i < 20000; ++i) text += i % 2 ? "ENDIF\r\n" : "line\r\n";
    const auto start = std::chrono::steady_clock::now();
    const run_result got = read_all(tmp, text);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(got.lines.size(), 10000u);
    EXPECT_NE(got.log.find("WARNING: ENDIF in file is not matched by an IF statement.\n2 \"ENDIF\"\n"), std::string::npos);
    EXPECT_NE(got.log.find("WARNING: ENDIF in file is not matched by an IF statement.\n20000 \"ENDIF\"\n"),
              std::string::npos);
}
