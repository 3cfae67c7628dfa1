#pragma once

#include <memory>
#include <string>

#include "backend/RequestBuilderProtocol.hpp"

namespace mvk {

class NetworkProtocol {
  public:
    virtual ~NetworkProtocol() = default;

    /// `host` is the whole URL up to the query.
    virtual std::unique_ptr<RequestBuilderProtocol> get(const std::string& host) = 0;
    virtual std::unique_ptr<RequestBuilderProtocol> post(const std::string& host) = 0;
};

}  // namespace mvk
