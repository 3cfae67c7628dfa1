// Applying the gateway's experiments configuration for a project of 1 000
// users (each with a state row per experiment, except on first arrival):
// the first arrival of the experiments, an unchanged answer, and an answer in
// which every experiment's updateDate changed.
// Also the search an A/B start runs on every stored event: events per second
// through the event storage with 0, 10 and 100 candidate experiments whose one
// "ce" condition never holds, against storage without the A/B feature (-1).
// Run in Release: cmake --preset bench && cmake --build --preset bench &&
// build/bench/bench/ABTestBench

#include <benchmark/benchmark.h>
#include <functional>

#include <memory>
#include <vector>

#include "BenchSupport.hpp"
#include "abtest/ABTestManager.hpp"
#include "abtest/ABTestsExperimentStateRepository.hpp"
#include "abtest/ABTestsProjectRepository.hpp"
#include "abtest/EventController.hpp"
#include "abtest/RemoteConfigService.hpp"
#include "abtest/SuitableExperimentsService.hpp"
#include "analytics/EventsService.hpp"
#include "events/EventRepository.hpp"
#include "records/ABTestsExperimentRepository.hpp"
#include "state/StateManagerProtocol.hpp"
#include "storage/SQLiteProvider.hpp"

namespace {

using namespace mvk;

constexpr std::int64_t users = 1'000;

/// Project 1, active user 1; the rest is never asked for here.
class BenchStateManager final : public StateManagerProtocol {
  public:
    BenchStateManager() {
        project->idKey = 1;
        user->idKey = 1;
    }
    bool isEditorMode() const override { return false; }
    std::shared_ptr<Project> getActiveProject() const override { return project; }
    std::shared_ptr<User> getActiveUser() const override { return user; }
    std::shared_ptr<DeviceIdentifiers> getActiveDeviceIdentifiers() override { return nullptr; }
    std::optional<std::vector<std::shared_ptr<User>>> getAllUsers() override {
        return std::vector<std::shared_ptr<User>>{};
    }
    std::optional<std::vector<std::shared_ptr<User>>> getInactiveProjectUsers() override {
        return std::vector<std::shared_ptr<User>>{};
    }
    void replaceUserId(const std::shared_ptr<User>&, const std::string&) override {}
    void activateUser(const std::string&) override {}
    void activateUser(const std::string&, const std::function<void()>&) override {}
    Identifiers getIdentifiers(const User&) override { return {}; }
    Versions getVersion() override { return {}; }
    ApplicationData getAppData() override { return {}; }
    SdkData getSdkData() override { return {}; }
    IdentifierData getIdentifiersData() override { return {}; }
    DeviceData getDeviceData() override { return {}; }
    void updateDeviceIdentifiers(std::optional<std::int64_t>, std::optional<std::int64_t>,
                                 std::optional<std::int64_t>) override {}

    std::shared_ptr<Project> project = std::make_shared<Project>("app-key");
    std::shared_ptr<User> user = std::make_shared<User>(1, "player-1", false);
};

std::vector<ABTestsExperiment> answer(std::int64_t count, std::int64_t updateDate) {
    std::vector<ABTestsExperiment> experiments;
    for (std::int64_t id = 1; id <= count; ++id) {
        ABTestsExperiment experiment{
            .experimentId = id, .creationDate = 1, .updateDate = updateDate};
        experiment.parameters = {{.key = "speed", .values = {{"a", "1"}, {"b", "2"}}}};
        experiment.conditions = {ExperimentCondition{.eventCode = "ce",
                                                     .searchPath = {"name"},
                                                     .comparison = {.key = "==", .value = "win"}}};
        experiments.push_back(experiment);
    }
    return experiments;
}

struct Store {
    bench::BenchDirectory directory;
    std::shared_ptr<SQLiteProvider> database = std::make_shared<SQLiteProvider>("app-key");
    std::shared_ptr<ABTestsExperimentRepository> experiments =
        std::make_shared<ABTestsExperimentRepository>(database);
    std::shared_ptr<ABTestsExperimentStateRepository> states =
        std::make_shared<ABTestsExperimentStateRepository>(database);
    RemoteConfigService service{
        std::make_shared<BenchStateManager>(), std::make_shared<ABTestManager>(),
        std::make_shared<ABTestsProjectRepository>(database), experiments, states};

    /// The experiments stored, with a state row for every user.
    void prepare(std::int64_t count) {
        service.applyExperiments(answer(count, 1));
        database->transaction([&] {
            for (std::int64_t user = 2; user <= users; ++user) {
                for (std::int64_t id = 1; id <= count; ++id) {
                    states->insert(std::make_shared<ABTestsExperimentState>(
                        ABTestsExperimentState{.userId = user, .experimentId = id}));
                }
            }
            return true;
        });
    }
};

void BM_ApplyExperimentsFirstArrival(benchmark::State& state) {
    Store store;
    const auto experiments = answer(state.range(0), 1);
    for (auto _ : state) {
        state.PauseTiming();
        store.experiments->clear();
        store.states->clear();
        state.ResumeTiming();
        store.service.applyExperiments(experiments);
    }
}
BENCHMARK(BM_ApplyExperimentsFirstArrival)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_ApplyExperimentsUnchanged(benchmark::State& state) {
    Store store;
    store.prepare(state.range(0));
    const auto experiments = answer(state.range(0), 1);
    for (auto _ : state) {
        store.service.applyExperiments(experiments);
    }
}
BENCHMARK(BM_ApplyExperimentsUnchanged)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_ApplyExperimentsEveryUpdateDateChanged(benchmark::State& state) {
    Store store;
    store.prepare(state.range(0));
    std::int64_t updateDate = 1;
    for (auto _ : state) {
        state.PauseTiming();
        const auto experiments = answer(state.range(0), ++updateDate);
        state.ResumeTiming();
        store.service.applyExperiments(experiments);
    }
}
BENCHMARK(BM_ApplyExperimentsEveryUpdateDateChanged)
    ->Arg(10)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond);

struct LosingEvent final : Storable {
    std::string code() const override { return "ce"; }
    std::string getJson() const override {
        return R"({"code":"ce","name":"lose","level":3,"sessionId":1,"parameters":{"score":10}})";
    }
    std::string description() const override { return "ce"; }
};

void BM_StoreEventWithCandidates(benchmark::State& state) {
    Store store;
    auto stateManager = std::make_shared<BenchStateManager>();
    const auto candidates = state.range(0);
    auto controller = std::make_shared<EventController>();
    SuitableExperimentsService suitable(stateManager, std::make_shared<ABTestManager>(),
                                        store.experiments, store.states);
    if (candidates >= 0) {
        store.prepare(candidates);
        store.service.createExperimentState();
        suitable.updateActiveAudienceState({}, std::nullopt, std::nullopt);
        controller->setEventProvider([&](const EventObject& event) {
            benchmark::DoNotOptimize(suitable.searchSuitableExperiments(&event));
        });
    }
    EventsService events(stateManager, controller,
                         std::make_shared<EventRepository>(store.database));
    const LosingEvent event;
    for (auto _ : state) {
        events.addEvent(event);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StoreEventWithCandidates)->Arg(-1)->Arg(0)->Arg(10)->Arg(100);

}  // namespace
