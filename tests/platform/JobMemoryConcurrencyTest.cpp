#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/JobMemory.hpp"

namespace mvk {
namespace {

/// Hosts cut jobs far ahead of the thread releasing them, so their slabs grow
/// and come back while others are still cut: no job may overlap another, and
/// each keeps what its host wrote until it is released.
TEST(JobMemoryConcurrency, JobsCutAheadOfTheirReleaseStayWhole) {
    constexpr int hosts = 4;
    constexpr int jobsPerHost = 6000;
    struct Cut {
        unsigned char* memory;
        std::size_t size;
        unsigned char mark;
    };
    std::mutex mutex;
    std::deque<Cut> waiting;
    std::atomic<int> hostsDone{0};
    std::atomic<int> damaged{0};

    const auto releaseOne = [&](const Cut& cut) {
        for (std::size_t at = 0; at < cut.size; ++at) {
            if (cut.memory[at] != cut.mark) {
                ++damaged;
                break;
            }
        }
        JobMemory::release(cut.memory);
    };

    std::vector<std::thread> threads;
    for (int host = 0; host < hosts; ++host) {
        threads.emplace_back([&, host] {
            for (int n = 0; n < jobsPerHost; ++n) {
                // Mostly small jobs, now and then one past the slab's limit.
                const std::size_t size = n % 97 == 0 ? 3000 : 16 + (n * 37 + host) % 900;
                auto* memory = static_cast<unsigned char*>(JobMemory::allocate(size));
                const auto mark = static_cast<unsigned char>(n * 7 + host);
                std::memset(memory, mark, size);
                std::lock_guard lock(mutex);
                waiting.push_back({memory, size, mark});
            }
            ++hostsDone;
        });
    }
    // The releasing thread runs behind: it starts only once a backlog is there.
    std::thread releaser([&] {
        for (;;) {
            Cut cut{};
            {
                std::lock_guard lock(mutex);
                if (waiting.size() < 2000 && hostsDone.load() < hosts) {
                    continue;
                }
                if (waiting.empty()) {
                    return;
                }
                cut = waiting.front();
                waiting.pop_front();
            }
            releaseOne(cut);
        }
    });
    for (auto& thread : threads) {
        thread.join();
    }
    releaser.join();
    EXPECT_EQ(damaged.load(), 0);
}

}  // namespace
}  // namespace mvk
