#include "device/PlatformStorage.hpp"

namespace mvk {

void PlatformStorage::saveUDID(const std::string& udid) {
    std::lock_guard lock(mutex_);
    savedUdid_ = udid;
}

std::optional<std::string> PlatformStorage::loadUDID() const {
    std::lock_guard lock(mutex_);
    return savedUdid_;
}

}  // namespace mvk
