#pragma once

#include <string>

namespace mvk {

/// The SDK's version text and code version. The engine wrapper may replace the
/// version from any thread while log lines and requests read it.
class SdkConstraints {
  public:
    SdkConstraints() = delete;

    static constexpr const char* defaultSdkVersion = "2.2.6";
    static constexpr int sdkCodeVersion = 10;

    static std::string sdkVersion();
    static void setSdkVersion(std::string version);
};

}  // namespace mvk
