#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <unordered_set>

#include "foundation/AnyCodable.hpp"
#include "foundation/JsonCoding.hpp"

namespace mvk {
namespace {

using Kind = AnyCodable::Kind;

AnyCodable decoded(std::string_view text) {
    auto value = AnyCodable::parse(text);
    EXPECT_TRUE(value.has_value()) << text;
    return value.value_or(AnyCodable());
}

std::string nested(std::size_t depth, std::string_view open, std::string_view close,
                   std::string_view inner = "") {
    std::string text;
    for (std::size_t i = 0; i < depth; ++i) {
        text += open;
    }
    text += inner;
    for (std::size_t i = 0; i < depth; ++i) {
        text += close;
    }
    return text;
}

TEST(AnyCodableTest, DecodesEachKindAndEncodesTheSameText) {
    const struct {
        const char* text;
        Kind kind;
    } cases[] = {
        {"null", Kind::null},
        {"true", Kind::boolean},
        {"false", Kind::boolean},
        {"-1", Kind::integer},
        {"0", Kind::integer},
        {"9223372036854775807", Kind::integer},
        {"-9223372036854775808", Kind::integer},
        {"9223372036854775808", Kind::unsignedInteger},
        {"18446744073709551615", Kind::unsignedInteger},
        {"1.5", Kind::floating},
        {"-0.25", Kind::floating},
        {R"("a\"b\u00e9")", Kind::string},
        {R"([1,"a",null,true])", Kind::array},
        {"[]", Kind::array},
        {"{}", Kind::object},
        {R"({"z":1,"a":[1,{"c":null}],"m":{"y":2.5,"b":"x"}})", Kind::object},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto value = decoded(c.text);
        EXPECT_EQ(value.kind(), c.kind);
        auto text = c.kind == Kind::string ? std::optional<std::string>("\"a\\\"bé\"")
                                           : std::optional<std::string>(c.text);
        EXPECT_EQ(toJSONData(value), text);
        EXPECT_EQ(decoded(*toJSONData(value)), value);
    }
}

TEST(AnyCodableTest, DecodedArrayHoldsPlainElementsInOrder) {
    auto value = decoded(R"([1, "a", null, true])");
    ASSERT_EQ(value.size(), 4u);
    EXPECT_EQ(value.at(0)->asInt(), 1);
    EXPECT_EQ(*value.at(1)->asString(), "a");
    EXPECT_TRUE(value.at(2)->isNull());
    EXPECT_EQ(value.at(3)->asBool(), true);
    EXPECT_EQ(value.at(4), nullptr);
    EXPECT_EQ(value.find("a"), nullptr);
}

TEST(AnyCodableTest, NumbersBeyondEveryIntegerRangeDecodeAsDouble) {
    EXPECT_EQ(decoded("18446744073709551616").kind(), Kind::floating);
    EXPECT_EQ(decoded("-9223372036854775809").kind(), Kind::floating);
    EXPECT_EQ(decoded("9223372036854775808").asUInt(), 9223372036854775808ULL);
    EXPECT_FALSE(AnyCodable::parse("1e400"));
}

TEST(AnyCodableTest, MalformedTextsAreRefusedWithAReason) {
    const std::string cases[] = {
        "",
        " ",
        "[1,",
        R"({"a"})",
        "nul",
        "[1] x",
        "'a'",
        "NaN",
        "Infinity",
        "\xff",
        "[\"\xc3\x28\"]",
        "\"\xed\xa0\x80\"",
        "{\"\xe9\": 1}",
        "\"a\x01\"",
    };
    for (const auto& text : cases) {
        SCOPED_TRACE(text);
        std::string error;
        EXPECT_FALSE(AnyCodable::parse(text, &error));
        EXPECT_FALSE(error.empty());
    }
}

TEST(AnyCodableTest, NestingBeyondTheLimitFailsEverywhere) {
    const auto limit = AnyCodable::maxDepth;
    EXPECT_TRUE(AnyCodable::parse(nested(limit, "[", "]")));
    EXPECT_TRUE(AnyCodable::parse(nested(limit, R"({"k":)", "}", "1")));
    EXPECT_FALSE(AnyCodable::parse(nested(limit + 1, R"({"k":)", "}", "1")));
    EXPECT_FALSE(AnyCodable::parse(nested(limit + 1, "[", "]")));
    // Far deeper than any stack could recurse through.
    EXPECT_FALSE(AnyCodable::parse(std::string(1'000'000, '[')));
    EXPECT_FALSE(AnyCodable::parse(nested(200'000, "[", "]")));

    nlohmann::json deep = nlohmann::json::array();
    for (std::size_t i = 0; i < limit; ++i) {
        deep = nlohmann::json::array({deep});
    }
    EXPECT_FALSE(AnyCodable::fromJson(deep));
    EXPECT_TRUE(AnyCodable::fromJson(deep[0]));

    AnyCodable built = AnyCodable::array();
    for (std::size_t i = 0; i < limit; ++i) {
        built = AnyCodable::array({built});
    }
    EXPECT_FALSE(built.toJson());
    EXPECT_TRUE(built.at(0)->toJson());
}

TEST(AnyCodableTest, NonFiniteDoublesFailToEncodeAtAnyDepth) {
    const double values[] = {std::nan(""), std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity()};
    for (double v : values) {
        SCOPED_TRACE(v);
        EXPECT_FALSE(AnyCodable(v).toJson());
        EXPECT_FALSE(AnyCodable::array({1, AnyCodable::array({v})}).toJson());
        EXPECT_FALSE(AnyCodable::object({{"a", AnyCodable::object({{"b", v}})}}).toJson());
        EXPECT_FALSE(AnyCodable::fromJson(nlohmann::json::array({1, v})));
    }
}

TEST(AnyCodableTest, RepeatedKeysInLiteralKeepFirstAndInTextKeepLast) {
    auto literal = AnyCodable::object({{"a", 1}, {"b", 2}, {"a", 3}});
    EXPECT_EQ(literal.size(), 2u);
    EXPECT_EQ(literal.find("a")->asInt(), 1);

    auto parsed = decoded(R"({"a":1,"b":2,"a":3})");
    EXPECT_EQ(toJSONData(parsed), R"({"a":3,"b":2})");
}

TEST(AnyCodableTest, ConstructionFromHostValues) {
    const std::optional<int> none;
    const char* nullText = nullptr;
    EXPECT_TRUE(AnyCodable(none).isNull());
    EXPECT_TRUE(AnyCodable(nullText).isNull());
    EXPECT_EQ(AnyCodable(std::optional<int>(5)).asInt(), 5);
    EXPECT_EQ(*AnyCodable('a').asString(), "a");
    EXPECT_EQ(AnyCodable(std::int8_t{-3}).asInt(), -3);
    EXPECT_EQ(AnyCodable(5u).asUInt(), 5u);
    EXPECT_EQ(AnyCodable(1.5f).asDouble(), 1.5);
    EXPECT_EQ(AnyCodable(std::vector<int>{1, 2}), AnyCodable::array({1, 2}));
    std::map<std::string, std::optional<std::string>> map{{"b", "x"}, {"a", std::nullopt}};
    EXPECT_EQ(toJSONData(AnyCodable(map)), R"({"a":null,"b":"x"})");
    EXPECT_FALSE(AnyCodable(1).asDouble());
    EXPECT_FALSE(AnyCodable(1.0).asInt());
    EXPECT_EQ(AnyCodable("x").asArray(), nullptr);
}

struct Pair {
    AnyCodable lhs, rhs;
    bool equal;
};

std::vector<Pair> equalityCases() {
    const double big = 9007199254740992.0;  // 2^53
    return {
        {nullptr, nullptr, true},
        {nullptr, false, false},
        {1, 1.0, true},
        {1.0, 1, true},
        {0, -0.0, true},
        {2, 2.5, false},
        {std::int64_t{9007199254740993}, big, true},  // int converts to double first
        {1u, 1, false},
        {1u, 1u, true},
        {true, 1, false},
        {"1", 1, false},
        {"a", "a", true},
        {std::nan(""), std::nan(""), false},
        {AnyCodable::array({1, 2}), AnyCodable::array({1, 2}), true},
        {AnyCodable::array({1, 2}), AnyCodable::array({2, 1}), false},
        {AnyCodable::array({1, 2}), AnyCodable::array({1}), false},
        {AnyCodable::array({1}), AnyCodable::array({1.0}), true},
        {AnyCodable::array(), AnyCodable::array(), true},
        {AnyCodable::array(), AnyCodable::object(), false},
        {decoded(R"({"a":[1,2]})"), decoded(R"({"a":[1,2]})"), true},
        {decoded(R"({"a":1,"b":{"c":[true]}})"), decoded(R"({"b":{"c":[true]},"a":1.0})"), true},
        {decoded(R"({"a":1,"b":2})"), decoded(R"({"b":2,"c":1})"), false},
        {decoded(R"({"a":1})"), decoded(R"({"a":1,"b":2})"), false},
        {decoded(R"({"a":[1,2]})"), decoded(R"({"a":[1,3]})"), false},
    };
}

TEST(AnyCodableTest, EqualityAndHashAgree) {
    for (const auto& c : equalityCases()) {
        SCOPED_TRACE(c.lhs.debugDescription() + " vs " + c.rhs.debugDescription());
        EXPECT_EQ(c.lhs == c.rhs, c.equal);
        EXPECT_EQ(c.rhs == c.lhs, c.equal);
        if (c.equal) {
            EXPECT_EQ(c.lhs.hash(), c.rhs.hash());
        }
    }
}

TEST(AnyCodableTest, HashSetKeepsOneOfEachEqualValue) {
    std::unordered_set<AnyCodable> set{1,
                                       1.0,
                                       1u,
                                       true,
                                       "1",
                                       AnyCodable::array({1}),
                                       AnyCodable::array({1.0}),
                                       decoded(R"({"a":1,"b":2})"),
                                       decoded(R"({"b":2,"a":1.0})")};
    EXPECT_EQ(set.size(), 6u);
}

TEST(AnyCodableTest, OrderingFollowsNumericRulesOnly) {
    const struct {
        AnyCodable lhs, rhs;
        bool less, greater, lessEqual, greaterEqual;
    } cases[] = {
        {nullptr, nullptr, true, true, true, true},
        {2, 3, true, false, true, false},
        {3, 3, false, false, true, true},
        {2, 2.5, true, false, true, false},
        {2.5, 2, false, true, false, true},
        {2.0, 2, false, false, true, true},
        {1.5, 0.5, false, true, false, true},
        {std::nan(""), 1, false, false, false, false},
        {1u, 2u, false, false, false, false},
        {1, 2u, false, false, false, false},
        {"a", "b", false, false, false, false},
        {false, true, false, false, false, false},
        {nullptr, 1, false, false, false, false},
        {AnyCodable::array({1}), AnyCodable::array({2}), false, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lhs.debugDescription() + " vs " + c.rhs.debugDescription());
        EXPECT_EQ(c.lhs < c.rhs, c.less);
        EXPECT_EQ(c.lhs > c.rhs, c.greater);
        EXPECT_EQ(c.lhs <= c.rhs, c.lessEqual);
        EXPECT_EQ(c.lhs >= c.rhs, c.greaterEqual);
    }
}

TEST(AnyCodableTest, TextForms) {
    const struct {
        AnyCodable value;
        const char* description;
        const char* debug;
    } cases[] = {
        {nullptr, "nil", "AnyCodable(nil)"},
        {true, "true", "AnyCodable(true)"},
        {-42, "-42", "AnyCodable(-42)"},
        {1.0, "1.0", "AnyCodable(1.0)"},
        {1.5, "1.5", "AnyCodable(1.5)"},
        {"a", "a", "AnyCodable(\"a\")"},
        {AnyCodable::array({1, "a", nullptr}), "[1, \"a\", nil]", "AnyCodable([1, \"a\", nil])"},
        {AnyCodable::object(), "[:]", "AnyCodable([:])"},
        {AnyCodable::object({{"k", "v"}}), "[\"k\": \"v\"]", "AnyCodable([\"k\": \"v\"])"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.value.description(), c.description);
        EXPECT_EQ(c.value.debugDescription(), c.debug);
    }
}

}  // namespace
}  // namespace mvk
