#include "platform/ApplicationInfo.hpp"

#include <errno.h>

#include <filesystem>
#include <system_error>

#include "foundation/Utf8.hpp"

namespace mvk {

namespace {

constexpr std::int64_t kSandboxBuild = 1;
constexpr std::int64_t kReleaseBuild = 2;

}  // namespace

ApplicationInfo::ApplicationInfo() : ApplicationInfo(executableName()) {}

ApplicationInfo::ApplicationInfo(std::string fallbackName)
    : fallbackName_(fallbackName.empty() ? "application" : Utf8::sanitized(fallbackName)) {}

const std::shared_ptr<ApplicationInfo>& ApplicationInfo::shared() {
    static auto* info = new std::shared_ptr<ApplicationInfo>(std::make_shared<ApplicationInfo>());
    return *info;
}

std::string ApplicationInfo::executableName() {
    std::error_code error;
    auto name = std::filesystem::read_symlink("/proc/self/exe", error).filename().string();
    if (error || name.empty()) {
        name = program_invocation_short_name != nullptr ? program_invocation_short_name : "";
    }
    return name.empty() ? "application" : name;
}

std::string ApplicationInfo::bundleName() const {
    return read(bundleName_, true);
}

std::string ApplicationInfo::bundleIdentifier() const {
    return read(bundleIdentifier_, true);
}

std::optional<std::string> ApplicationInfo::givenBundleIdentifier() const {
    std::lock_guard lock(mutex_);
    if (bundleIdentifier_.empty()) {
        return std::nullopt;
    }
    return bundleIdentifier_;
}

std::string ApplicationInfo::applicationVersion() const {
    return read(version_, false);
}

std::string ApplicationInfo::applicationBuildVersion() const {
    return read(buildVersion_, false);
}

std::int64_t ApplicationInfo::sandboxState() const {
    std::lock_guard lock(mutex_);
    return sandboxState_;
}

void ApplicationInfo::setBundleName(std::string_view name) {
    write(bundleName_, name);
}

void ApplicationInfo::setBundleIdentifier(std::string_view identifier) {
    write(bundleIdentifier_, identifier);
}

void ApplicationInfo::setApplicationVersion(std::string_view version) {
    write(version_, version);
}

void ApplicationInfo::setApplicationBuildVersion(std::string_view buildVersion) {
    write(buildVersion_, buildVersion);
}

void ApplicationInfo::setSandbox(bool isSandbox) {
    std::lock_guard lock(mutex_);
    sandboxState_ = isSandbox ? kSandboxBuild : kReleaseBuild;
}

std::optional<std::string> ApplicationInfo::appStoreReceiptPath() const {
    std::lock_guard lock(mutex_);
    if (receiptPath_.empty()) {
        return std::nullopt;
    }
    return receiptPath_;
}

void ApplicationInfo::setAppStoreReceiptPath(std::string_view path) {
    // A path is bytes to the file system: made valid text it would name
    // another file.
    std::lock_guard lock(mutex_);
    receiptPath_ = std::string(path);
}

std::string ApplicationInfo::read(const std::string& field, bool orFallback) const {
    std::lock_guard lock(mutex_);
    return field.empty() && orFallback ? fallbackName_ : field;
}

void ApplicationInfo::write(std::string& field, std::string_view value) {
    auto text = Utf8::sanitized(value);
    std::lock_guard lock(mutex_);
    field = std::move(text);
}

}  // namespace mvk
