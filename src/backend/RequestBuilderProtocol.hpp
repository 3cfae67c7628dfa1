#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "backend/RequestContentProtocol.hpp"
#include "backend/RequestProtocol.hpp"

namespace mvk {

class RequestBuilderProtocol {
  public:
    virtual ~RequestBuilderProtocol() = default;

    virtual void setQueryParam(const std::string& key, const std::string& value) = 0;
    virtual void setContent(std::shared_ptr<RequestContentProtocol> content) = 0;
    /// Only shown in the debug log of the send.
    virtual void setRequestIdentifier(std::optional<std::string> identifier) = 0;
    /// The largest answer accepted; a larger one fails like a lost connection.
    virtual void setMaxResponseBytes(std::size_t bytes) = 0;
    /// Throws `MVKError` "[Network Module] requestContent is nil" without content.
    virtual std::unique_ptr<RequestProtocol> build() = 0;
};

}  // namespace mvk
