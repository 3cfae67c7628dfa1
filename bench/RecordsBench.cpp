// What turning an event record into its stored JSON text costs: the largest
// custom event the default configuration lets through (20 parameters) and a
// store catalogue of 50 subscription products.
// Run in Release: cmake --preset bench && cmake --build --preset bench &&
// build/bench/bench/RecordsBench

#include <benchmark/benchmark.h>

#include <string>

#include "events/CustomEvent.hpp"
#include "events/EventRecord.hpp"
#include "events/SubscriptionProductsEvent.hpp"

namespace {

using namespace mvk;

CustomEvent customEventWithTwentyParameters() {
    AnyCodable::Object parameters;
    for (int index = 0; index < 20; ++index) {
        const std::string key = "parameter_" + std::to_string(index);
        switch (index % 4) {
            case 0:
                parameters.insert(key, "value number " + std::to_string(index));
                break;
            case 1:
                parameters.insert(key, index * 1000);
                break;
            case 2:
                parameters.insert(key, index * 0.75);
                break;
            default:
                parameters.insert(key, index % 2 == 0);
        }
    }
    return CustomEvent{.sessionId = 1'700'000'000'000,
                       .level = 12,
                       .name = "boss_defeated",
                       .parameters = std::move(parameters),
                       .inProgress = std::vector<std::string>{"Forest"}};
}

SubscriptionProductsEvent fiftyProducts() {
    SubscriptionProductsEvent event{.sessionId = 1'700'000'000'000, .products = {}};
    for (int index = 0; index < 50; ++index) {
        SubscriptionProduct product{.productId = "com.example.game.sub." + std::to_string(index),
                                    .price = 4.99 + index,
                                    .regionCode = "US",
                                    .currencyCode = "USD"};
        if (index % 2 == 0) {
            product.introductoryPrice = 0.99;
            product.discounts =
                std::map<std::string, double>{{"winter", 2.49 + index}, {"loyal", 3.99}};
        }
        event.products.push_back(std::move(product));
    }
    return event;
}

template <EventRecordType R>
void encode(benchmark::State& state, const R& event) {
    std::size_t bytes = 0;
    for (auto _ : state) {
        auto text = EventRecord::getJson(event);
        bytes = text.size();
        benchmark::DoNotOptimize(text);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}

void BM_CustomEventTwentyParameters(benchmark::State& state) {
    encode(state, customEventWithTwentyParameters());
}
BENCHMARK(BM_CustomEventTwentyParameters);

void BM_SubscriptionProductsFifty(benchmark::State& state) {
    encode(state, fiftyProducts());
}
BENCHMARK(BM_SubscriptionProductsFifty);

}  // namespace
