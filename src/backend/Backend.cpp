#include "backend/Backend.hpp"

#include <algorithm>
#include <string>

#include "backend/BackendConfigUrl.hpp"
#include "backend/BackendRepository.hpp"
#include "backend/ContentFactory.hpp"
#include "backend/Network.hpp"
#include "foundation/Logger.hpp"

namespace mvk {

Backend::Backend(std::shared_ptr<BackendRepositoryProtocol> repository)
    : repository_(std::move(repository)) {}

std::shared_ptr<Backend> Backend::make(std::shared_ptr<URLSessionProtocol> session) {
    auto network =
        session ? std::make_shared<Network>(std::move(session)) : std::make_shared<Network>();
    return std::make_shared<Backend>(std::make_shared<BackendRepository>(
        std::move(network), std::make_shared<ContentFactory>()));
}

bool Backend::hasGateway() const {
    return !BackendConfigUrl::isUnset();
}

ConfigRequestResult Backend::requestConfig(const std::string& appID, const Identifiers& identifiers,
                                           const Versions& versions) {
    return repository_->requestConfig(appID, BackendMessage{versions, identifiers});
}

BackendIdentifiers Backend::requestIdentification(const std::string& appID, std::int64_t attempt,
                                                  const Identifiers& identifiers) {
    return repository_->requestIdentification(appID, BackendMessage{Attempt{attempt}, identifiers});
}

SendAnalyticsResult Backend::sendAnalytics(const std::string& appID, const Identifiers& identifiers,
                                           Reports reports) {
    std::string requestIdentifier;
    for (const auto& report : reports.reports) {
        if (!requestIdentifier.empty()) {
            requestIdentifier += ", ";
        }
        requestIdentifier += report.uuid;
    }
    return repository_->sendAnalytics(appID, BackendMessage{std::move(reports), identifiers},
                                      requestIdentifier);
}

MVKVerifyResponse Backend::sendVerifyReceipt(const std::string& appID, const Receipt& receipt,
                                             const Identifiers& identifiers) {
    return repository_->sendVerifyReceipt(appID, BackendMessage{receipt, identifiers});
}

std::optional<MessagingConfig> Backend::requestMessagingConfig(
    const std::string& appID, const MessagingRequestObject& request,
    const Identifiers& identifiers) {
    return repository_->requestMessagingConfig(appID, BackendMessage{request, identifiers});
}

std::optional<RemoteConfig> Backend::requestABTestConfig(const std::string& appID,
                                                         const Identifiers& identifiers,
                                                         const Versions& versions) {
    return repository_->requestABTestConfig(appID, BackendMessage{versions, identifiers});
}

std::optional<InvolvedExperimentsContainer> Backend::requestAbTestOffer(
    const std::string& appID, const Identifiers& identifiers,
    const SuitableExperiments& suitableExperiments) {
    auto offer =
        repository_->requestAbTestOffer(appID, BackendMessage{suitableExperiments, identifiers});
    if (!offer) {
        return offer;
    }
    // An experiment the user was not found suitable for would be run anyway, and its id copied
    // into every event sent afterwards: the answer is refused as a malformed one would be.
    const auto& asked = suitableExperiments.suitableExperiments;
    for (const auto& involved : offer->involvedExperiments) {
        if (std::find(asked.begin(), asked.end(), involved.id) == asked.end()) {
            Logger::writeLog(MVKLogLevel::error,
                             "[Backend Module] Can't create A/B-Test offer request. Error: the "
                             "answer names experiment " +
                                 std::to_string(involved.id) + ", which was not asked for");
            return std::nullopt;
        }
    }
    return offer;
}

}  // namespace mvk
