#include <gtest/gtest.h>

#include <set>
#include <string>

#include "foundation/Utf8.hpp"
#include "platform/Uuid.hpp"

namespace mvk {
namespace {

TEST(UuidTest, RandomUuidsAreUpperCaseVersionFourAndDistinct) {
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        const auto uuid = Uuid::random();
        ASSERT_TRUE(Uuid::isValid(uuid)) << uuid;
        ASSERT_EQ(uuid.find_first_of("abcdef"), std::string::npos) << uuid;
        ASSERT_EQ(uuid[14], '4') << uuid;
        ASSERT_NE(std::string("89AB").find(uuid[19]), std::string::npos) << uuid;
        seen.insert(uuid);
    }
    EXPECT_EQ(seen.size(), 1000u);
}

TEST(UuidTest, FormatStampsVersionAndVariant) {
    Uuid::Bytes bytes;
    bytes.fill(0xFF);
    EXPECT_EQ(Uuid::format(bytes, 8), "FFFFFFFF-FFFF-8FFF-BFFF-FFFFFFFFFFFF");
    bytes.fill(0x00);
    EXPECT_EQ(Uuid::format(bytes, 4), "00000000-0000-4000-8000-000000000000");
}

TEST(UuidTest, Validity) {
    const std::pair<const char*, bool> cases[] = {
        {"6F9619FF-8B86-D011-B42D-00C04FC964FF", true},
        {"6f9619ff-8b86-d011-b42d-00c04fc964ff", true},
        {"6F9619FF8B86-D011-B42D-00C04FC964FF-", false},
        {"6F9619FF-8B86-D011-B42D-00C04FC964F", false},
        {"6F9619FF-8B86-D011-B42D-00C04FC964FFF", false},
        {"6F9619FG-8B86-D011-B42D-00C04FC964FF", false},
        {" 6F9619FF-8B86-D011-B42D-00C04FC964F", false},
        {"", false},
    };
    for (const auto& [text, valid] : cases) {
        EXPECT_EQ(Uuid::isValid(text), valid) << text;
    }
}

TEST(Utf8Test, InvalidSequencesBecomeReplacementCharacters) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain", "plain"},
        {"caf\xC3\xA9 \xF0\x9F\x8E\xAE", "caf\xC3\xA9 \xF0\x9F\x8E\xAE"},
        {"a\xFF"
         "b",
         "a\xEF\xBF\xBD"
         "b"},
        {"cut \xE2\x82", "cut \xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                  // overlong "/"
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // a lone surrogate
        {std::string("nul\0in", 6), std::string("nul\0in", 6)},
    };
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(Utf8::sanitized(input), expected);
        EXPECT_EQ(Utf8::isValid(input), input == expected);
    }
}

}  // namespace
}  // namespace mvk
