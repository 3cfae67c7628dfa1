#include "device/ApplicationGateway.hpp"

namespace mvk {

ApplicationGateway::ApplicationGateway(
    std::shared_ptr<ApplicationInfoRepositoryProtocol> appRepository)
    : appRepository_(std::move(appRepository)) {}

std::shared_ptr<ApplicationInfoRepositoryProtocol> ApplicationGateway::applicationRepository()
    const {
    return appRepository_;
}

ApplicationData ApplicationGateway::applicationData() {
    if (!applicationData_) {
        applicationData_ = ApplicationData{
            appRepository_->applicationVersion(),
            appRepository_->applicationBuildVersion(),
            appRepository_->applicationBundle(),
            appRepository_->sandboxState(),
        };
    }
    return *applicationData_;
}

}  // namespace mvk
