#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <nlohmann/json.hpp>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analytics/AnalyticsProtocol.hpp"
#include "analytics/Validator.hpp"
#include "coreflow/CoreFlowHarness.hpp"
#include "gateway/ScriptedAnswer.hpp"
#include "mvk/MVKAnalytics.hpp"
#include "mvk/MVKAnalyticsConfiguration.hpp"
#include "support/Patience.hpp"

namespace mvk::test {

/// A core with the real analytics logic in the harness's world, and the views
/// of what reached the gateway that the logic tests compare.
class LogicFlow : public ::testing::Test {
  public:
    static constexpr const char* key = "logic-key";

    void SetUp() override { Validator::resetSettingsForTesting(); }
    void TearDown() override { Validator::resetSettingsForTesting(); }

    void start(std::optional<MVKAnalyticsConfiguration> configuration = std::nullopt) {
        if (configuration) {
            MVKAnalytics::initialize(key, *configuration);
        } else {
            MVKAnalytics::initialize(key);
        }
        settle();
    }

    /// A later process: the core goes, the process-wide exclusions with it.
    void restart(std::optional<MVKAnalyticsConfiguration> configuration = std::nullopt) {
        h.dropCore();
        settle();
        Validator::resetSettingsForTesting();
        start(std::move(configuration));
    }

    static MVKAnalyticsConfiguration tracking(MVKTrackingStatus status) {
        MVKAnalyticsConfiguration configuration;
        configuration.setTrackingAvailability(status);
        return configuration;
    }

    /// Until every queue that answers another is idle.
    void settle() {
        for (int round = 0; round < 4; ++round) {
            ASSERT_TRUE(h.drainIncome());
            QueueManager::networkSerialQueue().queue().drain(drainLimit());
            QueueManager::networkFlashQueue().queue().drain(drainLimit());
            QueueManager::configQueue().queue().drain(drainLimit());
            QueueManager::networkMessagingQueue().queue().drain(drainLimit());
            QueueManager::anticheatQueue().queue().drain(drainLimit());
        }
        ASSERT_TRUE(h.drainIncome());
    }

    /// Runs `call` on the installed logic, on the income queue.
    void onLogic(std::function<void(AnalyticsProtocol&)> call) {
        Core::shared()->analyticsProxy().enqueue("test", heldBytes(), std::move(call));
        settle();
    }

    /// A gateway configuration answer with `extra` fields added.
    void answerConfiguration(const std::string& extra, bool userCounting = true,
                             std::int64_t eventParamsCount = 20) {
        h.gateway().setAnswer(
            "/v2/analytics/config",
            gateway::ScriptedAnswer::json(
                200, R"({"timeForRequest":120000,"countForRequest":10,"eventParamsCount":)" +
                         std::to_string(eventParamsCount) +
                         R"(,"sessionTimeout":600000,"aliveTimeout":300000,"userCounting":)" +
                         std::string(userCounting ? "true" : "false") +
                         R"(,)"
                         R"("serverTime":1700000000000)" +
                         extra + "}"));
    }

    /// Every event of every report the gateway received, in order.
    std::vector<nlohmann::json> sentEvents() const {
        std::vector<nlohmann::json> events;
        for (const auto& request : h.gateway().requests("/v2/analytics/report")) {
            const auto body = nlohmann::json::parse(request.body, nullptr, false);
            for (const auto& report : body.value("reports", nlohmann::json::array())) {
                for (const auto& package : report.value("packages", nlohmann::json::array())) {
                    for (const auto& event : package.value("events", nlohmann::json::array())) {
                        events.push_back(event);
                    }
                }
            }
        }
        return events;
    }

    std::vector<nlohmann::json> sent(const std::string& code) const {
        std::vector<nlohmann::json> events;
        for (auto& event : sentEvents()) {
            if (event.value("code", "") == code) {
                events.push_back(std::move(event));
            }
        }
        return events;
    }

    std::vector<std::string> sentCodes() const {
        std::vector<std::string> codes;
        for (const auto& event : sentEvents()) {
            codes.push_back(event.value("code", ""));
        }
        return codes;
    }

    std::size_t requestCount(const std::string& path) const {
        return h.gateway().requests(path).size();
    }

    /// Runs SQL on the stored database between two processes.
    void execute(const std::string& sql) const {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(h.databasePath().c_str(), &db), SQLITE_OK);
        char* error = nullptr;
        const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
        const std::string message = error ? error : "";
        sqlite3_free(error);
        sqlite3_close(db);
        ASSERT_EQ(rc, SQLITE_OK) << message;
    }

    mutable CoreFlowHarness h;
};

}  // namespace mvk::test
