#include <benchmark/benchmark.h>

#include <string>

#include "analytics/ValidatorRules.hpp"
#include "foundation/Logger.hpp"

namespace {

// 255 characters of letters, emoji and letters with combining accents, so the
// cut and the count walk grapheme clusters of several code points.
std::string mixedText() {
    std::string text;
    for (int i = 0; i < 85; ++i) {
        text += "a";
        text += "\xF0\x9F\x98\x80";  // emoji
        text += "e\xCC\x81";         // e with a combining acute accent
    }
    return text;
}

mvk::AnyCodable::Object twentyParameters() {
    const std::string text = mixedText();
    mvk::AnyCodable::Object parameters;
    for (int i = 0; i < 20; ++i) {
        const std::string key = "parameter_" + std::to_string(i);
        switch (i % 4) {
            case 0:
                parameters.assign(key, text);
                break;
            case 1:
                parameters.assign(key, std::int64_t{i} * 1000);
                break;
            case 2:
                parameters.assign(key, 0.25 * i);
                break;
            default:
                parameters.assign(key, i % 2 == 0);
                break;
        }
    }
    return parameters;
}

void BM_ValidateCustomEvent20Parameters(benchmark::State& state) {
    mvk::Logger::setLogLevel(mvk::MVKLogLevel::error);
    const auto parameters = twentyParameters();
    for (auto _ : state) {
        auto result = mvk::ValidatorRules::validateCustomEvent("level_complete", parameters);
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_ValidateCustomEvent20Parameters);

}  // namespace
