#pragma once

#include <cstdint>
#include <string>

namespace mvk {

struct SdkData {
    std::string sdkVersion;
    std::int64_t sdkCodeVersion = 0;

    friend bool operator==(const SdkData&, const SdkData&) = default;
};

}  // namespace mvk
