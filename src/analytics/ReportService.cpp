#include "analytics/ReportService.hpp"

#include <algorithm>
#include <exception>
#include <iterator>
#include <utility>

#include "analytics/UserOrder.hpp"
#include "foundation/Logger.hpp"
#include "foundation/SdkConstraints.hpp"
#include "foundation/UnicodeText.hpp"
#include "foundation/Utf8.hpp"
#include "platform/ProcessExit.hpp"
#include "platform/QueueManager.hpp"
#include "platform/Uuid.hpp"
#include "records/Reports.hpp"

namespace mvk {

namespace {

/// A refusal of this report that no retry will change: a 4xx other than a
/// timeout, a too-many-requests answer, or a status about access or routing.
/// A revoked key (401, 403), a captive portal or wrong address (404) and a
/// proxy asking for credentials (407) refuse every report alike, and the
/// reports must outlive them.
bool isPermanentRefusal(const SendAnalyticsResult& result) {
    const auto status = result.statusCode();
    if (!status || *status < 400 || *status >= 500) {
        return false;
    }
    switch (*status) {
        case 401:
        case 403:
        case 404:
        case 407:
        case 408:
        case 429:
            return false;
        default:
            return true;
    }
}

/// Runs `end` however the scope is left, an exception included.
template <class End>
class OnScopeEnd {
  public:
    explicit OnScopeEnd(End end) : end_(std::move(end)) {}
    ~OnScopeEnd() { end_(); }
    OnScopeEnd(const OnScopeEnd&) = delete;
    OnScopeEnd& operator=(const OnScopeEnd&) = delete;

  private:
    End end_;
};

/// A stored text in a log line: its head, valid UTF-8. A parser's reason may
/// quote the text it stopped in.
std::string logged(std::string_view text) {
    constexpr std::size_t loggedBytes = 256;
    return Utf8::sanitized(UnicodeText::abbreviated(text, loggedBytes));
}

void logUnreadable(const EventObject& event, const std::string& fault) {
    // A row whose code column is NULL or not text reads as an empty code.
    const auto code = event.code.empty() ? "" : " with code [" + logged(event.code) + "]";
    Logger::writeLog(MVKLogLevel::error, "The stored event [" + std::to_string(event.idKey) + "]" +
                                             code + " can't be read (" + logged(fault) +
                                             "); it is left out of the report and deleted");
}

}  // namespace

ReportService::ReportService(std::shared_ptr<StateManagerProtocol> stateManager,
                             std::shared_ptr<EventControllerProtocol> eventController,
                             std::shared_ptr<EventRepositoryProtocol> eventRepository,
                             std::shared_ptr<ReportsRepositoryProtocol> reportsRepository,
                             std::shared_ptr<BackendProtocol> backend)
    : stateManager_(std::move(stateManager)),
      eventController_(std::move(eventController)),
      eventRepository_(std::move(eventRepository)),
      reportsRepository_(std::move(reportsRepository)),
      backend_(std::move(backend)) {}

ReportServiceProtocol::ReportSendAction ReportService::onReportSendAction() const {
    std::lock_guard lock(actionMutex_);
    return onReportSendAction_;
}

void ReportService::setOnReportSendAction(ReportSendAction action) {
    std::lock_guard lock(actionMutex_);
    onReportSendAction_ = std::move(action);
}

Package ReportService::packageTemplate() const {
    Package package;
    package.language = stateManager_->getDeviceData().language;
    const auto application = stateManager_->getAppData();
    if (!stateManager_->isEditorMode()) {
        package.appVersion = application.applicationVersion;
        package.appBuildVersion = application.applicationBuildVersion;
    }
    package.bundle = application.applicationBundle;
    package.sdkVersion = SdkConstraints::sdkVersion();
    return package;
}

std::vector<Package> ReportService::createPackages(std::vector<std::string> texts) const {
    std::vector<Package> packages;
    if (texts.empty()) {
        return packages;
    }
    const auto size = static_cast<std::size_t>(std::max<std::int64_t>(
        stateManager_->getActiveProject()->configuration.countForRequest, 1));
    const Package facts = packageTemplate();
    for (std::size_t first = 0; first < texts.size(); first += size) {
        const auto last = std::min(texts.size(), first + size);
        Package package = facts;
        package.eventsPacked = true;
        package.events.emplace(
            std::make_move_iterator(texts.begin() + static_cast<std::ptrdiff_t>(first)),
            std::make_move_iterator(texts.begin() + static_cast<std::ptrdiff_t>(last)));
        packages.push_back(std::move(package));
    }
    return packages;
}

void ReportService::sendBufferedEvents() {
    // Without a gateway the events stay as they are, unpacked: a later build
    // with one packs them as it packs its own.
    if (!eventController_->isReportSendingEnable() || !backend_->hasGateway()) {
        return;
    }
    // Users that cannot be read are packed at the next send; what is already
    // stored still goes out.
    if (const auto users = usersInSendingOrder(*stateManager_)) {
        for (const auto& user : *users) {
            packUser(*user);
        }
    }
    sendSavedReports();
}

void ReportService::packUser(const User& user) {
    // The rows are read in bounded chunks and packed into reports of bounded
    // size, so a backlog of weeks never sits in memory at once.
    std::vector<std::string> texts;
    std::size_t bytes = 0;
    std::int64_t lastId = 0;
    // The rows up to `lastId` the next report takes from the table: its
    // events and the unreadable ones left out among them.
    std::int64_t rows = 0;
    // Not 0: rows at or below it are stored ones too (see `eventsOfUser`).
    std::optional<std::int64_t> afterId;
    // The experiment marker is the active user's involvement. Events another
    // user played (held while an offer waited, or left from earlier runs)
    // leave without it, never under someone else's experiment.
    const bool takesMarker = user.idKey == stateManager_->getActiveUser()->idKey;
    while (true) {
        auto chunk = eventRepository_->eventsOfUser(user.idKey, afterId, packingChunk);
        if (!chunk) {
            Logger::writeLog(MVKLogLevel::error, "The stored events of user [" +
                                                     user.userId.value_or("") +
                                                     "] can't be read; they stay for later");
            return;
        }
        if (chunk->empty()) {
            break;
        }
        const auto read = chunk->size();
        afterId = chunk->back().idKey;
        std::vector<std::string> stored;
        if (!takesMarker) {
            for (const auto& event : *chunk) {
                stored.push_back(event.json);
            }
        }
        auto kept = eventController_->richEventObjects(std::move(*chunk));
        // What may leave is a leading part of the chunk, in its order.
        for (std::size_t i = 0; i < stored.size() && i < kept.size(); ++i) {
            kept[i].json = std::move(stored[i]);
        }
        for (auto& event : kept) {
            // Sent as {}, it would reach the gateway without code or time and
            // be deleted as sent; kept, it would be read again at every send.
            // It goes with the rows of the report it would have joined.
            std::string packed;
            if (const auto fault = Package::packEvent(event.json, packed)) {
                logUnreadable(event, *fault);
                lastId = event.idKey;
                ++rows;
                continue;
            }
            // The bound counts the stored texts, as it did before they were
            // packed here, so a report takes the same rows.
            if (!texts.empty() && bytes + event.json.size() > maxReportEventBytes) {
                if (!storeReport(user, std::exchange(texts, {}), lastId, rows)) {
                    return;
                }
                bytes = 0;
                rows = 0;
            }
            bytes += event.json.size();
            lastId = event.idKey;
            ++rows;
            texts.push_back(std::move(packed));
        }
        // Events at and after a freeze point stay stored, and every later
        // one of this user is after it.
        if (kept.size() < read || read < static_cast<std::size_t>(packingChunk)) {
            break;
        }
    }
    if (!texts.empty()) {
        storeReport(user, std::move(texts), lastId, rows);
    } else if (rows > 0 && !eventRepository_->deleteUpTo(user.idKey, lastId, rows)) {
        eventRepository_->forgetCounts();
        Logger::writeLog(MVKLogLevel::error, "The unreadable stored events of user [" +
                                                 user.userId.value_or("") +
                                                 "] can't be deleted; they are left out again");
    }
}

bool ReportService::storeReport(const User& user, std::vector<std::string> texts,
                                std::int64_t lastId, std::int64_t rows) {
    Report report(createPackages(std::move(texts)), Uuid::random());
    report.userId = user.idKey;
    // The report and the deletion of its events stand or fall together: a
    // report that is not kept must not take its events with it, and events
    // must not stay behind a stored report to be sent twice.
    const auto lostBefore = eventRepository_->lostGroups();
    const auto stored = reportsRepository_->insert(
        report, [&] { return eventRepository_->deleteUpTo(user.idKey, lastId, rows); });
    if (!stored) {
        eventRepository_->forgetCounts();
        const auto head =
            "The report [" + report.uuid + "] of user [" + user.userId.value_or("") + "] ";
        // A failed commit may have taken the latest stored events with it:
        // then only what was committed before them stays for the next request.
        Logger::writeLog(MVKLogLevel::error,
                         eventRepository_->lostGroups() != lostBefore
                             ? head +
                                   "can't be stored, and the events stored since the last "
                                   "commit were lost with it"
                             : head + "can't be stored; its events stay for the next request");
        return false;
    }
    return true;
}

Identifiers ReportService::identifiersFor(const User& user, bool isActive,
                                          const DeviceIdentifiers& device) const {
    Identifiers identifiers{.deviceId = device.deviceIdentifier,
                            .previousDeviceId = device.previousDeviceIdentifier,
                            .userId = user.userId,
                            .previousUserId = user.previousUserId};
    // The backend ids belong to the active user alone.
    if (isActive) {
        identifiers.morvanixId = device.morvanixId;
        identifiers.crossPlatformMorvanixId = device.crossPlatformMorvanixId;
        identifiers.morvanixIdTimestamp = device.morvanixIdTimestamp;
    }
    return identifiers;
}

void ReportService::sendSavedReports() {
    if (isSending_) {
        resendWhenFinish_ = true;
        return;
    }
    const auto keys = reportsRepository_->keys();
    if (!keys) {
        Logger::writeLog(MVKLogLevel::error, "The stored reports can't be read; nothing is sent");
        return;
    }
    if (keys->empty()) {
        return;
    }
    const auto activeUser = stateManager_->getActiveUser();
    const auto appKey = stateManager_->getActiveProject()->applicationKey();
    const auto device = stateManager_->getActiveDeviceIdentifiers();
    const auto users = usersInSendingOrder(*stateManager_);
    if (!users) {
        Logger::writeLog(MVKLogLevel::error, "The users can't be read; nothing is sent");
        return;
    }
    std::vector<PassItem> items;
    for (const auto& user : *users) {
        const auto identifiers = identifiersFor(*user, user->idKey == activeUser->idKey, *device);
        bool any = false;
        for (const auto& key : *keys) {
            if (key.userId == user->idKey) {
                items.push_back({key.idKey, appKey, identifiers});
                any = true;
            }
        }
        if (any) {
            Logger::writeLog(MVKLogLevel::info,
                             "Send buffered events for user [" + user->userId.value_or("") + "]");
        }
    }
    if (items.empty()) {
        return;
    }
    isSending_ = true;
    QueueManager::networkSerialQueue().queue().addOperation(
        [weak = weak_from_this(), items = std::move(items)] {
            auto self = weak.lock();
            if (!self) {
                return;
            }
            bool succeeded = false;
            try {
                succeeded = self->sendReports(items);
            } catch (const std::exception& error) {
                Logger::writeLog(MVKLogLevel::error,
                                 std::string("The report pass stopped: ") + error.what());
            } catch (...) {
                Logger::writeLog(MVKLogLevel::error, "The report pass stopped");
            }
            self->finishPass(succeeded);
        });
}

bool ReportService::sendReports(const std::vector<PassItem>& items) {
    // A settled report still in the file is sent again by the next start;
    // sending more meanwhile would only add to what goes twice.
    if (!reportsRepository_->deleteSettledLeft()) {
        Logger::writeLog(MVKLogLevel::error,
                         "A sent report still can't be deleted; no report is sent until it is");
        return false;
    }
    for (const auto& item : items) {
        if (!beginReport()) {
            return false;
        }
        const OnScopeEnd underWay([this] { endReport(); });
        auto lookup = reportsRepository_->read(item.idKey);
        switch (lookup.status) {
            case ReportLookup::Status::missing:
                // Deleted since the pass began (all reports removed).
                continue;
            case ReportLookup::Status::damaged:
                Logger::writeLog(MVKLogLevel::error, "The stored report [" +
                                                         std::to_string(item.idKey) +
                                                         "] can't be read; it is kept");
                continue;
            case ReportLookup::Status::failed:
                Logger::writeLog(MVKLogLevel::error,
                                 "The stored reports can't be read; the pass is stopped");
                return false;
            case ReportLookup::Status::found:
                break;
        }
        // Checked here once; the body below splices the text without a second look.
        if (!lookup.report->hasSendablePackages()) {
            Logger::writeLog(MVKLogLevel::error, "The stored packages of the Report [" +
                                                     lookup.report->uuid +
                                                     "] can't be used; the report is kept");
            continue;
        }
        // Moved all the way into the request, not copied (a braced list
        // would copy): the stored text may be a megabyte.
        const std::string uuid = lookup.report->uuid;
        Reports batch;
        batch.reports.push_back(std::move(*lookup.report));
        lookup.report.reset();
        auto& report = batch.reports.front();
        report.appKey = item.appKey;
        report.identifiers = item.identifiers;
        Logger::writeLog(MVKLogLevel::info, "Trying to send the Report [" + uuid + "]");
        const auto result =
            backend_->sendAnalytics(item.appKey, item.identifiers, std::move(batch));
        if (responseHandler(item.idKey, uuid, result) == Verdict::stop) {
            return false;
        }
    }
    return true;
}

ReportService::Verdict ReportService::responseHandler(std::int64_t idKey, const std::string& uuid,
                                                      const SendAnalyticsResult& result) {
    if (result.isSuccess()) {
        if (!result.value().value_or(false)) {
            return Verdict::stop;
        }
        refusals_.erase(idKey);
        Logger::writeLog(MVKLogLevel::info, "The report [" + uuid + "] has been sent successfully");
        const bool deleted = removeReports(idKey);
        if (const auto action = onReportSendAction()) {
            action();
        }
        return deleted ? Verdict::goOn : Verdict::stop;
    }
    const auto* error = result.error();
    Logger::writeLog(MVKLogLevel::error, "Report [" + uuid + "] submission failed: " +
                                             (error != nullptr ? error->description() : ""));
    if (isPermanentRefusal(result) && ++refusals_[idKey] >= maxRefusedPasses) {
        // Kept, it would stop every later pass at the same place while the
        // table grows.
        refusals_.erase(idKey);
        Logger::writeLog(MVKLogLevel::error,
                         "The Report [" + uuid + "] is refused by the gateway with status " +
                             std::to_string(*result.statusCode()) + " and has been deleted");
        return removeReports(idKey) ? Verdict::goOn : Verdict::stop;
    }
    Logger::writeLog(MVKLogLevel::debug, "The network queue is stopped");
    return Verdict::stop;
}

bool ReportService::removeReports(std::int64_t idKey) {
    // At once, on the sending thread: queued on the income queue, the deletion
    // of an accepted report waited behind every event the game had queued, and
    // a kill in that time sent the whole report again at the next start.
    // A report that stays in the file is still never sent again by this
    // process: after a 200, a second copy would count its events twice.
    if (reportsRepository_->deleteSettled(idKey)) {
        return true;
    }
    Logger::writeLog(MVKLogLevel::error,
                     "The sent report [" + std::to_string(idKey) +
                         "] can't be deleted; this run does not send it again, nor any "
                         "other report until it is deleted");
    return false;
}

bool ReportService::beginReport() {
    std::lock_guard lock(passMutex_);
    // At the exit the report under way is settled and no other begins: the
    // next start sends them.
    reportUnderWay_ = !stopped_ && !ProcessExit::isExiting();
    return reportUnderWay_;
}

void ReportService::endReport() {
    {
        std::lock_guard lock(passMutex_);
        reportUnderWay_ = false;
    }
    passChanged_.notify_all();
}

void ReportService::stop() {
    const auto bound = ProcessExit::longestExitWait;
    // At exit the transfer is given up before this anyway; the commits keep
    // their share.
    const auto deadline = std::min(std::chrono::steady_clock::now() + bound,
                                   ProcessExit::deadline() - ProcessExit::commitReserve);
    bool settled = false;
    {
        std::unique_lock lock(passMutex_);
        stopped_ = true;
        settled = passChanged_.wait_until(lock, deadline, [this] { return !reportUnderWay_; });
    }
    if (settled) {
        // The next owner of the folder knows nothing of the reports this run
        // kept back as sent: a last try spares it sending them again.
        if (!reportsRepository_->deleteSettledLeft()) {
            Logger::writeLog(MVKLogLevel::error,
                             "A sent report can't be deleted; the next start may send it again");
        }
        return;
    }
    // Its answer is still applied when it comes: a report the gateway took
    // is deleted whenever that is known. Until then the folder's next owner
    // may send it too.
    Logger::writeLog(MVKLogLevel::error, "The report under way was not settled within " +
                                             std::to_string(bound.count()) +
                                             " ms of the stop; the next start may send it again");
}

void ReportService::finishPass(bool succeeded) {
    QueueManager::incomeQueue().queue().addOperation([weak = weak_from_this(), succeeded] {
        auto self = weak.lock();
        if (!self) {
            return;
        }
        self->isSending_ = false;
        const bool again = succeeded && self->resendWhenFinish_;
        self->resendWhenFinish_ = false;
        if (again) {
            self->sendSavedReports();
        }
    });
}

void ReportService::sendFlashEvent(const Storable& event) {
    if (!backend_->hasGateway()) {
        return;
    }
    const auto project = stateManager_->getActiveProject();
    const auto user = stateManager_->getActiveUser();
    const auto identifiers =
        identifiersFor(*user, true, *stateManager_->getActiveDeviceIdentifiers());
    std::string text;
    if (const auto fault = Package::packEvent(event.getJson(), text)) {
        // A report without its one event would tell the gateway nothing.
        Logger::writeLog(
            MVKLogLevel::error,
            "The event [" + event.code() + "] can't be sent at once (" + logged(*fault) + ")");
        return;
    }
    Report report(createPackages({std::move(text)}), Uuid::random());
    QueueManager::networkFlashQueue().queue().addOperation(
        [weak = weak_from_this(), appKey = project->applicationKey(), identifiers,
         report = std::move(report)] {
            auto self = weak.lock();
            if (!self) {
                return;
            }
            Logger::writeLog(MVKLogLevel::info, "Trying to send the Report [" + report.uuid + "]");
            const auto result =
                self->backend_->sendAnalytics(appKey, identifiers, Reports{{report}});
            if (result.isSuccess()) {
                Logger::writeLog(MVKLogLevel::info,
                                 "The report [" + report.uuid + "] has been sent successfully");
            } else {
                const auto* error = result.error();
                Logger::writeLog(MVKLogLevel::error,
                                 "Report [" + report.uuid + "] submission failed: " +
                                     (error != nullptr ? error->description() : ""));
            }
        });
}

void ReportService::removeInactiveUserData(const std::vector<std::shared_ptr<User>>& users) {
    const auto userIds = User::rowIds(users);
    if (!reportsRepository_->deleteForDataForUsers(userIds)) {
        Logger::writeLog(MVKLogLevel::error, "The reports of removed users can't be deleted");
    }
}

void ReportService::removeAllReports() {
    if (!reportsRepository_->clear()) {
        Logger::writeLog(MVKLogLevel::error, "The stored reports can't be removed");
    }
}

}  // namespace mvk
