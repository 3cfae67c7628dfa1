// What one user-card call costs on a full card (the default limit of 60
// custom keys) over a real database file: the card's JSON text is rewritten
// and its row updated on every change.
// Run in Release: cmake --preset bench && cmake --build --preset bench &&
// build/bench/bench/PeopleServiceBench

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "../tests/services/ServiceFakes.hpp"
#include "BenchSupport.hpp"
#include "people/PeopleService.hpp"
#include "records/PeopleRepository.hpp"
#include "state/ProjectRepository.hpp"
#include "state/UserRepository.hpp"
#include "storage/SQLiteProvider.hpp"

namespace {

using namespace mvk;

class FullCard {
  public:
    FullCard() {
        ProjectRepository(database).insert(state->project);
        state->user->projectId = state->project->idKey;
        UserRepository(database).insert(state->user);
        for (int key = 0; key < 60; ++key) {
            service.setValue("key" + std::to_string(key),
                             key % 2 == 0 ? PeopleValueType(key * 10) : PeopleValueType(key * 0.5));
        }
    }

    PeopleService& card() { return service; }

  private:
    bench::BenchDirectory directory;
    std::shared_ptr<SQLiteProvider> database = std::make_shared<SQLiteProvider>("bench");
    std::shared_ptr<test::FakeStateManager> state = std::make_shared<test::FakeStateManager>();
    PeopleService service{state, std::make_shared<PeopleRepository>(database)};
};

void BM_SetValueOnFullCard(benchmark::State& state) {
    FullCard full;
    std::int64_t value = 0;
    for (auto _ : state) {
        full.card().setValue("key7", ++value);
    }
}
BENCHMARK(BM_SetValueOnFullCard)->Unit(benchmark::kMicrosecond);

void BM_IncrementOnFullCard(benchmark::State& state) {
    FullCard full;
    for (auto _ : state) {
        full.card().increment("key8", 1);
    }
}
BENCHMARK(BM_IncrementOnFullCard)->Unit(benchmark::kMicrosecond);

}  // namespace
