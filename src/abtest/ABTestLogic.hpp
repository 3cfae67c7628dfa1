#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "abtest/ABTestLogicProtocol.hpp"
#include "mvk/MVKLogLevel.hpp"
#include "mvk/MVKRemoteConfigListener.hpp"
#include "platform/SerialQueue.hpp"
#include "services/ABTestConfigServiceProtocol.hpp"
#include "services/EventControllerProtocol.hpp"
#include "services/InvolvedExperimentsServiceProtocol.hpp"
#include "services/PeopleServiceProtocol.hpp"
#include "services/RemoteConfigServiceProtocol.hpp"
#include "services/ReportServiceProtocol.hpp"
#include "services/SuitableExperimentsServiceProtocol.hpp"
#include "services/TaskServiceProtocol.hpp"
#include "services/UserConfigServiceProtocol.hpp"
#include "state/LifeCycleProtocol.hpp"
#include "state/LifeCycleRepositoryProtocol.hpp"
#include "state/ProjectServiceProtocol.hpp"
#include "state/StateManagerProtocol.hpp"
#include "state/UserServiceProtocol.hpp"

namespace mvk {

/// The A/B state machine: keeps the experiments current, watches events and
/// the user's audience for an experiment that fits, holds report sending while
/// it asks the gateway for a group, prepares the group's configuration and
/// tells the host at each step. Everything but `getConfig` runs on the income
/// queue; every callback it installs holds it weakly.
class ABTestLogic final : public ABTestLogicProtocol,
                          public LifeCycleProtocol,
                          public std::enable_shared_from_this<ABTestLogic> {
  public:
    struct Services {
        std::shared_ptr<StateManagerProtocol> stateManager;
        std::shared_ptr<ABTestConfigServiceProtocol> abTestConfigService;
        std::shared_ptr<RemoteConfigServiceProtocol> remoteConfigService;
        std::shared_ptr<InvolvedExperimentsServiceProtocol> involvedExpService;
        std::shared_ptr<SuitableExperimentsServiceProtocol> suitableExpService;
        std::shared_ptr<UserConfigServiceProtocol> userConfigService;
        std::shared_ptr<TaskServiceProtocol> taskService;
        std::shared_ptr<UserServiceProtocol> userService;
        std::shared_ptr<ProjectServiceProtocol> projectService;
        std::shared_ptr<PeopleServiceProtocol> peopleService;
        std::shared_ptr<ReportServiceProtocol> reportService;
    };

    /// Subscribes the logic to `lifeCycle`; the life-cycle blocks go to
    /// `incomeQueue`.
    static std::shared_ptr<ABTestLogic> make(
        Services services, std::shared_ptr<EventControllerProtocol> eventController,
        const std::shared_ptr<LifeCycleRepositoryProtocol>& lifeCycle, SerialQueue& incomeQueue);

    void prepareInitialState(std::shared_ptr<MVKRemoteConfigListener> listener) override;
    void startABTestLogic() override;
    void tryStartInvolvedExperiment() override;
    MVKRemoteConfigParameters getConfig() override;
    void resetConfig() override;

    void goActive() override;
    void goInactive() override {}
    void goBackground() override;
    void goTerminate() override {}

    /// Start-up's steps, also run by `prepareInitialState`.
    void setRemoteConfigListener(std::shared_ptr<MVKRemoteConfigListener> listener);
    void prepareBackendCallBacks();
    void offerCallBacks();
    void servicesCallBacks();

  private:
    ABTestLogic(Services services, std::shared_ptr<EventControllerProtocol> eventController,
                SerialQueue& incomeQueue);

    void configActualization();
    void configReceivedNotification();
    void onConfigUpdate(const RemoteConfig& config);
    void onBackendUserData(UserData userData);
    using OfferGeneration = ABTestConfigServiceProtocol::OfferGeneration;

    void onOfferUpdate(OfferGeneration generation, const std::vector<InvolvedExperiment>& involved,
                       const SuitableExperiments& suitable);
    void onOfferNoConnection(OfferGeneration generation);
    void onOfferUserChanged(OfferGeneration generation, const MVKError& error);
    /// A new pending offer, asked for at once or when the request on its way
    /// is over.
    void beginOffer();
    /// Asks for the pending offer; with tracking off it ends it instead, as
    /// its expiry would.
    void requestOffer();
    /// Every later result of the pending offer's requests is stale.
    void endOffer();
    /// The request on its way is over. True when it belongs to the pending
    /// offer; a stale result changes nothing but lets a waiting request go.
    bool settleOfferRequest(OfferGeneration generation);
    void onOfferExpired();
    void onActivationExpired();
    void tryActivateExperiment(const ExperimentMarker& marker);
    void tryIntersectionParameters(const ExperimentMarker& marker);
    void changeUser(const std::shared_ptr<User>& previousUser);
    void restartSearchExperiment();
    bool isTrackingOn();
    void searchSuitableExperiment(const EventObject* event);
    void updateAudienceState(const std::optional<UserData>& userData);
    void refusedLate(const std::vector<std::int64_t>& ids, MVKLogLevel refusedLineLevel);

    std::optional<ExperimentMarker> involvedMarker();
    bool hasStoredInvolvement();
    void clearInvolvement();
    void installEventListener();
    void removeEventListener();
    void startReportSending();
    void stopReportSending();
    void removeCheckMarks();

    void notifyReceived(MVKRemoteConfigReceiveResult result);
    void notifyPrepare();
    void notifyChanged(MVKRemoteConfigChangeResult result, std::optional<std::string> error);

    /// Runs `work` on the logic when it still exists.
    template <class Work>
    auto weakly(Work work);

    const Services services_;
    const std::shared_ptr<EventControllerProtocol> eventController_;
    SerialQueue& incomeQueue_;
    std::shared_ptr<MVKRemoteConfigListener> remoteConfigListener_;
    bool isApplicationForeground_ = true;
    bool isABLogicStopped_ = false;
    /// The pending offer's generation, none while no offer is pending. A
    /// result of any other generation belongs to an offer given up (expired,
    /// reset, another user's) and is stale.
    std::optional<OfferGeneration> pendingOffer_;
    OfferGeneration lastOfferGeneration_ = 0;
    /// At most one offer request is on its way: a stalling gateway must not
    /// gather a backlog on the configuration queue, where the next user's
    /// experiments request would wait behind it.
    bool offerInFlight_ = false;
    bool offerRequestWaiting_ = false;
};

}  // namespace mvk
