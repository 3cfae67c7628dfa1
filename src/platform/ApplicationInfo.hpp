#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ApplicationInfoProtocol.hpp"

namespace mvk {

/// Application values as set by the host. The bundle name and identifier fall
/// back to the executable's name, so a key built from them is never empty; an
/// empty or unset value from the host keeps the fallback.
class ApplicationInfo final : public ApplicationInfoProtocol {
  public:
    ApplicationInfo();
    /// For tests: `fallbackName` stands in for the executable's name.
    explicit ApplicationInfo(std::string fallbackName);

    /// The instance the public calls fill; never destroyed.
    static const std::shared_ptr<ApplicationInfo>& shared();

    /// The running program's file name, or "application" when it cannot be read.
    static std::string executableName();

    std::string bundleName() const override;
    std::string bundleIdentifier() const override;
    /// The bundle identifier as the host set it, without the fallback; none
    /// when it set none.
    std::optional<std::string> givenBundleIdentifier() const;
    std::string applicationVersion() const override;
    std::string applicationBuildVersion() const override;
    std::int64_t sandboxState() const override;

    void setBundleName(std::string_view name);
    void setBundleIdentifier(std::string_view identifier);
    void setApplicationVersion(std::string_view version);
    void setApplicationBuildVersion(std::string_view buildVersion);
    void setSandbox(bool isSandbox);

    /// The file holding the application's purchase receipt, as the host names
    /// it; none until set, and an empty path clears it.
    std::optional<std::string> appStoreReceiptPath() const;
    void setAppStoreReceiptPath(std::string_view path);

  private:
    std::string read(const std::string& field, bool orFallback) const;
    void write(std::string& field, std::string_view value);

    mutable std::mutex mutex_;
    const std::string fallbackName_;
    std::string bundleName_;
    std::string bundleIdentifier_;
    std::string version_;
    std::string buildVersion_;
    std::int64_t sandboxState_ = 0;
    std::string receiptPath_;
};

}  // namespace mvk
