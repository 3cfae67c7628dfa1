#include "device/Platform.hpp"

#include "device/ApplicationCollector.hpp"
#include "device/ApplicationGateway.hpp"
#include "device/ApplicationInfoRepository.hpp"
#include "device/DeviceInfoCollector.hpp"
#include "device/DeviceInfoGateway.hpp"
#include "device/DeviceInfoRepository.hpp"
#include "device/IdentifierCollector.hpp"
#include "device/IdentifierGateway.hpp"
#include "device/IdentifierInfoRepository.hpp"
#include "device/SDKCollector.hpp"
#include "device/SDKGateway.hpp"
#include "device/SDKRepository.hpp"

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
