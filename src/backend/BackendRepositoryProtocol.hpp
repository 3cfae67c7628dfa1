#pragma once

#include <optional>
#include <string>

#include "backend/BackendIdentifiers.hpp"
#include "backend/BackendMessage.hpp"
#include "backend/ConfigRequestResult.hpp"
#include "backend/SendAnalyticsResult.hpp"
#include "mvk/MVKVerifyResponse.hpp"
#include "records/InvolvedExperimentsContainer.hpp"
#include "records/MessagingConfig.hpp"
#include "records/RemoteConfig.hpp"

namespace mvk {

/// The gateway's seven operations. Each sends exactly one POST with the
/// message's body and identity headers under the application key, blocks the
/// calling thread until the answer is in, and turns every outcome (transport
/// failures included) into a plain result: none of them throws.
class BackendRepositoryProtocol {
  public:
    virtual ~BackendRepositoryProtocol() = default;

    /// The gateway's configuration, or the default one flagged `isDefault`.
    virtual ConfigRequestResult requestConfig(const std::string& appId,
                                              const BackendMessage& message) = 0;
    virtual BackendIdentifiers requestIdentification(const std::string& appId,
                                                     const BackendMessage& message) = 0;
    /// `requestIdentifier` names the request in the debug log only.
    virtual SendAnalyticsResult sendAnalytics(
        const std::string& appId, const BackendMessage& message,
        const std::optional<std::string>& requestIdentifier) = 0;
    virtual MVKVerifyResponse sendVerifyReceipt(const std::string& appId,
                                                const BackendMessage& message) = 0;
    virtual std::optional<MessagingConfig> requestMessagingConfig(
        const std::string& appId, const BackendMessage& message) = 0;
    virtual std::optional<RemoteConfig> requestABTestConfig(const std::string& appId,
                                                            const BackendMessage& message) = 0;
    virtual std::optional<InvolvedExperimentsContainer> requestAbTestOffer(
        const std::string& appId, const BackendMessage& message) = 0;
};

}  // namespace mvk
