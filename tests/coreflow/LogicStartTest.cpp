#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "coreflow/LogicFlowFixture.hpp"
#include "mvk/MVKAntiCheat.hpp"
#include "mvk/UnrealBridge.hpp"
#include "platform/URLSessionProtocol.hpp"
#include "support/LogCapture.hpp"

namespace mvk::test {
namespace {

bool has(const std::vector<std::string>& codes, const std::string& code) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

struct StartCase {
    const char* name;
    /// Runs the processes before the one under test.
    std::function<void(LogicFlow&)> before;
    std::optional<MVKTrackingStatus> startTracking;
    bool asksGateway;
    /// The codes that must and must not reach the gateway in the last process.
    std::vector<std::string> sentCodes;
    std::vector<std::string> notSent;
    /// "ts" events sent, by their trackingAllowed.
    std::vector<bool> trackingStatuses;
    std::size_t storedEvents;
    bool trackingAfter;
};

void PrintTo(const StartCase& c, std::ostream* os) {
    *os << c.name;
}

class LogicStart : public LogicFlow, public ::testing::WithParamInterface<StartCase> {};

TEST_P(LogicStart, StoredTrackingAndTheStartConfigurationDecideWhatGoesOut) {
    const auto& c = GetParam();
    if (c.before) {
        c.before(*this);
        h.dropCore();
        settle();
        Validator::resetSettingsForTesting();
        // A new session, so that what this process sends is told apart.
        h.clock->advance(700'000);
        h.gateway().clearRequests();
    }
    LogCapture log(MVKLogLevel::debug);
    start(c.startTracking ? std::optional(tracking(*c.startTracking)) : std::nullopt);

    EXPECT_EQ(requestCount("/v2/analytics/config"), c.asksGateway ? 1u : 0u);
    EXPECT_EQ(requestCount("/v2/analytics/identification") > 0, c.asksGateway);
    const auto codes = sentCodes();
    for (const auto& code : c.sentCodes) {
        EXPECT_TRUE(has(codes, code)) << code;
    }
    for (const auto& code : c.notSent) {
        EXPECT_FALSE(has(codes, code)) << code;
    }
    std::vector<bool> statuses;
    for (const auto& event : sent("ts")) {
        statuses.push_back(event.value("trackingAllowed", false));
    }
    EXPECT_EQ(statuses, c.trackingStatuses);
    EXPECT_EQ(h.columnTexts("events", "code").size(), c.storedEvents);
    EXPECT_EQ(h.columnTexts("projects", "trackingAvailable"),
              std::vector<std::string>{c.trackingAfter ? "1" : "0"});
    if (!c.trackingAfter) {
        EXPECT_TRUE(
            log.contains(MVKLogLevel::info, "SDK not active!\n\t Tracking status is Disable!"));
        EXPECT_TRUE(h.columnTexts("reports", "uuid").empty());
        EXPECT_TRUE(h.columnTexts("currencyAccrualResources", "id").empty());
        h.loop->advance(std::chrono::hours(1));
        settle();
        EXPECT_EQ(sentCodes(), codes) << "no timer runs: an alive tick would send";
    }
}

void storeUnsentEvents(LogicFlow& flow) {
    flow.start();
    flow.onLogic([](AnalyticsProtocol& logic) {
        logic.customEvent("unsent", std::nullopt);
        logic.currencyAccrual("gold", 5, "quest", MVKAccrualType::earned);
    });
}

void switchOff(LogicFlow& flow) {
    storeUnsentEvents(flow);
    flow.restart(LogicFlow::tracking(MVKTrackingStatus::disable));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LogicStart,
    ::testing::Values(StartCase{.name = "On",
                                .asksGateway = true,
                                .sentCodes = {"di", "ss"},
                                .notSent = {"ts"},
                                .trackingAfter = true},
                      StartCase{.name = "DisableWhileOn",
                                .before = storeUnsentEvents,
                                .startTracking = MVKTrackingStatus::disable,
                                .asksGateway = false,
                                .notSent = {"ce", "ca", "ss", "di"},
                                .trackingStatuses = {false},
                                .trackingAfter = false},
                      StartCase{.name = "Off",
                                .before = switchOff,
                                .asksGateway = false,
                                .notSent = {"ce", "ss", "di"},
                                .trackingStatuses = {false},
                                .trackingAfter = false},
                      StartCase{.name = "EnableWhileOff",
                                .before = switchOff,
                                .startTracking = MVKTrackingStatus::enable,
                                .asksGateway = true,
                                .sentCodes = {"ts", "di", "ss"},
                                .notSent = {"ce"},
                                .trackingStatuses = {true},
                                .trackingAfter = true},
                      StartCase{.name = "DeviceInfoExcludedInTheStoredConfiguration",
                                .before =
                                    [](LogicFlow& flow) {
                                        flow.answerConfiguration(
                                            R"(,"exclude":{"version":1,"events":{"di":[]}})");
                                        flow.start();
                                    },
                                .asksGateway = true,
                                .sentCodes = {"ss"},
                                .notSent = {"di"},
                                .trackingAfter = true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LogicFlow, TheFirstReportCarriesTheIdentityHeadersAndTheSessionStart) {
    MVKAnalyticsConfiguration configuration;
    configuration.setUserId("player-1");
    start(configuration);
    const auto reports = h.gateway().requests("/v2/analytics/report");
    ASSERT_FALSE(reports.empty());
    const auto& first = reports.front();
    EXPECT_EQ(first.query, std::string("appId=") + key);
    EXPECT_EQ(first.header("Content-Type"), "application/json");
    EXPECT_EQ(h.fromBase64(first.header("UserId").value_or("")), "player-1");
    EXPECT_EQ(h.fromBase64(first.header("DeviceId").value_or("")),
              h.columnTexts("deviceIdentifiers", "deviceIdentifier").front());

    const auto sessionStarts = sent("ss");
    ASSERT_EQ(sessionStarts.size(), 1u);
    EXPECT_EQ(sessionStarts.front()["timestamp"], sessionStarts.front()["sessionId"]);
    EXPECT_EQ(sessionStarts.front()["sessionId"].get<std::int64_t>(), h.clock->nowMillis());
    EXPECT_EQ(h.columnTexts("users", "sessionId"),
              std::vector<std::string>{std::to_string(h.clock->nowMillis())});
}

/// Counts the requests handed to it and fails each without a transfer.
class CountingSession final : public URLSessionProtocol {
  public:
    std::unique_ptr<URLSessionDataTaskProtocol> dataTaskWithRequest(
        URLRequest request, Completion completion) override {
        requests_.fetch_add(1);
        return std::make_unique<Failing>(std::move(completion));
    }
    std::size_t requests() const { return requests_.load(); }

  private:
    class Failing final : public URLSessionDataTaskProtocol {
      public:
        explicit Failing(Completion completion) : completion_(std::move(completion)) {}
        void resume() override {
            completion_(std::nullopt, std::nullopt, MVKError("Could not resolve host"));
        }

      private:
        Completion completion_;
    };

    std::atomic<std::size_t> requests_{0};
};

// A build without a gateway keeps what the game reports and asks no one:
// no lookup of a host that never resolves, no retry, no failed report. The
// start says why in its one line.
TEST_F(LogicFlow, WithoutAGatewayNothingIsRequestedAndTheEventsStayStored) {
    const auto session = std::make_shared<CountingSession>();
    h.install(h.application, session);
    BackendConfigUrl::setTestProxyUrl("");
    LogCapture log(MVKLogLevel::error);
    start();
    onLogic([](AnalyticsProtocol& logic) { logic.customEvent("kept", std::nullopt); });
    UnrealBridge::sendPushToken("token", true);
    std::atomic<int> categoryAnswers{0};
    UnrealBridge::getMessagingCategories(
        [&](const std::vector<std::string>&) { categoryAnswers.fetch_add(1); });
    std::mutex receiptMutex;
    std::vector<MVKVerifyResponse> receipts;
    MVKAntiCheat::verifyPayment("receipt", [&](const MVKVerifyResponse& response) {
        std::lock_guard lock(receiptMutex);
        receipts.push_back(response);
    });
    h.application->didEnterBackground();
    settle();
    // Every retry and timer a failed request would have started is due.
    h.loop->advance(std::chrono::hours(1));
    settle();
    h.application->didBecomeActive();
    settle();

    EXPECT_EQ(session->requests(), 0u);
    EXPECT_EQ(log.messages().size(), 1u) << testing::PrintToString(log.messages());
    EXPECT_EQ(log.countContaining("No gateway address is set"), 1u);
    const auto stored = h.columnTexts("events", "code");
    EXPECT_TRUE(has(stored, "ce")) << testing::PrintToString(stored);
    EXPECT_TRUE(has(stored, "ss")) << testing::PrintToString(stored);
    EXPECT_EQ(categoryAnswers.load(), 1);
    std::lock_guard lock(receiptMutex);
    EXPECT_EQ(receipts, std::vector{MVKVerifyResponse(MVKReceiptStatus::internalError)});
}

}  // namespace
}  // namespace mvk::test
