#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>

#include "support/BackendGatewayFixture.hpp"
#include "support/LogCapture.hpp"

namespace mvk {
namespace {

using gateway::ScriptedAnswer;
using test::BackendGatewayFixture;
using test::LogCapture;

const Identifiers identifiers{.deviceId = "dev"};

/// An answer with the given status and no body at all.
ScriptedAnswer withoutBody(int status) {
    ScriptedAnswer answer;
    answer.status = status;
    answer.contentType.clear();
    return answer;
}

struct Answer {
    const char* name;
    ScriptedAnswer scripted;
};

Answer json(const char* name, int status, const char* body) {
    return {name, ScriptedAnswer::json(status, body)};
}

const char* const validConfig =
    R"({"timeForRequest": 60000, "countForRequest": 5, "eventParamsCount": 15,
        "sessionTimeout": 300000, "serverTime": 1700000000000, "aliveTimeout": 200000,
        "userCounting": false})";

TEST(BackendAnswerRulesTest, Configuration) {
    struct Case {
        Answer answer;
        bool isDefault;
        bool logged;
    };
    const Case cases[] = {
        {json("200 with a configuration", 200, validConfig), false, false},
        {{"200 without body", withoutBody(200)}, true, false},
        {json("200 lacking a required key", 200, R"({"timeForRequest": 1})"), true, true},
        {json("200 with a wrong type", 200, R"({"timeForRequest": "1"})"), true, true},
        {json("200 that is not JSON", 200, "<html>"), true, true},
        {json("200 that is an array", 200, "[]"), true, true},
        {json("202 with a configuration", 202, validConfig), true, false},
        {json("422", 422, "{}"), true, false},
        {json("500 with a configuration", 500, validConfig), true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer.name);
        BackendGatewayFixture fixture;
        fixture.answer("/analytics/config", c.answer.scripted);
        LogCapture log(MVKLogLevel::info);
        auto result = fixture.backend().requestConfig("key", identifiers, Versions{});
        EXPECT_EQ(result.isDefault, c.isDefault);
        if (c.isDefault) {
            EXPECT_EQ(result.config, Config::defaulConfiguration());
        } else {
            EXPECT_EQ(result.config.countForRequest, 5);
            EXPECT_EQ(result.config.serverTime, 1700000000000);
        }
        EXPECT_EQ(
            log.containsFragment("ERROR [Backend Module] Can't create a config request. Error: "),
            c.logged);
        EXPECT_EQ(log.messages().size(), c.logged ? 1u : 0u);
    }
}

TEST(BackendAnswerRulesTest, Identification) {
    const std::string parseIdentifiers = "[Backend Module] parse identifiers. Error:  ";
    const std::string parseRetry = "[Backend Module] parse retry parametr. Error:  ";
    struct Case {
        Answer answer;
        std::optional<BackendIdentifiers> exact;
        std::string errorPrefix = "";
    };
    const Case cases[] = {
        {json("200 with ids and data", 200, R"({"morvanixId": 5, "newUser": true})"),
         BackendIdentifiers::identifiers({{.morvanixId = 5}, {.isNewUser = true}})},
        {json("200 empty object", 200, "{}"), BackendIdentifiers::identifiers({})},
        {{"200 without body", withoutBody(200)}, std::nullopt, parseIdentifiers},
        {json("200 with a mistyped key", 200, R"({"created": "today"})"), std::nullopt,
         parseIdentifiers},
        {json("200 that is not JSON", 200, "nope"), std::nullopt, parseIdentifiers},
        {json("202 with retryAfter", 202, R"({"retryAfter": 30})"),
         BackendIdentifiers::retryAfter(30)},
        {json("202 without retryAfter", 202, "{}"), std::nullopt, parseRetry},
        {{"202 without body", withoutBody(202)}, std::nullopt, parseRetry},
        {json("422", 422, R"({"morvanixId": 5})"), BackendIdentifiers::doNotRetry()},
        {json("500", 500, R"({"morvanixId": 5})"),
         BackendIdentifiers::error("[Backend Module] identifiers, unknown status code 500")},
        {json("201", 201, "{}"),
         BackendIdentifiers::error("[Backend Module] identifiers, unknown status code 201")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer.name);
        BackendGatewayFixture fixture;
        fixture.answer("/analytics/identification", c.answer.scripted);
        LogCapture log(MVKLogLevel::debug);
        auto result = fixture.backend().requestIdentification("key", 1, identifiers);
        if (c.exact) {
            EXPECT_EQ(result, *c.exact);
        } else {
            ASSERT_NE(result.errorMessage(), nullptr);
            EXPECT_EQ(result.errorMessage()->rfind(c.errorPrefix, 0), 0u) << *result.errorMessage();
            EXPECT_GT(result.errorMessage()->size(), c.errorPrefix.size());
        }
        // Only the send log: the caller decides what to log.
        EXPECT_EQ(log.messages().size(), 1u);
    }
}

TEST(BackendAnswerRulesTest, Reports) {
    struct Case {
        Answer answer;
        std::optional<std::string> failure;
    };
    const Case cases[] = {
        {json("200", 200, "{}"), std::nullopt},
        {{"200 without body", withoutBody(200)}, std::nullopt},
        {json("202", 202, "{}"), "[Backend Module] Failed to send Report, status code: 202"},
        {json("500", 500, "{}"), "[Backend Module] Failed to send Report, status code: 500"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer.name);
        BackendGatewayFixture fixture;
        fixture.answer("/analytics/report", c.answer.scripted);
        LogCapture log(MVKLogLevel::info);
        auto result = fixture.backend().sendAnalytics("key", identifiers, Reports{});
        EXPECT_EQ(result.isSuccess(), !c.failure);
        if (c.failure) {
            ASSERT_NE(result.error(), nullptr);
            EXPECT_EQ(result.error()->description(), *c.failure);
        } else {
            EXPECT_EQ(result.value(), true);
        }
        EXPECT_TRUE(log.messages().empty());
    }
}

TEST(BackendAnswerRulesTest, ReceiptVerification) {
    const std::string cannotCreate =
        "ERROR [Backend Module] Can't create a request for receipt verification. Error: ";
    struct Case {
        Answer answer;
        MVKVerifyResponse response;
        std::string log;
        bool logIsPrefix = false;
    };
    const Case cases[] = {
        {json("status 0", 200, R"({"status": 0, "verificationResult": "ok"})"),
         {MVKReceiptStatus::valid, "ok"},
         "INFO [Backend Module] Receipt verification result: \n\treceiptStatus: [Receipt valid] "
         "verificationResult: [ok]"},
        {json("status 1", 200, R"({"status": 1})"),
         {MVKReceiptStatus::notValid},
         "INFO [Backend Module] Receipt verification result: \n\treceiptStatus: [Receipt not "
         "valid]"},
        {json("status 2", 200, R"({"status": 2})"),
         {MVKReceiptStatus::serverError},
         "INFO [Backend Module] Receipt verification result: \n\treceiptStatus: [Receipt server "
         "error]"},
        {json("status 3", 200, R"({"status": 3})"),
         {MVKReceiptStatus::sandbox},
         "INFO [Backend Module] Receipt verification result: \n\treceiptStatus: [Receipt sandbox]"},
        {json("status 4", 200, R"({"status": 4, "verificationResult": "?"})"),
         {MVKReceiptStatus::internalError, "?"},
         "INFO [Backend Module] Receipt verification result: \n\treceiptStatus: [Receipt "
         "internal error] verificationResult: [?]"},
        {json("status 7 keeps the text", 200, R"({"status": 7, "verificationResult": "x"})"),
         {MVKReceiptStatus::internalError, "x"},
         "ERROR [Backend Module] Can't parse verification data"},
        {json("status -1", 200, R"({"status": -1})"),
         {MVKReceiptStatus::internalError},
         "ERROR [Backend Module] Can't parse verification data"},
        {json("no status", 200, R"({"verificationResult": "x"})"),
         {MVKReceiptStatus::internalError, "x"},
         "ERROR [Backend Module] Can't parse verification data"},
        {json("mistyped status", 200, R"({"status": "0"})"),
         {MVKReceiptStatus::internalError},
         cannotCreate,
         true},
        {{"200 without body", withoutBody(200)},
         {MVKReceiptStatus::internalError},
         cannotCreate,
         true},
        {json("500", 500, R"({"status": 0})"),
         {MVKReceiptStatus::serverError},
         "ERROR [Backend Module] Failed to send a receipt, status code: 500"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer.name);
        BackendGatewayFixture fixture;
        fixture.answer("/verify/payment", c.answer.scripted);
        LogCapture log(MVKLogLevel::info);
        EXPECT_EQ(fixture.backend().sendVerifyReceipt("key", Receipt{}, identifiers), c.response);
        auto messages = log.messages();
        ASSERT_EQ(messages.size(), 1u);
        if (c.logIsPrefix) {
            EXPECT_EQ(messages[0].rfind(c.log, 0), 0u) << messages[0];
        } else {
            EXPECT_EQ(messages[0], c.log);
        }
    }
}

TEST(BackendAnswerRulesTest, MessagingIgnoresTheStatus) {
    const char* const categories =
        R"({"pushCategories": {"version": 3, "categories": [{"id": "c", "buttons": []}]}})";
    struct Case {
        Answer answer;
        bool answered;
    };
    const Case cases[] = {
        {json("200", 200, categories), true},
        {json("404 with categories", 404, categories), true},
        {json("500 with categories", 500, categories), true},
        {{"200 without body", withoutBody(200)}, false},
        {json("200 without version", 200, R"({"pushCategories": {"categories": []}})"), false},
        {json("200 that is not JSON", 200, "{"), false},
        {json("404 without categories", 404, R"({"error": "not found"})"), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer.name);
        BackendGatewayFixture fixture;
        fixture.answer("/messaging/config", c.answer.scripted);
        LogCapture log(MVKLogLevel::info);
        auto config = fixture.backend().requestMessagingConfig("key", {}, identifiers);
        ASSERT_EQ(config.has_value(), c.answered);
        if (config) {
            EXPECT_EQ(config->version, 3);
            ASSERT_EQ(config->categories.size(), 1u);
            EXPECT_EQ(config->categories[0].id, "c");
        }
        EXPECT_TRUE(log.messages().empty());
    }
}

TEST(BackendAnswerRulesTest, ExperimentsAndOffers) {
    struct Case {
        const char* endpoint;
        Answer answer;
        bool answered;
        const char* log = nullptr;
    };
    const char* const configError =
        "ERROR [Backend Module] Can't create A/B-Test config request. Error: ";
    const char* const offerError =
        "ERROR [Backend Module] Can't create A/B-Test offer request. Error: ";
    const char* const experiments =
        R"({"experiments": [{"id": 1, "creationDate": 0, "completionDate": 0, "updateDate": 0,
            "isTesting": false, "parameters": [], "conditions": [{"code": "ce"}]}],
            "version": 2, "userProperties": {}})";
    const char* const offer = R"({"involvedExperiments": [{"id": 1, "group": "A"}]})";
    // Groups are bounded at 256 characters, not bytes.
    const auto withGroup = [](std::size_t characters) {
        std::string group;
        for (std::size_t i = 0; i < characters; ++i) {
            group += "\u00e9";
        }
        return R"({"involvedExperiments": [{"id": 1, "group": ")" + group + R"("}]})";
    };
    const std::string longestGroup = withGroup(256);
    const std::string tooLongGroup = withGroup(257);
    const Case cases[] = {
        {"/remoteconfig/experiments", json("200", 200, experiments), true},
        {"/remoteconfig/experiments", json("200 without version", 200, R"({"userProperties": {}})"),
         false, configError},
        {"/remoteconfig/experiments", json("200 not JSON", 200, "]"), false, configError},
        {"/remoteconfig/experiments", {"200 without body", withoutBody(200)}, false},
        {"/remoteconfig/experiments", json("202", 202, experiments), false},
        {"/remoteconfig/experiments", json("500", 500, experiments), false},
        {"/remoteconfig/offer", json("200", 200, offer), true},
        {"/remoteconfig/offer", json("200 empty list", 200, R"({"involvedExperiments": []})"),
         true},
        {"/remoteconfig/offer", json("200 without list", 200, "{}"), false, offerError},
        {"/remoteconfig/offer",
         json("200 without group", 200, R"({"involvedExperiments": [{"id": 1}]})"), false,
         offerError},
        {"/remoteconfig/offer", json("200 longest group", 200, longestGroup.c_str()), true},
        {"/remoteconfig/offer", json("200 group too long", 200, tooLongGroup.c_str()), false,
         offerError},
        {"/remoteconfig/offer",
         json("200 naming an experiment not asked for", 200,
              R"({"involvedExperiments": [{"id": 1, "group": "A"}, {"id": 999, "group": "B"}]})"),
         false, offerError},
        {"/remoteconfig/offer", {"200 without body", withoutBody(200)}, false},
        {"/remoteconfig/offer", json("404", 404, offer), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.endpoint) + " " + c.answer.name);
        BackendGatewayFixture fixture;
        fixture.answer(c.endpoint, c.answer.scripted);
        LogCapture log(MVKLogLevel::info);
        bool answered = false;
        if (std::string_view(c.endpoint) == "/remoteconfig/offer") {
            auto result =
                fixture.backend().requestAbTestOffer("key", identifiers, SuitableExperiments{{1}});
            answered = result.has_value();
            if (result && !result->involvedExperiments.empty()) {
                EXPECT_EQ(result->involvedExperiments[0].id, 1);
            }
        } else {
            auto result = fixture.backend().requestABTestConfig("key", identifiers, Versions{});
            answered = result.has_value();
            if (result) {
                EXPECT_EQ(result->version, 2);
                ASSERT_EQ(result->experiments.size(), 1u);
                EXPECT_EQ(result->experiments[0].conditions.size(), 1u);
            }
        }
        EXPECT_EQ(answered, c.answered);
        auto messages = log.messages();
        if (c.log) {
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0].rfind(c.log, 0), 0u) << messages[0];
        } else {
            EXPECT_TRUE(messages.empty());
        }
    }
}

/// `body` (a JSON object) grown by an unknown key to exactly `size` bytes.
std::string paddedTo(std::string_view body, std::size_t size) {
    const std::string head = R"({"pad":")";
    const std::string tail = R"(",)" + std::string(body.substr(1));
    return head + std::string(size - head.size() - tail.size(), 'x') + tail;
}

TEST(BackendAnswerRulesTest, StateAnswersAreCappedAtOneMebibyte) {
    constexpr std::size_t cap = 1024 * 1024;
    struct Case {
        const char* endpoint;
        const char* body;
        std::function<bool(Backend&)> answered;
    };
    const Case cases[] = {
        {"/analytics/config", validConfig,
         [](Backend& backend) {
             return !backend.requestConfig("key", identifiers, Versions{}).isDefault;
         }},
        {"/analytics/identification", R"({"morvanixId": 5})",
         [](Backend& backend) {
             return backend.requestIdentification("key", 1, identifiers).summary() != nullptr;
         }},
        {"/remoteconfig/experiments", R"({"experiments": [], "version": 2, "userProperties": {}})",
         [](Backend& backend) {
             return backend.requestABTestConfig("key", identifiers, Versions{}).has_value();
         }},
        {"/remoteconfig/offer", R"({"involvedExperiments": []})",
         [](Backend& backend) {
             return backend.requestAbTestOffer("key", identifiers, {}).has_value();
         }},
        {"/messaging/config", R"({"pushCategories": {"version": 3, "categories": []}})",
         [](Backend& backend) {
             return backend.requestMessagingConfig("key", {}, identifiers).has_value();
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.endpoint);
        BackendGatewayFixture fixture;
        LogCapture log(MVKLogLevel::info);
        fixture.answer(c.endpoint, 200, paddedTo(c.body, cap));
        EXPECT_TRUE(c.answered(fixture.backend()));
        fixture.answer(c.endpoint, 200, paddedTo(c.body, cap + 1));
        EXPECT_FALSE(c.answered(fixture.backend()));
    }
}

}  // namespace
}  // namespace mvk
