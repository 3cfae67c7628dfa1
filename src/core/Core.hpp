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
#include "foundation/CoppaControl.hpp"
#include "messaging/MessagingLogicProxy.hpp"
#include "mvk/MVKRemoteConfigListener.hpp"
#include "people/PeopleLogicProxy.hpp"
#include "purchases/AntiCheatLogic.hpp"
#include "services/ServiceFactoryProtocol.hpp"
#include "state/LifeCycleRepositoryProtocol.hpp"
#include "state/StateManagerProtocol.hpp"
#include "storage/DataFolderLock.hpp"

namespace mvk {

class ServiceFactory;

/// The one root object of the library: it holds the settings the host makes
/// before start-up, and builds and takes down the whole object graph.
///
/// The public calls that only queue work (analytics, user card, push, remote
/// configuration) go through entries that outlive every core, so a host
/// thread never reads a core that may be freed under it, and what it queues
/// meets the old core's logic before that core's stop or the next core's
/// after it: the income queue runs blocks in call order, and a core's stop is
/// one of them. Calls that change a core's own state (`initialize`, the
/// listener and callback, editor mode, the A/B start-up settings, receipt
/// checks) go through `withLiveCore`, rare calls that may take a lock. The
/// host may call any member from any thread; start-up and shut-down run as
/// blocks on the income queue.
class Core final : public CoreProtocol, public std::enable_shared_from_this<Core> {
  public:
    explicit Core(CoreEnvironment environment = CoreEnvironment::current());
    /// Writes "MVKAnalytics deinit Core module" to standard output, unless
    /// the core was made for a `shared()` call that another one overtook.
    ~Core() override;

    Core(const Core&) = delete;
    Core& operator=(const Core&) = delete;

    /// The process's core, created when there is none.
    static std::shared_ptr<Core> shared();
    /// Takes the current core out at once, so the next `shared()` makes a
    /// fresh one, and queues the old core's stop after every call queued
    /// before. A fresh core's start-up is queued after that stop. Waits for
    /// no host thread: calls still under way find the entries, and their
    /// blocks land before the stop or after it.
    static void destroy();

    /// Runs `apply` on the current core while no `destroy` can retire it, so
    /// whatever `apply` changes or queues on that core comes before its stop.
    /// What `apply` returns is released by the caller after the lock: a
    /// replaced host closure may run host code when it goes. `apply` must not
    /// log, call the host or wait.
    template <typename Apply>
    static auto withLiveCore(Apply&& apply) {
        for (;;) {
            const auto core = shared();
            lockGivingWay(core->retireMutex_);
            std::lock_guard lock(core->retireMutex_, std::adopt_lock);
            // A core retired between `shared()` and the lock has a successor.
            if (!core->isRetired_) {
                return apply(*core);
            }
        }
    }

    /// Whether the current core has accepted an `initialize`, read without a
    /// lock.
    static bool isCurrentInitialized();

    /// The entries of the queued calls, shared by every core; start-up
    /// installs its logic in them and the core's stop removes it.
    static AnalyticsProxy& analyticsProxy();
    static PeopleLogicProxy& peopleProxy();
    static MessagingLogicProxy& messagingProxy();
    static ABTestProxyProtocol& abTestProxy();

    /// Accepts the first call only; start-up runs on the income queue. While
    /// the application is in the background the income queue is paused
    /// until it becomes active, so nothing queued runs before that. A core
    /// that `destroy` took out starts nothing.
    void initialize(const std::string& applicationKey,
                    std::optional<MVKAnalyticsConfigurationLocal> configuration,
                    std::shared_ptr<MVKRemoteConfigListener> listener = nullptr) override;
    /// `initialize` on the current core. When a `destroy` retires that core
    /// under the call, the call goes to the next core, as if made after it.
    static void initializeCurrent(
        const std::string& applicationKey,
        const std::optional<MVKAnalyticsConfigurationLocal>& configuration,
        const std::shared_ptr<MVKRemoteConfigListener>& listener = nullptr);

    /// The application became active after `initialize` found it in the
    /// background.
    void onLoadAction();

    /// The factory of the running start-up, or none before it; its services
    /// are the ones the analytics logic holds. Call them on the income queue.
    std::shared_ptr<ServiceFactoryProtocol> serviceFactory() const;
    AntiCheatLogic& antiCheatLogic() { return *antiCheatLogic_; }
    AnalyticsObserverProtocol& analyticsObserver() { return *analyticsObserver_; }
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
    /// The same for the user-card and push logics; empty functions remove them.
    using PeopleLogicMaker =
        std::function<std::shared_ptr<PeopleLogicProtocol>(ServiceFactoryProtocol&)>;
    using MessagingLogicMaker =
        std::function<std::shared_ptr<MessagingProtocol>(ServiceFactoryProtocol&)>;
    static void setCardAndPushLogicMakersForTesting(PeopleLogicMaker people,
                                                    MessagingLogicMaker messaging);
    /// For core tests: runs inside `destroy` just before the retiring core's
    /// stop is queued, so a test can throw there as a failed allocation
    /// would. An empty function removes it.
    static void setRetireFaultForTesting(std::function<void()> fault);

  private:
    /// Locks `mutex` for a host thread's call, after the `destroy` calls
    /// begun before this one: host threads calling without pause would
    /// otherwise take the lock again and again before them.
    static void lockGivingWay(std::mutex& mutex);

    enum class Acceptance { accepted, alreadyInitialized, retired };
    /// `initialize` without the line for a retired core.
    Acceptance begin(const std::string& applicationKey,
                     const std::optional<MVKAnalyticsConfigurationLocal>& configuration,
                     const std::shared_ptr<MVKRemoteConfigListener>& listener);
    /// Under the retirement lock: marks the core initialised and queues its
    /// start-up (pausing the income queue first when asked), so a `destroy`
    /// that comes later queues the stop after it.
    Acceptance accept(const std::string& applicationKey,
                      const std::optional<MVKAnalyticsConfigurationLocal>& configuration,
                      const std::shared_ptr<MVKRemoteConfigListener>& listener, bool pauseFirst);
    /// Takes the core out of service under the retirement lock and queues its
    /// stop; the caller holds the singleton's lock, so no next core's
    /// start-up can be queued before that stop.
    void retire();
    /// On the income queue: stops the services and logic of the last
    /// start-up and removes the logic from the entries.
    void stop();
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
    std::shared_ptr<CoreFactoryProtocol> initSubModules(const std::string& applicationKey,
                                                        bool childrensPrivacy);

    const CoreEnvironment environment_;

    /// Shared so that its queued blocks can hold it weakly.
    const std::shared_ptr<AntiCheatLogic> antiCheatLogic_;
    const std::shared_ptr<AnalyticsObserver> analyticsObserver_;
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
    /// Held from a start-up that opened the database until the stop; only
    /// touched on the income queue.
    std::unique_ptr<DataFolderLock> folderLock_;

    /// Shared with the state manager, which reads it on the income queue.
    const std::shared_ptr<std::atomic<bool>> isEditorMode_;
    std::atomic<bool> isInitialized_{false};
    /// Orders an `initialize` or a change of this core against its
    /// retirement; never held while host code runs.
    std::mutex retireMutex_;
    /// Set under `retireMutex_` once `destroy` has queued this core's stop;
    /// its start-up reads it without the lock.
    std::atomic<bool> isRetired_{false};
    /// Made and dropped by `shared()` without ever being the current core.
    bool isQuiet_ = false;
};

}  // namespace mvk
