#include <gtest/gtest.h>

#include "foundation/Base64.hpp"

namespace mvk {
namespace {

TEST(Base64Test, StandardAlphabetWithPadding) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {std::string("\0\xff\xfe", 3), "AP/+"},
        {"\r\n", "DQo="},
        {"é", "w6k="},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(base64Encode(bytes), text) << text;
    }
    // Long input: no line breaks anywhere.
    const std::string encoded = base64Encode(std::string(300, 'x'));
    EXPECT_EQ(encoded.size(), 400u);
    EXPECT_EQ(encoded.find('\n'), std::string::npos);
}

}  // namespace
}  // namespace mvk
