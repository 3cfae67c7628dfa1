#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <numeric>

#include "records/ExcludeEvents.hpp"
#include "services/PipelineHarness.hpp"
#include "support/FailingVfs.hpp"

namespace mvk::test {
namespace {

struct StoringCase {
    std::string name;
    bool tracking = true;
    std::optional<ExcludeEvents> exclude{};
    std::int64_t countForRequest = 10;
    int alreadyStored = 0;  // of the active user, by an earlier launch
    int active = 0;         // stored now for the active user
    int other = 0;          // stored now for a user who is not active
    std::size_t rows = 0;
    int providerCalls = 0;
    int actions = 0;
};

class StoringTest : public PipelineTest, public ::testing::WithParamInterface<StoringCase> {};

TEST_P(StoringTest, RowsProviderAndFullStackAction) {
    const auto& c = GetParam();
    const auto other = addStoredUser("other", 5);
    if (c.alreadyStored > 0) {
        EventRepository earlier(database);
        for (int n = 0; n < c.alreadyStored; ++n) {
            EventObject event("ce", -1, state->user->idKey, "{}");
            ASSERT_TRUE(earlier.insert(event));
        }
    }
    state->project->trackingAvailable = c.tracking;
    state->project->configuration.exclude = c.exclude;
    state->project->configuration.countForRequest = c.countForRequest;
    int providerCalls = 0;
    int actions = 0;
    controller->setEventProvider([&](const EventObject& event) {
        EXPECT_GT(event.idKey, 0);
        ++providerCalls;
    });
    eventsService->setOnFullStackAction([&] { ++actions; });

    store(c.active, *state->user);
    store(c.other, *other);

    EXPECT_EQ(storedEvents().size(), c.rows);
    EXPECT_EQ(providerCalls, c.providerCalls);
    EXPECT_EQ(actions, c.actions);
    // Each row keeps the user it was stored for, whoever is active.
    const bool kept = c.rows > 0;
    std::size_t ofActive = 0;
    std::size_t ofOther = 0;
    for (const auto& event : storedEvents()) {
        ofActive += event.userId == state->user->idKey ? 1 : 0;
        ofOther += event.userId == other->idKey ? 1 : 0;
    }
    EXPECT_EQ(ofActive, static_cast<std::size_t>(c.alreadyStored + (kept ? c.active : 0)));
    EXPECT_EQ(ofOther, static_cast<std::size_t>(kept ? c.other : 0));
}

ExcludeEvents excludeAll(std::optional<bool> all) {
    ExcludeEvents exclude;
    exclude.all = all;
    return exclude;
}

INSTANTIATE_TEST_SUITE_P(
    Events, StoringTest,
    ::testing::Values(
        StoringCase{.name = "trackingOff", .tracking = false, .active = 3},
        StoringCase{.name = "allExcluded", .exclude = excludeAll(true), .active = 3},
        StoringCase{.name = "excludeWithoutAll",
                    .exclude = excludeAll(std::nullopt),
                    .active = 3,
                    .rows = 3,
                    .providerCalls = 3},
        StoringCase{.name = "ninth", .active = 9, .rows = 9, .providerCalls = 9},
        StoringCase{.name = "tenth", .active = 10, .rows = 10, .providerCalls = 10, .actions = 1},
        StoringCase{
            .name = "eleventh", .active = 11, .rows = 11, .providerCalls = 11, .actions = 2},
        StoringCase{.name = "sixAndFour", .active = 6, .other = 4, .rows = 10, .providerCalls = 10},
        StoringCase{
            .name = "notActive", .other = 10, .rows = 10, .providerCalls = 10, .actions = 1},
        // The count of a fresh repository is read from the table.
        StoringCase{.name = "backlogFromEarlierLaunch",
                    .alreadyStored = 9,
                    .active = 1,
                    .rows = 10,
                    .providerCalls = 1,
                    .actions = 1},
        StoringCase{.name = "countZero",
                    .countForRequest = 0,
                    .active = 1,
                    .rows = 1,
                    .providerCalls = 1,
                    .actions = 1}),
    [](const auto& info) { return info.param.name; });

TEST_F(PipelineTest, RefusedInsertIsNotCountedNorOffered) {
    store(9, *state->user);
    ASSERT_TRUE(database->raw(
        "CREATE TRIGGER refuse BEFORE INSERT ON events BEGIN SELECT RAISE(ABORT, 'full'); END"));
    int providerCalls = 0;
    int actions = 0;
    controller->setEventProvider([&](const EventObject&) { ++providerCalls; });
    eventsService->setOnFullStackAction([&] { ++actions; });
    store(1, *state->user);
    EXPECT_EQ(storedEvents().size(), 9u);
    EXPECT_EQ(providerCalls, 0);
    EXPECT_EQ(actions, 0);
}

TEST_F(PipelineTest, ActionThatPacksTheCountedRowsKeepsTheCountRight) {
    // The real action packs and deletes the rows just counted; the next
    // ten events must fire it again, no earlier.
    int actions = 0;
    eventsService->setOnFullStackAction([&] {
        ++actions;
        reportService->sendBufferedEvents();
    });
    store(19, *state->user);
    EXPECT_EQ(actions, 1);
    store(1, *state->user);
    EXPECT_EQ(actions, 2);
    settle();
    EXPECT_TRUE(storedEvents().empty());
    EXPECT_EQ(sent().size(), 2u);
}

TEST_F(PipelineTest, ProviderMayClearItselfWhileItRuns) {
    int calls = 0;
    auto big = std::make_shared<std::vector<int>>(100, 7);
    controller->setEventProvider([&, big](const EventObject&) {
        controller->setEventProvider(std::nullopt);
        calls += (*big)[99];  // still alive: the controller called a copy
    });
    store(2, *state->user);
    EXPECT_EQ(calls, 7);
}

struct GateCase {
    std::string name;
    bool sending = true;
    std::optional<std::int64_t> freeze{};
    std::optional<ExperimentMarker> marker{};
    std::vector<std::pair<std::int64_t, std::string>> input;
    std::vector<std::pair<std::int64_t, nlohmann::json>> output;  // null: text unchanged
};

class GateTest : public ::testing::TestWithParam<GateCase> {};

TEST_P(GateTest, KeptEventsAndTheirText) {
    const auto& c = GetParam();
    EventController gate;
    if (!c.sending) {
        gate.stopReportSending();
    }
    if (c.freeze) {
        gate.freezeEvent(EventObject("ce", *c.freeze, 1, "{}"));
    }
    gate.setExperimentMarker(c.marker);
    std::vector<EventObject> events;
    for (const auto& [id, text] : c.input) {
        events.emplace_back("ce", id, 1, text);
    }
    const auto kept = gate.richEventObjects(events);
    ASSERT_EQ(kept.size(), c.output.size());
    for (std::size_t n = 0; n < kept.size(); ++n) {
        EXPECT_EQ(kept[n].idKey, c.output[n].first);
        const auto original = std::find_if(c.input.begin(), c.input.end(), [&](const auto& in) {
            return in.first == kept[n].idKey;
        });
        if (c.output[n].second.is_null()) {
            EXPECT_EQ(kept[n].json, original->second);
        } else {
            EXPECT_EQ(nlohmann::json::parse(kept[n].json), c.output[n].second);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Events, GateTest,
    ::testing::Values(
        GateCase{.name = "sendingOff", .sending = false, .input = {{1, "{}"}, {2, "{}"}}},
        GateCase{.name = "freeze10",
                 .freeze = 10,
                 .input = {{8, "{}"}, {9, "{}"}, {10, "{}"}, {11, "{}"}},
                 .output = {{8, nullptr}, {9, nullptr}}},
        GateCase{
            .name = "markerReplacesInExperiments",
            .marker = ExperimentMarker{5, "B"},
            .input = {{1, R"({"code":"ce","timestamp":1,"inExperiments":"x"})"}},
            .output = {{1, nlohmann::json::parse(R"({"code":"ce","timestamp":1,)"
                                                 R"("inExperiments":[{"id":5,"group":"B"}]})")}}},
        GateCase{.name = "notAnObjectGoesOutUnchanged",
                 .marker = ExperimentMarker{5, "B"},
                 .input = {{1, "[1,2]"}, {2, ""}, {3, "{broken"}},
                 .output = {{1, nullptr}, {2, nullptr}, {3, nullptr}}},
        GateCase{.name = "open", .input = {{1, R"({"a":1})"}}, .output = {{1, nullptr}}}),
    [](const auto& info) { return info.param.name; });

TEST_F(PipelineTest, PackingFollowsTheUserOrderAndTheReportSize) {
    QueueManager::networkSerialQueue().pause();
    state->user->sessionId = 20;
    const auto second = addStoredUser("second", 10);
    const auto third = addStoredUser("third", std::nullopt);
    store(25, *state->user);
    store(1, *third, "");
    store(2, *second);

    onIncome([&] { reportService->sendBufferedEvents(); });

    // The third user's one event could not be encoded: no report for it.
    const auto reports = storedReports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].userId, second->idKey);
    EXPECT_EQ(reports[1].userId, state->user->idKey);
    std::vector<std::size_t> sizes;
    for (const auto& package : reports[1].packages()) {
        sizes.push_back(package.events->size());
    }
    EXPECT_EQ(sizes, (std::vector<std::size_t>{10, 10, 5}));
    EXPECT_TRUE(storedEvents().empty());

    QueueManager::networkSerialQueue().resume();
    settle();
    EXPECT_EQ(sent().size(), 2u);
    EXPECT_TRUE(storedReports().empty());
}

TEST_F(PipelineTest, CountZeroPacksOneEventPerPackage) {
    state->project->configuration.countForRequest = 0;
    QueueManager::networkSerialQueue().pause();
    store(3, *state->user);
    onIncome([&] { reportService->sendBufferedEvents(); });
    ASSERT_EQ(storedReports().size(), 1u);
    EXPECT_EQ(storedReports()[0].packages().size(), 3u);
}

TEST_F(PipelineTest, LongBacklogBecomesSeveralBoundedReportsInOrder) {
    QueueManager::networkSerialQueue().pause();
    const std::string filler(10'000, 'x');
    onIncome([&] {
        for (int n = 0; n < 250; ++n) {
            eventsService->addEvent(
                TestEvent("ce", R"({"n":)" + std::to_string(n) + R"(,"f":")" + filler + R"("})"),
                *state->user);
        }
        reportService->sendBufferedEvents();
    });
    const auto reports = storedReports();
    ASSERT_EQ(reports.size(), 3u);
    int expected = 0;
    for (const auto& report : reports) {
        std::size_t bytes = 0;
        for (const auto& package : report.packages()) {
            for (const auto& text : *package.events) {
                bytes += text.size();
                EXPECT_EQ(nlohmann::json::parse(text)["n"], expected++);
            }
        }
        EXPECT_LE(bytes, ReportService::maxReportEventBytes);
    }
    EXPECT_EQ(expected, 250);
    EXPECT_TRUE(storedEvents().empty());
}

TEST_F(PipelineTest, NothingIsPackedWhileSendingIsHeldOrTheReportCannotBeStored) {
    QueueManager::networkSerialQueue().pause();
    store(4, *state->user);
    controller->stopReportSending();
    onIncome([&] { reportService->sendBufferedEvents(); });
    EXPECT_EQ(storedEvents().size(), 4u);
    EXPECT_TRUE(storedReports().empty());

    controller->startReportSending();
    ASSERT_TRUE(database->raw(
        "CREATE TRIGGER refuse BEFORE INSERT ON reports BEGIN SELECT RAISE(ABORT, 'no'); END"));
    onIncome([&] { reportService->sendBufferedEvents(); });
    EXPECT_EQ(storedEvents().size(), 4u);
    EXPECT_TRUE(storedReports().empty());
    EXPECT_TRUE(log.containsFragment("can't be stored; its events stay for the next request"));

    // The events are counted still: the next request packs them.
    ASSERT_TRUE(database->raw("DROP TRIGGER refuse"));
    onIncome([&] { reportService->sendBufferedEvents(); });
    EXPECT_TRUE(storedEvents().empty());
    ASSERT_EQ(storedReports().size(), 1u);
    EXPECT_EQ(storedReports()[0].packages()[0].events->size(), 4u);
}

struct RowIdCase {
    std::string name;
    std::vector<std::int64_t> ids;  // rows another program wrote with these ids
    int before = 0;                 // events stored before them
    int after = 0;                  // and after them
};

class RowIdTest : public PipelineTest, public ::testing::WithParamInterface<RowIdCase> {};

// The row id is SQLite's signed rowid: a file another program wrote, or a
// salvage of one, may hold rows at or below zero, and each must still be
// packed and sent once.
TEST_P(RowIdTest, EveryRowIsSentOnceWhateverItsId) {
    const auto& c = GetParam();
    std::map<std::string, int> expected;
    const auto storeNamed = [&](int count, const std::string& prefix) {
        for (int n = 0; n < count; ++n) {
            const auto name = prefix + std::to_string(n);
            store(1, *state->user, R"({"code":"ce","n":")" + name + R"("})");
            ++expected[name];
        }
    };
    storeNamed(c.before, "before");
    for (const auto id : c.ids) {
        const auto name = "id" + std::to_string(id);
        ASSERT_TRUE(database->raw("INSERT INTO events (id, code, userId, eventJson) VALUES (" +
                                  std::to_string(id) + ", 'ce', " +
                                  std::to_string(state->user->idKey) + R"(, '{"code":"ce","n":")" +
                                  name + R"("}'))"));
        ++expected[name];
    }
    storeNamed(c.after, "after");

    onIncome([&] { reportService->sendBufferedEvents(); });
    settle();

    std::map<std::string, int> sentNames;
    for (const auto& request : sent()) {
        for (const auto& package : packagesOf(request)) {
            for (const auto& event : package.at("events")) {
                ++sentNames[event.value("n", "")];
            }
        }
    }
    EXPECT_EQ(sentNames, expected);
    EXPECT_TRUE(storedEvents().empty());
    EXPECT_TRUE(storedReports().empty());
    EXPECT_FALSE(log.containsFragment("can't be stored"));
}

constexpr auto lowestRowId = std::numeric_limits<std::int64_t>::min();

INSTANTIATE_TEST_SUITE_P(
    Events, RowIdTest,
    ::testing::Values(RowIdCase{.name = "zero", .ids = {0}, .after = 3},
                      RowIdCase{.name = "negative", .ids = {-5}, .before = 2, .after = 2},
                      RowIdCase{.name = "lowest", .ids = {lowestRowId}, .before = 3},
                      RowIdCase{.name = "onlyBelowOne", .ids = {lowestRowId, -5, 0}},
                      // The first chunk of packing ends among the ordinary rows
                      // and the next one must go on from there.
                      RowIdCase{.name = "mixedOverTwoChunks",
                                .ids = {lowestRowId, -5, 0},
                                .before = 2,
                                .after = static_cast<int>(ReportService::packingChunk)}),
    [](const auto& info) { return info.param.name; });

/// The failing file layer is in place before the fixture opens its database.
struct WithFailingVfs {
    FailingVfs vfs;
};

class PipelineLostGroupTest : public WithFailingVfs, public PipelineTest {};

// A report whose commit fails may take the events stored in the same group
// with it: the line then says they are lost, not that they wait.
TEST_F(PipelineLostGroupTest, AFailedReportCommitSaysWhetherItsEventsWereLost) {
    // With a block waiting behind, the stored events open a group that the
    // report's commit ends.
    auto& income = QueueManager::incomeQueue().queue();
    income.pause();
    income.addOperation([&] {
        for (int n = 0; n < 4; ++n) {
            eventsService->addEvent(TestEvent("ce", R"({"code":"ce"})"), *state->user);
        }
        vfs.failLogWrites();
        reportService->sendBufferedEvents();
    });
    income.addOperation([] {});
    income.resume();
    settle();
    ASSERT_EQ(vfs.failed(), 1);
    EXPECT_TRUE(storedEvents().empty());
    EXPECT_TRUE(storedReports().empty());
    EXPECT_TRUE(log.containsFragment("were lost with it"));
    EXPECT_FALSE(log.containsFragment("its events stay for the next request"));
}

}  // namespace
}  // namespace mvk::test
