// The event pipeline at large backlogs: storing one custom event while the
// controller holds sending (so the full-stack check and its action run at
// every event), and packing a 250k-event backlog into report rows, alone and
// then sending them to the local gateway. And a burst of events arriving while
// the full-stack action packs and sends them.
// Run in Release: cmake --preset bench && cmake --build --preset bench &&
// build/bench/bench/PipelineBench

#include <benchmark/benchmark.h>
#include <functional>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "BenchSupport.hpp"
#include "abtest/EventController.hpp"
#include "analytics/EventsService.hpp"
#include "analytics/ReportService.hpp"
#include "backend/Backend.hpp"
#include "backend/BackendConfigUrl.hpp"
#include "events/EventRepository.hpp"
#include "gateway/Gateway.hpp"
#include "platform/QueueManager.hpp"
#include "platform/URLSessionSettings.hpp"
#include "records/Config.hpp"
#include "records/ReportsRepository.hpp"
#include "storage/SQLiteConvertible.hpp"
#include "storage/SQLiteProvider.hpp"

namespace {

using namespace mvk;
using bench::BenchDirectory;
using bench::TypicalEvent;
using bench::typicalEventJson;

/// One project with `users` users (row ids 1...), the first active.
class BenchState final : public StateManagerProtocol {
  public:
    explicit BenchState(int users) {
        project->idKey = 1;
        project->configuration = Config::defaulConfiguration();
        project->configuration.countForRequest = 10;
        for (int n = 0; n < users; ++n) {
            auto user = std::make_shared<User>(1, "player-" + std::to_string(n), false);
            user->idKey = n + 1;
            all.push_back(user);
        }
    }
    bool isEditorMode() const override { return false; }
    std::shared_ptr<Project> getActiveProject() const override { return project; }
    std::shared_ptr<User> getActiveUser() const override { return all.front(); }
    std::shared_ptr<DeviceIdentifiers> getActiveDeviceIdentifiers() override { return device; }
    std::optional<std::vector<std::shared_ptr<User>>> getAllUsers() override { return all; }
    std::optional<std::vector<std::shared_ptr<User>>> getInactiveProjectUsers() override {
        return std::vector<std::shared_ptr<User>>{};
    }
    void replaceUserId(const std::shared_ptr<User>&, const std::string&) override {}
    void activateUser(const std::string&) override {}
    void activateUser(const std::string&, const std::function<void()>&) override {}
    Identifiers getIdentifiers(const User&) override { return {}; }
    Versions getVersion() override { return {}; }
    ApplicationData getAppData() override { return {"1.0", "1", "com.example.game"}; }
    SdkData getSdkData() override { return {}; }
    IdentifierData getIdentifiersData() override { return {}; }
    DeviceData getDeviceData() override { return {}; }
    void updateDeviceIdentifiers(std::optional<std::int64_t>, std::optional<std::int64_t>,
                                 std::optional<std::int64_t>) override {}

    std::shared_ptr<Project> project = std::make_shared<Project>("bench");
    std::vector<std::shared_ptr<User>> all;
    std::shared_ptr<DeviceIdentifiers> device =
        std::make_shared<DeviceIdentifiers>(1, "device", "uuid", std::nullopt);
};

void fill(DatabaseProtocol& database, std::int64_t rows, int users) {
    EventRepository events(std::shared_ptr<DatabaseProtocol>(&database, [](auto*) {}));
    database.transaction([&] {
        for (std::int64_t n = 0; n < rows; ++n) {
            EventObject event("ce", -1, 1 + n % users, typicalEventJson);
            events.insert(event);
        }
        return true;
    });
}

void BM_AddEventWithBacklog(benchmark::State& state) {
    BenchDirectory directory;
    auto database = std::make_shared<SQLiteProvider>("bench");
    fill(*database, state.range(0), 1);
    auto stateManager = std::make_shared<BenchState>(1);
    auto controller = std::make_shared<EventController>();
    controller->stopReportSending();
    auto events = std::make_shared<EventRepository>(database);
    auto reports = std::make_shared<ReportService>(stateManager, controller, events,
                                                   std::make_shared<ReportsRepository>(database),
                                                   Backend::make());
    EventsService service(stateManager, controller, events);
    service.setOnFullStackAction([&] { reports->sendBufferedEvents(); });
    const TypicalEvent event;
    for (auto _ : state) {
        service.addEvent(event);
    }
}
BENCHMARK(BM_AddEventWithBacklog)
    ->Arg(0)
    ->Arg(1'000)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Unit(benchmark::kMicrosecond);

void BM_PackAndSendBacklog(benchmark::State& state) {
    const int users = static_cast<int>(state.range(0));
    gateway::Gateway gateway;
    URLSessionSettings::setCaPem(gateway.caPem());
    BackendConfigUrl::setTestProxyUrl(gateway.baseUrl());
    for (auto _ : state) {
        state.PauseTiming();
        BenchDirectory directory;
        auto database = std::make_shared<SQLiteProvider>("bench");
        fill(*database, 250'000, users);
        auto stateManager = std::make_shared<BenchState>(users);
        auto reports = std::make_shared<ReportService>(
            stateManager, std::make_shared<EventController>(),
            std::make_shared<EventRepository>(database),
            std::make_shared<ReportsRepository>(database), Backend::make());
        gateway.clearRequests();
        QueueManager::networkSerialQueue().pause();
        state.ResumeTiming();
        QueueManager::incomeQueue().queue().addOperationAndWait(
            [&] { reports->sendBufferedEvents(); });
        state.PauseTiming();
        const auto rows =
            query<Report>(*database, {.tableName = "reports"}).value_or(std::vector<Report>{});
        std::size_t bytes = 0;
        for (const auto& report : rows) {
            bytes += report.packagesJson.value_or("").size();
        }
        state.counters["reportRows"] = static_cast<double>(rows.size());
        state.counters["rowMiB"] = static_cast<double>(bytes) / rows.size() / 1048576.0;
        state.ResumeTiming();
        QueueManager::networkSerialQueue().resume();
        while (gateway.requests("/v2/analytics/report").size() < rows.size()) {
            QueueManager::networkSerialQueue().queue().drain();
            QueueManager::incomeQueue().queue().drain();
        }
        state.PauseTiming();
        std::size_t body = 0;
        for (const auto& request : gateway.requests("/v2/analytics/report")) {
            body = std::max(body, request.body.size());
        }
        state.counters["maxBodyMiB"] = static_cast<double>(body) / 1048576.0;
        QueueManager::incomeQueue().queue().drain();
        state.ResumeTiming();
    }
    BackendConfigUrl::setTestProxyUrl("");
    URLSessionSettings::reset();
}
BENCHMARK(BM_PackAndSendBacklog)->Arg(1)->Arg(4)->Iterations(1)->Unit(benchmark::kMillisecond);

/// Packing alone: a 250k-event backlog of one user into report rows. The pass
/// that would send them waits on the paused network queue and finds the
/// service gone.
void BM_PackBacklog(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        BenchDirectory directory;
        auto database = std::make_shared<SQLiteProvider>("bench");
        fill(*database, 250'000, 1);
        auto reports = std::make_shared<ReportService>(
            std::make_shared<BenchState>(1), std::make_shared<EventController>(),
            std::make_shared<EventRepository>(database),
            std::make_shared<ReportsRepository>(database), Backend::make());
        QueueManager::networkSerialQueue().pause();
        state.ResumeTiming();
        QueueManager::incomeQueue().queue().addOperationAndWait(
            [&] { reports->sendBufferedEvents(); });
        state.PauseTiming();
        reports.reset();
        QueueManager::networkSerialQueue().resume();
        QueueManager::networkSerialQueue().queue().drain();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PackBacklog)->Iterations(1)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

/// A game that records 5,000 custom events at once, one call each, with the
/// default count per request: the full-stack action packs and sends while
/// events still arrive. Timed from the first call to the moment the last
/// report was accepted by the gateway.
void BM_EventBurstToGateway(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    constexpr int burst = 5'000;
    gateway::Gateway gateway;
    URLSessionSettings::setCaPem(gateway.caPem());
    BackendConfigUrl::setTestProxyUrl(gateway.baseUrl());
    const TypicalEvent event;
    auto& income = QueueManager::incomeQueue().queue();
    std::map<std::string, double> cpuSpent;
    for (auto _ : state) {
        BenchDirectory directory;
        auto database = std::make_shared<SQLiteProvider>("bench");
        auto stateManager = std::make_shared<BenchState>(1);
        stateManager->project->configuration = Config::defaulConfiguration();
        auto controller = std::make_shared<EventController>();
        auto events = std::make_shared<EventRepository>(database);
        auto reportsRepository = std::make_shared<ReportsRepository>(database);
        auto reports = std::make_shared<ReportService>(stateManager, controller, events,
                                                       reportsRepository, Backend::make());
        auto service = std::make_shared<EventsService>(stateManager, controller, events);
        service->setOnFullStackAction([&] { reports->sendBufferedEvents(); });
        std::atomic<Clock::time_point> lastAccepted{Clock::time_point{}};
        reports->setOnReportSendAction([&] { lastAccepted = Clock::now(); });
        gateway.clearRequests();
        const auto cpuBefore = bench::cpuSecondsByThreadName();

        const auto start = Clock::now();
        for (int n = 0; n < burst; ++n) {
            income.addOperation([&] { service->addEvent(event); });
        }
        // A pass that stops on a refused report would leave rows for good.
        const auto deadline = start + std::chrono::minutes(5);
        bool settled = false;
        while (!settled && Clock::now() < deadline) {
            income.drain();
            QueueManager::networkSerialQueue().queue().drain();
            income.addOperationAndWait([&] {
                const auto keys = reportsRepository->keys();
                settled = events->count(1).value_or(-1) == 0 && keys && keys->empty();
            });
        }
        if (!settled) {
            state.SkipWithError("the burst was not sent within five minutes");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(lastAccepted.load() - start).count());

        bench::addCpuSpent(cpuSpent, cpuBefore, bench::cpuSecondsByThreadName());
        const auto requests = gateway.requests("/v2/analytics/report");
        std::size_t sent = 0;
        for (const auto& request : requests) {
            const auto body = nlohmann::json::parse(request.body, nullptr, false);
            for (const auto& report : body.at("reports")) {
                for (const auto& package : report.at("packages")) {
                    sent += package.at("events").size();
                }
            }
        }
        state.counters["requests"] = static_cast<double>(requests.size());
        state.counters["eventsSent"] = static_cast<double>(sent);
    }
    bench::reportCpuSpent(state, cpuSpent);
    BackendConfigUrl::setTestProxyUrl("");
    URLSessionSettings::reset();
}
BENCHMARK(BM_EventBurstToGateway)
    ->Iterations(3)
    ->UseManualTime()
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
