#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <thread>

#include "core/ConfigService.hpp"
#include "platform/ManualRunLoop.hpp"
#include "platform/SerialQueue.hpp"
#include "services/ServiceFakes.hpp"
#include "state/TimerService.hpp"
#include "support/Patience.hpp"

namespace mvk {
namespace {

using std::chrono::milliseconds;

// The main loop creates timers on its thread while the income queue starts
// and stops them on another; whatever the interleaving, a stop is final.
TEST(ServicesConcurrencyTest, StopRacingQueuedTimerCreationLeavesNoTimer) {
    auto clock = std::make_shared<ManualClock>();
    auto loop = std::make_shared<ManualRunLoop>(clock);
    auto state = std::make_shared<test::FakeStateManager>();
    auto service = std::make_shared<TimerService>(state, loop);
    auto ticks = std::make_shared<std::atomic<int>>(0);
    service->setOnActivityTimerTick([ticks] { ++*ticks; });
    service->setOnRequestTimerTick([ticks] { ++*ticks; });

    std::atomic<bool> done{false};
    std::thread mainThread([&] {
        while (!done) {
            loop->runDueWork();
        }
    });
    SerialQueue income("test.income");
    for (int round = 0; round < 2'000; ++round) {
        income.addOperation([&service, round] {
            service->startTimers();
            if (round % 3 == 0) {
                service->resetRequestTimer();
            }
            service->stopTimers();
        });
    }
    ASSERT_TRUE(income.drain(test::drainLimit()));
    done = true;
    mainThread.join();

    loop->advance(milliseconds(86'400'000));
    EXPECT_EQ(ticks->load(), 0);
}

// Gateway-requested identification retries fire on the scheduler's thread and
// hop to the configuration queue while the income queue keeps asking for
// identifiers: one chain runs to its end, every other ask is refused, and the
// service can go while work is in flight.
TEST(ServicesConcurrencyTest, IdentificationRetriesRaceFurtherRequests) {
    SerialQueue income("test.income");
    SerialQueue config("test.config");
    auto clock = std::make_shared<ManualClock>();
    auto scheduler = std::make_shared<ManualRunLoop>(clock);
    auto state = std::make_shared<test::FakeStateManager>();
    auto backend = std::make_shared<test::FakeBackend>();
    for (int i = 0; i < 5; ++i) {
        backend->scriptIdentification(BackendIdentifiers::retryAfter(1'000));
    }
    SummaryBackendData summary;
    summary.userIdentifications.morvanixId = 9;
    backend->scriptIdentification(BackendIdentifiers::identifiers(summary));
    for (int i = 0; i < 500; ++i) {
        backend->scriptIdentification(BackendIdentifiers::doNotRetry());
    }
    auto service =
        std::make_shared<ConfigService>(state, std::make_shared<test::FakeABTestManager>(), nullptr,
                                        nullptr, backend, income, config, scheduler);
    std::promise<void> identified;
    std::atomic<int> announced{0};
    service->setOnIdentifiersUpdate([&](auto) {
        if (++announced == 1) {
            identified.set_value();
        }
    });

    std::atomic<bool> done{false};
    std::thread schedulerThread([&] {
        while (!done) {
            clock->advance(50);
            scheduler->runDueWork();
            std::this_thread::yield();
        }
    });
    for (int round = 0; round < 300; ++round) {
        income.addOperation([&service] { service->receiveUserBackendIds(); });
    }
    ASSERT_EQ(identified.get_future().wait_for(test::patience(std::chrono::seconds(60))),
              std::future_status::ready);
    income.addOperation([&service] { service.reset(); });
    ASSERT_TRUE(income.drain(test::drainLimit()));
    ASSERT_TRUE(config.drain(test::drainLimit()));
    done = true;
    schedulerThread.join();

    EXPECT_EQ(announced.load(), 1);
    const auto requests = backend->identificationRequests();
    ASSERT_GE(requests.size(), 6u);
    for (std::int64_t attempt = 1; attempt <= 6; ++attempt) {
        EXPECT_EQ(requests[attempt - 1].attempt, attempt);
    }
}

}  // namespace
}  // namespace mvk
