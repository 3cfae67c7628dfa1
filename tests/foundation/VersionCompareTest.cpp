#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

#include "foundation/VersionCompare.hpp"

namespace mvk {
namespace {

constexpr std::optional<int> absent = std::nullopt;

struct Case {
    std::string first;
    std::string second;
    std::optional<int> expected;
};

// -1: first is higher, 0: equal, 1: first is lower.
const Case cases[] = {
    // Component lists
    {"1.2", "1.2", 0},
    {"1.2", "1.2.0", 0},
    {"1.2.0", "1.2", 0},
    {"1.2", "1.2.1", 1},
    {"", "", 0},
    {"", "1", absent},
    {"1..2", "1.0.2", absent},
    {"1.2.", "1.2", absent},
    // Numbers compare by value, so leading zeros change nothing
    {"1.10", "1.9", -1},
    {"2", "10", 1},
    {"1.01", "1.1", 0},
    {"1.1", "1.01", 0},
    {"1.2", "1.2.00", 0},
    // A number after letters is a part of its own, not more digits of the first number
    {"1.0-rc1", "1.0", 1},
    {"1.0b", "1.0b0", 0},
    {"1.0b", "1.0b1", 1},
    {"1.beta", "1.0", absent},
    {"1.a2", "1.12", 1},
    // Letters before the first number: the rest decides, then no prefix beats one
    {"v2.0", "0.9", -1},
    {"r10", "v1.0", -1},
    {"v1.0", "v1.0.1", 1},
    {"v2.0", "2.0", 1},
    {"V2", "v2", 0},
    {"r2", "v2", 1},
    {"1.v2", "1.1", -1},
    {"v1.0-rc1", "v1.0", 1},
    {"v", "1", absent},
    // Letters: none beats some, then lower-cased ASCII codes with "0" padding
    {"1.0", "1.0a", -1},
    {"1.0a", "1.0", 1},
    {"1.12", "1.1a2", -1},
    {"1.0B", "1.0a", -1},
    {"1.0a", "1.0A", 0},
    {"1.0a", "1.0ab", 1},
    {"1.0ab", "1.0a", -1},
    {"1.0a.5", "1.0a.4", -1},
    // Beyond the signed 64-bit range a differing number cannot be compared
    {"1.9223372036854775807", "1.9223372036854775806", -1},
    {"1.9223372036854775808", "1.1", absent},
    {"1.99999999999999999999", "1.99999999999999999998", absent},
    {"99999999999999999999a", "99999999999999999999b", 1},
    // Non-ASCII letters: equal after lower-casing, otherwise incomparable
    {"1.0é", "1.0e", absent},
    {"1.0É", "1.0é", 0},
    {"1.0éa", "1.0éb", 1},
    {"1.0b\u0301", "1.0a", absent},
    // Non-ASCII numerals go to the number part and never parse
    {"١.٢", "1.2", absent},
    {"1.2١", "1.2", absent},
    {"1.٢a", "1.٢b", 1},
    {"1.1½", "1.1", absent},
    {"1.1Ⅻ", "1.1", absent},
    {"1.1\u0301", "1.2", absent},
    // Malformed UTF-8 bytes are non-ASCII letters of their own
    {"1.0\xff", "1.0\xff", 0},
    {"1.0\xff", "1.0\xfe", absent},
    {"1.2\xff", "1.2", 1},
    {"1.\xc3", "1.0", absent},
    // A truncated sequence does not swallow the letter after it (octal escapes end at 3 digits)
    {"1.0\342\202", "1.0\342\202a", 1},
    {"1.0\377a", "1.0\377b", 1},
};

TEST(VersionCompareTest, ComparesByTheVersionRules) {
    for (const auto& c : cases) {
        EXPECT_EQ(VersionCompare::compareVersions(c.first, c.second), c.expected)
            << '"' << c.first << "\" vs \"" << c.second << '"';
    }
}

// Versions of every shape the rules tell apart, all comparable with one another.
const char* const ordered[] = {"1",    "1.0.0",  "1.0-rc1", "1.0-rc2", "1.0a",   "1.0b",
                               "1.0B", "1.0b0",  "1.0b1",   "1.01",    "1.1",    "1.02",
                               "1.2",  "1.2.00", "1.2.1",   "1.10",    "v2.0b1", "2.0b1",
                               "r2.0", "v2.0",   "2.0",     "v10",     "10"};

TEST(VersionCompareTest, IsAnOrder) {
    const auto compare = [](const char* first, const char* second) {
        const auto result = VersionCompare::compareVersions(first, second);
        EXPECT_TRUE(result) << first << " vs " << second;
        return result.value_or(2);
    };
    for (const char* a : ordered) {
        for (const char* b : ordered) {
            EXPECT_EQ(compare(a, b), -compare(b, a)) << a << " vs " << b;
            for (const char* c : ordered) {
                // -1 or 0: the first is at least as high.
                const auto ab = compare(a, b);
                const auto bc = compare(b, c);
                if (ab <= 0 && bc <= 0) {
                    EXPECT_EQ(compare(a, c), std::min(ab, bc)) << a << ", " << b << ", " << c;
                }
            }
        }
    }
}

}  // namespace
}  // namespace mvk
