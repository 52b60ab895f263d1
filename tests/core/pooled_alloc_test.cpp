// The thread-caching pools: cache bins and their rounding, ageing, the per-thread cache's life,
// heap growth under contention, the zeroed and grouped forms, and cross-thread frees.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "core/mspace.h"
#include "core/pooled_alloc.h"

namespace {

// A private pool per test, so caches and heaps start empty.
class Pool : public ::testing::Test {
protected:
    void SetUp() override { pool = nedcreatepool(0, 0); ASSERT_NE(pool, nullptr); }
    void TearDown() override { neddestroypool(pool); }
    nedpool* pool = nullptr;
};

TEST(PoolCache, RequestsAreRoundedToTheirBin) {
    struct row {
        size_t request;
        size_t usable;     // of the block the heap hands out on a miss
        int bin;           // where the freed block is cached; -1: not cached
        bool reused;       // the same request is then served from the cache
    } rows[] = {
        {0, 32, 1, true},         // raised to the smallest request (the cache's link record), then 32
        {100, 128, 3, true},
        {8192, 8192, 9, true},
        {8193, 8208, 9, false},   // bypasses the lookup, but its block still fits bin 9
        {9000, 9008, -1, false},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.request);
        nedpool* pool = nedcreatepool(0, 0);
        void* p = nedpmalloc(pool, r.request);
        EXPECT_EQ(nedblksize(p), r.usable);
        nedpfree(pool, p);
        const ned_cache_view v = ned_thread_cache_view(pool);
        for (int b = 0; b < 10; ++b) EXPECT_EQ(v.bin_count[b], b == r.bin ? 1u : 0u) << "bin " << b;
        void* again = nedpmalloc(pool, r.request);
        if (r.reused) {
            EXPECT_EQ(again, p);
        }
        EXPECT_EQ(ned_thread_cache_view(pool).hits, r.reused ? 1u : 0u);
        nedpfree(pool, again);
        neddestroypool(pool);
    }
}

TEST_F(Pool, EmptyBinIsServedByTheNextLargerOne) {
    void* big = nedpmalloc(pool, 256);    // bin 4
    nedpfree(pool, big);
    EXPECT_EQ(nedpmalloc(pool, 100), big);   // bin 3 empty: one bin up
    nedpfree(pool, big);
    void* other = nedpmalloc(pool, 50);      // bins 2 and 3 empty: a heap block
    EXPECT_NE(other, big);
    EXPECT_EQ(nedblksize(other), 64u);
    EXPECT_EQ(ned_thread_cache_view(pool).bin_count[4], 1u);
    nedpfree(pool, other);
}

TEST_F(Pool, CacheOverLimitGivesBackItsOldestBlocks) {
    std::vector<void*> blocks;
    for (int i = 0; i < 64; ++i) blocks.push_back(nedpmalloc(pool, 8192));
    for (int i = 0; i < 63; ++i) nedpfree(pool, blocks[i]);
    EXPECT_EQ(ned_thread_cache_view(pool).cached_bytes, 63u * 8192);
    // The 64th free reaches 512 KiB: none is 64 frees old, so those 32 or more frees old go back.
    nedpfree(pool, blocks[63]);
    const ned_cache_view v = ned_thread_cache_view(pool);
    EXPECT_EQ(v.bin_count[9], 32u);
    EXPECT_EQ(v.cached_bytes, 32u * 8192);
    EXPECT_EQ(v.free_clock, 64u);
    // The newest stay: the next lookups return the last blocks freed, newest first.
    EXPECT_EQ(nedpmalloc(pool, 8000), blocks[63]);
    EXPECT_EQ(nedpmalloc(pool, 8000), blocks[62]);
}

TEST_F(Pool, ZeroedAndResizedBlocks) {
    // A count of 0 with any element size is an empty request, never a division by zero.
    void* none = nedpcalloc(pool, 0, ~size_t(0));
    ASSERT_NE(none, nullptr);
    errno = 0;
    EXPECT_EQ(nedpcalloc(pool, ~size_t(0) / 2, 3), nullptr);
    EXPECT_EQ(errno, ENOMEM);

    unsigned char* dirty = static_cast<unsigned char*>(nedpmalloc(pool, 200));
    std::memset(dirty, 0xEE, 200);
    nedpfree(pool, dirty);
    unsigned char* z = static_cast<unsigned char*>(nedpcalloc(pool, 3, 60));
    EXPECT_EQ(z, dirty);   // same bin: the cached block comes back cleared
    for (int i = 0; i < 180; ++i) ASSERT_EQ(z[i], 0) << i;

    char* r = static_cast<char*>(nedprealloc(pool, nullptr, 10));
    std::strcpy(r, "pooled");
    r = static_cast<char*>(nedprealloc(pool, r, 3000));
    EXPECT_STREQ(r, "pooled");
    r = static_cast<char*>(nedprealloc(pool, r, 20000));
    EXPECT_STREQ(r, "pooled");
    EXPECT_GE(nedblksize(r), 20000u);

    void* aligned = nedpmemalign(pool, 4096, 100);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(aligned) % 4096, 0u);

    size_t sizes[] = {1, 40, 300};
    void** parts = nedpindependent_comalloc(pool, 3, sizes, nullptr);
    ASSERT_NE(parts, nullptr);
    EXPECT_GE(nedblksize(parts[0]), ned_smallest_request());
    void** zeroed = nedpindependent_calloc(pool, 4, 8, nullptr);
    ASSERT_NE(zeroed, nullptr);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(std::memcmp(zeroed[i], "\0\0\0\0\0\0\0\0", 8), 0);

    nedpfree(pool, nullptr);
    EXPECT_EQ(nedblksize(nullptr), 0u);
    for (int i = 0; i < 3; ++i) nedpfree(pool, parts[i]);
    for (int i = 0; i < 4; ++i) nedpfree(pool, zeroed[i]);
    for (void* p : {none, static_cast<void*>(z), static_cast<void*>(r), aligned, static_cast<void*>(parts),
                    static_cast<void*>(zeroed)})
        nedpfree(pool, p);
}

TEST_F(Pool, UserValueIsFoundFromHeapZeroBlocks) {
    int marker = 0;
    nedpsetvalue(pool, &marker);
    void* big = nedpmalloc(pool, 20000);   // too large for the cache: a heap block
    nedpool* found = nullptr;
    EXPECT_EQ(nedgetvalue(&found, big), &marker);
    EXPECT_EQ(found, pool);
    void* guard = nedpmalloc(pool, 20000);
    nedpfree(pool, big);
    EXPECT_EQ(nedgetvalue(nullptr, big), nullptr);   // freed to its heap
    nedpfree(pool, guard);
}

TEST_F(Pool, DisablingTheCacheReportsAndReturnsItsBlocks) {
    void* a = nedpmalloc(pool, 64);
    nedpfree(pool, a);
    EXPECT_EQ(nedpmalloc(pool, 64), a);
    nedpfree(pool, a);
    testing::internal::CaptureStdout();
    neddisablethreadcache(pool);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "Threadcache utilisation: 50.000000% in cache with 0.000000% lost to other threads\n");
    const ned_cache_view v = ned_thread_cache_view(pool);
    EXPECT_FALSE(v.has_cache);
    EXPECT_EQ(v.heap_index, 0);
    EXPECT_EQ(ned_pool_view_of(pool).caches, 0);
    void* b = nedpmalloc(pool, 64);   // straight from heap 0 now
    nedpfree(pool, b);
    EXPECT_FALSE(ned_thread_cache_view(pool).has_cache);
}

TEST_F(Pool, EndedThreadsGiveTheirCachesBack) {
    // More short-lived threads than cache slots: each still gets a cache, and none is left over.
    for (int i = 0; i < 300; ++i) {
        bool had_cache = false;
        std::thread([&] {
            nedpfree(pool, nedpmalloc(pool, 100));
            had_cache = ned_thread_cache_view(pool).has_cache;
        }).join();
        ASSERT_TRUE(had_cache) << "thread " << i;
    }
    EXPECT_EQ(ned_pool_view_of(pool).caches, 0);
}

TEST(PoolHeaps, ThreadsValueBoundsTheHeapCount) {
    for (int threads : {0, 1, 2, 4, 9}) {
        nedpool* p = nedcreatepool(0, threads);
        EXPECT_EQ(ned_pool_view_of(p).max_heaps, threads >= 1 && threads <= 4 ? threads : 4) << threads;
        EXPECT_EQ(ned_pool_view_of(p).heaps, 1);
        neddestroypool(p);
    }
    // Busy threads without caches spread over more heaps, never beyond the bound.
    nedpool* p = nedcreatepool(0, 2);
    std::vector<std::thread> ts;
    for (int t = 0; t < 8; ++t) {
        ts.emplace_back([p] {
            neddisablethreadcache(p);   // before first use: silently no cache
            for (int i = 0; i < 20000; ++i) nedpfree(p, nedpmalloc(p, 64 + i % 512));
        });
    }
    for (auto& t : ts) t.join();
    EXPECT_LE(ned_pool_view_of(p).heaps, 2);
    const mallinfo mi = nedpmallinfo(p);
    EXPECT_EQ(mi.uordblks + mi.fordblks, nedpmalloc_footprint(p));
    EXPECT_EQ(mi.arena + mi.hblkhd, nedpmalloc_footprint(p));
    neddestroypool(p);
}

TEST_F(Pool, MallinfoSumsItsHeaps) {
    std::vector<void*> keep;
    for (int i = 0; i < 100; ++i) keep.push_back(nedpmalloc(pool, 20000 + i));
    void* mapped = nedpmalloc(pool, 3 << 20);
    const mallinfo mi = nedpmallinfo(pool);
    EXPECT_EQ(mi.uordblks + mi.fordblks, nedpmalloc_footprint(pool));
    EXPECT_GE(mi.hblkhd, size_t(4) << 20);             // the mapping, plus fenceposts of older segments
    EXPECT_LT(mi.hblkhd, (size_t(4) << 20) + 4096);
    EXPECT_GE(mi.uordblks, 100u * 20000 + (3u << 20));
    for (void* p : keep) nedpfree(pool, p);
    nedpfree(pool, mapped);
    EXPECT_GE(nedpmalloc_trim(pool, 0), 0);
}

using PoolDeathTest = Pool;

TEST_F(PoolDeathTest, FreeingTheSameBlockTwiceAborts) {
    void* p = nedpmalloc(pool, 48);
    EXPECT_DEATH(
        {
            nedpfree(pool, p);
            nedpfree(pool, p);
        },
        "Attempt to free already freed memory block 0x[0-9a-f]+ - aborting!");
    // Too large for the cache: the heap finds it not in use.
    void* big = nedpmalloc(pool, 20000);
    void* guard = nedpmalloc(pool, 20000);
    EXPECT_DEATH(
        {
            nedpfree(pool, big);
            nedpfree(pool, big);
        },
        "");
    nedpfree(pool, big);
    nedpfree(pool, guard);
    nedpfree(pool, p);
}

TEST(PoolStress, EightThreadsFreeEachOthersBlocks) {
    nedpool* p = nedcreatepool(0, 0);
    std::mutex lock;
    std::vector<std::pair<unsigned char*, size_t>> exchange;
    std::atomic<bool> failed{false};
    auto check = [&](unsigned char* b, size_t n) {
        for (size_t i = 0; i < n; ++i)
            if (b[i] != static_cast<unsigned char>(n + i)) failed = true;
    };
    std::vector<std::thread> ts;
    for (int t = 0; t < 8; ++t) {
        ts.emplace_back([&, t] {
            std::mt19937 rng(99 + t);
            std::vector<std::pair<unsigned char*, size_t>> mine;
            const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
            while (std::chrono::steady_clock::now() < end && !failed) {
                const size_t n = rng() % 100 < 95 ? 1 + rng() % 600 : 8000 + rng() % 30000;
                auto* b = static_cast<unsigned char*>(rng() % 8 == 0 ? nedpcalloc(p, 1, n) : nedpmalloc(p, n));
                if (b == nullptr) {
                    failed = true;
                    break;
                }
                for (size_t i = 0; i < n; ++i) b[i] = static_cast<unsigned char>(n + i);
                mine.push_back({b, n});
                if (mine.size() >= 64) {
                    std::vector<std::pair<unsigned char*, size_t>> theirs;
                    {
                        std::lock_guard<std::mutex> g(lock);
                        exchange.insert(exchange.end(), mine.begin() + 32, mine.end());
                        const size_t k = std::min<size_t>(exchange.size(), 40);
                        theirs.assign(exchange.begin(), exchange.begin() + k);
                        exchange.erase(exchange.begin(), exchange.begin() + k);
                    }
                    mine.resize(32);
                    for (auto& [q, m] : theirs) {
                        check(q, m);
                        nedpfree(p, q);
                    }
                    while (mine.size() > 16) {
                        check(mine.back().first, mine.back().second);
                        nedpfree(p, mine.back().first);
                        mine.pop_back();
                    }
                }
            }
            for (auto& [q, m] : mine) {
                check(q, m);
                nedpfree(p, q);
            }
        });
    }
    for (auto& t : ts) t.join();
    EXPECT_FALSE(failed);
    for (auto& [q, m] : exchange) {
        check(q, m);
        nedpfree(p, q);
    }
    EXPECT_FALSE(failed);
    EXPECT_LE(ned_pool_view_of(p).caches, 1) << "only this thread's cache outlives its thread";
    const mallinfo mi = nedpmallinfo(p);
    EXPECT_EQ(mi.uordblks + mi.fordblks, nedpmalloc_footprint(p));
    neddestroypool(p);
}

// Threads on different heaps resize blocks that other threads allocated (too large for the caches,
// so every resize goes to the block's own heap). Exits 0 when every resize kept its contents.
[[noreturn]] void resize_each_others_blocks() {
    nedpool* p = nedcreatepool(0, 0);
    std::mutex lock;
    std::vector<std::pair<unsigned char*, size_t>> exchange;
    std::atomic<bool> failed{false};
    std::vector<std::thread> ts;
    for (int t = 0; t < 8; ++t) {
        ts.emplace_back([&, t] {
            std::mt19937 rng(7 + t);
            for (int i = 0; i < 2000 && !failed; ++i) {
                const size_t n = 9000 + rng() % 20000;
                auto* b = static_cast<unsigned char*>(nedpmalloc(p, n));
                std::memset(b, t + 1, n);
                std::pair<unsigned char*, size_t> theirs{nullptr, 0};
                {
                    std::lock_guard<std::mutex> g(lock);
                    exchange.push_back({b, n});
                    if (exchange.size() > 16) {
                        theirs = exchange.front();
                        exchange.erase(exchange.begin());
                    }
                }
                if (theirs.first == nullptr) continue;
                const unsigned char fill = theirs.first[0];
                const size_t m = 9000 + rng() % 30000;
                auto* r = static_cast<unsigned char*>(nedprealloc(p, theirs.first, m));
                for (size_t k = 0; k < std::min(m, theirs.second); k += 997)
                    if (r[k] != fill) failed = true;
                nedpfree(p, r);
            }
        });
    }
    for (auto& t : ts) t.join();
    for (auto& [q, n] : exchange) nedpfree(p, q);
    neddestroypool(p);
    std::_Exit(failed ? 1 : 0);
}

// In a child with a watchdog, so that threads waiting on each other's heaps fail the test instead
// of hanging it.
TEST(PoolStress, ThreadsResizeEachOthersBlocksWithoutWaitingOnEachOther) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::thread([] {
                std::this_thread::sleep_for(std::chrono::seconds(30));
                std::_Exit(2);
            }).detach();
            resize_each_others_blocks();
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
