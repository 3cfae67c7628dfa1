#pragma once

#include <memory>

#include "backend/EncodableValue.hpp"
#include "backend/RequestContentProtocol.hpp"
#include "records/Identifiers.hpp"

namespace mvk {

class ContentFactoryProtocol {
  public:
    virtual ~ContentFactoryProtocol() = default;

    /// The content of one gateway request: `data` as the body, `identifiers` as headers.
    virtual std::shared_ptr<RequestContentProtocol> getContent(
        const EncodableValue& data, const Identifiers& identifiers) const = 0;
};

}  // namespace mvk
