// What the repositories add on top of the provider: reading a 100k-row events
// table into a fresh repository's cache (the first send after a start with a
// large backlog), handing out the cached rows again, deleting them all, and
// the JSON text of a full user card (the default limit of 60 keys).
// Run in Release: cmake --preset bench && cmake --build --preset bench &&
// build/bench/bench/RepositoryBench

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "BenchSupport.hpp"
#include "events/EventRecord.hpp"
#include "events/PeopleEvent.hpp"
#include "people/PeopleCard.hpp"
#include "storage/EventRepository.hpp"
#include "storage/SQLiteProvider.hpp"

namespace {

using namespace mvk;
using bench::BenchDirectory;
using bench::typicalEventJson;

void fill(const std::shared_ptr<SQLiteProvider>& provider, std::int64_t rows) {
    EventRepository events(provider);
    provider->transaction([&] {
        for (std::int64_t n = 0; n < rows; ++n) {
            events.insert(std::make_shared<EventObject>("ce", -1, 1 + n % 4, typicalEventJson));
        }
        return true;
    });
}

void BM_LoadEventsIntoRepository(benchmark::State& state) {
    BenchDirectory directory;
    auto provider = std::make_shared<SQLiteProvider>("bench");
    fill(provider, state.range(0));
    for (auto _ : state) {
        EventRepository events(provider);
        auto rows = events.list();
        if (rows.size() != static_cast<std::size_t>(state.range(0))) {
            state.SkipWithError("rows missing");
        }
        benchmark::DoNotOptimize(rows.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LoadEventsIntoRepository)->Arg(100'000)->Unit(benchmark::kMillisecond);

// `list()` hands out a copy of the cache, so a caller may delete while it
// walks the rows; this is what that copy costs once the table is read.
void BM_ListCachedEvents(benchmark::State& state) {
    BenchDirectory directory;
    auto provider = std::make_shared<SQLiteProvider>("bench");
    fill(provider, state.range(0));
    EventRepository events(provider);
    events.loadData();
    for (auto _ : state) {
        auto rows = events.list();
        benchmark::DoNotOptimize(rows.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ListCachedEvents)->Arg(100'000)->Unit(benchmark::kMillisecond);

void BM_DeleteAllEventsThroughRepository(benchmark::State& state) {
    BenchDirectory directory;
    auto provider = std::make_shared<SQLiteProvider>("bench");
    for (auto _ : state) {
        state.PauseTiming();
        fill(provider, state.range(0));
        EventRepository events(provider);
        auto rows = events.list();
        state.ResumeTiming();
        events.deleteItems(rows);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_DeleteAllEventsThroughRepository)->Arg(100'000)->Unit(benchmark::kMillisecond);

PeopleProperties fullCard() {
    PeopleProperties properties;
    for (int index = 0; index < 60; ++index) {
        const std::string key = "property_" + std::to_string(index);
        switch (index % 5) {
            case 0:
                properties.emplace(key, "value number " + std::to_string(index));
                break;
            case 1:
                properties.emplace(key, index * 1000);
                break;
            case 2:
                properties.emplace(key, index * 0.75);
                break;
            case 3:
                properties.emplace(key, index % 2 == 0);
                break;
            default:
                properties.emplace(key, MVKGender::female);
        }
    }
    return properties;
}

void BM_UserCardEventGetJson(benchmark::State& state) {
    const PeopleEvent event{.sessionId = 1'700'000'000'000,
                            .level = 12,
                            .parameters = fullCard(),
                            .inProgress = std::vector<std::string>{"Forest"}};
    for (auto _ : state) {
        auto json = EventRecord::getJson(event);
        benchmark::DoNotOptimize(json.data());
    }
}
BENCHMARK(BM_UserCardEventGetJson)->Unit(benchmark::kMicrosecond);

// The card's own stored text, written at every change of the card.
void BM_UserCardStoredJson(benchmark::State& state) {
    PeopleCard card(1);
    card.properties = fullCard();
    for (auto _ : state) {
        card.encodeProperties();
        benchmark::DoNotOptimize(card.json.data());
    }
}
BENCHMARK(BM_UserCardStoredJson)->Unit(benchmark::kMicrosecond);

}  // namespace
