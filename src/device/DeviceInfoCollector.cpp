#include "device/DeviceInfoCollector.hpp"

#include <algorithm>

namespace mvk {

DeviceInfoCollector::DeviceInfoCollector(std::shared_ptr<const DeviceInfoProtocol> device)
    : device_(std::move(device)) {}

std::optional<std::string> DeviceInfoCollector::language() const {
    auto language = device_->language();
    // A preferred language may carry its region ("en-US").
    if (language) {
        language->erase(std::min(language->find('-'), language->size()));
    }
    return language;
}

std::string DeviceInfoCollector::country() const {
    return device_->country();
}

std::string DeviceInfoCollector::osVersion() const {
    return device_->osVersion();
}

std::string DeviceInfoCollector::osName() const {
    return device_->osName();
}

std::optional<std::string> DeviceInfoCollector::displayResolution() const {
    const auto size = nativeScreenBounds();
    if (!size) {
        return std::nullopt;
    }
    const auto [smaller, larger] = std::minmax(size->width, size->height);
    return std::to_string(smaller) + "x" + std::to_string(larger);
}

std::optional<ScreenSize> DeviceInfoCollector::nativeScreenBounds() const {
    return device_->screenSize();
}

std::optional<std::int64_t> DeviceInfoCollector::screenPpi() const {
    return device_->screenPpi();
}

std::string DeviceInfoCollector::manufacturer() const {
    return device_->manufacturer();
}

std::string DeviceInfoCollector::model() const {
    return device_->model();
}

std::int64_t DeviceInfoCollector::timeZoneOffset() const {
    return device_->timeZoneOffset();
}

}  // namespace mvk
