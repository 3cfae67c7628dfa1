#include "device/SDKRepository.hpp"

namespace mvk {

SDKRepository::SDKRepository(std::shared_ptr<SDKCollectorProtocol> collector)
    : collector_(std::move(collector)) {}

std::shared_ptr<SDKCollectorProtocol> SDKRepository::collector() const {
    return collector_;
}

std::string SDKRepository::sdkVersion() const {
    return collector_->sdkVersion();
}

std::int64_t SDKRepository::sdkCodeVersion() const {
    return collector_->sdkCodeVersion();
}

}  // namespace mvk
