#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace mvk {

/// Reads the files an earlier SDK left behind, which the library distrusts.
class LegacyFileReader {
  public:
    LegacyFileReader() = delete;

    /// The whole content of a regular file of at most `maxBytes`; nothing when
    /// it is missing, unreadable, larger, or something else (a folder, a pipe,
    /// a device), which is never waited on.
    static std::optional<std::string> read(const std::filesystem::path& file,
                                           std::uintmax_t maxBytes);
};

}  // namespace mvk
