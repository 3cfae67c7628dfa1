// The analytics logic as the host's thread feels it: how long
// `didEnterBackground` holds that thread, with the logic idle and with 1,000
// host calls still queued for it; and the time from `initialize` to the
// initialisation-complete callback on an existing database, empty and holding
// 10,000 stored events the logic finds at start. The gateway is a local one,
// so no request leaves the machine.
// Run in Release: cmake --preset bench && cmake --build --preset bench &&
// build/bench/bench/LogicBench | grep -v "deinit Core module"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <optional>

#include "StartUpSupport.hpp"
#include "core/Core.hpp"
#include "mvk/MVKApplication.hpp"
#include "platform/QueueManager.hpp"

namespace {

using namespace mvk;
using namespace mvk::bench;

/// Host calls the logic has not run yet, as the public event calls queue them.
void queueCustomEvents(std::int64_t count) {
    auto& proxy = Core::shared()->analyticsProxy();
    for (std::int64_t n = 0; n < count; ++n) {
        proxy.enqueue("customEvent", heldBytes(),
                      [](AnalyticsProtocol& logic) { logic.customEvent("level_complete", {}); });
    }
}

void BM_LogicDidEnterBackgroundBehindQueuedCalls(benchmark::State& state) {
    BenchSetting setting;
    StartUp startUp;
    startUp.run();
    MVKApplication::didBecomeActive();
    auto& income = QueueManager::incomeQueue();
    for (auto _ : state) {
        // Held while queueing, so every call is still waiting when the host
        // leaves the foreground.
        income.pause();
        queueCustomEvents(state.range(0));
        income.resume();
        const auto start = WallClock::now();
        MVKApplication::didEnterBackground();
        state.SetIterationTime(std::chrono::duration<double>(WallClock::now() - start).count());
        MVKApplication::didBecomeActive();
        income.queue().drain();
    }
    shutDown();
}
BENCHMARK(BM_LogicDidEnterBackgroundBehindQueuedCalls)
    ->Arg(0)
    ->Arg(1'000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

void BM_LogicInitializeOnWarmDatabase(benchmark::State& state) {
    BenchSetting setting;
    StartUp startUp;
    startUp.run();  // creates the database, its schema and the one user
    shutDown();
    for (auto _ : state) {
        state.PauseTiming();
        storeBacklog(state.range(0));
        state.ResumeTiming();
        state.SetIterationTime(std::chrono::duration<double>(startUp.run()).count());
        state.PauseTiming();
        shutDown();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LogicInitializeOnWarmDatabase)
    ->Arg(0)
    ->Arg(10'000)
    ->Iterations(10)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
