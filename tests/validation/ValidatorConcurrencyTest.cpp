#include <gtest/gtest.h>

#include <thread>

#include "analytics/Validator.hpp"
#include "analytics/ValidatorRules.hpp"

namespace mvk {
namespace {

// Host threads run checks while the income queue applies a new configuration
// and the shut-down empties the currency lists.
TEST(ValidatorConcurrency, ChecksRunWhileSettingsChange) {
    Validator settings;
    std::thread writer([&] {
        for (int i = 0; i < 2000; ++i) {
            settings.setNumberOfCurrencies(i % 3);
            settings.setExcludedOptions(
                ValidatorSettingsProtocol::ExcludedOptions{{"ce", {AnyCodable(i)}}});
            ValidatorRules::clearCurrencyValidators();
        }
    });
    std::size_t admitted = 0;
    for (int i = 0; i < 2000; ++i) {
        Validator::isExcluded("ce", AnyCodable(i));
        admitted += ValidatorRules::validateLevelUp(1, {{"gold", 1}, {"gem", 2}})->balances.size();
    }
    writer.join();
    EXPECT_LE(admitted, 4000u);
    Validator::resetSettingsForTesting();
    ValidatorRules::clearCurrencyValidators();
}

}  // namespace
}  // namespace mvk
