#include <optional>
#include <string>

#include "validation/ValidationTestSupport.hpp"

namespace mvk {
namespace {

using test::canceled;
using test::error;
using test::inf;
using test::Lines;
using test::nan;
using Resources = ValidatorRules::Resources;
using CurrencyList = ValidatorRules::CurrencyList;

class ValidatorRulesTest : public test::ValidationTest {};

TEST_F(ValidatorRulesTest, CustomEventKeepsTheGoodParametersAndLogsEveryBadOne) {
    const std::string ce = "CustomEvent";
    const auto value = [&](const std::string& key, const std::string& detail) {
        return error(ce, "The value of the parameters dictionary by [" + key + "] key" + detail);
    };
    const std::string typeLine =
        "ERROR In the CustomEvent method an error has occurred: \n\tParameter must be of a valid "
        "type (Bool, Int, Double, String).";
    const std::string key40(40, 'k');
    const std::string key32(32, 'k');
    const std::string key33(33, 'k');
    const std::string text255(255, 't');
    const std::string text256(256, 't');
    constexpr auto int64Max = std::numeric_limits<std::int64_t>::max();
    const struct {
        const char* name;
        std::string eventName;
        AnyCodable::Object parameters;
        std::optional<AnyCodable::Object> expected;
        Lines lines;
    } cases[] = {
        {"a name of control characters only",
         "\x01\x7F\xE2\x80\x8B",
         {{"ok", 1}},
         std::nullopt,
         {error(ce, "The custom event name is empty!"), canceled(ce)}},
        {"dropped beside kept",
         "level",
         {{"empty", ""},
          {"inf", inf},
          {"minf", -inf},
          {"nan", nan},
          {"null", nullptr},
          {"array", AnyCodable::array({1})},
          {"big", std::numeric_limits<std::uint64_t>::max()},
          {"int", 5},
          {"text", "t\x07x"},
          {"flag", true},
          {"half", 0.5}},
         AnyCodable::Object{{"int", 5}, {"text", "tx"}, {"flag", true}, {"half", 0.5}},
         {value("empty", " is empty!"),
          value("inf", " [inf] is greater than the max [1.7976931348623157e+308] permitted value!"),
          value("minf", " [-inf] is less than the min [-1.7976931348623157e+308] permitted value!"),
          value("nan", " \n\tParameter cannot be NAN."), typeLine, typeLine,
          value("big",
                " [18446744073709551615] is greater than the max [9223372036854775807] permitted "
                "value!")}},
        {"keys equal after cleaning keep the later value",
         "level",
         {{"a\x01"
           "b",
           1},
          {"ab", 2},
          {"\x02", 3},
          {"c", 4},
          {"c\xE2\x80\x8B", 5}},
         AnyCodable::Object{{"ab", 2}, {"c", 5}},
         {error(ce, "The key of the parameters dictionary is empty!")}},
        {"a 40-character key is cut to 32",
         "level",
         {{key40, 1}},
         AnyCodable::Object{{std::string(32, 'k'), 1}},
         {test::truncated(ce, "The key of the parameters dictionary", key40, 32)}},
        {"plain parameters keep their order",
         "level",
         {{"b", 1}, {"a", "x"}, {"u", std::uint64_t{7}}, {"d", -0.25}},
         AnyCodable::Object{{"b", 1}, {"a", "x"}, {"u", 7}, {"d", -0.25}},
         {}},
        {"values at their bounds are kept silently",
         "level",
         {{key32, 1},
          {"text", text255},
          {"max", static_cast<std::uint64_t>(int64Max)},
          {"tiny", 5e-324},
          {"del\x7F", true},
          {"word", "\xD0\xBC\xD0\xB8\xD1\x80"}},
         AnyCodable::Object{{key32, 1},
                            {"text", text255},
                            {"max", int64Max},
                            {"tiny", 5e-324},
                            {"del", true},
                            {"word", "\xD0\xBC\xD0\xB8\xD1\x80"}},
         {}},
        {"one past the bounds is cut with a line",
         "level",
         {{key33, 1}, {"text", text256}},
         AnyCodable::Object{{key32, 1}, {"text", text255}},
         {test::truncated(ce, "The key of the parameters dictionary", key33, 32),
          test::truncated(ce, "The value of the parameters dictionary by [text] key", text256,
                          255)}},
        {"a plain key after a cleaned one equal to it replaces its value",
         "level",
         {{"a\x01", 1}, {"a", 2}, {"b", 3}},
         AnyCodable::Object{{"a", 2}, {"b", 3}},
         {}},
        {"parameter lines come before the cancel line",
         "",
         {{"empty", ""}},
         std::nullopt,
         {error(ce, "The custom event name is empty!"), value("empty", " is empty!"),
          canceled(ce)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        const auto result = ValidatorRules::validateCustomEvent(c.eventName, c.parameters);
        ASSERT_EQ(result.has_value(), c.expected.has_value());
        if (result) {
            EXPECT_EQ(result->name, c.eventName);
            EXPECT_EQ(result->params, *c.expected);
            // Host order is kept: the event's JSON lists the parameters as added.
            auto expected = c.expected->begin();
            for (const auto& [key, kept] : result->params) {
                EXPECT_EQ(key, (expected++)->first);
            }
        }
        EXPECT_EQ(log.messages(), c.lines);
    }
}

TEST_F(ValidatorRulesTest, EachCurrencyListHoldsAtMostTheConfiguredNumberOfNames) {
    Validator settings;
    const Resources three{{"a", 1}, {"b", 1}, {"c", 1}};

    // Before any configuration names pass and nothing is recorded.
    EXPECT_EQ(ValidatorRules::validateLevelUp(2, three)->balances, three);
    EXPECT_TRUE(ValidatorRules::currencyNames(CurrencyList::levelUp).empty());

    settings.setNumberOfCurrencies(2);
    log.clear();
    EXPECT_EQ(ValidatorRules::validateLevelUp(2, three)->balances, (Resources{{"a", 1}, {"b", 1}}));
    EXPECT_EQ(ValidatorRules::validateCurrentBalance({{"c", 7}}), (Resources{{"c", 7}}));
    EXPECT_EQ(
        ValidatorRules::validateVirtualCurrencyPayment("id", "type", 1, {{"c", 1}})->resources,
        (Resources{{"c", 1}}));
    EXPECT_EQ(ValidatorRules::validateFinishProgressionEvent(
                  "boss", {.spent = {{"c", 1}, {"d", 2}}, .earned = {{"e", 3}}})
                  ->parameters.earned,
              Resources{});
    EXPECT_EQ(ValidatorRules::currencyNames(CurrencyList::levelUp), (Lines{"a", "b"}));
    EXPECT_EQ(ValidatorRules::currencyNames(CurrencyList::finishProgression), (Lines{"c", "d"}));
    EXPECT_TRUE(log.messages().empty());

    // A negative count from the gateway admits no name at all.
    ValidatorRules::clearCurrencyValidators();
    settings.setNumberOfCurrencies(-1);
    EXPECT_EQ(Validator::numberOfCurrencies(), 0);
    EXPECT_EQ(ValidatorRules::validateLevelUp(2, three)->balances, Resources{});
    EXPECT_EQ(ValidatorRules::validateCurrentBalance(three), std::nullopt);
    EXPECT_EQ(log.messages(),
              (Lines{error("CurrentBalance", "The balance parameter value is empty!"),
                     canceled("CurrentBalance")}));
}

TEST_F(ValidatorRulesTest, ResourceRulesDropBadEntriesAndCancelOnlyWhereTheyMust) {
    const std::string vp = "VirtualCurrencyPayment";
    log.clear();
    EXPECT_EQ(
        ValidatorRules::validateVirtualCurrencyPayment("id", "type", 1, {{"gem", 0}, {"gold", 0}}),
        std::nullopt);
    EXPECT_EQ(
        log.messages(),
        (Lines{error(vp,
                     "The value of the resources dictionary [0] is less than the min [1] "
                     "permitted value!"),
               error(vp,
                     "The value of the resources dictionary [0] is less than the min [1] "
                     "permitted value!"),
               "ERROR VirtualCurrencyPayment has empty Resources dictionary!", canceled(vp)}));

    log.clear();
    const auto levelUp = ValidatorRules::validateLevelUp(
        0, {{"\x01", 5}, {"g\x01old", std::numeric_limits<std::int64_t>::min()}});
    EXPECT_EQ(levelUp, std::nullopt);
    EXPECT_EQ(log.messages(),
              (Lines{error("LevelUp",
                           "The level argument value [0] is less than the min [1] "
                           "permitted value!"),
                     error("LevelUp", "The [] key of the balances dictionary is empty!"),
                     canceled("LevelUp")}));

    log.clear();
    const auto finish = ValidatorRules::validateFinishProgressionEvent(
        "boss", {.successfulCompletion = true, .duration = 30, .spent = {{"gold", 0}}});
    ASSERT_TRUE(finish);
    EXPECT_TRUE(finish->parameters.successfulCompletion);
    EXPECT_EQ(finish->parameters.spent, Resources{});
    EXPECT_EQ(log.messages(),
              (Lines{error("FinishProgressionEvent",
                           "The value of the spent dictionary [0] is less than the min [1] "
                           "permitted value!")}));
}

TEST_F(ValidatorRulesTest, PaymentRulesCheckOrderIdsCodesAndPrices) {
    const std::string rp = "RealCurrencyPayment";
    const std::string id65(65, 'o');
    const struct {
        const char* name;
        std::string orderId;
        double price;
        std::string code;
        std::optional<ValidatorRules::RealCurrencyPaymentArguments> expected;
        Lines lines;
    } cases[] = {
        {"65 characters pass", id65, 0.99, "usd", {{id65, 0.99, "product", "usd"}}, {}},
        {"66 are cut",
         id65 + "o",
         0.99,
         "USD",
         {{id65, 0.99, "product", "USD"}},
         {test::truncated(rp, "The order id argument value", id65 + "o", 65)}},
        {"a control character is not counted and passed on",
         "o",
         1,
         "US\x01"
         "D",
         {{"o", 1, "product",
           "US\x01"
           "D"}},
         {}},
        {"two letters",
         "o",
         1,
         "US",
         std::nullopt,
         {error(rp,
                "The currency code parameter value is invalid\n\tParameter [US] length must "
                "be equal to [3]."),
          canceled(rp)}},
        {"four letters",
         "o",
         1,
         "USDX",
         std::nullopt,
         {error(rp,
                "The currency code parameter value is invalid\n\tParameter [USDX] length "
                "must be equal to [3]."),
          canceled(rp)}},
        {"NaN price and empty order id",
         "\x01",
         nan,
         "USD",
         std::nullopt,
         {error(rp, "The price argument value \n\tParameter cannot be NAN."),
          error(rp, "The order id argument value is empty!"), canceled(rp)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        EXPECT_EQ(
            ValidatorRules::validateRealCurrencyPayment(c.orderId, c.price, "product", c.code),
            c.expected);
        EXPECT_EQ(log.messages(), c.lines);
    }
}

TEST_F(ValidatorRulesTest, AdImpressionRevenueAndOptionalTexts) {
    const std::string ad = "AdImpression";
    const struct {
        const char* name;
        double revenue;
        std::optional<std::string> placement;
        std::optional<ValidatorRules::AdImpressionArguments> expected;
        Lines lines;
    } cases[] = {
        {"zero revenue", 0.0, "menu", {{"net", 0.0, "menu", "unit"}}, {}},
        {"empty placement becomes none", 1.5, "\x01", {{"net", 1.5, std::nullopt, "unit"}}, {}},
        {"negative revenue",
         -0.01,
         std::nullopt,
         std::nullopt,
         {error(ad,
                "The revenue argument value [-0.01] is less than the min [0] permitted "
                "value!"),
          canceled(ad)}},
        {"NaN revenue",
         nan,
         std::nullopt,
         std::nullopt,
         {error(ad, "The revenue argument value \n\tParameter cannot be NAN."), canceled(ad)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        EXPECT_EQ(ValidatorRules::validateAdImpression("net", c.revenue, c.placement, "unit"),
                  c.expected);
        EXPECT_EQ(log.messages(), c.lines);
    }
}

// A host casting an integer reaches the rule with a type that is neither;
// stored, it would be left out of every accrual event and later read as earned.
TEST_F(ValidatorRulesTest, CurrencyAccrualTakesOnlyEarnedOrBought) {
    const std::string ca = "CurrencyAccrual";
    const struct {
        std::int64_t rawType;
        Lines lines;
    } cases[] = {
        {0, {}},
        {1, {}},
        {2,
         {error(ca, "The accrual type [2] is greater than the max [1] permitted value!"),
          canceled(ca)}},
        {-1,
         {error(ca, "The accrual type [-1] is less than the min [0] permitted value!"),
          canceled(ca)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rawType);
        log.clear();
        const auto type = static_cast<MVKAccrualType>(c.rawType);
        const auto valid = ValidatorRules::validateCurrencyAccrual("gold", 5, "quest", type);
        if (c.lines.empty()) {
            EXPECT_EQ(valid, (ValidatorRules::CurrencyAccrualArguments{"gold", 5, "quest", type}));
        } else {
            EXPECT_EQ(valid, std::nullopt);
        }
        EXPECT_EQ(log.messages(), c.lines);
    }
}

TEST_F(ValidatorRulesTest, TextRulesCleanCutAndCancel) {
    EXPECT_EQ(ValidatorRules::validateUserId("SetUserId", ""), "");
    EXPECT_EQ(ValidatorRules::validateReplaceUserId("replaceUserId", "old\x01", "new"),
              (ValidatorRules::ReplaceUserIdArguments{"old", "new"}));
    EXPECT_TRUE(log.messages().empty());

    // The caller writes the cancel line of the user-id rules.
    EXPECT_EQ(ValidatorRules::validateReplaceUserId("replaceUserId", "old", ""), std::nullopt);
    EXPECT_EQ(log.messages(),
              Lines{error("replaceUserId", "The user id argument value is empty!")});

    log.clear();
    EXPECT_EQ(ValidatorRules::validateCurrencyAccrual("gold", 0, "\x01", MVKAccrualType::bought),
              std::nullopt);
    EXPECT_EQ(log.messages(),
              (Lines{error("CurrencyAccrual", "The source is empty!"),
                     error("CurrencyAccrual",
                           "The currency amount [0] is less than the min [1] permitted value!"),
                     canceled("CurrencyAccrual")}));

    log.clear();
    const auto start = ValidatorRules::validateStartProgressionEvent(
        "cave", {.difficulty = 3, .source = std::string("\x01")});
    ASSERT_TRUE(start);
    EXPECT_EQ(start->parameters.source, "");  // a source may be empty
    EXPECT_TRUE(log.messages().empty());

    const ValidatorRules::Referrer referrer{{MVKReferralProperty::source(), "\x01"},
                                            {MVKReferralProperty("campaign"), "spring\x01"}};
    const auto kept = ValidatorRules::validateReferrer(referrer);
    ASSERT_TRUE(kept);
    EXPECT_EQ(*kept, (ValidatorRules::Referrer{{MVKReferralProperty::campaign(), "spring"}}));
    EXPECT_EQ(ValidatorRules::validateReferrer({{MVKReferralProperty::term(), ""}}), std::nullopt);
    EXPECT_EQ(log.messages(), (Lines{error("Referrer", "The referrer argument value is empty!"),
                                     canceled("Referrer")}));
}

}  // namespace
}  // namespace mvk
