#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace mvk {

/// Compares dotted version texts such as "1.10b": numbers numerically, letter suffixes
/// alphabetically, component by component.
///
/// The result reads the other way round from a usual comparator, and the audience matching relies
/// on it: -1 when the first version is the higher, 0 when equal, 1 when the first is the lower
/// (also when two differing texts hold equal numbers, e.g. "01" against "1"), absent when a
/// component cannot be compared.
///
/// "Character" means a user-perceived character (an extended grapheme cluster). Bytes that are not
/// valid UTF-8 are each kept as a character of their own that is neither numeric nor ASCII, so
/// distinct malformed texts never compare equal.
class VersionCompare {
  public:
    VersionCompare() = delete;

    static std::optional<int> compareVersions(std::string_view first, std::string_view second);

  private:
    /// A text as its characters, each held as its UTF-8 bytes.
    using Characters = std::vector<std::string>;
    using Comparable = std::variant<std::int64_t, std::uint8_t>;

    struct NumAndLetters {
        std::string digits;
        Characters letters;
    };

    static std::optional<int> compareVersionArrays(const std::vector<std::string_view>& first,
                                                   const std::vector<std::string_view>& second);
    static std::optional<NumAndLetters> prepareNumAndLetters(std::string_view component);
    static std::optional<int> compareBetween(std::optional<Comparable> x,
                                             std::optional<Comparable> y);
    static void addZerosIfNeded(Characters& firstString, Characters& secondString);
};

}  // namespace mvk
