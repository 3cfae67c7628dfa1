#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "coreflow/LogicFlowFixture.hpp"
#include "mvk/MVKAnalytics.hpp"
#include "mvk/MVKAntiCheat.hpp"
#include "mvk/MVKApplication.hpp"
#include "mvk/MVKEngineWrapper.hpp"
#include "mvk/MVKUserCard.hpp"
#include "support/LogCapture.hpp"

namespace mvk::test {
namespace {

/// Calls each host thread makes; MVK_MIXED_CALLS raises it for a run by hand.
std::size_t callsPerThread() {
    constexpr std::size_t ci = 2000;
    const char* text = std::getenv("MVK_MIXED_CALLS");
    if (text == nullptr) {
        return ci;
    }
    const auto value = std::strtoull(text, nullptr, 10);
    return value > 0 ? static_cast<std::size_t>(value) : ci;
}

/// Eight host threads make the whole range of public calls on a real core,
/// with starts, destroys and life-cycle notifications among them: every
/// completion handler runs exactly once and the library ends idle.
TEST_F(LogicFlow, EightThreadsOfMixedPublicCallsCompleteEveryHandlerOnce) {
    constexpr std::size_t threads = 8;
    const std::size_t calls = callsPerThread();
    LogCapture log(MVKLogLevel::no);
    start();
    std::vector<std::atomic<int>> handled(threads * calls);
    std::vector<char> expected(threads * calls, 0);
    const auto begun = std::chrono::steady_clock::now();

    std::vector<std::thread> hosts;
    for (std::size_t t = 0; t < threads; ++t) {
        hosts.emplace_back([&, t] {
            MVKCustomEventParameters parameters;
            parameters.addInt("thread", static_cast<std::int64_t>(t));
            for (std::size_t i = 0; i < calls; ++i) {
                const std::size_t slot = t * calls + i;
                auto& count = handled[slot];
                const auto once = [&count] { ++count; };
                const auto n = static_cast<std::int64_t>(i);
                switch (i % 16) {
                    case 0:
                        parameters.addInt("i", n);
                        MVKAnalytics::customEvent("mixed", parameters);
                        break;
                    case 1:
                        MVKAnalytics::levelUp(n % 50 + 1, {{"gold", n}});
                        break;
                    case 2:
                        MVKUserCard::setString("k" + std::to_string(i % 7), "v");
                        MVKUserCard::setInt("n", n);
                        break;
                    case 3:
                        MVKUserCard::incrementInt("n", 1);
                        MVKUserCard::incrementDouble("d", 0.5);
                        break;
                    case 4:
                        expected[slot] = 1;
                        MVKAnalytics::getUserId([once](const std::string&) { once(); });
                        break;
                    case 5:
                        expected[slot] = 1;
                        MVKUserCard::getName([once](const std::string&) { once(); });
                        break;
                    case 6:
                        expected[slot] = 1;
                        MVKUserCard::getValue("n", [once](const auto&) { once(); });
                        break;
                    case 7:
                        if ((i / 16) % 2 == 0) {
                            MVKApplication::willResignActive();
                            h.application->willResignActive();
                        } else {
                            MVKApplication::didBecomeActive();
                            h.application->didBecomeActive();
                        }
                        break;
                    case 8:
                        MVKAnalytics::setCurrentLevel(n);
                        break;
                    case 9:
                        expected[slot] = 1;
                        MVKAnalytics::getCurrentLevel([once](std::int64_t) { once(); });
                        break;
                    case 10:
                        MVKAnalytics::tutorial(n % 100 + 1);
                        MVKUserCard::unset({"k1", "k2"});
                        break;
                    case 11:
                        MVKAnalytics::currencyAccrual("gold", 1, "quest", MVKAccrualType::earned);
                        break;
                    case 12:
                        // The one call that goes to the gateway: rare enough
                        // that a long run does not turn into a load test.
                        if (i % 512 == 12) {
                            expected[slot] = 1;
                            MVKAntiCheat::verifyPayment(
                                "receipt", [once](const MVKVerifyResponse&) { once(); });
                        } else {
                            MVKUserCard::setCheater(i % 2 == 0);
                        }
                        break;
                    case 13:
                        if (i % 1024 == 13 + 16 * t) {
                            MVKEngineWrapper::destroySDK();
                        } else if (i % 1024 == 13 + 16 * (t + 1)) {
                            MVKAnalytics::initialize(LogicFlow::key);
                        } else {
                            MVKAnalytics::sendBufferedEvents();
                        }
                        break;
                    case 14:
                        expected[slot] = 1;
                        MVKAnalytics::isRestoreTransactionHistoryRequired([once](bool) { once(); });
                        break;
                    default:
                        MVKUserCard::setAge(n % 90);
                        MVKUserCard::setGender(MVKGender::female);
                }
            }
        });
    }
    for (auto& host : hosts) {
        host.join();
    }
    h.application->didBecomeActive();
    settle();
    std::cout << "[ mixed calls ] " << threads << " x " << calls << " in "
              << std::chrono::duration_cast<std::chrono::milliseconds>(
                     std::chrono::steady_clock::now() - begun)
                     .count()
              << " ms\n";

    std::size_t wrong = 0;
    std::size_t first = handled.size();
    for (std::size_t slot = 0; slot < handled.size(); ++slot) {
        if (handled[slot].load() != expected[slot]) {
            ++wrong;
            first = std::min(first, slot);
        }
    }
    EXPECT_EQ(wrong, 0u) << "first at call " << first % calls << " of thread " << first / calls;
}

}  // namespace
}  // namespace mvk::test
