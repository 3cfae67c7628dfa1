// How many events per second reach committed rows through the income queue,
// how long a burst of 5,000 takes, and beside them the bare SQLite rates on
// the same disk: one autocommit insert per row, and all rows in one
// transaction. Compare ratios of medians; the machine is shared and noisy.
// Run in Release: cmake --preset bench && cmake --build --preset bench &&
// build/bench/bench/StorageRateBench --benchmark_repetitions=5
//   --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>

#include "BareDatabase.hpp"
#include "BenchSupport.hpp"
#include "events/EventObject.hpp"
#include "events/EventRepository.hpp"
#include "platform/QueueManager.hpp"
#include "storage/SQLiteProvider.hpp"

namespace {

using namespace mvk;

using bench::BareDatabase;
using bench::BenchDirectory;
using bench::typicalEventJson;

// Queues `events` stores one block each, as the library's event calls do, and
// waits until the last is committed (a group commits as the queue runs empty).
double storeThroughIncomeQueue(EventRepository& repository, int events) {
    auto& queue = QueueManager::incomeQueue().queue();
    const auto start = std::chrono::steady_clock::now();
    for (int n = 0; n < events; ++n) {
        queue.addOperation([&repository] {
            EventObject row("ce", -1, 1, typicalEventJson);
            benchmark::DoNotOptimize(repository.insert(row));
        });
    }
    queue.waitUntilAllOperationsAreFinished();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void incomeQueueRate(benchmark::State& state, bool grouped) {
    BenchDirectory directory;
    auto provider = grouped ? std::make_shared<SQLiteProvider>("bench")
                            : std::make_shared<SQLiteProvider>("bench", nullptr);
    EventRepository repository(provider);
    const auto events = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.SetIterationTime(storeThroughIncomeQueue(repository, events));
    }
    state.SetItemsProcessed(state.iterations() * events);
}

void BM_IncomeQueueSustained(benchmark::State& state) {
    incomeQueueRate(state, true);
}
BENCHMARK(BM_IncomeQueueSustained)->Arg(20000)->UseManualTime()->Unit(benchmark::kMillisecond);

// Each event its own commit, as before grouping (WAL already on).
void BM_IncomeQueueUngrouped(benchmark::State& state) {
    incomeQueueRate(state, false);
}
BENCHMARK(BM_IncomeQueueUngrouped)->Arg(2000)->UseManualTime()->Unit(benchmark::kMillisecond);

// From the first queued event of a 5,000-event burst to the last one committed.
void BM_Burst5000(benchmark::State& state) {
    incomeQueueRate(state, true);
}
BENCHMARK(BM_Burst5000)->Arg(5000)->UseManualTime()->Unit(benchmark::kMillisecond);

// SQLite's defaults: rollback journal, synchronous=FULL, one commit per row.
void BM_BareSQLiteAutocommit(benchmark::State& state) {
    {
        BareDatabase database(BareDatabase::temporaryPath());
        for (auto _ : state) {
            database.insertRow();
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BareSQLiteAutocommit)->MinTime(1.0)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_BareSQLiteOneTransaction(benchmark::State& state) {
    const auto path = BareDatabase::temporaryPath();
    const auto rows = state.range(0);
    {
        BareDatabase database(path);
        for (auto _ : state) {
            database.exec("BEGIN");
            for (std::int64_t n = 0; n < rows; ++n) {
                database.insertRow();
            }
            database.exec("COMMIT");
        }
    }
    state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_BareSQLiteOneTransaction)->Arg(20000)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
