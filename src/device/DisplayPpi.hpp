#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace mvk {

/// Pixel density of the handheld models whose screens are known by their
/// hardware model identifier ("iPhone13,2"); other machines have no entry.
class DisplayPpi {
  public:
    DisplayPpi() = delete;

    static std::optional<std::int64_t> forModel(std::string_view model);
};

}  // namespace mvk
