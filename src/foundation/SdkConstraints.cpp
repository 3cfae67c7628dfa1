#include "foundation/SdkConstraints.hpp"

#include <mutex>

namespace mvk {

namespace {

struct VersionState {
    std::mutex mutex;
    std::string version = SdkConstraints::defaultSdkVersion;
};

VersionState& versionState() {
    static auto* s = new VersionState();
    return *s;
}

}  // namespace

std::string SdkConstraints::sdkVersion() {
    auto& s = versionState();
    std::lock_guard lock(s.mutex);
    return s.version;
}

void SdkConstraints::setSdkVersion(std::string version) {
    auto& s = versionState();
    std::lock_guard lock(s.mutex);
    s.version = std::move(version);
}

}  // namespace mvk
