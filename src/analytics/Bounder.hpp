#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace mvk {

/// Cuts over-long argument texts, with a warning, instead of refusing them.
class Bounder {
  public:
    Bounder() = delete;

    /// Longest argument text a warning line repeats whole.
    static constexpr std::size_t loggedTextBytes = 4096;

    /// The text cut to `max` user-perceived characters; a cut logs a level-3
    /// warning. A missing text stays missing, silently.
    static std::optional<std::string> maxStringLength(std::string_view method,
                                                      std::string_view argument,
                                                      const std::optional<std::string>& text,
                                                      std::size_t max);

    /// How many of `count` entries are kept: at most `max`; a cut logs a
    /// level-3 warning, and the entries past it are left out.
    static std::size_t maxCollectionCount(std::string_view method, std::string_view argument,
                                          std::size_t count, std::size_t max);
};

}  // namespace mvk
