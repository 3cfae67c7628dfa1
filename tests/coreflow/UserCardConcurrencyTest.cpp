#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "coreflow/CoreFlowHarness.hpp"
#include "mvk/MVKAnalytics.hpp"
#include "mvk/MVKEngineWrapper.hpp"
#include "mvk/MVKUserCard.hpp"
#include "support/LogCapture.hpp"
#include "support/Patience.hpp"

namespace mvk::test {
namespace {

constexpr int threadCount = 8;
constexpr int callsPerThread = 240;

/// One host thread's mix of setters and getters, hostile values included.
/// Each getter counts its answers in its own slot. Calls that write a row
/// are rare: the disk, not the library, would set the pace.
void hostCalls(int thread, std::vector<std::atomic<int>>& answers, std::atomic<int>& progress) {
    const std::string invalid = "\xff\xfe\xc3(" + std::to_string(thread);
    const std::string big(1 << 20, 'x');
    for (int i = 0; i < callsPerThread; ++i) {
        auto& slot = answers[static_cast<std::size_t>(thread * callsPerThread + i)];
        const auto answered = [&slot](auto&&...) { ++slot; };
        const bool writes = i % 48 < 12;
        switch (i % 12) {
            case 0:
                MVKUserCard::setName(invalid);
                break;
            case 1:
                MVKUserCard::setDouble("ratio", std::numeric_limits<double>::quiet_NaN());
                break;
            case 2:
                if (writes) {
                    MVKUserCard::incrementInt(invalid, std::numeric_limits<std::int64_t>::max());
                } else {
                    // Each 1 MB text costs the income queue a full character count.
                    MVKUserCard::setString("big", i == 2 ? big : invalid);
                }
                break;
            case 3:
                if (writes) {
                    MVKUserCard::setCheater(thread % 2 == 0);
                } else {
                    MVKUserCard::setInt("Gender", 1);
                }
                break;
            case 4:
                if (writes) {
                    MVKUserCard::unset({invalid, "ratio", "tester"});
                } else {
                    MVKUserCard::unset({"\x01", ""});
                }
                break;
            case 5:
                if (writes) {
                    MVKUserCard::clearUser();
                } else {
                    MVKUserCard::setBool("vip", true);
                }
                break;
            case 6:
                MVKUserCard::getGender(answered);
                break;
            case 7:
                MVKUserCard::getAge(answered);
                break;
            case 8:
                MVKUserCard::getValue(invalid, answered);
                break;
            case 9:
                MVKUserCard::getValue("big", answered);
                break;
            case 10:
                MVKUserCard::getValue("\x02", answered);
                break;
            default:
                MVKUserCard::getName(answered);
                break;
        }
        ++progress;
    }
}

TEST(UserCardConcurrency, EveryGetterIsAnsweredOnceAcrossStartsAndDestroys) {
    CoreFlowHarness h;
    LogCapture log(MVKLogLevel::error);
    std::vector<std::atomic<int>> answers(threadCount * callsPerThread);
    std::atomic<int> progress{0};
    std::atomic<bool> running{true};

    // Calls land before start-up, on a running core and behind a destroy.
    std::thread lifeCycle([&] {
        const auto waitForCalls = [&](int calls) {
            const int mark = progress + calls;
            while (running && progress < mark) {
                std::this_thread::yield();
            }
        };
        while (running) {
            waitForCalls(160);
            MVKAnalytics::initialize("user-card-key");
            waitForCalls(480);
            MVKEngineWrapper::destroySDK();
        }
    });
    std::vector<std::thread> hosts;
    for (int t = 0; t < threadCount; ++t) {
        hosts.emplace_back([&, t] { hostCalls(t, answers, progress); });
    }
    for (auto& host : hosts) {
        host.join();
    }
    running = false;
    lifeCycle.join();
    ASSERT_TRUE(h.drainIncome());
    QueueManager::networkSerialQueue().queue().drain(drainLimit());
    QueueManager::networkFlashQueue().queue().drain(drainLimit());
    ASSERT_TRUE(h.drainIncome());

    // Setters have no answer: only the getters' slots count.
    int wrong = 0;
    for (std::size_t n = 0; n < answers.size(); ++n) {
        const bool getter = n % callsPerThread % 12 >= 6;
        wrong += getter && answers[n].load() != 1 ? 1 : 0;
    }
    EXPECT_EQ(wrong, 0);
}

}  // namespace
}  // namespace mvk::test
