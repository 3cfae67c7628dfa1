#include "device/IdentifierGateway.hpp"

namespace mvk {

IdentifierGateway::IdentifierGateway(
    std::shared_ptr<IdentifierInfoRepositoryProtocol> identifierInfoRepository)
    : identifierInfoRepository_(std::move(identifierInfoRepository)) {}

std::shared_ptr<IdentifierInfoRepositoryProtocol> IdentifierGateway::identifierInfoRepository()
    const {
    return identifierInfoRepository_;
}

IdentifierData IdentifierGateway::identifierData() {
    if (!identifierData_) {
        auto& repository = *identifierInfoRepository_;
        // Braced initialisation runs left to right, so the log lines of the
        // children's-privacy control come out in field order.
        identifierData_ = IdentifierData{
            repository.obtainDeviceUIDs(),
            repository.isLimitAdTrackingEnabled(),
            repository.idfv(),
            repository.idfa(),
            repository.uuid(),
        };
    }
    return *identifierData_;
}

}  // namespace mvk
