#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

#include "platform/NotificationCenter.hpp"

namespace mvk {
namespace {

TEST(NotificationConcurrencyTest, ObserverRemovedOnAnotherThreadDuringAPostIsNotCalled) {
    NotificationCenter center;
    std::promise<void> entered;
    std::promise<void> release;
    std::atomic<bool> laterCalled{false};
    center.addObserver("n", [&] {
        entered.set_value();
        release.get_future().wait();
    });
    auto later = center.addObserver("n", [&] { laterCalled = true; });
    std::thread poster([&] { center.post("n"); });
    entered.get_future().wait();
    center.removeObserver(later);  // does not wait for the post under way
    release.set_value();
    poster.join();
    EXPECT_FALSE(laterCalled);
}

TEST(NotificationConcurrencyTest, PostsAndRegistrationsFromManyThreads) {
    NotificationCenter center;
    std::atomic<int> calls{0};
    std::atomic<bool> stop{false};
    center.addObserver("n", [&] { ++calls; });
    std::thread churn([&] {
        while (!stop) {
            auto id = center.addObserver("n", [&] { ++calls; });
            center.removeObserver(id);
        }
    });
    std::vector<std::thread> posters;
    for (int t = 0; t < 4; ++t) {
        posters.emplace_back([&] {
            for (int i = 0; i < 500; ++i) {
                center.post("n");
            }
        });
    }
    for (auto& poster : posters) {
        poster.join();
    }
    stop = true;
    churn.join();
    EXPECT_GE(calls, 2000);
}

}  // namespace
}  // namespace mvk
