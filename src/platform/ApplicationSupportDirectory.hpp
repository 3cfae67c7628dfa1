#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace mvk {

/// Where the library keeps its files: the user's data directory
/// ($XDG_DATA_HOME, else ~/.local/share) plus a folder for the application.
/// The host and tests may point it anywhere else.
///
/// The settings may be written from the host's thread while a queue reads
/// them, so they sit behind a lock.
class ApplicationSupportDirectory {
  public:
    ApplicationSupportDirectory() = delete;

    /// The override when one is set; else the data directory plus the
    /// application folder; absent when no data directory resolves.
    static std::optional<std::filesystem::path> path();

    /// Replaces the whole directory (the application folder is not appended to
    /// it); absent or an empty path removes the override.
    static void setOverride(std::optional<std::filesystem::path> directory);

    /// Defaults to the name of the running executable.
    static std::string applicationFolderName();

    /// Refuses (false, nothing changed) a name that is empty or could leave the
    /// data directory: ".", "..", or one holding '/' or a NUL.
    static bool setApplicationFolderName(const std::string& name);

    /// Creates `directory` and its missing parents with mode 0700; folders
    /// that already exist keep their mode. The files below hold user and device
    /// identifiers, so nobody else may list or read them.
    static std::error_code createPrivateDirectories(const std::filesystem::path& directory);
};

}  // namespace mvk
