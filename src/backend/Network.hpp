#pragma once

#include <memory>

#include "backend/NetworkProtocol.hpp"
#include "platform/URLSessionProtocol.hpp"

namespace mvk {

/// Makes request builders on one URL session: the platform's shared session
/// unless another one (a fake, in tests) is handed in.
class Network : public NetworkProtocol {
  public:
    Network();
    explicit Network(std::shared_ptr<URLSessionProtocol> session);

    std::unique_ptr<RequestBuilderProtocol> get(const std::string& host) override;
    std::unique_ptr<RequestBuilderProtocol> post(const std::string& host) override;

  private:
    std::shared_ptr<URLSessionProtocol> session_;
};

}  // namespace mvk
