#pragma once

#include <memory>

#include "backend/BackendProtocol.hpp"
#include "platform/URLSessionProtocol.hpp"

namespace mvk {

/// The gateway facade the services hold: wraps each body record and the
/// identity into a message and hands it to the repository.
class Backend : public BackendProtocol {
  public:
    explicit Backend(std::shared_ptr<BackendRepositoryProtocol> repository);

    /// A backend over a `BackendRepository` on a `Network` of `session` (none:
    /// the platform's shared URL session), with a `ContentFactory`: what
    /// start-up makes once.
    static std::shared_ptr<Backend> make(std::shared_ptr<URLSessionProtocol> session = nullptr);

    std::shared_ptr<BackendRepositoryProtocol> repository() const override { return repository_; }
    bool hasGateway() const override;

    ConfigRequestResult requestConfig(const std::string& appID, const Identifiers& identifiers,
                                      const Versions& versions) override;
    BackendIdentifiers requestIdentification(const std::string& appID, std::int64_t attempt,
                                             const Identifiers& identifiers) override;
    /// The request is named in the debug log by its reports' uuids, joined by ", ".
    SendAnalyticsResult sendAnalytics(const std::string& appID, const Identifiers& identifiers,
                                      Reports reports) override;
    MVKVerifyResponse sendVerifyReceipt(const std::string& appID, const Receipt& receipt,
                                        const Identifiers& identifiers) override;
    std::optional<MessagingConfig> requestMessagingConfig(const std::string& appID,
                                                          const MessagingRequestObject& request,
                                                          const Identifiers& identifiers) override;
    std::optional<RemoteConfig> requestABTestConfig(const std::string& appID,
                                                    const Identifiers& identifiers,
                                                    const Versions& versions) override;
    std::optional<InvolvedExperimentsContainer> requestAbTestOffer(
        const std::string& appID, const Identifiers& identifiers,
        const SuitableExperiments& suitableExperiments) override;

  private:
    const std::shared_ptr<BackendRepositoryProtocol> repository_;
};

}  // namespace mvk
