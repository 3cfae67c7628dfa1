// What one report request costs end to end: `Backend::sendAnalytics` with a
// report of 10 custom events, over HTTPS to the local gateway on 127.0.0.1
// (TLS, the request layer, the gateway's parsing and recording). Reports
// requests per second and the median latency, with a fresh connection per
// request (argument 0, the default) and with each thread keeping its
// connection (argument 1).
// Run in Release: cmake --preset bench && cmake --build --preset bench &&
// build/bench/bench/GatewayBench

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "backend/Backend.hpp"
#include "backend/BackendConfigUrl.hpp"
#include "gateway/Gateway.hpp"
#include "platform/URLSessionSettings.hpp"

namespace {

using namespace mvk;

Reports reportOfTenEvents() {
    std::vector<std::string> events;
    for (int index = 0; index < 10; ++index) {
        events.push_back(R"({"code":"ce","timestamp":17000000)" + std::to_string(10000 + index) +
                         R"(,"sessionId":1700000000000,"level":12,"name":"boss_defeated",)"
                         R"("parameters":{"boss":"dragon","attempts":)" +
                         std::to_string(index) +
                         R"(,"damage":1234.5,"perfect":false},"inProgress":["Forest"]})");
    }
    Package package{.language = "en",
                    .appVersion = "1.4.2",
                    .appBuildVersion = "1402",
                    .sdkVersion = "2.2.6",
                    .bundle = "com.example.game",
                    .events = std::move(events)};
    return Reports{{Report({std::move(package)}, "6F9619FF-8B86-D011-B42D-00C04FC964FF")}};
}

void sendAnalyticsReport(benchmark::State& state) {
    gateway::Gateway gateway;
    URLSessionSettings::setCaPem(gateway.caPem());
    URLSessionSettings::setReuseConnections(state.range(0) != 0);
    BackendConfigUrl::setTestProxyUrl(gateway.baseUrl());
    auto backend = Backend::make();
    const auto reports = reportOfTenEvents();
    const Identifiers identifiers{.deviceId = "5C1B0D5E-1A2B-4C3D-8E9F-001122334455",
                                  .userId = "player-1",
                                  .morvanixId = 123456789,
                                  .morvanixIdTimestamp = 1700000000000};

    std::vector<double> latencies;
    std::int64_t failures = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        auto result = backend->sendAnalytics("bench-key", identifiers, reports);
        const auto end = std::chrono::steady_clock::now();
        latencies.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        failures += result.isSuccess() ? 0 : 1;
    }

    std::sort(latencies.begin(), latencies.end());
    state.counters["requests_per_s"] =
        benchmark::Counter(static_cast<double>(latencies.size()), benchmark::Counter::kIsRate);
    state.counters["p50_ms"] = latencies.empty() ? 0.0 : latencies[latencies.size() / 2];
    state.counters["failures"] = static_cast<double>(failures);

    BackendConfigUrl::setTestProxyUrl("");
    URLSessionSettings::reset();
    gateway.stop();
}
BENCHMARK(sendAnalyticsReport)
    ->ArgName("reuse")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(3.0);

}  // namespace
