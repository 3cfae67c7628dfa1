#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "backend/BackendIdentifiers.hpp"
#include "backend/BackendRepositoryProtocol.hpp"
#include "backend/ConfigRequestResult.hpp"
#include "backend/SendAnalyticsResult.hpp"
#include "mvk/MVKVerifyResponse.hpp"
#include "records/Identifiers.hpp"
#include "records/InvolvedExperimentsContainer.hpp"
#include "records/MessagingConfig.hpp"
#include "records/MessagingRequestObject.hpp"
#include "records/Receipt.hpp"
#include "records/RemoteConfig.hpp"
#include "records/Reports.hpp"
#include "records/SuitableExperiments.hpp"
#include "records/Versions.hpp"

namespace mvk {

/// The gateway as the services see it: one call per operation, taking the
/// body record and the identity, answering a plain result (see
/// `BackendRepositoryProtocol`). Every call blocks its thread for one request.
class BackendProtocol {
  public:
    virtual ~BackendProtocol() = default;

    /// The repository the calls go through.
    virtual std::shared_ptr<BackendRepositoryProtocol> repository() const = 0;

    /// False while no gateway address is known (a build with the placeholder
    /// address and no test address): no call then makes a request. Callers
    /// ask first and skip their requests, retries and failure lines, since
    /// the start has already said in one line that nothing is sent.
    virtual bool hasGateway() const = 0;

    virtual ConfigRequestResult requestConfig(const std::string& appID,
                                              const Identifiers& identifiers,
                                              const Versions& versions) = 0;
    /// `attempt` counts the identification attempts of the caller.
    virtual BackendIdentifiers requestIdentification(const std::string& appID, std::int64_t attempt,
                                                     const Identifiers& identifiers) = 0;
    /// `reports` by value: a caller that moves them in spares a copy of
    /// their stored text, which may be a megabyte.
    virtual SendAnalyticsResult sendAnalytics(const std::string& appID,
                                              const Identifiers& identifiers, Reports reports) = 0;
    virtual MVKVerifyResponse sendVerifyReceipt(const std::string& appID, const Receipt& receipt,
                                                const Identifiers& identifiers) = 0;
    virtual std::optional<MessagingConfig> requestMessagingConfig(
        const std::string& appID, const MessagingRequestObject& request,
        const Identifiers& identifiers) = 0;
    /// `versions.remoteConfigVersion` carries the held experiment configuration's version.
    virtual std::optional<RemoteConfig> requestABTestConfig(const std::string& appID,
                                                            const Identifiers& identifiers,
                                                            const Versions& versions) = 0;
    /// No answer also when the gateway names an experiment that was not among
    /// `suitableExperiments`.
    virtual std::optional<InvolvedExperimentsContainer> requestAbTestOffer(
        const std::string& appID, const Identifiers& identifiers,
        const SuitableExperiments& suitableExperiments) = 0;
};

}  // namespace mvk
