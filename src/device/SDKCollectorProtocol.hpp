#pragma once

#include <cstdint>
#include <string>

namespace mvk {

class SDKCollectorProtocol {
  public:
    virtual ~SDKCollectorProtocol() = default;

    virtual std::string sdkVersion() const = 0;
    virtual std::int64_t sdkCodeVersion() const = 0;
};

}  // namespace mvk
