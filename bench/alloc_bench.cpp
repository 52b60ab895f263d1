// Allocator speed: the pooled allocator and a single locked heap against the C library's malloc
// (and jemalloc / mimalloc when their shared libraries are installed), in one run.
//   lifo/random: each thread allocates 1000 blocks of 16-512 bytes, then frees them newest first
//                or in a shuffled order;
//   handoff:     threads in pairs, one allocates and the other frees what it receives.
// Items per second count allocations (each one is also freed).
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "core/mspace.h"
#include "core/pooled_alloc.h"

namespace {

struct allocator {
    std::string name;
    void* (*alloc)(size_t);
    void (*release)(void*);
};

mspace g_heap = nullptr;
void* heap_alloc(size_t n) { return mspace_malloc(g_heap, n); }
void heap_free(void* p) { mspace_free(g_heap, p); }

// A library loaded privately, so it never replaces the C library's malloc for the rest of the run.
bool load_private(const char* file, const char* alloc_name, const char* free_name, allocator& out) {
    void* h = ::dlopen(file, RTLD_NOW | RTLD_LOCAL);
    if (h == nullptr) return false;
    out.alloc = reinterpret_cast<void* (*)(size_t)>(::dlsym(h, alloc_name));
    out.release = reinterpret_cast<void (*)(void*)>(::dlsym(h, free_name));
    return out.alloc != nullptr && out.release != nullptr;
}

constexpr int kBatch = 1000;

struct thread_plan {
    std::vector<size_t> sizes;
    std::vector<int> order;   // a shuffled free order
    explicit thread_plan(unsigned seed) : sizes(kBatch), order(kBatch) {
        std::mt19937 rng(seed);
        for (auto& s : sizes) s = 16 + rng() % 497;
        for (int i = 0; i < kBatch; ++i) order[i] = i;
        std::shuffle(order.begin(), order.end(), rng);
    }
};

void batch(benchmark::State& state, const allocator& a, bool random_order) {
    thread_plan plan(1234 + state.thread_index());
    std::vector<void*> blocks(kBatch);
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) {
            blocks[i] = a.alloc(plan.sizes[i]);
            *static_cast<char*>(blocks[i]) = 1;
        }
        if (random_order) {
            for (int i : plan.order) a.release(blocks[i]);
        } else {
            for (int i = kBatch - 1; i >= 0; --i) a.release(blocks[i]);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}

// Single-producer, single-consumer ring shared by one pair of threads.
struct ring {
    static constexpr size_t kSize = 4096;
    std::atomic<size_t> head{0}, tail{0};
    void* slots[kSize];
    void push(void* p) {
        const size_t h = head.load(std::memory_order_relaxed);
        while (h - tail.load(std::memory_order_acquire) == kSize) std::this_thread::yield();
        slots[h % kSize] = p;
        head.store(h + 1, std::memory_order_release);
    }
    void* pop() {
        const size_t t = tail.load(std::memory_order_relaxed);
        while (head.load(std::memory_order_acquire) == t) std::this_thread::yield();
        void* p = slots[t % kSize];
        tail.store(t + 1, std::memory_order_release);
        return p;
    }
};

ring g_rings[4];

void handoff(benchmark::State& state, const allocator& a) {
    ring& r = g_rings[state.thread_index() / 2];
    const bool producer = state.thread_index() % 2 == 0;
    thread_plan plan(99 + state.thread_index());
    constexpr int kPerIteration = 256;
    int next = 0;
    for (auto _ : state) {
        for (int i = 0; i < kPerIteration; ++i) {
            if (producer) {
                void* p = a.alloc(plan.sizes[next]);
                *static_cast<char*>(p) = 1;
                r.push(p);
                next = (next + 1) % kBatch;
            } else {
                a.release(r.pop());
            }
        }
    }
    if (producer) state.SetItemsProcessed(state.iterations() * kPerIteration);
}

}  // namespace

int main(int argc, char** argv) {
    g_heap = create_mspace(0, 1);
    std::vector<allocator> all = {
        {"glibc", &std::malloc, &std::free},
        {"pooled", &nedmalloc, &nedfree},
        {"heap", &heap_alloc, &heap_free},
    };
    allocator je{"jemalloc", nullptr, nullptr}, mi{"mimalloc", nullptr, nullptr};
    for (auto [lib, a, f, slot] : {std::tuple{"libjemalloc.so.2", "malloc", "free", &je},
                                   std::tuple{"libmimalloc.so.2", "mi_malloc", "mi_free", &mi}}) {
        if (load_private(lib, a, f, *slot))
            all.push_back(*slot);
        else
            std::fprintf(stderr, "%s not compared: %s\n", lib, ::dlerror());
    }

    for (const allocator& a : all) {
        for (int threads : {1, 8}) {
            benchmark::RegisterBenchmark(("lifo/" + a.name).c_str(), [a](benchmark::State& s) { batch(s, a, false); })
                ->Threads(threads)
                ->UseRealTime();
            benchmark::RegisterBenchmark(("random/" + a.name).c_str(), [a](benchmark::State& s) { batch(s, a, true); })
                ->Threads(threads)
                ->UseRealTime();
        }
        for (int threads : {2, 8})
            benchmark::RegisterBenchmark(("handoff/" + a.name).c_str(), [a](benchmark::State& s) { handoff(s, a); })
                ->Threads(threads)
                ->UseRealTime();
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    destroy_mspace(g_heap);
    return 0;
}
