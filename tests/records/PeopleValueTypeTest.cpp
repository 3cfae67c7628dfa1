#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "events/PeopleValueType.hpp"
#include "mvk/MVKGender.hpp"
#include "people/PeopleReservedKeys.hpp"
#include "support/LogCapture.hpp"

namespace mvk {
namespace {

using Kind = PeopleValueType::Kind;

TEST(PeopleValueTypeTest, EqualityNeedsTheSameKind) {
    struct Case {
        PeopleValueType lhs;
        PeopleValueType rhs;
        bool equal;
    };
    const Case cases[] = {
        {5, 5.0, false},
        {5, 5, true},
        {5.0, 5.0, true},
        {PeopleValueType(), PeopleValueType(nullptr), true},
        {"a", "a", true},
        {"a", "A", false},
        {true, 1, false},
        {true, true, true},
        {MVKGender::male, 1, false},
        {MVKGender::male, MVKGender::male, true},
        {PeopleValueType(), "", false},
        {std::nan(""), std::nan(""), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.lhs.isEqual(c.rhs), c.equal)
            << c.lhs.description() << " / " << c.rhs.description();
        EXPECT_EQ(c.rhs.isEqual(c.lhs), c.equal);
    }
}

TEST(PeopleValueTypeTest, ConversionsAnswerOnlyForTheirOwnKinds) {
    EXPECT_EQ(PeopleValueType("12").toInt(), 0);
    EXPECT_EQ(PeopleValueType(true).toDouble(), 0.0);
    EXPECT_FALSE(PeopleValueType(1).toBool());
    EXPECT_TRUE(PeopleValueType(true).toBool());
    EXPECT_EQ(PeopleValueType("x").toString(), "x");
    EXPECT_FALSE(PeopleValueType(1).toString());
    EXPECT_EQ(PeopleValueType(7).toDouble(), 7.0);
    EXPECT_EQ(PeopleValueType(-2.9).toInt(), -2);
    EXPECT_EQ(PeopleValueType(2.9).toInt(), 2);
    EXPECT_EQ(PeopleValueType(MVKGender::female).toInt(), 0);
    EXPECT_EQ(PeopleValueType(MVKGender::female).toGender(), MVKGender::female);
    EXPECT_FALSE(PeopleValueType(2).toGender());

    // Doubles the integer range cannot hold end at its limits instead of being undefined.
    EXPECT_EQ(PeopleValueType(1e300).toInt(), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(PeopleValueType(-1e300).toInt(), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(PeopleValueType(std::nan("")).toInt(), 0);
    EXPECT_EQ(PeopleValueType(-std::numeric_limits<double>::infinity()).toInt(),
              std::numeric_limits<std::int64_t>::min());
}

TEST(PeopleValueTypeTest, DescriptionsForLogLines) {
    EXPECT_EQ(PeopleValueType("text").description(), "text");
    EXPECT_EQ(PeopleValueType(false).description(), "false");
    EXPECT_EQ(PeopleValueType(-5).description(), "-5");
    EXPECT_EQ(PeopleValueType(5.0).description(), "5.0");
    EXPECT_EQ(PeopleValueType(0.1).description(), "0.1");
    EXPECT_EQ(PeopleValueType(MVKGender::male).description(), "Male");
    EXPECT_EQ(PeopleValueType().description(), "<null>");
    EXPECT_EQ(PeopleValueType(std::numeric_limits<double>::infinity()).description(), "inf");
}

TEST(PeopleValueTypeTest, PropertiesKeepTheirKindsThroughJson) {
    const PeopleProperties properties = {
        {"flag", true},
        {"int", 5},
        {"double", 5.0},
        {"fraction", 2.5},
        {"text", "x"},
        {"unset", nullptr},
        {"gender", MVKGender::female},
    };
    const auto text = encodePeopleProperties(properties);
    EXPECT_EQ(
        text,
        R"({"double":5.0,"flag":true,"fraction":2.5,"gender":2,"int":5,"text":"x","unset":null})");

    auto back = decodePeopleProperties(text);
    auto expected = properties;
    expected["gender"] = 2;  // a gender is stored as its integer
    EXPECT_EQ(back, expected);
    EXPECT_EQ(back.at("double").kind(), Kind::floating);
    EXPECT_EQ(back.at("int").kind(), Kind::integer);
}

TEST(PeopleValueTypeTest, DecodingDropsContainersAndSurvivesBadText) {
    auto properties =
        decodePeopleProperties(R"({"a":true,"b":2,"c":2.5,"d":"x","e":null,"f":[1],"g":{}})");
    EXPECT_EQ(properties,
              (PeopleProperties{{"a", true}, {"b", 2}, {"c", 2.5}, {"d", "x"}, {"e", nullptr}}));

    // Above the signed range a number can only be a double.
    auto big = decodePeopleProperties(R"({"n":18446744073709551615})");
    EXPECT_EQ(big.at("n").kind(), Kind::floating);

    test::LogCapture log(MVKLogLevel::debug);
    EXPECT_TRUE(decodePeopleProperties("").empty());
    EXPECT_TRUE(decodePeopleProperties("[1,2]").empty());
    EXPECT_FALSE(log.containsFragment("String to Dictionary"));
    EXPECT_TRUE(decodePeopleProperties("{oops").empty());
    EXPECT_TRUE(log.containsFragment("ERROR When trying to convert String to Dictionary"));
}

TEST(PeopleValueTypeTest, NonFiniteDoubleIsNotWrittenAsNull) {
    EXPECT_FALSE(PeopleValueType(std::nan("")).toJson());
    EXPECT_EQ(encodePeopleProperties({{"a", 1}, {"b", std::numeric_limits<double>::infinity()}}),
              "Not a valid JSON");
    EXPECT_EQ(encodePeopleProperties({}), "{}");
}

TEST(PeopleValueTypeTest, ReservedKeysMatchExactly) {
    EXPECT_EQ(PeopleReservedKeysFromRawValue("name"), PeopleReservedKeys::name);
    EXPECT_FALSE(PeopleReservedKeysFromRawValue("Name"));
    EXPECT_FALSE(PeopleReservedKeysFromRawValue(""));
    const char* names[] = {"name", "email", "phone", "photo", "gender", "age", "cheater", "tester"};
    for (std::size_t i = 0; i < PeopleReservedKeysAllCases.size(); ++i) {
        EXPECT_EQ(rawValue(PeopleReservedKeysAllCases[i]), names[i]);
        EXPECT_EQ(PeopleReservedKeysFromRawValue(names[i]), PeopleReservedKeysAllCases[i]);
    }
}

TEST(PeopleValueTypeTest, GenderRawValues) {
    EXPECT_EQ(MVKGenderFromRawValue(0), MVKGender::unknown);
    EXPECT_EQ(MVKGenderFromRawValue(2), MVKGender::female);
    EXPECT_FALSE(MVKGenderFromRawValue(3));
    EXPECT_FALSE(MVKGenderFromRawValue(-1));
    EXPECT_EQ(description(MVKGender::unknown), "Unknown");
    EXPECT_EQ(description(MVKGender::female), "Female");
    EXPECT_EQ(description(static_cast<MVKGender>(9)), "Unknown");
}

}  // namespace
}  // namespace mvk
