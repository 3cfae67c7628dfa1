// Start-up and the application's move to the background, as the host sees
// them: the time from `initialize` to the initialisation-complete callback on
// a database that already exists, and how long `didEnterBackground` keeps the
// host's thread. The gateway is a local one, so no request leaves the machine.
// Run in Release: cmake --preset bench && cmake --build --preset bench &&
// build/bench/bench/CoreBench | grep -v "deinit Core module"

#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "BenchSupport.hpp"
#include "foundation/QueueManager.hpp"
#include "gateway/CannedAnswers.hpp"
#include "gateway/Gateway.hpp"
#include "mvk/MVKAnalytics.hpp"
#include "mvk/MVKApplication.hpp"
#include "mvk/MVKEngineWrapper.hpp"
#include "platform/URLSessionSettings.hpp"

namespace {

using namespace mvk;
using Clock = std::chrono::steady_clock;

class BenchSetting {
  public:
    BenchSetting() {
        for (auto& [path, answer] : gateway::cannedAnswers()) {
            gateway_.setAnswer(path, std::move(answer));
        }
        URLSessionSettings::setCaPem(gateway_.caPem());
        MVKAnalytics::setTestProxyUrl(gateway_.baseUrl());
        MVKAnalytics::setLogLevel(MVKLogLevel::no);
    }
    ~BenchSetting() {
        gateway_.stop();
        URLSessionSettings::reset();
    }

  private:
    bench::BenchDirectory directory_;
    gateway::Gateway gateway_;
};

/// One start-up: `initialize` until the host's callback has run.
class StartUp {
  public:
    Clock::duration run() {
        MVKAnalytics::setInitializationCompleteCallback([this] {
            std::lock_guard lock(mutex_);
            done_ = Clock::now();
            finished_.notify_all();
        });
        const auto start = Clock::now();
        MVKAnalytics::initialize("bench-app-key");
        std::unique_lock lock(mutex_);
        finished_.wait(lock, [&] { return done_.has_value(); });
        const auto elapsed = *done_ - start;
        done_.reset();
        return elapsed;
    }

  private:
    std::mutex mutex_;
    std::condition_variable finished_;
    std::optional<Clock::time_point> done_;
};

void shutDown() {
    MVKEngineWrapper::destroySDK();
    QueueManager::incomeQueue().queue().drain();
}

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
        const auto start = Clock::now();
        MVKApplication::didEnterBackground();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        MVKApplication::didBecomeActive();
        QueueManager::incomeQueue().queue().drain();
    }
    shutDown();
}
BENCHMARK(BM_DidEnterBackgroundBlocksHost)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
