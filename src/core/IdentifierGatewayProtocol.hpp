#pragma once

#include <memory>

#include "core/IdentifierData.hpp"
#include "core/IdentifierInfoRepositoryProtocol.hpp"

namespace mvk {

class IdentifierGatewayProtocol {
  public:
    virtual ~IdentifierGatewayProtocol() = default;

    virtual std::shared_ptr<IdentifierInfoRepositoryProtocol> identifierInfoRepository() const = 0;
    virtual IdentifierData identifierData() = 0;
};

}  // namespace mvk
