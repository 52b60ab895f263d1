// The boundary-tag heap: sizes and paths of requests, reuse order, growth and trimming, the derived
// operations, statistics, the abort paths, and a randomized run checked against a shadow model.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "core/heap_engine.h"
#include "core/mspace.h"

namespace {

constexpr size_t KiB = 1024, MiB = 1024 * 1024;

// A fresh 2 MiB heap per test, destroyed afterwards.
class Mspace : public ::testing::Test {
protected:
    void SetUp() override { m = create_mspace(0, 1); ASSERT_NE(m, nullptr); }
    void TearDown() override {
        EXPECT_STREQ(mspace_check(m), "");
        destroy_mspace(m);
    }
    mspace m = nullptr;
};

enum class path { top, small_bin, tree_bin, mapped, grown };

struct request_row {
    size_t request;
    size_t usable;
    path expected;
};

// x86-64 figures: 16-byte overhead (size word and footer), 32-byte minimum chunk, requests up to
// 224 bytes are small, padded requests of 256 KiB and more are mapped when no free chunk fits.
const request_row kRequests[] = {
    {0, 16, path::top},
    {16, 16, path::top},
    {17, 32, path::top},
    {100, 112, path::small_bin},
    {224, 224, path::small_bin},    // the largest small request
    {225, 240, path::tree_bin},     // large path, padded to 256
    {1000, 1008, path::tree_bin},
    {256 * KiB, 256 * KiB, path::top},             // large, but top still holds it
    // With top nearly used up:
    {256 * KiB - 32, 256 * KiB - 32, path::grown},   // padded to 256 KiB - 16: the heap grows
    {256 * KiB - 16, MiB - 48, path::mapped},        // padded to 256 KiB: a 1 MiB mapping of its own
};

TEST_F(Mspace, RequestsGetTheirUsableSizeFromTheExpectedPath) {
    for (const request_row& row : kRequests) {
        SCOPED_TRACE(row.request);
        void* q = nullptr;
        if (row.expected == path::small_bin || row.expected == path::tree_bin) {
            // Free a chunk of the same size behind a guard: the next request must take it back.
            void* p = mspace_malloc(m, row.request);
            void* guard = mspace_malloc(m, 16);
            mspace_free(m, p);
            q = mspace_malloc(m, row.request);
            EXPECT_EQ(q, p);
            EXPECT_EQ(mspace_chunk_size(q) < 256, row.expected == path::small_bin);
            mspace_free(m, guard);
        } else {
            // Rows that need top nearly used up get a heap of their own.
            const bool drained = row.expected == path::mapped || row.expected == path::grown;
            mspace h = drained ? create_mspace(0, 1) : m;
            if (drained) mspace_malloc(h, mspace_probe(h).top_size - 4 * KiB);
            const heap_probe before = mspace_probe(h);
            const size_t footprint = mspace_footprint(h);
            q = mspace_malloc(h, row.request);
            ASSERT_NE(q, nullptr);
            EXPECT_EQ(mspace_block_is_mapped(q), row.expected == path::mapped);
            if (drained) {
                EXPECT_EQ(mspace_footprint(h), footprint + MiB);
                EXPECT_EQ(mspace_chunk_size(q) - mspace_chunk_overhead(), row.usable);
                destroy_mspace(h);
                continue;
            }
            EXPECT_EQ(static_cast<const char*>(before.top) + 16, q);
            EXPECT_EQ(mspace_probe(m).top_size, before.top_size - mspace_chunk_size(q));
        }
        ASSERT_NE(q, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(q) % 16, 0u);
        EXPECT_EQ(mspace_chunk_size(q) - mspace_chunk_overhead(), row.usable);
        mspace_free(m, q);
    }
}

TEST_F(Mspace, MappedBlockReturnsItsMappingOnFree) {
    const size_t before = mspace_footprint(m);
    void* big = mspace_malloc(m, 3 * MiB);
    ASSERT_TRUE(mspace_block_is_mapped(big));
    EXPECT_EQ(mspace_footprint(m), before + 4 * MiB);   // whole units, one more for the tags
    mspace_free(m, big);
    EXPECT_EQ(mspace_footprint(m), before);
}

TEST_F(Mspace, SmallChunksAreReusedNewestFirstLargeOnesInFreeOrder) {
    for (size_t size : {64u, 2000u}) {
        SCOPED_TRACE(size);
        std::vector<void*> blocks, guards;
        for (int i = 0; i < 3; ++i) {
            blocks.push_back(mspace_malloc(m, size));
            guards.push_back(mspace_malloc(m, 16));
        }
        for (void* b : blocks) mspace_free(m, b);
        std::vector<void*> again;
        for (int i = 0; i < 3; ++i) again.push_back(mspace_malloc(m, size));
        if (size < 200)
            EXPECT_EQ(again, std::vector<void*>(blocks.rbegin(), blocks.rend()));
        else
            EXPECT_EQ(again, blocks);
        for (void* b : again) mspace_free(m, b);
        for (void* g : guards) mspace_free(m, g);
    }
}

TEST_F(Mspace, SmallRequestsAreCarvedFromTheVictimInARun) {
    // A freed 1 KiB chunk serves a run of small requests: the split remainder becomes the victim.
    void* big = mspace_malloc(m, 1000);
    void* guard = mspace_malloc(m, 16);
    mspace_free(m, big);
    void* a = mspace_malloc(m, 40);
    void* b = mspace_malloc(m, 40);
    EXPECT_EQ(a, big);
    EXPECT_EQ(static_cast<char*>(b), static_cast<char*>(a) + mspace_chunk_size(a));
    EXPECT_EQ(mspace_probe(m).victim_size, 1024 - 2 * mspace_chunk_size(a));
    for (void* p : {a, b, guard}) mspace_free(m, p);
}

// Keeps the pages just before and after a region unmappable, so the kernel cannot place a new
// mapping against it; a page something else already holds serves as well.
class fence {
public:
    fence(const void* begin, size_t size) {
        const size_t page = size_t(::sysconf(_SC_PAGESIZE));
        const uintptr_t b = reinterpret_cast<uintptr_t>(begin) & ~uintptr_t(page - 1);
        for (uintptr_t at : {b - page, b + size}) {
            void* p = ::mmap(reinterpret_cast<void*>(at), page, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE,
                             -1, 0);
            if (p != MAP_FAILED) guards_.push_back(p);
        }
        page_ = page;
    }
    ~fence() {
        for (void* p : guards_) ::munmap(p, page_);
    }
    fence(const fence&) = delete;
    fence& operator=(const fence&) = delete;

private:
    std::vector<void*> guards_;
    size_t page_ = 0;
};

// A segment the kernel maps against the first one merges into it, and the first segment's top is
// never trimmed; fenced off, new segments stay apart whatever order the kernel maps them in.
TEST_F(Mspace, GrowsByOneMegabyteSegmentsAndTrimsThemAway) {
    const size_t start = mspace_footprint(m);
    const fence apart(m, start);   // the heap record lies in the first page of the first segment
    std::vector<void*> blocks;
    while (mspace_footprint(m) == start) blocks.push_back(mspace_malloc(m, 200 * KiB));
    EXPECT_EQ(mspace_footprint(m), start + MiB);   // a new segment of one granularity unit
    for (int i = 0; i < 10; ++i) blocks.push_back(mspace_malloc(m, 200 * KiB));
    const size_t grown = mspace_footprint(m);
    EXPECT_GT(grown, start + MiB);
    EXPECT_STREQ(mspace_check(m), "");
    for (void* b : blocks) mspace_free(m, b);
    mspace_trim(m, 0);
    EXPECT_LT(mspace_footprint(m), grown);
    EXPECT_EQ(mspace_max_footprint(m), grown);
}

TEST_F(Mspace, TopInTheFirstSegmentIsNeverTrimmed) {
    void* p = mspace_malloc(m, MiB);
    mspace_free(m, p);
    const size_t fp = mspace_footprint(m);
    EXPECT_EQ(mspace_trim(m, 0), 0);
    EXPECT_EQ(mspace_footprint(m), fp);
}

TEST(MspaceCreate, MapsWholeGranularityUnitsAndRefusesTinyRegions) {
    struct row {
        size_t capacity;
        size_t mapped;
    } rows[] = {{0, 2 * MiB}, {100000, MiB}, {MiB, 2 * MiB}};
    for (const row& r : rows) {
        mspace h = create_mspace(r.capacity, 0);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(mspace_footprint(h), r.mapped) << r.capacity;
        EXPECT_EQ(destroy_mspace(h), r.mapped);
    }
    std::vector<char> region(64 * KiB);
    const size_t least = mspace_state_chunk_size() + mspace_top_foot();
    EXPECT_EQ(create_mspace_with_base(region.data(), least, 0), nullptr);
    // Off by 8 from the payload alignment: 8 bytes go to alignment, so one byte over is no room.
    char* aligned = region.data() + (16 - reinterpret_cast<uintptr_t>(region.data()) % 16) % 16;
    EXPECT_EQ(create_mspace_with_base(aligned + 8, least + 1, 0), nullptr);
    mspace inside = create_mspace_with_base(region.data(), region.size(), 0);
    ASSERT_NE(inside, nullptr);
    void* p = mspace_malloc(inside, 1000);
    EXPECT_TRUE(p >= static_cast<void*>(region.data()) && p < static_cast<void*>(region.data() + region.size()));
    void* grown = mspace_malloc(inside, 100 * KiB);           // no room left: a mapped segment joins
    EXPECT_FALSE(grown >= static_cast<void*>(region.data()) && grown < static_cast<void*>(region.data() + region.size()));
    EXPECT_EQ(destroy_mspace(inside), MiB);                   // only that segment: the caller's memory stays
}

TEST_F(Mspace, ReallocShrinksAndGrowsInPlaceWhenItCan) {
    void* p = mspace_realloc(m, nullptr, 1000);
    ASSERT_NE(p, nullptr);
    std::memset(p, 0x5A, 1000);
    EXPECT_EQ(mspace_realloc(m, p, 990), p);            // padded size within 15 bytes: unchanged
    EXPECT_EQ(mspace_chunk_size(p), 1024u);
    EXPECT_EQ(mspace_realloc(m, p, 100), p);             // shrink: tail freed
    EXPECT_EQ(mspace_chunk_size(p), 112u + 16u);
    EXPECT_EQ(mspace_realloc(m, p, 5000), p);            // next to top: grows in place
    EXPECT_EQ(static_cast<unsigned char*>(p)[99], 0x5A);

    void* guard = mspace_malloc(m, 16);                  // no longer next to top: must move
    void* q = mspace_realloc(m, p, 20000);
    EXPECT_NE(q, p);
    EXPECT_EQ(static_cast<unsigned char*>(q)[0], 0x5A);

    errno = 0;
    EXPECT_EQ(mspace_realloc(m, q, ~size_t(0) - 10), nullptr);
    EXPECT_EQ(errno, ENOMEM);
    mspace_free(m, q);
    mspace_free(m, guard);
}

TEST_F(Mspace, ReallocOfMappedBlocksKeepsThemWhileTheSlackIsSmall) {
    void* big = mspace_malloc(m, 3 * MiB);
    ASSERT_TRUE(mspace_block_is_mapped(big));
    EXPECT_EQ(mspace_realloc(m, big, 3 * MiB + 10), big);
    void* small = mspace_realloc(m, big, 200);
    EXPECT_NE(small, big);
    EXPECT_FALSE(mspace_block_is_mapped(small));
    mspace_free(m, small);
}

TEST(MspaceRealloc, WorksInsideTheBlocksOwnHeap) {
    mspace a = create_mspace(0, 1), b = create_mspace(0, 1);
    void* p = mspace_malloc(a, 100);
    const size_t a_top = mspace_probe(a).top_size;
    void* q = mspace_realloc(b, p, 4000);   // named heap b, block of a
    EXPECT_EQ(mspace_block_heap(q), a);
    EXPECT_LT(mspace_probe(a).top_size, a_top);
    mspace_free(b, q);                      // the footer, not the argument, picks the heap
    EXPECT_STREQ(mspace_check(a), "");
    destroy_mspace(a);
    destroy_mspace(b);
}

TEST_F(Mspace, MemalignGivesAlignedBlocksAndFreesLeadAndTail) {
    struct row {
        size_t alignment;
        size_t expect_multiple;
    } rows[] = {{8, 16}, {16, 16}, {24, 32}, {64, 64}, {4096, 4096}, {65536, 65536}};
    for (const row& r : rows) {
        void* p = mspace_memalign(m, r.alignment, 300);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % r.expect_multiple, 0u) << r.alignment;
        EXPECT_GE(mspace_chunk_size(p) - mspace_chunk_overhead(), 300u);
        EXPECT_STREQ(mspace_check(m), "");
        mspace_free(m, p);
    }
    errno = 0;
    EXPECT_EQ(mspace_memalign(m, 4096, ~size_t(0) - 4096), nullptr);
    EXPECT_EQ(mspace_memalign(m, (~size_t(0) >> 1) + 3, 10), nullptr);   // no power of two above it
    EXPECT_EQ(errno, ENOMEM);
}

TEST_F(Mspace, CallocZeroesAndRefusesOverflow) {
    void* dirty = mspace_malloc(m, 500);
    std::memset(dirty, 0xFF, 500);
    void* guard = mspace_malloc(m, 16);
    mspace_free(m, dirty);
    unsigned char* z = static_cast<unsigned char*>(mspace_calloc(m, 25, 20));
    ASSERT_EQ(static_cast<void*>(z), dirty);
    for (int i = 0; i < 500; ++i) ASSERT_EQ(z[i], 0) << i;
    errno = 0;
    EXPECT_EQ(mspace_calloc(m, ~size_t(0) / 2, 3), nullptr);
    EXPECT_EQ(errno, ENOMEM);
    void* none = mspace_calloc(m, 0, ~size_t(0));
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(mspace_chunk_size(none), 32u);
    for (void* p : {static_cast<void*>(z), guard, none}) mspace_free(m, p);
}

TEST_F(Mspace, IndependentBlocksAreConsecutiveAndFreeable) {
    size_t sizes[] = {10, 20, 30};
    void** arr = mspace_independent_comalloc(m, 3, sizes, nullptr);
    ASSERT_NE(arr, nullptr);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(reinterpret_cast<uintptr_t>(arr[i]) % 16, 0u);
    EXPECT_EQ(static_cast<char*>(arr[1]), static_cast<char*>(arr[0]) + 32);
    EXPECT_EQ(static_cast<char*>(arr[2]), static_cast<char*>(arr[1]) + 48);
    mspace_free(m, arr[1]);
    mspace_free(m, arr[0]);
    mspace_free(m, arr[2]);
    mspace_free(m, arr);

    void* given[4];
    EXPECT_EQ(mspace_independent_calloc(m, 0, 8, given), given);
    void** empty = mspace_independent_calloc(m, 0, 8, nullptr);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(mspace_chunk_size(empty), 32u);
    mspace_free(m, empty);

    void** zeroed = mspace_independent_calloc(m, 4, 100, given);
    ASSERT_EQ(zeroed, given);
    for (void* e : given) {
        for (int i = 0; i < 100; ++i) ASSERT_EQ(static_cast<unsigned char*>(e)[i], 0);
        mspace_free(m, e);
    }
    // Counts and sizes whose totals do not fit in a word fail cleanly.
    errno = 0;
    EXPECT_EQ(mspace_independent_calloc(m, ~size_t(0) / 8, 64, nullptr), nullptr);
    size_t huge[] = {~size_t(0) / 2, ~size_t(0) / 2, 64};
    EXPECT_EQ(mspace_independent_comalloc(m, 3, huge, nullptr), nullptr);
    EXPECT_EQ(errno, ENOMEM);
}

TEST_F(Mspace, MallinfoAddsUpToTheFootprint) {
    void* small = mspace_malloc(m, 100);
    const mallinfo one = mspace_mallinfo(m);
    EXPECT_EQ(one.ordblks, 1u);                      // top alone
    EXPECT_EQ(one.keepcost, mspace_probe(m).top_size);

    std::vector<void*> keep;
    for (int i = 0; i < 20; ++i) keep.push_back(mspace_malloc(m, 300 + i * 50));
    void* mapped = mspace_malloc(m, 3 * MiB);
    for (int i = 0; i < 20; i += 2) mspace_free(m, keep[i]);
    const mallinfo mi = mspace_mallinfo(m);
    EXPECT_EQ(mi.arena + mi.hblkhd, mspace_footprint(m));
    EXPECT_EQ(mi.uordblks + mi.fordblks, mspace_footprint(m));
    EXPECT_EQ(mi.hblkhd, 4 * MiB);
    EXPECT_EQ(mi.ordblks, 11u);   // ten freed, not adjacent, plus top
    EXPECT_EQ(mi.usmblks, mspace_max_footprint(m));
    EXPECT_EQ(mi.smblks + mi.hblks + mi.fsmblks, 0u);
    for (int i = 1; i < 20; i += 2) mspace_free(m, keep[i]);
    mspace_free(m, mapped);
    mspace_free(m, small);
}

TEST_F(Mspace, StatsPrintThreeRightAlignedLines) {
    void* p = mspace_malloc(m, 1000);
    testing::internal::CaptureStderr();
    mspace_malloc_stats(m);
    const std::string out = testing::internal::GetCapturedStderr();
    char expect[256];
    std::snprintf(expect, sizeof expect, "max system bytes = %10lu\nsystem bytes     = %10lu\nin use bytes     = %10lu\n",
                  2 * MiB, 2 * MiB, static_cast<unsigned long>(mspace_state_chunk_size() + mspace_chunk_size(p)));
    EXPECT_EQ(out, expect);
    mspace_free(m, p);
}

TEST(MspaceParameters, OnlyKnownNumbersAndSoundGranularitiesAreTaken) {
    EXPECT_EQ(mspace_mallopt(M_GRANULARITY, 3000), 0);
    EXPECT_EQ(mspace_mallopt(M_GRANULARITY, 8192), 1);
    EXPECT_EQ(mspace_mallopt(M_GRANULARITY, 1 << 20), 1);
    EXPECT_EQ(mspace_mallopt(42, 1), 0);
    EXPECT_EQ(dlmallopt(M_GRANULARITY, 3000), 0);
    EXPECT_EQ(dlmallopt(M_GRANULARITY, 2 * 4096), 1);
    EXPECT_EQ(dlmallopt(M_GRANULARITY, 4096), 1);
}

// ---- the process-wide heap: 8-byte overhead, requests up to 232 bytes are small --------------

TEST(GlobalHeap, UsableSizesAndDerivedOperations) {
    const struct {
        size_t request, usable;
    } rows[] = {{0, 24}, {24, 24}, {25, 40}, {232, 232}, {233, 248}};
    for (const auto& r : rows) {
        void* p = dlmalloc(r.request);
        EXPECT_EQ(dlmalloc_usable_size(p), r.usable) << r.request;
        dlfree(p);
    }
    EXPECT_EQ(dlmalloc_usable_size(nullptr), 0u);

    void* v = dlvalloc(100);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(v) % 4096, 0u);
    void* pv = dlpvalloc(5000);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(pv) % 4096, 0u);
    EXPECT_GE(dlmalloc_usable_size(pv), 8192u);
    errno = 0;
    EXPECT_EQ(dlpvalloc(~size_t(0) - 100), nullptr);   // rounding up to a page would wrap
    EXPECT_EQ(errno, ENOMEM);

    void* r = dlrealloc(nullptr, 50);
    std::memcpy(r, "abc", 4);
    r = dlrealloc(r, 100000);
    EXPECT_STREQ(static_cast<char*>(r), "abc");
    void** arr = dlindependent_comalloc(3, std::array<size_t, 3>{10, 20, 30}.data(), nullptr);
    ASSERT_NE(arr, nullptr);
    for (int i = 0; i < 3; ++i) dlfree(arr[i]);
    dlfree(arr);
    for (void* p : {v, pv, r}) dlfree(p);

    const mallinfo mi = dlmallinfo();
    EXPECT_EQ(mi.uordblks + mi.fordblks, dlmalloc_footprint());
    EXPECT_EQ(mi.keepcost, dlmalloc_probe().top_size);
    EXPECT_STREQ(dlmalloc_check(), "");
    dlmalloc_trim(0);
    EXPECT_STREQ(dlmalloc_check(), "");
}

// ---- abort paths -----------------------------------------------------------------------------

using HeapDeathTest = Mspace;

TEST_F(HeapDeathTest, DoubleFreeAborts) {
    void* p = mspace_malloc(m, 64);
    void* guard = mspace_malloc(m, 16);
    mspace_free(m, p);
    EXPECT_DEATH(mspace_free(m, p), "");
    (void)guard;
}

TEST_F(HeapDeathTest, WrongHeapKeyAborts) {
    std::vector<unsigned char> fake(4096, 0);
    EXPECT_DEATH(mspace_malloc(fake.data(), 10), "");
    // A block whose footer names a record without the key.
    void* p = mspace_malloc(m, 64);
    size_t* footer = reinterpret_cast<size_t*>(static_cast<char*>(p) + mspace_chunk_size(p) - 16);
    EXPECT_DEATH(
        {
            *footer ^= reinterpret_cast<size_t>(m) ^ reinterpret_cast<size_t>(fake.data());
            mspace_free(m, p);
        },
        "");
    mspace_free(m, p);
}

TEST_F(HeapDeathTest, DamagedSizeWordAborts) {
    void* a = mspace_malloc(m, 64);
    void* b = mspace_malloc(m, 64);
    void* c = mspace_malloc(m, 64);
    size_t* b_size = reinterpret_cast<size_t*>(b) - 1;
    EXPECT_DEATH(
        {
            *b_size &= 7;   // size 0: the following chunk would not lie above it
            mspace_free(m, b);
        },
        "");
    EXPECT_DEATH(
        {
            *b_size &= ~size_t(2);   // no longer marked in use
            mspace_realloc(m, b, 10);
        },
        "");
    EXPECT_DEATH(
        {
            void* g = dlmalloc(64);
            std::memset(g, 0, 64);
            reinterpret_cast<size_t*>(g)[-1] = 16 | 3;   // its "successor" lies inside it, not in use
            dlfree(g);
        },
        "");
    for (void* p : {a, b, c}) mspace_free(m, p);
}

// ---- randomized runs against a shadow model --------------------------------------------------

struct shadow_block {
    size_t size;
    unsigned seed;
};

unsigned char pattern(unsigned seed, size_t i) { return static_cast<unsigned char>((seed * 131u) ^ (i * 7u) ^ (i >> 8)); }

void fill(void* p, const shadow_block& b) {
    auto* c = static_cast<unsigned char*>(p);
    for (size_t i = 0; i < b.size; ++i) c[i] = pattern(b.seed, i);
}

::testing::AssertionResult intact(void* p, const shadow_block& b, size_t upto) {
    const auto* c = static_cast<unsigned char*>(p);
    for (size_t i = 0; i < upto; ++i)
        if (c[i] != pattern(b.seed, i)) return ::testing::AssertionFailure() << "byte " << i << " of a " << b.size << "-byte block";
    return ::testing::AssertionSuccess();
}

size_t random_size(std::mt19937& rng) {
    const unsigned pick = rng() % 100;
    if (pick < 70) return rng() % 256;
    if (pick < 95) return 256 + rng() % 8000;
    if (pick < 99) return 8000 + rng() % 120000;
    return 256 * KiB + rng() % (3 * MiB);   // mapped directly when top cannot hold it
}

// One thread's share of a run: allocates, checks and frees; blocks handed over in `mailbox` are
// freed by whoever picks them up.
struct stress_worker {
    mspace heap;
    std::mt19937 rng;
    std::map<void*, shadow_block> live;
    unsigned next_seed = 1;

    void* take(size_t size, int how) {
        switch (how) {
        case 0: return mspace_malloc(heap, size);
        case 1: return mspace_calloc(heap, 1, size);
        default: {
            static const size_t aligns[] = {32, 64, 256, 4096};
            void* p = mspace_memalign(heap, aligns[rng() % 4], size);
            return p;
        }
        }
    }

    void step(std::vector<std::pair<void*, shadow_block>>* outbox) {
        const unsigned op = rng() % 100;
        const unsigned alloc_share = live.size() < 500 ? 60 : 40;   // keeps about 500 blocks alive
        if (live.empty() || op < alloc_share) {
            const size_t size = random_size(rng);
            const int how = op % 10 == 0 ? 2 : op % 10 == 1 ? 1 : 0;
            void* p = take(size, how);
            ASSERT_NE(p, nullptr);
            ASSERT_EQ(reinterpret_cast<uintptr_t>(p) % 16, 0u);
            if (how == 1) {
                for (size_t i = 0; i < size; ++i) ASSERT_EQ(static_cast<unsigned char*>(p)[i], 0);
            }
            shadow_block b{size, next_seed++};
            fill(p, b);
            ASSERT_TRUE(live.emplace(p, b).second) << "block handed out twice";
            return;
        }
        auto it = live.begin();
        std::advance(it, rng() % live.size());
        void* p = it->first;
        shadow_block b = it->second;
        ASSERT_TRUE(intact(p, b, b.size));
        live.erase(it);
        if (op % 3 == 0) {
            const size_t size = random_size(rng);
            void* q = mspace_realloc(heap, p, size);
            ASSERT_NE(q, nullptr);
            ASSERT_TRUE(intact(q, b, std::min(size, b.size)));
            shadow_block nb{size, next_seed++};
            fill(q, nb);
            ASSERT_TRUE(live.emplace(q, nb).second);
        } else if (outbox != nullptr && op % 3 == 1) {
            outbox->push_back({p, b});
        } else {
            mspace_free(heap, p);
        }
    }

    void release_all() {
        for (auto& [p, b] : live) {
            ASSERT_TRUE(intact(p, b, b.size));
            mspace_free(heap, p);
        }
        live.clear();
    }
};

// Once every block is freed, only the heap's own records stay in use and no mapping is left
// beyond the segments.
void expect_only_bookkeeping_left(mspace h) {
    mspace_trim(h, 0);
    const heap_probe pr = mspace_probe(h);
    EXPECT_EQ(pr.user_bytes, 0u);
    EXPECT_EQ(pr.segment_bytes, mspace_footprint(h));
}

constexpr auto kStressTime = std::chrono::milliseconds(1500);

TEST(HeapStress, SingleThreadAgainstShadowModel) {
    mspace h = create_mspace(0, 1);
    stress_worker w{h, std::mt19937(12345), {}};
    const auto end = std::chrono::steady_clock::now() + kStressTime;
    for (int i = 0; std::chrono::steady_clock::now() < end && i < 400000; ++i) {
        ASSERT_NO_FATAL_FAILURE(w.step(nullptr));
        if (i % 2000 == 0) {
            ASSERT_STREQ(mspace_check(h), "") << "after step " << i;
        }
    }
    w.release_all();
    ASSERT_STREQ(mspace_check(h), "");
    expect_only_bookkeeping_left(h);
    destroy_mspace(h);
}

TEST(HeapStress, EightThreadsFreeEachOthersBlocksInSharedAndOwnHeaps) {
    mspace shared = create_mspace(0, 1);
    std::mutex exchange_lock;
    std::vector<std::pair<void*, shadow_block>> exchange;
    std::atomic<bool> failed{false};
    std::vector<std::thread> threads;
    std::vector<mspace> own(8);
    for (int t = 0; t < 8; ++t) {
        own[t] = create_mspace(0, 1);
        threads.emplace_back([&, t] {
            // Even threads share one heap, odd ones have their own; all swap blocks.
            stress_worker w{t % 2 == 0 ? shared : own[t], std::mt19937(777 + t), {}};
            const auto end = std::chrono::steady_clock::now() + kStressTime;
            std::vector<std::pair<void*, shadow_block>> outbox;
            while (std::chrono::steady_clock::now() < end && !failed) {
                w.step(&outbox);
                if (::testing::Test::HasFatalFailure()) failed = true;
                if (outbox.size() >= 16) {
                    std::vector<std::pair<void*, shadow_block>> inbox;
                    {
                        std::lock_guard<std::mutex> g(exchange_lock);
                        exchange.insert(exchange.end(), outbox.begin(), outbox.end());
                        const size_t n = std::min<size_t>(exchange.size(), 24);
                        inbox.assign(exchange.end() - n, exchange.end());
                        exchange.resize(exchange.size() - n);
                    }
                    outbox.clear();
                    for (auto& [p, b] : inbox) {
                        if (!intact(p, b, b.size)) failed = true;
                        mspace_free(w.heap, p);   // frees into the block's own heap
                    }
                }
            }
            w.release_all();
            std::lock_guard<std::mutex> g(exchange_lock);
            exchange.insert(exchange.end(), outbox.begin(), outbox.end());
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_FALSE(failed);
    for (auto& [p, b] : exchange) {
        EXPECT_TRUE(intact(p, b, b.size));
        mspace_free(shared, p);
    }
    EXPECT_STREQ(mspace_check(shared), "");
    for (mspace h : own) {
        EXPECT_STREQ(mspace_check(h), "");
        expect_only_bookkeeping_left(h);
        destroy_mspace(h);
    }
    expect_only_bookkeeping_left(shared);
    destroy_mspace(shared);
}

}  // namespace
