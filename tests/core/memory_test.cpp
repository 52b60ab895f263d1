// The allocation front-end: the one-time choice between the system allocator and the pooled one,
// and the operators' handling of zero sizes, null frees and exhaustion.
#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "core/memory.h"
#include "core/pooled_alloc.h"
#include "core/stats.h"
#include "core/log.h"
#include "support/temp_dir.h"

// Exhaustion is tested on purpose: the sanitizer's allocator must answer null instead of stopping.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }
extern "C" const char* __tsan_default_options() { return "allocator_may_return_null=1"; }

namespace {

TEST(MemoryFrontEnd, CurrentSystemUsesTheSystemAllocator) {
    if (std::getenv("VENTARO_TEST_OS_VERSION") != nullptr) GTEST_SKIP();
    EXPECT_EQ(want_ned(), 0);
}

// Each case runs in a fresh process whose very first allocation makes the choice, so no block
// ever crosses from one allocator to the other.
TEST(MemoryFrontEnd, VersionDecidesTheAllocatorForTheWholeRun) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct row {
        const char* version;
        int ned;
    } rows[] = {{"1058", 1}, {"1060", 0}, {"1099", 0}, {"fail", 1}};
    for (const row& r : rows) {
        ::setenv("VENTARO_TEST_OS_VERSION", r.version, 1);
        EXPECT_EXIT(
            {
                bool ok = want_ned() == r.ned;
                std::vector<std::string> v;   // containers, strings, arrays all go the same way
                for (int i = 0; i < 200; ++i) v.push_back(std::string(i, 'x'));
                int* arr = new int[1000];
                char* raw = static_cast<char*>(xcalloc(10, 10));
                ok = ok && raw[99] == 0;
                if (r.ned) {
                    nedpool* owner = nullptr;
                    nedgetvalue(&owner, arr);
                    ok = ok && owner != nullptr && nedblksize(raw) >= 100;
                }
                delete[] arr;
                xfree(raw);
                std::_Exit(ok ? 0 : 1);
            },
            ::testing::ExitedWithCode(0), "")
            << r.version;
    }
    ::unsetenv("VENTARO_TEST_OS_VERSION");
}

TEST(MemoryFrontEnd, ZeroSizesAndNullFrees) {
    void* a = ::operator new(0);
    void* b = ::operator new(0);
    EXPECT_NE(a, nullptr);
    EXPECT_NE(a, b);
    ::operator delete(a);
    ::operator delete(b);
    ::operator delete(nullptr);
    ::operator delete[](nullptr);
    ::operator delete(nullptr, std::nothrow);
    xfree(nullptr);
    xfree_tracked(__FILE__, __LINE__, nullptr);
    void* x = xmalloc_tracked(__FILE__, __LINE__, 0);
    xfree(x);
    int* tagged = new (__FILE__, __LINE__) int(7);
    EXPECT_EQ(*tagged, 7);
    delete tagged;
    struct alignas(64) wide {
        char c[64];
    };
    wide* w = new wide;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(w) % 64, 0u);
    delete w;
}

TEST(MemoryFrontEnd, ExhaustionThrowsOrAnswersNull) {
    const size_t huge = std::numeric_limits<size_t>::max() / 2;
    EXPECT_THROW((void)::operator new(huge), std::bad_alloc);
    EXPECT_THROW((void)::operator new[](huge, __FILE__, __LINE__), std::bad_alloc);
    EXPECT_EQ(::operator new(huge, std::nothrow), nullptr);
    EXPECT_EQ(xmalloc(huge), nullptr);

    // A handler gets its chance before the failure is reported.
    static int calls = 0;
    calls = 0;
    std::set_new_handler([] {
        ++calls;
        std::set_new_handler(nullptr);
    });
    EXPECT_THROW((void)::operator new(huge), std::bad_alloc);
    EXPECT_EQ(calls, 1);
    std::set_new_handler([] { throw std::bad_alloc(); });
    EXPECT_EQ(::operator new(huge, std::nothrow), nullptr);
    std::set_new_handler(nullptr);
}

TEST(LazyMempool, DestructionReturnsEveryBlock) {
    const float before = UTL_lazy_mempool::global_total;
    {
        UTL_lazy_mempool pool;
        for (int i = 0; i < 3; ++i) {
            ASSERT_NE(pool.alloc(20000), nullptr);   // two do not fit one block
        }
        EXPECT_EQ(UTL_lazy_mempool::global_total, before + 3 * 32768);
        EXPECT_EQ(pool.total_allocated, 3 * 20000);
        EXPECT_EQ(pool.alloc(40000), nullptr);

        testsupport::temp_dir dir;
        ASSERT_TRUE(xer.open(dir / "log.txt"));
        pool.dump();
        const std::string text = xer.contents_for_test();
        xer.close();
        EXPECT_NE(text.find("Total memory allocated: 60000\n"), std::string::npos) << text;
        EXPECT_NE(text.find("Total wasted memory: "), std::string::npos);
        EXPECT_NE(text.find("Total ready memory: " + std::to_string(pool.total_ready) + "\n"), std::string::npos);
    }
    EXPECT_EQ(UTL_lazy_mempool::global_total, before);
}

TEST(LazyMempool, TotalIsPublishedAsALevelStatistic) {
    UTL_stat::init_stats();
    const UTL_stat* found = nullptr;
    for (const UTL_stat* s : all_stats()[stat_level])
        if (std::string(s->name) == "memory/lazy_pools") found = s;
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->value, &UTL_lazy_mempool::global_total);
}

}  // namespace
