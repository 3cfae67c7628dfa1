#include <gtest/gtest.h>

#include "foundation/JsonCoding.hpp"
#include "foundation/StringExtensions.hpp"
#include "support/LogCapture.hpp"

namespace mvk {
namespace {

using test::LogCapture;

TEST(StringExtensionsTest, StringToBool) {
    const struct {
        const char* text;
        std::optional<bool> expected;
    } cases[] = {
        {"true", true},
        {"YES", true},
        {"T", true},
        {"y", true},
        {"TrUe", true},
        {"false", false},
        {"No", false},
        {"f", false},
        {"N", false},
        {"", false},
        {"0", false},
        {"-0", false},
        {"+0", false},
        {"000", false},
        {"-7", true},
        {"+5", true},
        {"42", true},
        {"9223372036854775807", true},
        {"-9223372036854775808", true},
        {"9223372036854775808", std::nullopt},
        {"maybe", std::nullopt},
        {" 1", std::nullopt},
        {"1 ", std::nullopt},
        {"+", std::nullopt},
        {"-", std::nullopt},
        {"+-1", std::nullopt},
        {"1.0", std::nullopt},
        {"0x1", std::nullopt},
        {"yes\n", std::nullopt},
        {"\xef\xbc\x91", std::nullopt},  // full-width digit one
    };
    for (const auto& c : cases) {
        EXPECT_EQ(stringToBool(c.text), c.expected) << '"' << c.text << '"';
    }
}

TEST(StringExtensionsTest, StringToDictionaryReadsObjects) {
    LogCapture log(MVKLogLevel::debug);
    auto map = stringToDictionary(R"({"n":1,"s":"x","b":true,"a":[1.5,null],"o":{}})");
    EXPECT_EQ(toJSONData(map), R"({"n":1,"s":"x","b":true,"a":[1.5,null],"o":{}})");
    EXPECT_TRUE(log.lines().empty());
}

TEST(StringExtensionsTest, StringToDictionaryOfOtherJsonIsEmptyWithoutLog) {
    LogCapture log(MVKLogLevel::debug);
    for (const char* text : {"[1,2]", "42", "\"text\"", "null"}) {
        EXPECT_TRUE(stringToDictionary(text).empty()) << text;
    }
    EXPECT_TRUE(log.lines().empty());
}

TEST(StringExtensionsTest, StringToDictionaryOfBrokenTextLogsOneError) {
    const std::string prefix =
        "ERROR When trying to convert String to Dictionary, an error has occurred: ";
    for (const std::string text : {"{\"a\":", "", "{\"a\":\"\xff\"}"}) {
        LogCapture log(MVKLogLevel::debug);
        EXPECT_TRUE(stringToDictionary(text).empty());
        auto messages = log.messages();
        ASSERT_EQ(messages.size(), 1u) << text;
        EXPECT_EQ(messages[0].substr(0, prefix.size()), prefix);
        EXPECT_GT(messages[0].size(), prefix.size());
    }
}

TEST(StringExtensionsTest, CapitalizedJoin) {
    EXPECT_EQ(capitalizedJoin(), "");
    EXPECT_EQ(capitalizedJoin("hELLO"), "hELLO");
    EXPECT_EQ(capitalizedJoin("set", "user", "name"), "setUserName");
    EXPECT_EQ(capitalizedJoin("get", "USER", "iD"), "getUserId");
    EXPECT_EQ(capitalizedJoin("a", "", "b"), "aB");
    EXPECT_EQ(capitalizedJoin("x", "two words"), "xTwo Words");
    EXPECT_EQ(capitalizedJoin("x", "ÉCOLE", "ǆungla"), "xÉcoleǅungla");
    EXPECT_EQ(capitalizedJoin(std::string("on"), std::string_view("tap")), "onTap");
}

}  // namespace
}  // namespace mvk
