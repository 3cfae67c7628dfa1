#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "backend/BackendProtocol.hpp"
#include "events/EventRepositoryProtocol.hpp"
#include "records/Package.hpp"
#include "records/ReportsRepositoryProtocol.hpp"
#include "services/EventControllerProtocol.hpp"
#include "services/ReportServiceProtocol.hpp"
#include "state/StateManagerProtocol.hpp"

namespace mvk {

/// One pass at a time sends the stored reports, one request each, on the
/// network queue; a report is deleted only after the gateway accepted it.
/// While a settled report can't be deleted, no further report is sent: what
/// stays in the file goes again at the next start, and must stay little.
/// `isSending` and `resendWhenFinish` are touched on the income queue only.
class ReportService final : public ReportServiceProtocol,
                            public std::enable_shared_from_this<ReportService> {
  public:
    /// Event text one report row holds at most (a single larger event still
    /// gets a report of its own): a user's long backlog becomes several
    /// reports a gateway accepts instead of one body of tens of megabytes.
    static constexpr std::size_t maxReportEventBytes = 1024u * 1024u;
    /// Stored events read from the table at once while packing.
    static constexpr std::int64_t packingChunk = 1000;
    /// Passes in which a report the gateway refuses for good is tried before
    /// it is deleted.
    static constexpr int maxRefusedPasses = 3;

    ReportService(std::shared_ptr<StateManagerProtocol> stateManager,
                  std::shared_ptr<EventControllerProtocol> eventController,
                  std::shared_ptr<EventRepositoryProtocol> eventRepository,
                  std::shared_ptr<ReportsRepositoryProtocol> reportsRepository,
                  std::shared_ptr<BackendProtocol> backend);

    ReportSendAction onReportSendAction() const override;
    void setOnReportSendAction(ReportSendAction action) override;

    void sendFlashEvent(const Storable& event) override;
    void sendBufferedEvents() override;
    void removeInactiveUserData(const std::vector<std::shared_ptr<User>>& users) override;
    void removeAllReports() override;

    /// The core's stop, on the income queue: no report is sent from now on.
    /// A report already under way is waited for (at most the life-cycle
    /// bound) so that, if the gateway takes it, its deletion is in the file
    /// before the folder goes to its next owner, who would send it again.
    void stop();

  private:
    /// A stored report handed to a pass, with what it is sent under.
    struct PassItem {
        std::int64_t idKey;
        std::string appKey;
        Identifiers identifiers;
    };

    enum class Verdict { goOn, stop };

    /// The facts every package carries; its `events` are left empty.
    Package packageTemplate() const;
    /// The packed event texts (as `Package::packEvent` writes them) cut into
    /// packages of `countForRequest` (one each below 1);
    /// taken by value so that a megabyte of them is moved, not copied.
    std::vector<Package> createPackages(std::vector<std::string> texts) const;

    void packUser(const User& user);
    /// Stores the report of `texts` and deletes the user's `rows` rows up to
    /// `lastId` with it, as one unit.
    bool storeReport(const User& user, std::vector<std::string> texts, std::int64_t lastId,
                     std::int64_t rows);

    Identifiers identifiersFor(const User& user, bool isActive,
                               const DeviceIdentifiers& device) const;

    void sendSavedReports();
    /// Network queue. True when the pass may be followed by another.
    bool sendReports(const std::vector<PassItem>& items);
    Verdict responseHandler(std::int64_t idKey, const std::string& uuid,
                            const SendAnalyticsResult& result);
    /// False when the report stays in the table.
    bool removeReports(std::int64_t idKey);
    /// Posts the closing block of a pass to the income queue.
    void finishPass(bool succeeded);
    /// Network queue: marks a report under way, unless the service stopped.
    bool beginReport();
    void endReport();

    const std::shared_ptr<StateManagerProtocol> stateManager_;
    const std::shared_ptr<EventControllerProtocol> eventController_;
    const std::shared_ptr<EventRepositoryProtocol> eventRepository_;
    const std::shared_ptr<ReportsRepositoryProtocol> reportsRepository_;
    const std::shared_ptr<BackendProtocol> backend_;

    mutable std::mutex actionMutex_;
    ReportSendAction onReportSendAction_;

    bool isSending_ = false;
    bool resendWhenFinish_ = false;
    /// Network queue only: the passes in which each report was refused for good.
    std::unordered_map<std::int64_t, int> refusals_;

    std::mutex passMutex_;
    std::condition_variable passChanged_;
    bool stopped_ = false;
    bool reportUnderWay_ = false;
};

}  // namespace mvk
