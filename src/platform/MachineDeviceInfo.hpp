#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/DeviceInfoProtocol.hpp"

namespace mvk {

/// Device values read from the machine. The system name, version, maker and
/// model are read once, at construction; language, region and time-zone offset
/// on every call, since they may change while the game runs. Screen values come
/// from the host only.
class MachineDeviceInfo final : public DeviceInfoProtocol {
  public:
    struct Sources {
        std::vector<std::filesystem::path> osRelease{"/etc/os-release", "/usr/lib/os-release"};
        std::vector<std::filesystem::path> vendor{"/sys/class/dmi/id/sys_vendor",
                                                  "/sys/class/dmi/id/board_vendor"};
    };

    MachineDeviceInfo() : MachineDeviceInfo(Sources{}) {}
    explicit MachineDeviceInfo(const Sources& sources);

    /// The instance the public calls fill; never destroyed.
    static const std::shared_ptr<MachineDeviceInfo>& shared();

    std::optional<std::string> language() const override;
    std::string country() const override;
    std::string osName() const override;
    std::string osVersion() const override;
    std::string manufacturer() const override;
    std::string model() const override;
    std::int64_t timeZoneOffset() const override;
    std::optional<ScreenSize> screenSize() const override;
    std::optional<std::int64_t> screenPpi() const override;

    /// A size with a side that is not positive clears it.
    void setScreenSize(std::int64_t width, std::int64_t height);
    /// A value that is not positive clears it.
    void setScreenPpi(std::int64_t ppi);

  private:
    std::string osName_;
    std::string osVersion_;
    std::string manufacturer_;
    std::string model_;

    mutable std::mutex mutex_;
    std::optional<ScreenSize> screenSize_;
    std::optional<std::int64_t> screenPpi_;
};

}  // namespace mvk
