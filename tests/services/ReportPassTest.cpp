#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <stdexcept>
#include <utility>

#include "foundation/Base64.hpp"
#include "records/Reports.hpp"
#include "services/PipelineHarness.hpp"
#include "support/FaultyDatabase.hpp"
#include "support/Patience.hpp"

namespace mvk::test {
namespace {

using namespace std::chrono_literals;

gateway::ScriptedAnswer answer(int status, std::chrono::milliseconds delay = 0ms) {
    auto scripted = gateway::ScriptedAnswer::json(status, "{}");
    scripted.delay = delay;
    return scripted;
}

class ReportPassTest : public PipelineTest {
  protected:
    /// One stored report per call, for the active user, whose one event
    /// carries `n`.
    void storeReport(int n) {
        Package package;
        package.sdkVersion = "2.2.6";
        package.events = std::vector<std::string>{R"({"n":)" + std::to_string(n) + "}"};
        Report report({package}, "REPORT-" + std::to_string(n));
        report.userId = state->user->idKey;
        onIncome([&] { ASSERT_TRUE(reportsRepository->insert(report, [] { return true; })); });
    }
    void send() {
        onIncome([&] { reportService->sendBufferedEvents(); });
        settle();
    }
    std::vector<int> sentNumbers() {
        std::vector<int> numbers;
        for (const auto& request : sent()) {
            numbers.push_back(packagesOf(request)[0]["events"][0].value("n", -1));
        }
        return numbers;
    }
    std::vector<int> storedNumbers() const {
        std::vector<int> numbers;
        for (const auto& report : storedReports()) {
            numbers.push_back(
                nlohmann::json::parse(report.packages()[0].events->front()).value("n", -1));
        }
        return numbers;
    }
    void enqueue(gateway::ScriptedAnswer scripted) {
        gateway.gateway().enqueueAnswer(reportPath, std::move(scripted));
    }
    /// A fresh report service whose reports lie in a database the test can
    /// fail, with no request recorded yet.
    std::shared_ptr<FaultyDatabase> withFaultyReports() {
        gateway.gateway().clearRequests();
        auto faulty = std::make_shared<FaultyDatabase>(database);
        reportsRepository = std::make_shared<ReportsRepository>(faulty);
        reportService = std::make_shared<ReportService>(state, controller, eventRepository,
                                                        reportsRepository, gateway.sharedBackend());
        return faulty;
    }
};

/// The answers that settle a report, and the passes each takes to do it.
struct Settling {
    int status;
    int passesToSettle;
};
constexpr Settling settlings[] = {{200, 1}, {400, ReportService::maxRefusedPasses}};

TEST_F(ReportPassTest, FailureEndsThePassAndKeepsTheRest) {
    for (int n = 1; n <= 3; ++n) {
        storeReport(n);
    }
    enqueue(answer(200));
    enqueue(answer(500));
    send();
    EXPECT_EQ(sentNumbers(), (std::vector<int>{1, 2}));
    EXPECT_EQ(storedNumbers(), (std::vector<int>{2, 3}));
    EXPECT_TRUE(log.contains(MVKLogLevel::debug, "The network queue is stopped"));

    // Both flags were cleared: the next request sends again, from the first
    // stored report, and nothing more follows by itself.
    send();
    EXPECT_EQ(sentNumbers(), (std::vector<int>{1, 2, 2, 3}));
    EXPECT_TRUE(storedReports().empty());
}

struct RefusalCase {
    int status;
    bool droppedAfterThreePasses;
};

class RefusalTest : public ReportPassTest, public ::testing::WithParamInterface<RefusalCase> {};

// Only a refusal of the report itself may delete it: a status about access or
// routing (a revoked key, a captive portal, a wrong proxy) refuses every
// report, and keeps them all as a passing fault does.
TEST_P(RefusalTest, OnlyARefusalOfTheReportItselfDeletesItAfterThreePasses) {
    const auto [status, dropped] = GetParam();
    storeReport(1);
    storeReport(2);
    const auto uuid = storedReports()[0].uuid;
    gateway.gateway().setAnswer(reportPath, answer(status));
    send();
    send();
    gateway.gateway().setAnswer(reportPath, answer(200));
    enqueue(answer(status));
    send();
    if (dropped) {
        EXPECT_EQ(sentNumbers(), (std::vector<int>{1, 1, 1, 2}));
        EXPECT_TRUE(storedReports().empty());
        EXPECT_TRUE(log.contains(
            MVKLogLevel::error, "The Report [" + uuid + "] is refused by the gateway with status " +
                                    std::to_string(status) + " and has been deleted"));
    } else {
        EXPECT_EQ(sentNumbers(), (std::vector<int>{1, 1, 1}));
        EXPECT_EQ(storedNumbers(), (std::vector<int>{1, 2}));
        EXPECT_FALSE(log.containsFragment("has been deleted"));
    }
}

INSTANTIATE_TEST_SUITE_P(Statuses, RefusalTest,
                         ::testing::Values(RefusalCase{400, true}, RefusalCase{413, true},
                                           RefusalCase{422, true}, RefusalCase{401, false},
                                           RefusalCase{403, false}, RefusalCase{404, false},
                                           RefusalCase{407, false}, RefusalCase{408, false},
                                           RefusalCase{429, false}, RefusalCase{500, false},
                                           RefusalCase{503, false}),
                         [](const auto& info) { return std::to_string(info.param.status); });

// A full disk can refuse the deletion of a report the gateway has settled:
// the row stays, yet this process must not send it again (its events would
// count twice), and the next settled report takes its deletion along.
TEST_F(ReportPassTest, ASettledReportWhoseDeletionFailedIsNotSentAgainInTheSameRun) {
    for (const auto& entry : settlings) {
        SCOPED_TRACE(entry.status);
        const auto faulty = withFaultyReports();
        storeReport(1);
        gateway.gateway().setAnswer(reportPath, answer(entry.status));
        for (int pass = 1; pass < entry.passesToSettle; ++pass) {
            send();
        }
        faulty->fail(FaultyDatabase::Operation::deleteRows, "reports");
        send();
        ASSERT_EQ(faulty->failures(), 1);
        EXPECT_EQ(storedNumbers(), (std::vector<int>{1}));
        send();
        EXPECT_EQ(sent().size(), static_cast<std::size_t>(entry.passesToSettle));

        gateway.gateway().setAnswer(reportPath, answer(200));
        storeReport(2);
        send();
        EXPECT_EQ(sentNumbers().back(), 2);
        EXPECT_EQ(sent().size(), static_cast<std::size_t>(entry.passesToSettle + 1));
        EXPECT_TRUE(storedReports().empty());
    }
}

// Sending never outruns deleting: once a settled report stays in the file
// (a full disk, a file turned read-only), the next start sends it again, and
// every report sent after it would go twice as well. So nothing more leaves,
// in that pass or a later one, until its deletion succeeds; then the rest
// goes, each report once.
TEST_F(ReportPassTest, ASettledReportThatCannotBeDeletedHoldsBackEveryLaterReport) {
    for (const auto& entry : settlings) {
        SCOPED_TRACE(entry.status);
        const auto faulty = withFaultyReports();
        for (int n = 1; n <= 3; ++n) {
            storeReport(n);
        }
        gateway.gateway().setAnswer(reportPath, answer(entry.status));
        faulty->fail(FaultyDatabase::Operation::deleteRows, "reports", 0);
        for (int pass = 1; pass <= entry.passesToSettle + 2; ++pass) {
            send();
        }
        EXPECT_EQ(sentNumbers(),
                  std::vector<int>(static_cast<std::size_t>(entry.passesToSettle), 1));
        EXPECT_EQ(storedNumbers(), (std::vector<int>{1, 2, 3}));
        EXPECT_TRUE(
            log.contains(MVKLogLevel::error,
                         "A sent report still can't be deleted; no report is sent until it is"));

        faulty->heal();
        gateway.gateway().setAnswer(reportPath, answer(200));
        send();
        auto expected = std::vector<int>(static_cast<std::size_t>(entry.passesToSettle), 1);
        expected.insert(expected.end(), {2, 3});
        EXPECT_EQ(sentNumbers(), expected);
        EXPECT_TRUE(storedReports().empty());
    }
}

TEST_F(ReportPassTest, RequestDuringAPassIsStoredAtOnceAndSentInOneFurtherPass) {
    storeReport(1);
    enqueue(answer(200, 500ms));
    onIncome([&] { reportService->sendBufferedEvents(); });
    ASSERT_TRUE(gateway.gateway().waitForRequests(reportPath, 1, test::patience(5s)));
    store(1, *state->user, R"({"n":2})");
    onIncome([&] {
        reportService->sendBufferedEvents();
        reportService->sendBufferedEvents();
    });
    EXPECT_EQ(storedNumbers(), (std::vector<int>{1, 2}));
    EXPECT_TRUE(storedEvents().empty());
    settle();
    EXPECT_EQ(sentNumbers(), (std::vector<int>{1, 2}));
    EXPECT_TRUE(storedReports().empty());
}

TEST_F(ReportPassTest, FlashEventLeavesWhileAPassWaits) {
    storeReport(1);
    enqueue(answer(200, 2s));
    onIncome([&] { reportService->sendBufferedEvents(); });
    ASSERT_TRUE(gateway.gateway().waitForRequests(reportPath, 1, test::patience(5s)));
    onIncome([&] { reportService->sendFlashEvent(TestEvent("al", R"({"code":"al"})")); });
    ASSERT_TRUE(gateway.gateway().waitForRequests(reportPath, 2, 1500ms));
    EXPECT_EQ(storedNumbers(), (std::vector<int>{1})) << "the pass still waits";
    EXPECT_EQ(packagesOf(sent()[1])[0]["events"][0]["code"], "al");
    settle();
    EXPECT_TRUE(storedReports().empty());
}

TEST_F(ReportPassTest, RemovingAllReportsDuringAPassSendsNoMoreOfThem) {
    storeReport(1);
    storeReport(2);
    enqueue(answer(200, 500ms));
    onIncome([&] { reportService->sendBufferedEvents(); });
    ASSERT_TRUE(gateway.gateway().waitForRequests(reportPath, 1, test::patience(5s)));
    onIncome([&] { reportService->removeAllReports(); });
    EXPECT_TRUE(storedReports().empty());
    settle();
    EXPECT_EQ(sentNumbers(), (std::vector<int>{1}));
    EXPECT_TRUE(storedReports().empty());
    EXPECT_FALSE(log.containsFragment("can't be deleted"));
}

TEST_F(ReportPassTest, InactiveUserIsSentWithoutTheBackendIds) {
    state->device->previousDeviceIdentifier = "device-before";
    state->device->morvanixId = 77;
    state->device->crossPlatformMorvanixId = 78;
    state->device->morvanixIdTimestamp = 79;
    state->user->sessionId = 1;
    const auto other = addStoredUser("other", 2);
    other->previousUserId = "other-before";
    store(1, *state->user);
    store(1, *other);
    send();
    const auto requests = sent();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].header("MorvanixId"), "77");
    const auto& inactive = requests[1];
    EXPECT_EQ(inactive.header("UserId"), base64Encode("other"));
    EXPECT_EQ(inactive.header("PreviousUserId"), base64Encode("other-before"));
    EXPECT_EQ(inactive.header("DeviceId"), base64Encode("device-uid"));
    EXPECT_EQ(inactive.header("PreviousDeviceId"), base64Encode("device-before"));
    for (const char* name : {"MorvanixId", "CrossPlatformMorvanixId", "MorvanixIdTimestamp"}) {
        EXPECT_EQ(inactive.headerCount(name), 0u) << name;
    }
}

TEST_F(ReportPassTest, AcceptedReportIsDeletedEvenWhenTheServiceIsReleasedMeanwhile) {
    storeReport(1);
    enqueue(answer(200, 500ms));
    onIncome([&] { reportService->sendBufferedEvents(); });
    ASSERT_TRUE(gateway.gateway().waitForRequests(reportPath, 1, test::patience(5s)));
    std::weak_ptr<ReportService> weak = reportService;
    onIncome([&] { reportService.reset(); });
    settle();
    EXPECT_TRUE(weak.expired());
    EXPECT_TRUE(storedReports().empty());
}

/// A gateway whose first request throws, as a broken transport might.
class ThrowingOnceBackend final : public BackendProtocol {
  public:
    explicit ThrowingOnceBackend(std::shared_ptr<BackendProtocol> inner)
        : inner_(std::move(inner)) {}
    std::shared_ptr<BackendRepositoryProtocol> repository() const override {
        return inner_->repository();
    }
    bool hasGateway() const override { return inner_->hasGateway(); }
    ConfigRequestResult requestConfig(const std::string& a, const Identifiers& i,
                                      const Versions& v) override {
        return inner_->requestConfig(a, i, v);
    }
    BackendIdentifiers requestIdentification(const std::string& a, std::int64_t n,
                                             const Identifiers& i) override {
        return inner_->requestIdentification(a, n, i);
    }
    SendAnalyticsResult sendAnalytics(const std::string& a, const Identifiers& i,
                                      Reports r) override {
        if (!thrown_.exchange(true)) {
            throw std::runtime_error("transport broke");
        }
        return inner_->sendAnalytics(a, i, std::move(r));
    }
    MVKVerifyResponse sendVerifyReceipt(const std::string& a, const Receipt& r,
                                        const Identifiers& i) override {
        return inner_->sendVerifyReceipt(a, r, i);
    }
    std::optional<MessagingConfig> requestMessagingConfig(const std::string& a,
                                                          const MessagingRequestObject& r,
                                                          const Identifiers& i) override {
        return inner_->requestMessagingConfig(a, r, i);
    }
    std::optional<RemoteConfig> requestABTestConfig(const std::string& a, const Identifiers& i,
                                                    const Versions& v) override {
        return inner_->requestABTestConfig(a, i, v);
    }
    std::optional<InvolvedExperimentsContainer> requestAbTestOffer(
        const std::string& a, const Identifiers& i, const SuitableExperiments& s) override {
        return inner_->requestAbTestOffer(a, i, s);
    }

  private:
    std::shared_ptr<BackendProtocol> inner_;
    std::atomic<bool> thrown_{false};
};

TEST_F(ReportPassTest, PassThatThrowsStillEndsSoTheNextOneRuns) {
    storeReport(1);
    reportService = std::make_shared<ReportService>(
        state, controller, eventRepository, reportsRepository,
        std::make_shared<ThrowingOnceBackend>(gateway.sharedBackend()));
    send();
    EXPECT_TRUE(log.containsFragment("The report pass stopped: transport broke"));
    EXPECT_EQ(storedNumbers(), (std::vector<int>{1}));
    send();
    EXPECT_EQ(sentNumbers(), (std::vector<int>{1}));
    EXPECT_TRUE(storedReports().empty());
}

TEST_F(ReportPassTest, StoredPackagesTheReaderCannotFollowGoOutAsStored) {
    const std::string foreign = R"([{"engine":"Unreal","events":[{"n":1}]}])";
    ASSERT_TRUE(database->insert(
        "reports",
        {{"userId", state->user->idKey}, {"packagesJson", foreign}, {"uuid", "A-FOREIGN"}}));
    ASSERT_TRUE(database->insert(
        "reports",
        {{"userId", state->user->idKey}, {"packagesJson", "not json"}, {"uuid", "B-BROKEN"}}));
    storeReport(3);
    send();
    const auto requests = sent();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(packagesOf(requests[0]), nlohmann::json::parse(foreign));
    EXPECT_EQ(packagesOf(requests[1])[0]["events"][0]["n"], 3);
    const auto kept = storedReports();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].uuid, "B-BROKEN");
    EXPECT_TRUE(log.contains(MVKLogLevel::error,
                             "The stored packages of the Report [B-BROKEN] can't be used; "
                             "the report is kept"));
}

// A stored event the reader of a report cannot take back whole is never sent
// as {} (an event without code or time), never blocks the events around it,
// and goes from the table with the report it would have joined; alone it
// still goes, and no empty report is sent for it.
TEST_F(ReportPassTest, AnUnreadableStoredEventIsLeftOutNamedAndDeleted) {
    const auto tooManyValues = [] {
        std::string text = R"({"code":"ce","v":[)";
        for (std::size_t n = 0; n < AnyCodable::maxValues; ++n) {
            text += n == 0 ? "0" : ",0";
        }
        return text + "]}";
    }();
    const auto tooDeepForAReport = std::string(R"({"a":)") +
                                   std::string(AnyCodable::maxDepth - 3, '[') + "1" +
                                   std::string(AnyCodable::maxDepth - 3, ']') + "}";
    const struct Case {
        const char* label;
        std::optional<std::string> stored;  // none: code and text columns NULL
        const char* fault;
    } cases[] = {
        {"more values than the reader takes", tooManyValues, "more than 100000 values"},
        {"nesting too deep once inside a report", tooDeepForAReport, "nesting deeper than 125"},
        {"malformed JSON", R"({"code":"ce","n":)", "parse error"},
        {"not an object", R"(["ce",1])", "not a JSON object"},
        {"empty text", "", "parse error"},
        {"NULL columns", std::nullopt, "parse error"},
    };
    const auto storeUnreadable = [&](const Case& c) {
        if (c.stored) {
            store(1, *state->user, *c.stored);
        } else {
            ASSERT_TRUE(database->insert(
                "events",
                {{"code", nullptr}, {"userId", state->user->idKey}, {"eventJson", nullptr}}));
        }
    };
    const auto numbered = [](int n) { return R"({"code":"ce","n":)" + std::to_string(n) + "}"; };
    const auto sentEvents = [&] {
        std::vector<nlohmann::json> events;
        for (const auto& request : sent()) {
            for (const auto& package : packagesOf(request)) {
                for (const auto& event : package["events"]) {
                    events.push_back(event);
                }
            }
        }
        return events;
    };
    // Rows of any column types: the reader of stored events skips none.
    const auto eventRows = [&] {
        int rows = 0;
        EXPECT_TRUE(database->queryRows({.tableName = "events"}, [&](const Cursor&) { ++rows; }));
        return rows;
    };
    const auto namedLine = [&](std::int64_t id, const Case& c) {
        const auto fault = c.fault;
        return log.containsFragment("The stored event [" + std::to_string(id) + "]" +
                                    (c.stored ? " with code [ce]" : "") + " can't be read (") &&
               log.containsFragment(fault) &&
               log.containsFragment("); it is left out of the report and deleted");
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        gateway.gateway().clearRequests();
        store(1, *state->user, numbered(1));
        const auto badId = storedEvents().at(0).idKey + 1;
        storeUnreadable(c);
        store(1, *state->user, numbered(2));
        send();
        EXPECT_EQ(sentEvents(), (std::vector<nlohmann::json>{nlohmann::json::parse(numbered(1)),
                                                             nlohmann::json::parse(numbered(2))}));
        EXPECT_TRUE(namedLine(badId, c));
        EXPECT_EQ(eventRows(), 0);

        // Alone, it makes no report and still leaves the table; what follows
        // is sent.
        storeUnreadable(c);
        const auto aloneId = badId + 2;
        send();
        EXPECT_EQ(sent().size(), 1u);
        EXPECT_TRUE(namedLine(aloneId, c));
        EXPECT_EQ(eventRows(), 0);
        store(1, *state->user, numbered(3));
        send();
        EXPECT_EQ(sentEvents().back(), nlohmann::json::parse(numbered(3)));
        EXPECT_TRUE(storedReports().empty());
    }
}

}  // namespace
}  // namespace mvk::test
