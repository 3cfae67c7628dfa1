#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "abtest/ABTestManagerProtocol.hpp"
#include "backend/BackendProtocol.hpp"
#include "platform/DelayedSchedulerProtocol.hpp"
#include "platform/SerialQueue.hpp"
#include "records/ABTestsExperimentRepositoryProtocol.hpp"
#include "records/InvolvedExperimentsContainer.hpp"
#include "services/ABTestConfigServiceProtocol.hpp"
#include "services/AnalyticsConfigServiceProtocol.hpp"
#include "state/ProjectRepositoryProtocol.hpp"
#include "state/StateManagerProtocol.hpp"

namespace mvk {

/// Asks the gateway for state: the analytics configuration, the user's backend
/// identifiers, the experiment configuration and the group offer. Each request
/// runs on the configuration queue; each answer is handled on the income queue
/// and reaches the logic objects only through the callbacks they install.
///
/// Failures are retried after attempt x 60 seconds, the attempt counting 1 to
/// 10 and then staying there for the life of the service. A 202 to
/// identification is asked again after the gateway's delay, kept between one
/// second and one day. Answers that come while tracking is off are dropped,
/// except the analytics configuration; a dropped offer is handed back at once
/// as unanswered, since its caller waits for every offer request to end.
///
/// Each request kind has at most one retry pending: a later failure or a new
/// request replaces it, so repeated calls while offline do not start parallel
/// retry chains.
///
/// Hold it in a `std::shared_ptr`: every queued or delayed step holds it weakly
/// and does nothing once it is gone or stopped. A request under way holds only
/// its inputs and the gateway, never the service, so a destroyed core does not
/// wait for it. Counters, flags and callbacks belong to the income queue,
/// which is where every caller is.
class ConfigService final : public AnalyticsConfigServiceProtocol,
                            public ABTestConfigServiceProtocol,
                            public std::enable_shared_from_this<ConfigService> {
  public:
    static constexpr std::int64_t maximumAttempt = 10;
    static constexpr std::int64_t attemptTimeoutSeconds = 60;
    static constexpr std::int64_t offerRetrySeconds = 2;
    static constexpr std::int64_t minimumRetryAfterMillis = 1'000;
    static constexpr std::int64_t maximumRetryAfterMillis = 86'400'000;

    /// The queues and the scheduler must outlive the service.
    ConfigService(std::shared_ptr<StateManagerProtocol> stateManager,
                  std::shared_ptr<ABTestManagerProtocol> abTestManager,
                  std::shared_ptr<ProjectRepositoryProtocol> projectRepository,
                  std::shared_ptr<ABTestsExperimentRepositoryProtocol> abTestsExperimentRepository,
                  std::shared_ptr<BackendProtocol> backend, SerialQueue& incomeQueue,
                  SerialQueue& configQueue, std::shared_ptr<DelayedSchedulerProtocol> scheduler);
    /// Over the library's income and configuration queues and delayed scheduler.
    static std::shared_ptr<ConfigService> make(
        std::shared_ptr<StateManagerProtocol> stateManager,
        std::shared_ptr<ABTestManagerProtocol> abTestManager,
        std::shared_ptr<ProjectRepositoryProtocol> projectRepository,
        std::shared_ptr<ABTestsExperimentRepositoryProtocol> abTestsExperimentRepository,
        std::shared_ptr<BackendProtocol> backend);
    ~ConfigService() override;

    ConfigService(const ConfigService&) = delete;
    ConfigService& operator=(const ConfigService&) = delete;

    // AnalyticsConfigServiceProtocol
    SdkConfigUpdate onSdkConfigUpdate() const override { return onSdkConfigUpdate_; }
    void setOnSdkConfigUpdate(SdkConfigUpdate callback) override {
        onSdkConfigUpdate_ = std::move(callback);
    }
    IdentifiersUpdate onIdentifiersUpdate() const override { return onIdentifiersUpdate_; }
    void setOnIdentifiersUpdate(IdentifiersUpdate callback) override {
        onIdentifiersUpdate_ = std::move(callback);
    }
    void receiveAnalyticsConfig() override;
    void receiveUserBackendIds() override;
    void resetUserBackendIds() override {}
    void stop() override;

    // ABTestConfigServiceProtocol
    void receiveABConfig() override;
    void receiveAbBackendOffers(OfferGeneration generation) override;
    ConfigUpdate configUpdate() const override { return configUpdate_; }
    void setConfigUpdate(ConfigUpdate callback) override { configUpdate_ = std::move(callback); }
    OfferUpdate offerUpdate() const override { return offerUpdate_; }
    void setOfferUpdate(OfferUpdate callback) override { offerUpdate_ = std::move(callback); }
    OfferNoConnection offerNoConnection() const override { return offerNoConnection_; }
    void setOfferNoConnection(OfferNoConnection callback) override {
        offerNoConnection_ = std::move(callback);
    }
    OfferUserChanged offerUserChanged() const override { return offerUserChanged_; }
    void setOfferUserChanged(OfferUserChanged callback) override {
        offerUserChanged_ = std::move(callback);
    }
    BackendUserDataUpdate onBackendUserDataUpdate() const override {
        return onBackendUserDataUpdate_;
    }
    void setOnBackendUserDataUpdate(BackendUserDataUpdate callback) override {
        onBackendUserDataUpdate_ = std::move(callback);
    }

  private:
    using Selector = void (ConfigService::*)();

    /// The request kinds that retry on their own; the offer is only handed back.
    enum RetryKind : std::size_t { configurationRetry, identificationRetry, abConfigRetry };
    static constexpr std::size_t retryKinds = 3;

    /// Runs `step` on the income queue if the service still exists and runs then.
    template <class Step>
    void onIncomeQueue(Step step);
    /// `send()` on the configuration queue, then `apply(service, answer)` on
    /// the income queue if the service still exists and runs by then.
    template <class Send, class Apply>
    void sendThenApply(Send send, Apply apply);

    void requestIdentification(std::int64_t attempt, const std::string& applicationKey,
                               const Identifiers& identifiers, std::int64_t userRowId);
    void applyIdentification(const BackendIdentifiers& result, std::int64_t attempt,
                             const std::string& applicationKey, const Identifiers& identifiers,
                             std::int64_t userRowId);
    void scheduleIdentificationRetry(std::int64_t delayMillis, std::int64_t attempt,
                                     const std::string& applicationKey,
                                     const Identifiers& identifiers, std::int64_t userRowId);
    /// Makes `task` the one pending retry of `kind`, cancelling the one before.
    void replacePendingRetry(RetryKind kind, std::shared_ptr<ScheduledWorkProtocol> task);
    void cancelPendingRetries();

    /// On the income queue.
    bool isTrackingAvailable() const;
    void processResultBackendIdentifiers(const SummaryBackendData& summary, std::int64_t userRowId);
    void processResultAnalyticsConfig(const Config& config, bool isDefault);
    void processResultABConfig(const std::optional<RemoteConfig>& config, std::int64_t userRowId);
    void processResultRecivingOffer(const std::optional<InvolvedExperimentsContainer>& offer,
                                    const SuitableExperiments& suitable, OfferGeneration generation,
                                    std::int64_t userRowId);
    /// Hands the offer request `generation` back as unanswered, after the
    /// same short wait every time.
    void handBackUnansweredOffer(OfferGeneration generation);
    void tellOfferUnanswered(OfferGeneration generation);
    /// Calls `retrySelector` on the income queue attempt x `attemptTimeout`
    /// seconds from now, then counts the attempt up to `maximumAttempt`. With
    /// a kind, that retry replaces the kind's pending one.
    void retryAfter(std::optional<RetryKind> kind, std::int64_t& attempt,
                    std::int64_t attemptTimeout, const std::string& message,
                    Selector retrySelector);

    const std::shared_ptr<StateManagerProtocol> stateManager_;
    const std::shared_ptr<ABTestManagerProtocol> abTestManager_;
    // Held for the factory's wiring; no request reads them.
    const std::shared_ptr<ProjectRepositoryProtocol> projectRepository_;
    const std::shared_ptr<ABTestsExperimentRepositoryProtocol> abTestsExperimentRepository_;
    const std::shared_ptr<BackendProtocol> backend_;
    SerialQueue& incomeQueue_;
    SerialQueue& configQueue_;
    const std::shared_ptr<DelayedSchedulerProtocol> scheduler_;
    /// Shared with the queued steps, which read it without holding the service.
    const std::shared_ptr<std::atomic<bool>> stopped_ = std::make_shared<std::atomic<bool>>(false);

    std::int64_t sdkConfigAttempt_ = 1;
    std::int64_t backendIDsAttempt_ = 1;
    std::int64_t remoteConfigAttempt_ = 1;
    /// Written on the income queue, cancelled from the destructor.
    std::mutex retryMutex_;
    std::array<std::shared_ptr<ScheduledWorkProtocol>, retryKinds> pendingRetries_;
    std::atomic<bool> backendIDsRequestInProcess_{false};
    std::atomic<bool> abConfigRequestInProcess_{false};

    SdkConfigUpdate onSdkConfigUpdate_;
    IdentifiersUpdate onIdentifiersUpdate_;
    OfferUserChanged offerUserChanged_;
    ConfigUpdate configUpdate_;
    OfferUpdate offerUpdate_;
    OfferNoConnection offerNoConnection_;
    BackendUserDataUpdate onBackendUserDataUpdate_;
};

}  // namespace mvk
