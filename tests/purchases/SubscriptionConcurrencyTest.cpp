#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/ManualRunLoop.hpp"
#include "platform/SerialQueue.hpp"
#include "purchases/SubscriptionService.hpp"
#include "services/ServiceFakes.hpp"
#include "support/FakeStore.hpp"
#include "support/Patience.hpp"

namespace mvk {
namespace {

using test::FakeStore;

// The store answers and fails from its own threads while the income queue
// releases and rebuilds the service and a scheduler thread fires retries: an
// answer or retry of a released service finds nobody, and every retry still
// waiting goes with its service.
TEST(SubscriptionConcurrencyTest, StoreAnswersRacingTheServicesReleaseRunNothingAfterIt) {
    constexpr int rounds = 150;
    SerialQueue income("test.income");
    auto clock = std::make_shared<ManualClock>();
    auto scheduler = std::make_shared<ManualRunLoop>(clock);
    auto state = std::make_shared<test::FakeStateManager>();
    auto store = std::make_shared<FakeStore>();
    for (int round = 0; round < rounds; ++round) {
        if (round % 3 == 0) {
            store->scriptFailure("offline", FakeStore::Delivery::ownThread);
        } else {
            store->scriptProducts({test::storeProduct("gold", 4.99)},
                                  FakeStore::Delivery::ownThread);
        }
    }

    std::atomic<bool> done{false};
    std::thread schedulerThread([&] {
        while (!done) {
            clock->advance(30'000);
            scheduler->runDueWork();
            std::this_thread::yield();
        }
    });

    // Touched on the income queue only.
    std::shared_ptr<SubscriptionService> service;
    int generation = -1;
    int late = 0;
    const auto build = [&](int round, const std::shared_ptr<FakeStore>& from,
                           std::function<void()> onAnswer) {
        service = std::make_shared<SubscriptionService>(state, nullptr, from, income, scheduler);
        generation = round;
        service->setProductList({"gold"});
        service->requestUserProducts([&, round, onAnswer](auto) {
            if (generation != round) {
                ++late;
            }
            if (onAnswer) {
                onAnswer();
            }
        });
    };
    for (int round = 0; round < rounds; ++round) {
        income.addOperation([&, round] { build(round, store, nullptr); });
        if (round % 2 == 0) {
            income.addOperation([&] {
                service.reset();
                generation = -1;
            });
        }
    }
    // One service that stays until its store has answered it; a store of its
    // own, since retries of the others take scripts from theirs.
    std::promise<void> answered;
    auto lastStore = std::make_shared<FakeStore>();
    lastStore->scriptProducts({test::storeProduct("gold", 4.99)}, FakeStore::Delivery::ownThread);
    income.addOperation([&] {
        build(rounds, lastStore, [&answered, once = std::make_shared<std::once_flag>()] {
            std::call_once(*once, [&] { answered.set_value(); });
        });
    });
    ASSERT_EQ(answered.get_future().wait_for(test::patience(std::chrono::seconds(60))),
              std::future_status::ready);
    income.addOperation([&] {
        service.reset();
        generation = -1;
    });
    ASSERT_TRUE(income.drain(test::drainLimit()));
    done = true;
    schedulerThread.join();
    store->join();
    lastStore->join();
    ASSERT_TRUE(income.drain(test::drainLimit()));

    EXPECT_EQ(late, 0);
    EXPECT_EQ(scheduler->pendingWorkCount(), 0u);
}

}  // namespace
}  // namespace mvk
