#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "abtest/ABStoreTest.hpp"
#include "abtest/ABTestDefaultParamsCache.hpp"
#include "abtest/ABTestLogic.hpp"
#include "abtest/EventController.hpp"
#include "abtest/InvolvedExperimentsService.hpp"
#include "abtest/RemoteConfigService.hpp"
#include "abtest/SuitableExperimentsService.hpp"
#include "abtest/TaskService.hpp"
#include "abtest/UserConfigService.hpp"
#include "analytics/EventsService.hpp"
#include "events/EventRepository.hpp"
#include "events/Storable.hpp"
#include "mvk/MVKRemoteConfigListener.hpp"
#include "people/PeopleService.hpp"
#include "platform/ManualRunLoop.hpp"
#include "platform/SerialQueue.hpp"
#include "records/PeopleRepository.hpp"
#include "state/ProjectService.hpp"
#include "state/UserService.hpp"
#include "support/Patience.hpp"

namespace mvk::test {

/// Writes every call it hears as a short line: "received 1", "prepare",
/// "changed 1", or "changed 0 <error>".
class RecordingListener final : public MVKRemoteConfigListener {
  public:
    void onReceivedResult(MVKRemoteConfigReceiveResult result) override {
        calls.push_back("received " + std::to_string(static_cast<int>(result)));
    }
    void onPrepareToChange() override { calls.push_back("prepare"); }
    void onChangedResult(MVKRemoteConfigChangeResult result,
                         const std::optional<std::string>& error) override {
        calls.push_back("changed " + std::to_string(static_cast<int>(result)) +
                        (error ? " " + *error : std::string()));
    }
    std::vector<std::string> calls;
};

/// The configuration service as a script: it counts what the logic asks for
/// and lets the test answer when it likes, as the gateway would.
class ScriptedConfigService final : public ABTestConfigServiceProtocol {
  public:
    explicit ScriptedConfigService(std::shared_ptr<ABTestManagerProtocol> manager)
        : manager_(std::move(manager)) {}

    void receiveABConfig() override { ++configRequests; }
    void receiveAbBackendOffers(OfferGeneration generation) override {
        offersSent.push_back(SuitableExperiments{manager_->suitableExperiments()});
        generations_.push_back(generation);
    }
    void stop() override {}

    /// The results of the offer request `index` (the last one by default).
    void answerOffer(std::vector<InvolvedExperiment> involved,
                     std::optional<std::size_t> index = {}) {
        const auto sent = index.value_or(offersSent.size() - 1);
        offerUpdate_(generations_.at(sent), involved, offersSent.at(sent));
    }
    void failOffer(std::optional<std::size_t> index = {}) {
        offerNoConnection_(generations_.at(index.value_or(offersSent.size() - 1)));
    }
    void offerForAnotherUser(std::optional<std::size_t> index = {}) {
        offerUserChanged_(generations_.at(index.value_or(offersSent.size() - 1)),
                          MVKError("[A/B-Test Module]  In the process of receiving offer from the "
                                   "server, the user was changed. Offer has been canceled."));
    }

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
    BackendUserDataUpdate onBackendUserDataUpdate() const override { return userData_; }
    void setOnBackendUserDataUpdate(BackendUserDataUpdate callback) override {
        userData_ = std::move(callback);
    }

    int configRequests = 0;
    std::vector<SuitableExperiments> offersSent;

  private:
    std::shared_ptr<ABTestManagerProtocol> manager_;
    std::vector<OfferGeneration> generations_;
    ConfigUpdate configUpdate_;
    OfferUpdate offerUpdate_;
    OfferNoConnection offerNoConnection_;
    OfferUserChanged offerUserChanged_;
    BackendUserDataUpdate userData_;
};

/// Counts the sends the logic asks for; what a send does is the report
/// service's own business.
class CountingReportService final : public ReportServiceProtocol {
  public:
    ReportSendAction onReportSendAction() const override { return {}; }
    void setOnReportSendAction(ReportSendAction) override {}
    void sendFlashEvent(const Storable&) override {}
    void sendBufferedEvents() override { ++sends; }
    void removeInactiveUserData(const std::vector<std::shared_ptr<User>>&) override {}
    void removeAllReports() override {}
    int sends = 0;
};

struct HarnessEvent final : Storable {
    HarnessEvent(std::string code, std::string json)
        : code_(std::move(code)), json_(std::move(json)) {}
    std::string code() const override { return code_; }
    std::string getJson() const override { return json_; }
    std::string description() const override { return code_; }
    std::string code_;
    std::string json_;
};

/// The A/B logic over real services and tables, a real event controller and
/// event storage, a scripted gateway, a manual clock and a test queue.
class ABLogicHarness : public ABStoreTest {
  public:
    ~ABLogicHarness() override { queue.drain(drainLimit()); }

    /// An experiment of the project with the user's state row. With a
    /// condition it fits a "ce" event named `name`; group "B" sets "speed" to 5
    /// (or to `speedB`).
    void addExperiment(std::int64_t id, bool onEvent, bool testing = false,
                       const std::string& speedB = "5", const std::string& name = "go") {
        auto stored = std::make_shared<ABTestsExperiment>(experiment(id, 1, 0, testing));
        stored->projectId = project();
        stored->parameters.push_back(ExperimentParameter{
            .key = "speed", .values = {{"B", AnyCodable(speedB)}, {"A", AnyCodable("1")}}});
        if (onEvent) {
            stored->conditions.push_back(ExperimentCondition{
                .eventCode = "ce",
                .searchPath = {"name"},
                .comparison = Comparison{.key = "==", .value = AnyCodable(name)}});
        }
        experiments->insert(stored);
        storeState({me(), id, true, ""});
    }

    void build(ABTestInitalData data = {}) {
        initialData = data;
        defaultsCache->setSavedDefaults({{"speed", std::int64_t{1}}});
        taskService = std::make_shared<TaskService>(data, scheduler, queue);
        involved =
            std::make_shared<InvolvedExperimentsService>(state, manager, experiments, states, data);
        suitable =
            std::make_shared<SuitableExperimentsService>(state, manager, experiments, states);
        logic = ABTestLogic::make(
            ABTestLogic::Services{.stateManager = state,
                                  .abTestConfigService = config,
                                  .remoteConfigService = std::make_shared<RemoteConfigService>(
                                      state, manager, abProjects, experiments, states),
                                  .involvedExpService = involved,
                                  .suitableExpService = suitable,
                                  .userConfigService = std::make_shared<UserConfigService>(
                                      state, manager, experiments, defaultsCache),
                                  .taskService = taskService,
                                  .userService = userService,
                                  .projectService = projectService,
                                  .peopleService = peopleService,
                                  .reportService = reportService},
            controller, nullptr, queue);
    }

    void start(ABTestInitalData data = {}) {
        build(data);
        logic->prepareInitialState(listener);
        logic->startABTestLogic();
    }

    /// Stores a "ce" event named `name`; the controller hands it to the search.
    void fire(const std::string& name = "go") {
        eventsService->addEvent(HarnessEvent("ce", R"({"code":"ce","name":")" + name + R"("})"));
    }

    /// Moves the clock and runs the expiries that became due.
    void advance(std::int64_t millis) {
        scheduler->advance(std::chrono::milliseconds(millis));
        queue.drain(drainLimit());
    }

    void apply() { logic->tryStartInvolvedExperiment(); }
    LogCapture& logs() { return log; }
    FakeStateManager& stateManager() { return *state; }

    std::vector<std::string>& calls() { return listener->calls; }
    bool sending() const { return controller->isReportSendingEnable(); }
    /// The group stored as the user's involvement, "" for none.
    std::string storedGroup() const {
        for (const auto& row : storedStates()) {
            if (std::get<0>(row) == me() && !std::get<3>(row).empty()) {
                return std::get<3>(row);
            }
        }
        return "";
    }
    /// The ids of the stored events that may leave now, with their JSON.
    std::vector<EventObject> leaving() {
        return controller->richEventObjects(
            eventRepository->eventsOfUser(me(), std::nullopt, 1000).value());
    }

    ABTestInitalData initialData;
    std::shared_ptr<ManualRunLoop> scheduler = std::make_shared<ManualRunLoop>(clock);
    SerialQueue queue{"test.ab.income"};
    std::shared_ptr<RecordingListener> listener = std::make_shared<RecordingListener>();
    std::shared_ptr<ScriptedConfigService> config =
        std::make_shared<ScriptedConfigService>(manager);
    std::shared_ptr<CountingReportService> reportService =
        std::make_shared<CountingReportService>();
    std::shared_ptr<EventController> controller = std::make_shared<EventController>();
    std::shared_ptr<EventRepository> eventRepository = std::make_shared<EventRepository>(database);
    std::shared_ptr<EventsService> eventsService =
        std::make_shared<EventsService>(state, controller, eventRepository);
    std::shared_ptr<ABTestDefaultParamsCache> defaultsCache =
        std::make_shared<ABTestDefaultParamsCache>();
    std::shared_ptr<UserService> userService =
        std::make_shared<UserService>(state, users, tutorials);
    std::shared_ptr<ProjectService> projectService =
        std::make_shared<ProjectService>(state, projects, payments);
    std::shared_ptr<PeopleService> peopleService =
        std::make_shared<PeopleService>(state, std::make_shared<PeopleRepository>(database));
    std::shared_ptr<TaskService> taskService;
    std::shared_ptr<InvolvedExperimentsService> involved;
    std::shared_ptr<SuitableExperimentsService> suitable;
    std::shared_ptr<ABTestLogic> logic;
};

}  // namespace mvk::test
