#pragma once

#include <string>
#include <string_view>

#include "gateway/Gateway.hpp"

namespace mvk::test {

/// A local gateway of its own for one test, with the request layer trusting
/// its certificate. Destroying it stops the gateway and puts every URL
/// session setting (trust, timeout, size cap) back to its default.
class GatewayFixture {
  public:
    GatewayFixture();
    ~GatewayFixture();
    GatewayFixture(const GatewayFixture&) = delete;
    GatewayFixture& operator=(const GatewayFixture&) = delete;

    gateway::Gateway& gateway() { return gateway_; }
    std::string url(std::string_view pathAndQuery) const { return gateway_.url(pathAndQuery); }

  private:
    gateway::Gateway gateway_;
};

}  // namespace mvk::test
