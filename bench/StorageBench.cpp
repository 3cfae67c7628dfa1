// The storage road of an event: one autocommit insert as the analytics queue
// does it, reading a user's stored events back, and deleting packed events by id.
// Run in Release: cmake --preset bench && cmake --build --preset bench &&
// build/bench/bench/StorageBench

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

#include "BenchSupport.hpp"
#include "events/EventObject.hpp"
#include "storage/SQLiteConvertible.hpp"
#include "storage/SQLiteProvider.hpp"

namespace {

using namespace mvk;

using bench::BenchDirectory;
using bench::typicalEventJson;

ContentValues eventRow(std::int64_t userId) {
    return {{"code", "ce"}, {"userId", userId}, {"eventJson", typicalEventJson}};
}

std::vector<std::int64_t> fill(SQLiteProvider& provider, std::int64_t rows) {
    std::vector<std::int64_t> ids;
    ids.reserve(static_cast<std::size_t>(rows));
    provider.transaction([&] {
        for (std::int64_t n = 0; n < rows; ++n) {
            ids.push_back(provider.insert("events", eventRow(1)).value_or(-1));
        }
        return true;
    });
    return ids;
}

double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    return values[index];
}

void BM_InsertEventAutocommit(benchmark::State& state) {
    BenchDirectory directory;
    SQLiteProvider provider("bench");
    std::vector<double> micros;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        auto id = provider.insert("events", eventRow(1));
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        benchmark::DoNotOptimize(id);
        state.SetIterationTime(elapsed.count());
        micros.push_back(elapsed.count() * 1e6);
    }
    state.counters["p50_us"] = percentile(micros, 0.50);
    state.counters["p99_us"] = percentile(micros, 0.99);
}
BENCHMARK(BM_InsertEventAutocommit)
    ->UseManualTime()
    ->Iterations(2000)
    ->Unit(benchmark::kMicrosecond);

void BM_ReadEventRows(benchmark::State& state) {
    BenchDirectory directory;
    SQLiteProvider provider("bench");
    fill(provider, state.range(0));
    for (auto _ : state) {
        auto rows = query<EventObject>(provider, {.tableName = "events"});
        if (!rows || rows->size() != static_cast<std::size_t>(state.range(0))) {
            state.SkipWithError("rows missing");
            break;
        }
        benchmark::DoNotOptimize(rows->data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReadEventRows)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

// range(0) rows deleted by id; range(1) ids per statement, 0 for one statement
// (the chunked form runs in one transaction, as a repository would).
void BM_DeleteEventRowsById(benchmark::State& state) {
    BenchDirectory directory;
    SQLiteProvider provider("bench");
    const auto chunk = static_cast<std::size_t>(state.range(1));
    for (auto _ : state) {
        state.PauseTiming();
        const auto ids = fill(provider, state.range(0));
        state.ResumeTiming();

        std::int64_t deleted = 0;
        provider.transaction([&] {
            const std::size_t step = chunk == 0 ? ids.size() : chunk;
            for (std::size_t first = 0; first < ids.size(); first += step) {
                const std::size_t count = std::min(step, ids.size() - first);
                std::string selection = "id IN (";
                std::vector<SQLiteValue> arguments;
                arguments.reserve(count);
                for (std::size_t n = 0; n < count; ++n) {
                    selection += n == 0 ? "?" : ", ?";
                    arguments.emplace_back(ids[first + n]);
                }
                selection += ")";
                const auto removed = provider.deleteRows("events", selection, arguments);
                if (!removed) {
                    return false;
                }
                deleted += *removed;
            }
            return true;
        });
        if (deleted != state.range(0)) {
            state.SkipWithError("rows not deleted");
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_DeleteEventRowsById)
    ->Args({10'000, 0})
    ->Args({10'000, 500})
    ->Unit(benchmark::kMillisecond);

}  // namespace
