#include "device/ApplicationInfoRepository.hpp"

namespace mvk {

ApplicationInfoRepository::ApplicationInfoRepository(
    std::shared_ptr<ApplicationCollectorProtocol> collector)
    : collector_(std::move(collector)) {}

std::shared_ptr<ApplicationCollectorProtocol> ApplicationInfoRepository::collector() const {
    return collector_;
}

std::string ApplicationInfoRepository::applicationVersion() const {
    return collector_->applicationVersion();
}

std::string ApplicationInfoRepository::applicationBuildVersion() const {
    return collector_->applicationBuildVersion();
}

std::string ApplicationInfoRepository::applicationBundle() const {
    return collector_->applicationBundle();
}

std::int64_t ApplicationInfoRepository::sandboxState() const {
    return collector_->sandboxState();
}

}  // namespace mvk
