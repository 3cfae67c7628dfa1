#include "device/DeviceInfoRepository.hpp"

#include <cmath>

#include "device/DisplayPpi.hpp"

namespace mvk {

DeviceInfoRepository::DeviceInfoRepository(std::shared_ptr<DeviceInfoCollectorProtocol> collector)
    : collector_(std::move(collector)) {}

std::shared_ptr<DeviceInfoCollectorProtocol> DeviceInfoRepository::collector() const {
    return collector_;
}

std::optional<std::string> DeviceInfoRepository::language() const {
    return collector_->language();
}

std::string DeviceInfoRepository::country() const {
    return collector_->country();
}

std::string DeviceInfoRepository::osVersion() const {
    return collector_->osVersion();
}

std::string DeviceInfoRepository::osName() const {
    return collector_->osName();
}

std::optional<std::int64_t> DeviceInfoRepository::displayPpi() const {
    if (auto reported = collector_->screenPpi()) {
        return reported;
    }
    return DisplayPpi::forModel(collector_->model());
}

std::optional<std::string> DeviceInfoRepository::displayResolution() const {
    return collector_->displayResolution();
}

std::optional<double> DeviceInfoRepository::displayDiagonal() const {
    const auto ppi = displayPpi();
    const auto size = collector_->nativeScreenBounds();
    if (!ppi || *ppi <= 0 || !size) {
        return std::nullopt;
    }
    const double density = static_cast<double>(*ppi);
    return std::hypot(static_cast<double>(size->width) / density,
                      static_cast<double>(size->height) / density);
}

std::string DeviceInfoRepository::manufacturer() const {
    return collector_->manufacturer();
}

std::string DeviceInfoRepository::model() const {
    return collector_->model();
}

std::int64_t DeviceInfoRepository::timeZoneOffset() const {
    return collector_->timeZoneOffset();
}

}  // namespace mvk
