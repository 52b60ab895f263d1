#pragma once
// Separate heaps ("mspaces"): each lives at the start of memory mapped for it (or of a caller's
// region), carries a recursive spin lock, and stamps every block it hands out with a footer naming
// it, so a block can be freed without saying which heap it came from.
#include <cstddef>

#include "core/heap_engine.h"

typedef void* mspace;

mspace create_mspace(size_t capacity, int locked);
mspace create_mspace_with_base(void* base, size_t capacity, int locked);
size_t destroy_mspace(mspace msp);

void* mspace_malloc(mspace msp, size_t bytes);
void mspace_free(mspace msp, void* mem);   // msp is not used: the block's footer names its heap
void* mspace_realloc(mspace msp, void* mem, size_t bytes);
void* mspace_calloc(mspace msp, size_t count, size_t elem_size);
void* mspace_memalign(mspace msp, size_t alignment, size_t bytes);
void** mspace_independent_calloc(mspace msp, size_t count, size_t elem_size, void** chunks);
void** mspace_independent_comalloc(mspace msp, size_t count, size_t* sizes, void** chunks);
size_t mspace_footprint(mspace msp);
size_t mspace_max_footprint(mspace msp);
mallinfo mspace_mallinfo(mspace msp);
void mspace_malloc_stats(mspace msp);
int mspace_trim(mspace msp, size_t pad);
int mspace_mallopt(int param, int value);

// What the pooled allocator reads of a heap and of its blocks.
spin_lock& mspace_lock(mspace msp);
void*& mspace_owner_pool(mspace msp);
bool mspace_key_ok(mspace msp);            // the heap record carries the process's heap key
size_t mspace_block_usable(const void* mem);   // chunk size minus the in-use overhead
bool mspace_block_in_use(const void* mem);
mspace mspace_block_heap(const void* mem);  // from the footer; null when it names no valid heap
// The heap and its user value lookup behind nedgetvalue: null when any check of the block fails.
void* mspace_block_owner_pool(const void* mem);

// Layout figures of this build, for callers and tests.
size_t mspace_chunk_overhead();    // bytes of an in-use chunk the caller cannot use
size_t mspace_state_chunk_size();  // the chunk holding a heap's own record
size_t mspace_top_foot();

// Test seams.
const char* mspace_check(mspace msp);   // "" when the heap is sound, else what is wrong
heap_probe mspace_probe(mspace msp);
bool mspace_block_is_mapped(const void* mem);
size_t mspace_chunk_size(const void* mem);
