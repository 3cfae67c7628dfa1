#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "abtest/EventController.hpp"
#include "analytics/EventsService.hpp"
#include "analytics/ReportService.hpp"
#include "events/EventRepository.hpp"
#include "events/Storable.hpp"
#include "platform/QueueManager.hpp"
#include "records/ReportsRepository.hpp"
#include "services/ServiceStoreTest.hpp"
#include "storage/SQLiteConvertible.hpp"
#include "support/BackendGatewayFixture.hpp"
#include "support/Patience.hpp"

namespace mvk::test {

/// An event record whose code and text the test chooses.
struct TestEvent final : Storable {
    TestEvent(std::string code, std::string json)
        : code_(std::move(code)), json_(std::move(json)) {}
    std::string code() const override { return code_; }
    std::string getJson() const override { return json_; }
    std::string description() const override { return "test event " + code_; }

    std::string code_;
    std::string json_;
};

/// The event storage and the report service over one real database, sending
/// to a local gateway of their own. Service calls run on the income queue,
/// as in the library.
class PipelineTest : public ServiceStoreTest {
  protected:
    static constexpr const char* reportPath = "/v2/analytics/report";

    PipelineTest() {
        gateway.answer("/analytics/report", 200, "{}");
        state->project->configuration.countForRequest = 10;
    }
    ~PipelineTest() override {
        QueueManager::networkSerialQueue().resume();
        settle();
    }

    template <class Work>
    void onIncome(Work work) {
        QueueManager::incomeQueue().queue().addOperationAndWait(work);
    }

    /// Waits until neither the pass nor its closing blocks have work left.
    void settle() {
        for (int round = 0; round < 4; ++round) {
            QueueManager::networkSerialQueue().queue().drain(drainLimit());
            QueueManager::networkFlashQueue().queue().drain(drainLimit());
            QueueManager::incomeQueue().queue().drain(drainLimit());
        }
    }

    std::shared_ptr<User> addStoredUser(const std::string& userId,
                                        std::optional<std::int64_t> sessionId) {
        auto user = state->addUser(userId);
        user->projectId = state->project->idKey;
        user->sessionId = sessionId;
        users->insert(user);
        return user;
    }

    void store(int count, const User& user, const std::string& json = R"({"code":"ce"})") {
        onIncome([&] {
            for (int n = 0; n < count; ++n) {
                eventsService->addEvent(TestEvent("ce", json), user);
            }
        });
    }

    std::vector<EventObject> storedEvents() const {
        return query<EventObject>(*database, {.tableName = "events", .sortOrder = "id"}).value();
    }
    std::vector<Report> storedReports() const {
        return query<Report>(*database, {.tableName = "reports", .sortOrder = "id"}).value();
    }
    std::vector<gateway::RecordedRequest> sent() { return gateway.gateway().requests(reportPath); }

    /// The "packages" of a request body's one report.
    static nlohmann::json packagesOf(const gateway::RecordedRequest& request) {
        return nlohmann::json::parse(request.body).at("reports").at(0).at("packages");
    }

    BackendGatewayFixture gateway;
    std::shared_ptr<EventController> controller = std::make_shared<EventController>();
    std::shared_ptr<EventRepository> eventRepository = std::make_shared<EventRepository>(database);
    std::shared_ptr<ReportsRepository> reportsRepository =
        std::make_shared<ReportsRepository>(database);
    std::shared_ptr<EventsService> eventsService =
        std::make_shared<EventsService>(state, controller, eventRepository);
    std::shared_ptr<ReportService> reportService = std::make_shared<ReportService>(
        state, controller, eventRepository, reportsRepository, gateway.sharedBackend());
};

}  // namespace mvk::test
