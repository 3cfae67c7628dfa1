#pragma once

#include "device/SDKCollectorProtocol.hpp"

namespace mvk {

/// The library's own version; the engine wrapper may have replaced the text.
class SDKCollector final : public SDKCollectorProtocol {
  public:
    std::string sdkVersion() const override;
    std::int64_t sdkCodeVersion() const override;
};

}  // namespace mvk
