#include <gtest/gtest.h>

#include <thread>

#include "abtest/ABTestDefaultParamsCache.hpp"

namespace mvk {
namespace {

// The host sets defaults on one queue while the logic reads them on another;
// a reader must only ever see one whole map.
TEST(ABTestDefaultParamsCacheConcurrencyTest, ReadersSeeWholeMaps) {
    ABTestDefaultParamsCache cache;
    EXPECT_TRUE(cache.savedDefaults().empty());
    constexpr int rounds = 2000;
    std::thread writer([&cache] {
        for (int round = 1; round <= rounds; ++round) {
            ABTestDefaultParamsCache::Defaults defaults;
            for (int key = 0; key < round % 8 + 1; ++key) {
                defaults.emplace("key" + std::to_string(key), std::int64_t{round});
            }
            cache.setSavedDefaults(std::move(defaults));
        }
    });
    // No ASSERT before the join: leaving with a joinable thread would terminate.
    int torn = 0;
    for (int read = 0; read < rounds; ++read) {
        auto defaults = cache.savedDefaults();
        if (defaults.empty()) {
            continue;
        }
        const auto* first = std::get_if<std::int64_t>(&defaults.begin()->second);
        const auto round = first != nullptr ? *first : -1;
        bool whole = defaults.size() == static_cast<std::size_t>(round % 8 + 1);
        for (const auto& entry : defaults) {
            whole = whole && entry.second == MVKRemoteConfigDefault(round);
        }
        torn += whole ? 0 : 1;
    }
    writer.join();
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(cache.savedDefaults().size(), static_cast<std::size_t>(rounds % 8 + 1));
}

}  // namespace
}  // namespace mvk
