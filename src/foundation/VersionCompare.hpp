#pragma once

#include <optional>
#include <string_view>

namespace mvk {

/// Compares dotted version texts such as "1.10b" or "2.0-rc1".
///
/// The result reads the other way round from a usual comparator, and the audience matching relies
/// on it: -1 when the first version is the higher, 0 when equal, 1 when the first is the lower,
/// absent when a component cannot be compared.
///
/// The answers form an order, so audience conditions agree with one another whatever the pair:
/// - Components compare from the first; missing trailing components count as "0".
/// - A component is a row of parts, each a number (a run of numeric characters) or letters (a run
///   of the others): "0-rc10" is 0, "-rc" and 10. Parts compare in turn; numbers by value (so
///   "01" equals "1"), letters case-insensitively by their ASCII codes, the shorter one padded
///   with "0" characters. Letters rank below a number in the same place.
/// - Where one component runs out, a number in the other is compared with 0 and letters make the
///   other the lower: "2b" is below "2", "2b" equals "2b0", "2.0-rc1" is below "2.0".
/// - Letters before a component's first number are a prefix ("v2", "r10"): the rest of the
///   component compares first, and only then the prefixes, none ranking above any. So "v2.0" is
///   above "1.9" and below "2.0".
/// - A component without a number cannot be compared unless both texts are the same; nor can
///   differing numbers other than plain ASCII digits within the signed 64-bit range, nor differing
///   letters outside ASCII.
///
/// "Character" means a user-perceived character (an extended grapheme cluster). Bytes that are not
/// valid UTF-8 are each kept as a character of their own that is neither numeric nor ASCII, so
/// distinct malformed texts never compare equal.
class VersionCompare {
  public:
    VersionCompare() = delete;

    static std::optional<int> compareVersions(std::string_view first, std::string_view second);
};

}  // namespace mvk
