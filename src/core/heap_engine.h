#pragma once
// The program's boundary-tag heap: one process-wide heap (the dl family) and any number of
// separate locked heaps (mspaces, see core/mspace.h). Sizes and layout follow the machine word.
#include <atomic>
#include <cstddef>
#include <cstdint>

// The allocator's own recursive spin lock. Zeroed memory is a free lock.
struct spin_lock {
    std::atomic<uintptr_t> owner{0};   // thread identity of the holder, 0 when free
    unsigned depth = 0;                // recursion count of the holder
    std::atomic<int> word{0};          // 0 free, 1 held
};

void spin_acquire(spin_lock& l);
void spin_release(spin_lock& l);
bool spin_try_acquire(spin_lock& l);   // one attempt; fails even when the caller holds it

// Statistics of one heap (or the sum over a pool's heaps).
struct mallinfo {
    size_t arena = 0;     // bytes of chunks in segments, plus top and its foot
    size_t ordblks = 0;   // free chunks, top counted as one
    size_t smblks = 0;
    size_t hblks = 0;
    size_t hblkhd = 0;    // footprint not in segments (directly mapped blocks)
    size_t usmblks = 0;   // highest footprint
    size_t fsmblks = 0;
    size_t uordblks = 0;  // footprint minus free bytes
    size_t fordblks = 0;  // free bytes, top and its foot included
    size_t keepcost = 0;  // size of top
};

// Parameter numbers of dlmallopt / mspace_mallopt.
enum { M_TRIM_THRESHOLD = -1, M_GRANULARITY = -2, M_MMAP_THRESHOLD = -3 };

// Process-wide heap. Not locked: callers serialise.
void* dlmalloc(size_t bytes);
void dlfree(void* mem);
void* dlrealloc(void* mem, size_t bytes);
void* dlmemalign(size_t alignment, size_t bytes);
void* dlcalloc(size_t count, size_t elem_size);
void* dlvalloc(size_t bytes);
void* dlpvalloc(size_t bytes);
void** dlindependent_calloc(size_t count, size_t elem_size, void** chunks);
void** dlindependent_comalloc(size_t count, size_t* sizes, void** chunks);
mallinfo dlmallinfo();
void dlmalloc_stats();
int dlmallopt(int param, int value);
int dlmalloc_trim(size_t pad);
size_t dlmalloc_footprint();
size_t dlmalloc_max_footprint();
size_t dlmalloc_usable_size(void* mem);

// Test seams: a consistency walk of the global heap ("" when sound, else what is wrong),
// and a look at its top and designated victim.
struct heap_probe {
    size_t top_size;
    size_t victim_size;
    const void* top;       // chunk address
    const void* victim;    // chunk address
    size_t user_bytes;     // in-use chunks in segments, the heap's own records left out
    size_t segment_bytes;  // memory held as segments (the rest of the footprint is mapped blocks)
    size_t segments;
};
const char* dlmalloc_check();
heap_probe dlmalloc_probe();
