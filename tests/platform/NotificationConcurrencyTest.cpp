#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
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

TEST(NotificationConcurrencyTest, RemovingWaitsForTheCallUnderWayOnAnotherThread) {
    NotificationCenter center;
    std::promise<void> entered;
    std::mutex mutex;
    std::condition_variable changed;
    bool removeReturned = false;
    bool callEnded = false;
    const auto id = center.addObserver("n", [&] {
        entered.set_value();
        // Hold the call until the remover is past taking the observer out,
        // then give a remover that does not wait the time to return.
        while (center.observerCount() != 0) {
            std::this_thread::yield();
        }
        std::unique_lock lock(mutex);
        changed.wait_for(lock, std::chrono::milliseconds(200), [&] { return removeReturned; });
        callEnded = true;
    });
    std::thread poster([&] { center.post("n"); });
    entered.get_future().wait();

    center.removeObserver(id);
    {
        std::lock_guard lock(mutex);
        EXPECT_TRUE(callEnded) << "removeObserver returned while the call ran";
        removeReturned = true;
    }
    changed.notify_all();
    poster.join();
}

TEST(NotificationConcurrencyTest, AnObserverRemovingItselfIsNotWaitedFor) {
    NotificationCenter center;
    std::atomic<int> calls{0};
    NotificationCenter::ObserverId self = 0;
    self = center.addObserver("n", [&] {
        ++calls;
        center.removeObserver(self);
    });
    // An observer removing another whose call is below it on the stack.
    NotificationCenter::ObserverId outer = 0;
    outer = center.addObserver("outer", [&] {
        center.post("inner");
        ++calls;
    });
    center.addObserver("inner", [&] { center.removeObserver(outer); });

    for (const char* name : {"n", "n", "outer", "outer"}) {
        center.post(name);
    }
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(center.observerCount(), 1u);
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
