#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>

#include "backend/Network.hpp"
#include "support/LogCapture.hpp"
#include "support/TestRequestContent.hpp"

namespace mvk {
namespace {

using test::LogCapture;
using test::TestRequestContent;

/// Records the requests it is handed and finishes each task with a fixed
/// outcome, on a thread of its own when asked to.
class FakeSession : public URLSessionProtocol {
  public:
    struct Outcome {
        std::optional<std::string> data;
        std::optional<HTTPURLResponse> response;
        std::optional<MVKError> error;
    };

    explicit FakeSession(Outcome outcome, bool completeOnOtherThread = false)
        : outcome_(std::move(outcome)), otherThread_(completeOnOtherThread) {}

    std::unique_ptr<URLSessionDataTaskProtocol> dataTaskWithRequest(
        URLRequest request, Completion completion) override {
        requests.push_back(request);
        return std::make_unique<Task>(outcome_, std::move(completion), otherThread_);
    }

    std::vector<URLRequest> requests;

  private:
    class Task : public URLSessionDataTaskProtocol {
      public:
        Task(Outcome outcome, Completion completion, bool otherThread)
            : outcome_(std::move(outcome)),
              completion_(std::move(completion)),
              otherThread_(otherThread) {}
        ~Task() override {
            if (worker_.joinable()) {
                worker_.join();
            }
        }
        void resume() override {
            auto run = [this] { completion_(outcome_.data, outcome_.response, outcome_.error); };
            if (otherThread_) {
                worker_ = std::thread(run);
            } else {
                run();
            }
        }

      private:
        Outcome outcome_;
        Completion completion_;
        bool otherThread_;
        std::thread worker_;
    };

    Outcome outcome_;
    bool otherThread_;
};

FakeSession::Outcome httpAnswer(std::int64_t status, std::string body) {
    return {std::move(body), HTTPURLResponse{status, {}}, std::nullopt};
}

Response sendPost(const std::shared_ptr<URLSessionProtocol>& session, const std::string& host,
                  std::shared_ptr<RequestContentProtocol> content,
                  std::optional<std::string> identifier = std::nullopt) {
    Network network(session);
    auto builder = network.post(host);
    builder->setQueryParam("appId", "key");
    builder->setContent(std::move(content));
    builder->setRequestIdentifier(std::move(identifier));
    return builder->build()->send();
}

TEST(PlatformRequestTest, BuildWithoutContentFails) {
    Network network(std::make_shared<FakeSession>(httpAnswer(200, "")));
    auto builder = network.post("https://gw.test/v2/x");
    try {
        builder->build();
        FAIL() << "build() without content must fail";
    } catch (const MVKError& error) {
        EXPECT_EQ(error.description(), "[Network Module] requestContent is nil");
    }
}

TEST(PlatformRequestTest, SessionGetsMethodUrlBodyAndHeadersInOrder) {
    auto session = std::make_shared<FakeSession>(httpAnswer(200, "{}"));
    // "\u00e9" is two bytes in UTF-8: the length counts bytes.
    auto content = std::make_shared<TestRequestContent>(
        nlohmann::ordered_json{{"name", "\u00e9"}, {"n", 1}}, HeaderMap{{"DeviceId", "dev"}},
        HeaderMap{{"X-Id-Encoding", "base64"}, {"DeviceId", "ZGV2"}, {"A-First", "1"}});
    auto response = sendPost(session, "https://gw.test/v2/analytics/config", content);

    EXPECT_EQ(response.statusCode, 200);
    ASSERT_EQ(session->requests.size(), 1u);
    const auto& request = session->requests[0];
    EXPECT_EQ(request.httpMethod, "POST");
    EXPECT_EQ(request.url, "https://gw.test/v2/analytics/config?appId=key");
    EXPECT_EQ(request.body, R"({"name":"é","n":1})");
    EXPECT_EQ(request.timeoutInterval, 60.0);
    EXPECT_EQ(request.cachePolicy, 0);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Content-Length", "19"}, {"Content-Type", "application/json"}, {"A-First", "1"},
        {"DeviceId", "ZGV2"},     {"X-Id-Encoding", "base64"},
    };
    EXPECT_EQ(request.headers, expected);
}

TEST(PlatformRequestTest, GetBuilderSendsGet) {
    auto session = std::make_shared<FakeSession>(httpAnswer(200, ""));
    Network network(session);
    auto builder = network.get("https://gw.test/x");
    builder->setContent(std::make_shared<TestRequestContent>(nlohmann::ordered_json::object()));
    builder->build()->send();
    ASSERT_EQ(session->requests.size(), 1u);
    EXPECT_EQ(session->requests[0].httpMethod, "GET");
    EXPECT_EQ(session->requests[0].body, "{}");
}

TEST(PlatformRequestTest, InvalidUrlAnswers400WithoutSendingAndSaysWhichUrl) {
    LogCapture log(MVKLogLevel::debug);
    auto session = std::make_shared<FakeSession>(httpAnswer(200, "{}"));
    auto response = sendPost(session, "https://gw test/v2/x",
                             std::make_shared<TestRequestContent>(nlohmann::ordered_json{}));
    EXPECT_EQ(response.statusCode, 400);
    EXPECT_FALSE(response.data.has_value());
    EXPECT_FALSE(response.error.has_value());
    EXPECT_TRUE(session->requests.empty());
    EXPECT_EQ(log.messages(),
              std::vector<std::string>{"ERROR [Network Module] The request to "
                                       "https://gw test/v2/x?appId=key got no answer: "
                                       "The URL is not valid"});
}

TEST(PlatformRequestTest, ObjectThatCannotBeEncodedFailsBeforeSending) {
    LogCapture log(MVKLogLevel::debug);
    auto session = std::make_shared<FakeSession>(httpAnswer(200, "{}"));
    for (double bad : {std::nan(""), std::numeric_limits<double>::infinity()}) {
        auto content =
            std::make_shared<TestRequestContent>(nlohmann::ordered_json{{"list", {1.0, bad}}});
        try {
            sendPost(session, "https://gw.test/x", content);
            FAIL() << "an unencodable body must fail";
        } catch (const MVKError& error) {
            EXPECT_EQ(error.description(), "getContent Error");
        }
    }
    EXPECT_TRUE(session->requests.empty());
    EXPECT_TRUE(log.messages().empty());
}

TEST(PlatformRequestTest, AnswerAndTransportFailurePassThrough) {
    struct Case {
        const char* name;
        FakeSession::Outcome outcome;
        bool otherThread;
        std::int64_t status;
        std::optional<std::string> data;
        std::optional<std::string> error;
    };
    const Case cases[] = {
        {"500 with body", httpAnswer(500, "oops"), false, 500, "oops", std::nullopt},
        {"completion on another thread", httpAnswer(202, R"({"retryAfter":1})"), true, 202,
         R"({"retryAfter":1})", std::nullopt},
        {"transport error keeps 400",
         {std::string("partial"), std::nullopt, MVKError("[Network Module] refused")},
         true,
         400,
         "partial",
         "[Network Module] refused"},
        {"no HTTP answer and no error",
         {std::nullopt, std::nullopt, std::nullopt},
         false,
         400,
         std::nullopt,
         std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto session = std::make_shared<FakeSession>(c.outcome, c.otherThread);
        auto response = sendPost(session, "https://gw.test/x",
                                 std::make_shared<TestRequestContent>(nlohmann::ordered_json{}));
        EXPECT_EQ(response.statusCode, c.status);
        EXPECT_EQ(response.data, c.data);
        ASSERT_EQ(response.error.has_value(), c.error.has_value());
        if (c.error) {
            EXPECT_EQ(response.error->description(), *c.error);
        }
    }
}

TEST(PlatformRequestTest, SendLogListsBothHeaderSetsInKeyOrder) {
    auto content = std::make_shared<TestRequestContent>(
        nlohmann::ordered_json{{"b", 1}, {"a", "x"}}, HeaderMap{{"UserId", "u"}, {"DeviceId", "d"}},
        HeaderMap{{"X-Id-Encoding", "base64"}, {"UserId", "dQ=="}, {"DeviceId", "ZA=="}});
    const std::string commonHead =
        "[Network Module] \n"
        " Method: POST\n"
        " URL: https://gw.test/v2/analytics/report?appId=key\n"
        " Content-type: application/json\n"
        " Headers: \n"
        "\t\tDeviceId: d,\n"
        "\t\tUserId: u\n"
        " EncodedHeaders: \n"
        "\t\tDeviceId: ZA==,\n"
        "\t\tUserId: dQ==,\n"
        "\t\tX-Id-Encoding: base64\n"
        " ";
    const std::string body = " Content: {\n  \"b\": 1,\n  \"a\": \"x\"\n} \n";

    {
        LogCapture log(MVKLogLevel::debug);
        sendPost(std::make_shared<FakeSession>(httpAnswer(200, "")),
                 "https://gw.test/v2/analytics/report", content, "id-1, id-2");
        EXPECT_TRUE(
            log.contains(MVKLogLevel::debug, commonHead + "Content UUID: id-1, id-2 \n" + body));
    }
    {
        LogCapture log(MVKLogLevel::debug);
        sendPost(std::make_shared<FakeSession>(httpAnswer(200, "")),
                 "https://gw.test/v2/analytics/report", content);
        EXPECT_TRUE(log.contains(MVKLogLevel::debug, commonHead + body));
    }
    {
        LogCapture log(MVKLogLevel::info);
        auto session = std::make_shared<FakeSession>(httpAnswer(200, ""));
        sendPost(session, "https://gw.test/v2/analytics/report", content);
        EXPECT_TRUE(log.messages().empty());
        EXPECT_EQ(session->requests.size(), 1u);
    }
}

TEST(PlatformRequestTest, EmptyHeaderListsLogAsEmptyText) {
    LogCapture log(MVKLogLevel::debug);
    sendPost(std::make_shared<FakeSession>(httpAnswer(200, "")), "https://gw.test/x",
             std::make_shared<TestRequestContent>(nlohmann::ordered_json(nullptr)));
    EXPECT_TRUE(log.contains(MVKLogLevel::debug,
                             "[Network Module] \n Method: POST\n URL: https://gw.test/x?appId=key\n"
                             " Content-type: application/json\n Headers: \n\n EncodedHeaders: \n\n"
                             "  Content: null \n"));
}

}  // namespace
}  // namespace mvk
