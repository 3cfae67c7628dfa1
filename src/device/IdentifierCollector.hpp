#pragma once

#include <memory>

#include "device/IdentifierCollectorProtocol.hpp"
#include "platform/ApplicationInfoProtocol.hpp"
#include "platform/IdentifierSourceProtocol.hpp"
#include "platform/SecureStoreProtocol.hpp"

namespace mvk {

/// Chooses the device identifiers and keeps them in the secure store under
/// "<bundle name>-<item>", so the same device keeps its identifier across runs
/// and the identifier it had before can be sent along when it changes.
///
/// With children's-privacy control the advertising and vendor identifiers are
/// never read: the device identifier is the installation's random one (`uuid`). The operations rely
/// on being called from one queue (the income queue): the read-compare-write on the items is not
/// atomic.
class IdentifierCollector final : public IdentifierCollectorProtocol {
  public:
    static constexpr const char* currentIdItem = "k9m_v2_current_id";
    static constexpr const char* prevIdItem = "k9m_v2_prev_id";
    static constexpr const char* customUdidItem = "k9m_v2_customUdid";
    /// Written by earlier versions without the bundle-name prefix; only read.
    static constexpr const char* olderIdfaItem = "k9m_idfa";
    static constexpr const char* olderIdfvItem = "k9m_idfv";

    IdentifierCollector(bool coppaControlEnabled,
                        std::shared_ptr<IdentifierSourceProtocol> identifiers,
                        std::shared_ptr<const ApplicationInfoProtocol> bundle,
                        std::shared_ptr<SecureStoreProtocol> keychain);

    /// The secure-store account of one of this application's items.
    static std::string itemAccount(const std::string& appName, const std::string& item);

    bool isAdvertisingTrackingEnabled() override;
    std::optional<std::string> idfv() override;
    /// Nothing for the all-zero identifier a system gives when tracking is limited.
    std::optional<std::string> idfa() override;
    /// A random identifier made once per application and kept.
    std::string uuid() override;
    IdentifierData::DeviceUIDs getUIDs() override;

  private:
    std::optional<std::string> bundleName() const;
    std::optional<std::string> getSavedUID(const std::string& appName, const std::string& account);
    bool setSavedUID(const std::string& uid, const std::string& appName,
                     const std::string& account);
    std::optional<std::string> getOlderSavedUID(const std::string& account);
    std::optional<std::string> tryMigratePrevUid(const std::string& appName,
                                                 const std::string& account);

    const bool coppaControlEnabled_;
    const std::shared_ptr<IdentifierSourceProtocol> identifiers_;
    const std::shared_ptr<const ApplicationInfoProtocol> bundle_;
    const std::shared_ptr<SecureStoreProtocol> keychain_;
};

}  // namespace mvk
