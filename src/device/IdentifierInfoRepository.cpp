#include "device/IdentifierInfoRepository.hpp"

namespace mvk {

IdentifierInfoRepository::IdentifierInfoRepository(
    std::shared_ptr<PlatformStorageProtocol> platformStorage,
    std::shared_ptr<IdentifierCollectorProtocol> collector)
    : platformStorage_(std::move(platformStorage)), collector_(std::move(collector)) {}

std::shared_ptr<IdentifierCollectorProtocol> IdentifierInfoRepository::collector() const {
    return collector_;
}

IdentifierData::DeviceUIDs IdentifierInfoRepository::obtainDeviceUIDs() {
    auto uids = collector_->getUIDs();
    platformStorage_->saveUDID(uids.current);
    return uids;
}

bool IdentifierInfoRepository::isLimitAdTrackingEnabled() {
    return !collector_->isAdvertisingTrackingEnabled();
}

std::optional<std::string> IdentifierInfoRepository::idfv() {
    return collector_->idfv();
}

std::optional<std::string> IdentifierInfoRepository::idfa() {
    return collector_->idfa();
}

std::string IdentifierInfoRepository::uuid() {
    return collector_->uuid();
}

}  // namespace mvk
