#include "platform/ApplicationSupportDirectory.hpp"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace mvk {

namespace {

constexpr const char* fallbackFolderName = "MVKAnalyticsUnreal";

bool isSafeFolderName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

std::string executableName() {
    std::error_code error;
    auto target = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return fallbackFolderName;
    }
    std::string name = target.filename().string();
    // The kernel marks a replaced or removed binary this way; the folder must
    // not change because the game was updated while running.
    constexpr std::string_view deleted = " (deleted)";
    if (name.size() > deleted.size() && name.ends_with(deleted)) {
        name.resize(name.size() - deleted.size());
    }
    return isSafeFolderName(name) ? name : fallbackFolderName;
}

struct DirectoryState {
    std::mutex mutex;
    std::optional<std::filesystem::path> override;
    std::optional<std::string> folderName;
};

// Leaked on purpose: queue threads may still ask for the path during exit.
DirectoryState& directoryState() {
    static auto* s = new DirectoryState();
    return *s;
}

std::optional<std::filesystem::path> absoluteFromEnvironment(const char* variable) {
    const char* value = std::getenv(variable);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    std::filesystem::path path(value);
    // Relative values are invalid for these variables and would make the
    // location depend on the game's working directory.
    if (!path.is_absolute()) {
        return std::nullopt;
    }
    return path;
}

std::optional<std::filesystem::path> homeDirectory() {
    if (auto home = absoluteFromEnvironment("HOME")) {
        return home;
    }
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* result = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) != 0 ||
        result == nullptr || result->pw_dir == nullptr || result->pw_dir[0] != '/') {
        return std::nullopt;
    }
    return std::filesystem::path(result->pw_dir);
}

std::optional<std::filesystem::path> dataHome() {
    if (auto xdg = absoluteFromEnvironment("XDG_DATA_HOME")) {
        return xdg;
    }
    if (auto home = homeDirectory()) {
        return *home / ".local" / "share";
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::filesystem::path> ApplicationSupportDirectory::path() {
    std::string folder;
    {
        auto& s = directoryState();
        std::lock_guard lock(s.mutex);
        if (s.override) {
            return s.override;
        }
        if (!s.folderName) {
            s.folderName = executableName();
        }
        folder = *s.folderName;
    }
    auto base = dataHome();
    if (!base) {
        return std::nullopt;
    }
    return *base / folder;
}

void ApplicationSupportDirectory::setOverride(std::optional<std::filesystem::path> directory) {
    if (directory && directory->empty()) {
        directory.reset();
    }
    auto& s = directoryState();
    std::lock_guard lock(s.mutex);
    s.override = std::move(directory);
}

std::string ApplicationSupportDirectory::applicationFolderName() {
    auto& s = directoryState();
    std::lock_guard lock(s.mutex);
    if (!s.folderName) {
        s.folderName = executableName();
    }
    return *s.folderName;
}

bool ApplicationSupportDirectory::setApplicationFolderName(const std::string& name) {
    if (!isSafeFolderName(name)) {
        return false;
    }
    auto& s = directoryState();
    std::lock_guard lock(s.mutex);
    s.folderName = name;
    return true;
}

std::error_code ApplicationSupportDirectory::createPrivateDirectories(
    const std::filesystem::path& directory) {
    std::filesystem::path current;
    for (const auto& part : directory.lexically_normal()) {
        current /= part;
        if (part.empty() || current == current.root_path()) {
            continue;
        }
        if (mkdir(current.c_str(), 0700) == 0) {
            // mkdir honours the umask; the mode must not depend on it.
            if (chmod(current.c_str(), 0700) != 0) {
                return {errno, std::generic_category()};
            }
            continue;
        }
        const int error = errno;
        std::error_code statusError;
        if (error != EEXIST || !std::filesystem::is_directory(current, statusError)) {
            return {error == EEXIST ? ENOTDIR : error, std::generic_category()};
        }
    }
    return {};
}

}  // namespace mvk
