#include "core/Platform.hpp"

#include "core/ApplicationCollector.hpp"
#include "core/ApplicationGateway.hpp"
#include "core/ApplicationInfoRepository.hpp"
#include "core/DeviceInfoCollector.hpp"
#include "core/DeviceInfoGateway.hpp"
#include "core/DeviceInfoRepository.hpp"
#include "core/IdentifierCollector.hpp"
#include "core/IdentifierGateway.hpp"
#include "core/IdentifierInfoRepository.hpp"
#include "core/SDKCollector.hpp"
#include "core/SDKGateway.hpp"
#include "core/SDKRepository.hpp"

namespace mvk {

Platform::Platform(std::shared_ptr<PlatformStorageProtocol> platformStorage,
                   bool coppaControlEnabled, const PlatformServices& services)
    : applicationGateway_(
          std::make_shared<ApplicationGateway>(std::make_shared<ApplicationInfoRepository>(
              std::make_shared<ApplicationCollector>(services.application)))),
      deviceGateway_(std::make_shared<DeviceInfoGateway>(std::make_shared<DeviceInfoRepository>(
          std::make_shared<DeviceInfoCollector>(services.device)))),
      identifierGateway_(
          std::make_shared<IdentifierGateway>(std::make_shared<IdentifierInfoRepository>(
              platformStorage,
              std::make_shared<IdentifierCollector>(coppaControlEnabled, services.identifiers,
                                                    services.application, services.secureStore)))),
      sdkGateway_(std::make_shared<SDKGateway>(
          std::make_shared<SDKRepository>(std::make_shared<SDKCollector>()))),
      platformStorage_(std::move(platformStorage)),
      coppaControlEnabled_(coppaControlEnabled) {}

ApplicationData Platform::getApplicationData() {
    return applicationGateway_->applicationData();
}

DeviceData Platform::getDeviceData() {
    return deviceGateway_->getDeviceData();
}

IdentifierData Platform::getIdentifierData() {
    return identifierGateway_->identifierData();
}

SdkData Platform::getSdkData() {
    return sdkGateway_->sdkData();
}

}  // namespace mvk
