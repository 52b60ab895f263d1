#include "core/pooled_alloc.h"

#include <errno.h>
#include <pthread.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/mspace.h"

namespace {

constexpr int kHeapSlots = 5;      // the heap table always ends with a null slot
constexpr int kMaxHeaps = 4;
constexpr int kMaxCaches = 256;
constexpr unsigned kBins = 10;     // bin k holds blocks recorded as 16 << k bytes
constexpr size_t kCacheLimit = 0x80000;

// Written over the first bytes of a block while it sits in a cache.
struct cached_block {
    uint32_t stamp;       // the cache's free clock when the block came in
    uint32_t bin_size;
    cached_block* older;
    cached_block* newer;
};

constexpr size_t kSmallest = sizeof(cached_block);

struct thread_cache {
    int heap_index;
    uintptr_t owner_thread;
    uint32_t lookups;
    uint32_t free_clock;
    uint32_t hits;
    size_t cached_bytes;
    cached_block* bins[kBins][2];   // newest, oldest
    nedpool* pool;                  // so the thread-exit hook can give the cache back
    int slot;
};

uintptr_t self_id() { return static_cast<uintptr_t>(pthread_self()); }

unsigned bin_of(size_t size) { return static_cast<unsigned>(63 - __builtin_clzl(size >> 4)); }

size_t max_cached_usable() { return ned_max_cached_request + mspace_chunk_overhead(); }

}  // namespace

struct nedpool_t {
    spin_lock lock;
    void* user_value;
    int max_heaps;                    // 0: not set up
    thread_cache* caches[kMaxCaches];
    pthread_key_t cache_key;
    mspace heaps[kHeapSlots];
};

namespace {

constinit nedpool_t syspool{};
constinit spin_lock syspool_setup{};

mspace heap_at(nedpool* p, int i) { return __atomic_load_n(&p->heaps[i], __ATOMIC_ACQUIRE); }

// Thread slot value: 0 unknown, negative -(heap + 1) without a cache, else the thread's cache.
intptr_t slot_value(nedpool* p) { return reinterpret_cast<intptr_t>(pthread_getspecific(p->cache_key)); }
void set_slot_value(nedpool* p, intptr_t v) { pthread_setspecific(p->cache_key, reinterpret_cast<void*>(v)); }

void remove_cache_entries(thread_cache* tc, uint32_t age) {
    if (tc->cached_bytes == 0) return;
    for (auto& bin : tc->bins) {
        while (bin[1] != nullptr && tc->free_clock - bin[1]->stamp >= age) {
            cached_block* blk = bin[1];
            cached_block* newer = blk->newer;
            bin[1] = newer;
            if (newer != nullptr)
                newer->older = nullptr;
            else
                bin[0] = nullptr;
            if (blk->bin_size == 0 || blk->bin_size > mspace_block_usable(blk) || tc->cached_bytes < blk->bin_size)
                std::abort();
            tc->cached_bytes -= blk->bin_size;
            mspace_free(nullptr, blk);
        }
    }
}

// Gives back the least recently cached blocks until the cache is under its limit.
void release_free_in_cache(thread_cache* tc) {
    for (uint32_t age = kCacheLimit / ned_max_cached_request; age != 0; age >>= 1) {
        remove_cache_entries(tc, age);
        if (tc->cached_bytes < kCacheLimit) break;
    }
}

// Returns every cached block and the record itself; the caller holds the pool's lock.
void discard_cache(nedpool* p, thread_cache* tc) {
    ++tc->free_clock;
    remove_cache_entries(tc, 0);
    if (tc->cached_bytes != 0) std::abort();
    tc->heap_index = -1;
    tc->owner_thread = 0;
    p->caches[tc->slot] = nullptr;
    mspace_free(nullptr, tc);
}

// A thread that ends gives its cache back, so short-lived threads neither leak caches nor use up slots.
void thread_exit_release(void* v) {
    if (reinterpret_cast<intptr_t>(v) <= 0) return;
    thread_cache* tc = static_cast<thread_cache*>(v);
    nedpool* p = tc->pool;
    spin_acquire(p->lock);
    discard_cache(p, tc);
    spin_release(p->lock);
}

void destroy_pool_contents(nedpool* p) {
    for (thread_cache*& tc : p->caches)
        if (tc != nullptr) discard_cache(p, tc);
    for (int i = 0; i < kHeapSlots; ++i) {
        mspace h = heap_at(p, i);
        if (h == nullptr) break;
        if (!mspace_key_ok(h)) std::abort();
        destroy_mspace(h);
        __atomic_store_n(&p->heaps[i], nullptr, __ATOMIC_RELEASE);
    }
}

bool init_pool(nedpool* p, size_t capacity, int threads) {
    new (&p->lock) spin_lock();
    spin_acquire(p->lock);
    const int max_heaps = threads >= 1 && threads <= kMaxHeaps ? threads : kMaxHeaps;
    bool key_made = false;
    if (pthread_key_create(&p->cache_key, thread_exit_release) == 0) {
        key_made = true;
        if (mspace h = create_mspace(capacity, 1)) {
            mspace_owner_pool(h) = p;
            __atomic_store_n(&p->heaps[0], h, __ATOMIC_RELEASE);
            __atomic_store_n(&p->max_heaps, max_heaps, __ATOMIC_RELEASE);
            spin_release(p->lock);
            return true;
        }
    }
    if (p == &syspool) std::abort();
    destroy_pool_contents(p);
    if (key_made) pthread_key_delete(p->cache_key);
    spin_release(p->lock);
    return false;
}

nedpool* pool_or_sys(nedpool* p) {
    if (p != nullptr) return p;
    if (__atomic_load_n(&syspool.max_heaps, __ATOMIC_ACQUIRE) == 0) {
        spin_acquire(syspool_setup);
        if (syspool.max_heaps == 0) init_pool(&syspool, 0, -1);
        spin_release(syspool_setup);
    }
    return &syspool;
}

thread_cache* alloc_cache(nedpool* p) {
    spin_acquire(p->lock);
    int n = 0;
    while (n < kMaxCaches && p->caches[n] != nullptr) ++n;
    if (n == kMaxCaches) {
        spin_release(p->lock);
        return nullptr;
    }
    mspace h0 = heap_at(p, 0);
    if (!mspace_key_ok(h0)) std::abort();
    thread_cache* tc = static_cast<thread_cache*>(mspace_calloc(h0, 1, sizeof(thread_cache)));
    if (tc == nullptr) {
        spin_release(p->lock);
        return nullptr;
    }
    p->caches[n] = tc;
    tc->owner_thread = self_id();
    tc->pool = p;
    tc->slot = n;
    spin_release(p->lock);
    set_slot_value(p, reinterpret_cast<intptr_t>(tc));
    return tc;
}

// The calling thread's cache (or null) and the heap it uses; raises *size to the smallest request.
thread_cache* get_thread_cache(nedpool* p, int& heap_index, size_t* size) {
    if (size != nullptr && *size < kSmallest) *size = kSmallest;
    const intptr_t v = slot_value(p);
    thread_cache* tc = nullptr;
    if (v > 0) {
        tc = reinterpret_cast<thread_cache*>(v);
        heap_index = tc->heap_index;
    } else if (v < 0) {
        heap_index = static_cast<int>(-v - 1);
    } else {
        heap_index = 0;
        tc = alloc_cache(p);
        if (tc == nullptr) set_slot_value(p, -1);
    }
    if (tc != nullptr && tc->owner_thread != self_id()) std::abort();
    return tc;
}

void adopt_heap(nedpool* p, thread_cache* tc, int n) {
    if (tc != nullptr)
        tc->heap_index = n;
    else
        set_slot_value(p, -(n + 1));
}

// A heap for this thread with its lock held: its usual one if free, else any free one, else a new
// one while the pool may grow, else its usual one after waiting.
mspace get_locked_heap(nedpool* p, thread_cache* tc, int heap_index, size_t size) {
    mspace m = heap_at(p, heap_index);
    if (m == nullptr) std::abort();
    if (spin_try_acquire(mspace_lock(m))) return m;

    int n;
    for (n = heap_index + 1; n < kHeapSlots && (m = heap_at(p, n)) != nullptr; ++n) {
        if (spin_try_acquire(mspace_lock(m))) {
            adopt_heap(p, tc, n);
            return m;
        }
    }
    const int first_free = n;
    for (n = 0; n < heap_index && (m = heap_at(p, n)) != nullptr; ++n) {
        if (spin_try_acquire(mspace_lock(m))) {
            adopt_heap(p, tc, n);
            return m;
        }
    }
    if (first_free < p->max_heaps) {
        if (mspace fresh = create_mspace(size, 1)) {
            spin_acquire(p->lock);
            for (n = first_free; n < p->max_heaps && heap_at(p, n) != nullptr; ++n) {
            }
            if (n < p->max_heaps) {
                spin_acquire(mspace_lock(fresh));
                __atomic_store_n(&p->heaps[n], fresh, __ATOMIC_RELEASE);
                spin_release(p->lock);
                adopt_heap(p, tc, n);
                return fresh;
            }
            spin_release(p->lock);
            destroy_mspace(fresh);
        }
    }
    m = heap_at(p, heap_index);
    spin_acquire(mspace_lock(m));
    return m;
}

void release_heap(mspace m) { spin_release(mspace_lock(m)); }

void* threadcache_malloc(thread_cache* tc, size_t* size) {
    unsigned idx = bin_of(*size);
    size_t best = size_t(16) << idx;
    if (*size > best) {
        ++idx;
        best <<= 1;
    }
    *size = best;   // a miss asks the heap for the rounded size so the block can come back here
    cached_block* blk = tc->bins[idx][0];
    if ((blk == nullptr || blk->bin_size < best) && idx < kBins - 1) {
        blk = tc->bins[idx + 1][0];
        if (blk != nullptr) ++idx;
    }
    ++tc->lookups;
    if (blk == nullptr) return nullptr;

    cached_block* older = blk->older;
    tc->bins[idx][0] = older;
    if (older != nullptr)
        older->newer = nullptr;
    else
        tc->bins[idx][1] = nullptr;
    ++tc->hits;
    const size_t u = mspace_block_usable(blk);
    if (u < blk->bin_size || blk->bin_size < best || blk == tc->bins[idx][0] || blk == tc->bins[idx][1] ||
        u < kSmallest || u > max_cached_usable() || tc->cached_bytes < blk->bin_size)
        std::abort();
    tc->cached_bytes -= blk->bin_size;
    return blk;
}

void threadcache_free(thread_cache* tc, void* mem, size_t u) {
    if (u < kSmallest || u > max_cached_usable()) std::abort();
    const unsigned idx = bin_of(u);
    if (idx >= kBins) std::abort();
    cached_block* blk = static_cast<cached_block*>(mem);
    cached_block* newest = tc->bins[idx][0];
    if (newest == blk) {
        std::fprintf(stderr, "Attempt to free already freed memory block %p - aborting!\n", mem);
        std::abort();
    }
    blk->stamp = ++tc->free_clock;
    blk->bin_size = static_cast<uint32_t>(16u << idx);
    blk->older = newest;
    blk->newer = nullptr;
    if (newest != nullptr) {
        if (newest->bin_size != blk->bin_size) std::abort();
        newest->newer = blk;
    } else {
        tc->bins[idx][1] = blk;
    }
    tc->bins[idx][0] = blk;
    tc->cached_bytes += blk->bin_size;
    if (tc->cached_bytes > kCacheLimit - 1) release_free_in_cache(tc);
}

bool cacheable(size_t u) { return u >= kSmallest && u <= max_cached_usable(); }

template <class Fn>
void for_each_heap(nedpool* p, Fn fn) {
    for (int i = 0; i < kHeapSlots; ++i) {
        mspace h = heap_at(p, i);
        if (h == nullptr) break;
        if (!mspace_key_ok(h)) std::abort();
        fn(h);
    }
}

}  // namespace

size_t ned_smallest_request() { return kSmallest; }

void* nedpmalloc(nedpool* p, size_t size) {
    p = pool_or_sys(p);
    int heap_index;
    thread_cache* tc = get_thread_cache(p, heap_index, &size);
    if (tc != nullptr && size <= ned_max_cached_request) {
        if (void* ret = threadcache_malloc(tc, &size)) return ret;
    }
    mspace m = get_locked_heap(p, tc, heap_index, size);
    void* ret = mspace_malloc(m, size);
    release_heap(m);
    return ret;
}

void* nedpcalloc(nedpool* p, size_t count, size_t elem_size) {
    size_t bytes = 0;
    if (count != 0 && __builtin_mul_overflow(count, elem_size, &bytes)) {   // count 0 is simply 0 bytes
        errno = ENOMEM;
        return nullptr;
    }
    p = pool_or_sys(p);
    int heap_index;
    thread_cache* tc = get_thread_cache(p, heap_index, &bytes);
    if (tc != nullptr && bytes <= ned_max_cached_request) {
        if (void* ret = threadcache_malloc(tc, &bytes)) {
            std::memset(ret, 0, bytes);
            return ret;
        }
    }
    mspace m = get_locked_heap(p, tc, heap_index, bytes);
    void* ret = mspace_calloc(m, 1, bytes);
    release_heap(m);
    return ret;
}

void* nedprealloc(nedpool* p, void* mem, size_t size) {
    if (mem == nullptr) return nedpmalloc(p, size);
    p = pool_or_sys(p);
    int heap_index;
    thread_cache* tc = get_thread_cache(p, heap_index, &size);
    if (!mspace_block_in_use(mem)) std::abort();
    const size_t u = mspace_block_usable(mem);
    if (u == 0) std::abort();
    if (tc != nullptr && size <= ned_max_cached_request) {
        if (void* ret = threadcache_malloc(tc, &size)) {
            std::memcpy(ret, mem, size < u ? size : u);
            if (u <= ned_max_cached_request && cacheable(u))
                threadcache_free(tc, mem, u);
            else
                mspace_free(nullptr, mem);
            return ret;
        }
    }
    // The block is resized in its own heap, which mspace_realloc locks. Keeping this thread's heap
    // locked meanwhile would deadlock against a thread resizing one of our blocks the other way.
    mspace m = get_locked_heap(p, tc, heap_index, size);
    release_heap(m);
    return mspace_realloc(m, mem, size);
}

void nedpfree(nedpool* p, void* mem) {
    if (mem == nullptr) return;
    p = pool_or_sys(p);
    int heap_index;
    thread_cache* tc = get_thread_cache(p, heap_index, nullptr);
    if (!mspace_block_in_use(mem)) std::abort();
    const size_t u = mspace_block_usable(mem);
    if (u == 0) std::abort();
    if (tc != nullptr && cacheable(u))
        threadcache_free(tc, mem, u);
    else
        mspace_free(nullptr, mem);
}

void* nedpmemalign(nedpool* p, size_t alignment, size_t bytes) {
    p = pool_or_sys(p);
    int heap_index;
    thread_cache* tc = get_thread_cache(p, heap_index, &bytes);
    mspace m = get_locked_heap(p, tc, heap_index, bytes);
    void* ret = mspace_memalign(m, alignment, bytes);
    release_heap(m);
    return ret;
}

void** nedpindependent_calloc(nedpool* p, size_t count, size_t elem_size, void** chunks) {
    p = pool_or_sys(p);
    int heap_index;
    thread_cache* tc = get_thread_cache(p, heap_index, &elem_size);
    size_t hint;
    if (__builtin_mul_overflow(count, elem_size, &hint)) hint = ~size_t(0);
    mspace m = get_locked_heap(p, tc, heap_index, hint);
    void** ret = mspace_independent_calloc(m, count, elem_size, chunks);
    release_heap(m);
    return ret;
}

void** nedpindependent_comalloc(nedpool* p, size_t count, size_t* sizes, void** chunks) {
    p = pool_or_sys(p);
    int heap_index;
    thread_cache* tc = get_thread_cache(p, heap_index, nullptr);
    mspace m = get_locked_heap(p, tc, heap_index, 0);
    // Sizes below the smallest request count as the smallest, in a copy the caller never sees.
    size_t local[64];
    size_t* adjusted = local;
    if (count > 64) {
        size_t bytes;
        if (__builtin_mul_overflow(count, sizeof(size_t), &bytes)) {
            release_heap(m);
            errno = ENOMEM;
            return nullptr;
        }
        adjusted = static_cast<size_t*>(mspace_malloc(m, bytes));
        if (adjusted == nullptr) {
            release_heap(m);
            return nullptr;
        }
    }
    for (size_t i = 0; i < count; ++i) adjusted[i] = sizes[i] < kSmallest ? kSmallest : sizes[i];
    void** ret = mspace_independent_comalloc(m, count, adjusted, chunks);
    if (adjusted != local) mspace_free(m, adjusted);
    release_heap(m);
    return ret;
}

mallinfo nedpmallinfo(nedpool* p) {
    p = pool_or_sys(p);
    mallinfo ret;
    for_each_heap(p, [&](mspace h) {
        const mallinfo t = mspace_mallinfo(h);
        ret.arena += t.arena;
        ret.ordblks += t.ordblks;
        ret.hblkhd += t.hblkhd;
        ret.usmblks += t.usmblks;
        ret.uordblks += t.uordblks;
        ret.fordblks += t.fordblks;
        ret.keepcost += t.keepcost;
    });
    return ret;
}

void nedpmalloc_stats(nedpool* p) {
    for_each_heap(pool_or_sys(p), [](mspace h) { mspace_malloc_stats(h); });
}

int nedpmalloc_trim(nedpool* p, size_t pad) {
    int ret = 0;
    for_each_heap(pool_or_sys(p), [&](mspace h) { ret += mspace_trim(h, pad); });
    return ret;
}

size_t nedpmalloc_footprint(nedpool* p) {
    size_t ret = 0;
    for_each_heap(pool_or_sys(p), [&](mspace h) { ret += mspace_footprint(h); });
    return ret;
}

int nedpmallopt(nedpool*, int param, int value) { return mspace_mallopt(param, value); }

void nedpsetvalue(nedpool* p, void* v) { pool_or_sys(p)->user_value = v; }

void* nedgetvalue(nedpool** pool, void* mem) {
    nedpool* p = static_cast<nedpool*>(mspace_block_owner_pool(mem));
    if (p == nullptr) return nullptr;
    if (pool != nullptr) *pool = p;
    return p->user_value;
}

size_t nedblksize(void* mem) {
    if (mem == nullptr) return 0;
    if (!mspace_block_in_use(mem)) std::abort();
    return mspace_block_usable(mem);
}

nedpool* nedcreatepool(size_t capacity, int threads) {
    void* raw = nedpcalloc(nullptr, 1, sizeof(nedpool_t));
    if (raw == nullptr) return nullptr;
    nedpool* p = new (raw) nedpool_t{};
    if (!init_pool(p, capacity, threads)) {
        nedpfree(nullptr, raw);
        return nullptr;
    }
    return p;
}

void neddestroypool(nedpool* p) {
    spin_acquire(p->lock);
    destroy_pool_contents(p);
    spin_release(p->lock);
    pthread_key_delete(p->cache_key);
    nedpfree(nullptr, p);
}

void neddisablethreadcache(nedpool* p) {
    p = pool_or_sys(p);
    const intptr_t v = slot_value(p);
    if (v == 0) {
        set_slot_value(p, -1);
        return;
    }
    if (v < 0) return;
    thread_cache* tc = reinterpret_cast<thread_cache*>(v);
    std::printf("Threadcache utilisation: %lf%% in cache with %lf%% lost to other threads\n",
                100.0 * tc->hits / tc->lookups, 100.0 * (static_cast<double>(tc->lookups) - tc->free_clock) / tc->lookups);
    set_slot_value(p, -(tc->heap_index + 1));
    spin_acquire(p->lock);
    discard_cache(p, tc);
    spin_release(p->lock);
}

void* nedmalloc(size_t size) { return nedpmalloc(nullptr, size); }
void* nedcalloc(size_t count, size_t elem_size) { return nedpcalloc(nullptr, count, elem_size); }
void* nedrealloc(void* mem, size_t size) { return nedprealloc(nullptr, mem, size); }
void nedfree(void* mem) { nedpfree(nullptr, mem); }
void* nedmemalign(size_t alignment, size_t bytes) { return nedpmemalign(nullptr, alignment, bytes); }
void** nedindependent_calloc(size_t count, size_t elem_size, void** chunks) {
    return nedpindependent_calloc(nullptr, count, elem_size, chunks);
}
void** nedindependent_comalloc(size_t count, size_t* sizes, void** chunks) {
    return nedpindependent_comalloc(nullptr, count, sizes, chunks);
}
mallinfo nedmallinfo() { return nedpmallinfo(nullptr); }
void nedmalloc_stats() { nedpmalloc_stats(nullptr); }
int nedmalloc_trim(size_t pad) { return nedpmalloc_trim(nullptr, pad); }
size_t nedmalloc_footprint() { return nedpmalloc_footprint(nullptr); }
int nedmallopt(int param, int value) { return mspace_mallopt(param, value); }
void nedsetvalue(void* v) { nedpsetvalue(nullptr, v); }

ned_pool_view ned_pool_view_of(nedpool* p) {
    p = pool_or_sys(p);
    ned_pool_view v{p->max_heaps, 0, 0};
    for_each_heap(p, [&](mspace) { ++v.heaps; });
    spin_acquire(p->lock);
    for (thread_cache* tc : p->caches)
        if (tc != nullptr) ++v.caches;
    spin_release(p->lock);
    return v;
}

ned_cache_view ned_thread_cache_view(nedpool* p) {
    p = pool_or_sys(p);
    ned_cache_view v{};
    const intptr_t s = slot_value(p);
    if (s <= 0) {
        v.heap_index = s < 0 ? static_cast<int>(-s - 1) : 0;
        return v;
    }
    const thread_cache* tc = reinterpret_cast<const thread_cache*>(s);
    v.has_cache = true;
    v.heap_index = tc->heap_index;
    v.lookups = tc->lookups;
    v.free_clock = tc->free_clock;
    v.hits = tc->hits;
    v.cached_bytes = tc->cached_bytes;
    for (unsigned i = 0; i < kBins; ++i)
        for (const cached_block* b = tc->bins[i][0]; b != nullptr; b = b->older) ++v.bin_count[i];
    return v;
}
