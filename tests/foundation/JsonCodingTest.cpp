#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "foundation/JsonCoding.hpp"
#include "state/RealPaymentMark.hpp"
#include "state/TutorialMark.hpp"

namespace mvk {
namespace {

// A record as later parts write them: strict reader, explicit ordered writer.
struct Product {
    std::string id;
    std::int64_t count = 0;
    AnyCodable extra;

    static std::optional<Product> fromJson(const nlohmann::json& json) {
        if (!json.is_object()) {
            return std::nullopt;
        }
        auto id = json.find("id");
        auto count = json.find("count");
        if (id == json.end() || !id->is_string() || count == json.end() ||
            !count->is_number_integer()) {
            return std::nullopt;
        }
        Product product{id->get<std::string>(), count->get<std::int64_t>(), {}};
        if (auto extra = json.find("extra"); extra != json.end()) {
            auto value = AnyCodable::fromJson(*extra);
            if (!value) {
                return std::nullopt;
            }
            product.extra = std::move(*value);
        }
        return product;
    }

    std::optional<nlohmann::ordered_json> toJson() const {
        auto extraJson = extra.toJson();
        if (!extraJson) {
            return std::nullopt;
        }
        nlohmann::ordered_json json;
        json["id"] = id;
        json["count"] = count;
        json["extra"] = std::move(*extraJson);
        return json;
    }

    bool operator==(const Product&) const = default;
};

TEST(JsonCodingTest, RecordRoundTripsThroughCompactText) {
    Product product{"gem", 3, AnyCodable::object({{"z", 1}, {"a", "b"}})};
    auto text = toJSONData(product);
    EXPECT_EQ(text, R"({"id":"gem","count":3,"extra":{"z":1,"a":"b"}})");
    EXPECT_EQ(decodeJson<Product>(*text), product);
    EXPECT_EQ(toPrettyJson(product).substr(0, 16), "{\n  \"id\": \"gem\",");
}

TEST(JsonCodingTest, StrictDecodingAnswersNothingOnAnyFault) {
    const char* cases[] = {
        R"({"id":"gem"})",                 // missing field
        R"({"id":"gem","count":"3"})",     // wrong type
        R"({"id":"gem","count":true})",    // bool where a number belongs
        R"(["gem",3])",                    // not an object
        R"({"id":"gem","count":3)",        // broken
        R"({"id":"gem","count":3} {})",    // trailing data
        "{\"id\":\"g\xff\",\"count\":3}",  // invalid UTF-8
    };
    for (const char* text : cases) {
        EXPECT_FALSE(decodeJson<Product>(text)) << text;
    }
}

TEST(JsonCodingTest, ListsFailWholeWhenOneElementFails) {
    auto list = decodeJson<std::vector<Product>>(R"([{"id":"a","count":1},{"id":"b","count":2}])");
    ASSERT_TRUE(list);
    EXPECT_EQ(list->size(), 2u);
    EXPECT_EQ(toJSONData(*list),
              R"([{"id":"a","count":1,"extra":null},{"id":"b","count":2,"extra":null}])");
    EXPECT_FALSE(decodeJson<std::vector<Product>>(R"([{"id":"a","count":1},{"id":"b"}])"));
    EXPECT_FALSE(decodeJson<std::vector<Product>>(R"({"id":"a","count":1})"));
}

TEST(JsonCodingTest, TextMapOfAnyValuesKeepsOrderAndRefusesOtherShapes) {
    auto map = decodeJson<AnyCodable::Object>(R"({"b":[1,2.5],"a":{"c":null}})");
    ASSERT_TRUE(map);
    EXPECT_EQ(toJSONData(*map), R"({"b":[1,2.5],"a":{"c":null}})");
    EXPECT_FALSE(decodeJson<AnyCodable::Object>("[1]"));
    EXPECT_FALSE(decodeJson<AnyCodable::Object>("null"));
}

TEST(JsonCodingTest, EncodingFailureIsReportedNotWrittenAsNull) {
    Product product{"gem", 1, AnyCodable::array({1, std::nan("")})};
    EXPECT_FALSE(toJSONData(product));
    EXPECT_EQ(toPrettyJson(product), "Error in getting prettyJson");
    EXPECT_FALSE(toJSONData(std::vector<Product>{{"ok", 1, {}}, product}));
}

TEST(JsonCodingTest, InvalidUtf8BuiltInCodeIsReplacedOnOutput) {
    EXPECT_EQ(toJSONData(AnyCodable(std::string("a\xff"))), "\"a\xef\xbf\xbd\"");
}

TEST(JsonCodingTest, ParseJsonRefusesDeepAndBrokenTextsWithAReason) {
    const std::size_t limit = AnyCodable::maxDepth;
    EXPECT_TRUE(parseJson(std::string(limit, '[') + std::string(limit, ']')));
    const std::string refused[] = {
        std::string(limit + 1, '[') + std::string(limit + 1, ']'),
        std::string(500'000, '['),
        "[1,]",
        "\"\xc0\xaf\"",
    };
    for (const auto& text : refused) {
        std::string error;
        EXPECT_FALSE(parseJson(text, &error));
        EXPECT_FALSE(error.empty());
    }
}

TEST(JsonCodingTest, BothParsersStopPastTheValueCount) {
    // An array of n - 1 elements holds n values; objects count their values, not keys.
    const auto array = [](std::size_t values) {
        std::string text = "[";
        for (std::size_t i = 1; i < values; ++i) {
            text += i == 1 ? "0" : ",0";
        }
        return text + "]";
    };
    const auto object = [](std::size_t values) {
        std::string text = "{";
        for (std::size_t i = 1; i < values; ++i) {
            text += (i == 1 ? "\"k" : ",\"k") + std::to_string(i) + "\":null";
        }
        return text + "}";
    };
    const std::function<bool(const std::string&, std::string*)> parsers[] = {
        [](const std::string& text, std::string* error) {
            return parseJson(text, error).has_value();
        },
        [](const std::string& text, std::string* error) {
            return AnyCodable::parse(text, error).has_value();
        },
    };
    const std::size_t limit = AnyCodable::maxValues;
    for (const auto& parses : parsers) {
        for (const auto& make : {std::function(array), std::function(object)}) {
            EXPECT_TRUE(parses(make(limit), nullptr));
            std::string error;
            EXPECT_FALSE(parses(make(limit + 1), &error));
            EXPECT_EQ(error, "more than 100000 values");
        }
    }
}

TEST(JsonCodingTest, MarksCompareWithoutTheirRowId) {
    EXPECT_EQ((TutorialMark{1, 7, 3}), (TutorialMark{-1, 7, 3}));
    EXPECT_NE((TutorialMark{1, 7, 3}), (TutorialMark{1, 7, 4}));
    EXPECT_NE((TutorialMark{1, 7, 3}), (TutorialMark{1, 8, 3}));
    EXPECT_EQ((RealPaymentMark{5, 2, "order-1"}), (RealPaymentMark{-1, 2, "order-1"}));
    EXPECT_NE((RealPaymentMark{5, 2, "order-1"}), (RealPaymentMark{5, 2, "order-2"}));
    EXPECT_NE((RealPaymentMark{5, 2, "order-1"}), (RealPaymentMark{5, 3, "order-1"}));
}

}  // namespace
}  // namespace mvk
