#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "coreflow/LogicFlowFixture.hpp"
#include "mvk/MVKAnalytics.hpp"
#include "support/LogCapture.hpp"
#include "support/Patience.hpp"

namespace mvk::test {
namespace {

using namespace std::chrono_literals;

class AnalyticsReportFlow : public LogicFlow {};

/// Four host threads call at once; every report body the gateway received,
/// taken together, holds exactly the accepted calls, each thread's in its
/// call order, with their codes, names and parameters.
TEST_F(AnalyticsReportFlow, ReportsHoldTheCallsOfFourThreadsInEachThreadsOrder) {
    answerConfiguration(R"(,"exclude":{"version":1,"events":{"ce":["banned"],"tr":[9]}})");
    start();
    LogCapture log(MVKLogLevel::error);
    constexpr int threads = 4;
    constexpr int perThread = 15;
    std::vector<std::thread> hosts;
    for (int t = 0; t < threads; ++t) {
        hosts.emplace_back([t] {
            for (int i = 0; i < perThread; ++i) {
                MVKCustomEventParameters parameters;
                parameters.addInt("i", i);
                parameters.addString("thread", "t" + std::to_string(t));
                parameters.addDouble("ratio", 0.5);
                parameters.addBool("odd", i % 2 == 1);
                MVKAnalytics::customEvent("t" + std::to_string(t), parameters);
                if (i % 5 == 0) {
                    MVKAnalytics::customEvent("banned");  // excluded
                    MVKAnalytics::customEvent("");        // refused
                    MVKAnalytics::tutorial(9);            // excluded
                    MVKAnalytics::tutorial(-3);           // refused
                }
            }
            MVKAnalytics::tutorial(t + 1);
            MVKAnalytics::realCurrencyPayment("order-" + std::to_string(t), 0.99, "pack", "USD");
        });
    }
    for (auto& host : hosts) {
        host.join();
    }
    MVKAnalytics::sendBufferedEvents();
    settle();

    std::map<std::string, std::vector<std::int64_t>> order;
    for (const auto& event : sent("ce")) {
        const auto name = event.value("name", "");
        ASSERT_NE(name, "banned");
        ASSERT_EQ(name.size(), 2u) << name;
        const auto& parameters = event["parameters"];
        EXPECT_EQ(parameters.value("thread", ""), name);
        EXPECT_EQ(parameters.value("ratio", 0.0), 0.5);
        const auto i = parameters.value("i", std::int64_t{-1});
        EXPECT_EQ(parameters.value("odd", false), i % 2 == 1);
        order[name].push_back(i);
    }
    std::vector<std::int64_t> expected(perThread);
    for (int i = 0; i < perThread; ++i) {
        expected[static_cast<std::size_t>(i)] = i;
    }
    ASSERT_EQ(order.size(), static_cast<std::size_t>(threads));
    for (const auto& [name, indices] : order) {
        EXPECT_EQ(indices, expected) << name;
    }
    std::vector<std::int64_t> steps;
    for (const auto& event : sent("tr")) {
        steps.push_back(event.value("step", std::int64_t{0}));
    }
    std::sort(steps.begin(), steps.end());
    EXPECT_EQ(steps, (std::vector<std::int64_t>{1, 2, 3, 4}));
    EXPECT_EQ(sent("rp").size(), static_cast<std::size_t>(threads));
    EXPECT_TRUE(h.columnTexts("events", "eventJson").empty()) << "everything was sent";
    EXPECT_EQ(log.count(MVKLogLevel::error, "Execution of the Tutorial method was canceled!"),
              static_cast<std::size_t>(threads * 3));
}

/// A game keeps the income queue busy; a report the gateway has accepted is
/// deleted from the file at once all the same, so a kill cannot send it twice.
TEST_F(AnalyticsReportFlow, AnAcceptedReportLeavesTheFileWhileTheIncomeQueueIsBusy) {
    answerConfiguration("");
    start();
    for (int i = 0; i < 3; ++i) {
        MVKAnalytics::customEvent("busy");
    }
    settle();
    const auto reportsBefore = requestCount("/v2/analytics/report");
    std::promise<void> release;
    auto released = release.get_future().share();
    MVKAnalytics::sendBufferedEvents();
    // Behind the packing block: the queue is held as by a long burst of events.
    QueueManager::incomeQueue().queue().addOperation([released] { released.wait(); });

    ASSERT_TRUE(h.gateway().waitForRequests("/v2/analytics/report", reportsBefore + 1,
                                            test::patience(10s)));
    const bool gone =
        pollUntil([&] { return h.columnTexts("reports", "uuid").empty(); }, test::patience(10s));
    release.set_value();
    settle();
    EXPECT_TRUE(gone) << "the accepted report waited for the income queue";
    EXPECT_EQ(sent("ce").size(), 3u);
    EXPECT_TRUE(h.columnTexts("reports", "uuid").empty());
}

}  // namespace
}  // namespace mvk::test
