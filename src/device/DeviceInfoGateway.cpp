#include "device/DeviceInfoGateway.hpp"

namespace mvk {

DeviceInfoGateway::DeviceInfoGateway(
    std::shared_ptr<DeviceInfoRepositoryProtocol> deviceInfoRepository)
    : deviceInfoRepository_(std::move(deviceInfoRepository)) {}

std::shared_ptr<DeviceInfoRepositoryProtocol> DeviceInfoGateway::deviceInfoRepository() const {
    return deviceInfoRepository_;
}

DeviceData DeviceInfoGateway::getDeviceData() {
    const auto& repository = *deviceInfoRepository_;
    if (!savedData_) {
        savedData_ = DeviceData{
            repository.language(),        repository.country(),      repository.osVersion(),
            repository.osName(),          repository.displayPpi(),   repository.displayResolution(),
            repository.displayDiagonal(), repository.manufacturer(), repository.model(),
            repository.timeZoneOffset(),
        };
        return *savedData_;
    }
    savedData_->language = repository.language();
    savedData_->country = repository.country();
    savedData_->timeZoneOffset = repository.timeZoneOffset();
    return *savedData_;
}

}  // namespace mvk
