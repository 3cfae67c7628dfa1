// Start-up and the application's move to the background, as the host sees
// them: the time from `initialize` to the initialisation-complete callback on
// a database that already exists (also one holding a backlog of stored
// events, with the resident memory it costs), and how long
// `didEnterBackground` keeps the host's thread. The gateway is a local one, so
// no request leaves the machine.
// Run in Release: cmake --preset bench && cmake --build --preset bench &&
// build/bench/bench/CoreBench | grep -v "deinit Core module"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>

#include "BenchSupport.hpp"
#include "StartUpSupport.hpp"
#include "core/Core.hpp"
#include "core/ServiceFactory.hpp"
#include "mvk/MVKApplication.hpp"
#include "platform/QueueManager.hpp"

namespace {

using namespace mvk;
using namespace mvk::bench;

void BM_InitializeToCompleteCallbackOnWarmDatabase(benchmark::State& state) {
    BenchSetting setting;
    StartUp startUp;
    startUp.run();  // creates the database file and its schema
    shutDown();
    for (auto _ : state) {
        state.SetIterationTime(std::chrono::duration<double>(startUp.run()).count());
        state.PauseTiming();
        shutDown();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_InitializeToCompleteCallbackOnWarmDatabase)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_DidEnterBackgroundBlocksHost(benchmark::State& state) {
    BenchSetting setting;
    StartUp startUp;
    startUp.run();
    MVKApplication::didBecomeActive();
    for (auto _ : state) {
        const auto start = WallClock::now();
        MVKApplication::didEnterBackground();
        state.SetIterationTime(std::chrono::duration<double>(WallClock::now() - start).count());
        MVKApplication::didBecomeActive();
        QueueManager::incomeQueue().queue().drain();
    }
    shutDown();
}
/// The pipeline services a start-up builds, taken from its service factory in
/// place of the analytics logic, which would wire them the same way.
class PipelineOfStartUp {
  public:
    PipelineOfStartUp() {
        Core::setAnalyticsLogicMakerForTesting(
            [this](ServiceFactoryProtocol& factory,
                   const auto&) -> std::shared_ptr<AnalyticsProtocol> {
                controller = dynamic_cast<ServiceFactory&>(factory).eventController();
                events = factory.eventsService();
                reports = factory.reportService();
                events->setOnFullStackAction([weak = std::weak_ptr(reports)] {
                    if (auto service = weak.lock()) {
                        service->sendBufferedEvents();
                    }
                });
                return nullptr;
            });
    }
    ~PipelineOfStartUp() { Core::setAnalyticsLogicMakerForTesting({}); }
    PipelineOfStartUp(const PipelineOfStartUp&) = delete;
    PipelineOfStartUp& operator=(const PipelineOfStartUp&) = delete;

    /// Nothing of a destroyed core may stay alive.
    void release() {
        controller.reset();
        events.reset();
        reports.reset();
    }

    std::shared_ptr<EventControllerProtocol> controller;
    std::shared_ptr<EventsServiceProtocol> events;
    std::shared_ptr<ReportServiceProtocol> reports;
};

/// Start-up on a database holding `range(0)` stored events of the active
/// user, then one more event whose full-stack check runs a send pass while
/// the controller holds sending (so the backlog is counted, not packed). The
/// memory counters are the resident growth over the process before that
/// start-up, in MiB; run each backlog in its own process for clean figures
/// (--benchmark_filter=StartUpWithBacklog/100000).
void BM_StartUpWithBacklog(benchmark::State& state) {
    BenchSetting setting;
    PipelineOfStartUp pipeline;
    StartUp startUp;
    startUp.run();
    pipeline.release();
    shutDown();
    storeBacklog(state.range(0));
    const bench::TypicalEvent event;
    constexpr double mebibyte = 1024.0 * 1024.0;
    std::map<std::string, double> cpuSpent;
    bool first = true;
    for (auto _ : state) {
        state.PauseTiming();
        const auto before = static_cast<double>(bench::residentBytes());
        const auto sqliteBefore = static_cast<double>(sqlite3_memory_used());
        const auto cpuBefore = bench::cpuSecondsByThreadName();
        state.ResumeTiming();
        state.SetIterationTime(std::chrono::duration<double>(startUp.run()).count());
        state.PauseTiming();
        bench::addCpuSpent(cpuSpent, cpuBefore, bench::cpuSecondsByThreadName());
        const auto afterStartUp = static_cast<double>(bench::residentBytes());
        QueueManager::incomeQueue().queue().addOperationAndWait([&] {
            pipeline.controller->stopReportSending();
            pipeline.events->addEvent(event);
            pipeline.reports->sendBufferedEvents();
        });
        // The first start-up of the process tells what a player's game pays;
        // later ones reuse memory the allocator kept.
        if (first) {
            const auto afterPass = static_cast<double>(bench::residentBytes());
            state.counters["rssStartUpMiB"] = (afterStartUp - before) / mebibyte;
            state.counters["rssAfterPassMiB"] = (afterPass - before) / mebibyte;
            state.counters["rssAbsoluteMiB"] = afterPass / mebibyte;
            // How much of the growth SQLite holds (its page cache, mostly).
            state.counters["sqliteHeapMiB"] =
                (static_cast<double>(sqlite3_memory_used()) - sqliteBefore) / mebibyte;
            first = false;
        }
        pipeline.release();
        shutDown();
        state.ResumeTiming();
    }
    bench::reportCpuSpent(state, cpuSpent);
}
// 250k shows whether the growth at 100k is a ceiling or a slope.
BENCHMARK(BM_StartUpWithBacklog)
    ->Arg(0)
    ->Arg(100'000)
    ->Arg(250'000)
    ->Iterations(5)
    ->UseManualTime()
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK(BM_DidEnterBackgroundBlocksHost)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
