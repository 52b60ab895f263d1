#include "core/memory.h"

#include <cstdlib>
#include <exception>

#include "core/pooled_alloc.h"
#include "core/stats.h"
#include "platform/os_info.h"
#include "core/log.h"

namespace {
// Written only by the first call of the run, before a second thread exists.
unsigned char first_time = 1;
unsigned char ned_ok = 1;

constexpr int kFirstSystemAllocVersion = 0x1060;

// Tests start a child process with VENTARO_TEST_OS_VERSION set (hex digits, or "fail" for a failed
// query) to force either branch from the first allocation on; nothing else reads it.
bool version_query(int& version) {
    if (const char* forced = std::getenv("VENTARO_TEST_OS_VERSION")) {
        char* end = nullptr;
        const long v = std::strtol(forced, &end, 16);
        if (end == forced || *end != '\0') return false;
        version = static_cast<int>(v);
        return true;
    }
    version = platform::system_version_bcd();
    return true;
}

inline bool use_ned() {
    if (first_time) {
        first_time = 0;
        int version = 0;
        if (version_query(version) && version >= kFirstSystemAllocVersion) ned_ok = 0;
    }
    return ned_ok != 0;
}

inline void* raw_alloc(std::size_t size) { return use_ned() ? nedmalloc(size) : std::malloc(size); }
inline void raw_free(void* mem) {
    if (mem == nullptr) return;
    if (use_ned())
        nedfree(mem);
    else
        std::free(mem);
}
inline void* raw_aligned(std::size_t size, std::size_t align) {
    if (use_ned()) return nedmemalign(align, size);
    void* p = nullptr;
    return ::posix_memalign(&p, align < sizeof(void*) ? sizeof(void*) : align, size) == 0 ? p : nullptr;
}

// The new-handler is consulted after each failure; without one the throwing form throws.
template <class Alloc>
void* throwing_new(std::size_t size, Alloc alloc) {
    if (size == 0) size = 1;
    for (;;) {
        if (void* p = alloc(size)) return p;
        std::new_handler h = std::get_new_handler();
        if (h == nullptr) throw std::bad_alloc();
        try {
            h();
        } catch (const std::bad_alloc&) {
            throw;
        } catch (...) {
            std::terminate();
        }
    }
}

template <class Alloc>
void* nothrow_new(std::size_t size, Alloc alloc) noexcept {
    if (size == 0) size = 1;
    for (;;) {
        if (void* p = alloc(size)) return p;
        std::new_handler h = std::get_new_handler();
        if (h == nullptr) return nullptr;
        try {
            h();
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }
}

auto plain = [](std::size_t s) { return raw_alloc(s); };
}  // namespace

int want_ned() { return use_ned() ? 1 : 0; }

void* xmalloc(unsigned long size) { return raw_alloc(size); }
void* xcalloc(unsigned long count, unsigned long size) {
    return use_ned() ? nedcalloc(count, size) : std::calloc(count, size);
}
void xfree(void* mem) { raw_free(mem); }
void* xmalloc_tracked(const char*, int, unsigned long size) { return xmalloc(size); }
void xfree_tracked(const char*, int, void* mem) { xfree(mem); }

void* operator new(std::size_t size, const char*, int) { return throwing_new(size, plain); }
void* operator new(std::size_t size) { return operator new(size, "anonymous new", 0); }
void* operator new[](std::size_t size, const char* file, int line) { return operator new(size, file, line); }
void* operator new[](std::size_t size) { return operator new(size, "anonymous new[]", 0); }
void* operator new(std::size_t size, const std::nothrow_t&, const char*, int) noexcept { return nothrow_new(size, plain); }
void* operator new(std::size_t size, const std::nothrow_t& nt) noexcept { return operator new(size, nt, "anonymous new-nt", 0); }
void* operator new[](std::size_t size, const std::nothrow_t& nt, const char* file, int line) noexcept {
    return operator new(size, nt, file, line);
}
void* operator new[](std::size_t size, const std::nothrow_t& nt) noexcept {
    return operator new(size, nt, "anonymous new-nt[]", 0);
}

// Over-aligned types come through here; they must reach the same allocator as everything else.
void* operator new(std::size_t size, std::align_val_t al) {
    return throwing_new(size, [al](std::size_t s) { return raw_aligned(s, static_cast<std::size_t>(al)); });
}
void* operator new[](std::size_t size, std::align_val_t al) { return operator new(size, al); }
void* operator new(std::size_t size, std::align_val_t al, const std::nothrow_t&) noexcept {
    return nothrow_new(size, [al](std::size_t s) { return raw_aligned(s, static_cast<std::size_t>(al)); });
}
void* operator new[](std::size_t size, std::align_val_t al, const std::nothrow_t& nt) noexcept {
    return operator new(size, al, nt);
}

void operator delete(void* mem) noexcept { raw_free(mem); }
void operator delete[](void* mem) noexcept { raw_free(mem); }
void operator delete(void* mem, const std::nothrow_t&) noexcept { raw_free(mem); }
void operator delete[](void* mem, const std::nothrow_t&) noexcept { raw_free(mem); }
void operator delete(void* mem, std::size_t) noexcept { raw_free(mem); }
void operator delete[](void* mem, std::size_t) noexcept { raw_free(mem); }
void operator delete(void* mem, std::align_val_t) noexcept { raw_free(mem); }
void operator delete[](void* mem, std::align_val_t) noexcept { raw_free(mem); }
void operator delete(void* mem, std::size_t, std::align_val_t) noexcept { raw_free(mem); }
void operator delete[](void* mem, std::size_t, std::align_val_t) noexcept { raw_free(mem); }
void operator delete(void* mem, std::align_val_t, const std::nothrow_t&) noexcept { raw_free(mem); }
void operator delete[](void* mem, std::align_val_t, const std::nothrow_t&) noexcept { raw_free(mem); }
void operator delete(void* mem, const char*, int) noexcept { raw_free(mem); }
void operator delete[](void* mem, const char*, int) noexcept { raw_free(mem); }

float UTL_lazy_mempool::global_total = 0;

UTL_stat g_memory_used(&UTL_lazy_mempool::global_total, "memory/lazy_pools", stat_level);

UTL_lazy_mempool::UTL_lazy_mempool()
    : total_allocated(0), total_wasted(0), block_list(nullptr), fill_state(nullptr), total_ready(0) {}

UTL_lazy_mempool::~UTL_lazy_mempool() {
    while (block_list != nullptr) {
        void* block = block_list;
        block_list = *static_cast<void**>(block);
        xfree(block);
        global_total -= block_bytes;
    }
}

void* UTL_lazy_mempool::alloc(int bytes) {
    constexpr int head = static_cast<int>(sizeof(void*));   // the link to the next block
    bytes = (bytes + 15) & ~15;
    if (bytes <= 0 || bytes > block_bytes - 16) return nullptr;
    if (bytes > total_ready || block_list == nullptr) {
        void* block = xmalloc(block_bytes);
        if (block == nullptr) return nullptr;
        total_wasted += total_ready;
        *static_cast<void**>(block) = block_list;
        block_list = block;
        global_total += block_bytes;
        fill_state = static_cast<char*>(block) + 16;
        total_ready = block_bytes - 16;
        total_wasted += 16 - head;
    }
    void* r = fill_state;
    fill_state = static_cast<char*>(fill_state) + bytes;
    total_ready -= bytes;
    total_allocated += bytes;
    return r;
}

void UTL_lazy_mempool::dump() {
    xer << "Total memory allocated: " << total_allocated << "\n";
    xer << "Total wasted memory: " << total_wasted << "\n";
    xer << "Total ready memory: " << total_ready << "\n";
}
