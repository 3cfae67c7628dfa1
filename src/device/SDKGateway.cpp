#include "device/SDKGateway.hpp"

namespace mvk {

SDKGateway::SDKGateway(std::shared_ptr<SDKRepositoryProtocol> sdkRepository)
    : sdkRepository_(std::move(sdkRepository)) {}

std::shared_ptr<SDKRepositoryProtocol> SDKGateway::sdkRepository() const {
    return sdkRepository_;
}

SdkData SDKGateway::sdkData() {
    if (!sdkData_) {
        sdkData_ = SdkData{sdkRepository_->sdkVersion(), sdkRepository_->sdkCodeVersion()};
    }
    return *sdkData_;
}

}  // namespace mvk
