#pragma once
// Thread-caching pooled allocator over mspaces. Each thread keeps freed small blocks in a cache of
// its own and reuses them without a lock; everything else goes to one of the pool's heaps, and a
// thread that finds its heap busy moves to another rather than wait. A null pool is the system pool.
#include <cstddef>

#include "core/heap_engine.h"

struct nedpool_t;
typedef nedpool_t nedpool;

void* nedpmalloc(nedpool* p, size_t size);
void* nedpcalloc(nedpool* p, size_t count, size_t elem_size);
void* nedprealloc(nedpool* p, void* mem, size_t size);
void nedpfree(nedpool* p, void* mem);
void* nedpmemalign(nedpool* p, size_t alignment, size_t bytes);
void** nedpindependent_calloc(nedpool* p, size_t count, size_t elem_size, void** chunks);
void** nedpindependent_comalloc(nedpool* p, size_t count, size_t* sizes, void** chunks);
mallinfo nedpmallinfo(nedpool* p);
void nedpmalloc_stats(nedpool* p);
int nedpmalloc_trim(nedpool* p, size_t pad);
size_t nedpmalloc_footprint(nedpool* p);
int nedpmallopt(nedpool* p, int param, int value);
void nedpsetvalue(nedpool* p, void* v);

void* nedmalloc(size_t size);
void* nedcalloc(size_t count, size_t elem_size);
void* nedrealloc(void* mem, size_t size);
void nedfree(void* mem);
void* nedmemalign(size_t alignment, size_t bytes);
void** nedindependent_calloc(size_t count, size_t elem_size, void** chunks);
void** nedindependent_comalloc(size_t count, size_t* sizes, void** chunks);
mallinfo nedmallinfo();
void nedmalloc_stats();
int nedmalloc_trim(size_t pad);
size_t nedmalloc_footprint();
int nedmallopt(int param, int value);
void nedsetvalue(void* v);

void* nedgetvalue(nedpool** pool, void* mem);   // the owning pool's user value, or null
size_t nedblksize(void* mem);                    // usable bytes; 0 for null

nedpool* nedcreatepool(size_t capacity, int threads);
void neddestroypool(nedpool* p);
void neddisablethreadcache(nedpool* p);

// Figures of this build.
constexpr size_t ned_max_cached_request = 8192;
size_t ned_smallest_request();   // every request is raised to this (room for the cache's link record)

// Test seams: what a pool looks like from outside.
struct ned_pool_view {
    int max_heaps;
    int heaps;            // heaps made so far
    int caches;           // thread caches in use
};
ned_pool_view ned_pool_view_of(nedpool* p);
struct ned_cache_view {
    bool has_cache;
    int heap_index;
    unsigned lookups, free_clock, hits;
    size_t cached_bytes;
    unsigned bin_count[10];   // blocks in each bin, newest to oldest
};
ned_cache_view ned_thread_cache_view(nedpool* p);   // the calling thread's cache in p
