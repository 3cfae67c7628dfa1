#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/ApplicationInfoProtocol.hpp"
#include "platform/IdentifierSourceProtocol.hpp"
#include "platform/SecureStoreProtocol.hpp"

namespace mvk {

/// Device identifiers on Linux. There is no advertising identifier and no
/// tracking permission to ask for, so both answer as a failed lookup would.
///
/// The vendor identifier is derived from the machine id and the bundle
/// identifier with a keyed hash, so it is stable for the application without
/// revealing the machine id itself. A machine without a usable id gets a random
/// UUID, kept in the secure store under `vendorAccount`.
class IdentifierSource final : public IdentifierSourceProtocol {
  public:
    static constexpr const char* vendorAccount = "mvk_vendor_id";

    IdentifierSource(std::shared_ptr<SecureStoreProtocol> store,
                     std::shared_ptr<const ApplicationInfoProtocol> application,
                     std::vector<std::filesystem::path> machineIdPaths = {
                         "/etc/machine-id", "/var/lib/dbus/machine-id"});

    std::optional<std::string> advertisingIdentifier() override;
    std::optional<std::string> vendorIdentifier() override;
    bool isTrackingAuthorized() override;

    /// The id in the first file that holds one: 32 hexadecimal digits, not all
    /// zero (systemd writes "uninitialized" while the machine is set up).
    static std::optional<std::string> readMachineId(
        const std::vector<std::filesystem::path>& paths);
    /// The vendor identifier for `machineId` and `bundleIdentifier`; nothing
    /// when the hash is not available.
    static std::optional<std::string> applicationSpecificId(const std::string& machineId,
                                                            const std::string& bundleIdentifier);

  private:
    std::string storedRandomIdentifier(bool& kept);

    const std::shared_ptr<SecureStoreProtocol> store_;
    const std::shared_ptr<const ApplicationInfoProtocol> application_;
    const std::vector<std::filesystem::path> machineIdPaths_;
    std::mutex mutex_;
    std::optional<std::string> vendorIdentifier_;
};

}  // namespace mvk
