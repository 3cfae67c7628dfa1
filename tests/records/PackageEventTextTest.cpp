#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "foundation/JsonCoding.hpp"
#include "records/Package.hpp"

namespace mvk {
namespace {

std::string nested(int depth) {
    return R"({"a":)" + std::string(static_cast<std::size_t>(depth - 1), '[') + "1" +
           std::string(static_cast<std::size_t>(depth - 1), ']') + "}";
}

std::string manyKeys(int count, const std::string& tail) {
    std::string text = "{";
    for (int n = 0; n < count; ++n) {
        text += "\"k" + std::to_string(n) + "\":" + std::to_string(n) + ",";
    }
    return text + tail + "}";
}

// A stored event goes into the report body as it was written: same keys in the
// same order, same numbers. Texts no writer of ours makes are left out, never
// sent as `{}`, and `packEvent` names every one of them; what it packs is what
// the package writes.
TEST(PackageEventTextTest, StoredEventsReachTheBodyAsWritten) {
    struct Case {
        const char* label;
        std::string stored;
        std::optional<std::string> sent;
        /// Whether a report may take it; a package alone takes a little deeper nesting.
        bool fitsAReport = sent.has_value();
    };
    const std::vector<Case> cases = {
        {"key order kept", R"({"z":1,"a":{"y":[true,null],"b":"t"}})",
         R"({"z":1,"a":{"y":[true,null],"b":"t"}})"},
        {"numbers as written",
         R"({"i":-9223372036854775808,"u":18446744073709551615,"d":0.1,"e":1.0,"m":-0.0})",
         R"({"i":-9223372036854775808,"u":18446744073709551615,"d":0.1,"e":1.0,"m":-0.0})"},
        {"exponent written out", R"({"d":1e3,"s":2.5E-1})", R"({"d":1000.0,"s":0.25})"},
        {"text escapes", R"({"t":"a\"b\\c\n\u00e9\ud83d\ude00"})",
         "{\"t\":\"a\\\"b\\\\c\\n\xC3\xA9\xF0\x9F\x98\x80\"}"},
        {"repeated key keeps its place and its last value", R"({"a":1,"b":2,"a":3})",
         R"({"a":3,"b":2})"},
        {"repeated key among many", manyKeys(20, R"("k3":"again")"),
         [] {
             std::string text = manyKeys(20, "");
             text.pop_back();
             text.pop_back();
             text += "}";
             const auto at = text.find("\"k3\":3");
             return text.replace(at, 6, R"("k3":"again")");
         }()},
        {"deepest nesting a report keeps", nested(125), nested(125)},
        {"nesting too deep inside a report", nested(126), nested(126), false},
        {"nesting too deep", nested(129), std::nullopt},
        {"as many values as a stored report is read with",
         manyKeys(static_cast<int>(AnyCodable::maxValues) - 2, R"("last":0)"),
         manyKeys(static_cast<int>(AnyCodable::maxValues) - 2, R"("last":0)")},
        {"one value more", manyKeys(static_cast<int>(AnyCodable::maxValues) - 1, R"("last":0)"),
         std::nullopt},
        {"number beyond a double", R"({"d":1e400})", std::nullopt},
        {"not an object", "[1,2]", std::nullopt},
        {"trailing data", R"({"a":1} x)", std::nullopt},
        {"invalid UTF-8", "{\"a\":\"\xff\"}", std::nullopt},
        {"empty", "", std::nullopt},
    };
    std::vector<std::string> stored;
    for (const auto& c : cases) {
        stored.push_back(c.stored);
    }
    const auto events = Package{.sdkVersion = "2.2.6", .events = stored}.toJson()["events"];
    std::size_t next = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        std::string packed;
        const auto fault = Package::packEvent(c.stored, packed);
        EXPECT_EQ(!fault, c.fitsAReport);
        if (!fault) {
            EXPECT_EQ(packed, *c.sent);
        }
        if (c.sent) {
            ASSERT_LT(next, events.size());
            EXPECT_EQ(dumpJson(events[next++]), *c.sent);
        }
    }
    EXPECT_EQ(next, events.size());
}

}  // namespace
}  // namespace mvk
