#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "backend/BackendConfigUrl.hpp"
#include "platform/URLSessionSettings.hpp"
#include "support/BackendGatewayFixture.hpp"

namespace mvk {
namespace {

using test::BackendGatewayFixture;

class BackendConcurrencyTest : public ::testing::TestWithParam<bool> {};

// The host may switch the test addresses from its own thread while the queues
// send; every request must still go to one whole address, old or new.
TEST_P(BackendConcurrencyTest, TestAddressesChangeWhileRequestsAreSent) {
    BackendGatewayFixture fixture;
    URLSessionSettings::setReuseConnections(GetParam());
    const std::string proxy = fixture.gateway().baseUrl();
    std::atomic<bool> done{false};
    std::thread host([&] {
        for (int round = 0; !done.load(); ++round) {
            BackendConfigUrl::setTestCustomUrl(round % 2 == 0 ? "/a" : "/b");
            BackendConfigUrl::setTestProxyUrl(proxy);
            std::this_thread::yield();
        }
    });

    constexpr int senders = 3;
    constexpr int requestsEach = 10;
    std::atomic<int> accepted{0};
    std::vector<std::thread> threads;
    for (int sender = 0; sender < senders; ++sender) {
        threads.emplace_back([&] {
            for (int i = 0; i < requestsEach; ++i) {
                auto result = fixture.backend().sendAnalytics("key", {.deviceId = "dev"}, {});
                accepted += result.isSuccess() ? 1 : 0;
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    done = true;
    host.join();

    EXPECT_EQ(accepted.load(), senders * requestsEach);
    auto requests = fixture.gateway().requests();
    ASSERT_EQ(requests.size(), static_cast<std::size_t>(senders * requestsEach));
    for (const auto& request : requests) {
        EXPECT_TRUE(request.path == "/v2/analytics/report" ||
                    request.path == "/a/v2/analytics/report" ||
                    request.path == "/b/v2/analytics/report")
            << request.path;
    }
}

INSTANTIATE_TEST_SUITE_P(FreshAndKeptConnections, BackendConcurrencyTest, ::testing::Bool());

}  // namespace
}  // namespace mvk
