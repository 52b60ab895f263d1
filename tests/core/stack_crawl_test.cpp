#include "core/stack_crawl.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

// Named with C linkage so the crawl's symbol lookup can be checked by name.
extern "C" __attribute__((noinline)) void crawl_marker_function(FILE* f) {
    UTL_dump_stack(f, nullptr, nullptr);
    asm volatile("");  // keeps the call from becoming a tail call
}

namespace {

// Captures what a function writes to a stdio stream.
template <typename F>
std::string capture(F&& write) {
    char* buf = nullptr;
    std::size_t size = 0;
    FILE* f = open_memstream(&buf, &size);
    write(f);
    std::fclose(f);
    std::string out(buf, size);
    std::free(buf);
    return out;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

void* const unknown_address = reinterpret_cast<void*>(0x10);
const char* const unknown_line = "0x0000000000000010 (\?\?\?)";

// A chain of frame records laid out toward higher addresses, the last one outermost.
std::vector<stack_frame> make_chain(std::size_t n) {
    std::vector<stack_frame> frames(n);
    for (std::size_t i = 0; i < n; ++i) {
        frames[i].previous = i + 1 < n ? &frames[i + 1] : nullptr;
        frames[i].return_address = unknown_address;
    }
    return frames;
}

TEST(StackCrawl, WalksAFrameChainWithIndicesAndLimits) {
    const struct {
        std::size_t frames;
        bool with_pc;
        std::vector<std::string> expected_prefixes;  // first and last line, or none
        std::size_t lines;
    } cases[] = {
        {3, false, {"  0) ", "  1) "}, 2},   // the outermost record writes no line
        {3, true, {"  0) ", "  2) "}, 3},    // the program counter takes index 0
        {150, false, {"  0) ", "  99) "}, 100},
        {150, true, {"  0) ", "  99) "}, 100},
        {1, false, {}, 0},
    };
    for (const auto& c : cases) {
        std::vector<stack_frame> chain = make_chain(c.frames);
        const std::vector<std::string> lines = lines_of(capture(
            [&](FILE* f) { UTL_dump_stack(f, chain.data(), c.with_pc ? unknown_address : nullptr); }));
        ASSERT_EQ(lines.size(), c.lines) << c.frames << " frames";
        if (lines.empty()) continue;
        EXPECT_EQ(lines.front(), std::string(c.expected_prefixes[0]) + unknown_line);
        EXPECT_EQ(lines.back(), std::string(c.expected_prefixes[1]) + unknown_line);
        if (lines.size() > 42) {
            EXPECT_EQ(lines[7].substr(0, 5), "  7) ");
            EXPECT_EQ(lines[42].substr(0, 6), "  42) ");
        }
    }
}

TEST(StackCrawl, StopsAtAChainThatDoesNotClimbOrIsNotMapped) {
    std::vector<stack_frame> loop = make_chain(3);
    loop[1].previous = &loop[0];  // points back down
    EXPECT_EQ(lines_of(capture([&](FILE* f) { UTL_dump_stack(f, loop.data(), nullptr); })).size(), 1u);

    const long page = sysconf(_SC_PAGESIZE);
    void* guard = mmap(nullptr, page, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(guard, MAP_FAILED);
    EXPECT_EQ(capture([&](FILE* f) { UTL_dump_stack(f, static_cast<stack_frame*>(guard), nullptr); }), "");
    munmap(guard, page);
}

TEST(StackCrawl, WithoutAStartFrameTheFirstLineIsTheCaller) {
    const std::vector<std::string> lines = lines_of(capture([](FILE* f) { crawl_marker_function(f); }));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("  0) crawl_marker_function + ", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].substr(0, 5), "  1) ");
    EXPECT_LE(lines.size(), 100u);
}

TEST(StackCrawl, SymbolLinesNameImageAndOffsets) {
    EXPECT_EQ(capture([](FILE* f) { print_symbol(f, unknown_address); }), std::string(unknown_line) + "\n");

    // An exported function of a shared library (the C library, or a sanitizer's wrapper of it).
    void* inside_puts = reinterpret_cast<char*>(reinterpret_cast<void*>(&puts)) + 4;
    const std::string line = capture([&](FILE* f) { print_symbol(f, inside_puts); });
    EXPECT_TRUE(std::regex_match(line, std::regex(R"([A-Za-z_]*puts \+ 4 \([A-Za-z0-9_]+\.so[.0-9]* \+ [0-9]+\)\n)"))) << line;

    symbol_info info;
    UTL_get_debug_symbol(unknown_address, &info);
    EXPECT_STREQ(info.image_path, "");
    EXPECT_EQ(info.image_base, nullptr);
    EXPECT_EQ(info.symbol_address, nullptr);
    EXPECT_EQ(info.source_line, -1);
}

TEST(ValidMemory, RightsAcrossMappings) {
    const long page = sysconf(_SC_PAGESIZE);
    char* two = static_cast<char*>(mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(two, MAP_FAILED);
    ASSERT_EQ(mprotect(two + page, page, PROT_READ), 0);
    char* gap = static_cast<char*>(mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(gap, MAP_FAILED);
    ASSERT_EQ(munmap(gap + page, page), 0);
    int on_stack = 0;

    const struct {
        const void* start;
        unsigned length;
        int read, write;
        int expected;
    } cases[] = {
        {nullptr, 0, 1, 1, 1},                   // empty range: nothing to ask
        {&on_stack, sizeof on_stack, 1, 1, 1},
        {two, static_cast<unsigned>(page), 1, 1, 1},
        {two + page - 8, 16, 1, 0, 1},           // spans both halves, read only needed
        {two + page - 8, 16, 1, 1, 0},           // second half is not writable
        {two + page, 8, 0, 0, 1},
        {gap + page - 8, 16, 1, 0, 0},           // runs into an unmapped page
        {nullptr, 8, 0, 0, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UTL_valid_memory(c.start, c.length, c.read, c.write), c.expected)
            << c.start << " + " << c.length << " r" << c.read << " w" << c.write;
    munmap(two, 2 * page);
    munmap(gap, page);
}

TEST(DumpHex, FullAndPartialRows) {
    std::string data = "ABCDEFGHIJKLMNOP";
    data += std::string("\x00\x7f a", 4);
    const std::vector<std::string> rows = lines_of(capture([&](FILE* f) { dump_hex(f, data.data(), 20); }));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], " 41424344 45464748 494A4B4C 4D4E4F50     ABCD EFGH IJKL MNOP");
    EXPECT_EQ(rows[1], " 007F2061" + std::string(32, ' ') + ".. a" + std::string(15, ' '));
    EXPECT_EQ(rows[0].size(), 60u);
    EXPECT_EQ(rows[1].size(), 60u);
    EXPECT_EQ(capture([&](FILE* f) { dump_hex(f, data.data(), 0); }), "");
    EXPECT_EQ(lines_of(capture([&](FILE* f) { dump_hex(f, data.data(), 16); })).size(), 1u);
}

TEST(DebugInit, WritingToAClosedPipeFailsInsteadOfKillingTheProcess) {
    UTL_debug_init();
    struct sigaction now {};
    ASSERT_EQ(sigaction(SIGPIPE, nullptr, &now), 0);
    EXPECT_EQ(now.sa_handler, SIG_IGN);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    errno = 0;
    EXPECT_EQ(write(fds[1], "x", 1), -1);
    EXPECT_EQ(errno, EPIPE);
    close(fds[1]);
}

}  // namespace
