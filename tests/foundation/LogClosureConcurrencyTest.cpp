#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "foundation/Logger.hpp"
#include "mvk/MVKEngineWrapper.hpp"
#include "support/LogCapture.hpp"

namespace mvk {
namespace {

using namespace std::chrono_literals;
using Closure = MVKEngineWrapper::EngineLoggerMessageClosure;

class EngineClosureChange : public ::testing::TestWithParam<bool> {};

TEST_P(EngineClosureChange, TheOldClosureIsDoneAndReleasedWhenTheChangeReturns) {
    const bool replace = GetParam();
    test::LogCapture log(MVKLogLevel::debug);
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    bool changeReturned = false;
    bool sawTheChangeReturn = false;
    std::atomic<bool> oldFinished{false};
    std::atomic<int> oldCalls{0};
    std::atomic<int> newCalls{0};
    // Stands for what a plugin's closure captures and frees when it unloads.
    auto captured = std::make_shared<int>(0);
    const std::weak_ptr<int> watch = captured;
    MVKEngineWrapper::setEngineLoggerMessageClosure(
        [&, captured = std::move(captured)](MVKLogLevel, const std::string& line) {
            ++oldCalls;
            if (line != "ERROR hold") {
                return;
            }
            std::unique_lock lock(mutex);
            entered = true;
            changed.notify_all();
            // The change must not return while this call runs: a bounded wait
            // for something that must not happen.
            sawTheChangeReturn = changed.wait_for(lock, 200ms, [&] { return changeReturned; });
            oldFinished = true;
        });
    std::thread writer([] { Logger::writeLog(MVKLogLevel::error, "hold"); });
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return entered; });
    }
    MVKEngineWrapper::setEngineLoggerMessageClosure(
        replace ? Closure([&](MVKLogLevel, const std::string&) { ++newCalls; }) : Closure());
    const bool finishedAtReturn = oldFinished;
    const bool releasedAtReturn = watch.expired();
    {
        std::lock_guard lock(mutex);
        changeReturned = true;
    }
    changed.notify_all();
    writer.join();
    const int oldCallsAtReturn = oldCalls;
    Logger::writeLog(MVKLogLevel::error, "after");

    EXPECT_TRUE(finishedAtReturn);
    EXPECT_FALSE(sawTheChangeReturn);
    EXPECT_TRUE(releasedAtReturn);
    EXPECT_EQ(oldCalls, oldCallsAtReturn) << "called after its change returned";
    EXPECT_EQ(newCalls, replace ? 1 : 0);
    EXPECT_EQ(log.count(MVKLogLevel::error, "after"), replace ? 0u : 1u);
    MVKEngineWrapper::setEngineLoggerMessageClosure(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Changes, EngineClosureChange, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Replaced" : "Removed"; });

TEST(EngineClosureChange, AClosureMayRemoveItselfAndIsNotCalledAgain) {
    test::LogCapture log(MVKLogLevel::debug);
    std::atomic<int> calls{0};
    MVKEngineWrapper::setEngineLoggerMessageClosure([&](MVKLogLevel, const std::string&) {
        ++calls;
        MVKEngineWrapper::setEngineLoggerMessageClosure(nullptr);
        Logger::writeLog(MVKLogLevel::error, "inside");
    });
    std::thread writer([] { Logger::writeLog(MVKLogLevel::error, "first"); });
    writer.join();
    Logger::writeLog(MVKLogLevel::error, "after");
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(log.contains(MVKLogLevel::error, "inside"));
    EXPECT_TRUE(log.contains(MVKLogLevel::error, "after"));
}

}  // namespace
}  // namespace mvk
