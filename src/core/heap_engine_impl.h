#pragma once
// The heap's algorithms, shared by the process-wide heap (Ms = false) and mspaces (Ms = true).
// Internal to heap_engine.cpp and mspace.cpp.
//
// Chunk layout: word 0 is the previous chunk's size when that one is free (or, for mspaces, the
// footer of the previous in-use chunk), word 1 is this chunk's size with its in-use bits, and the
// payload follows. Addresses are handled as integers so that bad tags never make pointer
// arithmetic undefined before the checks catch them.
#include <errno.h>
#include <sched.h>
#include <sys/mman.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

#include "core/heap_engine.h"

namespace heapeng {

constexpr size_t W = sizeof(size_t);
constexpr size_t kAlign = 16;
constexpr size_t kAlignMask = kAlign - 1;
constexpr size_t kMinChunk = 4 * W;                 // header words plus two free-list links
constexpr size_t kPinuse = 1, kCinuse = 2, kInuse = 3, kFlagBits = 7, kFencepost = 7;
constexpr size_t kMmappedBit = 1;                   // in prev_word of a directly mapped chunk
constexpr size_t kSmallShift = 3, kTreeShift = 8, kMinLarge = size_t(1) << kTreeShift;
constexpr size_t kMaxSmallSize = kMinLarge - 1;
constexpr size_t kMaxRequest = (~kMinChunk + 1) << 2;
constexpr size_t kHalfMax = ~size_t(0) >> 1;
constexpr size_t kMmapFootPad = 4 * W;
constexpr size_t kMaxReleaseCheck = 4095;
constexpr unsigned kNBins = 32;
constexpr size_t kUseMmap = 1, kUseLock = 2, kNonContig = 4;
constexpr size_t kSegMapped = 1, kSegExtern = 8;
constexpr size_t kTopBit = W * 8 - 1;

// A chunk's boundary words. A thread reads its own block's header without the heap lock (to find
// its size and heap) while a lock holder freeing the neighbour may rewrite the pinuse bit in the same
// word. Relaxed atomic access keeps that well defined; it compiles to plain loads and stores.
struct heap_word {
    size_t raw;
    operator size_t() const noexcept { return __atomic_load_n(&raw, __ATOMIC_RELAXED); }
    heap_word& operator=(size_t v) noexcept {
        __atomic_store_n(&raw, v, __ATOMIC_RELAXED);
        return *this;
    }
    heap_word& operator|=(size_t v) noexcept { return *this = size_t(*this) | v; }
    heap_word& operator&=(size_t v) noexcept { return *this = size_t(*this) & v; }
};

struct chunk {
    heap_word prev_word;
    heap_word size_word;
    chunk* next_free;
    chunk* prev_free;
};

struct tchunk {
    heap_word prev_word;
    heap_word size_word;
    tchunk* next_free;
    tchunk* prev_free;
    tchunk* child[2];
    tchunk* parent;
    size_t tree_index;
};

struct segment {
    uintptr_t base;
    size_t size;
    segment* next;
    size_t segment_flags;
};

struct malloc_state {
    uint32_t small_map;
    uint32_t tree_map;
    size_t victim_size;
    size_t top_size;
    uintptr_t least_address;
    chunk* victim;
    chunk* top;
    size_t trim_limit;
    size_t release_countdown;
    size_t heap_key;
    chunk* small_bins[(kNBins + 1) * 2];
    tchunk* tree_bins[kNBins];
    size_t footprint;
    size_t max_footprint;
    size_t heap_flags;
    spin_lock lock;
    segment first_segment;
    void* owner_pool;
};

struct malloc_params {
    size_t key;
    size_t page_size;
    size_t granularity;
    size_t mmap_threshold;
    size_t trim_threshold;
    size_t default_flags;
};

[[noreturn]] inline void corruption() { std::abort(); }
[[noreturn]] inline void usage_error() { std::abort(); }

inline uintptr_t addr(const void* p) { return reinterpret_cast<uintptr_t>(p); }
inline chunk* at(uintptr_t a) { return reinterpret_cast<chunk*>(a); }
inline chunk* plus(const void* p, size_t s) { return at(addr(p) + s); }
inline chunk* minus(const void* p, size_t s) { return at(addr(p) - s); }
inline void* chunk2mem(const void* p) { return reinterpret_cast<void*>(addr(p) + 2 * W); }
inline chunk* mem2chunk(const void* m) { return at(addr(m) - 2 * W); }
inline size_t align_offset(uintptr_t a) { return (a & kAlignMask) == 0 ? 0 : (kAlign - (a & kAlignMask)) & kAlignMask; }
inline chunk* align_as_chunk(uintptr_t base) { return at(base + align_offset(base + 2 * W)); }

inline size_t chunksize(const chunk* p) { return p->size_word & ~kFlagBits; }
inline bool cinuse(const chunk* p) { return (p->size_word & kCinuse) != 0; }
inline bool pinuse(const chunk* p) { return (p->size_word & kPinuse) != 0; }
inline chunk* next_chunk(const chunk* p) { return plus(p, chunksize(p)); }
inline bool is_mmapped(const chunk* p) { return !pinuse(p) && (p->prev_word & kMmappedBit) != 0; }
inline bool is_small(size_t s) { return (s >> kSmallShift) < kNBins; }
inline unsigned small_index(size_t s) { return static_cast<unsigned>(s >> kSmallShift); }
inline size_t small_index2size(unsigned i) { return size_t(i) << kSmallShift; }
inline uint32_t idx2bit(unsigned i) { return uint32_t(1) << i; }
inline uint32_t left_bits(uint32_t x) { return (x << 1) | (~(x << 1) + 1); }
inline uint32_t least_bit(uint32_t x) { return x & (~x + 1); }
inline unsigned bit2idx(uint32_t x) { return static_cast<unsigned>(__builtin_ctz(x)); }

inline unsigned tree_index(size_t s) {
    const size_t x = s >> kTreeShift;
    if (x == 0) return 0;
    if (x > 0xFFFF) return kNBins - 1;
    const unsigned k = static_cast<unsigned>(W * 8 - 1 - __builtin_clzl(x));
    return (k << 1) + static_cast<unsigned>((s >> (k + (kTreeShift - 1))) & 1);
}
inline unsigned tree_shift(unsigned i) {
    return i == kNBins - 1 ? 0 : static_cast<unsigned>(kTopBit - ((i >> 1) + kTreeShift - 2));
}
inline tchunk* leftmost_child(const tchunk* t) { return t->child[0] != nullptr ? t->child[0] : t->child[1]; }

inline uintptr_t this_thread_id() { return static_cast<uintptr_t>(pthread_self()); }

inline void* map_memory(size_t size) {
    void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
}
inline int unmap_memory(uintptr_t base, size_t size) { return ::munmap(reinterpret_cast<void*>(base), size); }

template <bool Ms>
struct engine {
    static constexpr size_t kOverhead = Ms ? 2 * W : W;   // size word, plus the footer in mspaces
    static constexpr size_t kMmapOverhead = 2 * W;
    static constexpr size_t kMinRequest = kMinChunk - kOverhead - 1;
    static constexpr size_t kMaxSmallRequest = kMaxSmallSize - kAlignMask - kOverhead;
    static constexpr size_t pad_request(size_t n) { return (n + kOverhead + kAlignMask) & ~kAlignMask; }
    static constexpr size_t request2size(size_t n) { return n < kMinRequest ? kMinChunk : pad_request(n); }
    static constexpr size_t kSegChunk = pad_request(sizeof(segment));
    static constexpr size_t kTopFoot = kSegChunk + kMinChunk;   // chunk2mem(0) is already aligned
    static constexpr size_t kStateChunk = pad_request(sizeof(malloc_state));

    static malloc_params mparams;
    static spin_lock magic_init_mutex;

    // ---- parameters ----------------------------------------------------------------------
    static bool params_ready() { return __atomic_load_n(&mparams.page_size, __ATOMIC_ACQUIRE) != 0; }

    static int init_mparams(malloc_state* global) {
        if (params_ready()) return 0;
        const size_t seconds = static_cast<size_t>(std::time(nullptr));
        spin_acquire(magic_init_mutex);
        if (mparams.page_size == 0) {
            mparams.mmap_threshold = size_t(256) * 1024;
            mparams.trim_threshold = size_t(2) * 1024 * 1024;
            mparams.default_flags = Ms ? (kUseMmap | kUseLock | kNonContig) : kUseMmap;
            size_t page, gran;
            if (Ms) {
                if (mparams.key == 0) mparams.key = ((seconds ^ size_t(0x55555555)) | size_t(8)) & ~size_t(7);
                page = 4096;
                gran = size_t(1) << 20;
            } else {
                if (global != nullptr) global->heap_flags = mparams.default_flags;
                const long p = ::sysconf(_SC_PAGESIZE);
                page = p > 0 ? static_cast<size_t>(p) : 4096;
                if ((page & (page - 1)) != 0) std::abort();
                gran = page;
            }
            mparams.granularity = gran;
            __atomic_store_n(&mparams.page_size, page, __ATOMIC_RELEASE);
        }
        spin_release(magic_init_mutex);
        return 0;
    }

    static size_t granularity_align(size_t s) {
        return (s + mparams.granularity) & ~(mparams.granularity - 1);
    }
    static size_t page_align(size_t s) { return (s + mparams.page_size - 1) & ~(mparams.page_size - 1); }

    // ---- footers and tags ----------------------------------------------------------------
    static void mark_inuse_foot(malloc_state* m, chunk* p, size_t s) {
        if (Ms) plus(p, s)->prev_word = addr(m) ^ mparams.key;
    }
    static malloc_state* heap_of(const chunk* p) {
        return reinterpret_cast<malloc_state*>(next_chunk(p)->prev_word ^ mparams.key);
    }
    static void set_inuse(malloc_state* m, chunk* p, size_t s) {
        p->size_word = (p->size_word & kPinuse) | s | kCinuse;
        plus(p, s)->size_word |= kPinuse;
        mark_inuse_foot(m, p, s);
    }
    static void set_inuse_and_pinuse(malloc_state* m, chunk* p, size_t s) {
        p->size_word = s | kPinuse | kCinuse;
        plus(p, s)->size_word |= kPinuse;
        mark_inuse_foot(m, p, s);
    }
    static void set_size_and_pinuse_of_inuse_chunk(malloc_state* m, chunk* p, size_t s) {
        p->size_word = s | kPinuse | kCinuse;
        mark_inuse_foot(m, p, s);
    }
    static void set_size_and_pinuse_of_free_chunk(chunk* p, size_t s) {
        p->size_word = s | kPinuse;
        plus(p, s)->prev_word = s;
    }
    static void set_free_with_pinuse(chunk* p, size_t s, chunk* n) {
        n->size_word &= ~kPinuse;
        set_size_and_pinuse_of_free_chunk(p, s);
    }

    static bool ok_address(const malloc_state* m, const void* a) { return addr(a) >= m->least_address; }
    static bool ok_next(const void* p, const void* n) { return addr(p) < addr(n); }
    static void check(bool cond) {
        if (Ms && !cond) std::abort();
    }

    static void lock(malloc_state* m) {
        if (Ms && (m->heap_flags & kUseLock)) spin_acquire(m->lock);
    }
    static void unlock(malloc_state* m) {
        if (Ms && (m->heap_flags & kUseLock)) spin_release(m->lock);
    }
    static bool key_ok(const malloc_state* m) { return !Ms || m->heap_key == mparams.key; }

    // ---- bins ----------------------------------------------------------------------------
    static chunk* smallbin_at(malloc_state* m, unsigned i) { return minus(&m->small_bins[i << 1], 2 * W); }
    static tchunk** treebin_at(malloc_state* m, unsigned i) { return &m->tree_bins[i]; }

    static void init_bins(malloc_state* m) {
        for (unsigned i = 0; i < kNBins; ++i) {
            chunk* b = smallbin_at(m, i);
            b->next_free = b->prev_free = b;
        }
    }

    static void insert_small_chunk(malloc_state* m, chunk* p, size_t s) {
        const unsigned i = small_index(s);
        chunk* b = smallbin_at(m, i);
        chunk* f = b;
        check(s >= kMinChunk);
        if ((m->small_map & idx2bit(i)) == 0) {
            m->small_map |= idx2bit(i);
        } else if (ok_address(m, b->next_free)) {
            f = b->next_free;
        } else {
            corruption();
        }
        b->next_free = p;
        f->prev_free = p;
        p->next_free = f;
        p->prev_free = b;
    }

    static void unlink_small_chunk(malloc_state* m, chunk* p, size_t s) {
        chunk* f = p->next_free;
        chunk* b = p->prev_free;
        const unsigned i = small_index(s);
        chunk* bin = smallbin_at(m, i);
        check(p != b && p != f && chunksize(p) == small_index2size(i));
        if (f == b) {
            m->small_map &= ~idx2bit(i);
        } else if ((f == bin || ok_address(m, f)) && (b == bin || ok_address(m, b))) {
            f->prev_free = b;
            b->next_free = f;
        } else {
            corruption();
        }
    }

    static void unlink_first_small_chunk(malloc_state* m, chunk* b, chunk* p, unsigned i) {
        chunk* f = p->next_free;
        check(p != b && p != f && chunksize(p) == small_index2size(i));
        if (b == f) {
            m->small_map &= ~idx2bit(i);
        } else if (ok_address(m, f)) {
            b->next_free = f;
            f->prev_free = b;
        } else {
            corruption();
        }
    }

    // The previous victim goes into its small bin; p of size s takes its place.
    static void replace_victim(malloc_state* m, chunk* p, size_t s) {
        const size_t dvs = m->victim_size;
        if (dvs != 0) {
            check(is_small(dvs) && dvs >= kMinChunk);
            insert_small_chunk(m, m->victim, dvs);
        }
        m->victim_size = s;
        m->victim = p;
    }

    static void insert_large_chunk(malloc_state* m, tchunk* x, size_t s) {
        const unsigned i = tree_index(s);
        tchunk** h = treebin_at(m, i);
        x->tree_index = i;
        x->child[0] = x->child[1] = nullptr;
        if ((m->tree_map & idx2bit(i)) == 0) {
            m->tree_map |= idx2bit(i);
            *h = x;
            x->parent = reinterpret_cast<tchunk*>(h);
            x->next_free = x->prev_free = x;
            return;
        }
        tchunk* t = *h;
        size_t k = s << tree_shift(i);
        for (;;) {
            if (chunksize(reinterpret_cast<chunk*>(t)) != s) {
                tchunk** c = &t->child[(k >> kTopBit) & 1];
                k <<= 1;
                if (*c != nullptr) {
                    t = *c;
                } else if (ok_address(m, c)) {
                    *c = x;
                    x->parent = t;
                    x->next_free = x->prev_free = x;
                    return;
                } else {
                    corruption();
                }
            } else {
                tchunk* f = t->next_free;
                if (ok_address(m, t) && ok_address(m, f)) {
                    t->next_free = f->prev_free = x;
                    x->next_free = f;
                    x->prev_free = t;
                    x->parent = nullptr;
                    return;
                }
                corruption();
            }
        }
    }

    static void unlink_large_chunk(malloc_state* m, tchunk* x) {
        tchunk* xp = x->parent;
        tchunk* r;
        if (x->prev_free != x) {
            tchunk* f = x->next_free;
            r = x->prev_free;
            if (!ok_address(m, f)) corruption();
            f->prev_free = r;
            r->next_free = f;
        } else {
            tchunk** rp = &x->child[1];
            if ((r = *rp) != nullptr || (r = *(rp = &x->child[0])) != nullptr) {
                tchunk** cp;
                while (*(cp = &r->child[1]) != nullptr || *(cp = &r->child[0]) != nullptr) r = *(rp = cp);
                if (!ok_address(m, rp)) corruption();
                *rp = nullptr;
            }
        }
        if (xp == nullptr) return;
        tchunk** h = treebin_at(m, static_cast<unsigned>(x->tree_index));
        if (x == *h) {
            if ((*h = r) == nullptr) m->tree_map &= ~idx2bit(static_cast<unsigned>(x->tree_index));
        } else if (ok_address(m, xp)) {
            if (xp->child[0] == x)
                xp->child[0] = r;
            else
                xp->child[1] = r;
        } else {
            corruption();
        }
        if (r == nullptr) return;
        if (!ok_address(m, r)) corruption();
        r->parent = xp;
        if (tchunk* c0 = x->child[0]; c0 != nullptr) {
            if (!ok_address(m, c0)) corruption();
            r->child[0] = c0;
            c0->parent = r;
        }
        if (tchunk* c1 = x->child[1]; c1 != nullptr) {
            if (!ok_address(m, c1)) corruption();
            r->child[1] = c1;
            c1->parent = r;
        }
    }

    static void insert_chunk(malloc_state* m, chunk* p, size_t s) {
        if (is_small(s))
            insert_small_chunk(m, p, s);
        else
            insert_large_chunk(m, reinterpret_cast<tchunk*>(p), s);
    }
    static void unlink_chunk(malloc_state* m, chunk* p, size_t s) {
        if (is_small(s))
            unlink_small_chunk(m, p, s);
        else
            unlink_large_chunk(m, reinterpret_cast<tchunk*>(p));
    }

    // ---- segments and top ----------------------------------------------------------------
    static bool segment_holds(const segment* sp, uintptr_t a) { return a >= sp->base && a < sp->base + sp->size; }
    static segment* segment_holding(malloc_state* m, uintptr_t a) {
        for (segment* sp = &m->first_segment;; sp = sp->next) {
            if (sp == nullptr) return nullptr;
            if (segment_holds(sp, a)) return sp;
        }
    }
    static bool has_segment_link(malloc_state* m, const segment* ss) {
        for (segment* sp = &m->first_segment; sp != nullptr; sp = sp->next)
            if (segment_holds(ss, addr(sp))) return true;
        return false;
    }

    static void init_top(malloc_state* m, chunk* p, size_t psize) {
        const size_t offset = align_offset(addr(chunk2mem(p)));
        p = plus(p, offset);
        psize -= offset;
        m->top = p;
        m->top_size = psize;
        p->size_word = psize | kPinuse;
        plus(p, psize)->size_word = kTopFoot;
        m->trim_limit = mparams.trim_threshold;
    }

    // ---- allocation ----------------------------------------------------------------------
    // Takes tree chunk v for a request of nb bytes, rsize bytes over. A usable remainder becomes
    // the victim (small requests) or goes back into the bins (large ones).
    static void* carve_tree_chunk(malloc_state* m, tchunk* v, size_t nb, size_t rsize, bool remainder_is_victim) {
        chunk* vc = reinterpret_cast<chunk*>(v);
        if (!ok_address(m, v)) corruption();
        chunk* r = plus(vc, nb);
        check(chunksize(vc) == rsize + nb);
        if (!ok_next(v, r)) corruption();
        unlink_large_chunk(m, v);
        if (rsize < kMinChunk) {
            set_inuse_and_pinuse(m, vc, rsize + nb);
        } else {
            set_size_and_pinuse_of_inuse_chunk(m, vc, nb);
            set_size_and_pinuse_of_free_chunk(r, rsize);
            if (remainder_is_victim) replace_victim(m, r, rsize);
            else insert_chunk(m, r, rsize);
        }
        return chunk2mem(vc);
    }

    static void* tmalloc_small(malloc_state* m, size_t nb) {
        const unsigned i = bit2idx(least_bit(m->tree_map));
        tchunk* v = *treebin_at(m, i);
        tchunk* t = v;
        size_t rsize = chunksize(reinterpret_cast<chunk*>(t)) - nb;
        while ((t = leftmost_child(t)) != nullptr) {
            const size_t trem = chunksize(reinterpret_cast<chunk*>(t)) - nb;
            if (trem < rsize) {
                rsize = trem;
                v = t;
            }
        }
        return carve_tree_chunk(m, v, nb, rsize, true);
    }

    static void* tmalloc_large(malloc_state* m, size_t nb) {
        tchunk* v = nullptr;
        size_t rsize = ~nb + 1;
        const unsigned idx = tree_index(nb);
        tchunk* t = *treebin_at(m, idx);
        if (t != nullptr) {
            size_t sizebits = nb << tree_shift(idx);
            tchunk* rst = nullptr;
            for (;;) {
                const size_t trem = chunksize(reinterpret_cast<chunk*>(t)) - nb;
                if (trem < rsize) {
                    v = t;
                    if ((rsize = trem) == 0) break;
                }
                tchunk* rt = t->child[1];
                t = t->child[(sizebits >> kTopBit) & 1];
                if (rt != nullptr && rt != t) rst = rt;
                if (t == nullptr) {
                    t = rst;
                    break;
                }
                sizebits <<= 1;
            }
        }
        if (t == nullptr && v == nullptr) {
            const uint32_t leftbits = left_bits(idx2bit(idx)) & m->tree_map;
            if (leftbits != 0) t = *treebin_at(m, bit2idx(least_bit(leftbits)));
        }
        while (t != nullptr) {
            const size_t trem = chunksize(reinterpret_cast<chunk*>(t)) - nb;
            if (trem < rsize) {
                rsize = trem;
                v = t;
            }
            t = leftmost_child(t);
        }
        if (v == nullptr || rsize >= m->victim_size - nb) return nullptr;
        return carve_tree_chunk(m, v, nb, rsize, false);
    }

    // Caller holds the lock.
    static void* malloc_locked(malloc_state* m, size_t bytes) {
        size_t nb;
        if (bytes <= kMaxSmallRequest) {
            nb = request2size(bytes);
            unsigned idx = small_index(nb);
            const uint32_t smallbits = m->small_map >> idx;
            if ((smallbits & 3) != 0) {
                idx += ~smallbits & 1;
                chunk* b = smallbin_at(m, idx);
                chunk* p = b->next_free;
                check(chunksize(p) == small_index2size(idx));
                unlink_first_small_chunk(m, b, p, idx);
                set_inuse_and_pinuse(m, p, small_index2size(idx));
                return chunk2mem(p);
            }
            if (nb > m->victim_size) {
                if (smallbits != 0) {
                    const uint32_t leftbits = (smallbits << idx) & left_bits(idx2bit(idx));
                    const unsigned i = bit2idx(least_bit(leftbits));
                    chunk* b = smallbin_at(m, i);
                    chunk* p = b->next_free;
                    check(chunksize(p) == small_index2size(i));
                    unlink_first_small_chunk(m, b, p, i);
                    const size_t rsize = small_index2size(i) - nb;
                    if (rsize < kMinChunk) {
                        set_inuse_and_pinuse(m, p, small_index2size(i));
                    } else {
                        set_size_and_pinuse_of_inuse_chunk(m, p, nb);
                        chunk* r = plus(p, nb);
                        set_size_and_pinuse_of_free_chunk(r, rsize);
                        replace_victim(m, r, rsize);
                    }
                    return chunk2mem(p);
                }
                if (m->tree_map != 0) return tmalloc_small(m, nb);
            }
        } else if (bytes >= kMaxRequest) {
            nb = ~size_t(0);
        } else {
            nb = pad_request(bytes);
            if (m->tree_map != 0) {
                if (void* mem = tmalloc_large(m, nb)) return mem;
            }
        }

        if (nb <= m->victim_size) {
            const size_t rsize = m->victim_size - nb;
            chunk* p = m->victim;
            if (rsize >= kMinChunk) {
                chunk* r = m->victim = plus(p, nb);
                m->victim_size = rsize;
                set_size_and_pinuse_of_free_chunk(r, rsize);
                set_size_and_pinuse_of_inuse_chunk(m, p, nb);
            } else {
                const size_t dvs = m->victim_size;
                m->victim_size = 0;
                m->victim = nullptr;
                set_inuse_and_pinuse(m, p, dvs);
            }
            return chunk2mem(p);
        }
        if (nb < m->top_size) return carve_top(m, nb);
        return sys_alloc(m, nb);
    }

    static void* carve_top(malloc_state* m, size_t nb) {
        const size_t rsize = m->top_size -= nb;
        chunk* p = m->top;
        chunk* r = m->top = plus(p, nb);
        r->size_word = rsize | kPinuse;
        set_size_and_pinuse_of_inuse_chunk(m, p, nb);
        return chunk2mem(p);
    }

    // ---- system memory -------------------------------------------------------------------
    static void* mmap_alloc(malloc_state* m, size_t nb) {
        const size_t mmsize = granularity_align(nb + 6 * W + kAlignMask);
        if (mmsize <= nb) return nullptr;
        void* mm = map_memory(mmsize);
        if (mm == nullptr) return nullptr;
        const size_t offset = align_offset(addr(chunk2mem(mm)));
        const size_t psize = mmsize - offset - kMmapFootPad;
        chunk* p = plus(mm, offset);
        p->prev_word = offset | kMmappedBit;
        p->size_word = psize | kCinuse;
        mark_inuse_foot(m, p, psize);
        plus(p, psize)->size_word = kFencepost;
        plus(p, psize + W)->size_word = 0;
        if (addr(mm) < m->least_address) m->least_address = addr(mm);
        add_footprint(m, mmsize);
        check((addr(chunk2mem(p)) & kAlignMask) == 0);
        return chunk2mem(p);
    }

    static void add_footprint(malloc_state* m, size_t s) {
        if ((m->footprint += s) > m->max_footprint) m->max_footprint = m->footprint;
    }

    static void* prepend_alloc(malloc_state* m, uintptr_t newbase, uintptr_t oldbase, size_t nb) {
        chunk* p = align_as_chunk(newbase);
        chunk* oldfirst = align_as_chunk(oldbase);
        const size_t psize = addr(oldfirst) - addr(p);
        chunk* q = plus(p, nb);
        size_t qsize = psize - nb;
        set_size_and_pinuse_of_inuse_chunk(m, p, nb);
        check(addr(oldfirst) > addr(q) && pinuse(oldfirst) && qsize >= kMinChunk);
        if (oldfirst == m->top) {
            const size_t tsize = m->top_size += qsize;
            m->top = q;
            q->size_word = tsize | kPinuse;
        } else if (oldfirst == m->victim) {
            const size_t dsize = m->victim_size += qsize;
            m->victim = q;
            set_size_and_pinuse_of_free_chunk(q, dsize);
        } else {
            if (!cinuse(oldfirst)) {
                const size_t nsize = chunksize(oldfirst);
                unlink_chunk(m, oldfirst, nsize);
                oldfirst = plus(oldfirst, nsize);
                qsize += nsize;
            }
            set_free_with_pinuse(q, qsize, oldfirst);
            insert_chunk(m, q, qsize);
        }
        return chunk2mem(p);
    }

    static void add_segment(malloc_state* m, uintptr_t tbase, size_t tsize, size_t mmapped) {
        chunk* old_top = m->top;
        segment* oldsp = segment_holding(m, addr(old_top));
        const uintptr_t old_end = oldsp->base + oldsp->size;
        const size_t ssize = kSegChunk;
        const uintptr_t rawsp = old_end - (ssize + 4 * W + kAlignMask);
        const uintptr_t asp = rawsp + align_offset(rawsp + 2 * W);
        const uintptr_t csp = asp < addr(old_top) + kMinChunk ? addr(old_top) : asp;
        chunk* sp = at(csp);
        segment* ss = static_cast<segment*>(chunk2mem(sp));
        chunk* p = plus(sp, ssize);

        init_top(m, at(tbase), tsize - kTopFoot);

        set_size_and_pinuse_of_inuse_chunk(m, sp, ssize);
        *ss = m->first_segment;
        m->first_segment.base = tbase;
        m->first_segment.size = tsize;
        m->first_segment.segment_flags = mmapped;
        m->first_segment.next = ss;

        int fences = 0;
        for (;;) {
            chunk* nextp = plus(p, W);
            p->size_word = kFencepost;
            ++fences;
            if (addr(&nextp->size_word) < old_end)
                p = nextp;
            else
                break;
        }
        check(fences >= 2);

        if (csp != addr(old_top)) {
            chunk* q = old_top;
            const size_t psize = csp - addr(old_top);
            chunk* tn = plus(q, psize);
            set_free_with_pinuse(q, psize, tn);
            insert_chunk(m, q, psize);
        }
    }

    static constexpr uintptr_t kBrkFail = ~uintptr_t(0);
    static uintptr_t brk_call(size_t increment, bool shrink = false) {
        void* r = ::sbrk(shrink ? -static_cast<intptr_t>(increment) : static_cast<intptr_t>(increment));
        return r == reinterpret_cast<void*>(-1) ? kBrkFail : addr(r);
    }

    static void* sys_alloc(malloc_state* m, size_t nb) {
        init_mparams(nullptr);
        if ((m->heap_flags & kUseMmap) && nb >= mparams.mmap_threshold) {
            if (void* mem = mmap_alloc(m, nb)) return mem;
        }
        uintptr_t tbase = kBrkFail;
        size_t tsize = 0;
        size_t mmap_flag = 0;

        if (!Ms && !(m->heap_flags & kNonContig)) grow_break(m, nb, tbase, tsize);

        if (tbase == kBrkFail) {
            const size_t rsize = granularity_align(nb + kTopFoot + 1);
            if (rsize > nb) {
                if (void* mp = map_memory(rsize)) {
                    tbase = addr(mp);
                    tsize = rsize;
                    mmap_flag = kSegMapped;
                }
            }
        }

        if (!Ms && tbase == kBrkFail) {
            const size_t asize = granularity_align(nb + kTopFoot + 1);
            if (asize < kHalfMax) {
                const uintptr_t br = brk_call(asize);
                const uintptr_t end = brk_call(0);
                if (br != kBrkFail && end != kBrkFail && br < end) {
                    const size_t ssize = end - br;
                    if (ssize > nb + kTopFoot) {
                        tbase = br;
                        tsize = ssize;
                    }
                }
            }
        }

        if (tbase != kBrkFail) {
            add_footprint(m, tsize);
            if (m->top == nullptr) {
                m->first_segment.base = tbase;
                m->least_address = tbase;
                m->first_segment.size = tsize;
                m->first_segment.segment_flags = mmap_flag;
                m->first_segment.next = nullptr;
                m->release_countdown = kMaxReleaseCheck;
                init_bins(m);
                init_top(m, at(tbase), tsize - kTopFoot);
            } else {
                segment* sp = &m->first_segment;
                while (sp != nullptr && tbase != sp->base + sp->size) sp = sp->next;
                if (sp != nullptr && !(sp->segment_flags & kSegExtern) && (sp->segment_flags & kSegMapped) == mmap_flag &&
                    segment_holds(sp, addr(m->top))) {
                    sp->size += tsize;
                    init_top(m, m->top, m->top_size + tsize);
                } else {
                    if (tbase < m->least_address) m->least_address = tbase;
                    sp = &m->first_segment;
                    while (sp != nullptr && sp->base != tbase + tsize) sp = sp->next;
                    if (sp != nullptr && !(sp->segment_flags & kSegExtern) && (sp->segment_flags & kSegMapped) == mmap_flag) {
                        const uintptr_t oldbase = sp->base;
                        sp->base = tbase;
                        sp->size += tsize;
                        return prepend_alloc(m, tbase, oldbase, nb);
                    }
                    add_segment(m, tbase, tsize, mmap_flag);
                }
            }
            if (nb < m->top_size) return carve_top(m, nb);
        }
        errno = ENOMEM;
        return nullptr;
    }

    // Contiguous growth of the program break (process-wide heap only).
    static void grow_break(malloc_state* m, size_t nb, uintptr_t& tbase, size_t& tsize) {
        uintptr_t br = kBrkFail;
        segment* ss = m->top == nullptr ? nullptr : segment_holding(m, addr(m->top));
        size_t asize = 0;
        if (ss == nullptr) {
            const uintptr_t base = brk_call(0);
            if (base != kBrkFail) {
                asize = granularity_align(nb + kTopFoot + 1);
                if ((base & (mparams.page_size - 1)) != 0) asize += page_align(base) - base;
                if (asize < kHalfMax && (br = brk_call(asize)) == base) {
                    tbase = base;
                    tsize = asize;
                }
            }
        } else {
            asize = granularity_align(nb - m->top_size + kTopFoot + 1);
            if (asize < kHalfMax && (br = brk_call(asize)) == ss->base + ss->size) {
                tbase = br;
                tsize = asize;
            }
        }
        if (tbase != kBrkFail) return;
        if (br != kBrkFail) {
            if (asize < kHalfMax && asize < nb + kTopFoot + 1) {
                const size_t esize = granularity_align(nb + kTopFoot + 1 - asize);
                if (esize < kHalfMax) {
                    if (brk_call(esize) != kBrkFail) {
                        asize += esize;
                    } else {
                        brk_call(asize, true);
                        br = kBrkFail;
                    }
                }
            }
        }
        if (br != kBrkFail) {
            tbase = br;
            tsize = asize;
        } else {
            m->heap_flags |= kNonContig;
        }
    }

    static size_t release_unused_segments(malloc_state* m) {
        size_t released = 0;
        size_t nsegs = 0;
        segment* pred = &m->first_segment;
        segment* sp = pred->next;
        while (sp != nullptr) {
            const uintptr_t base = sp->base;
            const size_t size = sp->size;
            segment* next = sp->next;
            ++nsegs;
            if ((sp->segment_flags & kSegMapped) && !(sp->segment_flags & kSegExtern)) {
                chunk* p = align_as_chunk(base);
                const size_t psize = chunksize(p);
                if (!cinuse(p) && addr(p) + psize >= base + size - kTopFoot) {
                    tchunk* tp = reinterpret_cast<tchunk*>(p);
                    check(segment_holds(sp, addr(sp)));
                    if (p == m->victim) {
                        m->victim = nullptr;
                        m->victim_size = 0;
                    } else {
                        unlink_large_chunk(m, tp);
                    }
                    if (unmap_memory(base, size) == 0) {
                        released += size;
                        m->footprint -= size;
                        sp = pred;
                        sp->next = next;
                    } else {
                        insert_large_chunk(m, tp, psize);
                    }
                }
            }
            pred = sp;
            sp = next;
        }
        m->release_countdown = nsegs > kMaxReleaseCheck ? nsegs : kMaxReleaseCheck;
        return released;
    }

    static int sys_trim(malloc_state* m, size_t pad) {
        size_t released = 0;
        if (pad >= kMaxRequest || m->top == nullptr) return 0;
        pad += kTopFoot;
        if (m->top_size > pad) {
            const size_t unit = mparams.granularity;
            size_t extra = ((m->top_size - pad + (unit - 1)) / unit - 1) * unit;
            segment* sp = segment_holding(m, addr(m->top));
            if (!(sp->segment_flags & kSegExtern)) {
                if (sp->segment_flags & kSegMapped) {
                    if (extra != 0 && sp->size >= extra && !has_segment_link(m, sp)) {
                        const size_t newsize = sp->size - extra;
                        if (unmap_memory(sp->base + newsize, extra) == 0) released = extra;
                    }
                } else if (!Ms) {
                    if (extra >= kHalfMax) extra = kHalfMax + 1 - unit;
                    const uintptr_t old_br = brk_call(0);
                    if (extra != 0 && old_br == sp->base + sp->size) {
                        const uintptr_t rel_br = brk_call(extra, true);
                        const uintptr_t new_br = brk_call(0);
                        if (rel_br != kBrkFail && new_br < old_br) released = old_br - new_br;
                    }
                }
            }
            if (released != 0) {
                sp->size -= released;
                m->footprint -= released;
                init_top(m, m->top, m->top_size - released);
            }
        }
        released += release_unused_segments(m);
        if (released == 0 && m->top_size > m->trim_limit) m->trim_limit = ~size_t(0);
        return released != 0 ? 1 : 0;
    }

    // ---- free ----------------------------------------------------------------------------
    // Caller holds the lock of m, the heap that owns mem.
    static void free_locked(malloc_state* m, void* mem) {
        chunk* p = mem2chunk(mem);
        if (!ok_address(m, p) || !cinuse(p)) usage_error();
        size_t psize = chunksize(p);
        chunk* next = plus(p, psize);
        if (!pinuse(p)) {
            size_t prevsize = p->prev_word;
            if (prevsize & kMmappedBit) {
                prevsize &= ~kMmappedBit;
                psize += prevsize + kMmapFootPad;
                if (unmap_memory(addr(p) - prevsize, psize) == 0) m->footprint -= psize;
                return;
            }
            chunk* prev = minus(p, prevsize);
            psize += prevsize;
            p = prev;
            if (!ok_address(m, prev)) usage_error();
            if (p != m->victim) {
                unlink_chunk(m, p, prevsize);
            } else if ((next->size_word & kInuse) == kInuse) {
                m->victim_size = psize;
                set_free_with_pinuse(p, psize, next);
                return;
            }
        }
        if (!ok_next(p, next) || !pinuse(next)) usage_error();
        if (!cinuse(next)) {
            if (next == m->top) {
                const size_t tsize = m->top_size += psize;
                m->top = p;
                p->size_word = tsize | kPinuse;
                if (p == m->victim) {
                    m->victim = nullptr;
                    m->victim_size = 0;
                }
                if (tsize > m->trim_limit) sys_trim(m, 0);
                return;
            }
            if (next == m->victim) {
                const size_t dsize = m->victim_size += psize;
                m->victim = p;
                set_size_and_pinuse_of_free_chunk(p, dsize);
                return;
            }
            const size_t nsize = chunksize(next);
            psize += nsize;
            unlink_chunk(m, next, nsize);
            set_size_and_pinuse_of_free_chunk(p, psize);
            if (p == m->victim) {
                m->victim_size = psize;
                return;
            }
        } else {
            set_free_with_pinuse(p, psize, next);
        }
        if (is_small(psize)) {
            insert_small_chunk(m, p, psize);
        } else {
            insert_large_chunk(m, reinterpret_cast<tchunk*>(p), psize);
            if (--m->release_countdown == 0) release_unused_segments(m);
        }
    }

    // ---- derived operations --------------------------------------------------------------
    static chunk* mmap_resize(malloc_state* m, chunk* oldp, size_t nb) {
        const size_t oldsize = chunksize(oldp);
        if (is_small(nb)) return nullptr;
        if (oldsize >= nb + W && (oldsize - nb) <= (mparams.granularity << 1)) return oldp;
        (void)m;
        return nullptr;
    }

    // Resize inside the block's own heap m; returns null (old block intact) when it cannot.
    static void* realloc_in(malloc_state* m, void* oldmem, size_t bytes) {
        if (bytes >= kMaxRequest) {
            errno = ENOMEM;
            return nullptr;
        }
        lock(m);
        chunk* oldp = mem2chunk(oldmem);
        const size_t oldsize = chunksize(oldp);
        chunk* next = plus(oldp, oldsize);
        chunk* newp = nullptr;
        void* extra = nullptr;
        if (!ok_address(m, oldp) || !cinuse(oldp) || !ok_next(oldp, next) || !pinuse(next)) usage_error();
        const size_t nb = request2size(bytes);
        if (is_mmapped(oldp)) {
            newp = mmap_resize(m, oldp, nb);
        } else if (oldsize >= nb) {
            const size_t rsize = oldsize - nb;
            newp = oldp;
            if (rsize >= kMinChunk) {
                chunk* rem = plus(newp, nb);
                set_inuse(m, newp, nb);
                set_inuse(m, rem, rsize);
                extra = chunk2mem(rem);
            }
        } else if (next == m->top && oldsize + m->top_size > nb) {
            const size_t newsize = oldsize + m->top_size;
            const size_t newtopsize = newsize - nb;
            chunk* newtop = plus(oldp, nb);
            set_inuse(m, oldp, nb);
            newtop->size_word = newtopsize | kPinuse;
            m->top = newtop;
            m->top_size = newtopsize;
            newp = oldp;
        }
        unlock(m);
        if (newp != nullptr) {
            if (extra != nullptr) free_in(m, extra);
            return chunk2mem(newp);
        }
        void* newmem = malloc_in(m, bytes);
        if (newmem != nullptr) {
            const size_t oc = oldsize - (is_mmapped(oldp) ? kMmapOverhead : kOverhead);
            std::memcpy(newmem, oldmem, oc < bytes ? oc : bytes);
            free_in(m, oldmem);
        }
        return newmem;
    }

    static void* malloc_in(malloc_state* m, size_t bytes) {
        lock(m);
        void* mem = malloc_locked(m, bytes);
        unlock(m);
        return mem;
    }
    static void free_in(malloc_state* m, void* mem) {
        lock(m);
        free_locked(m, mem);
        unlock(m);
    }

    static void* memalign_in(malloc_state* m, size_t alignment, size_t bytes) {
        if (alignment <= kAlign) return malloc_in(m, bytes);
        if (alignment > kHalfMax) {   // no power of two above it fits in a word
            errno = ENOMEM;
            return nullptr;
        }
        if (alignment < kMinChunk) alignment = kMinChunk;
        if ((alignment & (alignment - 1)) != 0) {
            size_t a = kAlign << 1;
            while (a < alignment) a <<= 1;
            alignment = a;
        }
        if (bytes >= kMaxRequest - alignment) {
            errno = ENOMEM;
            return nullptr;
        }
        const size_t nb = request2size(bytes);
        const size_t req = nb + alignment + kMinChunk - kOverhead;
        void* mem = malloc_in(m, req);
        if (mem == nullptr) return nullptr;
        void* leader = nullptr;
        void* trailer = nullptr;
        chunk* p = mem2chunk(mem);
        lock(m);
        if ((addr(mem) % alignment) != 0) {
            const uintptr_t br = addr(mem2chunk(reinterpret_cast<void*>((addr(mem) + alignment - 1) & (~alignment + 1))));
            const uintptr_t pos = (br - addr(p) >= kMinChunk) ? br : br + alignment;
            chunk* newp = at(pos);
            const size_t leadsize = pos - addr(p);
            const size_t newsize = chunksize(p) - leadsize;
            if (is_mmapped(p)) {
                newp->prev_word = p->prev_word + leadsize;
                newp->size_word = newsize | kCinuse;
            } else {
                set_inuse(m, newp, newsize);
                set_inuse(m, p, leadsize);
                leader = chunk2mem(p);
            }
            p = newp;
        }
        if (!is_mmapped(p)) {
            const size_t size = chunksize(p);
            if (size > nb + kMinChunk) {
                const size_t rsize = size - nb;
                chunk* rem = plus(p, nb);
                set_inuse(m, p, nb);
                set_inuse(m, rem, rsize);
                trailer = chunk2mem(rem);
            }
        }
        check(chunksize(p) >= nb && (addr(chunk2mem(p)) % alignment) == 0);
        unlock(m);
        if (leader != nullptr) free_in(m, leader);
        if (trailer != nullptr) free_in(m, trailer);
        return chunk2mem(p);
    }

    static void* calloc_in(malloc_state* m, size_t count, size_t elem_size) {
        size_t req = 0;
        if (count != 0 && __builtin_mul_overflow(count, elem_size, &req)) req = ~size_t(0);
        void* mem = malloc_in(m, req);
        if (mem != nullptr && !is_mmapped(mem2chunk(mem))) std::memset(mem, 0, req);
        return mem;
    }

    // Several blocks carved from one chunk; opts bit 1: one size for all, bit 2: zero them.
    static void** ialloc(malloc_state* m, size_t n, const size_t* sizes, int opts, void** chunks) {
        init_mparams(nullptr);
        void** marray;
        size_t array_size;
        if (chunks != nullptr) {
            if (n == 0) return chunks;
            marray = chunks;
            array_size = 0;
        } else {
            if (n == 0) return static_cast<void**>(malloc_in(m, 0));
            marray = nullptr;
            size_t bytes;
            if (__builtin_mul_overflow(n, sizeof(void*), &bytes) || bytes >= kMaxRequest) return fail_enomem();
            array_size = request2size(bytes);
        }
        size_t element_size = 0;
        size_t contents_size = 0;
        if (opts & 1) {
            if (sizes[0] >= kMaxRequest) return fail_enomem();
            element_size = request2size(sizes[0]);
            if (__builtin_mul_overflow(n, element_size, &contents_size)) return fail_enomem();
        } else {
            for (size_t i = 0; i < n; ++i) {
                if (sizes[i] >= kMaxRequest || __builtin_add_overflow(contents_size, request2size(sizes[i]), &contents_size))
                    return fail_enomem();
            }
        }
        size_t size;
        if (__builtin_add_overflow(contents_size, array_size, &size) || size >= kMaxRequest) return fail_enomem();

        const bool was_enabled = (m->heap_flags & kUseMmap) != 0;
        m->heap_flags &= ~kUseMmap;
        void* mem = malloc_in(m, size - kOverhead);
        if (was_enabled) m->heap_flags |= kUseMmap;
        if (mem == nullptr) return nullptr;

        lock(m);
        chunk* p = mem2chunk(mem);
        size_t remainder_size = chunksize(p);
        check(!is_mmapped(p));
        if (opts & 2) std::memset(mem, 0, remainder_size - kOverhead - array_size);
        if (marray == nullptr) {
            chunk* array_chunk = plus(p, contents_size);
            const size_t array_chunk_size = remainder_size - contents_size;
            marray = static_cast<void**>(chunk2mem(array_chunk));
            set_size_and_pinuse_of_inuse_chunk(m, array_chunk, array_chunk_size);
            remainder_size = contents_size;
        }
        for (size_t i = 0;; ++i) {
            marray[i] = chunk2mem(p);
            if (i != n - 1) {
                const size_t sz = element_size != 0 ? element_size : request2size(sizes[i]);
                remainder_size -= sz;
                set_size_and_pinuse_of_inuse_chunk(m, p, sz);
                p = plus(p, sz);
            } else {
                set_size_and_pinuse_of_inuse_chunk(m, p, remainder_size);
                break;
            }
        }
        unlock(m);
        return marray;
    }

    static void** fail_enomem() {
        errno = ENOMEM;
        return nullptr;
    }

    // Walks every chunk of every segment: fn(chunk) for each, top excluded.
    template <class Fn>
    static void walk(malloc_state* m, Fn fn) {
        for (segment* s = &m->first_segment; s != nullptr; s = s->next) {
            chunk* q = align_as_chunk(s->base);
            while (segment_holds(s, addr(q)) && q != m->top && q->size_word != kFencepost) {
                fn(q);
                q = next_chunk(q);
            }
        }
    }

    static mallinfo info_locked(malloc_state* m) {
        mallinfo nm;
        if (m->top == nullptr) return nm;
        size_t nfree = 1;
        size_t mfree = m->top_size + kTopFoot;
        size_t sum = mfree;
        walk(m, [&](chunk* q) {
            const size_t sz = chunksize(q);
            sum += sz;
            if (!cinuse(q)) {
                mfree += sz;
                ++nfree;
            }
        });
        nm.arena = sum;
        nm.ordblks = nfree;
        nm.hblkhd = m->footprint - sum;
        nm.usmblks = m->max_footprint;
        nm.uordblks = m->footprint - mfree;
        nm.fordblks = mfree;
        nm.keepcost = m->top_size;
        return nm;
    }

    static void print_stats_locked(malloc_state* m) {
        size_t maxfp = 0, fp = 0, used = 0;
        if (m->top != nullptr) {
            maxfp = m->max_footprint;
            fp = m->footprint;
            used = fp - (m->top_size + kTopFoot);
            walk(m, [&](chunk* q) {
                if (!cinuse(q)) used -= chunksize(q);
            });
        }
        std::fprintf(stderr, "max system bytes = %10lu\n", static_cast<unsigned long>(maxfp));
        std::fprintf(stderr, "system bytes     = %10lu\n", static_cast<unsigned long>(fp));
        std::fprintf(stderr, "in use bytes     = %10lu\n", static_cast<unsigned long>(used));
    }

    static int mallopt(int param, int value) {
        init_mparams(nullptr);
        const size_t val = value == -1 ? ~size_t(0) : static_cast<size_t>(value);
        switch (param) {
        case M_TRIM_THRESHOLD:
            mparams.trim_threshold = val;
            return 1;
        case M_GRANULARITY:
            if (val >= mparams.page_size && (val & (val - 1)) == 0) {
                mparams.granularity = val;
                return 1;
            }
            return 0;
        case M_MMAP_THRESHOLD:
            mparams.mmap_threshold = val;
            return 1;
        default:
            return 0;
        }
    }

    // ---- consistency walk (test seam) ----------------------------------------------------
    static bool in_small_bin(malloc_state* m, chunk* p) {
        const size_t s = chunksize(p);
        if ((m->small_map & idx2bit(small_index(s))) == 0) return false;
        chunk* b = smallbin_at(m, small_index(s));
        for (chunk* q = b->next_free; q != b; q = q->next_free)
            if (q == p) return true;
        return false;
    }
    static bool in_tree(malloc_state* m, chunk* p) {
        const size_t s = chunksize(p);
        tchunk* t = *treebin_at(m, tree_index(s));
        size_t sizebits = s << tree_shift(tree_index(s));
        while (t != nullptr && chunksize(reinterpret_cast<chunk*>(t)) != s) {
            t = t->child[(sizebits >> kTopBit) & 1];
            sizebits <<= 1;
        }
        if (t == nullptr) return false;
        tchunk* u = t;
        do {
            if (reinterpret_cast<chunk*>(u) == p) return true;
            u = u->next_free;
        } while (u != t);
        return false;
    }

    static const char* check_locked(malloc_state* m) {
        if (m->top == nullptr) return "";
        size_t free_in_walk = 0;
        const char* fault = "";
        walk(m, [&](chunk* q) {
            if (*fault) return;
            if ((addr(chunk2mem(q)) & kAlignMask) != 0) fault = "misaligned chunk";
            else if (chunksize(q) < kMinChunk) fault = "chunk below the minimum size";
            else if (cinuse(q) != pinuse(next_chunk(q)) && next_chunk(q) != m->top) fault = "in-use bits disagree";
            else if (Ms && cinuse(q) && heap_of(q) != m) fault = "footer does not name the heap";
            else if (!cinuse(q)) {
                if (!pinuse(q)) fault = "two free chunks are adjacent";
                else if (next_chunk(q)->prev_word != chunksize(q)) fault = "free chunk's size copy is wrong";
                else if (q != m->victim && !(is_small(chunksize(q)) ? in_small_bin(m, q) : in_tree(m, q)))
                    fault = "free chunk missing from its bin";
                else if (q != m->victim) ++free_in_walk;
            }
        });
        if (*fault) return fault;
        if (!pinuse(m->top)) return "free chunk before top";
        size_t in_bins = 0;
        for (unsigned i = 0; i < kNBins; ++i) {
            chunk* b = smallbin_at(m, i);
            // An unmarked bin's links are stale by design: only marked bins are walked.
            const bool marked = (m->small_map & idx2bit(i)) != 0;
            if (marked && b->next_free == b) return "small map marks an empty bin";
            for (chunk* q = b->next_free; marked && q != b; q = q->next_free) {
                if (chunksize(q) != small_index2size(i) || cinuse(q)) return "wrong chunk in a small bin";
                ++in_bins;
            }
            tchunk* t = *treebin_at(m, i);
            if (((m->tree_map & idx2bit(i)) != 0) != (t != nullptr)) return "tree map disagrees with its bin";
            in_bins += count_tree(t, i, fault);
            if (*fault) return fault;
        }
        if (in_bins != free_in_walk) return "bins hold chunks the walk did not find";
        return "";
    }

    static size_t count_tree(tchunk* t, unsigned i, const char*& fault) {
        if (t == nullptr) return 0;
        size_t n = 0;
        tchunk* u = t;
        do {
            if (u->tree_index != i || tree_index(chunksize(reinterpret_cast<chunk*>(u))) != i ||
                cinuse(reinterpret_cast<chunk*>(u)))
                fault = "wrong chunk in a tree bin";
            ++n;
            u = u->next_free;
        } while (u != t);
        for (tchunk* c : t->child) {
            if (c != nullptr && c->parent != t) fault = "tree child with the wrong parent";
            n += count_tree(c, i, fault);
        }
        return n;
    }

    static heap_probe probe(malloc_state* m) {
        heap_probe r{m->top_size, m->victim_size, m->top, m->victim, 0, 0, 0};
        if (m->top == nullptr) return r;
        for (segment* s = &m->first_segment; s != nullptr; s = s->next) {
            r.segment_bytes += s->size;
            ++r.segments;
        }
        walk(m, [&](chunk* q) {
            // Segment records are the in-use chunks followed by fenceposts.
            const bool record = next_chunk(q)->size_word == kFencepost || chunk2mem(q) == static_cast<void*>(m);
            if (cinuse(q) && !record) r.user_bytes += chunksize(q);
        });
        return r;
    }
};

template <bool Ms>
malloc_params engine<Ms>::mparams{};
template <bool Ms>
spin_lock engine<Ms>::magic_init_mutex{};

}  // namespace heapeng
