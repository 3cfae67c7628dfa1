#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "records/InvolvedExperiment.hpp"
#include "records/RemoteConfig.hpp"
#include "records/SuitableExperiments.hpp"
#include "records/UserData.hpp"
#include "foundation/MVKError.hpp"

namespace mvk {

/// The configuration service as the A/B side sees it: the experiment
/// configuration, the group offer, and the user data of an identification.
/// Requests go out on the configuration queue; the callbacks run on the
/// income queue.
class ABTestConfigServiceProtocol {
  public:
    /// Names one offer request: every result of it carries it back, so that a
    /// result of a request the caller has given up can be told apart.
    using OfferGeneration = std::uint64_t;
    using ConfigUpdate = std::function<void(const RemoteConfig& config)>;
    using OfferUpdate = std::function<void(OfferGeneration generation,
                                           const std::vector<InvolvedExperiment>& involved,
                                           const SuitableExperiments& suitable)>;
    using OfferNoConnection = std::function<void(OfferGeneration generation)>;
    using OfferUserChanged = std::function<void(OfferGeneration generation, const MVKError& error)>;
    using BackendUserDataUpdate = std::function<void(const UserData& userData)>;

    virtual ~ABTestConfigServiceProtocol() = default;

    /// At most one request at a time; retried until the gateway answers.
    virtual void receiveABConfig() = 0;
    /// Asks for a group among the A/B manager's suitable experiments. Every
    /// request ends in exactly one result with its `generation`, unless the
    /// service is stopped: `offerUpdate`, `offerUserChanged`, or
    /// `offerNoConnection` two seconds after a failure or an answer dropped
    /// because tracking is off. A failure is not retried here.
    virtual void receiveAbBackendOffers(OfferGeneration generation) = 0;
    /// Ends the service for good, as the core's destroy does: pending retries
    /// are cancelled, no request starts, and an answer still on its way is
    /// dropped when it arrives. Called on the income queue.
    virtual void stop() = 0;

    virtual ConfigUpdate configUpdate() const = 0;
    virtual void setConfigUpdate(ConfigUpdate callback) = 0;
    virtual OfferUpdate offerUpdate() const = 0;
    virtual void setOfferUpdate(OfferUpdate callback) = 0;
    virtual OfferNoConnection offerNoConnection() const = 0;
    virtual void setOfferNoConnection(OfferNoConnection callback) = 0;
    virtual OfferUserChanged offerUserChanged() const = 0;
    virtual void setOfferUserChanged(OfferUserChanged callback) = 0;
    virtual BackendUserDataUpdate onBackendUserDataUpdate() const = 0;
    virtual void setOnBackendUserDataUpdate(BackendUserDataUpdate callback) = 0;
};

}  // namespace mvk
