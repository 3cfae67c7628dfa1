#include "device/PlatformServices.hpp"

#include "platform/ApplicationInfo.hpp"
#include "platform/FileSecureStore.hpp"
#include "platform/IdentifierSource.hpp"
#include "platform/MachineDeviceInfo.hpp"
#include "platform/SecureStorePath.hpp"

namespace mvk {

PlatformServices PlatformServices::system() {
    auto store = std::make_shared<FileSecureStore>(SecureStorePath::directory());
    const auto& application = ApplicationInfo::shared();
    return PlatformServices{
        application,
        MachineDeviceInfo::shared(),
        std::make_shared<IdentifierSource>(store, application),
        store,
    };
}

}  // namespace mvk
