#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <nlohmann/json.hpp>
#include <thread>

#include "gateway/CannedAnswers.hpp"
#include "platform/CurlURLSession.hpp"
#include "support/GatewayFixture.hpp"
#include "support/Patience.hpp"

namespace mvk {
namespace {

using gateway::ScriptedAnswer;
using test::GatewayFixture;
using namespace std::chrono_literals;

struct Answer {
    std::int64_t status = 0;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
};

Answer send(URLRequest request) {
    Answer answer;
    auto task = CurlURLSession::shared()->dataTaskWithRequest(
        std::move(request), [&](std::optional<std::string> data,
                                std::optional<HTTPURLResponse> response, std::optional<MVKError>) {
            if (response) {
                answer.status = response->statusCode;
                answer.headers = response->headers;
            }
            answer.body = data.value_or("");
        });
    task->resume();
    return answer;
}

Answer post(const std::string& url, std::string body = "{}") {
    URLRequest request;
    request.url = url;
    request.httpMethod = "POST";
    request.body = std::move(body);
    return send(std::move(request));
}

TEST(GatewayTest, QueuedAnswersComeFirstThenTheStandingOneThenTheDefault) {
    GatewayFixture fixture;
    auto& gateway = fixture.gateway();
    gateway.setDefaultAnswer(ScriptedAnswer::json(418, "default"));
    gateway.setAnswer("/a", ScriptedAnswer::json(200, "standing"));
    gateway.enqueueAnswer("/a", ScriptedAnswer::json(500, "first"));
    gateway.enqueueAnswer("/a", ScriptedAnswer::json(202, "second"));

    const std::pair<std::string, std::pair<int, std::string>> expected[] = {
        {"/a", {500, "first"}},    {"/a?x=1", {202, "second"}}, {"/a", {200, "standing"}},
        {"/a", {200, "standing"}}, {"/b", {418, "default"}},
    };
    for (const auto& [path, answer] : expected) {
        auto got = post(fixture.url(path));
        EXPECT_EQ(got.status, answer.first) << path;
        EXPECT_EQ(got.body, answer.second) << path;
    }

    gateway.clearAnswers();
    auto got = post(fixture.url("/a"));
    EXPECT_EQ(got.status, 200);
    EXPECT_EQ(got.body, "{}");
}

TEST(GatewayTest, ScriptedHeadersReachTheClient) {
    GatewayFixture fixture;
    auto answer = ScriptedAnswer::json(200, "{}");
    answer.headers = {{"X-Answer", "yes"}};
    fixture.gateway().setAnswer("/h", answer);
    auto got = post(fixture.url("/h"));
    EXPECT_NE(std::find(got.headers.begin(), got.headers.end(),
                        std::pair<std::string, std::string>{"X-Answer", "yes"}),
              got.headers.end());
}

TEST(GatewayTest, RecordsEveryRequestWithDuplicateHeadersAndRawQuery) {
    GatewayFixture fixture;
    URLRequest request;
    request.url = fixture.url("/v2/x?appId=a%26b&empty=&flag");
    request.httpMethod = "PUT";
    request.body = "payload";
    request.addValue("1", "X-Dup");
    request.addValue("2", "X-Dup");
    request.addValue("text/plain", "accept");
    EXPECT_EQ(send(request).status, 200);

    auto recorded = fixture.gateway().requests("/v2/x");
    ASSERT_EQ(recorded.size(), 1u);
    const auto& r = recorded[0];
    EXPECT_EQ(r.method, "PUT");
    EXPECT_EQ(r.query, "appId=a%26b&empty=&flag");
    EXPECT_EQ(r.queryValue("appId"), "a&b");
    EXPECT_EQ(r.queryValue("empty"), "");
    EXPECT_EQ(r.queryValue("flag"), "");
    EXPECT_FALSE(r.queryValue("missing").has_value());
    EXPECT_EQ(r.body, "payload");
    EXPECT_EQ(r.headerCount("x-dup"), 2u);
    EXPECT_EQ(r.header("X-DUP"), "1");
    EXPECT_EQ(r.headerCount("Accept"), 1u);
    EXPECT_EQ(r.header("Accept"), "text/plain");
    EXPECT_GT(r.receivedAtMillis, 0);

    fixture.gateway().clearRequests();
    EXPECT_TRUE(fixture.gateway().requests().empty());
}

TEST(GatewayTest, WaitForRequestsAndObserver) {
    GatewayFixture fixture;
    std::atomic<int> observed{0};
    fixture.gateway().setRequestObserver([&](const gateway::RecordedRequest&) { ++observed; });
    std::thread sender([&] {
        post(fixture.url("/w"));
        post(fixture.url("/w"));
    });
    EXPECT_TRUE(fixture.gateway().waitForRequests("/w", 2, test::patience(30s)));
    sender.join();
    EXPECT_EQ(observed, 2);
    EXPECT_FALSE(fixture.gateway().waitForRequests("/w", 3, 0ms));
    EXPECT_FALSE(fixture.gateway().waitForRequests("/other", 1, 0ms));
}

TEST(GatewayTest, StopEndsADelayedAnswer) {
    GatewayFixture fixture;
    auto slow = ScriptedAnswer::json(200, "late");
    slow.delay = 1h;
    fixture.gateway().setAnswer("/slow", slow);
    std::thread sender([&] { post(fixture.url("/slow")); });
    ASSERT_TRUE(fixture.gateway().waitForRequests("/slow", 1, test::patience(30s)));
    fixture.gateway().stop();
    sender.join();
}

TEST(GatewayTest, CannedAnswersCoverTheSevenEndpointsWithJsonObjects) {
    const auto answers = gateway::cannedAnswers();
    const char* paths[] = {"/v2/analytics/config",  "/v2/analytics/identification",
                           "/v2/analytics/report",  "/v2/verify/payment",
                           "/v2/messaging/config",  "/v2/remoteconfig/experiments",
                           "/v2/remoteconfig/offer"};
    EXPECT_EQ(answers.size(), std::size(paths));
    for (const char* path : paths) {
        auto found = answers.find(path);
        ASSERT_NE(found, answers.end()) << path;
        EXPECT_EQ(found->second.status, 200) << path;
        EXPECT_TRUE(nlohmann::json::parse(found->second.body, nullptr, false).is_object()) << path;
    }
}

}  // namespace
}  // namespace mvk
