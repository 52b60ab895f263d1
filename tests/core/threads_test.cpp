#include "core/threads.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

void* as_item(intptr_t v) { return reinterpret_cast<void*>(v); }
intptr_t as_int(void* p) { return reinterpret_cast<intptr_t>(p); }

struct MessageQueue : ::testing::Test {
    UTL_message_queue<void*>* q = UTL_message_queue_create<void*>();
    ~MessageQueue() override { UTL_message_queue_destroy(q); }

    std::vector<intptr_t> drain() {
        std::vector<intptr_t> out;
        while (UTL_semaphore_dec(q->available, 0)) {
            UTL_semaphore_inc(q->available);
            out.push_back(as_int(UTL_message_queue_read(q, 0)));
        }
        return out;
    }
    // Waits until `n` threads have committed to block on the queue's semaphore.
    void await_blocked(int n) {
        while (q->available->count.load() != -n) std::this_thread::yield();
    }
};

TEST_F(MessageQueue, WritesAndBatchesComeOutInOrder) {
    struct row {
        const char* name;
        std::vector<intptr_t> queued, batch;
        int at_front;
        std::vector<intptr_t> expected;
    };
    const row rows[] = {
        {"singles", {1, 2, 3}, {}, 0, {1, 2, 3}},
        {"batch at front", {1, 2}, {7, 8}, 1, {7, 8, 1, 2}},
        {"batch at back", {1, 2}, {7, 8}, 0, {1, 2, 7, 8}},
        {"batch at front of empty", {}, {7, 8, 9}, 1, {7, 8, 9}},
        {"empty batch", {1}, {}, 1, {1}},
        {"null is an item", {0, 5}, {0}, 0, {0, 5, 0}},
    };
    for (const row& r : rows) {
        for (intptr_t v : r.queued) UTL_message_queue_write(q, as_item(v));
        std::vector<void*> b;
        for (intptr_t v : r.batch) b.push_back(as_item(v));
        UTL_message_queue_multi_write(q, b.data(), static_cast<int>(b.size()), r.at_front);
        EXPECT_EQ(q->available->count.load(), static_cast<int>(r.expected.size())) << r.name;
        EXPECT_EQ(drain(), r.expected) << r.name;
    }
}

TEST_F(MessageQueue, ReadTimeouts) {
    using clock = std::chrono::steady_clock;
    EXPECT_EQ(UTL_message_queue_read(q, 0), nullptr);   // a poll that blocked would never return

    auto t0 = clock::now();
    EXPECT_EQ(UTL_message_queue_read(q, 50), nullptr);
    EXPECT_GE(clock::now() - t0, std::chrono::milliseconds(45));
    EXPECT_EQ(q->available->count.load(), 0) << "a timed-out reader must withdraw its claim";

    void* got = nullptr;
    std::thread reader([&] { got = UTL_message_queue_read(q, -1); });
    await_blocked(1);
    UTL_message_queue_write(q, as_item(42));
    reader.join();
    EXPECT_EQ(as_int(got), 42);
    EXPECT_EQ(q->available->count.load(), 0);
}

int drop_even(std::vector<void*>& items, void*) {
    const auto before = items.size();
    std::erase_if(items, [](void* p) { return as_int(p) % 2 == 0; });
    return static_cast<int>(before - items.size());
}

TEST_F(MessageQueue, EditRemovesItemsAndTheirUnits) {
    for (intptr_t v : {1, 2, 3, 4, 5}) UTL_message_queue_write(q, as_item(v));
    EXPECT_EQ(UTL_message_queue_edit(q, drop_even, nullptr), 2);
    EXPECT_EQ(q->available->count.load(), 3);
    EXPECT_EQ(drain(), (std::vector<intptr_t>{1, 3, 5}));
}

// Many writers and readers at once, readers on mixed time-outs: every item comes out exactly
// once and, at the end, the semaphore holds neither a lost nor an invented unit.
TEST_F(MessageQueue, ManyThreadsLoseAndInventNothing) {
    constexpr int writers = 4, readers = 4, per_writer = 4000;
    std::atomic<int> taken{0};
    std::vector<std::vector<intptr_t>> seen(readers);
    std::vector<std::thread> threads;
    for (int r = 0; r < readers; ++r) {
        threads.emplace_back([&, r] {
            const int timeouts[] = {0, 1, 3, 0, 2};
            for (int i = 0; taken.load() < writers * per_writer; ++i) {
                void* p = UTL_message_queue_read(q, timeouts[(i + r) % 5]);
                if (!p) continue;
                seen[r].push_back(as_int(p));
                taken.fetch_add(1);
            }
        });
    }
    for (int w = 0; w < writers; ++w) {
        threads.emplace_back([&, w] {
            for (int i = 0; i < per_writer; i += 2) {
                void* pair[2] = {as_item(w * per_writer + i + 1), as_item(w * per_writer + i + 2)};
                if (i % 4 == 0) UTL_message_queue_multi_write(q, pair, 2, i % 8 == 0);
                else {
                    UTL_message_queue_write(q, pair[0]);
                    UTL_message_queue_write(q, pair[1]);
                }
            }
        });
    }
    for (auto& t : threads) t.join();
    std::set<intptr_t> all;
    size_t total = 0;
    for (const auto& s : seen) {
        all.insert(s.begin(), s.end());
        total += s.size();
    }
    EXPECT_EQ(total, size_t{writers * per_writer});
    EXPECT_EQ(all.size(), size_t{writers * per_writer});
    EXPECT_EQ(*all.begin(), 1);
    EXPECT_EQ(*all.rbegin(), writers * per_writer);
    EXPECT_EQ(q->available->count.load(), 0);
    EXPECT_TRUE(q->items.empty());
}

TEST(Semaphore, ManyThreadsRacingTimeoutsKeepTheCount) {
    UTL_semaphore* s = nullptr;
    ASSERT_EQ(UTL_semaphore_create(&s, 0), 0);
    constexpr int producers = 4, per_producer = 5000;
    std::atomic<int> taken{0};
    std::atomic<bool> producing{true};
    std::vector<std::thread> threads;
    for (int c = 0; c < 4; ++c) {
        threads.emplace_back([&, c] {
            while (producing.load() || taken.load() < producers * per_producer) {
                if (UTL_semaphore_dec(s, c == 0 ? 0 : c)) taken.fetch_add(1);
                if (!producing.load() && s->count.load() <= 0) break;
            }
        });
    }
    std::vector<std::thread> prod;
    for (int p = 0; p < producers; ++p)
        prod.emplace_back([&] {
            for (int i = 0; i < per_producer; ++i) UTL_semaphore_inc(s);
        });
    for (auto& t : prod) t.join();
    producing.store(false);
    for (auto& t : threads) t.join();
    // Whatever the readers left behind is still there, and nothing more.
    int left = 0;
    while (UTL_semaphore_dec(s, 0)) ++left;
    EXPECT_EQ(taken.load() + left, producers * per_producer);
    EXPECT_EQ(s->count.load(), 0);
    UTL_semaphore_destroy(s);
}

struct SemaphoreFaults : ::testing::Test {
    ~SemaphoreFaults() override {
        platform::semaphore_fail_creates_for_test(0);
        platform::semaphore_fail_waits_for_test(0, 0);
    }
};

TEST_F(SemaphoreFaults, FailedCreationIsReportedAndLeavesNothing) {
    platform::semaphore_fail_creates_for_test(EINVAL);
    UTL_semaphore* s = reinterpret_cast<UTL_semaphore*>(1);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(UTL_semaphore_create(&s, 0), EINVAL);
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(UTL_message_queue_create<void*>(), nullptr);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "create: 22\ncreate: 22\n");
}

TEST_F(SemaphoreFaults, PersistentWaitErrorFailsInsteadOfSpinning) {
    UTL_semaphore* s = nullptr;
    ASSERT_EQ(UTL_semaphore_create(&s, 0), 0);
    platform::semaphore_fail_waits_for_test(EINVAL, -1);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(UTL_semaphore_dec(s, -1), 0);
    EXPECT_EQ(UTL_semaphore_dec(s, 30), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "semaphore_wait: 22\nsemaphore_wait: 22\n");
    EXPECT_EQ(s->count.load(), 0) << "a failed waiter must withdraw its claim";
    platform::semaphore_fail_waits_for_test(0, 0);
    UTL_semaphore_inc(s);
    EXPECT_EQ(UTL_semaphore_dec(s, 0), 1);
    UTL_semaphore_destroy(s);
}

TEST_F(SemaphoreFaults, InterruptedWaitsResumeQuietly) {
    UTL_semaphore* s = nullptr;
    ASSERT_EQ(UTL_semaphore_create(&s, 0), 0);
    ::testing::internal::CaptureStdout();
    platform::semaphore_fail_waits_for_test(EINTR, 3);
    int got = -1;
    std::thread waiter([&] { got = UTL_semaphore_dec(s, -1); });
    while (s->count.load() != -1) std::this_thread::yield();
    UTL_semaphore_inc(s);
    waiter.join();
    EXPECT_EQ(got, 1);

    platform::semaphore_fail_waits_for_test(EINTR, 2);
    EXPECT_EQ(UTL_semaphore_dec(s, 10), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(s->count.load(), 0);
    UTL_semaphore_destroy(s);
}

TEST(Thread, JoinReturnsTheExitValue) {
    UTL_thread_t t{}, h2{}, h3{};
    UTL_thread_create([](void* arg) -> void* { UTL_thread_exit(static_cast<char*>(arg) + 1); }, as_item(41), &t, &h2,
                      &h3);
    EXPECT_TRUE(pthread_equal(t, h2) && pthread_equal(t, h3));
    EXPECT_EQ(as_int(UTL_thread_join(&t, &h2)), 42);
    EXPECT_GE(UTL_count_processors(), 1);
}

}  // namespace
