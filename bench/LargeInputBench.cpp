// One public call with a large input, and how long the library's queues then
// work on it: from the call until the income queue and the network queue have
// nothing left (the card or event stored, encoded and sent to a local
// gateway). Every other call of the game waits behind that work, so it should
// grow about linearly with the input: 10,000 keys in tens of milliseconds.
// Run in Release: cmake --preset bench && cmake --build --preset bench &&
// build/bench/bench/LargeInputBench

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "StartUpSupport.hpp"
#include "mvk/MVKAnalytics.hpp"
#include "mvk/MVKFinishProgressionEventParameters.hpp"
#include "mvk/MVKUserCard.hpp"
#include "platform/QueueManager.hpp"

namespace {

using namespace mvk;
using namespace mvk::bench;

std::vector<std::string> keys(std::int64_t count) {
    std::vector<std::string> names;
    for (std::int64_t i = 0; i < count; ++i) {
        names.push_back("k" + std::to_string(i));
    }
    return names;
}

MVKAnalytics::Amounts amounts(std::int64_t count) {
    MVKAnalytics::Amounts all;
    for (std::int64_t i = 0; i < count; ++i) {
        all["c" + std::to_string(i)] = i;
    }
    return all;
}

void settle() {
    MVKAnalytics::sendBufferedEvents();
    for (auto* manager : {&QueueManager::incomeQueue(), &QueueManager::networkSerialQueue(),
                          &QueueManager::incomeQueue()}) {
        manager->queue().drain(std::chrono::minutes(10));
    }
}

/// Times `call(input)` until its work has left the queues; the input is made
/// before the clock starts.
template <class Input>
void timeQueueWork(benchmark::State& state, Input (*make)(std::int64_t),
                   const std::function<void(const Input&)>& call) {
    BenchSetting setting;
    StartUp startUp;
    startUp.run();
    settle();
    const auto input = make(state.range(0));
    for (auto _ : state) {
        const auto start = WallClock::now();
        call(input);
        settle();
        state.SetIterationTime(std::chrono::duration<double>(WallClock::now() - start).count());
    }
    shutDown();
}

void BM_UserCardUnset(benchmark::State& state) {
    timeQueueWork<std::vector<std::string>>(state, keys,
                                            [](const auto& names) { MVKUserCard::unset(names); });
}

void BM_LevelUp(benchmark::State& state) {
    timeQueueWork<MVKAnalytics::Amounts>(state, amounts,
                                         [](const auto& all) { MVKAnalytics::levelUp(2, all); });
}

void BM_CurrentBalance(benchmark::State& state) {
    timeQueueWork<MVKAnalytics::Amounts>(
        state, amounts, [](const auto& all) { MVKAnalytics::currentBalance(all); });
}

void BM_VirtualCurrencyPayment(benchmark::State& state) {
    timeQueueWork<MVKAnalytics::Amounts>(state, amounts, [](const auto& all) {
        MVKAnalytics::virtualCurrencyPayment("id", "type", 1, all);
    });
}

void BM_FinishProgression(benchmark::State& state) {
    timeQueueWork<MVKAnalytics::Amounts>(state, amounts, [](const auto& all) {
        MVKFinishProgressionEventParameters finish;
        finish.setSpent(all);
        finish.setEarned(all);
        MVKAnalytics::finishProgressionEvent("run", finish);
    });
}

void BM_CustomEventParameters(benchmark::State& state) {
    timeQueueWork<std::vector<std::string>>(state, keys, [](const auto& names) {
        MVKCustomEventParameters parameters;
        for (const auto& name : names) {
            parameters.addInt(name, 1);
        }
        MVKAnalytics::customEvent("many", parameters);
    });
}

#define MVK_LARGE_INPUT(name) \
    BENCHMARK(name)->Arg(1000)->Arg(10000)->UseManualTime()->Unit(benchmark::kMillisecond)

MVK_LARGE_INPUT(BM_UserCardUnset);
MVK_LARGE_INPUT(BM_LevelUp);
MVK_LARGE_INPUT(BM_CurrentBalance);
MVK_LARGE_INPUT(BM_VirtualCurrencyPayment);
MVK_LARGE_INPUT(BM_FinishProgression);
MVK_LARGE_INPUT(BM_CustomEventParameters);

}  // namespace
