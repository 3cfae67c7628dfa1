#include <gtest/gtest.h>

#include <limits>

#include "events/RestoredTransaction.hpp"
#include "events/SubscriptionProduct.hpp"
#include "foundation/JsonCoding.hpp"

namespace mvk {
namespace {

SubscriptionProduct monthly() {
    return {.productId = "month", .price = 4.99, .regionCode = "US", .currencyCode = "USD"};
}

SubscriptionProduct withDiscounts(std::map<std::string, double> discounts) {
    auto product = monthly();
    product.discounts = std::move(discounts);
    return product;
}

TEST(SubscriptionProductTest, EqualityToleratesSmallPriceNoiseAndIgnoresTheRegion) {
    struct Case {
        const char* name;
        SubscriptionProduct other;
        bool equal;
    };
    auto changed = [](auto change) {
        auto product = monthly();
        change(product);
        return product;
    };
    const Case cases[] = {
        {"same", monthly(), true},
        {"other region", changed([](auto& p) { p.regionCode = "DE"; }), true},
        {"price off by 0.00005", changed([](auto& p) { p.price = 4.99005; }), true},
        {"price off by 0.001", changed([](auto& p) { p.price = 4.991; }), false},
        {"other currency", changed([](auto& p) { p.currencyCode = "usd"; }), false},
        {"other id", changed([](auto& p) { p.productId = "year"; }), false},
        {"introductory price 0", changed([](auto& p) { p.introductoryPrice = 0.0; }), true},
        {"introductory price 1", changed([](auto& p) { p.introductoryPrice = 1.0; }), false},
        {"NaN price", changed([](auto& p) { p.price = std::nan(""); }), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(monthly() == c.other, c.equal);
        EXPECT_EQ(c.other == monthly(), c.equal);
    }
}

TEST(SubscriptionProductTest, DiscountsCountOnlyWhenBothSidesHaveAsMany) {
    const auto a1 = withDiscounts({{"a", 1}});
    EXPECT_EQ(a1, monthly());
    EXPECT_EQ(a1, withDiscounts({{"a", 1}, {"b", 2}}));
    EXPECT_EQ(a1, withDiscounts({{"a", 1.00001}}));
    EXPECT_NE(a1, withDiscounts({{"b", 1}}));
    EXPECT_NE(a1, withDiscounts({{"a", 1.5}}));
}

TEST(SubscriptionProductTest, JsonFormWritesPricesInTheirDecimalFormAndReadsBack) {
    auto product = monthly();
    product.introductoryPrice = 0.99;
    product.discounts = std::map<std::string, double>{{"winter", 2.49}, {"intro", 1}};
    const auto text = toJSONData(product);
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, R"({"productId":"month","price":4.99,"regionCode":"US","currencyCode":"USD",)"
                     R"("introductoryPrice":0.99,"discounts":{"intro":1.0,"winter":2.49}})");
    const auto back = decodeJson<SubscriptionProduct>(*text);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->regionCode, "US");
    EXPECT_EQ(back->discounts, product.discounts);
    EXPECT_EQ(*back, product);

    EXPECT_EQ(toJSONData(monthly()),
              R"({"productId":"month","price":4.99,"regionCode":"US","currencyCode":"USD"})");
    product.price = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(toJSONData(product)) << "a non-finite price is never written as null";
}

TEST(SubscriptionProductTest, DecodingIsStrict) {
    struct Case {
        const char* text;
        bool accepted;
    };
    const Case cases[] = {
        {R"({"productId":"m","price":5,"regionCode":"","currencyCode":""})", true},
        {R"({"productId":"m","price":5,"regionCode":"","currencyCode":"",)"
         R"("introductoryPrice":null,"discounts":null})",
         true},
        {R"({"productId":"m","regionCode":"","currencyCode":""})", false},
        {R"({"productId":"m","price":"5","regionCode":"","currencyCode":""})", false},
        {R"({"productId":"m","price":true,"regionCode":"","currencyCode":""})", false},
        {R"({"productId":"m","price":5,"regionCode":"","currencyCode":null})", false},
        {R"({"productId":"m","price":5,"regionCode":"","currencyCode":"","discounts":[]})", false},
        {R"({"productId":"m","price":5,"regionCode":"","currencyCode":"",)"
         R"("discounts":{"a":"1"}})",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(decodeJson<SubscriptionProduct>(c.text).has_value(), c.accepted);
    }
}

TEST(RestoredTransactionTest, JsonFormUsesACapitalDAndRequiresBothKeys) {
    const RestoredTransaction transaction{.productID = "month", .transactionIds = {"1", "2"}};
    const auto text = toJSONData(transaction);
    EXPECT_EQ(text, R"({"productID":"month","transactionIds":["1","2"]})");
    EXPECT_EQ(decodeJson<RestoredTransaction>(*text), transaction);

    EXPECT_FALSE(decodeJson<RestoredTransaction>(R"({"productID":"month"})"));
    EXPECT_FALSE(decodeJson<RestoredTransaction>(R"({"productId":"m","transactionIds":[]})"));
    EXPECT_FALSE(decodeJson<RestoredTransaction>(R"({"productID":"m","transactionIds":[1]})"));
}

}  // namespace
}  // namespace mvk
