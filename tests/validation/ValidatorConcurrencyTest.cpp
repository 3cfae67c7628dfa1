#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "analytics/Validator.hpp"
#include "analytics/ValidatorRules.hpp"

namespace mvk {
namespace {

// Host threads run checks while the income queue applies a new configuration
// and the shut-down empties the currency lists.
TEST(ValidatorConcurrency, ChecksRunWhileSettingsChange) {
    Validator settings;
    settings.setNumberOfCurrencies(2);
    ValidatorRules::clearCurrencyValidators();
    std::atomic<bool> writing{false};
    std::thread writer([&] {
        writing = true;
        for (int i = 0; i < 2000; ++i) {
            settings.setNumberOfCurrencies(i % 3);
            settings.setExcludedOptions(
                ValidatorSettingsProtocol::ExcludedOptions{{"ce", {AnyCodable(i)}}});
            ValidatorRules::clearCurrencyValidators();
        }
    });
    while (!writing) {
        std::this_thread::yield();
    }
    // Three currencies against limits of at most two: the list never
    // outgrows the largest limit, however the writes interleave.
    std::size_t overfull = 0;
    for (int i = 0; i < 2000; ++i) {
        Validator::isExcluded("ce", AnyCodable(i));
        ValidatorRules::validateLevelUp(1, {{"gold", 1}, {"gem", 2}, {"wood", 3}});
        const auto names = ValidatorRules::currencyNames(ValidatorRules::CurrencyList::levelUp);
        overfull += names.size() > 2 ? 1 : 0;
    }
    writer.join();
    EXPECT_EQ(overfull, 0u);
    // The last settings written hold for the checks after them.
    ValidatorRules::clearCurrencyValidators();
    EXPECT_EQ(ValidatorRules::validateLevelUp(1, {{"gold", 1}, {"gem", 2}})->balances.size(), 1u);
    EXPECT_TRUE(Validator::isExcluded("ce", AnyCodable(1999)));
    EXPECT_FALSE(Validator::isExcluded("ce", AnyCodable(1998)));
    Validator::resetSettingsForTesting();
    ValidatorRules::clearCurrencyValidators();
}

}  // namespace
}  // namespace mvk
