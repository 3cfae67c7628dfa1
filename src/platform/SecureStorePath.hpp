#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace mvk {

/// Where the application's secure store lives: a folder named after the bundle
/// identifier under the user's data directory, unless one was set.
class SecureStorePath {
  public:
    SecureStorePath() = delete;

    /// The folder set with `setDirectory`, else the default for the bundle
    /// identifier of `ApplicationInfo::shared()`; empty when the user has no
    /// home directory.
    static std::filesystem::path directory();
    /// An empty path goes back to the default.
    static void setDirectory(std::filesystem::path directory);

    /// $XDG_DATA_HOME when it is an absolute path, else ~/.local/share.
    static std::filesystem::path userDataDirectory();
    /// `bundleIdentifier` made safe as one path component.
    static std::string applicationFolder(std::string_view bundleIdentifier);
};

}  // namespace mvk
