#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "abtest/ABTestDefaultParamsCache.hpp"
#include "abtest/ABTestInitalData.hpp"
#include "abtest/ABTestProxy.hpp"
#include "analytics/AnalyticsProxy.hpp"
#include "core/AnalyticsObserver.hpp"
#include "core/CoreEnvironment.hpp"
#include "core/CoreFactoryProtocol.hpp"
#include "core/CoreProtocol.hpp"
#include "core/LifeCycleRepositoryProtocol.hpp"
#include "core/ServiceFactoryProtocol.hpp"
#include "core/StateManagerProtocol.hpp"
#include "foundation/CoppaControl.hpp"
#include "messaging/MessagingLogicProxy.hpp"
#include "mvk/MVKRemoteConfigListener.hpp"
#include "people/PeopleLogicProxy.hpp"
#include "purchases/AntiCheatLogic.hpp"

namespace mvk {

class ServiceFactory;

/// The one root object of the library: it holds the proxies through which the
/// public calls reach the logic objects, the settings the host makes before
/// start-up, and builds and takes down the whole object graph.
///
/// Every public call reads `Core::shared()`, which creates the core on first
/// use. The host may call any member from any thread; start-up and shut-down
/// run as blocks on the income queue.
class Core final : public CoreProtocol, public std::enable_shared_from_this<Core> {
  public:
    explicit Core(CoreEnvironment environment = CoreEnvironment::current());
    /// Writes "MVKAnalytics deinit Core module" to standard output.
    ~Core() override;

    Core(const Core&) = delete;
    Core& operator=(const Core&) = delete;

    /// The process's core, created when there is none.
    static std::shared_ptr<Core> shared();
    /// Takes the current core out at once, so the next `shared()` makes a
    /// fresh one, and queues the old core's stop after every call queued
    /// before. A fresh core's start-up is queued after that stop. Returns once
    /// no `CallScope` uses the old core any more.
    static void destroy();

    /// The process's core for the length of one call from a host thread, read
    /// without a lock. Many host threads call at once; a lock or a reference
    /// count they all write would hand a cache line from core to core on every
    /// call, and put a thread to sleep now and then when contended. Instead
    /// each thread counts itself in a counter of its own, which `destroy`
    /// waits on. Keep the scope to queueing a call: nothing in it may call
    /// `destroy`, a host callback or wait.
    class CallScope {
      public:
        CallScope();
        ~CallScope();
        CallScope(const CallScope&) = delete;
        CallScope& operator=(const CallScope&) = delete;

        Core& core() const { return *core_; }

      private:
        std::atomic<std::uint64_t>& readers_;
        Core* core_ = nullptr;
        /// The core when there was none to read and this scope made it.
        std::shared_ptr<Core> made_;
    };

    /// Accepts the first call only; start-up runs on the income queue. While
    /// the application is in the background the income queue is paused
    /// until it becomes active, so nothing queued runs before that.
    void initialize(const std::string& applicationKey,
                    std::optional<MVKAnalyticsConfigurationLocal> configuration,
                    std::shared_ptr<MVKRemoteConfigListener> listener = nullptr) override;

    /// The application became active after `initialize` found it in the
    /// background.
    void onLoadAction();

    AnalyticsProxy& analyticsProxy() { return analyticsProxy_; }
    PeopleLogicProxy& peopleProxy() { return peopleProxy_; }
    /// The factory of the running start-up, or none before it; its services
    /// are the ones the analytics logic holds. Call them on the income queue.
    std::shared_ptr<ServiceFactoryProtocol> serviceFactory() const;
    AntiCheatLogic& antiCheatLogic() { return *antiCheatLogic_; }
    MessagingLogicProxy& messagingProxy() { return messagingProxy_; }
    AnalyticsObserverProtocol& analyticsObserver() { return *analyticsObserver_; }
    ABTestProxyProtocol& abTestProxy() { return abTestProxy_; }
    ABTestDefaultParamsCache& abTestDefaultParamsCache() { return *abTestDefaultParamsCache_; }

    ABTestInitalData abTestInitialData() const;
    void setAbTestInitialData(const ABTestInitalData& data);

    bool isEditorMode() const { return *isEditorMode_; }
    void setEditorMode(bool value) { *isEditorMode_ = value; }
    /// True from the moment an `initialize` was accepted, also when its
    /// start-up failed later: only `destroy` leaves that state.
    bool isInitialized() const { return isInitialized_; }
    /// Process-wide and one-way, so it outlives `destroy`; read once, when
    /// start-up builds the platform layer.
    static bool isCoppaControlEnabled() { return CoppaControl::isEnabled(); }
    static void enableCoppaControl() { CoppaControl::enable(); }

    bool isInitializationFinished() const { return analyticsObserver_->isInitializationFinished(); }

    /// For core tests: builds a stand-in (a failing or recording logic) from
    /// the service factory and the life cycle in place of the analytics logic;
    /// start-up then installs it as it would the logic. An empty function
    /// removes it.
    using AnalyticsLogicMaker = std::function<std::shared_ptr<AnalyticsProtocol>(
        ServiceFactoryProtocol&, const std::shared_ptr<LifeCycleRepositoryProtocol>&)>;
    static void setAnalyticsLogicMakerForTesting(AnalyticsLogicMaker maker);

  private:
    void startInitialize(const std::string& applicationKey,
                         std::optional<MVKAnalyticsConfigurationLocal> configuration,
                         std::shared_ptr<MVKRemoteConfigListener> listener);
    void runStartUp(const std::string& applicationKey,
                    const std::optional<MVKAnalyticsConfigurationLocal>& configuration,
                    const std::shared_ptr<MVKRemoteConfigListener>& listener);
    /// The A/B start, only for a host that gave a listener; its logic is
    /// subscribed to the life cycle before the analytics logic.
    void startABTest(ServiceFactory& serviceFactory,
                     const std::shared_ptr<StateManagerProtocol>& stateManager,
                     const std::shared_ptr<LifeCycleRepositoryProtocol>& lifeCycle,
                     std::shared_ptr<MVKRemoteConfigListener> listener);
    static AnalyticsLogicMaker analyticsLogicMakerForTesting();
    /// Stops the services of the last start-up; work still in flight then
    /// applies nothing.
    void stopServices();
    /// Builds the lower layers; throws when the database cannot be opened.
    std::shared_ptr<CoreFactoryProtocol> initSubModules(const std::string& applicationKey);

    const CoreEnvironment environment_;

    AnalyticsProxy analyticsProxy_;
    PeopleLogicProxy peopleProxy_;
    /// Shared so that its queued blocks can hold it weakly.
    const std::shared_ptr<AntiCheatLogic> antiCheatLogic_;
    MessagingLogicProxy messagingProxy_;
    const std::shared_ptr<AnalyticsObserver> analyticsObserver_;
    ABTestProxy abTestProxy_;
    /// Shared with the services that build a group's configuration.
    const std::shared_ptr<ABTestDefaultParamsCache> abTestDefaultParamsCache_;

    /// The observers waiting for the activation that resumes the income
    /// queue. They hold it, not the core: a core that goes while they wait
    /// must not take the resume with it, or the queue would stay paused.
    struct LoadWait {
        std::mutex mutex;
        std::vector<NotificationCenterProtocol::ObserverId> observers;
    };
    /// Removes the waiting observers and resumes the income queue.
    static void finishLoadWait(NotificationCenterProtocol& center, LoadWait& wait);

    mutable std::mutex mutex_;
    ABTestInitalData abTestInitialData_;
    std::shared_ptr<ServiceFactory> serviceFactory_;
    const std::shared_ptr<LoadWait> loadWait_;

    /// Shared with the state manager, which reads it on the income queue.
    const std::shared_ptr<std::atomic<bool>> isEditorMode_;
    std::atomic<bool> isInitialized_{false};
    /// Set once `destroy` has taken this core out of the singleton.
    std::atomic<bool> isRetired_{false};
};

}  // namespace mvk
