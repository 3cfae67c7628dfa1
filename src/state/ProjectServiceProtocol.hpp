#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "records/Config.hpp"
#include "device/ApplicationData.hpp"
#include "device/DeviceData.hpp"
#include "state/DeviceIdentifiers.hpp"
#include "device/IdentifierData.hpp"
#include "state/MarkLookup.hpp"
#include "device/SdkData.hpp"

namespace mvk {

/// Project-level state: the stored analytics configuration and the values the
/// logic reads from it, tracking, the referral and payment marks, and the
/// platform's records. Used on the income queue.
class ProjectServiceProtocol {
  public:
    virtual ~ProjectServiceProtocol() = default;

    /// One user per user id (true) or one user per project.
    virtual bool userCounting() = 0;
    virtual bool isRefererSent() = 0;
    /// Stored only while tracking is on.
    virtual void setIsRefererSent(bool isSent) = 0;
    /// The most parameters an event may carry.
    virtual std::int64_t paramsCount() = 0;
    virtual MarkLookup isCurrencyPaymentMarked(const std::string& orderId) = 0;
    /// Remembers the order id for the active project; a repeat is only logged.
    /// False when the marks could not be read or the mark not stored.
    virtual bool markCurrencyPayment(const std::string& orderId) = 0;
    /// Sets tracking of every stored project.
    virtual void setTrackingAvailable(bool isAvailable) = 0;
    virtual bool getTrackingAvailable() = 0;
    virtual ApplicationData getAppData() = 0;
    virtual SdkData getSdkData() = 0;
    virtual IdentifierData getIdentifiersData() = 0;
    virtual DeviceData getDeviceData() = 0;
    virtual std::shared_ptr<DeviceIdentifiers> getDeviceIdentifiers() = 0;
    /// Merges a received configuration into the stored one and stores it.
    virtual void applyConfig(const Config& config) = 0;
    /// With one user per project, the other users' data has to go.
    virtual bool checkIfNeedRemoveUsersData() = 0;
    /// Hands the configuration's exclusions and currency limit to the validator.
    virtual void updateValidator() = 0;
    virtual std::int64_t getNumberOfCurrencies() = 0;
    virtual std::int64_t getUserCardKeysCount() = 0;
};

}  // namespace mvk
