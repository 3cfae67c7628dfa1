#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace mvk {

/// A check of a binary property list's structure before the plist library
/// loads it. The library follows nesting by recursion with no depth bound (a
/// file of under a megabyte can overflow the stack) and copies an object for
/// every reference to it (a small file can expand to gigabytes), so a file is
/// handed to it only when this scan finds it well-formed, acyclic, shallow and
/// small once expanded.
class LegacyPlistScan {
  public:
    LegacyPlistScan() = delete;

    /// Containers nested deeper than this are refused; a keyed archive needs five.
    static constexpr std::size_t maxNesting = 32;
    /// Refused above this: every expanded object counts `nodeCost` plus its
    /// text or data bytes.
    static constexpr std::uint64_t maxExpandedCost = 64ull * 1024 * 1024;
    static constexpr std::uint64_t nodeCost = 64;

    /// True for a "bplist00" file whose trailer, offset table, object markers
    /// and references are consistent, whose dictionary keys are texts, and
    /// which stays within `maxNesting` and `maxExpandedCost`.
    static bool isSafeToLoad(std::string_view bytes);
};

}  // namespace mvk
