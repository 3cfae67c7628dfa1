#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "foundation/BriefLock.hpp"

namespace mvk {
namespace {

// How a caller takes the lock: the scoped guard, or `acquire` on a
// `std::unique_lock` as the queue's worker does before waiting on a condition.
enum class Taking { guard, uniqueLock };

struct ExclusionCase {
    const char* name;
    Taking taking;
    int threads;
};

class BriefLockExclusion : public testing::TestWithParam<ExclusionCase> {};

// A plain counter, so a lock that lets two threads in at once loses updates
// (and ThreadSanitizer reports the race).
TEST_P(BriefLockExclusion, EveryIncrementUnderTheLockIsKept) {
    const auto& param = GetParam();
    constexpr int increments = 20'000;
    std::mutex mutex;
    long counter = 0;
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < param.threads; ++t) {
        threads.emplace_back([&] {
            ++ready;
            while (ready.load() < param.threads) {
                std::this_thread::yield();
            }
            for (int n = 0; n < increments; ++n) {
                if (param.taking == Taking::guard) {
                    BriefLock lock(mutex);
                    ++counter;
                } else {
                    std::unique_lock lock(mutex, std::defer_lock);
                    BriefLock<std::mutex>::acquire(lock);
                    ASSERT_TRUE(lock.owns_lock());
                    ++counter;
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(counter, static_cast<long>(param.threads) * increments);
}

INSTANTIATE_TEST_SUITE_P(Takings, BriefLockExclusion,
                         testing::Values(ExclusionCase{"guardTwoThreads", Taking::guard, 2},
                                         ExclusionCase{"guardEightThreads", Taking::guard, 8},
                                         ExclusionCase{"uniqueLockEightThreads", Taking::uniqueLock,
                                                       8}),
                         [](const auto& info) { return std::string(info.param.name); });

// A holder that keeps the lock past the contender's retries: the contender
// falls back to waiting and enters only after the release.
TEST(BriefLockConcurrencyTest, LongHeldLockIsWaitedForNotEntered) {
    std::mutex mutex;
    std::atomic<bool> released{false};
    std::atomic<bool> contenderStarted{false};
    std::atomic<bool> sawRelease{false};
    std::unique_lock holder(mutex);
    std::thread contender([&] {
        contenderStarted = true;
        BriefLock lock(mutex);
        sawRelease = released.load();
    });
    while (!contenderStarted.load()) {
        std::this_thread::yield();
    }
    // Well past the contender's retries on any machine.
    for (int n = 0; n < 10'000; ++n) {
        std::this_thread::yield();
    }
    released = true;
    holder.unlock();
    contender.join();
    EXPECT_TRUE(sawRelease.load());
}

}  // namespace
}  // namespace mvk
