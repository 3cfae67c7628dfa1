#include "device/ApplicationCollector.hpp"

namespace mvk {

namespace {

constexpr std::int64_t kSandboxState = 1;

}  // namespace

ApplicationCollector::ApplicationCollector(std::shared_ptr<const ApplicationInfoProtocol> bundle,
                                           bool isSimulator)
    : bundle_(std::move(bundle)), isSimulator_(isSimulator) {}

std::string ApplicationCollector::applicationVersion() const {
    return bundle_->applicationVersion();
}

std::string ApplicationCollector::applicationBuildVersion() const {
    return bundle_->applicationBuildVersion();
}

std::string ApplicationCollector::applicationBundle() const {
    return bundle_->bundleIdentifier();
}

std::int64_t ApplicationCollector::sandboxState() const {
    return isSimulator_ ? kSandboxState : bundle_->sandboxState();
}

}  // namespace mvk
