#include <gtest/gtest.h>

#include <climits>
#include <optional>

#include "services/ServiceStoreTest.hpp"
#include "state/ActivityService.hpp"

namespace mvk {
namespace {

class ActivityServiceTest : public test::ServiceStoreTest {
  protected:
    ActivityServiceTest() { state->project->configuration.sessionTimeout = 600'000; }

    std::int64_t now() const { return clock->nowMillis(); }
    User& user() { return *state->user; }

    ActivityService service{state, users};
};

TEST_F(ActivityServiceTest, SessionContinuesUpToTheTimeoutAndNotOneMillisecondMore) {
    const struct {
        const char* name;
        std::optional<std::int64_t> backgroundAgo;
        bool newSession;
        /// Taken as the background time itself rather than an age.
        bool absolute = false;
    } cases[] = {
        {"never in the background", std::nullopt, true},
        {"exactly the timeout", 600'000, false},
        {"one millisecond more", 600'001, true},
        {"background time in the future", -5'000, false},
        {"a difference that would wrap", INT64_MIN, true, true},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        user().sessionId = 111;
        user().lastBackgroundTime = entry.backgroundAgo;
        if (entry.backgroundAgo && !entry.absolute) {
            user().lastBackgroundTime = now() - *entry.backgroundAgo;
        }
        users->update(state->user);

        ASSERT_EQ(service.startActivity(), entry.newSession);
        EXPECT_TRUE(service.isActive());
        EXPECT_EQ(user().lastForegroundTime, now());
        const auto stored = storedUser(user().idKey);
        if (entry.newSession) {
            EXPECT_EQ(user().sessionId, now());
            EXPECT_EQ(stored->sessionId, now());
            EXPECT_EQ(stored->lastBackgroundTime, now());
        } else {
            EXPECT_EQ(user().sessionId, 111);
            EXPECT_EQ(stored->lastForegroundTime, std::nullopt);  // written with a later write
        }
        service.stopActivity();
        user().lastForegroundTime.reset();
        clock->advance(1);
    }
}

TEST_F(ActivityServiceTest, SecondStartAnswersNothing) {
    ASSERT_EQ(service.startActivity(), true);
    EXPECT_EQ(service.startActivity(), std::nullopt);
    EXPECT_TRUE(log.contains(MVKLogLevel::debug, "Activity has already started"));
}

TEST_F(ActivityServiceTest, StopAnswersWholeSecondsAndRecordsTheBackgroundTime) {
    EXPECT_EQ(service.stopActivity(), std::nullopt);  // not active
    service.startActivity();
    clock->advance(1'999);
    EXPECT_EQ(service.stopActivity(), 1);
    EXPECT_FALSE(service.isActive());
    EXPECT_EQ(storedUser(user().idKey)->lastBackgroundTime, now());
    EXPECT_EQ(service.stopActivity(), std::nullopt);
}

TEST_F(ActivityServiceTest, LostForegroundTimeStillEndsTheActivity) {
    service.startActivity();
    user().lastForegroundTime.reset();
    EXPECT_EQ(service.stopActivity(), std::nullopt);
    EXPECT_TRUE(log.contains(MVKLogLevel::error, "LastForegroundTime is lost!"));
    EXPECT_FALSE(service.isActive());
    EXPECT_NE(service.startActivity(), std::nullopt);
}

TEST_F(ActivityServiceTest, BackgroundTimeIsRecordedOnlyWhileActive) {
    service.updateLastBackgroundTime();
    EXPECT_EQ(storedUser(user().idKey)->lastBackgroundTime, std::nullopt);
    EXPECT_FALSE(service.isValidSession());

    service.startActivity();
    clock->advance(15'000);
    service.updateLastBackgroundTime();
    EXPECT_EQ(storedUser(user().idKey)->lastBackgroundTime, now());
    clock->advance(600'000);
    EXPECT_TRUE(service.isValidSession());
    clock->advance(1);
    EXPECT_FALSE(service.isValidSession());
}

}  // namespace
}  // namespace mvk
