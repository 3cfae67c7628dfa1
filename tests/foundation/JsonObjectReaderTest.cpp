#include <gtest/gtest.h>

#include "foundation/JsonCoding.hpp"
#include "foundation/JsonObjectReader.hpp"

namespace mvk {
namespace {

nlohmann::json parsed(const char* text) {
    return *parseJson(text);
}

TEST(JsonObjectReaderTest, IntegerConversions) {
    struct Case {
        const char* json;
        std::optional<std::int64_t> expected;
    };
    const Case cases[] = {
        {"5", 5},
        {"-5", -5},
        {"9223372036854775807", INT64_MAX},
        {"9223372036854775808", std::nullopt},
        {"-9223372036854775808", INT64_MIN},
        {"5.0", 5},
        {"1e2", 100},
        {"5.5", std::nullopt},
        {"9.3e18", std::nullopt},
        {"-9.3e18", std::nullopt},
        {"true", std::nullopt},
        {"\"5\"", std::nullopt},
        {"null", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JsonObjectReader::asInt(parsed(c.json)), c.expected) << c.json;
    }
    EXPECT_FALSE(JsonObjectReader::asDouble(parsed("false")));
    EXPECT_EQ(JsonObjectReader::asDouble(parsed("3")), 3.0);
    EXPECT_FALSE(JsonObjectReader::asBool(parsed("1")));
}

TEST(JsonObjectReaderTest, RequiredAndOptionalMembers) {
    auto json = parsed(R"({"a": 1, "b": null, "c": "x", "d": true})");
    JsonObjectReader reader(json);
    EXPECT_EQ(reader.requiredInt("a"), 1);
    EXPECT_EQ(reader.optionalInt("b"), std::nullopt);
    EXPECT_EQ(reader.optionalInt("missing"), std::nullopt);
    EXPECT_EQ(reader.requiredString("c"), "x");
    EXPECT_EQ(reader.requiredBool("d"), true);
    EXPECT_TRUE(reader.ok());

    EXPECT_EQ(reader.optionalInt("c"), std::nullopt);  // wrong type fails even when optional
    EXPECT_FALSE(reader.ok());
    EXPECT_EQ(reader.failedKey(), "c");

    JsonObjectReader nullRequired(json);
    nullRequired.requiredInt("b");
    EXPECT_FALSE(nullRequired.ok());

    JsonObjectReader notObject(parsed("[1]"));
    EXPECT_FALSE(notObject.ok());
    EXPECT_FALSE(notObject.optionalInt("a"));
}

}  // namespace
}  // namespace mvk
