#include "core/mspace.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "core/heap_engine_impl.h"

namespace {
using E = heapeng::engine<true>;
using heapeng::addr;
using heapeng::chunk;
using heapeng::malloc_state;

malloc_state* state_of(mspace msp) {
    malloc_state* m = static_cast<malloc_state*>(msp);
    if (!E::key_ok(m)) std::abort();
    return m;
}

// The heap named by a block's footer; a block not in use has no footer and is a usage error.
malloc_state* owner_of(void* mem) {
    chunk* p = heapeng::mem2chunk(mem);
    if (!heapeng::cinuse(p)) heapeng::usage_error();
    malloc_state* m = E::heap_of(p);
    if (!E::key_ok(m)) std::abort();
    return m;
}

malloc_state* init_user_mstate(uintptr_t tbase, size_t tsize) {
    chunk* msp = heapeng::align_as_chunk(tbase);
    void* where = heapeng::chunk2mem(msp);
    std::memset(where, 0, sizeof(malloc_state));
    malloc_state* m = static_cast<malloc_state*>(where);
    new (&m->lock) spin_lock();
    msp->size_word = E::kStateChunk | heapeng::kInuse;
    m->first_segment.base = m->least_address = tbase;
    m->first_segment.size = m->footprint = m->max_footprint = tsize;
    m->heap_key = E::mparams.key;
    m->release_countdown = heapeng::kMaxReleaseCheck;
    m->heap_flags = E::mparams.default_flags | heapeng::kNonContig;
    E::init_bins(m);
    chunk* mn = heapeng::next_chunk(msp);
    E::init_top(m, mn, tbase + tsize - addr(mn) - E::kTopFoot);
    E::mark_inuse_foot(m, msp, E::kStateChunk);   // the record's chunk is an ordinary in-use chunk
    return m;
}

void set_locked(malloc_state* m, int locked) {
    if (locked)
        m->heap_flags |= heapeng::kUseLock;
    else
        m->heap_flags &= ~heapeng::kUseLock;
}

size_t capacity_limit() { return ~(E::kStateChunk + E::kTopFoot + E::mparams.page_size) + 1; }
}  // namespace

mspace create_mspace(size_t capacity, int locked) {
    E::init_mparams(nullptr);
    if (capacity >= capacity_limit()) return nullptr;
    const size_t rs = capacity == 0 ? E::mparams.granularity : capacity + E::kTopFoot + E::kStateChunk;
    const size_t tsize = E::granularity_align(rs);
    void* tbase = heapeng::map_memory(tsize);
    if (tbase == nullptr) return nullptr;
    malloc_state* m = init_user_mstate(addr(tbase), tsize);
    m->first_segment.segment_flags = heapeng::kSegMapped;
    set_locked(m, locked);
    return m;
}

mspace create_mspace_with_base(void* base, size_t capacity, int locked) {
    E::init_mparams(nullptr);
    // A misaligned base loses its first bytes to alignment; they must not be counted as room.
    const size_t lead = heapeng::align_offset(addr(base) + 2 * heapeng::W);
    if (capacity <= lead + E::kStateChunk + E::kTopFoot || capacity >= capacity_limit()) return nullptr;
    malloc_state* m = init_user_mstate(addr(base), capacity);
    m->first_segment.segment_flags = heapeng::kSegExtern;
    set_locked(m, locked);
    return m;
}

size_t destroy_mspace(mspace msp) {
    malloc_state* m = state_of(msp);
    size_t freed = 0;
    // Each record is read before its segment goes; the heap record itself lies in the oldest one.
    const heapeng::segment* sp = &m->first_segment;
    while (sp != nullptr) {
        const uintptr_t base = sp->base;
        const size_t size = sp->size;
        const size_t flags = sp->segment_flags;
        sp = sp->next;
        if ((flags & heapeng::kSegMapped) && !(flags & heapeng::kSegExtern) && heapeng::unmap_memory(base, size) == 0)
            freed += size;
    }
    return freed;
}

void* mspace_malloc(mspace msp, size_t bytes) { return E::malloc_in(state_of(msp), bytes); }

void mspace_free(mspace, void* mem) {
    if (mem != nullptr) E::free_in(owner_of(mem), mem);
}

void* mspace_realloc(mspace msp, void* mem, size_t bytes) {
    if (mem == nullptr) return mspace_malloc(msp, bytes);
    return E::realloc_in(owner_of(mem), mem, bytes);
}

void* mspace_calloc(mspace msp, size_t count, size_t elem_size) { return E::calloc_in(state_of(msp), count, elem_size); }

void* mspace_memalign(mspace msp, size_t alignment, size_t bytes) {
    return E::memalign_in(state_of(msp), alignment, bytes);
}

void** mspace_independent_calloc(mspace msp, size_t count, size_t elem_size, void** chunks) {
    const size_t sz = elem_size;
    return E::ialloc(state_of(msp), count, &sz, 3, chunks);
}

void** mspace_independent_comalloc(mspace msp, size_t count, size_t* sizes, void** chunks) {
    return E::ialloc(state_of(msp), count, sizes, 0, chunks);
}

size_t mspace_footprint(mspace msp) { return state_of(msp)->footprint; }

size_t mspace_max_footprint(mspace msp) { return state_of(msp)->max_footprint; }

mallinfo mspace_mallinfo(mspace msp) {
    malloc_state* m = state_of(msp);
    E::lock(m);
    const mallinfo r = E::info_locked(m);
    E::unlock(m);
    return r;
}

void mspace_malloc_stats(mspace msp) {
    malloc_state* m = state_of(msp);
    E::lock(m);
    E::print_stats_locked(m);
    E::unlock(m);
}

int mspace_trim(mspace msp, size_t pad) {
    malloc_state* m = state_of(msp);
    E::lock(m);
    const int r = E::sys_trim(m, pad);
    E::unlock(m);
    return r;
}

int mspace_mallopt(int param, int value) { return E::mallopt(param, value); }

spin_lock& mspace_lock(mspace msp) { return static_cast<malloc_state*>(msp)->lock; }

void*& mspace_owner_pool(mspace msp) { return static_cast<malloc_state*>(msp)->owner_pool; }

bool mspace_key_ok(mspace msp) { return E::key_ok(static_cast<malloc_state*>(msp)); }

size_t mspace_block_usable(const void* mem) {
    return heapeng::chunksize(heapeng::mem2chunk(mem)) - E::kOverhead;
}

bool mspace_block_in_use(const void* mem) { return heapeng::cinuse(heapeng::mem2chunk(mem)); }

mspace mspace_block_heap(const void* mem) { return E::heap_of(heapeng::mem2chunk(mem)); }

void* mspace_block_owner_pool(const void* mem) {
    const chunk* p = heapeng::mem2chunk(mem);
    if ((addr(mem) & heapeng::kAlignMask) != 0 && p->size_word != heapeng::kFencepost) return nullptr;
    if (!heapeng::cinuse(p)) return nullptr;
    if (!heapeng::pinuse(heapeng::next_chunk(p))) return nullptr;
    if (!heapeng::pinuse(p) && !(p->prev_word & heapeng::kMmappedBit) &&
        heapeng::chunksize(heapeng::minus(p, p->prev_word)) != p->prev_word)
        return nullptr;
    const malloc_state* m = E::heap_of(p);
    if (!E::key_ok(m)) return nullptr;
    if (addr(p) < m->least_address) return nullptr;
    return m->owner_pool;
}

size_t mspace_chunk_overhead() { return E::kOverhead; }
size_t mspace_state_chunk_size() { return E::kStateChunk; }
size_t mspace_top_foot() { return E::kTopFoot; }

const char* mspace_check(mspace msp) {
    malloc_state* m = state_of(msp);
    E::lock(m);
    const char* r = E::check_locked(m);
    E::unlock(m);
    return r;
}

heap_probe mspace_probe(mspace msp) { return E::probe(state_of(msp)); }

bool mspace_block_is_mapped(const void* mem) { return heapeng::is_mmapped(heapeng::mem2chunk(mem)); }

size_t mspace_chunk_size(const void* mem) { return heapeng::chunksize(heapeng::mem2chunk(mem)); }
