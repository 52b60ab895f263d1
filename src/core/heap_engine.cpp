#include "core/heap_engine.h"

#include <pthread.h>
#include <sched.h>

#include <cstdlib>

#include "core/heap_engine_impl.h"

void spin_acquire(spin_lock& l) {
    const uintptr_t me = heapeng::this_thread_id();
    if (l.owner.load(std::memory_order_relaxed) == me) {
        ++l.depth;
        return;
    }
    unsigned failures = 0;
    int expected = 0;
    while (!l.word.compare_exchange_weak(expected, 1, std::memory_order_acquire, std::memory_order_relaxed)) {
        expected = 0;
        if ((++failures & 63) == 0) sched_yield();
    }
    if (l.owner.load(std::memory_order_relaxed) != 0) std::abort();
    l.owner.store(me, std::memory_order_relaxed);
    l.depth = 1;
}

bool spin_try_acquire(spin_lock& l) {
    int expected = 0;
    if (!l.word.compare_exchange_strong(expected, 1, std::memory_order_acquire, std::memory_order_relaxed)) return false;
    if (l.owner.load(std::memory_order_relaxed) != 0) std::abort();
    l.owner.store(heapeng::this_thread_id(), std::memory_order_relaxed);
    l.depth = 1;
    return true;
}

void spin_release(spin_lock& l) {
    if (l.owner.load(std::memory_order_relaxed) != heapeng::this_thread_id()) std::abort();
    if (--l.depth == 0) {
        l.owner.store(0, std::memory_order_relaxed);
        l.word.exchange(0, std::memory_order_release);
    }
}

namespace {
using G = heapeng::engine<false>;
using heapeng::malloc_state;

// The process-wide heap's record; zero until its first request.
malloc_state _gm_{};

malloc_state* gm() {
    if (!G::params_ready()) G::init_mparams(&_gm_);
    return &_gm_;
}
}  // namespace

void* dlmalloc(size_t bytes) { return G::malloc_locked(gm(), bytes); }

void dlfree(void* mem) {
    if (mem != nullptr) G::free_locked(gm(), mem);
}

void* dlrealloc(void* mem, size_t bytes) {
    if (mem == nullptr) return dlmalloc(bytes);
    return G::realloc_in(gm(), mem, bytes);
}

void* dlmemalign(size_t alignment, size_t bytes) { return G::memalign_in(gm(), alignment, bytes); }

void* dlcalloc(size_t count, size_t elem_size) { return G::calloc_in(gm(), count, elem_size); }

void* dlvalloc(size_t bytes) {
    malloc_state* m = gm();
    return G::memalign_in(m, G::mparams.page_size, bytes);
}

void* dlpvalloc(size_t bytes) {
    malloc_state* m = gm();
    const size_t ps = G::mparams.page_size;
    if (bytes > heapeng::kMaxRequest - ps) {   // rounding up to a page would wrap
        errno = ENOMEM;
        return nullptr;
    }
    return G::memalign_in(m, ps, (bytes + ps - 1) & ~(ps - 1));
}

void** dlindependent_calloc(size_t count, size_t elem_size, void** chunks) {
    const size_t sz = elem_size;
    return G::ialloc(gm(), count, &sz, 3, chunks);
}

void** dlindependent_comalloc(size_t count, size_t* sizes, void** chunks) {
    return G::ialloc(gm(), count, sizes, 0, chunks);
}

mallinfo dlmallinfo() { return G::info_locked(gm()); }

void dlmalloc_stats() { G::print_stats_locked(gm()); }

int dlmallopt(int param, int value) {
    gm();
    return G::mallopt(param, value);
}

int dlmalloc_trim(size_t pad) { return G::sys_trim(gm(), pad); }

size_t dlmalloc_footprint() { return _gm_.footprint; }

size_t dlmalloc_max_footprint() { return _gm_.max_footprint; }

size_t dlmalloc_usable_size(void* mem) {
    if (mem == nullptr) return 0;
    const heapeng::chunk* p = heapeng::mem2chunk(mem);
    if (!heapeng::cinuse(p)) return 0;
    return heapeng::chunksize(p) - (heapeng::is_mmapped(p) ? G::kMmapOverhead : G::kOverhead);
}

const char* dlmalloc_check() { return G::check_locked(gm()); }

heap_probe dlmalloc_probe() { return G::probe(gm()); }
