#pragma once

#include <filesystem>

namespace mvk {

/// Where the application's secure store lives: the application-support
/// directory, unless a folder was set.
class SecureStorePath {
  public:
    SecureStorePath() = delete;

    /// The folder set with `setDirectory`, else the application-support
    /// directory; empty when neither resolves.
    static std::filesystem::path directory();
    /// An empty path goes back to the default.
    static void setDirectory(std::filesystem::path directory);
};

}  // namespace mvk
