#include <gtest/gtest.h>

#include "backend/Attempt.hpp"
#include "backend/RetryAfter.hpp"
#include "backend/SummaryBackendData.hpp"
#include "foundation/JsonCoding.hpp"
#include "records/Versions.hpp"

namespace mvk {
namespace {

using nlohmann::json;

TEST(VersionsTest, EncodesSixKeysInOrderAndNeverTheBuildVersion) {
    struct Case {
        const char* name;
        Versions versions;
        const char* text;
    };
    const Case cases[] = {
        {"everything",
         {"2.2.6", 10, "1.4", "1402", 7, 3, 12},
         R"({"sdkVersion":"2.2.6","sdkCodeVersion":10,"appVersion":"1.4","excludeVersion":7,)"
         R"("sbsConfigVersion":3,"configVersion":12})"},
        {"no application version is null, absent versions are left out",
         {"2.2.6", 10, std::nullopt, "1402", std::nullopt, std::nullopt, std::nullopt},
         R"({"sdkVersion":"2.2.6","sdkCodeVersion":10,"appVersion":null})"},
        {"zero versions are still written",
         {"3.0", 10, "", std::nullopt, 0, 0, 0},
         R"({"sdkVersion":"3.0","sdkCodeVersion":10,"appVersion":"","excludeVersion":0,)"
         R"("sbsConfigVersion":0,"configVersion":0})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(toJSONData(c.versions), c.text);
    }
}

TEST(AttemptTest, AlwaysWritesTheAttempt) {
    EXPECT_EQ(toJSONData(Attempt{3}), R"({"attempt":3})");
}

TEST(IdentificationAnswerTest, DecodesFromOneFlatObject) {
    struct Case {
        const char* name;
        const char* text;
        std::optional<SummaryBackendData> expected;
        const char* failedKey = "";
    };
    const Case cases[] = {
        {"empty answer: all absent, not an error", "{}", SummaryBackendData{}},
        {"ids and data side by side", R"({"morvanixId": 5, "newUser": true, "other": [1]})",
         SummaryBackendData{{.morvanixId = 5}, {.isNewUser = true}}},
        {"isNewUser is not the wire key", R"({"isNewUser": true})", SummaryBackendData{}},
        {"null reads as absent", R"({"morvanixId": null, "pSum": null})", SummaryBackendData{}},
        {"integral float is an integer", R"({"morvanixIdTimestamp": 1.7e12})",
         SummaryBackendData{{.morvanixIdTimestamp = 1700000000000}}},
        {"every field",
         R"({"morvanixId": 1, "crossPlatformMorvanixId": 2, "morvanixIdTimestamp": 3,
             "created": 4, "newUser": false, "firstVersion": "1.0", "pCapacity": 5,
             "pCount": 6, "pSum": 7.5, "sbsCount": 8, "sbsSum": 9, "sbsStatus": 10,
             "channel": 11, "campaign": 12})",
         SummaryBackendData{{1, 2, 3}, {4, false, "1.0", 5, 6, 7.5, 8, 9.0, 10, 11, 12}}},
        {"a present key must have its type", R"({"created": "yesterday"})", std::nullopt,
         "created"},
        {"bool is no number", R"({"morvanixId": true})", std::nullopt, "morvanixId"},
        {"number is no bool", R"({"newUser": 1})", std::nullopt, "newUser"},
        {"fraction is no integer", R"({"pCount": 1.5})", std::nullopt, "pCount"},
        {"out of 64-bit range", R"({"channel": 9223372036854775808})", std::nullopt, "channel"},
        {"not an object", "[]", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        auto decoded = SummaryBackendData::fromJson(json::parse(c.text), &error);
        EXPECT_EQ(decoded, c.expected);
        if (!c.expected) {
            EXPECT_NE(error.find(c.failedKey), std::string::npos) << error;
        }
    }
}

TEST(IdentificationAnswerTest, DescriptionsListPresentFieldsOrSayEmpty) {
    EXPECT_EQ(UserIdentifiers{}.description(), "Empty failed");
    EXPECT_EQ(UserData{}.description(), "BackendUserInfo is empty");

    EXPECT_EQ((UserIdentifiers{5, std::nullopt, 1700000000000}).description(),
              "\tmorvanixId: 5\n\tmorvanixIdTimestamp: 1700000000000");
    EXPECT_EQ((UserIdentifiers{.crossPlatformMorvanixId = -2}).description(),
              "\n\tcrossPlatformMorvanixId: -2");

    const UserData full{4, true, "1.0", 5, 6, 4.99, 8, 10.0, 10, 11, 12};
    EXPECT_EQ(full.description(),
              "\tcreated: 4\n\tisNewUser: true\n\tfirstVersion: 1.0\n\tpayingCapacity: 5"
              "\n\tpaymentsCount: 6\n\tpaymentsSum: 4.99\n\tsbsPaymentsCount: 8"
              "\n\tsbsPaymentsSum: 10\n\tsbsStatus: 10\n\tchannel: 11\n\tcampaign: 12");
    EXPECT_EQ((UserData{.isNewUser = false, .paymentsSum = 0.1 + 0.2}).description(),
              "\n\tisNewUser: false\n\tpaymentsSum: 0.30000000000000004");
}

TEST(IdentificationAnswerTest, EncodesNestedWithWireKeys) {
    const SummaryBackendData data{{.morvanixId = 5},
                                  {.created = 1, .isNewUser = true, .paymentsSum = 2.5}};
    EXPECT_EQ(toJSONData(data), R"({"userIdentifications":{"morvanixId":5},)"
                                R"("userData":{"created":1,"newUser":true,"pSum":2.5}})");
    EXPECT_EQ(toJSONData(SummaryBackendData{}), R"({"userIdentifications":{},"userData":{}})");
}

TEST(RetryAfterTest, RequiresAnIntegerRetryAfter) {
    EXPECT_EQ(RetryAfter::fromJson(json::parse(R"({"retryAfter": 60})")), RetryAfter{60});
    for (const char* text : {"{}", R"({"retryAfter": "60"})", R"({"retryAfter": null})", "60"}) {
        SCOPED_TRACE(text);
        std::string error;
        EXPECT_FALSE(RetryAfter::fromJson(json::parse(text), &error));
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
}  // namespace mvk
