#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mvk {

/// The operating-system identification file (os-release): shell-style
/// KEY=value lines, values optionally quoted.
class OsRelease {
  public:
    /// The first of `paths` that can be read; nothing when none can.
    static std::optional<OsRelease> read(const std::vector<std::filesystem::path>& paths);
    static OsRelease parse(std::string_view text);

    /// The value of `key`; empty values count as missing.
    std::optional<std::string> value(const std::string& key) const;

  private:
    std::map<std::string, std::string> values_;
};

}  // namespace mvk
