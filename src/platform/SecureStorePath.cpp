#include "platform/SecureStorePath.hpp"

#include <mutex>

#include "platform/ApplicationSupportDirectory.hpp"

namespace mvk {

namespace {

struct PathState {
    std::mutex mutex;
    std::filesystem::path directory;
};

PathState& pathState() {
    static auto* s = new PathState();
    return *s;
}

}  // namespace

std::filesystem::path SecureStorePath::directory() {
    {
        auto& s = pathState();
        std::lock_guard lock(s.mutex);
        if (!s.directory.empty()) {
            return s.directory;
        }
    }
    return ApplicationSupportDirectory::path().value_or(std::filesystem::path{});
}

void SecureStorePath::setDirectory(std::filesystem::path directory) {
    auto& s = pathState();
    std::lock_guard lock(s.mutex);
    s.directory = std::move(directory);
}

}  // namespace mvk
