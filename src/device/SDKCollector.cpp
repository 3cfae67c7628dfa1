#include "device/SDKCollector.hpp"

#include "foundation/SdkConstraints.hpp"

namespace mvk {

std::string SDKCollector::sdkVersion() const {
    return SdkConstraints::sdkVersion();
}

std::int64_t SDKCollector::sdkCodeVersion() const {
    return SdkConstraints::sdkCodeVersion;
}

}  // namespace mvk
