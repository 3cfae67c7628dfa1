#include <gtest/gtest.h>

#include "backend/PercentEncoding.hpp"
#include "backend/RequestType.hpp"
#include "backend/UrlBuilder.hpp"

namespace mvk {
namespace {

struct FullUrlCase {
    const char* name;
    std::string host;
    std::vector<std::pair<std::string, std::string>> params;
    std::string expected;
};

TEST(UrlBuilderTest, FullUrlText) {
    const FullUrlCase cases[] = {
        {"no query",
         "https://gw.test/v2/analytics/config",
         {},
         "https://gw.test/v2/analytics/config"},
        {"one pair", "https://gw.test/v2/x", {{"appId", "key"}}, "https://gw.test/v2/x?appId=key"},
        {"two pairs after one question mark",
         "https://gw.test/v2/x",
         {{"b", "2"}, {"a", "1"}},
         "https://gw.test/v2/x?a=1&b=2"},
        {"same key replaces",
         "https://gw.test/x",
         {{"k", "old"}, {"k", "new"}},
         "https://gw.test/x?k=new"},
        {"written without escaping",
         "https://gw.test/x",
         {{"appId", "a%2Fb&c=d"}},
         "https://gw.test/x?appId=a%2Fb&c=d"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        UrlBuilder builder(c.host);
        for (const auto& [key, value] : c.params) {
            builder.setQueryParam(key, value);
        }
        auto url = builder.getUrl();
        ASSERT_TRUE(url.has_value());
        EXPECT_EQ(url->absoluteString(), c.expected);
    }
}

TEST(UrlBuilderTest, TextsThatAreNotUrls) {
    const std::string invalid[] = {
        "",
        "gateway.test/v2/x",
        "https://",
        "https://gw test/x",
        "https://gw.test/a b",
        std::string("https://gw.test/x\0y", 19),
        "https://gw.test/x\r\nHost: evil",
    };
    for (const auto& text : invalid) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(UrlBuilder(text).getUrl().has_value());
    }
    // A query value with a space makes the whole text invalid rather than
    // being escaped behind the caller's back.
    UrlBuilder builder("https://gw.test/x");
    builder.setQueryParam("appId", "my key");
    EXPECT_FALSE(builder.getUrl().has_value());
}

TEST(UrlBuilderTest, SchemeIsReadInLowerCase) {
    auto url = UrlBuilder("HTTPS://gw.test/x").getUrl();
    ASSERT_TRUE(url.has_value());
    EXPECT_EQ(url->scheme(), "https");
    EXPECT_EQ(url->absoluteString(), "HTTPS://gw.test/x");
    auto ftp = UrlBuilder("ftp://gw.test/x").getUrl();
    ASSERT_TRUE(ftp.has_value());
    EXPECT_EQ(ftp->scheme(), "ftp");
}

TEST(PercentEncodingTest, OnlyUnreservedCharactersStay) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"AZaz09-._~", "AZaz09-._~"},
        {"a b", "a%20b"},
        {"a&b=c", "a%26b%3Dc"},
        {"?#/+%", "%3F%23%2F%2B%25"},
        {"\xC3\xA9", "%C3%A9"},
        {std::string("\0\x7F", 2), "%00%7F"},
        {"\r\n", "%0D%0A"},
    };
    for (const auto& [raw, encoded] : cases) {
        EXPECT_EQ(percentEncodeQueryValue(raw), encoded) << raw;
    }
}

TEST(RequestTypeTest, RawTextsRoundTripAndNothingElseParses) {
    EXPECT_EQ(rawValue(RequestType::GET), "GET");
    EXPECT_EQ(rawValue(RequestType::POST), "POST");
    EXPECT_EQ(requestTypeFromRawValue("GET"), RequestType::GET);
    EXPECT_EQ(requestTypeFromRawValue("POST"), RequestType::POST);
    for (const char* other : {"", "get", "Post", "PUT", "POST "}) {
        EXPECT_FALSE(requestTypeFromRawValue(other).has_value()) << other;
    }
}

}  // namespace
}  // namespace mvk
