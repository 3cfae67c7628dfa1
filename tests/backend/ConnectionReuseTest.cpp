#include <gtest/gtest.h>

#include <thread>

#include "backend/Network.hpp"
#include "platform/URLSessionSettings.hpp"
#include "support/GatewayFixture.hpp"
#include "support/TestRequestContent.hpp"

namespace mvk {
namespace {

using gateway::ScriptedAnswer;
using test::GatewayFixture;
using test::TestRequestContent;
using namespace std::chrono_literals;

Response post(const std::string& url, nlohmann::ordered_json body, HeaderMap headers = {}) {
    Network network;
    auto builder = network.post(url);
    builder->setContent(
        std::make_shared<TestRequestContent>(std::move(body), HeaderMap{}, std::move(headers)));
    return builder->build()->send();
}

/// Runs `work` on a thread of its own: the thread's kept handle, and with it
/// the open connection, is gone when the thread ends, so the gateway can stop
/// without waiting for the connection to idle out.
template <class Work>
void onOwnThread(Work work) {
    std::thread thread(work);
    thread.join();
}

// A kept handle must start every exchange clean: nothing of the last
// request's headers, body or target may carry over.
TEST(ConnectionReuseTest, KeptHandleCarriesNothingOverBetweenRequests) {
    GatewayFixture fixture;
    URLSessionSettings::setReuseConnections(true);
    onOwnThread([&] {
        for (int index = 0; index < 12; ++index) {
            SCOPED_TRACE(index);
            HeaderMap headers;
            if (index % 2 == 0) {
                headers["X-Even"] = std::to_string(index);
            }
            const std::string path = "/v2/r" + std::to_string(index % 3);
            auto response = post(fixture.url(path), {{"index", index}}, headers);
            EXPECT_EQ(response.statusCode, 200);
            auto requests = fixture.gateway().requests();
            ASSERT_EQ(requests.size(), static_cast<std::size_t>(index + 1));
            const auto& request = requests.back();
            EXPECT_EQ(request.path, path);
            EXPECT_EQ(request.body, R"({"index":)" + std::to_string(index) + "}");
            EXPECT_EQ(request.headerCount("X-Even"), index % 2 == 0 ? 1u : 0u);
            EXPECT_EQ(request.headerCount("Content-Length"), 1u);
        }
    });
}

TEST(ConnectionReuseTest, FailuresAndNewServersAreHandledLikeFreshHandles) {
    std::string firstUrl;
    {
        GatewayFixture first;
        URLSessionSettings::setReuseConnections(true);
        firstUrl = first.url("/v2/x");
        onOwnThread([&] {
            EXPECT_EQ(post(firstUrl, {}).statusCode, 200);
            URLSessionSettings::setSilentTimeout(200ms);
            ScriptedAnswer silent = ScriptedAnswer::json(200, "{}");
            silent.delay = 60s;
            first.gateway().enqueueAnswer("/v2/x", silent);
            auto timedOut = post(firstUrl, {});
            EXPECT_EQ(timedOut.statusCode, 400);
            EXPECT_TRUE(timedOut.error);
            URLSessionSettings::setSilentTimeout(std::nullopt);
            EXPECT_EQ(post(firstUrl, {}).statusCode, 200);
        });
    }

    GatewayFixture second;
    URLSessionSettings::setReuseConnections(true);
    std::string holdingUrl;
    gateway::Gateway third;
    onOwnThread([&] {
        // The kept handle still holds a connection to `third` when the trust
        // setting moves on to `second`: a different server and certificate
        // must get a connection of their own, and the stopped one none.
        URLSessionSettings::setCaPem(third.caPem());
        EXPECT_EQ(post(third.url("/v2/z"), {}).statusCode, 200);
        URLSessionSettings::setCaPem(second.gateway().caPem());
        EXPECT_EQ(post(second.url("/v2/y"), {}).statusCode, 200);
        EXPECT_EQ(second.gateway().requests("/v2/y").size(), 1u);
        auto otherTrust = post(third.url("/v2/z"), {});
        EXPECT_EQ(otherTrust.statusCode, 400) << "a connection made under another trust setting";
        auto refused = post(firstUrl, {});
        EXPECT_EQ(refused.statusCode, 400);
        EXPECT_TRUE(refused.error);
    });
}

}  // namespace
}  // namespace mvk
