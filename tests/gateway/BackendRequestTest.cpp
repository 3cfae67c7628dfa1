#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <set>

#include "backend/BackendConfigUrl.hpp"
#include "foundation/Base64.hpp"
#include "foundation/JsonCoding.hpp"
#include "platform/URLSessionSettings.hpp"
#include "support/BackendGatewayFixture.hpp"
#include "support/LogCapture.hpp"

namespace mvk {
namespace {

using gateway::RecordedRequest;
using gateway::ScriptedAnswer;
using test::BackendGatewayFixture;
using test::LogCapture;
using namespace std::chrono_literals;

std::string base64Decode(const std::string& text) {
    static const std::string alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string bytes;
    unsigned buffer = 0;
    int bits = 0;
    for (char c : text) {
        if (c == '=') {
            break;
        }
        const auto value = alphabet.find(c);
        if (value == std::string::npos) {
            ADD_FAILURE() << "not base64: " << text;
            return {};
        }
        buffer = (buffer << 6) | static_cast<unsigned>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes += static_cast<char>((buffer >> bits) & 0xFF);
        }
    }
    return bytes;
}

std::set<std::string> headerNames(const RecordedRequest& request) {
    std::set<std::string> names;
    for (const auto& [name, value] : request.headers) {
        names.insert(name);
    }
    return names;
}

/// One call of each operation with a fixed body, and the body it must send.
struct Operation {
    const char* endpoint;
    std::function<void(Backend&, const std::string&, const Identifiers&)> call;
    const char* body;
};

std::vector<Operation> everyOperation() {
    const Versions versions{"2.2.6", 10, "1.0", "100", 3, std::nullopt, std::nullopt};
    return {
        {"/analytics/config",
         [=](Backend& b, const std::string& key, const Identifiers& ids) {
             b.requestConfig(key, ids, versions);
         },
         R"({"sdkVersion":"2.2.6","sdkCodeVersion":10,"appVersion":"1.0","excludeVersion":3})"},
        {"/analytics/identification",
         [](Backend& b, const std::string& key, const Identifiers& ids) {
             b.requestIdentification(key, 2, ids);
         },
         R"({"attempt":2})"},
        {"/analytics/report",
         [](Backend& b, const std::string& key, const Identifiers& ids) {
             b.sendAnalytics(key, ids, Reports{{Report({}, "u-1")}});
         },
         R"({"reports":[{"packages":[]}]})"},
        {"/verify/payment",
         [](Backend& b, const std::string& key, const Identifiers& ids) {
             b.sendVerifyReceipt(key, Receipt{.receipt = {"r"}}, ids);
         },
         R"({"platform":"ios","receipt":{"receipt-data":"r","password":""}})"},
        {"/messaging/config",
         [](Backend& b, const std::string& key, const Identifiers& ids) {
             b.requestMessagingConfig(key, MessagingRequestObject{"2.2.6", 10, "1.0", 0}, ids);
         },
         R"({"sdkVersion":"2.2.6","sdkCodeVersion":10,"appVersion":"1.0","categoriesVersion":0})"},
        {"/remoteconfig/experiments",
         [=](Backend& b, const std::string& key, const Identifiers& ids) {
             auto withVersion = versions;
             withVersion.remoteConfigVersion = 9;
             b.requestABTestConfig(key, ids, withVersion);
         },
         R"({"sdkVersion":"2.2.6","sdkCodeVersion":10,"appVersion":"1.0","excludeVersion":3,)"
         R"("configVersion":9})"},
        {"/remoteconfig/offer",
         [](Backend& b, const std::string& key, const Identifiers& ids) {
             b.requestAbTestOffer(key, ids, SuitableExperiments{{4, 5}});
         },
         R"({"suitableExperiments":[4,5]})"},
    };
}

TEST(BackendRequestTest, EveryOperationPostsItsBodyToItsPathUnderTheCustomPrefix) {
    BackendGatewayFixture fixture;
    BackendConfigUrl::setTestCustomUrl("/custom");
    const std::string key = "k&ey# x+é";
    const Identifiers identifiers{.deviceId = "device-1", .morvanixId = 0};

    for (const auto& operation : everyOperation()) {
        SCOPED_TRACE(operation.endpoint);
        fixture.gateway().clearRequests();
        operation.call(fixture.backend(), key, identifiers);

        auto requests = fixture.gateway().requests();
        ASSERT_EQ(requests.size(), 1u);
        const auto& request = requests[0];
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.path, "/custom/v2" + std::string(operation.endpoint));
        EXPECT_EQ(request.query, "appId=k%26ey%23%20x%2B%C3%A9");
        EXPECT_EQ(request.queryValue("appId"), key);
        EXPECT_EQ(request.body, operation.body);

        EXPECT_EQ(request.headerCount("Content-Type"), 1u);
        EXPECT_EQ(request.header("Content-Type"), "application/json");
        EXPECT_EQ(request.headerCount("Content-Length"), 1u);
        EXPECT_EQ(request.header("Content-Length"), std::to_string(request.body.size()));
        EXPECT_EQ(headerNames(request),
                  (std::set<std::string>{"Content-Length", "Content-Type", "DeviceId", "Host",
                                         "MorvanixId", "X-Id-Encoding"}));
        EXPECT_EQ(base64Decode(request.header("DeviceId").value_or("")), "device-1");
        EXPECT_EQ(request.header("MorvanixId"), "0");
        EXPECT_EQ(request.header("X-Id-Encoding"), "base64");
    }
}

TEST(BackendRequestTest, IdentityHeadersCarryEveryPresentIdentifier) {
    BackendGatewayFixture fixture;
    struct Case {
        const char* name;
        Identifiers identifiers;
        std::vector<std::pair<std::string, std::string>> decoded;
        std::vector<std::pair<std::string, std::string>> plain;
    };
    const Case cases[] = {
        {"only the device id",
         {.deviceId = "dev"},
         {{"DeviceId", "dev"}},
         {{"X-Id-Encoding", "base64"}}},
        {"everything",
         {"dev", "old-dev", "user 1", "user 0", 42, -7, 1700000000000},
         {{"DeviceId", "dev"},
          {"PreviousDeviceId", "old-dev"},
          {"UserId", "user 1"},
          {"PreviousUserId", "user 0"}},
         {{"MorvanixId", "42"},
          {"CrossPlatformMorvanixId", "-7"},
          {"MorvanixIdTimestamp", "1700000000000"},
          {"X-Id-Encoding", "base64"}}},
        // Stored ids are the host's texts: whatever they hold stays inside the value.
        {"line breaks, percent signs and non-ASCII",
         {.deviceId = "d\r\nX-Evil: 1", .userId = "100% é\n"},
         {{"DeviceId", "d\r\nX-Evil: 1"}, {"UserId", "100% é\n"}},
         {{"X-Id-Encoding", "base64"}}},
    };
    const std::set<std::string> identityHeaders = {"DeviceId",
                                                   "PreviousDeviceId",
                                                   "UserId",
                                                   "PreviousUserId",
                                                   "MorvanixId",
                                                   "CrossPlatformMorvanixId",
                                                   "MorvanixIdTimestamp",
                                                   "X-Id-Encoding"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fixture.gateway().clearRequests();
        auto result = fixture.backend().requestIdentification("key", 1, c.identifiers);
        EXPECT_EQ(result.kind(), BackendIdentifiers::Case::identifiers);
        auto requests = fixture.gateway().requests();
        ASSERT_EQ(requests.size(), 1u);
        const auto& request = requests[0];

        std::set<std::string> expectedNames;
        for (const auto& [name, value] : c.decoded) {
            expectedNames.insert(name);
            EXPECT_EQ(request.headerCount(name), 1u) << name;
            EXPECT_EQ(base64Decode(request.header(name).value_or("")), value) << name;
        }
        for (const auto& [name, value] : c.plain) {
            expectedNames.insert(name);
            EXPECT_EQ(request.header(name), value) << name;
        }
        std::set<std::string> sentIdentity;
        for (const auto& name : headerNames(request)) {
            if (identityHeaders.count(name) != 0) {
                sentIdentity.insert(name);
            }
        }
        EXPECT_EQ(sentIdentity, expectedNames);
        EXPECT_EQ(request.headerCount("X-Evil"), 0u);
    }
}

TEST(BackendRequestTest, BaseAddressFollowsTheTestAddresses) {
    struct Case {
        const char* proxy;
        const char* custom;
        std::string expected;
        /// The build's placeholder gateway is in force.
        bool unset;
    };
    const std::string fallback = MVK_DEFAULT_GATEWAY_URL;
    const bool placeholder = fallback.ends_with(".invalid");
    const Case cases[] = {
        {"", "", fallback, placeholder},
        {"https://proxy.test:8443", "", "https://proxy.test:8443", false},
        {"", "/staging", fallback + "/staging", placeholder},
        {"https://proxy.test", "/staging", "https://proxy.test/staging", false},
    };
    for (const auto& c : cases) {
        BackendConfigUrl::setTestProxyUrl(c.proxy);
        BackendConfigUrl::setTestCustomUrl(c.custom);
        EXPECT_EQ(BackendConfigUrl::baseApiUrl(), c.expected) << c.proxy << " " << c.custom;
        EXPECT_EQ(BackendConfigUrl::isUnset(), c.unset) << c.proxy;
        EXPECT_EQ(BackendConfigUrl::testProxyUrl(), c.proxy);
        EXPECT_EQ(BackendConfigUrl::testCustomUrl(), c.custom);
    }
    BackendConfigUrl::setTestProxyUrl("");
    BackendConfigUrl::setTestCustomUrl("");
    EXPECT_EQ(fallback.rfind("https://", 0), 0u);
    EXPECT_NE(fallback.back(), '/');
}

TEST(BackendRequestTest, AGatewayUnderInvalidIsAPlaceholder) {
    const std::pair<const char*, bool> cases[] = {
        {"https://gateway.morvanix.invalid", true},
        {"https://user@gateway.INVALID.:8443/v1", true},
        {"https://invalid", true},
        {"", true},
        {"https://", true},
        {"https://127.0.0.1:39457", false},
        {"https://invalid.example.com/x.invalid", false},
        {"https://[::1]:8443", false},
    };
    for (const auto& [url, placeholder] : cases) {
        EXPECT_EQ(BackendConfigUrl::isPlaceholder(url), placeholder) << url;
    }
}

TEST(BackendRequestTest, SendLogShowsHeadersBeforeAndAfterEncoding) {
    BackendGatewayFixture fixture;
    LogCapture log(MVKLogLevel::debug);
    const Identifiers identifiers{.deviceId = "dev", .userId = "u1", .morvanixId = 0};
    fixture.backend().sendAnalytics("key", identifiers,
                                    Reports{{Report({}, "uuid-a"), Report({}, "uuid-b")}});

    const std::string expected =
        "[Network Module] \n"
        " Method: POST\n"
        " URL: " +
        fixture.gateway().baseUrl() +
        "/v2/analytics/report?appId=key\n"
        " Content-type: application/json\n"
        " Headers: \n"
        "\t\tDeviceId: dev,\n"
        "\t\tMorvanixId: 0,\n"
        "\t\tUserId: u1,\n"
        "\t\tX-Id-Encoding: base64\n"
        " EncodedHeaders: \n"
        "\t\tDeviceId: ZGV2,\n"
        "\t\tMorvanixId: 0,\n"
        "\t\tUserId: dTE=,\n"
        "\t\tX-Id-Encoding: base64\n"
        " Content UUID: uuid-a, uuid-b \n"
        " Content: {\n"
        "  \"reports\": [\n"
        "    {\n"
        "      \"packages\": []\n"
        "    },\n"
        "    {\n"
        "      \"packages\": []\n"
        "    }\n"
        "  ]\n"
        "} \n";
    EXPECT_TRUE(log.contains(MVKLogLevel::debug, expected))
        << ::testing::PrintToString(log.messages());
    EXPECT_EQ(log.messages().size(), 1u);
}

// Every transport failure reads "status code: 400" to its caller; one more
// line per request keeps where it went and curl's reason, or an offline game,
// a typo in the address and an untrusted certificate all look the same.
TEST(BackendRequestTest, RequestsThatCannotReachTheGatewayTakeTheStatus400Branch) {
    struct Case {
        const char* name;
        std::function<std::string()> arrange;  // answers the gateway address used
        std::string reason;
    };
    const auto useAddress = [](std::string address) {
        return [address] {
            BackendConfigUrl::setTestProxyUrl(address);
            return address;
        };
    };
    const Case cases[] = {
        {"invalid URL", useAddress("https://bad host"), "The URL is not valid"},
        {"URL without scheme", useAddress("127.0.0.1:9"), "The URL is not valid"},
        {"refused port", [&] { return useAddress(gateway::Gateway().baseUrl())(); },
         "Couldn't connect"},
        {"unknown host", useAddress("https://mvk-gateway.invalid"),
         "Could not resolve host: mvk-gateway.invalid"},
        {"untrusted certificate",
         [] {
             URLSessionSettings::setCaPem(std::nullopt);
             return BackendConfigUrl::testProxyUrl();
         },
         "SSL certificate problem"},
    };
    const Identifiers identifiers{.deviceId = "dev"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BackendGatewayFixture fixture;
        const auto address = c.arrange();
        LogCapture log(MVKLogLevel::info);
        auto& backend = fixture.backend();

        EXPECT_EQ(
            backend.requestIdentification("key", 1, identifiers),
            BackendIdentifiers::error("[Backend Module] identifiers, unknown status code 400"));
        auto config = backend.requestConfig("key", identifiers, Versions{});
        EXPECT_TRUE(config.isDefault);
        EXPECT_EQ(config.config, Config::defaulConfiguration());
        auto sent = backend.sendAnalytics("key", identifiers, Reports{});
        ASSERT_FALSE(sent.isSuccess());
        EXPECT_EQ(sent.error()->description(),
                  "[Backend Module] Failed to send Report, status code: 400");
        EXPECT_EQ(sent.statusCode(), std::nullopt) << "no refusal of the gateway's";
        // A receipt is told the request could not be completed, not refused.
        EXPECT_EQ(backend.sendVerifyReceipt("key", Receipt{}, identifiers),
                  MVKVerifyResponse(MVKReceiptStatus::internalError));
        EXPECT_FALSE(backend.requestMessagingConfig("key", {}, identifiers));
        EXPECT_FALSE(backend.requestABTestConfig("key", identifiers, Versions{}));
        EXPECT_FALSE(backend.requestAbTestOffer("key", identifiers, {}));

        const auto messages = log.messages();
        const std::string head = "ERROR [Network Module] The request to " + address + "/";
        EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                                [&](const std::string& line) {
                                    return line.starts_with(head) &&
                                           line.find(" got no answer: ") != std::string::npos &&
                                           line.find(c.reason) != std::string::npos;
                                }),
                  7)
            << ::testing::PrintToString(messages);
        EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                                [](const std::string& line) {
                                    return line.starts_with(
                                        "ERROR [Backend Module] Can't create a request for receipt "
                                        "verification. Error: ");
                                }),
                  1);
        EXPECT_EQ(messages.size(), 8u) << ::testing::PrintToString(messages);
        EXPECT_TRUE(fixture.gateway().requests().empty());
    }
}

TEST(BackendRequestTest, SilentGatewayCountsAsStatus400) {
    BackendGatewayFixture fixture;
    URLSessionSettings::setSilentTimeout(200ms);
    ScriptedAnswer silent = ScriptedAnswer::json(200, "{}");
    silent.delay = 60s;
    fixture.gateway().setDefaultAnswer(silent);
    const Identifiers identifiers{.deviceId = "dev"};

    EXPECT_EQ(fixture.backend().requestIdentification("key", 1, identifiers),
              BackendIdentifiers::error("[Backend Module] identifiers, unknown status code 400"));
    auto sent = fixture.backend().sendAnalytics("key", identifiers, Reports{});
    ASSERT_NE(sent.error(), nullptr);
    EXPECT_EQ(sent.error()->description(),
              "[Backend Module] Failed to send Report, status code: 400");
    EXPECT_EQ(sent.statusCode(), std::nullopt) << "no refusal of the gateway's";
    EXPECT_EQ(fixture.gateway().requests().size(), 2u);
}

TEST(BackendRequestTest, BodyThatCannotBeEncodedTakesTheBuildFailurePath) {
    BackendGatewayFixture fixture;
    LogCapture log(MVKLogLevel::info);
    auto repository = fixture.backend().repository();
    const BackendMessage bad{nlohmann::ordered_json{{"x", std::nan("")}}, {.deviceId = "dev"}};

    auto identification = repository->requestIdentification("key", bad);
    ASSERT_NE(identification.errorMessage(), nullptr);
    EXPECT_EQ(
        *identification.errorMessage(),
        "[Backend Module] Can't build the backend identifiers request. Error: getContent Error");
    auto sent = repository->sendAnalytics("key", bad, std::nullopt);
    ASSERT_FALSE(sent.isSuccess());
    EXPECT_EQ(sent.error()->description(),
              "[Backend Module] Can't create a sent report request. Error: getContent Error");
    EXPECT_TRUE(repository->requestConfig("key", bad).isDefault);
    EXPECT_EQ(repository->sendVerifyReceipt("key", bad),
              MVKVerifyResponse(MVKReceiptStatus::internalError));
    EXPECT_FALSE(repository->requestMessagingConfig("key", bad));
    EXPECT_FALSE(repository->requestABTestConfig("key", bad));
    EXPECT_FALSE(repository->requestAbTestOffer("key", bad));

    const std::vector<std::string> expected = {
        "ERROR [Backend Module] Can't create a sent report request. Error: getContent Error",
        "ERROR [Backend Module] Can't create a config request. Error: getContent Error",
        "ERROR [Backend Module] Can't create a request for receipt verification. Error: "
        "getContent Error",
        "ERROR [Backend Module] Can't create messaging config request. Error: getContent Error",
        "ERROR [Backend Module] Can't create A/B-Test config request. Error: getContent Error",
        "ERROR [Backend Module] Can't create A/B-Test offer request. Error: getContent Error",
    };
    EXPECT_EQ(log.messages(), expected);
    EXPECT_TRUE(fixture.gateway().requests().empty());
}

}  // namespace
}  // namespace mvk
