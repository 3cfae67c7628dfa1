#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <vector>

#include "backend/Network.hpp"
#include "backend/PercentEncoding.hpp"
#include "platform/ProcessExit.hpp"
#include "platform/URLSessionSettings.hpp"
#include "support/GatewayFixture.hpp"
#include "support/Patience.hpp"
#include "support/ScopedEnvironment.hpp"
#include "support/TempDir.hpp"
#include "support/TestRequestContent.hpp"

namespace mvk {
namespace {

using gateway::ScriptedAnswer;
using test::GatewayFixture;
using test::TestRequestContent;
using namespace std::chrono_literals;

Response post(const std::string& url,
              nlohmann::ordered_json body = nlohmann::ordered_json::object(),
              HeaderMap sentHeaders = {}) {
    Network network;
    auto builder = network.post(url);
    builder->setContent(
        std::make_shared<TestRequestContent>(std::move(body), HeaderMap{}, std::move(sentHeaders)));
    return builder->build()->send();
}

std::string errorText(const Response& response) {
    return response.error ? response.error->description() : "<no error>";
}

void expectTransportFailure(const Response& response, std::string_view fragment) {
    EXPECT_EQ(response.statusCode, 400);
    EXPECT_FALSE(response.data.has_value());
    ASSERT_TRUE(response.error.has_value());
    EXPECT_EQ(response.error->description().rfind("[Network Module] ", 0), 0u)
        << errorText(response);
    EXPECT_NE(response.error->description().find(fragment), std::string::npos)
        << errorText(response);
}

TEST(CurlURLSessionTest, RequestArrivesWithExactlyTheHeadersItWasGiven) {
    GatewayFixture fixture;
    nlohmann::ordered_json body = {{"name", "caf\u00e9 \"quoted\" \\ / \u2603"}, {"n", -1.5}};
    auto response =
        post(fixture.url("/v2/analytics/report?appId=") + percentEncodeQueryValue("a+b c&d"), body,
             {{"X-Id-Encoding", "base64"}, {"DeviceId", "ZGV2"}, {"MorvanixId", "0"}});

    EXPECT_EQ(response.statusCode, 200) << errorText(response);
    EXPECT_FALSE(response.error.has_value());
    auto requests = fixture.gateway().requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto& request = requests[0];
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/v2/analytics/report");
    EXPECT_EQ(request.query, "appId=a%2Bb%20c%26d");
    EXPECT_EQ(request.queryValue("appId"), "a+b c&d");
    EXPECT_EQ(request.body, body.dump());

    std::vector<std::pair<std::string, std::string>> expected = {
        {"Content-Length", std::to_string(body.dump().size())},
        {"Content-Type", "application/json"},
        {"DeviceId", "ZGV2"},
        {"Host", "127.0.0.1:" + std::to_string(fixture.gateway().port())},
        {"MorvanixId", "0"},
        {"X-Id-Encoding", "base64"},
    };
    EXPECT_EQ(request.headers, expected);
}

TEST(CurlURLSessionTest, LargeBodyArrivesIntactWithoutWaitingForContinue) {
    GatewayFixture fixture;
    std::string text(3 * 1024 * 1024, 'x');
    for (std::size_t i = 0; i < text.size(); i += 997) {
        text[i] = static_cast<char>('a' + i % 26);
    }
    nlohmann::ordered_json body = {{"blob", text}};
    auto response = post(fixture.url("/v2/analytics/report"), body);
    EXPECT_EQ(response.statusCode, 200) << errorText(response);
    auto requests = fixture.gateway().requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].body, body.dump());
    EXPECT_EQ(requests[0].headerCount("Expect"), 0u);
    EXPECT_EQ(requests[0].header("Content-Length"), std::to_string(body.dump().size()));
}

TEST(CurlURLSessionTest, StatusAndBodyPassThrough) {
    GatewayFixture fixture;
    const std::pair<int, std::string> answers[] = {
        {200, R"({"ok":true})"},
        {201, ""},
        {202, R"({"retryAfter":30})"},
        {204, ""},
        {400, "bad"},
        {404, R"({"version":1})"},
        {422, ""},
        {500, "server down"},
        {503, ""},
    };
    for (const auto& [status, body] : answers) {
        SCOPED_TRACE(status);
        fixture.gateway().enqueueAnswer("/v2/x", ScriptedAnswer::json(status, body));
        auto response = post(fixture.url("/v2/x"));
        EXPECT_EQ(response.statusCode, status);
        EXPECT_EQ(response.data, body);
        EXPECT_FALSE(response.error.has_value()) << errorText(response);
    }
}

TEST(CurlURLSessionTest, UrlsThatAreNotHttpSendNothing) {
    GatewayFixture fixture;
    const auto port = std::to_string(fixture.gateway().port());
    struct Case {
        std::string url;
        bool transportError;
    };
    const Case cases[] = {
        {"ftp://127.0.0.1:" + port + "/v2/x", true},
        {"gopher://127.0.0.1:" + port + "/v2/x", true},
        {"file:///etc/passwd", false},
        {"https://127.0.0.1:" + port + "/v2/a b", false},
        {"127.0.0.1:" + port + "/v2/x", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        auto response = post(c.url);
        EXPECT_EQ(response.statusCode, 400);
        EXPECT_FALSE(response.data.has_value());
        EXPECT_EQ(response.error.has_value(), c.transportError) << errorText(response);
    }
    EXPECT_TRUE(fixture.gateway().requests().empty());
}

TEST(CurlURLSessionTest, RefusedConnectionAnswers400WithError) {
    GatewayFixture fixture;
    std::string url;
    {
        gateway::Gateway closed;
        url = closed.url("/v2/x");
    }
    expectTransportFailure(post(url), "");
}

TEST(CurlURLSessionTest, SilentServerTimesOut) {
    GatewayFixture fixture;
    URLSessionSettings::setSilentTimeout(200ms);
    ScriptedAnswer silent = ScriptedAnswer::json(200, "{}");
    silent.delay = 60s;
    fixture.gateway().setAnswer("/v2/slow", silent);
    expectTransportFailure(post(fixture.url("/v2/slow")), "timed out");
    EXPECT_EQ(fixture.gateway().requests("/v2/slow").size(), 1u);
}

TEST(CurlURLSessionTest, SilentTimeoutOfAnyLengthStillLetsAnAnswerThrough) {
    GatewayFixture fixture;
    URLSessionSettings::setSilentTimeout(std::chrono::milliseconds::max());
    fixture.gateway().setAnswer("/v2/x", ScriptedAnswer::json(200, "{}"));
    const Response response = post(fixture.url("/v2/x"));
    EXPECT_EQ(response.statusCode, 200);
    EXPECT_FALSE(response.error);
}

TEST(CurlURLSessionTest, AnswerThatDripsIsCutOff) {
    // A byte every 20 ms, and a silence watch far longer than the other
    // limits: a busy machine that holds the answer back a moment must not
    // let the watch cut it first.
    const struct {
        const char* name;
        std::chrono::milliseconds totalTimeout;
        std::size_t lowSpeedBytesPerSecond;
        std::chrono::milliseconds lowSpeedWindow;
        const char* failure;  // nullptr: the whole answer arrives
    } cases[] = {
        {"within every limit", 10s, 10, 300ms, nullptr},
        {"past the total deadline", 600ms, 0, 300ms, "longer than 600 ms in all"},
        {"below the low-speed limit", 10s, 200, 300ms, "slower than 200 bytes per second"},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        GatewayFixture fixture;
        URLSessionSettings::setSilentTimeout(test::patience(2s));
        URLSessionSettings::setTotalTimeout(entry.totalTimeout);
        URLSessionSettings::setLowSpeedLimit(entry.lowSpeedBytesPerSecond, entry.lowSpeedWindow);
        ScriptedAnswer drip =
            ScriptedAnswer::json(200, R"({"pad":")" + std::string(40, 'x') + "\"}");
        drip.dripInterval = 20ms;
        fixture.gateway().setAnswer("/v2/drip", drip);

        const auto started = std::chrono::steady_clock::now();
        const Response response = post(fixture.url("/v2/drip"));
        if (entry.failure == nullptr) {
            EXPECT_EQ(response.statusCode, 200) << errorText(response);
            EXPECT_EQ(response.data, drip.body);
        } else {
            expectTransportFailure(response, "timed out");
            expectTransportFailure(response, entry.failure);
            EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
        }
    }
}

// An exchange under way when the process begins to exit gets until the exit's
// cut-off time to be answered (a report the gateway took is then deleted, not
// sent again); a silent one is given up there, and past it none starts.
TEST(CurlURLSessionTest, AnExchangeAtExitRunsUntilTheCutOffTime) {
    struct Case {
        const char* name;
        std::chrono::milliseconds answerDelay;
        std::chrono::milliseconds untilCutOff;
        bool answered;
    };
    const std::vector<Case> cases = {
        {"answered before the cut-off", 200ms, 60s, true},
        {"silent past the cut-off", 60s, 300ms, false},
        {"begun past the cut-off", 0ms, -1ms, false},
    };
    for (const auto& [name, answerDelay, untilCutOff, answered] : cases) {
        SCOPED_TRACE(name);
        GatewayFixture fixture;
        ScriptedAnswer held = ScriptedAnswer::json(200, "{}");
        held.delay = answerDelay;
        fixture.gateway().setAnswer("/v2/held", held);
        const auto started = std::chrono::steady_clock::now();
        ProcessExit::markExitingForTesting(started + untilCutOff + ProcessExit::commitReserve +
                                           ProcessExit::windDownReserve);
        const Response response = post(fixture.url("/v2/held"));
        ProcessExit::resetForTesting();
        if (answered) {
            EXPECT_EQ(response.statusCode, 200) << errorText(response);
            EXPECT_EQ(response.data, "{}");
        } else {
            expectTransportFailure(response, "the process is exiting");
            EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
        }
    }
}

TEST(CurlURLSessionTest, ConnectionClosedWithoutAnswer) {
    GatewayFixture fixture;
    ScriptedAnswer hangUp;
    hangUp.closeWithoutAnswer = true;
    fixture.gateway().setAnswer("/v2/x", hangUp);
    expectTransportFailure(post(fixture.url("/v2/x")), "");
    EXPECT_EQ(fixture.gateway().requests("/v2/x").size(), 1u);
}

TEST(CurlURLSessionTest, RedirectsAreNotFollowed) {
    GatewayFixture fixture;
    for (int status : {301, 302, 303, 307, 308}) {
        SCOPED_TRACE(status);
        ScriptedAnswer redirect = ScriptedAnswer::json(status, R"({"moved":true})");
        redirect.headers = {{"Location", fixture.url("/v2/elsewhere")}};
        fixture.gateway().enqueueAnswer("/v2/x", redirect);
        expectTransportFailure(post(fixture.url("/v2/x")), "redirect");
    }
    EXPECT_EQ(fixture.gateway().requests("/v2/x").size(), 5u);
    EXPECT_TRUE(fixture.gateway().requests("/v2/elsewhere").empty());
}

TEST(CurlURLSessionTest, AnswerSizeCap) {
    GatewayFixture fixture;
    URLSessionSettings::setMaxResponseBytes(1024);
    for (bool chunked : {false, true}) {
        SCOPED_TRACE(chunked ? "chunked" : "with length");
        ScriptedAnswer atCap = ScriptedAnswer::json(200, std::string(1024, 'a'));
        atCap.chunked = chunked;
        fixture.gateway().enqueueAnswer("/v2/cap", atCap);
        auto response = post(fixture.url("/v2/cap"));
        EXPECT_EQ(response.statusCode, 200) << errorText(response);
        EXPECT_EQ(response.data, atCap.body);

        ScriptedAnswer overCap = atCap;
        overCap.body += 'b';
        fixture.gateway().enqueueAnswer("/v2/cap", overCap);
        expectTransportFailure(post(fixture.url("/v2/cap")), "larger than 1024 bytes");
    }
}

TEST(CurlURLSessionTest, DefaultCapIs16MiB) {
    GatewayFixture fixture;
    const std::size_t cap = 16u * 1024u * 1024u;
    fixture.gateway().enqueueAnswer("/v2/big", ScriptedAnswer::json(200, std::string(cap, 'a')));
    auto response = post(fixture.url("/v2/big"));
    EXPECT_EQ(response.statusCode, 200) << errorText(response);
    EXPECT_EQ(response.data->size(), cap);

    ScriptedAnswer overCap = ScriptedAnswer::json(200, std::string(cap + 1, 'a'));
    overCap.chunked = true;
    fixture.gateway().enqueueAnswer("/v2/big", overCap);
    expectTransportFailure(post(fixture.url("/v2/big")), "larger than 16777216 bytes");
}

TEST(CurlURLSessionTest, CertificateIsAlwaysVerified) {
    GatewayFixture fixture;
    const auto port = std::to_string(fixture.gateway().port());
    // The certificate names 127.0.0.1 only.
    expectTransportFailure(post("https://localhost:" + port + "/v2/x"), "");

    gateway::Gateway other;
    URLSessionSettings::setCaPem(other.caPem());
    expectTransportFailure(post(fixture.url("/v2/x")), "");

    URLSessionSettings::reset();
    expectTransportFailure(post(fixture.url("/v2/x")), "");
    EXPECT_TRUE(fixture.gateway().requests().empty());
}

// A host trusts a test gateway as with curl's own tool: through the standard
// variables, unless the library was given a CA of its own.
TEST(CurlURLSessionTest, TheStandardTrustVariablesNameTheStoreWhenNoCaIsSet) {
    GatewayFixture fixture;
    gateway::Gateway other;
    test::TempDir dir;
    const auto good = (dir.path() / "good.pem").string();
    const auto wrong = (dir.path() / "wrong.pem").string();
    std::ofstream(good) << fixture.gateway().caPem();
    std::ofstream(wrong) << other.caPem();
    const struct Case {
        const char* name;
        std::optional<std::string> bundle;
        std::optional<std::string> certFile;
        std::optional<std::string> caPem;
        bool trusted;
    } cases[] = {
        {"CURL_CA_BUNDLE", good, std::nullopt, std::nullopt, true},
        {"SSL_CERT_FILE", std::nullopt, good, std::nullopt, true},
        {"CURL_CA_BUNDLE before SSL_CERT_FILE", wrong, good, std::nullopt, false},
        {"an explicit CA before both", good, good, other.caPem(), false},
        {"neither", std::nullopt, std::nullopt, std::nullopt, false},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        test::ScopedEnvironment bundle("CURL_CA_BUNDLE", entry.bundle);
        test::ScopedEnvironment certFile("SSL_CERT_FILE", entry.certFile);
        test::ScopedEnvironment certDir("SSL_CERT_DIR", std::nullopt);
        URLSessionSettings::reset();
        if (entry.caPem) {
            URLSessionSettings::setCaPem(entry.caPem);
        }
        const auto response = post(fixture.url("/v2/x"));
        if (entry.trusted) {
            EXPECT_EQ(response.statusCode, 200) << errorText(response);
        } else {
            expectTransportFailure(response, "SSL certificate problem");
        }
    }
}

TEST(CurlURLSessionTest, HeaderThatWouldSplitTheHeadIsRefused) {
    GatewayFixture fixture;
    const std::pair<std::string, std::string> unsafe[] = {
        {"UserId", "dQ==\r\nInjected: 1"},
        {"UserId", "a\nb"},
        {"User Id", "x"},
        {"UserId:", "x"},
        {"", "x"},
    };
    for (const auto& [name, value] : unsafe) {
        SCOPED_TRACE(name + "=" + value);
        expectTransportFailure(post(fixture.url("/v2/x"), {}, {{name, value}}), "header");
    }
    EXPECT_TRUE(fixture.gateway().requests().empty());
}

}  // namespace
}  // namespace mvk
