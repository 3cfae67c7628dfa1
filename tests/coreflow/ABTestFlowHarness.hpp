#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "abtest/ABLogicHarness.hpp"
#include "abtest/RemoteConfigStore.hpp"
#include "core/Core.hpp"
#include "coreflow/CoreFlowHarness.hpp"
#include "platform/QueueManager.hpp"
#include "support/Patience.hpp"

namespace mvk::test {

/// One experiment (7, offered when a custom event "go" is stored) whose
/// offer answers group "B".
inline void answerExperimentSeven(gateway::Gateway& gateway) {
    gateway.setAnswer(
        "/v2/remoteconfig/experiments",
        gateway::ScriptedAnswer::json(
            200, R"({"version":2,"userProperties":{},"experiments":[{"id":7,)"
                 R"("creationDate":1,"updateDate":1,"completionDate":0,"isTesting":false,)"
                 R"("parameters":[{"key":"speed","values":{"B":"5","A":"1"}}],)"
                 R"("conditions":[{"code":"ce","name":{"==":"go"}}]}]})"));
    gateway.setAnswer(
        "/v2/remoteconfig/offer",
        gateway::ScriptedAnswer::json(200, R"({"involvedExperiments":[{"id":7,"group":"B"}]})"));
}

/// A core started for the A/B feature against the local gateway, with the
/// event storage and report service of its start-up at hand: the analytics
/// calls that would store events are not there yet.
class ABTestFlow : public ::testing::Test {
  public:
    ABTestFlow() {
        RemoteConfigStore::shared().resetForTesting();
        answerExperimentSeven(h.gateway());
        Core::setAnalyticsLogicMakerForTesting(
            [this](ServiceFactoryProtocol& factory,
                   const std::shared_ptr<LifeCycleRepositoryProtocol>&)
                -> std::shared_ptr<AnalyticsProtocol> {
                eventsService = factory.eventsService();
                reportService = factory.reportService();
                return nullptr;
            });
    }
    ~ABTestFlow() override {
        eventsService.reset();
        reportService.reset();
        RemoteConfigStore::shared().resetForTesting();
    }

    /// Lets the queues run until `done` holds. Each drain of the
    /// configuration and network queues waits for their exchanges with the
    /// gateway, so a few rounds carry every answer back.
    bool settleUntil(const std::function<bool()>& done) {
        for (int round = 0; round < 20; ++round) {
            QueueManager::configQueue().queue().drain(drainLimit());
            QueueManager::networkSerialQueue().queue().drain(drainLimit());
            h.drainIncome();
            if (done()) {
                return true;
            }
        }
        return false;
    }
    void store(const std::string& name) {
        QueueManager::incomeQueue().queue().addOperationAndWait([&] {
            eventsService->addEvent(
                HarnessEvent("ce", R"({"code":"ce","name":")" + name + R"("})"));
        });
    }
    /// The names and experiments of the events of every report sent so far.
    std::vector<std::string> sentEvents() {
        std::vector<std::string> events;
        for (const auto& request : h.gateway().requests("/v2/analytics/report")) {
            const auto body = nlohmann::json::parse(request.body);
            for (const auto& package : body.at("reports").at(0).at("packages")) {
                for (const auto& event : package.at("events")) {
                    events.push_back(event.at("name").get<std::string>() +
                                     (event.contains("inExperiments")
                                          ? " " + event.at("inExperiments").dump()
                                          : std::string()));
                }
            }
        }
        return events;
    }

    test::CoreFlowHarness h;
    std::shared_ptr<RecordingListener> listener = std::make_shared<RecordingListener>();
    std::shared_ptr<EventsServiceProtocol> eventsService;
    std::shared_ptr<ReportServiceProtocol> reportService;
};

}  // namespace mvk::test
