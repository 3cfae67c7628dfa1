#include "platform/SecureStorePath.hpp"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/ApplicationInfo.hpp"

namespace mvk {

namespace {

struct PathState {
    std::mutex mutex;
    std::filesystem::path directory;
};

PathState& state() {
    static auto* s = new PathState();
    return *s;
}

std::filesystem::path homeDirectory() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        return home;
    }
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* result = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 &&
        result != nullptr && result->pw_dir != nullptr && result->pw_dir[0] == '/') {
        return result->pw_dir;
    }
    return {};
}

}  // namespace

std::filesystem::path SecureStorePath::directory() {
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        if (!s.directory.empty()) {
            return s.directory;
        }
    }
    auto base = userDataDirectory();
    if (base.empty()) {
        return {};
    }
    return base / applicationFolder(ApplicationInfo::shared()->bundleIdentifier());
}

void SecureStorePath::setDirectory(std::filesystem::path directory) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.directory = std::move(directory);
}

std::filesystem::path SecureStorePath::userDataDirectory() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && dataHome[0] == '/') {
        return dataHome;
    }
    auto home = homeDirectory();
    if (home.empty()) {
        return {};
    }
    return home / ".local" / "share";
}

std::string SecureStorePath::applicationFolder(std::string_view bundleIdentifier) {
    std::string folder;
    for (char c : bundleIdentifier) {
        const auto byte = static_cast<unsigned char>(c);
        folder += (c == '/' || byte < 0x20 || byte == 0x7F) ? '_' : c;
    }
    if (folder.empty() || folder == "." || folder == "..") {
        folder = "_" + folder;
    }
    return folder;
}

}  // namespace mvk
