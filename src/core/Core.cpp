#include "core/Core.hpp"

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

#include "abtest/ABTestLogic.hpp"
#include "abtest/ABTestManager.hpp"
#include "abtest/EventController.hpp"
#include "abtest/RemoteConfigStore.hpp"
#include "analytics/AnalyticsLogic.hpp"
#include "analytics/ValidatorRules.hpp"
#include "backend/Backend.hpp"
#include "backend/BackendConfigUrl.hpp"
#include "core/CoreFactory.hpp"
#include "core/ServiceFactory.hpp"
#include "device/Platform.hpp"
#include "device/PlatformStorage.hpp"
#include "foundation/BriefLock.hpp"
#include "foundation/Logger.hpp"
#include "messaging/MessagingLogic.hpp"
#include "people/PeopleLogic.hpp"
#include "platform/ApplicationNotification.hpp"
#include "platform/BacklogBound.hpp"
#include "platform/GuardedCall.hpp"
#include "platform/QueueManager.hpp"
#include "platform/StdoutLine.hpp"
#include "state/ApplicationLifeCycle.hpp"
#include "state/CoreManager.hpp"
#include "state/DeviceManager.hpp"
#include "state/LifeCycleRepository.hpp"
#include "state/MigrationRepositories.hpp"
#include "state/NotInitializedLine.hpp"
#include "state/SDKMigrationManager.hpp"
#include "state/StateManager.hpp"
#include "storage/SQLiteError.hpp"
#include "storage/SQLiteProvider.hpp"

namespace mvk {

namespace {

constexpr std::string_view initializeErrorHead = "In the Initialize method an error has occurred:";

/// The file start-up opens, named in the lines that say why it failed.
std::string databasePlace() {
    const auto folder = SQLiteProvider::folderPath();
    return folder ? (*folder / SQLiteProvider::fileName).string() : "(no data folder)";
}

/// "Can't init submodules" alone reads the same for a read-only folder, a
/// file where the folder should be and a damaged database.
void logStartFailureReason(const std::exception& error) {
    const auto* sqlite = dynamic_cast<const SQLiteError*>(&error);
    const std::string reason = sqlite != nullptr && sqlite->reason()
                                   ? sqlite->description() + ": " + *sqlite->reason()
                                   : std::string(error.what());
    Logger::writeLog(MVKLogLevel::error, std::string(initializeErrorHead) + " The database at " +
                                             databasePlace() + " can't be used: " + reason);
}

struct SharedCore {
    std::mutex mutex;
    std::shared_ptr<Core> core;
    /// `destroy` calls begun and ended. A host thread that wants a lock
    /// `destroy` takes lets the ones begun before it go first; host threads
    /// calling without pause would otherwise take the lock again and again
    /// before them. Ones begun later do not hold it up, so a loop of
    /// `destroy` cannot hold a host thread up for good either.
    std::atomic<std::uint64_t> destroysBegun{0};
    std::atomic<std::uint64_t> destroysEnded{0};
    /// Host threads that give way sleep here until the destroys end.
    std::mutex destroysMutex;
    std::condition_variable destroysChanged;
    /// The current core has accepted an `initialize`; written under its
    /// retirement lock, read by host threads without a lock.
    std::atomic<bool> initialized{false};
};

// Leaked on purpose: host threads may read the core while the process exits.
SharedCore& sharedCore() {
    static auto* value = new SharedCore();
    return *value;
}

/// The entries of the queued calls. They outlive every core (and are leaked
/// on purpose, like the queues they feed), so a host thread reaches them
/// without reading a core that a `destroy` may be freeing.
struct CallEntries {
    CallEntries() {
        analytics.outliveQueuedBlocks();
        people.outliveQueuedBlocks();
        messaging.outliveQueuedBlocks();
        abTest.outliveQueuedBlocks();
    }

    AnalyticsProxy analytics;
    PeopleLogicProxy people;
    MessagingLogicProxy messaging;
    ABTestProxy abTest;
};

CallEntries& callEntries() {
    static auto* value = new CallEntries();
    return *value;
}

struct LogicMakerSlot {
    std::mutex mutex;
    Core::AnalyticsLogicMaker maker;
    Core::PeopleLogicMaker people;
    Core::MessagingLogicMaker messaging;
};

LogicMakerSlot& logicMakerSlot() {
    static auto* value = new LogicMakerSlot();
    return *value;
}

SerialQueue& incomeQueue() {
    return QueueManager::incomeQueue().queue();
}

/// Counts one `destroy` as begun for its whole life, and as ended however it
/// leaves: an allocation that throws inside would otherwise keep every host
/// thread that gives way to it asleep for good.
class DestroyUnderWay {
  public:
    explicit DestroyUnderWay(SharedCore& shared) : shared_(shared) {
        shared_.destroysBegun.fetch_add(1, std::memory_order_acq_rel);
    }
    ~DestroyUnderWay() {
        {
            // Under the mutex, so a host thread between its check and its
            // sleep cannot miss the wake-up.
            std::lock_guard lock(shared_.destroysMutex);
            shared_.destroysEnded.fetch_add(1, std::memory_order_release);
        }
        shared_.destroysChanged.notify_all();
    }
    DestroyUnderWay(const DestroyUnderWay&) = delete;
    DestroyUnderWay& operator=(const DestroyUnderWay&) = delete;

  private:
    SharedCore& shared_;
};

struct RetireFaultSlot {
    std::mutex mutex;
    std::function<void()> fault;
};

RetireFaultSlot& retireFaultSlot() {
    static auto* value = new RetireFaultSlot();
    return *value;
}

}  // namespace

Core::Core(CoreEnvironment environment)
    : environment_(std::move(environment)),
      antiCheatLogic_(
          std::make_shared<AntiCheatLogic>(incomeQueue(), QueueManager::anticheatQueue().queue())),
      analyticsObserver_(std::make_shared<AnalyticsObserver>(environment_.mainLoop, incomeQueue())),
      abTestDefaultParamsCache_(std::make_shared<ABTestDefaultParamsCache>()),
      loadWait_(std::make_shared<LoadWait>()),
      isEditorMode_(std::make_shared<std::atomic<bool>>(false)) {
    // Every host call goes through the income queue: a game that quits right
    // after its last calls (or after `destroySDK`) still has them stored.
    incomeQueue().runQueuedBlocksAtExit();
    // The host set its defaults once, maybe before a `destroy`; a new core
    // that started empty would fail every group for want of defaults.
    RemoteConfigStore::shared().seed(*abTestDefaultParamsCache_);
}

Core::~Core() {
    // Observers still waiting for the activation stay: they resume the queue.
    // The host's thread may hold the last reference, so the write must not
    // raise SIGPIPE there either.
    if (!isQuiet_) {
        StdoutLine::write("MVKAnalytics deinit Core module");
    }
}

void Core::lockGivingWay(std::mutex& mutex) {
    auto& shared = sharedCore();
    const auto ahead = shared.destroysBegun.load(std::memory_order_acquire);
    if (shared.destroysEnded.load(std::memory_order_acquire) < ahead) {
        // Asleep, not spinning: a game may run more threads than processors,
        // and spinning ones would take the processor from the destroying one.
        std::unique_lock lock(shared.destroysMutex);
        shared.destroysChanged.wait(
            lock, [&] { return shared.destroysEnded.load(std::memory_order_acquire) >= ahead; });
    }
    BriefLock<std::mutex>::acquire(mutex);
}

std::shared_ptr<Core> Core::shared() {
    auto& shared = sharedCore();
    std::shared_ptr<Core> made;
    for (;;) {
        std::shared_ptr<Core> current;
        {
            lockGivingWay(shared.mutex);
            std::lock_guard lock(shared.mutex, std::adopt_lock);
            if (!shared.core && made) {
                shared.core = std::move(made);
            }
            current = shared.core;
        }
        if (current) {
            // Another caller's core came first: this one was never in use.
            if (made) {
                made->isQuiet_ = true;
            }
            return current;
        }
        // Made outside the lock: a host thread held up while making it would
        // hold up every other caller and `destroy`.
        made = std::make_shared<Core>();
    }
}

void Core::destroy() {
    auto& shared = sharedCore();
    // Released after the lock: the last reference may go here, with the host
    // closures the core still holds.
    std::shared_ptr<Core> core;
    {
        const DestroyUnderWay underWay(shared);
        BriefLock lock(shared.mutex);
        // Stopping a core that was never made still empties the validator caches.
        core = shared.core ? shared.core : std::make_shared<Core>();
        // Taken out only once its stop is queued: a destroy that fails leaves
        // the core running, and the next destroy stops it.
        core->retire();
        shared.core.reset();
    }
    // Calls refused within the last second are not left untold by a host
    // that destroys the library and makes no further call; outside the lock,
    // as the line may reach the host's log closure.
    BacklogBound::incomeQueue().tellRefused();
}

void Core::retire() {
    std::function<void()> fault;
    {
        auto& slot = retireFaultSlot();
        std::lock_guard lock(slot.mutex);
        fault = slot.fault;
    }
    std::lock_guard lock(retireMutex_);
    if (fault) {
        fault();
    }
    // Marked retired only after the stop is queued: a retired core that
    // never stops would stay current, and every call that needs a live core
    // would look for its successor for good.
    incomeQueue().addOperation([core = shared_from_this()]() mutable {
        core->stop();
        // The whole graph goes here, once its stop ran, unless a host thread
        // still holds the core.
        core.reset();
    });
    isRetired_ = true;
    sharedCore().initialized.store(false);
}

void Core::setRetireFaultForTesting(std::function<void()> fault) {
    auto& slot = retireFaultSlot();
    std::lock_guard lock(slot.mutex);
    std::swap(slot.fault, fault);
}

void Core::stop() {
    // A logic that fails while stopping must still let the core go.
    callGuarded("Stopping the SDK", [&] {
        stopServices();
        analyticsProxy().stopSDK();
    });
    // Calls queued from here on meet the next core's logic, or none.
    callGuarded("Stopping the SDK", [] {
        auto& entries = callEntries();
        entries.analytics.installLogic(nullptr);
        entries.people.installLogic(nullptr);
        entries.messaging.installLogic(nullptr);
        entries.abTest.installLogic(nullptr);
    });
    // Here rather than with the last reference, which a host thread may hold
    // for a while: `destroySDK` then `initialize` queues the next start-up
    // right behind this stop.
    folderLock_.reset();
    // The calls queued ahead of this stop and dropped for want of a logic
    // are told with it, and the next core's dropped calls name themselves again.
    NotInitializedLine::shared().tellNow();
}

bool Core::isCurrentInitialized() {
    return sharedCore().initialized.load();
}

AnalyticsProxy& Core::analyticsProxy() {
    return callEntries().analytics;
}

PeopleLogicProxy& Core::peopleProxy() {
    return callEntries().people;
}

MessagingLogicProxy& Core::messagingProxy() {
    return callEntries().messaging;
}

ABTestProxyProtocol& Core::abTestProxy() {
    return callEntries().abTest;
}

void Core::setAnalyticsLogicMakerForTesting(AnalyticsLogicMaker maker) {
    auto& slot = logicMakerSlot();
    std::lock_guard lock(slot.mutex);
    std::swap(slot.maker, maker);
}

void Core::setCardAndPushLogicMakersForTesting(PeopleLogicMaker people,
                                               MessagingLogicMaker messaging) {
    auto& slot = logicMakerSlot();
    std::lock_guard lock(slot.mutex);
    std::swap(slot.people, people);
    std::swap(slot.messaging, messaging);
}

Core::AnalyticsLogicMaker Core::analyticsLogicMakerForTesting() {
    auto& slot = logicMakerSlot();
    std::lock_guard lock(slot.mutex);
    return slot.maker;
}

std::shared_ptr<ServiceFactoryProtocol> Core::serviceFactory() const {
    std::lock_guard lock(mutex_);
    return serviceFactory_;
}

void Core::stopServices() {
    std::shared_ptr<ServiceFactory> factory;
    {
        std::lock_guard lock(mutex_);
        factory = serviceFactory_;
    }
    if (factory) {
        factory->stopServices();
    }
}

ABTestInitalData Core::abTestInitialData() const {
    std::lock_guard lock(mutex_);
    return abTestInitialData_;
}

void Core::setAbTestInitialData(const ABTestInitalData& data) {
    std::lock_guard lock(mutex_);
    abTestInitialData_ = data;
}

void Core::initialize(const std::string& applicationKey,
                      std::optional<MVKAnalyticsConfigurationLocal> configuration,
                      std::shared_ptr<MVKRemoteConfigListener> listener) {
    // A host thread may still hold a core that `destroy` took out: nothing
    // would ever stop what its start-up builds.
    if (begin(applicationKey, configuration, listener) == Acceptance::retired) {
        Logger::writeLog(MVKLogLevel::error,
                         std::string(initializeErrorHead) + " SDK has been destroyed");
    }
}

void Core::initializeCurrent(const std::string& applicationKey,
                             const std::optional<MVKAnalyticsConfigurationLocal>& configuration,
                             const std::shared_ptr<MVKRemoteConfigListener>& listener) {
    while (shared()->begin(applicationKey, configuration, listener) == Acceptance::retired) {
    }
}

Core::Acceptance Core::begin(const std::string& applicationKey,
                             const std::optional<MVKAnalyticsConfigurationLocal>& configuration,
                             const std::shared_ptr<MVKRemoteConfigListener>& listener) {
    const auto& application = environment_.application;
    const bool background = application->applicationState() == ApplicationState::background;
    const auto acceptance = accept(applicationKey, configuration, listener, background);
    if (acceptance == Acceptance::alreadyInitialized) {
        Logger::writeLog(MVKLogLevel::error,
                         std::string(initializeErrorHead) + " SDK is already initialized");
    }
    if (acceptance != Acceptance::accepted || !background) {
        return acceptance;
    }
    const auto observer = environment_.notificationCenter->addObserver(
        ApplicationNotification::didBecomeActive,
        [center = std::weak_ptr<NotificationCenterProtocol>(environment_.notificationCenter),
         wait = loadWait_] {
            if (auto alive = center.lock()) {
                finishLoadWait(*alive, *wait);
            }
        });
    {
        std::lock_guard lock(loadWait_->mutex);
        loadWait_->observers.push_back(observer);
    }
    // The application may have become active after its state was read and
    // before the observer was in place; waiting for the next activation
    // could then keep the income queue paused for good.
    if (application->applicationState() != ApplicationState::background) {
        onLoadAction();
    }
    return acceptance;
}

Core::Acceptance Core::accept(const std::string& applicationKey,
                              const std::optional<MVKAnalyticsConfigurationLocal>& configuration,
                              const std::shared_ptr<MVKRemoteConfigListener>& listener,
                              bool pauseFirst) {
    lockGivingWay(retireMutex_);
    std::lock_guard lock(retireMutex_, std::adopt_lock);
    if (isRetired_) {
        return Acceptance::retired;
    }
    if (isInitialized_.exchange(true)) {
        return Acceptance::alreadyInitialized;
    }
    sharedCore().initialized.store(true);
    if (pauseFirst) {
        incomeQueue().pause();
    }
    incomeQueue().addOperation([weak = weak_from_this(), applicationKey, configuration, listener] {
        if (auto core = weak.lock()) {
            core->runStartUp(applicationKey, configuration, listener);
        }
    });
    return Acceptance::accepted;
}

void Core::onLoadAction() {
    finishLoadWait(*environment_.notificationCenter, *loadWait_);
}

void Core::finishLoadWait(NotificationCenterProtocol& center, LoadWait& wait) {
    std::vector<NotificationCenterProtocol::ObserverId> observers;
    {
        std::lock_guard lock(wait.mutex);
        observers.swap(wait.observers);
    }
    for (const auto observer : observers) {
        center.removeObserver(observer);
    }
    incomeQueue().resume();
}

void Core::runStartUp(const std::string& applicationKey,
                      const std::optional<MVKAnalyticsConfigurationLocal>& configuration,
                      const std::shared_ptr<MVKRemoteConfigListener>& listener) {
    // A core retired before its turn would build, store and send a whole
    // start for a host that already took it back, and its stop right behind
    // would tear it all down again.
    if (isRetired_) {
        return;
    }
    if (configuration && configuration->logLevel != MVKLogLevel::unknown) {
        Logger::setLogLevel(configuration->logLevel);
    }
    const auto key = ValidatorRules::validateInitializeKey(applicationKey);
    if (!key) {
        return;
    }
    const auto validConfiguration = ValidatorRules::validateInitialize(configuration);
    if (BackendConfigUrl::isUnset()) {
        // The core still starts and stores; its reports wait for a build
        // with a gateway.
        Logger::writeLog(MVKLogLevel::error,
                         "[Backend] No gateway address is set: this library was built with the "
                         "placeholder " +
                             BackendConfigUrl::defaultGatewayUrl() +
                             ", so nothing is sent. Build it with "
                             "-DMVK_DEFAULT_GATEWAY_URL=https://<your gateway>, or call "
                             "MVKAnalytics::setTestProxyUrl before initialize.");
    }

    // Read once, so the platform layer and the state agree on it.
    const bool childrensPrivacy = isCoppaControlEnabled();
    std::shared_ptr<CoreFactoryProtocol> factory;
    try {
        factory = initSubModules(*key, childrensPrivacy);
    } catch (const std::exception& error) {
        Logger::writeLog(MVKLogLevel::error,
                         std::string(initializeErrorHead) + " Can't init submodules");
        logStartFailureReason(error);
        return;
    } catch (...) {
        Logger::writeLog(MVKLogLevel::error,
                         std::string(initializeErrorHead) + " Can't init submodules");
        return;
    }

    auto deviceManager = std::make_shared<DeviceManager>(
        factory->identifiersRepository(), factory->toolsRepository(), factory->platform());
    auto coreManager = std::make_shared<CoreManager>(*key, factory->projectRepository(),
                                                     factory->userRepository());
    auto migrationManager = std::make_shared<SDKMigrationManager>(
        MigrationRepositories{factory->database(), factory->projectRepository(),
                              factory->userRepository(), factory->peopleRepository(),
                              factory->realPaymentRepository(), factory->tutorialRepository()},
        *key);
    auto stateManager = StateManager::make(
        std::move(deviceManager), std::move(coreManager), std::move(migrationManager),
        validConfiguration ? validConfiguration->userId : std::nullopt,
        [flag = isEditorMode_] { return flag->load(); }, childrensPrivacy);
    if (!stateManager) {
        // Running on a project or user row that was never stored would lose
        // every event recorded from here on. A failed start keeps no folder
        // from another process.
        folderLock_.reset();
        Logger::writeLog(MVKLogLevel::error,
                         std::string(initializeErrorHead) + " Can't init submodules");
        Logger::writeLog(MVKLogLevel::error,
                         std::string(initializeErrorHead) + " The project and user rows in " +
                             databasePlace() +
                             " can't be read or stored; the database lines above say why");
        return;
    }

    // Built whether or not the A/B feature is on: the event storage and the
    // report service always go through it.
    auto eventController = std::make_shared<EventController>();
    auto serviceFactory = std::make_shared<ServiceFactory>(
        factory, stateManager, std::make_shared<ABTestManager>(), std::move(eventController),
        abTestInitialData(), abTestDefaultParamsCache_,
        ServiceFactory::Scheduling{environment_.mainLoop, environment_.delayedScheduler});

    {
        std::lock_guard lock(mutex_);
        serviceFactory_ = serviceFactory;
    }

    if (listener) {
        startABTest(*serviceFactory, stateManager, factory->lifeCycle(), listener);
    }

    std::shared_ptr<AnalyticsProtocol> logic;
    if (const auto maker = analyticsLogicMakerForTesting()) {
        logic = maker(*serviceFactory, factory->lifeCycle());
    } else {
        auto analyticsLogic = AnalyticsLogic::make(*serviceFactory, stateManager,
                                                   factory->lifeCycle(), incomeQueue());
        // Host threads read the limit from the entry, for every parameter they add.
        analyticsLogic->setOnParamsCountChange(
            [] { analyticsProxy().refreshCustomEventParamsCount(); });
        analyticsLogic->prepareCallBacks();
        analyticsLogic->applyAnalyticsConfiguration(validConfiguration);
        analyticsLogic->tryStartSDK();
        logic = std::move(analyticsLogic);
    }
    if (logic) {
        analyticsProxy().installLogic(logic);
        if (auto broadcaster = std::dynamic_pointer_cast<LogicBroadcasterProtocol>(logic)) {
            analyticsObserver_->addLogicBroadcaster(broadcaster);
        }
    }

    PeopleLogicMaker peopleMaker;
    MessagingLogicMaker messagingMaker;
    {
        auto& makers = logicMakerSlot();
        std::lock_guard lock(makers.mutex);
        peopleMaker = makers.people;
        messagingMaker = makers.messaging;
    }
    auto& entries = callEntries();
    // After the analytics logic, which listens to the card for its full-card event.
    entries.people.installLogic(peopleMaker ? peopleMaker(*serviceFactory)
                                            : std::make_shared<PeopleLogic>(*serviceFactory));

    // Receipt verification and push messaging.
    antiCheatLogic_->setAntiCheatService(serviceFactory->antiCheatService());
    entries.messaging.installLogic(messagingMaker
                                       ? messagingMaker(*serviceFactory)
                                       : std::make_shared<MessagingLogic>(*serviceFactory));

    analyticsObserver_->finishInitialization();
}

void Core::startABTest(ServiceFactory& serviceFactory,
                       const std::shared_ptr<StateManagerProtocol>& stateManager,
                       const std::shared_ptr<LifeCycleRepositoryProtocol>& lifeCycle,
                       std::shared_ptr<MVKRemoteConfigListener> listener) {
    auto logic = ABTestLogic::make(
        ABTestLogic::Services{.stateManager = stateManager,
                              .abTestConfigService = serviceFactory.abTestConfigService(),
                              .remoteConfigService = serviceFactory.remoteConfigService(),
                              .involvedExpService = serviceFactory.involvedExpService(),
                              .suitableExpService = serviceFactory.suitableExpService(),
                              .userConfigService = serviceFactory.userConfigService(),
                              .taskService = serviceFactory.taskService(),
                              .userService = serviceFactory.userService(),
                              .projectService = serviceFactory.projectService(),
                              .peopleService = serviceFactory.peopleService(),
                              .reportService = serviceFactory.reportService()},
        serviceFactory.eventController(), lifeCycle, incomeQueue());
    callEntries().abTest.initialize(logic);
    logic->prepareInitialState(std::move(listener));
    logic->startABTestLogic();
}

std::shared_ptr<CoreFactoryProtocol> Core::initSubModules(const std::string& applicationKey,
                                                          bool childrensPrivacy) {
    auto platformStorage = std::make_shared<PlatformStorage>();
    auto platform = std::make_shared<Platform>(platformStorage, childrensPrivacy,
                                               environment_.platformServices());
    auto lifeCycle = std::make_shared<LifeCycleRepository>(environment_.notificationCenter,
                                                           environment_.application);
    auto backend = Backend::make(environment_.urlSession);
    // One core of one process owns the data folder, or two would send the same
    // stored reports; it is claimed before the file is read, so only its owner
    // may replace a damaged file.
    std::unique_ptr<DataFolderLock> folderLock;
    auto database =
        std::make_shared<SQLiteProvider>(applicationKey, [&](const std::filesystem::path& folder) {
            folderLock = std::make_unique<DataFolderLock>(folder);
        });
    folderLock_ = std::move(folderLock);
    return std::make_shared<CoreFactory>(std::move(lifeCycle), std::move(backend),
                                         std::move(platform), std::move(database));
}

}  // namespace mvk
