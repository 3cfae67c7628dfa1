#pragma once

#include <memory>
#include <string>

#include "backend/Backend.hpp"
#include "support/GatewayFixture.hpp"

namespace mvk::test {

/// A local gateway that the library's gateway requests reach through the test
/// proxy address, and a backend on the shared URL session. Destroying it
/// clears both test addresses again.
class BackendGatewayFixture {
  public:
    BackendGatewayFixture();
    ~BackendGatewayFixture();
    BackendGatewayFixture(const BackendGatewayFixture&) = delete;
    BackendGatewayFixture& operator=(const BackendGatewayFixture&) = delete;

    gateway::Gateway& gateway() { return fixture_.gateway(); }
    Backend& backend() { return *backend_; }
    std::shared_ptr<Backend> sharedBackend() { return backend_; }

    /// The answer of every request on `endpoint` (e.g. "/analytics/config").
    void answer(const std::string& endpoint, gateway::ScriptedAnswer answer);
    void answer(const std::string& endpoint, int status, std::string body);

  private:
    GatewayFixture fixture_;
    std::shared_ptr<Backend> backend_;
};

}  // namespace mvk::test
