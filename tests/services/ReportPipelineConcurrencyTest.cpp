#include <gtest/gtest.h>

#include <chrono>

#include "services/PipelineHarness.hpp"
#include "support/Patience.hpp"

namespace mvk::test {
namespace {

using namespace std::chrono_literals;

// Events are stored on the income queue while a pass waits on the network
// queue and flash events go out on their own queue.
TEST_F(PipelineTest, StoringWhileAPassWaitsAndFlashEventsLeave) {
    store(1, *state->user);
    auto slow = gateway::ScriptedAnswer::json(200, "{}");
    slow.delay = 300ms;
    gateway.gateway().enqueueAnswer(reportPath, slow);
    onIncome([&] { reportService->sendBufferedEvents(); });
    ASSERT_TRUE(gateway.gateway().waitForRequests(reportPath, 1, test::patience(5s)));
    for (int round = 0; round < 20; ++round) {
        QueueManager::incomeQueue().queue().addOperation([&] {
            eventsService->addEvent(TestEvent("ce", R"({"code":"ce"})"));
            reportService->sendFlashEvent(TestEvent("al", R"({"code":"al"})"));
        });
    }
    onIncome([&] { reportService->sendBufferedEvents(); });
    settle();
    onIncome([&] { reportService->sendBufferedEvents(); });
    settle();
    EXPECT_TRUE(storedEvents().empty());
    EXPECT_TRUE(storedReports().empty());
    std::size_t flashes = 0;
    std::size_t events = 0;
    for (const auto& request : sent()) {
        for (const auto& package : packagesOf(request)) {
            for (const auto& event : package["events"]) {
                (event["code"] == "al" ? flashes : events) += 1;
            }
        }
    }
    EXPECT_EQ(flashes, 20u);
    EXPECT_EQ(events, 21u);
}

}  // namespace
}  // namespace mvk::test
