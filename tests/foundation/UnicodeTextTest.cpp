#include <gtest/gtest.h>

#include <string>

#include "foundation/UnicodeText.hpp"
#include "foundation/Utf8.hpp"

namespace mvk {
namespace {

// Short ASCII texts take a shortcut past the Unicode tables; every case here
// must measure the same whichever way the text is read, so ASCII cases sit
// beside texts that mix ASCII with other code points and with invalid bytes.
struct MeasureCase {
    const char* label;
    std::string text;
    std::size_t characters;
    std::string firstTwo;
    std::string withoutControls;
};

TEST(UnicodeTextTest, CountsCutsAndCleansAsciiAndMixedTextsAlike) {
    const std::vector<MeasureCase> cases = {
        {"empty", "", 0, "", ""},
        {"plain ascii", "level_complete", 14, "le", "level_complete"},
        {"cr lf is one character", "\r\nab", 3, "\r\na", "ab"},
        {"lf cr are two", "\n\rab", 4, "\n\r", "ab"},
        {"cr lf at the cut", "a\r\nb", 3, "a\r\n", "ab"},
        {"tab, del and nul are controls",
         std::string("a\tb\x7F"
                     "c\0d",
                     7),
         7, "a\t", "abcd"},
        {"ascii then combining accent", "xe\xCC\x81y", 3, "xe\xCC\x81", "xe\xCC\x81y"},
        {"two-byte letters", "\xC3\xA9t\xC3\xA9", 3, "\xC3\xA9t", "\xC3\xA9t\xC3\xA9"},
        {"family emoji is one character", "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9", 1,
         "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9", "\xF0\x9F\x91\xA8\xF0\x9F\x91\xA9"},
        {"zero width space is a format character",
         "a\xE2\x80\x8B"
         "b",
         3, "a\xE2\x80\x8B", "ab"},
        {"invalid byte stays a character of its own",
         "\xC3"
         "ab",
         3,
         "\xC3"
         "a",
         "\xC3"
         "ab"},
        {"control right after an invalid byte", "\xC3\x01z", 3, "\xC3\x01", "\xC3z"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(UnicodeText::characterCount(c.text), c.characters);
        EXPECT_EQ(UnicodeText::prefix(c.text, 2), c.firstTwo);
        EXPECT_EQ(UnicodeText::prefix(c.text, c.characters), c.text);
        EXPECT_EQ(UnicodeText::removingControlCharacters(c.text), c.withoutControls);
    }
}

TEST(UnicodeTextTest, Utf8ValidityLooksAtEveryByteAfterAscii) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"", true},
        {"plain", true},
        {std::string("nul\0inside", 10), true},
        {"caf\xC3\xA9", true},
        {"caf\xC3", false},
        {"a\xC3(b", false},
        {"\x80"
         "abc",
         false},
        {"abc\xED\xA0\x80", false},  // a surrogate is not a code point
        {"abc\xF0\x9F\x98\x80xyz", true},
    };
    for (const auto& [text, valid] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(Utf8::isValid(text), valid);
    }
}

}  // namespace
}  // namespace mvk
