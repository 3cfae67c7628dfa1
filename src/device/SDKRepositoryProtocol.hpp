#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "device/SDKCollectorProtocol.hpp"

namespace mvk {

class SDKRepositoryProtocol {
  public:
    virtual ~SDKRepositoryProtocol() = default;

    virtual std::shared_ptr<SDKCollectorProtocol> collector() const = 0;
    virtual std::string sdkVersion() const = 0;
    virtual std::int64_t sdkCodeVersion() const = 0;
};

}  // namespace mvk
