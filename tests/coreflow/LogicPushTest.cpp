#include <gtest/gtest.h>

#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "coreflow/LogicFlowFixture.hpp"
#include "mvk/UnrealBridge.hpp"
#include "support/LogCapture.hpp"
#include "support/QuietAnalyticsLogic.hpp"

namespace mvk::test {
namespace {

/// What the host's completions received, one list per call.
struct HostAnswers {
    std::mutex mutex;
    std::vector<std::vector<std::string>> lists;
    bool allOnTheMessagingQueue = true;

    UnrealBridge::MessagingCategoriesCompletion completion() {
        return [this](const std::vector<std::string>& texts) {
            const bool onQueue = QueueManager::networkMessagingQueue().queue().isCurrent();
            std::lock_guard lock(mutex);
            lists.push_back(texts);
            allOnTheMessagingQueue = allOnTheMessagingQueue && onQueue;
        };
    }

    std::size_t count() {
        std::lock_guard lock(mutex);
        return lists.size();
    }

    /// The ids of the last answer, each object checked to hold exactly the
    /// keys a host category has.
    std::vector<std::string> lastIds() {
        std::lock_guard lock(mutex);
        std::vector<std::string> ids;
        if (lists.empty()) {
            return {"<no answer>"};
        }
        for (const auto& text : lists.back()) {
            const auto json = nlohmann::json::parse(text, nullptr, false);
            if (!json.is_object() || json.size() != 2 || !json.contains("buttons") ||
                !json["id"].is_string()) {
                ids.push_back("<bad: " + text + ">");
            } else {
                ids.push_back(json["id"]);
            }
        }
        return ids;
    }
};

std::string category(const std::string& id) {
    return R"({"id":")" + id +
           R"(","buttons":[{"id":"open","text":"Open","activationMode":null}]})";
}

std::string answer(std::int64_t version, const std::vector<std::string>& ids,
                   const std::string& removed = "") {
    std::string list;
    for (const auto& id : ids) {
        list += (list.empty() ? "" : ",") + category(id);
    }
    return R"({"pushCategories":{"version":)" + std::to_string(version) + R"(,"categories":[)" +
           list + "]" + (removed.empty() ? "" : R"(,"removed":)" + removed) + "}}";
}

struct PushCase {
    const char* name;
    int status;
    std::string body;
    std::vector<std::string> completion;
    std::vector<std::string> rows;
    std::string version;
    /// The counts line, or empty when the answer changes nothing.
    std::string countsLine;
};

void PrintTo(const PushCase& c, std::ostream* os) {
    *os << c.name;
}

std::string counts(int saved, int removed, int version) {
    return "[Messaging Module] Update push categories:\n\tsaved new categories: [" +
           std::to_string(saved) + "]\n\tremoved categories [" + std::to_string(removed) +
           "]\n\tcurrent categories version: [" + std::to_string(version) + "]";
}

class LogicPushCategories : public LogicFlow, public ::testing::WithParamInterface<PushCase> {};

// Each case starts from two stored categories, "a" and "b", of version 1.
TEST_P(LogicPushCategories, AnAnswerIsMergedIntoTheStoredCategories) {
    const auto& c = GetParam();
    h.gateway().setAnswer("/v2/messaging/config",
                          gateway::ScriptedAnswer::json(200, answer(1, {"a", "b"})));
    start();
    HostAnswers host;
    UnrealBridge::getMessagingCategories(host.completion());
    settle();
    ASSERT_EQ(host.lastIds(), (std::vector<std::string>{"a", "b"}));
    h.gateway().clearRequests();

    LogCapture log;
    h.gateway().setAnswer("/v2/messaging/config", gateway::ScriptedAnswer::json(c.status, c.body));
    UnrealBridge::getMessagingCategories(host.completion());
    settle();

    ASSERT_EQ(host.count(), 2u);
    EXPECT_EQ(host.lastIds(), c.completion);
    EXPECT_TRUE(host.allOnTheMessagingQueue);
    EXPECT_EQ(h.columnTexts("messagingCategory", "identifier"), c.rows);
    EXPECT_EQ(h.columnTexts("projects", "categoriesVersion"), std::vector<std::string>{c.version});
    if (c.countsLine.empty()) {
        EXPECT_FALSE(log.containsFragment("Update push categories")) << c.name;
    } else {
        EXPECT_TRUE(log.contains(MVKLogLevel::debug, c.countsLine)) << c.countsLine;
    }

    const auto requests = h.gateway().requests("/v2/messaging/config");
    ASSERT_EQ(requests.size(), 1u);
    const auto body = nlohmann::json::parse(requests[0].body);
    EXPECT_EQ(body["categoriesVersion"], 1);
    EXPECT_EQ(body["language"], "en");
    EXPECT_EQ(body["sdkCodeVersion"], 10);
    EXPECT_EQ(body["appVersion"], "1.4.2");
}

INSTANTIATE_TEST_SUITE_P(
    Answers, LogicPushCategories,
    ::testing::Values(PushCase{"OneNewOneRemoved",
                               200,
                               answer(2, {"c"}, R"(["a"])"),
                               {"b", "c"},
                               {"b", "c"},
                               "2",
                               counts(1, 1, 2)},
                      PushCase{"AnIdTwice",
                               200,
                               answer(2, {"c", "c", "a"}),
                               {"a", "b", "c"},
                               {"a", "b", "c"},
                               "2",
                               counts(1, 0, 2)},
                      PushCase{"AnUnknownRemovedId",
                               200,
                               answer(2, {}, R"(["x"])"),
                               {"a", "b"},
                               {"a", "b"},
                               "2",
                               counts(0, 0, 2)},
                      PushCase{"NullCategoriesWithoutRemoved",
                               200,
                               R"({"pushCategories":{"version":3,"categories":null}})",
                               {"a", "b"},
                               {"a", "b"},
                               "3",
                               counts(0, 0, 3)},
                      // Saved, it would come back with every later answer.
                      PushCase{"NewAndRemovedInOneAnswer",
                               200,
                               answer(2, {"c"}, R"(["c","b"])"),
                               {"a"},
                               {"a"},
                               "2",
                               counts(0, 2, 2)},
                      PushCase{"A500WithoutJson", 500, "not json", {"a", "b"}, {"a", "b"}, "1", ""},
                      PushCase{"AnUndecodableBody",
                               200,
                               R"({"pushCategories":{"categories":[]}})",
                               {"a", "b"},
                               {"a", "b"},
                               "1",
                               ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LogicFlow, ANewAndRemovedCategoryStaysGoneInLaterAnswers) {
    h.gateway().setAnswer("/v2/messaging/config",
                          gateway::ScriptedAnswer::json(200, answer(1, {"c"}, R"(["c"])")));
    start();
    HostAnswers host;
    UnrealBridge::getMessagingCategories(host.completion());
    settle();
    h.gateway().setAnswer("/v2/messaging/config",
                          gateway::ScriptedAnswer::json(200, answer(2, {"d"})));
    UnrealBridge::getMessagingCategories(host.completion());
    settle();
    EXPECT_EQ(host.lastIds(), std::vector<std::string>{"d"});
}

TEST_F(LogicFlow, RequestsInFlightTogetherStoreACategoryOnceAndARemovalTakesEveryRow) {
    h.gateway().setAnswer("/v2/messaging/config",
                          gateway::ScriptedAnswer::json(200, answer(1, {"a"})));
    start();
    HostAnswers host;
    // Both requests read the stored list before either answer is written.
    QueueManager::networkMessagingQueue().pause();
    UnrealBridge::getMessagingCategories(host.completion());
    UnrealBridge::getMessagingCategories(host.completion());
    const bool drained = h.drainIncome();
    QueueManager::networkMessagingQueue().resume();
    ASSERT_TRUE(drained);
    settle();
    ASSERT_EQ(host.count(), 2u);
    EXPECT_EQ(h.columnTexts("messagingCategory", "identifier"), std::vector<std::string>{"a"});

    // A table that already holds an id twice, as earlier versions could leave it.
    h.dropCore();
    settle();
    execute(
        "INSERT INTO messagingCategory (identifier, buttons) "
        "SELECT identifier, buttons FROM messagingCategory");
    h.gateway().setAnswer("/v2/messaging/config",
                          gateway::ScriptedAnswer::json(200, answer(2, {}, R"(["a"])")));
    restart();
    UnrealBridge::getMessagingCategories(host.completion());
    settle();
    EXPECT_EQ(host.lastIds(), std::vector<std::string>{});
    EXPECT_TRUE(h.columnTexts("messagingCategory", "identifier").empty());
}

class LogicPushEvents : public LogicFlow {
  public:
    /// Start-up without the analytics logic: no activity, so no session.
    void startWithoutSession() {
        Core::setAnalyticsLogicMakerForTesting(
            [](ServiceFactoryProtocol&, const std::shared_ptr<LifeCycleRepositoryProtocol>&) {
                return std::make_shared<QuietAnalyticsLogic>();
            });
        start();
    }
};

TEST_F(LogicPushEvents, WithoutASessionATokenIsRefusedAndAnOpenedPushHasNoSession) {
    startWithoutSession();
    LogCapture log;
    UnrealBridge::sendPushToken("token-1", true);
    UnrealBridge::sendPushOpened(1'600'000'000'123, 42, std::string("reply"));
    settle();

    EXPECT_TRUE(
        log.contains(MVKLogLevel::error, "Failed to generate push token event, sessionId is lost"));
    EXPECT_TRUE(sent("pt").empty());
    const auto opened = sent("po");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_FALSE(opened[0].contains("sessionId"));
    EXPECT_EQ(opened[0]["timestamp"], 1'600'000'000'123);
    EXPECT_EQ(opened[0]["pushId"], 42);
    EXPECT_EQ(opened[0]["button"], "reply");
}

TEST_F(LogicPushEvents, InASessionBothEventsAreSentAtOnceWithIt) {
    start();
    h.clock->advance(5000);
    UnrealBridge::sendPushToken(std::string("tok\xff", 4), false);
    UnrealBridge::sendPushOpened(1'600'000'000'000, 7, std::nullopt);
    settle();

    const auto tokens = sent("pt");
    ASSERT_EQ(tokens.size(), 1u);
    EXPECT_EQ(tokens[0]["token"], "tok\xEF\xBF\xBD");
    EXPECT_EQ(tokens[0]["isAllowed"], false);
    ASSERT_TRUE(tokens[0].contains("sessionId"));
    const auto opened = sent("po");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0]["sessionId"], tokens[0]["sessionId"]);
    EXPECT_EQ(opened[0]["timestamp"], 1'600'000'000'000) << "the host's time, not the clock's";
    EXPECT_FALSE(opened[0].contains("button"));
}

TEST_F(LogicPushEvents, BeforeStartUpTheCategoriesAreNeverAnswered) {
    LogCapture log;
    HostAnswers host;
    UnrealBridge::getMessagingCategories(host.completion());
    UnrealBridge::sendPushToken("token", true);
    settle();
    EXPECT_TRUE(log.contains(MVKLogLevel::error,
                             "In the getPushCategories(_:) method an error has occurred: The SDK "
                             "is not initialized yet!"));
    EXPECT_TRUE(log.contains(MVKLogLevel::error,
                             "In the pushToken(_:_:) method an error has occurred: The SDK is not "
                             "initialized yet!"));
    start();
    EXPECT_EQ(host.count(), 0u);
    EXPECT_TRUE(h.gateway().requests("/v2/messaging/config").empty());
}

}  // namespace
}  // namespace mvk::test
