// What the repositories add on top of the provider: counting a 100k-row events
// table (the first stored event after a start with a large backlog), reading
// one user's rows in packing chunks, and the JSON text of a full user card
// (the default limit of 60 keys).
// Run in Release: cmake --preset bench && cmake --build --preset bench &&
// build/bench/bench/RepositoryBench

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "BenchSupport.hpp"
#include "events/EventRecord.hpp"
#include "events/EventRepository.hpp"
#include "events/PeopleEvent.hpp"
#include "records/PeopleCard.hpp"
#include "storage/SQLiteProvider.hpp"

namespace {

using namespace mvk;
using bench::BenchDirectory;
using bench::typicalEventJson;

void fill(const std::shared_ptr<SQLiteProvider>& provider, std::int64_t rows) {
    EventRepository events(provider);
    provider->transaction([&] {
        for (std::int64_t n = 0; n < rows; ++n) {
            EventObject event("ce", -1, 1 + n % 4, typicalEventJson);
            events.insert(event);
        }
        return true;
    });
}

// The first count after a start with a large backlog: one GROUP BY over the
// table; afterwards each count is a map lookup.
void BM_CountEventsOfFreshRepository(benchmark::State& state) {
    BenchDirectory directory;
    auto provider = std::make_shared<SQLiteProvider>("bench");
    fill(provider, state.range(0));
    for (auto _ : state) {
        EventRepository events(provider);
        auto count = events.count(1);
        if (!count || *count != state.range(0) / 4) {
            state.SkipWithError("rows missing");
        }
        benchmark::DoNotOptimize(count);
    }
}
BENCHMARK(BM_CountEventsOfFreshRepository)->Arg(100'000)->Unit(benchmark::kMillisecond);

// Reading one user's rows in the packing chunks, as the report service does.
void BM_ReadOneUsersEventsInChunks(benchmark::State& state) {
    BenchDirectory directory;
    auto provider = std::make_shared<SQLiteProvider>("bench");
    fill(provider, state.range(0));
    EventRepository events(provider);
    for (auto _ : state) {
        std::int64_t after = 0;
        std::size_t total = 0;
        while (auto chunk = events.eventsOfUser(1, after, 1000)) {
            if (chunk->empty()) {
                break;
            }
            total += chunk->size();
            after = chunk->back().idKey;
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0) / 4);
}
BENCHMARK(BM_ReadOneUsersEventsInChunks)->Arg(100'000)->Unit(benchmark::kMillisecond);

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
