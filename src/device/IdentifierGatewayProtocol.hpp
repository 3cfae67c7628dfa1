#pragma once

#include <memory>

#include "device/IdentifierData.hpp"
#include "device/IdentifierInfoRepositoryProtocol.hpp"

namespace mvk {

class IdentifierGatewayProtocol {
  public:
    virtual ~IdentifierGatewayProtocol() = default;

    virtual std::shared_ptr<IdentifierInfoRepositoryProtocol> identifierInfoRepository() const = 0;
    virtual IdentifierData identifierData() = 0;
};

}  // namespace mvk
