#include <gtest/gtest.h>

#include "foundation/JsonCoding.hpp"
#include "mvk/MVKVerifyResponse.hpp"
#include "records/MessagingConfig.hpp"
#include "records/MessagingRequestObject.hpp"
#include "records/Receipt.hpp"
#include "records/ReceiptResult.hpp"

namespace mvk {
namespace {

TEST(MessagingRecordsTest, RequestLeavesOutAMissingLanguage) {
    EXPECT_EQ(toJSONData(MessagingRequestObject{"2.2.6", 10, "1.0", 0, std::nullopt}),
              R"({"sdkVersion":"2.2.6","sdkCodeVersion":10,"appVersion":"1.0",)"
              R"("categoriesVersion":0})");
    EXPECT_EQ(toJSONData(MessagingRequestObject{"2.2.6", 10, "1.0", 5, "de"}),
              R"({"sdkVersion":"2.2.6","sdkCodeVersion":10,"appVersion":"1.0",)"
              R"("categoriesVersion":5,"language":"de"})");
}

TEST(MessagingRecordsTest, AnswerRules) {
    struct Case {
        const char* name;
        const char* text;
        std::optional<MessagingConfig> expected;
    };
    const MassagingButtonInfo open{"open", "Open", "foreground"};
    const MassagingButtonInfo later{"later", "Later", std::nullopt};
    const Case cases[] = {
        {"null categories", R"({"pushCategories": {"version": 3, "categories": null}})",
         MessagingConfig{3, {}, std::nullopt}},
        {"categories, removed and other keys",
         R"({"other": 1, "pushCategories": {"version": 4, "removed": ["x"], "categories": [
              {"id": "c", "buttons": [{"id": "open", "text": "Open", "activationMode": "foreground"},
                                      {"id": "later", "text": "Later", "activationMode": null}]}]}})",
         MessagingConfig{4,
                         {MessagingCategory{.id = "c", .buttons = {open, later}}},
                         std::vector<std::string>{"x"}}},
        {"removed null", R"({"pushCategories": {"version": 1, "categories": [], "removed": null}})",
         MessagingConfig{1, {}, std::nullopt}},
        {"no version", R"({"pushCategories": {"categories": []}})", std::nullopt},
        {"no categories key", R"({"pushCategories": {"version": 1}})", std::nullopt},
        {"no pushCategories", R"({"version": 1, "categories": []})", std::nullopt},
        {"pushCategories not an object", R"({"pushCategories": []})", std::nullopt},
        {"button without activationMode",
         R"({"pushCategories": {"version": 1, "categories": [
              {"id": "c", "buttons": [{"id": "b", "text": "B"}]}]}})",
         std::nullopt},
        {"removed holding a number",
         R"({"pushCategories": {"version": 1, "categories": [], "removed": [1]}})", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(decodeJson<MessagingConfig>(c.text), c.expected);
    }
}

TEST(ReceiptRecordsTest, RequestBody) {
    EXPECT_EQ(toJSONData(Receipt{"ios", {"MIIabc==", ""}, "com.example.game"}),
              R"({"platform":"ios","receipt":{"receipt-data":"MIIabc==","password":""},)"
              R"("bundle":"com.example.game"})");
    EXPECT_EQ(toJSONData(Receipt{.receipt = {"r"}}),
              R"({"platform":"ios","receipt":{"receipt-data":"r","password":""}})");
}

TEST(ReceiptRecordsTest, AnswerKeysAreOptionalButTyped) {
    EXPECT_EQ(decodeJson<ReceiptResult>(R"({"status": 3, "other": true})"),
              (ReceiptResult{std::nullopt, 3}));
    EXPECT_EQ(decodeJson<ReceiptResult>(R"({"verificationResult": "x", "status": null})"),
              (ReceiptResult{"x", std::nullopt}));
    EXPECT_EQ(decodeJson<ReceiptResult>("{}"), ReceiptResult{});
    for (const char* bad :
         {R"({"status": "3"})", R"({"status": 1.5})", R"({"verificationResult": 1})", "[]"}) {
        EXPECT_FALSE(decodeJson<ReceiptResult>(bad)) << bad;
    }
    EXPECT_EQ((ReceiptResult{"ok", 0}).description(), "\tverificationResult: ok\n\tstatus: 0");
    EXPECT_EQ((ReceiptResult{std::nullopt, 7}).description(), "\tstatus: 7");
}

TEST(ReceiptRecordsTest, StatusesAndResponseDescriptions) {
    const std::pair<std::int64_t, const char*> statuses[] = {
        {0, "Receipt valid"},   {1, "Receipt not valid"},      {2, "Receipt server error"},
        {3, "Receipt sandbox"}, {4, "Receipt internal error"},
    };
    for (const auto& [raw, text] : statuses) {
        auto status = MVKReceiptStatusFromRawValue(raw);
        ASSERT_TRUE(status);
        EXPECT_EQ(description(*status), text);
    }
    EXPECT_FALSE(MVKReceiptStatusFromRawValue(-1));
    EXPECT_FALSE(MVKReceiptStatusFromRawValue(5));

    EXPECT_EQ(MVKVerifyResponse(MVKReceiptStatus::valid, "fine").description(),
              "receiptStatus: [Receipt valid] verificationResult: [fine]");
    EXPECT_EQ(MVKVerifyResponse(MVKReceiptStatus::sandbox).description(),
              "receiptStatus: [Receipt sandbox]");
}

}  // namespace
}  // namespace mvk
