#pragma once

#include <memory>

#include "state/DeviceManagerProtocol.hpp"
#include "device/PlatformProtocol.hpp"
#include "state/IdentifiersRepositoryProtocol.hpp"
#include "state/ToolsRepositoryProtocol.hpp"

namespace mvk {

/// Keeps each project's device identifiers row following the platform's
/// device UID, and the "sdkTools" row following the running SDK version.
/// The platform's identifier data is read afresh on every call, so a changed
/// UID is noticed at the next call that needs the identifiers.
class DeviceManager final : public DeviceManagerProtocol {
  public:
    /// The key of the "sdkTools" property that holds the SDK version last run.
    static constexpr const char* sdkVersionKey = "sdkVersion";

    DeviceManager(std::shared_ptr<IdentifiersRepositoryProtocol> identifiersRepository,
                  std::shared_ptr<ToolsRepositoryProtocol> toolsRepository,
                  std::shared_ptr<PlatformProtocol> platform);

    std::shared_ptr<DeviceIdentifiers> initializeDeviceId(const Project& project) override;

    ApplicationData getAppData() override { return platform_->getApplicationData(); }
    DeviceData getDeviceData() override { return platform_->getDeviceData(); }
    IdentifierData getIdentifiersData() override { return platform_->getIdentifierData(); }
    SdkData getSdkData() override { return platform_->getSdkData(); }

    void updateDeviceIdentifiers(const Project& project, std::optional<std::int64_t> morvanixId,
                                 std::optional<std::int64_t> crossPlatformMorvanixId,
                                 std::optional<std::int64_t> morvanixIdTimestamp) override;

    std::optional<bool> sdkVersionIsChanged() override;

  private:
    const std::shared_ptr<IdentifiersRepositoryProtocol> identifiersRepository_;
    const std::shared_ptr<ToolsRepositoryProtocol> toolsRepository_;
    const std::shared_ptr<PlatformProtocol> platform_;
};

}  // namespace mvk
