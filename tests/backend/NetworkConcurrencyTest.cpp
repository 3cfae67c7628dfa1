#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

#include "backend/Network.hpp"
#include "platform/URLSessionSettings.hpp"
#include "support/GatewayFixture.hpp"
#include "support/TestRequestContent.hpp"

namespace mvk {
namespace {

using gateway::ScriptedAnswer;
using namespace std::chrono_literals;

TEST(NetworkConcurrencyTest, ThreadsSendAtOnceAndEveryAnswerReachesItsSender) {
    test::GatewayFixture fixture;
    fixture.gateway().setAnswer("/v2/ok", ScriptedAnswer::json(200, R"({"path":"ok"})"));
    fixture.gateway().setAnswer("/v2/fail", ScriptedAnswer::json(500, R"({"path":"fail"})"));
    constexpr int threads = 8;
    constexpr int perThread = 12;

    // The shared network and the settings are read by every sender while
    // another thread keeps rewriting the settings.
    Network network;
    std::atomic<bool> sending{true};
    std::thread settingsWriter([&] {
        while (sending) {
            URLSessionSettings::setMaxResponseBytes(URLSessionSettings::defaultMaxResponseBytes);
            URLSessionSettings::setSilentTimeout(30s);
            URLSessionSettings::setSilentTimeout(std::nullopt);
        }
    });

    std::atomic<int> wrongAnswers{0};
    std::vector<std::thread> senders;
    for (int t = 0; t < threads; ++t) {
        senders.emplace_back([&, t] {
            for (int i = 0; i < perThread; ++i) {
                const bool ok = (t + i) % 2 == 0;
                auto builder = network.post(fixture.url(ok ? "/v2/ok" : "/v2/fail"));
                builder->setQueryParam("sender", std::to_string(t));
                builder->setContent(std::make_shared<test::TestRequestContent>(
                    nlohmann::ordered_json{{"thread", t}, {"index", i}}, HeaderMap{},
                    HeaderMap{{"DeviceId", "d" + std::to_string(t)}}));
                auto response = builder->build()->send();
                const bool right =
                    response.statusCode == (ok ? 200 : 500) && !response.error &&
                    response.data == (ok ? R"({"path":"ok"})" : R"({"path":"fail"})");
                if (!right) {
                    ++wrongAnswers;
                }
            }
        });
    }
    for (auto& sender : senders) {
        sender.join();
    }
    sending = false;
    settingsWriter.join();

    EXPECT_EQ(wrongAnswers, 0);
    auto requests = fixture.gateway().requests();
    ASSERT_EQ(requests.size(), static_cast<std::size_t>(threads * perThread));
    std::set<std::string> bodies;
    for (const auto& request : requests) {
        auto body = nlohmann::json::parse(request.body, nullptr, false);
        ASSERT_TRUE(body.is_object()) << request.body;
        // Each request carries its own sender's identity in query and header.
        const auto sender = std::to_string(body["thread"].get<int>());
        EXPECT_EQ(request.queryValue("sender"), sender);
        EXPECT_EQ(request.header("DeviceId"), "d" + sender);
        bodies.insert(request.body);
    }
    EXPECT_EQ(bodies.size(), requests.size());
}

}  // namespace
}  // namespace mvk
