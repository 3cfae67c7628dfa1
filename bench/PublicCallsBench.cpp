// What a public analytics call costs the game's thread, and how many events
// per second the library carries from the call to a committed row and an
// accepted report. The host's cost is measured per call (steady clock around
// `customEvent` with 20 parameters) from 1 and 8 host threads while the
// income queue is busy storing the earlier events; the times go into a
// histogram whose p50 and p99 are the counters. Beside the end-to-end rate
// stands SQLite's own autocommit insert rate on the same disk.
// Run in Release: cmake --preset bench && cmake --build --preset bench &&
// build/bench/bench/PublicCallsBench | grep -v "deinit Core module"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Histogram.hpp"
#include "StartUpSupport.hpp"
#include "mvk/MVKAnalytics.hpp"
#include "mvk/MVKApplication.hpp"
#include "platform/ApplicationSupportDirectory.hpp"
#include "platform/QueueManager.hpp"

namespace {

using namespace mvk;
using namespace mvk::bench;

std::mutex mergeMutex;
Histogram merged;
std::atomic<int> mergedThreads{0};
std::optional<BenchSetting> setting;
StartUp startUp;

void BM_CustomEventCallerThread(benchmark::State& state) {
    if (state.thread_index() == 0) {
        setting.emplace();
        startUp.run();
        // Active, so the logic has a session and really stores each event.
        MVKApplication::didBecomeActive();
        merged = Histogram();
        mergedThreads = 0;
    }
    const auto parameters = twentyParameters();
    Histogram own;
    for (auto _ : state) {
        const auto start = WallClock::now();
        MVKAnalytics::customEvent("level_complete", parameters);
        own.add(
            std::chrono::duration_cast<std::chrono::nanoseconds>(WallClock::now() - start).count());
    }
    {
        std::lock_guard lock(mergeMutex);
        merged.merge(own);
    }
    ++mergedThreads;
    state.counters["p50ns"] =
        benchmark::Counter(own.percentile(0.50), benchmark::Counter::kAvgThreads);
    state.counters["p99ns"] =
        benchmark::Counter(own.percentile(0.99), benchmark::Counter::kAvgThreads);
    if (state.thread_index() == 0) {
        state.counters["queuedAtEnd"] =
            static_cast<double>(QueueManager::incomeQueue().operationCount());
        while (mergedThreads.load() < state.threads()) {
            std::this_thread::yield();
        }
        shutDown();
        std::lock_guard lock(mergeMutex);
        merged.print(state.threads() == 1 ? "customEvent, 1 host thread"
                                          : "customEvent, 8 host threads (thread 0's view)");
        setting.reset();
    }
}
BENCHMARK(BM_CustomEventCallerThread)
    ->Iterations(20'000)
    ->Threads(1)
    ->Threads(8)
    ->Unit(benchmark::kNanosecond);

/// Calls until every event is a committed row and every report was accepted.
void BM_EventsPerSecondEndToEnd(benchmark::State& state) {
    BenchSetting setting;
    StartUp startUp;
    startUp.run();
    MVKApplication::didBecomeActive();
    const auto parameters = twentyParameters();
    const auto count = state.range(0);
    for (auto _ : state) {
        for (std::int64_t n = 0; n < count; ++n) {
            MVKAnalytics::customEvent("level_complete", parameters);
        }
        MVKAnalytics::sendBufferedEvents();
        QueueManager::incomeQueue().queue().drain(std::chrono::minutes(10));
        QueueManager::networkSerialQueue().queue().drain(std::chrono::minutes(10));
        QueueManager::incomeQueue().queue().drain(std::chrono::minutes(10));
    }
    state.counters["events/s"] = benchmark::Counter(
        static_cast<double>(count * static_cast<std::int64_t>(state.iterations())),
        benchmark::Counter::kIsRate);
    shutDown();
}
BENCHMARK(BM_EventsPerSecondEndToEnd)
    ->Arg(2'000)
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

/// SQLite alone: one autocommit insert of a typical event row at a time.
void BM_SqliteAutocommitInserts(benchmark::State& state) {
    BenchDirectory directory;
    const auto path = std::filesystem::temp_directory_path() /
                      ("mvk-bench-autocommit-" + std::to_string(::getpid()) + ".db");
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db,
                 "CREATE TABLE events (id INTEGER PRIMARY KEY, userId INTEGER, code TEXT, "
                 "eventJson TEXT)",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO events (userId, code, eventJson) VALUES (1, 'ce', ?)", -1,
                       &insert, nullptr);
    for (auto _ : state) {
        sqlite3_bind_text(insert, 1, typicalEventJson.data(),
                          static_cast<int>(typicalEventJson.size()), SQLITE_STATIC);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    state.counters["inserts/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    sqlite3_finalize(insert);
    sqlite3_close(db);
    std::filesystem::remove(path);
}
BENCHMARK(BM_SqliteAutocommitInserts)
    ->Iterations(2'000)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace
