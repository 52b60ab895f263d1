#pragma once
// Every allocation of the program goes through here: the global new/delete operators and the
// raw-memory calls. The first call decides, once for the run, whether the system allocator or the
// program's own pooled allocator serves them all.
#include <cstddef>
#include <new>

// 1 when the pooled allocator serves the program, 0 for the system allocator.
int want_ned();

void* xmalloc(unsigned long size);
void* xcalloc(unsigned long count, unsigned long size);
void xfree(void* mem);
void* xmalloc_tracked(const char* file, int line, unsigned long size);
void xfree_tracked(const char* file, int line, void* mem);

// Tagged forms; the file and line are accepted and not recorded.
void* operator new(std::size_t size, const char* file, int line);
void* operator new[](std::size_t size, const char* file, int line);
void* operator new(std::size_t size, const std::nothrow_t&, const char* file, int line) noexcept;
void* operator new[](std::size_t size, const std::nothrow_t&, const char* file, int line) noexcept;
void operator delete(void* mem, const char* file, int line) noexcept;
void operator delete[](void* mem, const char* file, int line) noexcept;

// A pool of 32768-byte blocks taken with xmalloc; global_total counts the bytes held by all pools.
class UTL_lazy_mempool {
public:
    static constexpr int block_bytes = 32768;
    static float global_total;

    UTL_lazy_mempool();
    ~UTL_lazy_mempool();
    UTL_lazy_mempool(const UTL_lazy_mempool&) = delete;
    UTL_lazy_mempool& operator=(const UTL_lazy_mempool&) = delete;

    void* alloc(int bytes);   // bump allocation; null for sizes no block can hold
    void dump();

    int total_allocated;
    int total_wasted;
    void* block_list;
    void* fill_state;         // where the next allocation starts in the newest block
    int total_ready;
};
