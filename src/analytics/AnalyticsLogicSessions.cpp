#include "analytics/AnalyticsLogic.hpp"

#include <chrono>
#include <optional>
#include <string>

#include "analytics/AnalyticsLogicSupport.hpp"
#include "analytics/Validator.hpp"
#include "events/Alive.hpp"
#include "events/DeviceInfo.hpp"
#include "events/SessionStart.hpp"
#include "events/StorableEvent.hpp"
#include "events/UserEngagement.hpp"
#include "foundation/Logger.hpp"
#include "platform/ProcessExit.hpp"

namespace mvk {

// ---- timers ----

void AnalyticsLogic::prepareTimersCallback() {
    const std::weak_ptr<AnalyticsLogic> weak = weak_from_this();
    timerService_->setOnAliveTimerTick([weak] {
        if (auto logic = weak.lock()) {
            logic->sendAlive();
        }
    });
    timerService_->setOnCurrencyAccrualTimerTick([weak] {
        if (auto logic = weak.lock()) {
            logic->queueWeakly([](AnalyticsLogic& self) {
                Logger::writeLog(MVKLogLevel::debug, "Currency accrual timer tick");
                self.addCurrencyAccrual();
            });
        }
    });
    timerService_->setOnRequestTimerTick([weak] {
        if (auto logic = weak.lock()) {
            logic->queueWeakly([](AnalyticsLogic& self) {
                self.generatePeopleEvent(false);
                self.reportService_->sendBufferedEvents();
            });
        }
    });
    timerService_->setOnActivityTimerTick([weak] {
        if (auto logic = weak.lock()) {
            logic->queueWeakly(
                [](AnalyticsLogic& self) { self.activityService_->updateLastBackgroundTime(); });
        }
    });
    eventsService_->setOnFullStackAction([weak] {
        if (auto logic = weak.lock()) {
            Logger::writeLog(MVKLogLevel::debug, "There are enough events for dispatching");
            logic->reportService_->sendBufferedEvents();
        }
    });
}

void AnalyticsLogic::prepareRerportSendCallback() {
    reportService_->setOnReportSendAction([weak = weak_from_this()] {
        if (auto logic = weak.lock()) {
            logic->queueWeakly([](AnalyticsLogic& self) {
                if (self.timersRun()) {
                    self.timerService_->resetRequestTimer();
                    self.timerService_->resetAliveTimer();
                }
            });
        }
    });
}

// ---- activity and life cycle ----

void AnalyticsLogic::goActive() {
    queueWeakly([](AnalyticsLogic& self) { self.startActivity(); });
}

void AnalyticsLogic::goInactive() {
    stopSession("willResignActive");
}

void AnalyticsLogic::goBackground() {
    stopSession("didEnterBackground");
}

void AnalyticsLogic::goTerminate() {
    stopSession("willTerminate");
}

void AnalyticsLogic::stopSession(const char* call) {
    // Waits for its own block only: inline when already on the income queue,
    // and not at all while the queue is paused. A long backlog or a database
    // another program keeps locked would hold the game's thread for as long:
    // the wait ends at the bound the exit keeps too.
    const auto deadline = std::chrono::steady_clock::now() + ProcessExit::longestExitWait;
    const bool finished = incomeQueue_.addOperationAndWait(
        [weak = weak_from_this()] {
            if (auto logic = weak.lock()) {
                logic->stopActivity();
            }
        },
        deadline);
    if (!finished && std::chrono::steady_clock::now() >= deadline) {
        Logger::writeLog(MVKLogLevel::error,
                         std::string(call) + " returns before the calls made ahead of it are " +
                             "stored: they were not done within " +
                             std::to_string(ProcessExit::longestExitWait.count()) +
                             " ms, and their work goes on");
    }
}

void AnalyticsLogic::startActivity() {
    if (activityService_->isActive()) {
        return;
    }
    if (!trackingOn()) {
        Logger::writeLog(MVKLogLevel::info, analytics_logic_detail::notActiveLine);
        return;
    }
    // The application may have left the foreground before start-up or a
    // change of user ran: opened now, the timers would run in the background
    // and the next activation would continue the session silently. That
    // activation opens it instead.
    if (!lifeCycle_->isApplicationActive()) {
        Logger::writeLog(MVKLogLevel::debug, "The application is not active, the activity waits");
        return;
    }
    Logger::writeLog(MVKLogLevel::debug, "Start activity");
    const auto isNewSession = activityService_->startActivity();
    if (isNewSession.value_or(false)) {
        if (const auto session = sessionId()) {
            storeRecord(SessionStart{.timestamp = *session,
                                     .sessionId = *session,
                                     .level = level(),
                                     .inProgress = inProgress()});
            reportService_->sendBufferedEvents();
        }
    }
    timerService_->startTimers();
}

void AnalyticsLogic::stopActivity() {
    if (!activityService_->isActive()) {
        return;
    }
    Logger::writeLog(MVKLogLevel::debug, "Stop activity");
    addCurrencyAccrual();
    generatePeopleEvent(false);
    const auto session = sessionId();
    // Ended even without a session, or no later start could ever run.
    const auto length = activityService_->stopActivity();
    if (session) {
        if (length && *length >= 1) {
            storeRecord(UserEngagement{.sessionId = *session,
                                       .level = level(),
                                       .length = *length,
                                       .inProgress = inProgress()});
        } else if (length) {
            Logger::writeLog(MVKLogLevel::debug,
                             "The user engagement event was not generated, session length is zero");
        }
    }
    reportService_->sendBufferedEvents();
    timerService_->stopTimers();
}

void AnalyticsLogic::stopSDK() {
    lifeCycle_->unsubscibe(shared_from_this());
    stopActivity();
}

void AnalyticsLogic::sendAlive() {
    queueWeakly([](AnalyticsLogic& self) {
        // A tick queued before an opt-out or a stop runs after it.
        if (!self.timersRun() || Validator::isExcluded("al", std::nullopt)) {
            return;
        }
        if (const auto session = self.sessionId()) {
            self.reportService_->sendFlashEvent(StorableEvent<Alive>(Alive{.sessionId = *session}));
        }
    });
}

void AnalyticsLogic::sendDeviceInfo() {
    if (Validator::isExcluded("di", std::nullopt)) {
        return;
    }
    const auto device = projectService_->getDeviceData();
    const auto identifiers = projectService_->getIdentifiersData();
    const auto application = projectService_->getAppData();
    std::optional<double> diagonal;
    if (device.displayDiagonal) {
        diagonal = DeviceInfo::roundedDiagonal(*device.displayDiagonal);
    }
    storeRecord(DeviceInfo{.osVersion = device.osVersion,
                           .os = device.osName,
                           .displayPpi = device.displayPpi,
                           .displayResolution = device.displayResolution,
                           .displayDiagonal = diagonal,
                           .manufacturer = device.manufacturer,
                           .model = device.model,
                           .timeZoneOffset = device.timeZoneOffset,
                           .isLimitAdTrackingEnabled = !identifiers.idfa.has_value(),
                           .idfv = identifiers.idfv,
                           .idfa = identifiers.idfa,
                           .uuid = identifiers.uuid,
                           .sandboxState = application.sandboxState});
}

}  // namespace mvk
